#include "sim/play.h"

#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>

#include "sim/screen.h"
#include "standin/game.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t vkF7 = keys::f7, vkF8 = keys::f8, vkDelete = keys::del, vkLeft = keys::left,
                   vkUp = keys::up, vkRight = keys::right, vkDown = keys::down;
constexpr int64_t frameNanoseconds = 33333333;      // about 30 frames a second
constexpr int64_t escapeWaitNanoseconds = 50000000; // a lone Esc: nothing followed it this long
// Longer than any key's sequence: input this long that is still not a whole key is cut off.
constexpr std::size_t longestKeySequence = 32;
constexpr int defaultGridHeight = 60; // every feature has its row
constexpr int fittedGridWidth = 120;  // a grid fitted to the terminal is at most this wide
constexpr int narrowestGrid = 20;
// Title, the grid's two borders, and three lines below it: where exports go (or why the
// last one failed), the ped edited and the one aimed at, the last key's message.
constexpr int chromeRows = 6;
constexpr int fewestGridRows = 3;
// A directory this full is not searched whole for what blocks an export.

// ---- key decoding ----------------------------------------------------------------------------

DecodedKey Key(TerminalKey key, std::size_t length, std::string name, uint32_t virtualKey = 0) {
    return DecodedKey{key, virtualKey, length, std::move(name)};
}

std::string Printable(const std::string &bytes) {
    std::string text;
    for (char c : bytes) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u == 0x1B) {
            text += "ESC";
        } else if (u < 0x20 || u >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            text += hex;
        } else {
            text += c;
        }
    }
    return text;
}

// CSI sequences: ESC [ parameters final. Arrows may carry modifiers (ESC [ 1 ; 2 A).
DecodedKey DecodeCsi(const std::string &input, bool inputEnded) {
    std::size_t end = 2;
    while (end < input.size() && static_cast<unsigned char>(input[end]) >= 0x20 &&
           static_cast<unsigned char>(input[end]) <= 0x3F)
        ++end;
    if (end >= input.size())
        return inputEnded ? Key(TerminalKey::other, input.size(), Printable(input)) : DecodedKey{};
    const char final = input[end];
    const std::size_t length = end + 1;
    const std::string parameters = input.substr(2, end - 2);
    const std::string first = parameters.substr(0, parameters.find(';'));
    switch (final) {
    case 'A':
        return Key(TerminalKey::gameKey, length, "Up", vkUp);
    case 'B':
        return Key(TerminalKey::gameKey, length, "Down", vkDown);
    case 'C':
        return Key(TerminalKey::gameKey, length, "Right", vkRight);
    case 'D':
        return Key(TerminalKey::gameKey, length, "Left", vkLeft);
    case 'Z':
        return Key(TerminalKey::aimPrevious, length, "Shift-Tab");
    case '~':
        if (first == "3")
            return Key(TerminalKey::gameKey, length, "Delete", vkDelete);
        if (first == "18")
            return Key(TerminalKey::gameKey, length, "F7", vkF7);
        if (first == "19")
            return Key(TerminalKey::gameKey, length, "F8", vkF8);
        break;
    default:
        if (static_cast<unsigned char>(final) < 0x40 || static_cast<unsigned char>(final) > 0x7E)
            return Key(TerminalKey::other, length - 1, Printable(input.substr(0, length - 1)));
        break;
    }
    return Key(TerminalKey::other, length, Printable(input.substr(0, length)));
}

// SS3 sequences: the arrows in the terminal's application mode.
DecodedKey DecodeSs3(const std::string &input, bool inputEnded) {
    if (input.size() < 3)
        return inputEnded ? Key(TerminalKey::other, 2, "Alt-O") : DecodedKey{};
    switch (input[2]) {
    case 'A':
        return Key(TerminalKey::gameKey, 3, "Up", vkUp);
    case 'B':
        return Key(TerminalKey::gameKey, 3, "Down", vkDown);
    case 'C':
        return Key(TerminalKey::gameKey, 3, "Right", vkRight);
    case 'D':
        return Key(TerminalKey::gameKey, 3, "Left", vkLeft);
    default:
        return Key(TerminalKey::other, 3, Printable(input.substr(0, 3)));
    }
}

DecodedKey DecodeByte(char c) {
    switch (c) {
    case '\t':
        return Key(TerminalKey::aimNext, 1, "Tab");
    case 'q':
    case 'Q':
        return Key(TerminalKey::quit, 1, std::string(1, c));
    case '\x03':
        return Key(TerminalKey::quit, 1, "Ctrl-C");
    case '\x04':
        return Key(TerminalKey::quit, 1, "Ctrl-D");
    case '\x1a':
        return Key(TerminalKey::suspend, 1, "Ctrl-Z");
    default:
        return Key(TerminalKey::other, 1, Printable(std::string(1, c)));
    }
}

// INPUT starts with Esc. ALT_ALLOWED is false for the key that follows an Alt Esc: there an
// Esc that starts no sequence is a key of its own.
DecodedKey DecodeEscape(const std::string &input, bool inputEnded, bool altAllowed) {
    if (input.size() == 1)
        return inputEnded ? Key(TerminalKey::quit, 1, "Esc") : DecodedKey{};
    if (input[1] == '[')
        return DecodeCsi(input, inputEnded);
    if (input[1] == 'O')
        return DecodeSs3(input, inputEnded);
    if (!altAllowed)
        return Key(TerminalKey::quit, 1, "Esc");
    // Esc and another key at once is the terminal's Alt with that key: no key of the editor
    // has Alt, so it does nothing (and never quits).
    const DecodedKey key = input[1] == '\x1b' ? DecodeEscape(input.substr(1), inputEnded, false)
                                              : DecodeByte(input[1]);
    if (key.key == TerminalKey::none)
        return key;
    return Key(TerminalKey::other, key.length + 1, "Alt-" + key.name);
}

} // namespace

DecodedKey DecodeKey(const std::string &input, bool inputEnded) {
    if (input.empty())
        return DecodedKey{};
    if (input[0] == '\x1b')
        return DecodeEscape(input, inputEnded, true);
    return DecodeByte(input[0]);
}

// ---- keys waiting for their frame ------------------------------------------------------------

bool KeyQueue::Push(const DecodedKey &key) {
    if (quitWaiting)
        return false; // the session ends before its turn would come
    switch (key.key) {
    case TerminalKey::none:
    case TerminalKey::other:
        return false;
    case TerminalKey::quit:
        quitWaiting = true;
        break;
    case TerminalKey::suspend:
        if (suspendWaiting)
            return false;
        suspendWaiting = true;
        break;
    default:
        if (keys.size() >= limit)
            return false;
        break;
    }
    keys.push_back(key);
    return true;
}

DecodedKey KeyQueue::Pop() {
    const DecodedKey key = keys.front();
    keys.pop_front();
    if (key.key == TerminalKey::suspend)
        suspendWaiting = false;
    return key;
}

// ---- what the screen needs -------------------------------------------------------------------

namespace {

// The length of each line of TEXT on the grid, where colour tags take no room.
std::vector<int> LineLengths(const std::string &text) {
    std::vector<int> lengths(1, 0);
    for (char c : StripColorTags(text)) {
        if (c == '\n')
            lengths.push_back(0);
        else
            ++lengths.back();
    }
    return lengths;
}

bool TextsFit(const std::vector<std::vector<int>> &lengths,
              const std::vector<TextPlacement> &placed, const ScreenLayout &layout) {
    for (std::size_t i = 0; i < placed.size(); ++i) {
        for (std::size_t line = 0; line < lengths[i].size(); ++line) {
            const int row = placed[i].row + static_cast<int>(line);
            const int length = lengths[i][line];
            if (row < 0 || row >= layout.height || length == 0)
                continue;
            if (placed[i].col < 0 || placed[i].col + length > layout.width)
                return false;
        }
    }
    return true;
}

} // namespace

int GridWidthNeeded(const std::vector<DrawnText> &texts, const ScreenLayout &layout) {
    std::vector<std::vector<int>> lengths;
    for (const DrawnText &drawn : texts)
        lengths.push_back(LineLengths(drawn.text));
    ScreenLayout trial = layout;
    for (trial.width = std::max(layout.width, 1); trial.width <= widestGrid; ++trial.width)
        if (TextsFit(lengths, PlaceTexts(texts, trial), trial))
            return trial.width;
    return 0;
}

// ---- why an export failed --------------------------------------------------------------------

namespace {

// "Cannot open NAME!" or "Cannot write NAME!": which of the two, and NAME.
bool ParseExportFailure(const std::string &status, bool &cannotOpen, std::string &name) {
    for (const std::string prefix : {"Cannot open ", "Cannot write "}) {
        if (status.size() > prefix.size() + 1 && status.compare(0, prefix.size(), prefix) == 0 &&
            status.back() == '!') {
            cannotOpen = prefix == "Cannot open ";
            name = status.substr(prefix.size(), status.size() - prefix.size() - 1);
            return true;
        }
    }
    return false;
}

// Why PATH (SHOWN to the user) cannot be opened for writing as it stands, or "" when it can or
// does not exist. Only a regular file is opened, and neither created nor truncated.
std::string WhyNotWritable(const fs::path &path, const std::string &shown) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error); // through links, as the editor opens
    if (status.type() == fs::file_type::not_found)
        return "";
    if (error)
        return shown + ": " + error.message();
    if (status.type() == fs::file_type::directory)
        return shown + " is a directory";
    if (status.type() != fs::file_type::regular)
        return shown + " is not a regular file";
    const int file = open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return shown + " cannot be written: " + std::strerror(errno);
    close(file);
    return "";
}

// Why no new file can be made in DIRECTORY, or "" when one can. The probe is a file without a
// name, gone when closed (or when the process ends), so nothing is ever left behind.
std::string WhyNoNewFile(const std::string &directory) {
    const int file = open(directory.c_str(), O_TMPFILE | O_WRONLY | O_EXCL | O_CLOEXEC, 0600);
    if (file >= 0) {
        close(file);
        return "";
    }
    int error = errno;
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL) {
        // A file system without nameless files: ask for the permission instead.
        if (access(directory.c_str(), W_OK | X_OK) == 0)
            return "";
        error = errno;
    }
    return "no file can be made in " + directory + ": " + std::strerror(error);
}

// The editor checks that NAME takes writing if it exists, and needs to make a file in the
// directory when it does not. Nothing else can block it: its temporary names are its own.
std::string WhyCannotOpen(const std::string &directory, const std::string &name) {
    std::string why = WhyNotWritable(fs::path(directory) / name, name);
    if (why.empty())
        why = WhyNoNewFile(directory);
    if (why.empty())
        why = "nothing stands in the way of " + name + " in " + directory + " now; F8 tries again";
    return why;
}

std::string WhyCannotWrite(const std::string &directory) {
    std::error_code error;
    const fs::space_info space = fs::space(directory, error);
    if (!error && space.available == 0)
        return "the file system of " + directory + " is full";
    struct rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return "files may grow to " + std::to_string(limit.rlim_cur) +
               " bytes at most in this process (ulimit -f)";
    return "no cause found now: " + directory + " has room and files have no size limit; F8 " +
           "tries again";
}

} // namespace

std::string ExplainExportFailure(const std::string &status, const std::string &directory) {
    bool cannotOpen = false;
    std::string name;
    if (!ParseExportFailure(status, cannotOpen, name))
        return "";
    return "why: " + (cannotOpen ? WhyCannotOpen(directory, name) : WhyCannotWrite(directory));
}

namespace {

// ---- the terminal ----------------------------------------------------------------------------

// Shared with the signal handlers, which may run at any point: plain data only, and only
// async-signal-safe calls (write, tcsetattr, sigaction, sigprocmask, kill, raise) on it.
struct termios savedTerminal;            // as the session found it, and leaves it
struct termios rawTerminal;              // as the session runs it
volatile sig_atomic_t terminalRaw = 0;   // rawTerminal is in force
volatile sig_atomic_t sessionActive = 0; // the handlers below are in place
volatile sig_atomic_t endSignal = 0;     // a signal that ends the session
volatile sig_atomic_t redrawWanted = 0;  // the terminal was given back and taken again
volatile sig_atomic_t continued = 0;     // SIGCONT came
struct sigaction previousActions[NSIG];

struct Bytes {
    const char *data;
    std::size_t length;
};
const char enterScreen[] = "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J"; // alternate screen, no cursor
const char leaveScreen[] = "\x1b[0m\x1b[?25h\x1b[?1049l";
Bytes enterSequence{"", 0}; // empty on a terminal without cursor control
Bytes leaveSequence{"", 0};

// Room for the handlers of a crash that ran out of stack.
alignas(16) char alternateStack[64 * 1024];

void WriteBytes(Bytes bytes) {
    while (bytes.length > 0) {
        const ssize_t written = write(STDOUT_FILENO, bytes.data, bytes.length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // the terminal went away; the session ends by its input
        bytes.data += written;
        bytes.length -= static_cast<std::size_t>(written);
    }
}

// Cooked mode, the main screen, the cursor shown: the terminal as the session found it.
void GiveTerminalBack() {
    if (terminalRaw == 0)
        return;
    terminalRaw = 0;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    WriteBytes(leaveSequence);
}

void TakeTerminal() {
    terminalRaw = 1;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &rawTerminal) != 0) {
        terminalRaw = 0;
        return;
    }
    WriteBytes(enterSequence);
}

void SetHandler(int signalNumber, void (*handler)(int)) {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = handler;
    sigaction(signalNumber, &action, nullptr);
}

// Ctrl-Z, or SIGTSTP from outside: give the terminal back, stop the process group as the
// terminal's own Ctrl-Z would (a script that ran play stops too, so that its shell sees the job
// stopped and takes the terminal), and take the terminal again when SIGCONT resumes the
// process (its handler does that).
void OnSuspendSignal(int) {
    const int savedErrno = errno;
    GiveTerminalBack();
    SetHandler(SIGTSTP, SIG_DFL);
    sigset_t suspend;
    sigemptyset(&suspend);
    sigaddset(&suspend, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &suspend, nullptr);
    kill(0, SIGTSTP); // the whole job stops (with the script that ran play), and this here
    SetHandler(SIGTSTP, OnSuspendSignal);
    // Not stopped (the system drops the stop of a process group no shell could resume), or
    // resumed with SIGCONT's handler still to come (a sanitizer may hold it back).
    if (terminalRaw == 0) {
        TakeTerminal();
        redrawWanted = 1;
    }
    errno = savedErrno;
}

// Resumed (after a stop of any kind, during which a shell may have set its own modes).
void OnContinueSignal(int) {
    const int savedErrno = errno;
    continued = 1;
    if (sessionActive != 0) {
        TakeTerminal();
        redrawWanted = 1;
    }
    errno = savedErrno;
}

// A signal whose default action ends the process: the session ends in order (the module
// unloaded, the terminal given back) with status 128 + N.
void OnEndSignal(int signalNumber, siginfo_t *info, void *) {
    // A write past the file size limit sends this process SIGXFSZ from itself: the write
    // fails, the editor reports it, and the session goes on.
    if (signalNumber == SIGXFSZ && info != nullptr && info->si_code == SI_USER &&
        info->si_pid == getpid())
        return;
    endSignal = signalNumber;
}

// A crash or an abort: give the terminal back, then let the signal take its earlier course
// (the default action, or a sanitizer's report). A fault repeats when the handler returns
// and meets that action then; a signal that was sent or raised is raised again.
void OnFaultSignal(int signalNumber, siginfo_t *info, void *) {
    GiveTerminalBack();
    sigaction(signalNumber, &previousActions[signalNumber], nullptr);
    const bool repeats = info != nullptr && info->si_code > 0 &&
                         (signalNumber == SIGSEGV || signalNumber == SIGBUS ||
                          signalNumber == SIGFPE || signalNumber == SIGILL);
    if (!repeats)
        raise(signalNumber);
}

const int faultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

// Every other signal whose default action ends the process, real-time signals included.
std::vector<int> EndSignals() {
    std::vector<int> signals = {SIGHUP,  SIGINT,    SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGPIPE,
                                SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGIO};
#ifdef SIGPWR
    signals.push_back(SIGPWR);
#endif
#ifdef SIGSTKFLT
    signals.push_back(SIGSTKFLT);
#endif
    for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; ++signalNumber)
        signals.push_back(signalNumber);
    return signals;
}

bool Ignored(int signalNumber) {
    struct sigaction current {};
    sigaction(signalNumber, nullptr, &current);
    return (current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == SIG_IGN;
}

// A terminal that cannot move its cursor (or whose kind is unknown) gets plain lines.
bool PlainTerminal() {
    const char *term = std::getenv("TERM");
    return term == nullptr || *term == '\0' || std::string(term) == "dumb";
}

// Raw mode (and the alternate screen, unless PLAIN) for the whole session; given back when
// it ends by any way out of the scope, and by the signal handlers when it ends otherwise or
// is suspended.
class TerminalSession {
  public:
    bool Enter(bool plain, std::string &why) {
        if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) {
            why = std::strerror(errno);
            return false;
        }
        rawTerminal = savedTerminal;
        rawTerminal.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR |
                                                      IGNCR | ICRNL | IXON);
        rawTerminal.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        rawTerminal.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        rawTerminal.c_cflag |= CS8;
        rawTerminal.c_cc[VMIN] = 0;
        rawTerminal.c_cc[VTIME] = 0;
        enterSequence = plain ? Bytes{"", 0} : Bytes{enterScreen, sizeof enterScreen - 1};
        leaveSequence = plain ? Bytes{"", 0} : Bytes{leaveScreen, sizeof leaveScreen - 1};
        InstallHandlers();
        sessionActive = 1;
        terminalRaw = 1;
        if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &rawTerminal) != 0) {
            why = std::strerror(errno);
            terminalRaw = 0;
            return false;
        }
        WriteBytes(enterSequence);
        return true;
    }
    ~TerminalSession() {
        sessionActive = 0;
        GiveTerminalBack();
        for (int signalNumber : handled)
            sigaction(signalNumber, &previousActions[signalNumber], nullptr);
        if (stackSet)
            sigaltstack(&previousStack, nullptr);
    }
    // Whether Ctrl-Z may stop the session: not when SIGTSTP was ignored when it began.
    bool SuspendAllowed() const { return suspendAllowed; }

  private:
    void Install(int signalNumber, void (*handler)(int, siginfo_t *, void *), int flags) {
        struct sigaction action {};
        sigemptyset(&action.sa_mask);
        action.sa_sigaction = handler;
        action.sa_flags = SA_SIGINFO | flags;
        sigaction(signalNumber, &action, &previousActions[signalNumber]);
        handled.push_back(signalNumber);
    }
    void Install(int signalNumber, void (*handler)(int)) {
        struct sigaction action {};
        sigemptyset(&action.sa_mask);
        action.sa_handler = handler;
        sigaction(signalNumber, &action, &previousActions[signalNumber]);
        handled.push_back(signalNumber);
    }
    // Signals ignored when the session began stay ignored, as a shell that set them wants.
    void InstallHandlers() {
        stack_t stack{};
        stack.ss_sp = alternateStack;
        stack.ss_size = sizeof alternateStack;
        stackSet = sigaltstack(&stack, &previousStack) == 0;
        for (int signalNumber : faultSignals)
            if (!Ignored(signalNumber))
                Install(signalNumber, OnFaultSignal, SA_ONSTACK);
        for (int signalNumber : EndSignals())
            if (!Ignored(signalNumber))
                Install(signalNumber, OnEndSignal, 0);
        suspendAllowed = !Ignored(SIGTSTP);
        if (suspendAllowed)
            Install(SIGTSTP, OnSuspendSignal);
        Install(SIGCONT, OnContinueSignal);
    }

    std::vector<int> handled;
    stack_t previousStack{};
    bool stackSet = false;
    bool suspendAllowed = false;
};

void WriteAll(const std::string &text) { WriteBytes(Bytes{text.data(), text.size()}); }

int64_t Now() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

void TerminalSize(int &columns, int &rows) {
    struct winsize size {};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 && size.ws_row > 0) {
        columns = size.ws_col;
        rows = size.ws_row;
    } else {
        columns = 80;
        rows = 24;
    }
}

// A line cut to leave the terminal's last column free: a character there puts the cursor in
// the terminal's pending wrap, where erasing to the end of the line would take it away.
std::string Fit(std::string line, int columns) {
    const std::size_t room = static_cast<std::size_t>(std::max(columns - 1, 1));
    if (line.size() > room)
        line.resize(room);
    return line;
}

// PHRASES each on a line of its own, in lines of whole words that fit the terminal.
std::vector<std::string> Wrapped(const std::vector<std::string> &phrases, int columns) {
    const std::size_t room = static_cast<std::size_t>(std::max(columns - 1, 1));
    std::vector<std::string> lines;
    for (const std::string &phrase : phrases) {
        lines.emplace_back();
        std::istringstream words(phrase);
        std::string word;
        while (words >> word) {
            if (!lines.back().empty() && lines.back().size() + 1 + word.size() > room)
                lines.emplace_back();
            lines.back() += (lines.back().empty() ? "" : " ") + word;
        }
    }
    for (std::string &line : lines)
        line = Fit(line, columns);
    return lines;
}

// Characters a grid line takes on the terminal: its colour sequences take none.
int VisibleLength(const std::string &line) {
    int length = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\x1b') {
            while (i < line.size() && line[i] != 'm')
                ++i;
            continue;
        }
        ++length;
    }
    return length;
}

// ---- the world -------------------------------------------------------------------------------

struct Inhabitant {
    int32_t handle;
    EntityKind kind;
    const char *model;
    bool human;
    const char *what;
};

constexpr int32_t playerHandle = facts::defaultPlayerPed;

const Inhabitant inhabitants[] = {
    {playerHandle, EntityKind::ped, facts::defaultPlayerModel, true, "you"},
    {2, EntityKind::ped, "A_M_M_VALTOWNFOLK_01", true, "a townsman"},
    {3, EntityKind::ped, "A_F_M_VALTOWNFOLK_01", true, "a townswoman"},
    {4, EntityKind::ped, "A_M_M_BLWFOREMAN_01", true, "a foreman"},
    {5, EntityKind::ped, "A_C_HORSE_MORGAN_BAY", false, "a horse"},
    {6, EntityKind::vehicle, "WAGON02X", false, "a wagon"},
};

void BuildWorld(World &world) {
    float x = 2.0f;
    for (const Inhabitant &inhabitant : inhabitants) {
        WorldEntity &entity = inhabitant.handle == playerHandle
                                  ? SpawnDefaultPlayer(world)
                                  : world.Spawn(inhabitant.handle, inhabitant.kind,
                                                HashOfName(inhabitant.model), inhabitant.human);
        entity.position = Vec3{x, 5.0f, 0.0f};
        entity.heading = 180.0f;
        x += 2.0f;
    }
    world.freeAiming = false;
}

std::string Describe(int32_t handle) {
    for (const Inhabitant &inhabitant : inhabitants)
        if (inhabitant.handle == handle)
            return std::to_string(handle) + " " + inhabitant.model + " (" + inhabitant.what + ")";
    return std::to_string(handle);
}

// ---- the session -----------------------------------------------------------------------------

std::string WorkingDirectory() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::current_path(error);
    return error ? std::string("the current directory") : path.string();
}

// The native the editor sets a feature with, in every frame in which it edits a ped.
const char *const title =
    "pfe-sim | F7 select | arrows move/step | F8 export | Del end | Tab aim | q quit | ^Z suspend";

class Session {
  public:
    Session(Game &theGame, const PlayOptions &theOptions, bool plainTerminal)
        : game(theGame), options(theOptions), plain(plainTerminal) {
        aimTargets.push_back(0);
        for (const auto &entry : game.world.Entities())
            if (entry.first != game.world.playerPed)
                aimTargets.push_back(entry.first);
    }

    int Run(bool suspendAllowed);
    uint64_t frames = 0;
    std::string directory = WorkingDirectory(); // where the module's exports land
    std::set<std::string> exports;

  private:
    void DecodeInput(int64_t now);
    void WaitForInput(int64_t wait, int64_t now);
    void Handle(const DecodedKey &key);
    bool Act(const DecodedKey &key);
    void Suspend();
    void Aim(int step);
    void Frame();
    void FollowExports(bool exportJustTried);
    int32_t EditedPed() const;
    std::vector<std::string> GridLines(int columns, int rows, std::string &note) const;
    std::string PedLine() const;
    void Draw();
    void Show(std::vector<std::string> lines, int columns, int rows);

    Game &game;
    const PlayOptions &options;
    const bool plain; // no cursor control: each new screen is printed below the last
    bool suspendAllowed = false;
    std::string input;
    int64_t lastInput = 0;
    KeyQueue keys;
    std::vector<int32_t> aimTargets;
    std::size_t aimIndex = 0;
    std::string message = "Tab aims at the next one in the world; F7 selects.";
    bool exportTried = false;  // F8 went into the last frame
    std::string failedStatus;  // the editor's status line after a failed export
    std::string failureReason; // why that export failed, as found then
    std::string lastScreen;
    int lastColumns = 0;
    int lastRows = 0;
    bool running = true;
};

void Session::Aim(int step) {
    const std::size_t count = aimTargets.size();
    aimIndex = step > 0 ? (aimIndex + 1) % count : (aimIndex + count - 1) % count;
    const int32_t target = aimTargets[aimIndex];
    game.world.freeAiming = target != 0;
    if (target != 0)
        game.world.aimTarget = target;
    message = target != 0 ? "aiming at " + Describe(target) : "aiming at nothing";
}

void Session::Handle(const DecodedKey &key) {
    if (key.key == TerminalKey::other)
        message =
            "key " + key.name + " does nothing here (F7 F8 Delete arrows Tab, Esc or q quits)";
    else if (!keys.Push(key))
        message = "typed too far ahead: " + key.name + " dropped";
}

void Session::Suspend() {
    if (!suspendAllowed) {
        message = "Ctrl-Z does nothing here: stopping was turned off when play began";
        return;
    }
    continued = 0;
    raise(SIGTSTP);     // the handler gives the terminal back, stops, and takes it again
    if (continued == 0) // SIGCONT, if it comes later, says "resumed" (see Run)
        message = "Ctrl-Z does nothing here: no shell with job control could resume play";
}

// A key's turn, right before its frame, as the game would see a tap between two frames.
// Returns true for a quit, which ends the session once this frame has run.
bool Session::Act(const DecodedKey &key) {
    switch (key.key) {
    case TerminalKey::gameKey:
        game.KeyDown(key.virtualKey);
        game.KeyUp(key.virtualKey);
        message = "pressed " + key.name;
        exportTried = key.virtualKey == vkF8;
        return false;
    case TerminalKey::aimNext:
        Aim(1);
        return false;
    case TerminalKey::aimPrevious:
        Aim(-1);
        return false;
    case TerminalKey::suspend:
        Suspend();
        return false;
    case TerminalKey::quit:
        return true;
    default:
        return false;
    }
}

// One frame of the game, with at most one key's turn right before it.
void Session::Frame() {
    const bool exportJustTried = exportTried;
    exportTried = false;
    const bool quitting = !keys.Empty() && Act(keys.Pop());
    game.RunFrame();
    ++frames;
    FollowExports(exportJustTried);
    if (quitting)
        running = false;
}

// Notes the files the editor wrote, and why an export failed: found when the failure first
// shows, and again for each new attempt (the status line shows an export's outcome from the
// frame after F8 on).
void Session::FollowExports(bool exportJustTried) {
    std::string failure;
    for (const DrawnText &drawn : game.FrameTexts()) {
        const std::string plainText = StripColorTags(drawn.text);
        if (plainText.rfind("Wrote ", 0) == 0)
            exports.insert(plainText.substr(6));
        else if (plainText.rfind("Cannot ", 0) == 0)
            failure = plainText;
    }
    if (failure.empty()) {
        failedStatus.clear();
        failureReason.clear();
    } else if (failure != failedStatus || exportJustTried) {
        failedStatus = failure;
        failureReason = ExplainExportFailure(failure, directory);
    }
}

// The ped the editor edits: the one it set features on in the last frame.
int32_t Session::EditedPed() const {
    for (const NativeCallRecord &call : game.FrameCalls())
        if (call.hash == hashes::setFaceFeature && call.argumentCount > 0)
            return static_cast<int32_t>(static_cast<uint32_t>(call.arguments[0]));
    return 0;
}

std::string Session::PedLine() const {
    const int32_t edited = EditedPed();
    const int32_t aimed = game.world.freeAiming ? game.world.aimTarget : 0;
    std::string line = "editing: " + (edited != 0 ? Describe(edited) : std::string("nothing")) +
                       " | aim: " + (aimed != 0 ? Describe(aimed) : std::string("nothing"));
    // A frame counter would make every screen new, and a plain terminal prints each one.
    if (!plain)
        line += " | frame " + std::to_string(frames);
    return line;
}

// A border line of the grid with a remark set into it: "+-- 12 rows above ----+".
std::string BorderWith(const std::string &border, const std::string &remark) {
    if (remark.empty() || border.size() < remark.size() + 6)
        return border;
    std::string line = border;
    line.replace(3, remark.size() + 2, " " + remark + " ");
    return line;
}

// The grid is the game's screen at a fixed size (60 rows unless --screen says otherwise, so
// the whole feature list has its rows); a terminal too short for it shows a window of rows
// that follows the cursor marker (or the prompt), and NOTE names the texts it scrolled past.
// A grid the terminal cannot hold, or one too narrow for the frame's texts, is not drawn cut
// or wrapped: lines say so instead.
std::vector<std::string> Session::GridLines(int columns, int rows, std::string &note) const {
    const std::vector<DrawnText> &texts = game.FrameTexts();
    ScreenLayout layout;
    layout.legend = false;
    layout.color = ColorWanted(STDOUT_FILENO);
    layout.height = options.height > 0 ? options.height : defaultGridHeight;
    layout.width =
        options.width > 0 ? options.width : std::clamp(columns - 2, narrowestGrid, fittedGridWidth);
    const int needed = GridWidthNeeded(texts, layout);
    // A frame wider than a fitted grid gets a wider one, if the terminal has the room.
    if (options.width == 0 && needed > layout.width && needed + 2 <= columns)
        layout.width = needed;
    const std::string has = "the terminal has " + std::to_string(columns) + ".";
    if (needed == 0)
        return Wrapped({"Too narrow for this screen:",
                        "it needs more than " + std::to_string(widestGrid + 2) + " columns,", has},
                       columns);
    if (needed > layout.width && options.width > 0)
        return Wrapped({"The grid of --screen is too narrow for this screen:",
                        "it needs a width of " + std::to_string(needed) + "."},
                       columns);
    const int width = std::max(needed, layout.width) + 2;
    if (width > columns)
        return Wrapped(
            {"Too narrow for the grid:", "it needs " + std::to_string(width) + " columns,", has,
             "Widen it to see the screen."},
            columns);
    const int visible = std::min(rows - chromeRows, layout.height);
    if (visible < fewestGridRows)
        return Wrapped({"Too short for the grid:",
                        "it needs " + std::to_string(chromeRows + fewestGridRows) + " rows,",
                        "the terminal has " + std::to_string(rows) + "."},
                       columns);

    const std::vector<TextPlacement> placed = PlaceTexts(texts, layout);
    int markerRow = 0; // the row the window keeps in view
    for (const TextPlacement &place : placed) {
        const int below = place.row + place.lines - std::max(layout.height, place.row);
        if (place.lines > 1 && below > 0 && below < place.lines)
            note = std::to_string(below) + " list lines lie below the grid of " +
                   std::to_string(layout.height) + " rows";
        if (place.anchorText >= 0)
            markerRow = place.row;
    }
    // Without a marker, the window shows the first text (the prompt, when nothing is edited).
    if (markerRow == 0 && !placed.empty() && placed.front().lines == 1)
        markerRow = placed.front().row;
    const int top = std::clamp(markerRow - visible / 2, 0, layout.height - visible);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const TextPlacement &place = placed[i];
        if (place.lines == 1 && place.anchorText < 0 && place.row >= 0 &&
            (place.row < top || (place.row >= top + visible && place.row < layout.height)))
            note += (note.empty() ? "" : " | ") +
                    std::string(place.row < top ? "above: " : "below: ") +
                    StripColorTags(texts[i].text);
    }

    std::vector<std::string> grid;
    const std::string rendered = RenderScreen(texts, layout);
    for (std::size_t start = 0; start < rendered.size();) {
        const std::size_t end = rendered.find('\n', start);
        grid.push_back(rendered.substr(start, end - start));
        start = end == std::string::npos ? rendered.size() : end + 1;
    }
    const int hiddenBelow = layout.height - top - visible;
    std::vector<std::string> lines;
    lines.push_back(BorderWith(grid.front(), top > 0 ? std::to_string(top) + " rows above" : ""));
    for (int row = top; row < top + visible; ++row)
        lines.push_back(grid[static_cast<std::size_t>(row) + 1]);
    lines.push_back(BorderWith(grid.back(),
                               hiddenBelow > 0 ? std::to_string(hiddenBelow) + " rows below" : ""));
    return lines;
}

void Session::Draw() {
    int columns = 0;
    int rows = 0;
    TerminalSize(columns, rows);
    std::string note;
    std::vector<std::string> lines = GridLines(columns, rows, note);
    lines.insert(lines.begin(), Fit(title, columns));
    // Right below the grid: where exports go, or why the last one failed.
    lines.push_back(
        Fit(failureReason.empty() ? "exports go to " + directory : failureReason, columns));
    lines.push_back(Fit(PedLine(), columns));
    lines.push_back(Fit(note.empty() ? message : message + " | " + note, columns));
    Show(std::move(lines), columns, rows);
}

// Writes the screen when it changed. With cursor control it is drawn over the last one from
// the top left corner; on a plain terminal it is printed below the last.
void Session::Show(std::vector<std::string> lines, int columns, int rows) {
    if (static_cast<int>(lines.size()) > rows)
        lines.resize(static_cast<std::size_t>(std::max(rows, 1)));
    std::string screen = plain ? "\r\n" : "\x1b[H";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        screen += lines[i];
        if (plain) {
            screen += "\r\n";
            continue;
        }
        if (VisibleLength(lines[i]) < columns)
            screen += "\x1b[K";
        if (i + 1 < lines.size())
            screen += "\r\n";
    }
    if (!plain)
        screen += "\x1b[J";
    if (screen == lastScreen && columns == lastColumns && rows == lastRows)
        return;
    WriteAll(screen);
    lastScreen = screen;
    lastColumns = columns;
    lastRows = rows;
}

// Decodes what arrived; a lone Esc waits a moment for the rest of a sequence.
void Session::DecodeInput(int64_t now) {
    while (!input.empty()) {
        const bool ended =
            now - lastInput >= escapeWaitNanoseconds || input.size() > longestKeySequence;
        const DecodedKey key = DecodeKey(input, ended);
        if (key.key == TerminalKey::none)
            return;
        input.erase(0, key.length);
        Handle(key);
    }
}

void Session::WaitForInput(int64_t wait, int64_t now) {
    if (!input.empty())
        wait = std::min(wait, std::max<int64_t>(lastInput + escapeWaitNanoseconds - now, 0));
    struct pollfd in {
        STDIN_FILENO, POLLIN, 0
    };
    const int ready = poll(&in, 1, static_cast<int>(wait / 1000000) + 1);
    if (ready <= 0 || (in.revents & (POLLIN | POLLHUP | POLLERR)) == 0)
        return;
    char bytes[256];
    const ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
    if (count > 0) {
        input.append(bytes, static_cast<std::size_t>(count));
        lastInput = Now();
    } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
        running = false; // the terminal closed
    }
}

int Session::Run(bool suspendIsAllowed) {
    suspendAllowed = suspendIsAllowed;
    int64_t nextFrame = Now();
    while (running && endSignal == 0) {
        if (redrawWanted != 0) { // the terminal was taken again: draw it whole
            redrawWanted = 0;
            lastScreen.clear();
        }
        if (continued != 0) {
            continued = 0;
            message = "resumed after a stop";
        }
        const int64_t now = Now();
        DecodeInput(now);
        if (now >= nextFrame) {
            Frame();
            Draw();
            nextFrame += frameNanoseconds;
            if (nextFrame < now) // the machine fell behind (or was stopped): do not race
                nextFrame = now + frameNanoseconds;
            continue;
        }
        WaitForInput(nextFrame - now, now);
    }
    return endSignal != 0 ? 128 + endSignal : 0;
}

} // namespace

int PlayCommand(const PlayOptions &options) {
    if (isatty(STDIN_FILENO) != 1) {
        std::cerr << "pfe-sim: play reads keys from a terminal, and standard input is not one\n";
        return 2;
    }
    if (isatty(STDOUT_FILENO) != 1) {
        std::cerr << "pfe-sim: play draws its screen on a terminal, and standard output is not "
                     "one\n";
        return 2;
    }

    Game game;
    try {
        game.LoadModule(std::filesystem::absolute(options.modulePath).string());
    } catch (...) {
        return ReportCurrentError(std::cerr);
    }
    BuildWorld(game.world);
    game.frameTimeMs = 33;

    endSignal = 0;
    int status = 0;
    std::string failure;
    const bool plain = PlainTerminal();
    Session session(game, options, plain);
    {
        TerminalSession terminal;
        std::string why;
        if (!terminal.Enter(plain, why)) {
            std::cerr << "pfe-sim: cannot put the terminal in raw mode: " << why << "\n";
            return 2;
        }
        try {
            status = session.Run(terminal.SuspendAllowed());
        } catch (const GameError &stopped) {
            failure = stopped.what();
            status = 1;
        }
    }
    try {
        game.UnloadModule();
    } catch (const GameError &stopped) {
        if (failure.empty())
            failure = std::string("while unloading: ") + stopped.what();
        status = 1;
    }
    if (!failure.empty())
        std::cerr << "pfe-sim: the run stopped: " << failure << "\n";
    else if (status > 128)
        std::cerr << "pfe-sim: play ended by signal " << (status - 128) << " after "
                  << session.frames << " frames\n";
    else
        std::cout << "pfe-sim: play ended after " << session.frames << " frames\n";
    for (const std::string &file : session.exports)
        std::cout << "exported " << session.directory << "/" << file << "\n";
    return status;
}

#endif // _WIN32
