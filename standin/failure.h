// The one error of the stand-in and of pfe-sim: what went wrong, in one line; the line of the
// input it concerns; and the exit status pfe-sim ends with.
#pragma once

#include <stdexcept>
#include <string>

// 1: the module broke the host's rules, or what was checked is not as expected.
// 2: the input is wrong: a script, a file, the command line.
enum : int { exitFailed = 1, exitBadInput = 2 };

class Failure : public std::runtime_error {
  public:
    Failure(int exitStatus, const std::string &message, int inputLine = 0)
        : std::runtime_error(message), status(exitStatus), line(inputLine) {}
    int status;
    int line; // counted from 1; 0 for the input as a whole or none
};
