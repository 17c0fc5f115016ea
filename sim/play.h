// `pfe-sim play`: the editor live in a terminal. A small world (the player's ped, three
// townsfolk, a horse and a wagon), the game's keys read from the terminal, Tab to change what
// the player aims at, about 30 frames a second, the screen redrawn as the game lays it out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/command_line.h"

// Runs the interactive session; returns the exit status.
int PlayCommand(const PlayOptions &options);

// ---- the terminal's key bytes, decoded (exposed for tests) ----

enum class TerminalKey {
    none,        // nothing complete yet
    gameKey,     // a key of the game: virtualKey says which
    aimNext,     // Tab
    aimPrevious, // Shift-Tab
    quit,        // q, Q, Esc alone, Ctrl-C, Ctrl-D
    other,       // a key or sequence the editor does not use
};

struct DecodedKey {
    TerminalKey key = TerminalKey::none;
    uint32_t virtualKey = 0;
    std::size_t length = 0; // bytes of the input it took
    std::string name;       // what was pressed, for the status line
};

// Decodes the key at the start of INPUT. An escape sequence that may still be arriving gives
// `none` unless INPUT_ENDED says no more bytes came in time: then a lone Esc is `quit` and a
// cut-off sequence is `other`.
DecodedKey DecodeKey(const std::string &input, bool inputEnded);
