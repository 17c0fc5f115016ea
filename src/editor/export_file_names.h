// The names an export uses beside the file it replaces. The tests plant links and directories
// at exactly these names, so they read them from here.
#pragma once

// "<target path>.<process id>-<name counter>-<64 random bits in hex>.tmp": the process id and
// the counter keep two writers apart, the random bits keep the name out of an attacker's reach.
// Arguments: const char *, long, unsigned, unsigned long long.
#define PFE_TEMPORARY_NAME_FORMAT "%s.%ld-%u-%016llx.tmp"

// Fresh names tried, each on finding the last one taken, before the export does without one.
inline constexpr unsigned temporaryNameAttempts = 16;
