// `pfe-sim play`: the editor live in a terminal. A small world (the player's ped, three
// townsfolk, a horse and a wagon), the game's keys read from the terminal, Tab to change what
// the player aims at, about 30 frames a second, the screen redrawn as the game lays it out.
//
// The rooms of play: sim/play.cpp the command and its session (the world, key turns, frames,
// exports), sim/play_keys.* the keys, sim/play_lines.* the grid's window and the lines below
// it, sim/play_terminal.* the terminal; sim/ending_signals.* tidies up when a signal ends it.
#pragma once

#include "sim/command_line.h"

// Runs the interactive session; returns the exit status (or ends by the signal that ended it).
int PlayCommand(const PlayOptions &options);
