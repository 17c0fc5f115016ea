// The stand-in's operating-system services that Linux and Windows spell differently.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// File name of the module pfe-sim loads by default from beside its own executable.
extern const char *const moduleFileName;

// The folder holding the running executable, with '/' separators ("." if unknown).
std::string ExecutableDirectory();

// Makes the folder `name`; false with errno set when it cannot be made.
bool MakeDirectory(const std::string &name);

// Whether anything (file, folder, dangling link) is at `name`; links are not followed.
bool PathExists(const std::string &name);

enum class ReadOutcome { read, unreadable, notRegularFile, tooLarge };

// Reads all of the file `name` into `bytes`, but only a regular file of at most `limit` bytes,
// both checked before a byte is read, so that a device, a FIFO or a huge file cannot hold the
// reader or fill its memory. Otherwise `why` says what stood in the way ("it is a directory").
// With `size` given, a regular file is only measured, not read: its size goes there.
ReadOutcome ReadRegularFile(const std::string &name, std::uintmax_t limit, std::string &bytes,
                            std::string &why, std::uintmax_t *size = nullptr);

#ifndef _WIN32
// Writes all of `bytes`, again after an interruption; false when a write fails (EFBIG, say).
bool WriteAll(int descriptor, const std::string &bytes);
#else
// GetLastError as "Windows error N: text".
std::string LastErrorText();
// A fresh, empty folder in the system's temporary folder, or "" with the reason in `error`.
std::string MakeTemporaryDirectory(std::string &error);
#endif

// GetTickCount, which stamps key messages: our virtual clock on Linux, the system's on Windows.
#ifdef _WIN32
constexpr bool moduleReadsSystemClock = true;
#else
constexpr bool moduleReadsSystemClock = false;
#endif

} // namespace platform
