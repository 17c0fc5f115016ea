// pfe-sim: plays session scripts against the editor module without the game.
//
//   pfe-sim run [--module PATH] [--trace] [--temp-dir] [--screen WxH] FILE...

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "sim/screen.h"
#include "sim/session_script.h"
#include "sim/xml_reader.h"
#include "standin/platform.h"
#ifndef _WIN32
#include "sim/play.h"
#endif
#include "data/face_features.h"
#include "pfe_version.h"

static const char *const usage =
    "usage: pfe-sim run [--module PATH] [--trace] [--temp-dir] [--screen WxH] FILE...\n"
    "  Plays each session script against a fresh load of the editor module, in the current\n"
    "  directory (exports land there). Exit status 0 when every expectation holds, 1 when\n"
    "  one fails, 2 when a script cannot be read or parsed.\n"
    "  --module PATH  the module to load (default: the one beside pfe-sim)\n"
    "  --trace        print every native call of every frame\n"
    "  --temp-dir     play each script in a fresh temporary directory, removed afterwards\n"
    "  --screen WxH   the character grid of 'print screen' (default 118x40)\n"
    "usage: pfe-sim play [--module PATH] [--screen WxH]\n"
    "  The editor live in this terminal over a small world (pfe-sim play --help for keys).\n"
    "usage: pfe-sim show FILE.xml\n"
    "  Checks an export against the format the editor writes and lists its features.\n";

static bool ParseScreen(const std::string &text, ScriptOptions &options) {
    int width = 0;
    int height = 0;
    char extra = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &extra) != 2)
        return false;
    if (width < 20 || width > 1000 || height < 10 || height > 1000)
        return false;
    options.screenWidth = width;
    options.screenHeight = height;
    return true;
}

static std::string AbsolutePath(const std::string &path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.generic_string();
}

// Plays one script in a directory made for it, removed afterwards with what the run left.
static int PlayInTemporaryDirectory(const std::string &file, const std::vector<ScriptStep> &steps,
                                    const ScriptOptions &options) {
    std::string why;
    const std::string name = platform::MakeTemporaryDirectory(why);
    if (name.empty()) {
        std::cerr << "pfe-sim: cannot make a temporary directory: " << why << "\n";
        return 2;
    }
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(name);
    const int status = PlayScript(file, steps, options, std::cout, std::cerr);
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::remove_all(name, ignored);
    return status;
}

static int Run(const std::vector<std::string> &args) {
    ScriptOptions options;
    options.modulePath = platform::ExecutableDirectory() + "/" + platform::moduleFileName;
    bool temporaryDirectory = false;
    std::vector<std::string> files;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--module" && i + 1 < args.size()) {
            options.modulePath = args[++i];
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--temp-dir") {
            temporaryDirectory = true;
        } else if (arg == "--screen" && i + 1 < args.size()) {
            if (!ParseScreen(args[++i], options)) {
                std::cerr << "pfe-sim: --screen takes WIDTHxHEIGHT, e.g. 120x40 (20 to 1000 by 10 "
                             "to 1000)\n";
                return 2;
            }
        } else if (arg == "--module" || arg == "--screen") {
            std::cerr << "pfe-sim: " << arg << " needs a value\n";
            return 2;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::cerr << "pfe-sim: unknown option " << arg
                      << " for run (pfe-sim --help shows the usage)\n";
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::cerr << "pfe-sim: run needs at least one script (pfe-sim --help shows the usage)\n";
        return 2;
    }
    options.modulePath = AbsolutePath(options.modulePath);
    options.color = ColorWanted(STDOUT_FILENO);
    int worst = 0;
    for (const std::string &file : files) {
        int status;
        try {
            const std::vector<ScriptStep> steps = ParseScriptFile(file);
            const std::string scriptPath = AbsolutePath(file);
            status = temporaryDirectory
                         ? PlayInTemporaryDirectory(scriptPath, steps, options)
                         : PlayScript(scriptPath, steps, options, std::cout, std::cerr);
        } catch (const Failure &error) {
            std::cerr << error.what() << "\n";
            status = error.status;
        }
        worst = std::max(worst, status);
    }
    return worst;
}

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr
            << "pfe-sim: no command given: run, play or show (pfe-sim --help shows the usage)\n";
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        std::cout << usage;
        return 0;
    }
    if (args[0] == "--version") {
        std::cout << "pfe-sim " << PFE_VERSION << "\n";
        return 0;
    }
    const std::string command = args[0];
    args.erase(args.begin());
    if (command == "run")
        return Run(args);
    if (command == "show")
        return ShowExport(args, FeatureTable{faceFeatureNames, faceFeatureIds, faceFeatureCount},
                          std::cout, std::cerr);
#ifndef _WIN32
    if (command == "play")
        return PlayCommand(args, platform::ExecutableDirectory() + "/" + platform::moduleFileName);
#else
    if (command == "play") {
        std::cerr << "pfe-sim: play needs a POSIX terminal; the Windows build has run and show\n";
        return 2;
    }
#endif
    std::cerr << "pfe-sim: unknown command '" << command
              << "': run, play or show (pfe-sim --help shows the usage)\n";
    return 2;
}
