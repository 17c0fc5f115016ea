// Every documented outcome of ReplaceFileA, as the module's save unit meets it, and a file
// held open by another program (the sharing rules of Windows hold between two handles of one
// process as between two processes). This program
// is linked with src/platform/save_file_windows.cpp built with ReplaceFileA and MoveFileExA
// renamed (tests/windows/CMakeLists.txt) to the two functions below, which leave the files as
// the documentation says each outcome leaves them. In every case the name must end up holding
// the earlier file or the new one whole, the outcome must say which, and nothing may be left
// beside it. Runs under Wine in an empty folder, its current directory.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/save_file.h"

static DWORD replaceError;      // what ReplaceFileA reports; ERROR_SUCCESS for a replace
static bool backupCannotGoBack; // MoveFileExA refuses to move the backup to the name

extern "C" BOOL WINAPI TestReplaceFileA(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD,
                                        LPVOID, LPVOID) {
    if (backup == nullptr) {
        std::printf("FAIL: ReplaceFileA was given no backup name\n");
        std::exit(1);
    }
    // A replace, and ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, move the old file to the backup name;
    // every other failure (ERROR_UNABLE_TO_REMOVE_REPLACED, ERROR_UNABLE_TO_MOVE_REPLACEMENT
    // with a backup name, any other error) leaves both files under their names.
    if (replaceError == ERROR_SUCCESS || replaceError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        MoveFileExA(replaced, backup, MOVEFILE_REPLACE_EXISTING);
    if (replaceError == ERROR_SUCCESS)
        return MoveFileExA(replacement, replaced, 0);
    SetLastError(replaceError);
    return FALSE;
}

extern "C" BOOL WINAPI TestMoveFileExA(LPCSTR from, LPCSTR to, DWORD flags) {
    if (backupCannotGoBack && std::string(from).ends_with(".old")) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return MoveFileExA(from, to, flags);
}

static const char *const name = "Moulary_PLAYER_ZERO.xml";
static int failures = 0;

static std::string Read(const char *file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return in ? bytes.str() : "(missing)";
}

// The names in the folder other than the export's, one line each.
static std::string OthersInFolder() {
    std::string others;
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA("*", &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        if (std::string(found.cFileName) != "." && std::string(found.cFileName) != ".." &&
            std::string(found.cFileName) != name)
            others += std::string(found.cFileName) + " ";
    FindClose(search);
    return others;
}

// Saves "new" over "earlier" with ReplaceFileA set to report ERROR; HOLDER_SHARE, when not 0,
// is the sharing of a handle that holds the file open meanwhile, as another program would.
static void Case(const char *outcome, DWORD error, bool noWayBack, DWORD holderShare,
                 SaveOutcome expected, const char *expectedBytes) {
    std::ofstream(name, std::ios::binary) << "earlier";
    replaceError = error;
    backupCannotGoBack = noWayBack;
    const HANDLE holder = holderShare == 0 ? INVALID_HANDLE_VALUE
                                           : CreateFileA(name, GENERIC_READ, holderShare, nullptr,
                                                         OPEN_EXISTING, 0, nullptr);
    const SaveOutcome saved = SaveFile(name, "new");
    if (holder != INVALID_HANDLE_VALUE)
        CloseHandle(holder);
    const std::string bytes = Read(name), others = OthersInFolder();
    const bool ok = saved == expected && bytes == expectedBytes && others.empty() &&
                    (holderShare == 0 || holder != INVALID_HANDLE_VALUE);
    std::printf("%s: %s: outcome %d (expected %d), the name holds '%s', left beside it: '%s'\n",
                ok ? "ok" : "FAIL", outcome, static_cast<int>(saved), static_cast<int>(expected),
                bytes.c_str(), others.c_str());
    failures += ok ? 0 : 1;
}

int main() {
    const SaveOutcome saved = SaveOutcome::saved, cannotWrite = SaveOutcome::cannotWrite;
    Case("replaced", ERROR_SUCCESS, false, 0, saved, "new");
    Case("ERROR_UNABLE_TO_REMOVE_REPLACED", ERROR_UNABLE_TO_REMOVE_REPLACED, false, 0, cannotWrite,
         "earlier");
    Case("ERROR_UNABLE_TO_MOVE_REPLACEMENT", ERROR_UNABLE_TO_MOVE_REPLACEMENT, false, 0,
         cannotWrite, "earlier");
    Case("ERROR_UNABLE_TO_MOVE_REPLACEMENT_2", ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, false, 0,
         cannotWrite, "earlier");
    Case("ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, the backup cannot go back",
         ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, true, 0, saved, "new");
    Case("another error", ERROR_ACCESS_DENIED, false, 0, cannotWrite, "earlier");
    // A file held open by a program that shares reading and writing but not its deletion
    // cannot be replaced: it is written in place. One that shares only reading is not opened.
    Case("held, sharing reading and writing", ERROR_ACCESS_DENIED, false,
         FILE_SHARE_READ | FILE_SHARE_WRITE, saved, "new");
    Case("held, sharing reading", ERROR_ACCESS_DENIED, false, FILE_SHARE_READ,
         SaveOutcome::cannotOpen, "earlier");
    return failures == 0 ? 0 : 1;
}
