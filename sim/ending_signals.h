// Tidying up before a signal ends pfe-sim. While an EndingSignals lives, each ending signal not
// ignored is caught: the handler removes the owner's folder and records the signal; an owner
// that polls (play) then ends the process by EndBy, otherwise the handler ends it. A crash
// signal runs the crash function first. SIGXFSZ sent to itself passes: the write says why.
#pragma once

#include <string>

class EndingSignals {
  public:
    struct Owner {
        bool polls = false;           // the owner ends the process itself, by EndBy
        const char *folder = nullptr; // removed, with all it holds, when a signal comes
        void (*crash)() = nullptr;    // run before a crash signal takes its course
    };
    explicit EndingSignals(const Owner &owner);
    ~EndingSignals();
    EndingSignals(const EndingSignals &) = delete;
    EndingSignals &operator=(const EndingSignals &) = delete;

    // The signal that came, or 0.
    static int Received();
    // Ends the process by SIGNALNUMBER as if the signal had come with its default action.
    [[noreturn]] static void EndBy(int signalNumber);
    // Holds the ending signals back (or lets them come again), so that one that comes while
    // the owner changes what the handler sees finds it whole.
    static void Hold(bool held);
};
