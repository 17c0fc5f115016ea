// Session scripts: a small command language that plays a session against a fresh load of
// the module: spawn peds, aim, press keys, run frames, and check what the editor did.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "standin/failure.h"

class Game;

struct ScriptOptions {
    std::string modulePath;
    bool trace = false;
    int screenWidth = 120;
    int screenHeight = 40;
    bool color = false;
};

struct ScriptStep {
    std::string file;
    int line = 0;
    std::string source;
    std::function<void(class ScriptRun &)> run;
};

// Reads and parses a whole script; a script that cannot be read or parsed throws Failure
// (exitBadInput) with the message "FILE:LINE: why".
std::vector<ScriptStep> ParseScriptText(const std::string &file, const std::string &text);
std::vector<ScriptStep> ParseScriptFile(const std::string &file);

// What a played script did, for the runner's report: the frames it ran, and the files the
// editor said it wrote ("Wrote NAME" on its status line), each counted once.
struct ScriptTally {
    uint64_t frames = 0;
    std::set<std::string> exports;
};

// Plays parsed steps against a fresh load of the module in the current directory.
// Returns 0 when every expectation held, 1 when one failed or the run stopped, 2 for a
// script error found while playing (an unknown entity, say).
int PlayScript(const std::string &file, const std::vector<ScriptStep> &steps,
               const ScriptOptions &options, std::ostream &out, std::ostream &err,
               ScriptTally &tally);

// Key names of the scripts: F7, F8, DELETE, LEFT, UP, RIGHT, DOWN, or 0xNN.
bool ParseKeyName(const std::string &name, uint32_t &virtualKey);
