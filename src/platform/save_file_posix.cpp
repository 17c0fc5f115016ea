// Saving a file on Linux. A plain file is replaced as careful editors replace it: the bytes go
// to a new file beside it, which is flushed and then renamed over it, so that a reader sees
// the old file or the new one whole. Where a new file could not carry what the old one has (a
// link, other hard links, extended attributes such as an ACL, an owner or group the process
// cannot give, a folder that allows no rename), the file is written in place instead.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/save_file.h"

static constexpr int temporaryNameAttempts = 16;

static bool WriteAll(int file, const std::string &bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t written = write(file, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// One open that follows links as the system does, with the system's own protections; it does
// not truncate, and it does not block, so that a FIFO at the name cannot hold the game up.
// Room for the new length is taken before a byte is written: a full disk leaves the old bytes
// as they were. A crash in the middle of the write can still leave the file damaged.
static SaveOutcome SaveInPlace(const char *name, const std::string &bytes) {
    const int file = open(name, O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (file < 0)
        return SaveOutcome::cannotOpen;
    struct stat old {};
    if (fstat(file, &old) != 0 || !S_ISREG(old.st_mode)) {
        close(file);
        return SaveOutcome::cannotOpen;
    }
    const off_t length = static_cast<off_t>(bytes.size());
    if (length > 0 && posix_fallocate(file, 0, length) != 0) {
        (void)!ftruncate(file, old.st_size);
        close(file);
        return SaveOutcome::cannotWrite;
    }
    const bool written = WriteAll(file, bytes) && fsync(file) == 0 && ftruncate(file, length) == 0;
    return close(file) == 0 && written ? SaveOutcome::saved : SaveOutcome::cannotWrite;
}

static std::string RandomLetters() {
    unsigned long long bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits))
        bits = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
    std::string letters;
    for (int k = 0; k < 6; ++k, bits /= 36)
        letters += "abcdefghijklmnopqrstuvwxyz0123456789"[bits % 36];
    return letters;
}

// "<name>.<six random letters>.tmp" in the name's folder, made exclusively: whatever already
// lies at a name (a planted link among them) is never opened, and fresh letters are tried.
static int CreateTemporary(const std::string &name, mode_t mode, std::string &temporary) {
    for (int attempt = 0; attempt < temporaryNameAttempts; ++attempt) {
        temporary = name + "." + RandomLetters() + ".tmp";
        const int file =
            open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
                 mode);
        if (file >= 0 || errno != EEXIST)
            return file;
    }
    return -1;
}

// The new file takes the old one's owner and group where they differ (root may give any, a
// user only a group of its own), then its permission bits, which a change of owner can clear.
static bool TakeOwnerAndMode(int file, const struct stat &old) {
    struct stat made {};
    if (fstat(file, &made) != 0)
        return false;
    if ((made.st_uid != old.st_uid || made.st_gid != old.st_gid) &&
        fchown(file, old.st_uid, old.st_gid) != 0)
        return false;
    return fchmod(file, old.st_mode & 07777) == 0;
}

// Only a complete file, flushed to disk, takes the name; every failure before the rename
// leaves the old file untouched. A missing name is made by the same rename. Where no new file
// can be made, the old file is written in place only if the folder merely refuses new names;
// a full disk, a quota or too many open files end the save.
static SaveOutcome Replace(const char *name, const std::string &bytes, const struct stat *old) {
    std::string temporary;
    const int file = CreateTemporary(name, old != nullptr ? 0600 : 0666, temporary);
    if (file < 0) {
        const bool refused = errno == EACCES || errno == EPERM || errno == EROFS;
        if (old == nullptr)
            return SaveOutcome::cannotOpen;
        return refused ? SaveInPlace(name, bytes) : SaveOutcome::cannotWrite;
    }
    if (old != nullptr && !TakeOwnerAndMode(file, *old)) {
        close(file);
        unlink(temporary.c_str());
        return SaveInPlace(name, bytes);
    }
    const bool complete = WriteAll(file, bytes) && fsync(file) == 0;
    if (close(file) != 0 || !complete || rename(temporary.c_str(), name) != 0) {
        unlink(temporary.c_str());
        return SaveOutcome::cannotWrite;
    }
    return SaveOutcome::saved;
}

// An append-only or immutable folder (where the file system keeps such flags) allows neither
// the rename nor the removal of a temporary file.
static bool FolderForbidsRenames(const std::string &name) {
    const std::size_t slash = name.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : name.substr(0, slash + 1);
    const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
    if (directory < 0)
        return false;
    int flags = 0;
    const bool forbids = ioctl(directory, FS_IOC_GETFLAGS, &flags) == 0 &&
                         (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
    close(directory);
    return forbids;
}

static bool HasNoExtendedAttributes(int file) {
    const ssize_t length = flistxattr(file, nullptr, 0);
    return length == 0 || (length < 0 && errno == ENOTSUP);
}

// Replaced by rename only: a regular file that is not a link, has one name, opens for writing
// and carries no extended attribute (ACLs are extended attributes), in a folder that allows
// renames. Everything else is written in place, where the open decides what can be written.
SaveOutcome SaveFile(const char *name, const std::string &bytes) {
    if (FolderForbidsRenames(name))
        return SaveInPlace(name, bytes);
    const int file = open(name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0)
        return errno == ENOENT ? Replace(name, bytes, nullptr) : SaveInPlace(name, bytes);
    // No name at all is left to the file when another writer has just replaced it.
    struct stat old {};
    const bool plain = fstat(file, &old) == 0 && S_ISREG(old.st_mode) && old.st_nlink <= 1 &&
                       HasNoExtendedAttributes(file);
    close(file);
    return plain ? Replace(name, bytes, &old) : SaveInPlace(name, bytes);
}
