// The editor's keys as pfe-sim knows them, in one table shared by session scripts and play.
#pragma once

#include <cstdint>
#include <string_view>

#include "standin/game_facts.h"

struct EditorKey {
    uint32_t virtualKey;      // the code the game gets
    const char *scriptWord;   // as a session script writes it
    const char *displayName;  // as play shows it
    const char *terminfoName; // the terminal description's name for it
    const char *does;         // for play's hint line
};

inline constexpr EditorKey editorKeys[] = {
    {keys::f7, "F7", "F7", "kf7", "select"},          {keys::f8, "F8", "F8", "kf8", "export"},
    {keys::del, "DELETE", "Delete", "kdch1", "end"},  {keys::left, "LEFT", "Left", "kcub1", "step"},
    {keys::right, "RIGHT", "Right", "kcuf1", "step"}, {keys::up, "UP", "Up", "kcuu1", "move"},
    {keys::down, "DOWN", "Down", "kcud1", "move"},
};

// The key of a script word, or nullptr.
constexpr const EditorKey *KeyOfScriptWord(std::string_view word) {
    for (const EditorKey &key : editorKeys)
        if (word == key.scriptWord)
            return &key;
    return nullptr;
}

// A virtual-key code that no key of the table has: the editor never tests it.
constexpr uint32_t UntestedKey() {
    for (uint32_t code = 0x41;; ++code) {
        bool used = false;
        for (const EditorKey &key : editorKeys)
            used = used || key.virtualKey == code;
        if (!used)
            return code;
    }
}
