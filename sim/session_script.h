// Session scripts: spawn peds, aim, press keys, run frames and check what the editor did.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "sim/failure.h"
#include "sim/screen.h"

class Game;

struct ScriptOptions {
    std::string modulePath;
    bool trace = false;
    ScreenLayout screen; // of 'print screen'
};

struct ScriptStep {
    int line = 0;
    std::function<void(class ScriptRun &)> run;
};

// A parsed script: its name as shown, its absolute folder (for golden files), its steps.
struct Script {
    std::string file;
    std::string directory;
    std::vector<ScriptStep> steps;
};

// The most a script may say; milliseconds, byte counts and feature ids are 32-bit.
constexpr std::uintmax_t maxScriptBytes = 1024 * 1024;
constexpr std::uintmax_t maxComparedFileBytes = 1024 * 1024;
constexpr uint32_t maxFramesPerCommand = 100000000;
constexpr uint32_t maxTaps = 1000000;
constexpr uint32_t maxDictionaryDelay = 1000000000;
constexpr uint32_t maxFailingCameras = 1000000000;

// Reads and parses a script; what cannot be throws Failure (exitBadInput): "FILE:LINE: why".
Script ParseScriptText(const std::string &file, const std::string &text);
Script ParseScriptFile(const std::string &file);

// What a played script did: the frames it ran and the files the editor said it wrote.
struct ScriptTally {
    uint64_t frames = 0;
    std::set<std::string> exports;
};

// Plays a script against a fresh module in the current directory: 0 passed, 1 failed, 2 bad.
int PlayScript(const Script &script, const ScriptOptions &options, std::ostream &out,
               std::ostream &err, ScriptTally &tally);
