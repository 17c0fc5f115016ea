// play's terminal, through ncurses. The keyboard sends no signals: Ctrl-C and Ctrl-Z wait their
// turn like any key. A terminal that cannot move the cursor (TERM=dumb) gets each screen
// printed below the last. A lock on the device keeps a second play from taking the modes.
#pragma once

#include <string>
#include <vector>

#include "sim/screen.h"

namespace terminal {

// Takes the terminal for play; false, with WHY, when another play holds it or ncurses cannot.
bool Open(std::string &why);
// Gives the terminal back as play found it.
void Close();
bool Plain();
void Size(int &columns, int &rows);
// Draws LINES that changed from the top left (printed below the last on a plain terminal).
void Show(const std::vector<ScreenLine> &lines);
// Ctrl-Z: stops play's job as the terminal would; empty once resumed, else why it did not.
std::string Suspend();
// Whether play was stopped (in any way) and resumed since the last call: if so, the terminal
// is taken again, in play's modes (a shell may have set its own meanwhile), and the next
// screen is drawn whole.
bool Resumed();
// The terminal as play found it, with only calls a signal handler may make: for a crash.
void GiveBackInCrash();

} // namespace terminal
