#include "sim/play_terminal.h"

#include <curses.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sim/printable.h"
#include "standin/platform.h"

namespace {

constexpr int escapeDelayMilliseconds = 50; // a lone Esc: nothing followed it this long
constexpr int grey = 8;

SCREEN *playScreen = nullptr;
int lockFile = -1;
bool plain = false;
bool suspendAllowed = false;
std::vector<ScreenLine> shown;
std::string printed; // the last screen of a plain terminal

// Shared with the signal handlers: plain data only.
volatile sig_atomic_t continued = 0;
struct termios foundModes; // as play found the terminal
char giveBackBytes[256];   // the description's sequences that leave play's screen
std::size_t giveBackLength = 0;
struct sigaction previousContinue;

void OnContinue(int) { continued = 1; }

// One play a terminal: a lock on its device, taken through a descriptor of play's own (one
// inherited from the shell is shared with every program started from it, and would keep the
// lock after play). A terminal of another user's that play may use but not open goes unlocked.
bool LockTerminal(std::string &why) {
    const char *name = ttyname(STDIN_FILENO);
    if (name == nullptr) {
        why = std::string("standard input names no terminal device: ") + std::strerror(errno);
        return false;
    }
    lockFile = open(name, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (lockFile < 0 && (errno == EACCES || errno == EPERM))
        return true;
    if (lockFile >= 0 && flock(lockFile, LOCK_EX | LOCK_NB) == 0)
        return true;
    why = errno == EWOULDBLOCK
              ? "another pfe-sim play runs on this terminal (" + Printable(name) + ")"
              : "cannot lock the terminal " + Printable(name) + ": " + std::strerror(errno);
    if (lockFile >= 0)
        close(lockFile);
    lockFile = -1;
    return false;
}

// TERM unset, empty or unknown to the library: a terminal of plain lines.
SCREEN *NewScreen() {
    const char *term = std::getenv("TERM");
    SCREEN *made = term != nullptr && *term != '\0' ? newterm(nullptr, stdout, stdin) : nullptr;
    return made != nullptr ? made : newterm("dumb", stdout, stdin);
}

void AddSequence(const char *capability) {
    const char *sequence = tigetstr(capability);
    if (sequence == nullptr || sequence == reinterpret_cast<char *>(-1))
        return;
    const std::size_t length = std::strlen(sequence);
    if (giveBackLength + length <= sizeof giveBackBytes) {
        std::memcpy(giveBackBytes + giveBackLength, sequence, length);
        giveBackLength += length;
    }
}

// A pair a colour, on the terminal's own background; none when NO_COLOR is set and not empty.
void StartColors() {
    const char *noColor = std::getenv("NO_COLOR");
    if (plain || !has_colors() || (noColor != nullptr && *noColor != '\0'))
        return;
    start_color();
    use_default_colors();
    for (short color = 1; color <= grey && color < COLORS; ++color)
        init_pair(color, color, -1);
}

void PrintPlain(const std::vector<ScreenLine> &lines) {
    std::string text = "\r\n";
    for (const ScreenLine &line : lines)
        text += line.text + "\r\n";
    if (text != printed) // a terminal gone away ends the session by its input
        platform::WriteAll(STDOUT_FILENO, text);
    printed = text;
}

void Draw(const std::vector<ScreenLine> &lines) {
    int rows = 0, columns = 0;
    getmaxyx(stdscr, rows, columns);
    erase();
    for (int row = 0; row < rows && row < static_cast<int>(lines.size()); ++row) {
        const ScreenLine &line = lines[static_cast<std::size_t>(row)];
        move(row, 0);
        for (int col = 0; col < columns - 1 && col < static_cast<int>(line.text.size()); ++col) {
            const std::size_t at = static_cast<std::size_t>(col);
            const int color = at < line.colors.size() ? line.colors[at] : 0;
            const chtype pair = color > 0 && color < COLOR_PAIRS ? COLOR_PAIR(color) : 0;
            addch(static_cast<chtype>(static_cast<unsigned char>(line.text[at])) | pair);
        }
    }
    refresh();
}

// Play's modes back on the terminal, and the next screen drawn whole.
void TakeAgain() {
    reset_prog_mode();
    if (!plain)
        clearok(curscr, TRUE);
    shown.clear();
    printed.clear();
}

} // namespace

namespace terminal {

bool Open(std::string &why) {
    if (!LockTerminal(why))
        return false;
    tcgetattr(STDIN_FILENO, &foundModes);
    struct sigaction stop {};
    sigaction(SIGTSTP, nullptr, &stop);
    suspendAllowed = (stop.sa_flags & SA_SIGINFO) != 0 || stop.sa_handler != SIG_IGN;
    playScreen = NewScreen();
    if (playScreen == nullptr) {
        why = "the terminal library cannot drive this terminal";
        Close();
        return false;
    }
    plain = tigetstr("cup") == nullptr || tigetstr("cup") == reinterpret_cast<char *>(-1);
    giveBackLength = 0;
    for (const char *capability : {"sgr0", "cnorm", "rmcup"})
        AddSequence(capability);
    raw();
    noecho();
    nonl();
    set_escdelay(escapeDelayMilliseconds);
    typeahead(-1); // keys coming fast must not hold the playScreen back
    curs_set(0);
    StartColors();
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = OnContinue;
    sigaction(SIGCONT, &action, &previousContinue);
    continued = 0;
    shown.clear();
    printed.clear();
    return true;
}

void Close() {
    if (playScreen != nullptr) {
        endwin();
        delscreen(playScreen);
        playScreen = nullptr;
        sigaction(SIGCONT, &previousContinue, nullptr);
    }
    if (lockFile >= 0)
        close(lockFile);
    lockFile = -1;
}

bool Plain() { return plain; }

void Size(int &columns, int &rows) { getmaxyx(stdscr, rows, columns); }

void Show(const std::vector<ScreenLine> &lines) {
    if (plain) {
        PrintPlain(lines);
        return;
    }
    bool same = lines.size() == shown.size();
    for (std::size_t i = 0; same && i < lines.size(); ++i)
        same = lines[i].text == shown[i].text && lines[i].colors == shown[i].colors;
    if (!same)
        Draw(lines);
    shown = lines;
}

// The whole job stops (a script that ran play with it), so that its shell takes the terminal,
// given back first. The stop takes SIGTSTP's default action, past the library's handler (kept
// for a stop from outside), which spoils errno and would give the terminal back twice. Where
// no shell with job control could resume play, the system does not stop it at all.
std::string Suspend() {
    if (!suspendAllowed)
        return "Ctrl-Z does nothing here: stopping was turned off when play began";
    continued = 0;
    endwin();
    struct sigaction stop {
    }, library{};
    stop.sa_handler = SIG_DFL;
    sigaction(SIGTSTP, &stop, &library);
    kill(0, SIGTSTP);
    sigaction(SIGTSTP, &library, nullptr);
    TakeAgain();
    return continued != 0 ? ""
                          : "Ctrl-Z does nothing here: no shell with job control could resume play";
}

bool Resumed() {
    if (continued == 0)
        return false;
    continued = 0;
    TakeAgain();
    return true;
}

void GiveBackInCrash() {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &foundModes);
    if (!plain && giveBackLength > 0)
        write(STDOUT_FILENO, giveBackBytes, giveBackLength);
}

} // namespace terminal
