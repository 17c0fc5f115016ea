// A fresh folder in the system's temporary folder (TMPDIR), for one script's run. It goes,
// with all it holds, when the object goes; on POSIX also when SIGINT, SIGTERM or SIGHUP ends
// the process meanwhile: a handler removes it and lets the signal end the process as before.
#pragma once

#include <string>

class TemporaryDirectory {
  public:
    TemporaryDirectory(); // throws Failure (exitBadInput) when none can be made
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory &) = delete;
    TemporaryDirectory &operator=(const TemporaryDirectory &) = delete;

    const std::string &Path() const { return path; }

  private:
    std::string path; // absolute
};
