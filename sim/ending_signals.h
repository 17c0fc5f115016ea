// Tidying up before a signal ends pfe-sim. While an EndingSignals lives, every ending signal
// not found ignored is caught: the handler removes the owner's folder and records the signal.
// An owner that polls (play) then ends the process by EndBy; otherwise the handler ends it by
// the same signal. A crash function runs on a crash signal, which then takes its earlier
// course. SIGXFSZ the process sent itself is let pass, so that the write fails and says so.
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
