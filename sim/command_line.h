// pfe-sim's command line, read by getopt_long; -h, --help and --version everywhere.
#pragma once

#include <string>
#include <vector>

#include "sim/session_script.h"

struct RunOptions {
    ScriptOptions script;
    bool temporaryDirectory = false; // each script in a fresh folder, removed afterwards
    bool quiet = false;              // no line for a script that passes, no summary
    std::vector<std::string> files;
};

struct PlayOptions {
    std::string modulePath;
    int width = 0; // 0: fit the terminal
    int height = 0;
};

struct ShowOptions {
    std::string file;
};

enum class Command { help, version, run, play, show };

struct CommandLine {
    Command command = Command::help;
    std::string helpText; // what --help prints, for Command::help
    RunOptions run;
    PlayOptions play;
    ShowOptions show;
};

// Reads the arguments after the program's name; a usage error throws Failure (exitBadInput).
CommandLine ReadCommandLine(const std::vector<std::string> &args, const std::string &defaultModule);

// --screen's WIDTHxHEIGHT: two decimal numbers, 20 to 1000 columns by 10 to 1000 rows.
bool ParseScreenSize(const std::string &text, int &width, int &height);
