// Files from outside: regular files only, within a limit checked before a byte is read.
#pragma once

#include <cstdint>
#include <string>

struct InputFile {
    bool read = false;    // bytes holds the whole file
    bool missing = false; // nothing is at the path
    std::string bytes;
    std::string why; // why the file was not read, e.g. "it is a directory"
};

// Reads the regular file at `path` of at most `limit` bytes; `holder` names what the limit is for.
InputFile ReadInputFile(const std::string &path, std::uintmax_t limit, const std::string &holder);

// The size of the regular file at `path`; false with the reason otherwise.
bool RegularFileSize(const std::string &path, std::uintmax_t &size, std::string &why,
                     bool &missing);
