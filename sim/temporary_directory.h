// A fresh folder for one script's run, removed with the object or by an ending signal.
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
