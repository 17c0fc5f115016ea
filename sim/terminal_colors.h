// Colour in pfe-sim's printed output by the terminal's description (terminfo), not by
// sequences of our own.
#pragma once

#include <string>

// Whether the terminal on FILE_DESCRIPTOR has at least 8 colours by its description; sets up
// the sequences ColorSequence gives.
bool TerminalHasColors(int fileDescriptor);

// The sequence that sets COLOR (1 red ... 7 white, 8 grey), or with 0 goes back to the
// terminal's own; empty when no terminal with colours was found.
std::string ColorSequence(int color);
