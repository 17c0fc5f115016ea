// `pfe-sim play`: the editor live in a terminal. A small world (the player's ped, three
// townsfolk, a horse and a wagon), the game's keys read from the terminal, Tab to change what
// the player aims at, about 30 frames a second, the screen redrawn as the game lays it out.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/screen.h"

// Runs the interactive session; returns the exit status.
int PlayCommand(const PlayOptions &options);

// ---- the terminal's key bytes, decoded (exposed for tests) ----

enum class TerminalKey {
    none,        // nothing complete yet
    gameKey,     // a key of the game: virtualKey says which
    aimNext,     // Tab
    aimPrevious, // Shift-Tab
    quit,        // q, Q, Esc alone, Ctrl-C, Ctrl-D
    suspend,     // Ctrl-Z
    other,       // a key or sequence the editor does not use, Alt with any key among them
};

struct DecodedKey {
    TerminalKey key = TerminalKey::none;
    uint32_t virtualKey = 0;
    std::size_t length = 0; // bytes of the input it took
    std::string name;       // what was pressed, for the status line
};

// Decodes the key at the start of INPUT. An escape sequence that may still be arriving gives
// `none` unless INPUT_ENDED says no more bytes came in time: then a lone Esc is `quit` and a
// cut-off sequence is `other`. Esc followed by another key is how terminals send Alt with
// that key: it is `other`, whatever the key.
DecodedKey DecodeKey(const std::string &input, bool inputEnded);

// ---- keys waiting for their frame (exposed for tests) ----

// Keys typed faster than the frames run wait their turn, one per frame, in the order typed,
// whatever they do: a quit typed after F8 comes after the export, a Tab typed after F7 aims
// only once F7 has selected. Typed ahead beyond the limit, keys are dropped, but a quit never
// is; nothing typed after a quit counts, and one Ctrl-Z waiting is enough.
class KeyQueue {
  public:
    static constexpr std::size_t limit = 128;
    bool Push(const DecodedKey &key); // false when the key was dropped
    bool Empty() const { return keys.empty(); }
    DecodedKey Pop();

  private:
    std::deque<DecodedKey> keys;
    bool quitWaiting = false;
    bool suspendWaiting = false;
};

// ---- what the screen and the exports need (exposed for tests) ----

// The widest grid play draws, as --screen allows.
constexpr int widestGrid = 1000;

// The least grid width, from LAYOUT's width up to widestGrid, at which every line of every
// text on the grid's rows stands whole within the grid's columns; 0 when none does.
int GridWidthNeeded(const std::vector<DrawnText> &texts, const ScreenLayout &layout);

// Why the editor's status STATUS ("Cannot open NAME!" or "Cannot write NAME!", colour tags
// removed) came about, found by looking at NAME in DIRECTORY, the export's folder, without
// creating or changing anything there; empty for any other status.
std::string ExplainExportFailure(const std::string &status, const std::string &directory);
