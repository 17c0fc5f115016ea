// The few operating-system services of the stand-in that Linux and Windows spell differently:
// where the executable lives, temporary and blocking directories, bounded file reads, and
// which clock the module reads.
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

// Reads all of the file `name` into `bytes`, but only a regular file of at most `limit` bytes:
// both are checked before a byte is read, so that a device, a FIFO or a huge file cannot hold
// the reader or fill its memory. Otherwise `why` says what stood in the way in a few words:
// the system's error text, "it is a directory", "it holds 70000 bytes, more than the limit of
// 65536". With `size` given, a regular file is only measured, not read: its size goes there.
ReadOutcome ReadRegularFile(const std::string &name, std::uintmax_t limit, std::string &bytes,
                            std::string &why, std::uintmax_t *size = nullptr);

#ifndef _WIN32
// Writes all of `bytes`, again after an interruption; false when a write fails (EFBIG past
// the file size limit, say).
bool WriteAll(int descriptor, const std::string &bytes);
#else
// GetLastError as "Windows error N: text".
std::string LastErrorText();
// Makes a fresh, empty folder in the system's temporary folder. Returns its path, or an empty
// string with the reason in `error`. Linux has no need: pfe-sim makes its own there.
std::string MakeTemporaryDirectory(std::string &error);
#endif

// The module stamps key messages with GetTickCount. On Linux that is the stand-in's virtual
// clock; on Windows it is the system's own clock, which the runner cannot hold still.
#ifdef _WIN32
constexpr bool moduleReadsSystemClock = true;
#else
constexpr bool moduleReadsSystemClock = false;
#endif

} // namespace platform
