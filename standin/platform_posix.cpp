#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "standin/platform.h"

namespace platform {

const char *const moduleFileName = "libPedFeatureEditor.so";

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    path[length] = '\0';
    std::string text(path);
    return text.substr(0, text.rfind('/'));
}

bool MakeDirectory(const std::string &name) { return mkdir(name.c_str(), 0755) == 0; }

bool PathExists(const std::string &name) {
    struct stat status;
    return lstat(name.c_str(), &status) == 0;
}

static std::string KindOfFile(mode_t mode) {
    const char *kind = S_ISCHR(mode)    ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                       : S_ISFIFO(mode) ? "a FIFO"
                       : S_ISSOCK(mode) ? "a socket"
                                        : nullptr;
    return S_ISDIR(mode) ? "it is a directory"
           : kind        ? std::string("it is ") + kind + ", not a regular file"
                         : "it is not a regular file";
}

bool WriteAll(int descriptor, const std::string &bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t count = write(descriptor, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        done += static_cast<std::size_t>(count);
    }
    return true;
}

// Reads up to size + 1 bytes: a file that grew or shrank since it was measured is refused.
static bool ReadExactly(int descriptor, std::uintmax_t size, std::string &bytes, std::string &why) {
    bytes.resize(static_cast<std::size_t>(size) + 1);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t count = read(descriptor, bytes.data() + done, bytes.size() - done);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            why = std::strerror(errno);
            return false;
        }
        if (count == 0)
            break;
        done += static_cast<std::size_t>(count);
    }
    if (done != size) {
        why = "it changed size while it was read";
        return false;
    }
    bytes.resize(done);
    return true;
}

// The descriptor is checked, not the name; O_NONBLOCK: a FIFO does not wait, O_NOCTTY: no tty.
ReadOutcome ReadRegularFile(const std::string &name, std::uintmax_t limit, std::string &bytes,
                            std::string &why, std::uintmax_t *size) {
    bytes.clear();
    const int descriptor = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        why = std::strerror(errno);
        return ReadOutcome::unreadable;
    }
    struct stat status;
    ReadOutcome outcome = ReadOutcome::read;
    if (fstat(descriptor, &status) != 0) {
        why = std::strerror(errno);
        outcome = ReadOutcome::unreadable;
    } else if (!S_ISREG(status.st_mode)) {
        why = KindOfFile(status.st_mode);
        outcome = ReadOutcome::notRegularFile;
    } else if (size != nullptr) {
        *size = static_cast<std::uintmax_t>(status.st_size);
    } else if (static_cast<std::uintmax_t>(status.st_size) > limit) {
        why = "it holds " + std::to_string(status.st_size) + " bytes, more than the limit of " +
              std::to_string(limit);
        outcome = ReadOutcome::tooLarge;
    } else if (!ReadExactly(descriptor, static_cast<std::uintmax_t>(status.st_size), bytes, why)) {
        outcome = ReadOutcome::unreadable;
    }
    close(descriptor);
    if (outcome != ReadOutcome::read)
        bytes.clear();
    return outcome;
}

} // namespace platform
