// pfe-sim: the editor module without the game: run, play and show (pfe-sim --help).

#include <unistd.h>
#ifndef _WIN32
#include <fcntl.h>
#endif

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/printable.h"
#include "sim/screen.h"
#include "sim/session_script.h"
#include "sim/temporary_directory.h"
#include "sim/xml_reader.h"
#include "standin/game.h"
#include "standin/platform.h"
#ifndef _WIN32
#include "sim/play.h"
#endif
#include "data/face_features.h"
#include "pfe_version.h"

// Whether all output was written; the reason is asked again with one byte (errno is gone).
static std::string outputFailure;
static bool OutputWritten() {
    std::cout.flush();
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good())
        return true;
    if (outputFailure.empty()) {
        std::clearerr(stdout);
        errno = 0;
        if (std::fputc('\n', stdout) == EOF || std::fflush(stdout) != 0)
            outputFailure = std::string(": ") + std::strerror(errno);
    }
    return false;
}

// A module that cannot be loaded is reported once, not once a script: 0, or the status.
static int ModuleLoadFailure(const std::string &path) {
    try {
        Game game;
        game.LoadModule(path);
        return 0;
    } catch (...) {
        return ReportCurrentError(std::cerr);
    }
}

static int PlayOne(const std::string &file, const RunOptions &run, ScriptTally &tally) {
    Script script;
    try {
        script = ParseScriptFile(file);
    } catch (const Failure &error) {
        std::cerr << error.what() << "\n";
        return error.status;
    }
    if (!run.temporaryDirectory)
        return PlayScript(script, run.script, std::cout, std::cerr, tally);
    // A folder made for the script, removed afterwards with what the run left.
    const TemporaryDirectory directory;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(directory.Path());
    const int status = PlayScript(script, run.script, std::cout, std::cerr, tally);
    std::filesystem::current_path(previous);
    return status;
}

// "ok FILE (N frames, M exports)" or "FAIL FILE" per script and "N passed, M failed".
static int Run(RunOptions run) {
    std::error_code error;
    if (const auto absolute = std::filesystem::absolute(run.script.modulePath, error); !error)
        run.script.modulePath = absolute.generic_string();
    run.script.screen.color = ColorWanted(STDOUT_FILENO);
    if (const int status = ModuleLoadFailure(run.script.modulePath); status != 0)
        return status;
    int worst = 0;
    std::size_t passed = 0;
    for (const std::string &file : run.files) {
        ScriptTally tally;
        const int status = PlayOne(file, run, tally);
        worst = std::max(worst, status);
        passed += status == 0 ? 1 : 0;
        if (!run.quiet && status == 0)
            std::cout << "ok " << Printable(file) << " ("
                      << Counted(tally.frames, "frame", "frames") << ", "
                      << Counted(tally.exports.size(), "export", "exports") << ")\n";
        else if (!run.quiet)
            std::cout << "FAIL " << Printable(file) << "\n";
        if (!OutputWritten()) // the rest would be lost too; main says why
            return worst;
    }
    if (!run.quiet)
        std::cout << passed << " passed, " << run.files.size() - passed << " failed\n";
    return worst;
}

#ifndef _WIN32
// How SIGXFSZ stood when pfe-sim started: run and show ignore it, play handles it itself.
static struct sigaction fileSizeSignalAtStart;
#endif

static int Dispatch(const std::vector<std::string> &args) {
    const CommandLine line =
        ReadCommandLine(args, platform::ExecutableDirectory() + "/" + platform::moduleFileName);
    switch (line.command) {
    case Command::help:
        std::cout << line.helpText;
        return 0;
    case Command::version:
        std::cout << "pfe-sim " << PFE_VERSION << "\n";
        return 0;
    case Command::run:
        return Run(line.run);
    case Command::show:
        return ShowExport(line.show.file,
                          FeatureTable{faceFeatureNames, faceFeatureIds, faceFeatureCount},
                          std::cout, std::cerr);
    case Command::play:
#ifndef _WIN32
        // play tells a write past the limit from a signal sent to it
        sigaction(SIGXFSZ, &fileSizeSignalAtStart, nullptr);
        return PlayCommand(line.play);
#else
        std::cerr << "pfe-sim: play needs a POSIX terminal; the Windows build has run and show\n";
        return exitBadInput;
#endif
    }
    return exitBadInput;
}

// Past ulimit -f a write fails with EFBIG and says so, instead of SIGXFSZ ending the tool
// silently. With standard output closed, the first file opened would receive the output.
static bool PrepareProcess() {
#ifndef _WIN32
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &fileSizeSignalAtStart);
    if (fcntl(STDOUT_FILENO, F_GETFD) < 0) {
        std::cerr << "pfe-sim: standard output is closed\n";
        return false;
    }
#endif
    return true;
}

int main(int argc, char **argv) {
    if (!PrepareProcess())
        return exitBadInput;
    int status;
    try {
        status = Dispatch(std::vector<std::string>(argv + 1, argv + argc));
    } catch (...) {
        status = ReportCurrentError(std::cerr);
    }
    if (!OutputWritten()) {
        std::cerr << "pfe-sim: cannot write to standard output" << outputFailure << "\n";
        status = std::max(status, static_cast<int>(exitBadInput));
    }
    return status;
}
