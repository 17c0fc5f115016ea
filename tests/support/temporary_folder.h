// A fresh folder in the system's temporary folder for one test: removed with all it holds
// when the object goes, whatever the test left in it or took from it (its permissions).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class TemporaryFolder {
  public:
    // With `enter`, the folder is also the working folder while the object lives.
    explicit TemporaryFolder(bool enter = false);
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    const std::string &Path() const { return path; }
    std::vector<std::string> Names() const; // what the folder holds, sorted

  private:
    std::string path;               // absolute
    std::filesystem::path previous; // the working folder to return to; empty when not entered
};

// The bytes of a regular file of at most 16 MiB; empty when there is none such to read.
std::string ReadFile(const std::string &path);
// The lines of a text file.
std::vector<std::string> ReadLines(const std::string &path);
