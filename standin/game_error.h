// What the stand-in refuses, in its own terms; its driver decides what each kind means.
#pragma once

#include <stdexcept>
#include <string>

class GameError : public std::runtime_error {
  public:
    enum class Kind {
        ruleBroken,    // the module broke a rule of the host or the game: the run cannot go on
        moduleRefused, // the file named as the module cannot be loaded as one
        requestRefused // the world cannot do what its driver asked (a handle taken, say)
    };
    GameError(Kind errorKind, const std::string &message)
        : std::runtime_error(message), kind(errorKind) {}
    Kind kind;
};
