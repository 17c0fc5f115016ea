// `pfe-sim play`: the editor live in a terminal, in a small world, about 30 frames a second.
// Its keys are in sim/play_keys.*, its lines in sim/play_lines.*, the terminal in
// sim/play_terminal.*.
#pragma once

#include "sim/command_line.h"

// Runs the interactive session; returns the exit status (or ends by the signal that ended it).
int PlayCommand(const PlayOptions &options);
