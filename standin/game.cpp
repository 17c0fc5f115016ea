#include "standin/game.h"

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <utility>

#include "standin/fiber.h"
#include "standin/module_loader.h"
#include "standin/slots.h"

static Game *currentGame = nullptr;

// Thrown on the script fiber to end a script that broke the host's rules.
struct ScriptAbandoned {};

static std::string Hex(uint64_t value) {
    std::ostringstream out;
    out << "0x" << std::uppercase << std::hex << value;
    return out.str();
}

Game::Game() {
    if (currentGame != nullptr)
        throw std::logic_error("only one stand-in game may exist at a time");
    currentGame = this;
}

Game::~Game() {
    try {
        if (module)
            UnloadModule();
    } catch (const std::exception &) { // the run is over; the stop was reported where it happened
    }
    scripts.clear();
    currentGame = nullptr;
}

Game *Game::Current() { return currentGame; }

// ---- the module ----------------------------------------------------------------------------

// The span in which the entry point runs: its host calls are recorded as its own.
struct EntryPointScope {
    explicit EntryPointScope(bool &flag) : running(flag) { running = true; }
    ~EntryPointScope() { running = false; }
    bool &running;
};

void Game::LoadModule(const std::string &path) {
    if (module)
        throw std::logic_error("a module is loaded already");
    entryPointCalls.clear();
    EntryPointScope scope(inEntryPoint);
    try {
        module = std::make_unique<LoadedModule>(path);
        module->Attach();
    } catch (...) {
        // A refused attach is undone: nothing the module registered may outlive it.
        ForgetRegistrations();
        module.reset();
        throw;
    }
}

// What the module leaves registered is reported, and forgotten before its code is unmapped.
void Game::UnloadModule() {
    if (!module)
        return;
    EntryPointScope scope(inEntryPoint);
    std::unique_ptr<LoadedModule> leaving = std::move(module);
    try {
        leaving->Detach();
    } catch (...) {
        ForgetRegistrations();
        throw;
    }
    const std::string left = ForgetRegistrations();
    leaving.reset();
    if (!left.empty())
        throw GameError(GameError::Kind::ruleBroken,
                        "the module was unloaded with " + left + " still registered");
}

bool Game::ModuleLoaded() const { return module != nullptr; }

const void *Game::ModuleHandle() const { return module ? module->Handle() : nullptr; }

int Game::CallModuleEntry(unsigned int reason) {
    if (!module)
        throw std::logic_error("no module is loaded");
    EntryPointScope scope(inEntryPoint);
    return module->CallEntry(reason);
}

std::string Game::ForgetRegistrations() {
    std::string left;
    if (!scripts.empty())
        left = scripts.size() == 1 ? "its script" : std::to_string(scripts.size()) + " scripts";
    if (keyboardHandler.exchange(nullptr) != nullptr)
        left += (left.empty() ? "" : " and ") + std::string("its keyboard handler");
    scripts.clear();
    return left;
}

void Game::RecordEntryPointCall(HostFunction function, const void *owner, const void *callback) {
    if (!inEntryPoint)
        return;
    entryPointCalls.push_back(
        EntryPointCall{function, owner, callback,
                       function == HostFunction::native ? pending : NativeCallRecord{}});
}

// ---- frames --------------------------------------------------------------------------------

void Game::RunFrame() {
    ++frameNumber;
    textScaleSet = false;
    texts.clear();
    calls.clear();
    for (Script &script : scripts) {
        if (!stopReason.empty())
            break;
        if (Now() - script.waitStart < script.waitMs)
            continue;
        if (!script.fiber) {
            ScriptMainFunction main = script.main;
            script.fiber = std::make_unique<Fiber>([main] {
                try {
                    main();
                } catch (const ScriptAbandoned &) { // Stop() unwound it; RunFrame says why
                }
            });
        }
        script.fiber->Resume();
    }
    AdvanceClock(frameTimeMs);
    RaiseStop();
}

void Game::RunFrames(int count) {
    for (int i = 0; i < count; ++i)
        RunFrame();
}

void Game::AdvanceClock(uint32_t milliseconds) {
    clock.store(Now() + milliseconds, std::memory_order_relaxed);
}

bool Game::ScriptRunning() const {
    for (const Script &script : scripts)
        if (!script.fiber || !script.fiber->Finished())
            return true;
    return false;
}

void Game::RaiseStop() {
    if (stopReason.empty())
        return;
    // Leave the stopped script behind for good; the run cannot go on.
    scripts.clear();
    throw GameError(GameError::Kind::ruleBroken, std::exchange(stopReason, {}));
}

void Game::Stop(const std::string &reason) {
    if (stopReason.empty())
        stopReason = reason;
    if (Fiber::Current() != nullptr) // unwind the script's frames back to the fiber's start
        throw ScriptAbandoned();
    throw GameError(GameError::Kind::ruleBroken, std::exchange(stopReason, {}));
}

// ---- keyboard ------------------------------------------------------------------------------

void Game::KeyDown(uint32_t virtualKey) {
    KeyboardMessage(virtualKey, 1, 0, false, false, false, false);
}

void Game::KeyUp(uint32_t virtualKey) {
    KeyboardMessage(virtualKey, 1, 0, false, false, true, true);
}

void Game::KeyboardMessage(uint32_t key, uint16_t repeats, uint8_t scanCode, bool isExtended,
                           bool isWithAlt, bool wasDownBefore, bool isUpNow) {
    KeyboardHandler handler = keyboardHandler.load();
    if (handler != nullptr)
        handler(key, repeats, scanCode, isExtended, isWithAlt, wasDownBefore, isUpNow);
}

bool Game::KeyboardHandlerRegistered() const { return keyboardHandler.load() != nullptr; }

// ---- host functions ------------------------------------------------------------------------

void Game::HostScriptRegister(void *owner, ScriptMainFunction scriptMain) {
    if (scriptMain == nullptr)
        Stop("scriptRegister was given no script function");
    RecordEntryPointCall(HostFunction::scriptRegister, owner,
                         reinterpret_cast<const void *>(scriptMain));
    Script &script = scripts.emplace_back();
    script.module = owner;
    script.main = scriptMain;
    script.waitStart = Now();
}

// The real host stops a script that never returns by forgetting its fiber; so do we.
void Game::HostScriptUnregister(void *owner) {
    if (Fiber::Current() != nullptr)
        Stop("scriptUnregister was called from a script fiber");
    RecordEntryPointCall(HostFunction::scriptUnregister, owner, nullptr);
    std::erase_if(scripts, [owner](const Script &script) { return script.module == owner; });
}

void Game::HostScriptWait(uint32_t milliseconds) {
    Fiber *fiber = Fiber::Current();
    if (fiber == nullptr)
        Stop("scriptWait was called outside the script fiber");
    for (Script &script : scripts)
        if (script.fiber.get() == fiber) {
            script.waitStart = Now();
            script.waitMs = milliseconds;
        }
    Fiber::Yield();
}

void Game::HostKeyboardHandlerRegister(KeyboardHandler handler) {
    RecordEntryPointCall(HostFunction::keyboardHandlerRegister, nullptr,
                         reinterpret_cast<const void *>(handler));
    keyboardHandler.store(handler);
}

// Only the handler that was registered is taken back; any other leaves it registered.
void Game::HostKeyboardHandlerUnregister(KeyboardHandler handler) {
    RecordEntryPointCall(HostFunction::keyboardHandlerUnregister, nullptr,
                         reinterpret_cast<const void *>(handler));
    KeyboardHandler expected = handler;
    keyboardHandler.compare_exchange_strong(expected, nullptr);
}

void Game::HostNativeInit(uint64_t hash) {
    if (callOpen)
        Stop("nativeInit(" + Hex(hash) + ") while the call to " + Hex(pending.hash) +
             " was not made yet");
    // Reset field by field: the text keeps its storage from call to call.
    pending.frame = frameNumber;
    pending.unload = inEntryPoint;
    pending.hash = hash;
    pending.argumentCount = 0;
    pending.arguments.fill(0);
    pending.text.clear();
    callOpen = true;
}

void Game::HostNativePush64(uint64_t value) {
    if (!callOpen)
        Stop("nativePush64 without nativeInit");
    if (pending.argumentCount >= maxNativeArguments)
        Stop("too many arguments for native " + Hex(pending.hash));
    pending.arguments[static_cast<std::size_t>(pending.argumentCount++)] = value;
}

uint64_t *Game::HostNativeCall() {
    if (!callOpen)
        Stop("nativeCall without nativeInit");
    callOpen = false;
    const NativeInfo *native = FindNative(pending.hash);
    if (native == nullptr)
        Stop("the module called unknown native " + Hex(pending.hash));
    if (native->ArgumentCount() != pending.argumentCount)
        Stop(std::string("native ") + native->name + " (" + Hex(pending.hash) + ") takes " +
             std::to_string(native->ArgumentCount()) + " arguments, the module pushed " +
             std::to_string(pending.argumentCount));
    ++nativeCallsAnswered;
    for (std::size_t slot = 0; slot < results.size(); ++slot)
        results[slot] = ResultGarbage(slot) << 32 | (ResultGarbage(slot) ^ 0xFFFFFFFFu);
    native->handler(*this);
    calls.push_back(pending);
    RecordEntryPointCall(HostFunction::native, nullptr, nullptr);
    if (callObserver)
        callObserver(pending);
    return results.data();
}

// ---- argument decoding ---------------------------------------------------------------------

void Game::CheckArgument(int index) const {
    if (index >= pending.argumentCount)
        currentGame->Stop("native " + Hex(pending.hash) + " read a missing argument");
}

// 32-bit values travel zero-extended: anything in the upper half is an encoding fault.
int32_t Game::ArgInt(int index) const { return static_cast<int32_t>(ArgUnsigned(index)); }

uint32_t Game::ArgUnsigned(int index) const {
    CheckArgument(index);
    const uint64_t slot = pending.arguments[static_cast<std::size_t>(index)];
    if ((slot >> 32) != 0)
        currentGame->Stop("argument " + std::to_string(index + 1) + " of native " +
                          Hex(pending.hash) + " is not a zero-extended 32-bit value: " + Hex(slot));
    return static_cast<uint32_t>(slot);
}

float Game::ArgFloat(int index) const { return SlotFloat(ArgUnsigned(index)); }

// A pointer argument: a null one stops the run, as "<KIND> N of native H<FAULT>".
uintptr_t Game::ArgPointer(int index, const char *kind, const char *fault) const {
    CheckArgument(index);
    const uint64_t slot = pending.arguments[static_cast<std::size_t>(index)];
    if (slot == 0)
        currentGame->Stop(kind + std::to_string(index + 1) + " of native " + Hex(pending.hash) +
                          fault);
    return static_cast<uintptr_t>(slot);
}

const char *Game::ArgString(int index) {
    const char *text =
        reinterpret_cast<const char *>(ArgPointer(index, "argument ", " is a null string"));
    pending.text = text;
    return text;
}

int32_t *Game::ArgOut(int index) const {
    return reinterpret_cast<int32_t *>(ArgPointer(index, "out-argument ", " is null"));
}

// The host promises a result only in the low half of a slot. The rest holds garbage that
// varies by call and slot, yet is the same in every run: a module that reads a whole slot
// passes on a wrong handle or hash, which stops the run.
uint64_t Game::ResultGarbage(std::size_t slot) const {
    return 0xA5000000u | ((nativeCallsAnswered * 4 + slot) & 0x00FFFFFFu);
}

void Game::ResultInt(uint32_t value) { results[0] = ResultGarbage(0) << 32 | value; }

void Game::ResultFloat(float value, int slot) {
    const std::size_t index = static_cast<std::size_t>(slot);
    results[index] = ResultGarbage(index) << 32 | FloatSlot(value);
}

void Game::RecordText(const std::string &text, float x, float y) {
    if (!textScaleSet)
        Stop("the text \"" + text + "\" was drawn without a text-scale call before it");
    textScaleSet = false;
    texts.push_back(DrawnText{text, textScaleX, textScaleY, x, y});
}
