// Keyboard state tracker. OnKeyboardMessage runs on the host's keyboard thread and only
// stamps a slot; KeyJustReleased runs on the script fiber and consumes a fresh release.

#include "host/keyboard.h"

KeyState KeyStateTable[keyStateCount];

static constexpr std::memory_order relaxed = std::memory_order_relaxed;

void OnKeyboardMessage(DWORD key, WORD repeats, BYTE scanCode, BOOL isExtended, BOOL isWithAlt,
                       BOOL wasDownBefore, BOOL isUpNow) {
    (void)repeats;
    (void)scanCode;
    (void)isExtended;
    if (key >= keyStateCount)
        return;
    KeyState &slot = KeyStateTable[key];
    slot.time.store(GetTickCount(), relaxed);
    slot.withAlt.store(static_cast<uint32_t>(isWithAlt), relaxed);
    slot.wasDownBefore.store(static_cast<uint32_t>(wasDownBefore), relaxed);
    slot.isUpNow.store(static_cast<uint32_t>(isUpNow), relaxed);
}

// A release counts while its age is under the window. The age is taken in unsigned 32-bit
// arithmetic so that a release stays visible for its full window across the wrap of the
// tick counter (a test of now < time + window would miss it there).
bool KeyJustReleased(uint32_t key) {
    if (key >= keyStateCount)
        return false;
    const uint32_t now = GetTickCount();
    KeyState &slot = KeyStateTable[key];
    const uint32_t age = now - slot.time.load(relaxed);
    if (age < keyReleaseWindowMs && slot.isUpNow.load(relaxed) != 0) {
        ResetKeyState(key);
        return true;
    }
    return false;
}

void ResetKeyState(uint32_t key) {
    if (key >= keyStateCount)
        return;
    KeyState &slot = KeyStateTable[key];
    slot.time.store(0, relaxed);
    slot.withAlt.store(0, relaxed);
    slot.wasDownBefore.store(0, relaxed);
    slot.isUpNow.store(0, relaxed);
}
