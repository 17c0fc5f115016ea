// Tidying up before a signal ends pfe-sim. While an EndingSignals lives, every signal whose
// default action ends the process, and that the process did not find ignored, is caught. The
// handler does only what a signal handler may: it removes the folder given to it (a run's
// temporary folder) and records the signal. An owner that polls (play, which first gives the
// terminal back and lists its exports) then ends the process by EndBy; for any other owner the
// handler ends it at once, by the same signal.
//
// With a crash function, the signals of a crash (SIGSEGV, SIGABRT ...) are caught too: the
// function runs (it must be async-signal-safe), then the signal takes its earlier course.
//
// A write past the file size limit sends the process SIGXFSZ from itself: that one is let
// pass, so the write fails and the writer says so.
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
