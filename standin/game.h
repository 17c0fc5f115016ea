// The stand-in for the game and its script-hook host: loads the module, runs it frame by
// frame on a script fiber, delivers keys, answers its natives from the World, and records
// every native call and every drawn text of the frame.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "standin/game_error.h"
#include "standin/host_functions.h"
#include "standin/native_table.h"
#include "standin/world.h"

class Fiber;
class LoadedModule;

struct DrawnText {
    std::string text;
    float scaleX = 0.0f, scaleY = 0.0f;
    float x = 0.0f, y = 0.0f;
};

constexpr int maxNativeArguments = 16;

struct NativeCallRecord {
    uint64_t frame = 0;  // the last frame run when the call was made
    bool unload = false; // made by the entry point (the loader's thread in the game), not a frame
    uint64_t hash = 0;
    int argumentCount = 0;
    std::array<uint64_t, maxNativeArguments> arguments{};
    std::string text; // the string argument, for natives that take one
};

// The host functions a module calls to connect to the host and to make native calls.
enum class HostFunction {
    scriptRegister,
    scriptUnregister,
    keyboardHandlerRegister,
    keyboardHandlerUnregister,
    native
};

// A host call of the entry point (or static set-up and tear-down): load, unload, thread events.
struct EntryPointCall {
    HostFunction function = HostFunction::native;
    const void *module = nullptr;   // the module handle given to the script functions
    const void *callback = nullptr; // the script function or the keyboard handler
    NativeCallRecord native;        // for a native call
};

class Game {
  public:
    Game();
    ~Game();
    Game(const Game &) = delete;
    Game &operator=(const Game &) = delete;

    // The game the host functions talk to; there is one at a time.
    static Game *Current();

    World world;

    // ---- the module ----
    // A fresh copy, attached with reason 1. Throws GameError when it cannot be loaded
    // (moduleRefused) or its entry point answers false (ruleBroken); the load is undone.
    void LoadModule(const std::string &path);
    // Detached with reason 0, then closed: gone either way. Throws GameError (ruleBroken) when
    // the entry point answers false or the module left its script or keyboard handler.
    void UnloadModule();
    bool ModuleLoaded() const;
    const void *ModuleHandle() const;         // the handle the entry point is given; null when none
    int CallModuleEntry(unsigned int reason); // as the loader does for thread events
    // The entry point's host calls since the last LoadModule (natives also in FrameCalls()).
    const std::vector<EntryPointCall> &EntryPointCalls() const { return entryPointCalls; }

    // ---- frames and clock ----
    void RunFrame(); // throws GameError (ruleBroken) when the module broke the host's rules
    void RunFrames(int count);
    uint64_t FrameNumber() const { return frameNumber; }
    uint32_t Now() const { return clock.load(std::memory_order_relaxed); }
    void SetClock(uint32_t milliseconds) { clock.store(milliseconds, std::memory_order_relaxed); }
    void AdvanceClock(uint32_t milliseconds);
    uint32_t frameTimeMs = 16;

    // ---- keyboard, as the host delivers it (any thread) ----
    void KeyDown(uint32_t virtualKey);
    void KeyUp(uint32_t virtualKey);
    void KeyboardMessage(uint32_t key, uint16_t repeats, uint8_t scanCode, bool isExtended,
                         bool isWithAlt, bool wasDownBefore, bool isUpNow);
    bool KeyboardHandlerRegistered() const;

    // ---- what the last frame did ----
    const std::vector<DrawnText> &FrameTexts() const { return texts; }
    const std::vector<NativeCallRecord> &FrameCalls() const { return calls; }
    // Called for every native call as it is made (for --trace and whole-run logs).
    std::function<void(const NativeCallRecord &)> callObserver;
    bool ScriptRunning() const;

    // ---- the host functions (called through the module's imports) ----
    void HostScriptRegister(void *module, ScriptMainFunction scriptMain);
    void HostScriptUnregister(void *module);
    void HostScriptWait(uint32_t milliseconds);
    void HostKeyboardHandlerRegister(KeyboardHandler handler);
    void HostKeyboardHandlerUnregister(KeyboardHandler handler);
    void HostNativeInit(uint64_t hash);
    void HostNativePush64(uint64_t value);
    uint64_t *HostNativeCall();

    // ---- native call context, for the native handlers ----
    const NativeCallRecord &CurrentCall() const { return pending; }
    int32_t ArgInt(int index) const;
    uint32_t ArgUnsigned(int index) const;
    float ArgFloat(int index) const;
    const char *ArgString(int index); // also kept in the call record
    int32_t *ArgOut(int index) const;
    void ResultInt(uint32_t value);
    void ResultFloat(float value, int slot = 0);

    // Stops the run: from the script fiber the script is abandoned at once.
    [[noreturn]] void Stop(const std::string &reason);
    void RecordText(const std::string &text, float x, float y);
    // The scale set by the text-scale native holds for the one text drawn next.
    bool textScaleSet = false;
    float textScaleX = 0.0f;
    float textScaleY = 0.0f;

  private:
    struct Script {
        void *module = nullptr;
        ScriptMainFunction main = nullptr;
        std::unique_ptr<Fiber> fiber;
        uint32_t waitStart = 0; // the script sleeps until waitMs have passed since waitStart
        uint32_t waitMs = 0;
    };
    void CheckArgument(int index) const;
    uintptr_t ArgPointer(int index, const char *kind, const char *fault) const;
    void RaiseStop(); // from the runner: report a stop the fiber recorded
    void RecordEntryPointCall(HostFunction function, const void *owner, const void *callback);
    std::string ForgetRegistrations(); // says what was still registered
    uint64_t ResultGarbage(std::size_t slot) const;

    std::unique_ptr<LoadedModule> module;
    std::vector<Script> scripts;
    std::atomic<KeyboardHandler> keyboardHandler{nullptr};
    std::atomic<uint32_t> clock{0};
    uint64_t frameNumber = 0;
    std::vector<DrawnText> texts;
    std::vector<NativeCallRecord> calls;
    NativeCallRecord pending;
    bool callOpen = false;
    std::array<uint64_t, 4> results{};
    uint64_t nativeCallsAnswered = 0; // varies the garbage in the result slots
    std::string stopReason;
    bool inEntryPoint = false; // the module's entry point (or its load or unload) is running
    std::vector<EntryPointCall> entryPointCalls;
};
