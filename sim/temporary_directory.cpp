#include "sim/temporary_directory.h"

#include <filesystem>
#include <iostream>

#include "sim/failure.h"
#include "standin/platform.h"

#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr int cleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int signalCount = sizeof cleanupSignals / sizeof cleanupSignals[0];
constexpr int deepestFolder = 16; // the runs make a level or two; deeper ones are left

// What the handler removes, recorded before it can run: a handler may not allocate.
char folderToRemove[PATH_MAX];
volatile sig_atomic_t removalArmed = 0;
struct sigaction previousActions[signalCount];
bool handlerInstalled[signalCount];

bool RemoveTreeAt(int parent, const char *name, int depth);

// Empties the open folder, with only calls a signal handler may make. Entries removed while
// the folder is read may hide others from the same reading, so it reads again until a reading
// removes nothing.
void RemoveEntries(int folder, int depth) {
    alignas(dirent64) char buffer[1024];
    for (bool removedAny = true; removedAny;) {
        removedAny = false;
        lseek(folder, 0, SEEK_SET);
        for (ssize_t length; (length = getdents64(folder, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < length;) {
                const dirent64 *entry = reinterpret_cast<const dirent64 *>(buffer + at);
                at += entry->d_reclen;
                if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                    continue;
                if (RemoveTreeAt(folder, entry->d_name, depth + 1))
                    removedAny = true;
            }
        }
    }
}

// Removes the file, link or folder `name` in the folder `parent`; links are not followed.
// Returns whether it is gone.
bool RemoveTreeAt(int parent, const char *name, int depth) {
    if (unlinkat(parent, name, 0) == 0)
        return true;
    if (errno != EISDIR || depth > deepestFolder)
        return false;
    const int folder = openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0)
        return false;
    RemoveEntries(folder, depth);
    close(folder);
    return unlinkat(parent, name, AT_REMOVEDIR) == 0;
}

void RemoveAndEnd(int number) {
    const int interrupted = errno; // the code the signal interrupted may yet read it
    if (removalArmed != 0)
        RemoveTreeAt(AT_FDCWD, folderToRemove, 0);
    signal(number, SIG_DFL);
    raise(number); // delivered as the handler returns: the process ends as the signal says
    errno = interrupted;
}

void BlockCleanupSignals(int how) {
    sigset_t set;
    sigemptyset(&set);
    for (int number : cleanupSignals)
        sigaddset(&set, number);
    sigprocmask(how, &set, nullptr);
}

// A signal the process ignores (nohup) stays ignored.
void InstallHandlers() {
    struct sigaction action = {};
    action.sa_handler = RemoveAndEnd;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < signalCount; ++i) {
        handlerInstalled[i] = false;
        if (sigaction(cleanupSignals[i], nullptr, &previousActions[i]) != 0 ||
            previousActions[i].sa_handler == SIG_IGN)
            continue;
        handlerInstalled[i] = sigaction(cleanupSignals[i], &action, nullptr) == 0;
    }
}

void RestoreHandlers() {
    for (int i = 0; i < signalCount; ++i)
        if (handlerInstalled[i])
            sigaction(cleanupSignals[i], &previousActions[i], nullptr);
}

// A new folder by its absolute path (the run changes into it, so a relative TMPDIR would no
// longer lead there), short enough for the handler's record; otherwise removed again.
std::string AbsoluteFolder(const std::string &made, std::string &why) {
    if (made.empty())
        return made;
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(made, error).string();
    if (!error && absolute.size() < sizeof folderToRemove)
        return absolute;
    why = error ? error.message() : "its path is too long";
    std::filesystem::remove(made, error);
    return std::string();
}

} // namespace

// The signals wait while the folder is made and recorded, and while it is removed: one that
// comes meanwhile finds the folder either recorded or gone.
TemporaryDirectory::TemporaryDirectory() {
    std::string why;
    BlockCleanupSignals(SIG_BLOCK);
    path = AbsoluteFolder(platform::MakeTemporaryDirectory(why), why);
    if (path.empty()) {
        BlockCleanupSignals(SIG_UNBLOCK);
        throw Failure(exitBadInput, "cannot make a temporary directory: " + why);
    }
    std::memcpy(folderToRemove, path.c_str(), path.size() + 1);
    removalArmed = 1;
    InstallHandlers();
    BlockCleanupSignals(SIG_UNBLOCK);
}

TemporaryDirectory::~TemporaryDirectory() {
    BlockCleanupSignals(SIG_BLOCK);
    std::error_code error;
    std::filesystem::remove_all(path, error);
    if (error)
        std::cerr << "pfe-sim: cannot remove the temporary directory " << path << ": "
                  << error.message() << "\n";
    removalArmed = 0;
    RestoreHandlers();
    BlockCleanupSignals(SIG_UNBLOCK);
}

#else // _WIN32

TemporaryDirectory::TemporaryDirectory() {
    std::string why;
    path = platform::MakeTemporaryDirectory(why);
    if (path.empty())
        throw Failure(exitBadInput, "cannot make a temporary directory: " + why);
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code error;
    std::filesystem::remove_all(path, error);
    if (error)
        std::cerr << "pfe-sim: cannot remove the temporary directory " << path << ": "
                  << error.message() << "\n";
}

#endif
