// XML export on F8: the features outside (-0.1, 0.1) as an "expressions" fragment, written to
// "Moulary_<model>.xml" in the current directory with CR LF line ends.
//
// The file is replaced as a careful editor saves: the text goes to a new temporary file beside
// the target (a unique name, created exclusively, never through a link), takes the target's
// permission bits and owner, is flushed to disk, and replaces the target in one rename. An
// earlier export is never left half-written, and a reader sees the old file or the new one
// whole. A target that is a link is followed: the file it names is replaced and the link stays.
// Where replacing cannot work but opening the file for writing does (more hard links than one,
// a folder that refuses new files, on Windows a file another program holds open), the file is
// written in place, and every step of that write is checked.

#ifdef _WIN32
#define _CRT_RAND_S // declares rand_s
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "data/face_features.h"
#include "editor/editor.h"
#include "editor/export_file_names.h"
#include "editor/format_string.h"
#include "host/keyboard.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

static const char *const xmlOpeningLine = "      <expressions>\n";
static const char *const xmlItemBlock = "        <Item>\n"
                                        "          <id value=\"%d\"/>\n"
                                        "          <value value=\"%f\"/>\n"
                                        "        </Item>\n";
static const char *const xmlClosingLine = "      </expressions>";
static constexpr float exportThreshold = 0.1f;

std::string BuildExpressionsXml() {
    std::string text = xmlOpeningLine;
    for (int k = 0; k < faceFeatureCount; ++k) {
        const float v = featureValues[k];
        if (v > -exportThreshold && v < exportThreshold)
            continue; // NaN fails this test and is written
        text +=
            FormatString(xmlItemBlock, static_cast<int>(faceFeatureIds[k]), static_cast<double>(v));
    }
    text += xmlClosingLine;
    return text;
}

// Every line feed is stored as carriage return plus line feed, on every platform.
static std::string WithCrLfLineEnds(const std::string &text) {
    std::string disk;
    disk.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            disk += '\r';
        disk += c;
    }
    return disk;
}

enum class WriteOutcome { written, cannotOpen, cannotWrite };

#ifdef _WIN32
using FileHandle = HANDLE;
static const FileHandle noFile = INVALID_HANDLE_VALUE;
#else
using FileHandle = int;
static const FileHandle noFile = -1;
#endif

// ---- the state of one export, set anew by each -------------------------------------------
static std::string targetPath; // the file replaced: the export's name, or what its link names
static bool targetExists;      // as a regular file that opens for writing
static bool targetInPlaceOnly; // replacing it would split it from its other names
#ifndef _WIN32
static struct stat targetStatus; // permission bits and owner handed on to the new file
#endif
static char temporaryPath[4096]; // fixed storage, so that a signal handler may read it
static FileHandle temporaryFile = noFile;
static volatile std::sig_atomic_t temporaryExists; // temporaryPath names our file
static unsigned temporaryNameCounter;              // never reused while the module is loaded

#ifdef _WIN32

// ---- Windows: the file system calls -------------------------------------------------------

// A link is written through in place: replacing it by name would replace the link itself.
static bool ExamineTarget(const std::string &exportFileName) {
    targetPath = exportFileName;
    const DWORD attributes = GetFileAttributesA(targetPath.c_str());
    targetInPlaceOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    const HANDLE file = CreateFileA(targetPath.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    targetExists = file != INVALID_HANDLE_VALUE;
    if (!targetExists) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    const bool examined = GetFileInformationByHandle(file, &information) != 0;
    CloseHandle(file);
    targetInPlaceOnly = targetInPlaceOnly || (examined && information.nNumberOfLinks > 1);
    return examined;
}

static unsigned long long RandomBits() {
    unsigned int high = 0, low = 0;
    if (rand_s(&high) != 0 || rand_s(&low) != 0)
        return static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
    return (static_cast<unsigned long long>(high) << 32) | low;
}

static long ProcessId() { return static_cast<long>(GetCurrentProcessId()); }

static bool NameIsTaken() {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}

// CREATE_NEW never opens an existing name, and a link there is not followed.
static FileHandle CreateExclusively(const char *path) {
    return CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// ReplaceFile hands on the target's attributes and access rights.
static bool GiveTemporaryTheTargetsPermissions() { return true; }

static bool WriteAll(FileHandle file, const std::string &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

static bool FlushAndClose(FileHandle &file) {
    const bool flushed = FlushFileBuffers(file) != 0;
    const bool closed = CloseHandle(file) != 0;
    file = noFile;
    return flushed && closed;
}

static void CloseFile(FileHandle file) { CloseHandle(file); }

static void RemoveFile(const char *path) { DeleteFileA(path); }

// When ReplaceFile has removed the target but could not move the new file to its name, the
// move is made alone.
static bool MoveOverTarget(const char *from, const char *to) {
    const DWORD moveFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
    if (!targetExists)
        return MoveFileExA(from, to, moveFlags) != 0;
    if (ReplaceFileA(to, from, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return true;
    return GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT && MoveFileExA(from, to, moveFlags);
}

// Opens the target for a write in place as the editor's single open would: sharing reading and
// writing, following a link, and making the file when it is missing.
static FileHandle OpenTargetForWriting() {
    return CreateFileA(targetPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

static bool Truncate(FileHandle file) { return SetEndOfFile(file) != 0; }

// Windows ends a process without running the module's code: there is nothing to guard.
static void GuardTemporaryFileAgainstSignals() {}
static void ReleaseSignalGuard() {}

#else

// ---- POSIX: the file system calls ---------------------------------------------------------

static constexpr int maxLinkHops = 40; // as the kernel allows in one path

// The directory part of a path with its closing '/', or "" for a bare name.
static std::string DirectoryOf(const std::string &path) {
    return path.substr(0, path.find_last_of('/') + 1);
}

// Follows the links from the export's name to the file they name, which need not exist yet (a
// dangling link is written through, as opening it would). False for a loop or a folder that
// cannot be searched: opening the name would fail the same way.
static bool ResolveLinks(std::string &path) {
    for (int hop = 0; hop < maxLinkHops; ++hop) {
        char link[4096];
        const ssize_t length = readlink(path.c_str(), link, sizeof link);
        if (length < 0)
            return errno == EINVAL || errno == ENOENT; // not a link, or nothing there yet
        if (length == 0 || static_cast<std::size_t>(length) == sizeof link)
            return false;
        const std::string destination(link, static_cast<std::size_t>(length));
        path = destination.front() == '/' ? destination : DirectoryOf(path) + destination;
    }
    return false;
}

// Non-blocking, so that a FIFO planted at the name cannot hold the game up.
static int OpenTarget(int creation) {
    return open(targetPath.c_str(),
                O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | creation, 0666);
}

// As the editor's single open: the file is made when it is missing.
static FileHandle OpenTargetForWriting() { return OpenTarget(O_CREAT); }

// The same test of permission as the editor's single open, without truncating anything: a
// target that does not exist yet is fine, one that is not a regular file is refused.
static bool ExamineTarget(const std::string &exportFileName) {
    targetPath = exportFileName;
    targetExists = targetInPlaceOnly = false;
    if (!ResolveLinks(targetPath))
        return false;
    const int file = OpenTarget(0);
    if (file < 0)
        return errno == ENOENT;
    const bool regular = fstat(file, &targetStatus) == 0 && S_ISREG(targetStatus.st_mode);
    close(file);
    targetExists = regular;
    targetInPlaceOnly = regular && targetStatus.st_nlink > 1;
    return regular;
}

static unsigned long long RandomBits() {
    unsigned long long bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits))
        bits = static_cast<unsigned long long>(
            std::chrono::steady_clock::now().time_since_epoch().count());
    return bits;
}

static long ProcessId() { return static_cast<long>(getpid()); }

static bool NameIsTaken() { return errno == EEXIST; }

// A new file starts private when it is to replace one (it takes the target's bits below), and
// as the editor's open made it otherwise (0666 less the umask).
static FileHandle CreateExclusively(const char *path) {
    const mode_t mode = targetExists ? 0600 : 0666;
    return open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
}

// The owner and group where the process may (root; or a group it belongs to), then the bits.
static bool GiveTemporaryTheTargetsPermissions() {
    if (!targetExists)
        return true;
    if (fchown(temporaryFile, targetStatus.st_uid, targetStatus.st_gid) != 0)
        (void)!fchown(temporaryFile, static_cast<uid_t>(-1), targetStatus.st_gid);
    return fchmod(temporaryFile, targetStatus.st_mode & 07777) == 0;
}

static bool WriteAll(FileHandle file, const std::string &bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t written = write(file, bytes.data() + done, bytes.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

static bool FlushAndClose(FileHandle &file) {
    const bool flushed = fsync(file) == 0;
    const bool closed = close(file) == 0;
    file = noFile;
    return flushed && closed;
}

static void CloseFile(FileHandle file) { close(file); }

static void RemoveFile(const char *path) { unlink(path); }

static bool MoveOverTarget(const char *from, const char *to) { return rename(from, to) == 0; }

// A regular file only: the name may have changed since it was examined.
static bool Truncate(FileHandle file) {
    struct stat status {};
    return fstat(file, &status) == 0 && S_ISREG(status.st_mode) && ftruncate(file, 0) == 0;
}

// A signal that ends the process while the temporary file exists removes the file first, then
// takes its default course. A handler the process set before the export is called instead, as
// the signal came, with nothing removed: the process goes on, and so does the export, which
// removes its temporary file itself.
static const int guardedSignals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM, SIGXFSZ};
static constexpr std::size_t guardedSignalCount = sizeof guardedSignals / sizeof *guardedSignals;
static struct sigaction actionsBeforeExport[guardedSignalCount];

static const struct sigaction *ActionBeforeExport(int signalNumber) {
    for (std::size_t k = 0; k < guardedSignalCount; ++k)
        if (guardedSignals[k] == signalNumber)
            return &actionsBeforeExport[k];
    return nullptr;
}

static bool CallHandlerBeforeExport(const struct sigaction &action, int signalNumber,
                                    siginfo_t *info, void *context) {
    if ((action.sa_flags & SA_SIGINFO) != 0) {
        action.sa_sigaction(signalNumber, info, context);
        return true;
    }
    if (action.sa_handler == SIG_DFL || action.sa_handler == SIG_IGN)
        return false;
    action.sa_handler(signalNumber);
    return true;
}

static void RemoveTemporaryFileOrChain(int signalNumber, siginfo_t *info, void *context) {
    const struct sigaction *before = ActionBeforeExport(signalNumber);
    if (before == nullptr || CallHandlerBeforeExport(*before, signalNumber, info, context))
        return;
    if (temporaryExists != 0)
        unlink(temporaryPath);
    temporaryExists = 0;
    sigaction(signalNumber, before, nullptr);
    raise(signalNumber);
}

// A signal the process ignores is left ignored: it ends nothing.
static void GuardTemporaryFileAgainstSignals() {
    struct sigaction guard {};
    guard.sa_sigaction = RemoveTemporaryFileOrChain;
    guard.sa_flags = SA_SIGINFO;
    sigfillset(&guard.sa_mask);
    for (std::size_t k = 0; k < guardedSignalCount; ++k) {
        sigaction(guardedSignals[k], nullptr, &actionsBeforeExport[k]);
        const bool ignored = (actionsBeforeExport[k].sa_flags & SA_SIGINFO) == 0 &&
                             actionsBeforeExport[k].sa_handler == SIG_IGN;
        if (!ignored)
            sigaction(guardedSignals[k], &guard, nullptr);
    }
}

static void ReleaseSignalGuard() {
    for (std::size_t k = 0; k < guardedSignalCount; ++k)
        sigaction(guardedSignals[k], &actionsBeforeExport[k], nullptr);
}

#endif

// ---- the export's steps --------------------------------------------------------------------

// The next fresh name beside the target; false when it does not fit the buffer.
static bool FormTemporaryName() {
    const int length =
        std::snprintf(temporaryPath, sizeof temporaryPath, PFE_TEMPORARY_NAME_FORMAT,
                      targetPath.c_str(), ProcessId(), temporaryNameCounter++, RandomBits());
    return length > 0 && static_cast<std::size_t>(length) < sizeof temporaryPath;
}

// Tries fresh names while the last one is taken (by anything: a file, a link, a directory).
static bool CreateTemporaryFile() {
    for (unsigned attempt = 0; attempt < temporaryNameAttempts; ++attempt) {
        if (!FormTemporaryName())
            return false;
        temporaryFile = CreateExclusively(temporaryPath);
        if (temporaryFile != noFile) {
            temporaryExists = 1;
            return true;
        }
        if (!NameIsTaken())
            return false;
    }
    return false;
}

static void RemoveTemporaryFile() {
    if (temporaryFile != noFile)
        CloseFile(temporaryFile);
    temporaryFile = noFile;
    RemoveFile(temporaryPath);
    temporaryExists = 0;
}

// Open (making a missing file), truncate, one write, flush, close: each step checked.
static WriteOutcome WriteInPlace(const std::string &bytes) {
    FileHandle file = OpenTargetForWriting();
    if (file == noFile)
        return WriteOutcome::cannotOpen;
    const bool written = Truncate(file) && WriteAll(file, bytes);
    const bool flushedAndClosed = FlushAndClose(file);
    return written && flushedAndClosed ? WriteOutcome::written : WriteOutcome::cannotWrite;
}

// Only a complete file, flushed to disk, replaces the target; a failure before the move keeps
// the earlier export whole. A move the file system refuses leaves the write in place.
static WriteOutcome ReplaceTarget(const std::string &bytes) {
    if (targetInPlaceOnly || !CreateTemporaryFile())
        return WriteInPlace(bytes);
    const bool complete = GiveTemporaryTheTargetsPermissions() && WriteAll(temporaryFile, bytes) &&
                          FlushAndClose(temporaryFile);
    if (!complete) {
        RemoveTemporaryFile();
        return WriteOutcome::cannotWrite;
    }
    if (MoveOverTarget(temporaryPath, targetPath.c_str())) {
        temporaryExists = 0;
        return WriteOutcome::written;
    }
    RemoveTemporaryFile();
    return WriteInPlace(bytes);
}

// Returns the status line that reports the outcome.
static std::string ExportTo(const std::string &exportFileName) {
    WriteOutcome outcome = WriteOutcome::cannotOpen;
    if (ExamineTarget(exportFileName)) {
        GuardTemporaryFileAgainstSignals();
        outcome = ReplaceTarget(WithCrLfLineEnds(BuildExpressionsXml()));
        ReleaseSignalGuard();
    }
    if (outcome == WriteOutcome::cannotOpen)
        return FormatString("~COLOR_YELLOW~Cannot open %s!", exportFileName.c_str());
    if (outcome == WriteOutcome::cannotWrite)
        return FormatString("~COLOR_YELLOW~Cannot write %s!", exportFileName.c_str());
    return FormatString("Wrote %s", exportFileName.c_str());
}

void HandleExportKey() {
    if (!KeyJustReleased(VK_KEY_F8))
        return;
    const std::string exportFileName = FormatString("Moulary_%s.xml", selectedModelName.c_str());
    statusLine = ExportTo(exportFileName);
}
