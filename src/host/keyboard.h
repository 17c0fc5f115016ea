// The keyboard state tracker: the host's keyboard thread records the last message per key,
// and the script asks once per frame and key whether the key was just released.
#pragma once

#include <atomic>
#include <cstdint>

#include "host/host_interface.h"

// The last message for one key. The fields are written by the keyboard thread and read and
// zeroed by the script fiber; relaxed atomics keep the plain 32-bit layout without a data race.
struct KeyState {
    std::atomic<uint32_t> time;
    std::atomic<uint32_t> withAlt;
    std::atomic<uint32_t> wasDownBefore;
    std::atomic<uint32_t> isUpNow;
};

constexpr int keyStateCount = 255;
constexpr uint32_t keyReleaseWindowMs = 100;

enum : uint32_t {
    VK_KEY_DELETE = 0x2E,
    VK_KEY_LEFT = 0x25,
    VK_KEY_UP = 0x26,
    VK_KEY_RIGHT = 0x27,
    VK_KEY_DOWN = 0x28,
    VK_KEY_F7 = 0x76,
    VK_KEY_F8 = 0x77,
};

extern KeyState KeyStateTable[keyStateCount];

void OnKeyboardMessage(DWORD key, WORD repeats, BYTE scanCode, BOOL isExtended, BOOL isWithAlt,
                       BOOL wasDownBefore, BOOL isUpNow);
bool KeyJustReleased(uint32_t key);
void ResetKeyState(uint32_t key);
