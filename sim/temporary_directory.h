// A fresh folder in the system's temporary folder (TMPDIR, or /tmp when TMPDIR is unset or
// empty), for one script's run. It goes, with all it holds, when the object goes; on POSIX
// also when a signal ends the process meanwhile (sim/ending_signals.h).
#pragma once

#include <memory>
#include <string>

class EndingSignals;

class TemporaryDirectory {
  public:
    TemporaryDirectory(); // throws Failure (exitBadInput) when none can be made
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory &) = delete;
    TemporaryDirectory &operator=(const TemporaryDirectory &) = delete;

    const std::string &Path() const { return path; }

  private:
    std::string path; // absolute
#ifndef _WIN32
    std::unique_ptr<EndingSignals> signals;
#endif
};
