// The few operating-system services of the stand-in that Linux and Windows spell differently:
// where the executable lives, temporary and blocking directories, and which clock the
// module reads.
#pragma once

#include <string>

namespace platform {

// File name of the module pfe-sim loads by default from beside its own executable.
extern const char *const moduleFileName;

// The folder holding the running executable, with '/' separators ("." if unknown).
std::string ExecutableDirectory();

// Makes a fresh, empty folder in the system's temporary folder. Returns its path, or an empty
// string with the reason in `error`.
std::string MakeTemporaryDirectory(std::string &error);

// Makes the folder `name`; false with errno set when it cannot be made.
bool MakeDirectory(const std::string &name);

// Whether anything (file, folder, dangling link) is at `name`; links are not followed.
bool PathExists(const std::string &name);

#ifdef _WIN32
// GetLastError as "Windows error N: text".
std::string LastErrorText();
#endif

// The module stamps key messages with GetTickCount. On Linux that is the stand-in's virtual
// clock; on Windows it is the system's own clock, which the runner cannot hold still.
#ifdef _WIN32
constexpr bool moduleReadsSystemClock = true;
#else
constexpr bool moduleReadsSystemClock = false;
#endif

} // namespace platform
