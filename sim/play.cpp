#include "sim/play.h"

#ifndef _WIN32

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <set>

#include "sim/screen.h"
#include "standin/game.h"

namespace {

constexpr uint32_t vkF7 = 0x76, vkF8 = 0x77, vkDelete = 0x2E, vkLeft = 0x25, vkUp = 0x26,
                   vkRight = 0x27, vkDown = 0x28;
constexpr int64_t frameNanoseconds = 33333333;      // about 30 frames a second
constexpr int64_t escapeWaitNanoseconds = 50000000; // a lone Esc: nothing followed it this long
// Keys wait their turn: one tap per frame keeps their order (the editor handles the keys of
// one frame in a fixed order of its own). Typed ahead beyond this, keys are dropped.
constexpr std::size_t keyQueueLimit = 128;
constexpr int chromeRows = 5; // title, two grid borders, two footer lines

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

} // namespace

DecodedKey DecodeKey(const std::string &input, bool inputEnded) {
    if (input.empty())
        return DecodedKey{};
    const char c = input[0];
    if (c == '\x1b') {
        if (input.size() == 1)
            return inputEnded ? Key(TerminalKey::quit, 1, "Esc") : DecodedKey{};
        if (input[1] == '[')
            return DecodeCsi(input, inputEnded);
        if (input[1] == 'O') { // SS3: arrows in the terminal's application mode
            if (input.size() < 3)
                return inputEnded ? Key(TerminalKey::other, 2, "ESCO") : DecodedKey{};
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
        return Key(TerminalKey::quit, 1, "Esc"); // Esc, then another key
    }
    if (c == '\t')
        return Key(TerminalKey::aimNext, 1, "Tab");
    if (c == 'q' || c == 'Q')
        return Key(TerminalKey::quit, 1, std::string(1, c));
    if (c == '\x03')
        return Key(TerminalKey::quit, 1, "Ctrl-C");
    if (c == '\x04')
        return Key(TerminalKey::quit, 1, "Ctrl-D");
    return Key(TerminalKey::other, 1, Printable(std::string(1, c)));
}

namespace {

// ---- the terminal ----------------------------------------------------------------------------

// Saved for the signal handlers, which may run at any point: plain data only.
struct termios savedTerminal;
volatile sig_atomic_t terminalRaw = 0;
volatile sig_atomic_t stopSignal = 0;
struct sigaction previousActions[NSIG];

const char enterScreen[] = "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J";
const char leaveScreen[] = "\x1b[0m\x1b[?25h\x1b[?1049l";

// Async-signal-safe: tcsetattr and write only.
void RestoreTerminalNow() {
    if (terminalRaw == 0)
        return;
    terminalRaw = 0;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedTerminal);
    const ssize_t ignored = write(STDOUT_FILENO, leaveScreen, sizeof leaveScreen - 1);
    (void)ignored;
}

void OnStopSignal(int signalNumber) { stopSignal = signalNumber; }

// A crash: give the terminal back, then let the signal take its earlier course (the default
// action, or a sanitizer's report) when the handler returns and the fault repeats.
void OnFatalSignal(int signalNumber) {
    RestoreTerminalNow();
    sigaction(signalNumber, &previousActions[signalNumber], nullptr);
    if (signalNumber == SIGABRT)
        raise(signalNumber);
}

const int stopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
const int fatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};

// Raw mode for the whole session; restored when it ends by any way out of the scope, and by
// the signal handlers when it ends otherwise.
class RawTerminal {
  public:
    bool Enter(std::string &why) {
        if (tcgetattr(STDIN_FILENO, &savedTerminal) != 0) {
            why = std::strerror(errno);
            return false;
        }
        struct sigaction action {};
        sigemptyset(&action.sa_mask);
        action.sa_handler = OnStopSignal;
        for (int signalNumber : stopSignals)
            sigaction(signalNumber, &action, &previousActions[signalNumber]);
        action.sa_handler = OnFatalSignal;
        for (int signalNumber : fatalSignals)
            sigaction(signalNumber, &action, &previousActions[signalNumber]);
        action.sa_handler = SIG_IGN;
        sigaction(SIGPIPE, &action, &previousActions[SIGPIPE]);
        installed = true;

        struct termios raw = savedTerminal;
        raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                              ICRNL | IXON);
        raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        raw.c_cflag |= CS8;
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        terminalRaw = 1;
        if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) != 0) {
            why = std::strerror(errno);
            terminalRaw = 0;
            return false;
        }
        const ssize_t ignored = write(STDOUT_FILENO, enterScreen, sizeof enterScreen - 1);
        (void)ignored;
        return true;
    }
    ~RawTerminal() {
        RestoreTerminalNow();
        if (!installed)
            return;
        for (int signalNumber : stopSignals)
            sigaction(signalNumber, &previousActions[signalNumber], nullptr);
        for (int signalNumber : fatalSignals)
            sigaction(signalNumber, &previousActions[signalNumber], nullptr);
        sigaction(SIGPIPE, &previousActions[SIGPIPE], nullptr);
    }

  private:
    bool installed = false;
};

void WriteAll(const std::string &text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return; // the terminal went away; the session ends by its input
        done += static_cast<std::size_t>(written);
    }
}

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

// ---- the world -------------------------------------------------------------------------------

struct Inhabitant {
    int32_t handle;
    EntityKind kind;
    const char *model;
    bool human;
    const char *what;
};

constexpr int32_t playerHandle = 1000;

const Inhabitant inhabitants[] = {
    {playerHandle, EntityKind::ped, "PLAYER_ZERO", true, "you"},
    {2, EntityKind::ped, "A_M_M_VALTOWNFOLK_01", true, "a townsman"},
    {3, EntityKind::ped, "A_F_M_VALTOWNFOLK_01", true, "a townswoman"},
    {4, EntityKind::ped, "A_M_M_BLWFOREMAN_01", true, "a foreman"},
    {5, EntityKind::ped, "A_C_HORSE_MORGAN_BAY", false, "a horse"},
    {6, EntityKind::vehicle, "WAGON02X", false, "a wagon"},
};

void BuildWorld(World &world) {
    float x = 2.0f;
    for (const Inhabitant &inhabitant : inhabitants) {
        WorldEntity &entity = world.Spawn(inhabitant.handle, inhabitant.kind,
                                          HashOfName(inhabitant.model), inhabitant.human);
        entity.position = Vec3{x, 5.0f, 0.0f};
        entity.heading = 180.0f;
        x += 2.0f;
    }
    world.playerPed = playerHandle;
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

class Session {
  public:
    Session(Game &theGame, const PlayOptions &theOptions) : game(theGame), options(theOptions) {
        aimTargets.push_back(0);
        for (const auto &entry : game.world.Entities())
            if (entry.first != game.world.playerPed)
                aimTargets.push_back(entry.first);
    }

    int Run();
    uint64_t frames = 0;
    std::string directory = WorkingDirectory(); // where the module's exports land
    std::set<std::string> exports;

  private:
    void Handle(const DecodedKey &key);
    void Aim(int step);
    void Frame();
    void Draw();

    Game &game;
    const PlayOptions &options;
    std::string input;
    int64_t lastInput = 0;
    std::deque<DecodedKey> keys;
    std::vector<int32_t> aimTargets;
    std::size_t aimIndex = 0;
    std::string message = "Tab aims at the next one in the world; F7 selects.";
    std::string lastScreen;
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
    switch (key.key) {
    case TerminalKey::gameKey:
        if (keys.size() < keyQueueLimit)
            keys.push_back(key);
        else
            message = "typed too far ahead: " + key.name + " dropped";
        break;
    case TerminalKey::aimNext:
        Aim(1);
        break;
    case TerminalKey::aimPrevious:
        Aim(-1);
        break;
    case TerminalKey::quit:
        running = false;
        break;
    case TerminalKey::other:
        message =
            "key " + key.name + " does nothing here (F7 F8 Delete arrows Tab, Esc or q quits)";
        break;
    case TerminalKey::none:
        break;
    }
}

// One frame of the game, with at most one key tap delivered right before it, as the game
// would see a tap between two frames.
void Session::Frame() {
    if (!keys.empty()) {
        const DecodedKey key = keys.front();
        keys.pop_front();
        game.KeyDown(key.virtualKey);
        game.KeyUp(key.virtualKey);
        message = "pressed " + key.name;
    }
    game.RunFrame();
    ++frames;
    for (const DrawnText &drawn : game.FrameTexts()) {
        const std::string plain = StripColorTags(drawn.text);
        if (plain.rfind("Wrote ", 0) == 0)
            exports.insert(plain.substr(6));
    }
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
// that follows the cursor marker (or the prompt), and names the texts it scrolled past.
void Session::Draw() {
    int columns = 0;
    int rows = 0;
    TerminalSize(columns, rows);
    ScreenLayout layout;
    layout.legend = false;
    layout.color = ColorWanted(STDOUT_FILENO);
    layout.width = options.width > 0 ? options.width : std::clamp(columns - 2, 20, 120);
    layout.height = options.height > 0 ? options.height : 60;
    const int visible = std::clamp(rows - chromeRows, 3, layout.height);

    const std::vector<DrawnText> &texts = game.FrameTexts();
    const std::vector<TextPlacement> placed = PlaceTexts(texts, layout);
    std::string note;
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

    const auto fit = [columns](std::string line) {
        if (static_cast<int>(line.size()) > columns)
            line.resize(static_cast<std::size_t>(std::max(columns, 0)));
        return line;
    };
    std::vector<std::string> grid;
    const std::string rendered = RenderScreen(texts, layout);
    for (std::size_t start = 0; start < rendered.size();) {
        const std::size_t end = rendered.find('\n', start);
        grid.push_back(rendered.substr(start, end - start));
        start = end == std::string::npos ? rendered.size() : end + 1;
    }
    std::string screen = "\x1b[H";
    screen +=
        fit("pfe-sim | F7 select | arrows move/step | F8 export | Del end | Tab aim | q quit") +
        "\x1b[K\r\n";
    const int hiddenBelow = layout.height - top - visible;
    screen +=
        BorderWith(grid.front(), top > 0 ? std::to_string(top) + " rows above" : "") + "\x1b[K\r\n";
    for (int row = top; row < top + visible; ++row)
        screen += grid[static_cast<std::size_t>(row) + 1] + "\x1b[K\r\n";
    screen += BorderWith(grid.back(),
                         hiddenBelow > 0 ? std::to_string(hiddenBelow) + " rows below" : "") +
              "\x1b[K\r\n";
    const int32_t aimed = game.world.freeAiming ? game.world.aimTarget : 0;
    screen += fit("frame " + std::to_string(frames) +
                  " | aim: " + (aimed != 0 ? Describe(aimed) : std::string("nothing")) +
                  " | exports go to " + directory) +
              "\x1b[K\r\n";
    screen += fit(note.empty() ? message : message + " | " + note) + "\x1b[K\x1b[J";
    if (screen != lastScreen)
        WriteAll(screen);
    lastScreen = screen;
}

int Session::Run() {
    int64_t nextFrame = Now();
    while (running && stopSignal == 0) {
        const int64_t now = Now();
        // Decode what arrived; a lone Esc waits a moment for the rest of a sequence.
        while (!input.empty()) {
            const DecodedKey key = DecodeKey(input, now - lastInput >= escapeWaitNanoseconds);
            if (key.key == TerminalKey::none)
                break;
            input.erase(0, key.length);
            Handle(key);
        }
        if (!running)
            break;
        if (now >= nextFrame) {
            Frame();
            Draw();
            nextFrame += frameNanoseconds;
            if (nextFrame < now) // the machine fell behind: do not race to catch up
                nextFrame = now + frameNanoseconds;
            continue;
        }
        int64_t wait = nextFrame - now;
        if (!input.empty())
            wait = std::min(wait, std::max<int64_t>(lastInput + escapeWaitNanoseconds - now, 0));
        struct pollfd in {
            STDIN_FILENO, POLLIN, 0
        };
        const int ready = poll(&in, 1, static_cast<int>(wait / 1000000) + 1);
        if (ready > 0 && (in.revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            char bytes[256];
            const ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
            if (count > 0) {
                input.append(bytes, static_cast<std::size_t>(count));
                lastInput = Now();
            } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
                running = false; // the terminal closed
            }
        }
    }
    return stopSignal != 0 ? 128 + stopSignal : 0;
}

} // namespace

int PlayCommand(const PlayOptions &options) {
    if (isatty(STDIN_FILENO) != 1) {
        std::cerr << "pfe-sim: play reads keys from a terminal, and standard input is not one\n";
        return 2;
    }

    Game game;
    try {
        game.LoadModule(std::filesystem::absolute(options.modulePath).string());
    } catch (const Failure &error) {
        std::cerr << "pfe-sim: " << error.what() << "\n";
        return error.status;
    }
    BuildWorld(game.world);
    game.frameTimeMs = 33;

    stopSignal = 0;
    int status = 0;
    std::string failure;
    Session session(game, options);
    {
        RawTerminal terminal;
        std::string why;
        if (!terminal.Enter(why)) {
            std::cerr << "pfe-sim: cannot put the terminal in raw mode: " << why << "\n";
            return 2;
        }
        try {
            status = session.Run();
        } catch (const Failure &stopped) {
            failure = stopped.what();
            status = 1;
        }
    }
    try {
        game.UnloadModule();
    } catch (const Failure &stopped) {
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
