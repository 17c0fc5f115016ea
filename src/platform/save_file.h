// Saving a file: the module's one operating-system service beyond the host. One .cpp per
// platform (save_file_posix.cpp, save_file_windows.cpp).
#pragma once

#include <string>

enum class SaveOutcome {
    saved,       // the name holds the bytes
    cannotOpen,  // nothing was written: the name cannot be opened or made for writing
    cannotWrite, // a write failed; the name holds its earlier bytes, or none if it had none
};

// Saves the bytes under the name (relative to the current directory). Where the file can be
// replaced whole it is (a new file beside it, renamed over it); otherwise it is written in
// place, each step checked. A full disk or any other failure never damages an earlier file,
// except that a crash in the middle of a write in place can.
SaveOutcome SaveFile(const char *name, const std::string &bytes);
