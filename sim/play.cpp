// Contents: the world; the session (key turns, frames, exports, the screen); the command.

#include "sim/play.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <set>

#include "sim/ending_signals.h"
#include "sim/failure.h"
#include "sim/play_keys.h"
#include "sim/play_lines.h"
#include "sim/play_terminal.h"
#include "sim/printable.h"
#include "standin/game.h"

namespace {

constexpr int64_t frameNanoseconds = 33333333; // about 30 frames a second

int64_t Now() {
    return std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1);
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

class Session {
  public:
    Session(Game &theGame, const PlayOptions &theOptions) : game(theGame), options(theOptions) {
        aimTargets.push_back(0);
        for (const auto &entry : game.world.Entities())
            if (entry.first != game.world.playerPed)
                aimTargets.push_back(entry.first);
    }

    void Run();
    void Finish();
    std::string message = "Tab aims at the next one in the world; F7 selects.";
    uint64_t frames = 0;
    std::string directory = WorkingDirectory(); // where the module's exports land
    std::set<std::string> exports;

  private:
    void Handle(const DecodedKey &key);
    bool Act(const DecodedKey &key);
    void Aim(int step);
    void Frame();
    void FollowExports(bool exportJustTried);
    int32_t EditedPed() const;
    std::string PedLine() const;
    void Draw();

    Game &game;
    const PlayOptions &options;
    KeyQueue keys;
    std::vector<int32_t> aimTargets;
    std::size_t aimIndex = 0;
    bool exportTried = false;  // F8 went into the last frame
    std::string failedStatus;  // the editor's status line after a failed export
    std::string failureReason; // why that export failed, as found then
    bool running = true;
};

void Session::Aim(int step) {
    aimIndex = (aimIndex + aimTargets.size() + static_cast<std::size_t>(step)) % aimTargets.size();
    const int32_t target = aimTargets[aimIndex];
    game.world.freeAiming = target != 0;
    if (target != 0)
        game.world.aimTarget = target;
    message = target != 0 ? "aiming at " + Describe(target) : "aiming at nothing";
}

void Session::Handle(const DecodedKey &key) {
    if (key.key == PlayKey::other)
        message = "key " + key.name + " does nothing here (the keys are on the top line)";
    else if (key.key != PlayKey::none && key.key != PlayKey::resize && !keys.Push(key))
        message = "typed too far ahead: " + key.name + " dropped";
}

// A key's turn right before its frame; true for a quit, which ends the session after it.
bool Session::Act(const DecodedKey &key) {
    switch (key.key) {
    case PlayKey::gameKey:
        game.KeyDown(key.virtualKey);
        game.KeyUp(key.virtualKey);
        message = "pressed " + key.name;
        exportTried = key.virtualKey == keys::f8;
        return false;
    case PlayKey::aimNext:
    case PlayKey::aimPrevious:
        Aim(key.key == PlayKey::aimNext ? 1 : -1);
        return false;
    case PlayKey::suspend: {
        const std::string why = terminal::Suspend();
        if (!why.empty())
            message = why;
        return false;
    }
    default:
        return key.key == PlayKey::quit;
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

// Notes the files the editor wrote, and why an export failed, found when the failure first
// shows and again for each new attempt (the status line shows it from the frame after F8).
void Session::FollowExports(bool exportJustTried) {
    std::string failure;
    for (const DrawnText &drawn : game.FrameTexts()) {
        const std::string written = ExportedFileName(drawn.text);
        if (!written.empty())
            exports.insert(written);
        else if (ExportFailed(StripColorTags(drawn.text)))
            failure = StripColorTags(drawn.text);
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
    if (!terminal::Plain())
        line += " | frame " + std::to_string(frames);
    return line;
}

void Session::Draw() {
    int columns = 0;
    int rows = 0;
    terminal::Size(columns, rows);
    std::string note;
    std::vector<ScreenLine> lines = GridLines(game.FrameTexts(), options, columns, rows, note);
    lines.insert(lines.begin(), Fit(HintLine(), columns));
    // Right below the grid: where exports go, or why the last one failed.
    lines.push_back(Fit(
        failureReason.empty() ? "exports go to " + Printable(directory) : failureReason, columns));
    lines.push_back(Fit(PedLine(), columns));
    lines.push_back(Fit(note.empty() ? message : message + " | " + note, columns));
    if (static_cast<int>(lines.size()) > rows)
        lines.resize(static_cast<std::size_t>(std::max(rows, 1)));
    terminal::Show(lines);
}

// Frames at their pace; keys read in between, each waiting its turn.
void Session::Run() {
    int64_t nextFrame = Now();
    while (running && EndingSignals::Received() == 0) {
        if (terminal::Resumed())
            message = "resumed after a stop";
        const int64_t now = Now();
        if (now >= nextFrame) {
            Frame();
            Draw();
            nextFrame += frameNanoseconds;
            if (nextFrame < now) // the machine fell behind (or was stopped): do not race
                nextFrame = now + frameNanoseconds;
            continue;
        }
        Handle(ReadKey(static_cast<int>((nextFrame - now) / 1000000) + 1));
    }
}

// An export of the last frame shows in the next: that frame runs too, to list every file.
void Session::Finish() {
    if (!exportTried)
        return;
    exportTried = false;
    game.RunFrame();
    FollowExports(true);
}

// The session on the terminal; a failure of the run is said in FAILURE.
void RunOnTerminal(Session &session, std::string &failure) {
    const std::string missing = LearnKeys();
    if (!missing.empty())
        session.message = "this terminal's description (TERM) has no key " + missing;
    try {
        session.Run();
        session.Finish();
    } catch (const GameError &stopped) {
        failure = stopped.what();
    }
}

} // namespace

int PlayCommand(const PlayOptions &options) {
    const char *notTerminal =
        isatty(STDIN_FILENO) != 1    ? "reads keys from a terminal, and standard input"
        : isatty(STDOUT_FILENO) != 1 ? "draws its screen on a terminal, and standard output"
                                     : nullptr;
    if (notTerminal != nullptr) {
        std::cerr << "pfe-sim: play " << notTerminal << " is not one\n";
        return 2;
    }
    const EndingSignals signals(EndingSignals::Owner{true, nullptr, terminal::GiveBackInCrash});
    std::string failure;
    if (!terminal::Open(failure)) {
        std::cerr << "pfe-sim: play cannot take the terminal: " << failure << "\n";
        return 2;
    }
    Game game;
    try {
        game.LoadModule(std::filesystem::absolute(options.modulePath).string());
    } catch (...) {
        terminal::Close();
        return ReportCurrentError(std::cerr);
    }
    BuildWorld(game.world);
    game.frameTimeMs = 33;
    Session session(game, options);
    RunOnTerminal(session, failure);
    terminal::Close();
    try {
        game.UnloadModule();
    } catch (const GameError &stopped) {
        if (failure.empty())
            failure = std::string("while unloading: ") + stopped.what();
    }
    const int endedBy = EndingSignals::Received();
    if (!failure.empty())
        std::cerr << "pfe-sim: the run stopped: " << failure << "\n";
    else if (endedBy != 0)
        std::cerr << "pfe-sim: play ended by signal " << endedBy << " after " << session.frames
                  << " frames\n";
    else
        std::cout << "pfe-sim: play ended after " << session.frames << " frames\n";
    for (const std::string &file : session.exports)
        std::cout << "exported " << Printable(session.directory + "/" + file) << "\n";
    std::cout.flush();
    if (endedBy != 0)
        EndingSignals::EndBy(endedBy);
    return failure.empty() ? 0 : 1;
}
