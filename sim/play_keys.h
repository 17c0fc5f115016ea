// play's keys, decoded by ncurses by the terminal's description, and the queue they wait in.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

enum class PlayKey {
    none,        // nothing came in time
    gameKey,     // a key of the game: virtualKey says which
    aimNext,     // Tab
    aimPrevious, // Shift-Tab
    quit,        // q, Q, Esc alone, Ctrl-C, Ctrl-D
    suspend,     // Ctrl-Z
    resize,      // the terminal changed its size
    other,       // a key the editor does not use, Alt with any key among them
};

struct DecodedKey {
    PlayKey key = PlayKey::none;
    uint32_t virtualKey = 0;
    std::string name; // what was pressed, for the line below the grid
};

// Learns ncurses' code for each key of the table; returns the names of those it has none for.
std::string LearnKeys();

// The next key typed, waiting at most WAIT_MILLISECONDS for one.
DecodedKey ReadKey(int waitMilliseconds);

// The line atop the screen: each key and what it does.
std::string HintLine();

// Keys wait their turn, one per frame, in the order typed: a quit typed after F8 comes after
// the export. Typed ahead beyond the limit, keys are dropped, but a quit never is; nothing
// typed after a quit counts, and one Ctrl-Z waiting is enough.
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
