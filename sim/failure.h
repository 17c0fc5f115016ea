// pfe-sim's errors and exit statuses.
#pragma once

#include <iosfwd>
#include <stdexcept>
#include <string>

#include "standin/game_error.h"

// 1: the module broke the host's rules, or what was checked is not as expected.
// 2: the input is wrong: a script, a file, the module, the command line, the environment.
// 70: an internal error, a bug of pfe-sim or the stand-in (sysexits' EX_SOFTWARE).
enum : int { exitFailed = 1, exitBadInput = 2, exitInternalError = 70 };

class Failure : public std::runtime_error {
  public:
    Failure(int exitStatus, const std::string &message, int inputLine = 0)
        : std::runtime_error(message), status(exitStatus), line(inputLine) {}
    int status;
    int line; // counted from 1; 0 for the input as a whole or none
};

inline int ExitStatus(const GameError &error) {
    return error.kind == GameError::Kind::ruleBroken ? exitFailed : exitBadInput;
}

// From inside a catch block: reports the exception as "pfe-sim: why" and returns its status.
int ReportCurrentError(std::ostream &err);
