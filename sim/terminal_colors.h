// Colour in pfe-sim's printed output by the terminal's description (terminfo).
#pragma once

#include <string>

// Whether the terminal on FILE_DESCRIPTOR has 8 colours; sets up ColorSequence's sequences.
bool TerminalHasColors(int fileDescriptor);

// The sequence that sets COLOR (1 red ... 8 grey; 0 the terminal's own), or "" without colour.
std::string ColorSequence(int color);
