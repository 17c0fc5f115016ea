#include "sim/ending_signals.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr int deepestFolder = 16; // the runs make a level or two; deeper ones are left
const int crashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

// What the handlers read, set before they can run: a handler may not allocate.
char folderToRemove[PATH_MAX];
volatile sig_atomic_t folderArmed = 0;
volatile sig_atomic_t ownerPolls = 0;
volatile sig_atomic_t received = 0;
void (*crashWork)() = nullptr;
struct sigaction previousActions[NSIG];
bool caught[NSIG];
alignas(16) char crashStack[64 * 1024]; // room for the crash handler of a stack overflow

// Every signal whose default action ends the process without a crash, real-time ones included.
const std::vector<int> &EndSignalList() {
    static const std::vector<int> list = [] {
        std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM,   SIGUSR1,
                                    SIGUSR2, SIGPIPE, SIGALRM, SIGVTALRM, SIGPROF,
                                    SIGXCPU, SIGXFSZ, SIGIO,   SIGPWR,    SIGSTKFLT};
        for (int number = SIGRTMIN; number <= SIGRTMAX; ++number)
            signals.push_back(number);
        return signals;
    }();
    return list;
}

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

// Removes the file, link or folder `name` in `parent`, not following links; true if gone.
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

void OnEndSignal(int number, siginfo_t *info, void *) {
    if (number == SIGXFSZ && info != nullptr && info->si_code == SI_USER &&
        info->si_pid == getpid())
        return;
    const int interrupted = errno; // the code the signal interrupted may yet read it
    if (folderArmed != 0)
        RemoveTreeAt(AT_FDCWD, folderToRemove, 0);
    folderArmed = 0;
    received = number;
    if (ownerPolls == 0) {
        signal(number, SIG_DFL);
        raise(number); // delivered as the handler returns: the process ends as the signal says
    }
    errno = interrupted;
}

// A fault repeats as the handler returns, meeting the earlier action; a sent one is raised.
void OnCrashSignal(int number, siginfo_t *info, void *) {
    if (crashWork != nullptr)
        crashWork();
    sigaction(number, &previousActions[number], nullptr);
    const bool repeats =
        info != nullptr && info->si_code > 0 &&
        (number == SIGSEGV || number == SIGBUS || number == SIGFPE || number == SIGILL);
    if (!repeats)
        raise(number);
}

void Catch(int number, void (*handler)(int, siginfo_t *, void *), int flags) {
    struct sigaction action {};
    sigaction(number, nullptr, &action);
    if ((action.sa_flags & SA_SIGINFO) == 0 && action.sa_handler == SIG_IGN)
        return; // ignored, as a shell that set it (nohup) wants
    action = {};
    sigemptyset(&action.sa_mask);
    action.sa_sigaction = handler;
    action.sa_flags = SA_SIGINFO | flags;
    caught[number] = sigaction(number, &action, &previousActions[number]) == 0;
}

} // namespace

EndingSignals::EndingSignals(const Owner &owner) {
    received = 0;
    ownerPolls = owner.polls ? 1 : 0;
    folderArmed = 0;
    if (owner.folder != nullptr && std::strlen(owner.folder) < sizeof folderToRemove) {
        std::strcpy(folderToRemove, owner.folder);
        folderArmed = 1;
    }
    for (int number : EndSignalList())
        Catch(number, OnEndSignal, 0);
    crashWork = owner.crash;
    if (crashWork == nullptr)
        return;
    stack_t stack{};
    stack.ss_sp = crashStack;
    stack.ss_size = sizeof crashStack;
    sigaltstack(&stack, nullptr);
    for (int number : crashSignals)
        Catch(number, OnCrashSignal, SA_ONSTACK);
}

EndingSignals::~EndingSignals() {
    folderArmed = 0;
    for (int number = 1; number < NSIG; ++number)
        if (caught[number])
            sigaction(number, &previousActions[number], nullptr);
    std::memset(caught, 0, sizeof caught);
    crashWork = nullptr;
}

int EndingSignals::Received() { return received; }

void EndingSignals::EndBy(int signalNumber) {
    signal(signalNumber, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signalNumber);
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber); // not reached: each of the signals ends the process
}

void EndingSignals::Hold(bool held) {
    sigset_t set;
    sigemptyset(&set);
    for (int number : EndSignalList())
        sigaddset(&set, number);
    sigprocmask(held ? SIG_BLOCK : SIG_UNBLOCK, &set, nullptr);
}
