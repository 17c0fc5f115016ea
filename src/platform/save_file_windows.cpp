// Saving a file on Windows. A plain file is replaced whole: the bytes go to a new file beside
// it, which is flushed and then put in its place by ReplaceFileA, which hands on the old
// file's attributes, access rights and streams. A link, a file with other hard links, one that
// another program holds open without sharing its deletion, or a folder that refuses new files,
// gets the file written in place instead.

#define _CRT_RAND_S // declares rand_s

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "platform/save_file.h"

static constexpr int temporaryNameAttempts = 16;

static bool WriteAll(HANDLE file, const std::string &bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

static bool SetLength(HANDLE file, LARGE_INTEGER length) {
    return SetFilePointerEx(file, length, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

// One open that follows links, shares reading and writing, and makes a missing file. The end
// of the file is moved to the new length first, which takes the room on disk: a full disk
// leaves the old bytes as they were. A crash in the middle of the write can still leave the
// file damaged.
static SaveOutcome SaveInPlace(const char *name, const std::string &bytes) {
    const HANDLE file = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return SaveOutcome::cannotOpen;
    LARGE_INTEGER oldLength{}, newLength{}, start{};
    newLength.QuadPart = static_cast<LONGLONG>(bytes.size());
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &oldLength)) {
        CloseHandle(file);
        return SaveOutcome::cannotOpen;
    }
    if (newLength.QuadPart > oldLength.QuadPart && !SetLength(file, newLength)) {
        SetLength(file, oldLength);
        CloseHandle(file);
        return SaveOutcome::cannotWrite;
    }
    const bool written = SetFilePointerEx(file, start, nullptr, FILE_BEGIN) &&
                         WriteAll(file, bytes) && FlushFileBuffers(file) &&
                         SetLength(file, newLength);
    return CloseHandle(file) && written ? SaveOutcome::saved : SaveOutcome::cannotWrite;
}

static std::string RandomLetters() {
    unsigned int high = 0, low = 0;
    unsigned long long bits =
        rand_s(&high) == 0 && rand_s(&low) == 0
            ? (static_cast<unsigned long long>(high) << 32) | low
            : static_cast<unsigned long long>(
                  std::chrono::steady_clock::now().time_since_epoch().count());
    std::string letters;
    for (int k = 0; k < 6; ++k, bits /= 36)
        letters += "abcdefghijklmnopqrstuvwxyz0123456789"[bits % 36];
    return letters;
}

// "<name>.<six random letters>" in the name's folder, with ".tmp" for the new file, made
// exclusively (a name that exists is never opened, a link there is not followed), and ".old"
// for the backup that ReplaceFileA makes of the old file.
static HANDLE CreateTemporary(const std::string &name, std::string &stem) {
    for (int attempt = 0; attempt < temporaryNameAttempts; ++attempt) {
        stem = name + "." + RandomLetters();
        const HANDLE file =
            CreateFileA((stem + ".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE ||
            (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS))
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

// ReplaceFileA keeps a backup of the old file, so that each of its documented failures leaves
// a known state; in every one the old file or the new one, whole, ends up under the name.
static SaveOutcome ReplaceByName(const char *name, const std::string &stem) {
    const std::string temporary = stem + ".tmp", backup = stem + ".old";
    if (ReplaceFileA(name, temporary.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
        DeleteFileA(backup.c_str());
        return SaveOutcome::saved;
    }
    // The old file was moved to the backup name, but the new one could not take its place:
    // the old one goes back, or if it cannot, the new one is moved in.
    if (GetLastError() == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
        !MoveFileExA(backup.c_str(), name, MOVEFILE_WRITE_THROUGH)) {
        if (!MoveFileExA(temporary.c_str(), name, MOVEFILE_WRITE_THROUGH))
            return SaveOutcome::cannotWrite;
        DeleteFileA(backup.c_str());
        return SaveOutcome::saved;
    }
    // ERROR_UNABLE_TO_REMOVE_REPLACED, ERROR_UNABLE_TO_MOVE_REPLACEMENT (with a backup name)
    // and every other error: both files kept their names.
    DeleteFileA(temporary.c_str());
    return SaveOutcome::cannotWrite;
}

// Only a complete file, flushed to disk, takes the name; every failure before that leaves the
// old file untouched. A missing name is made by a move. Where no new file can be made, the old
// file is written in place only if the folder merely refuses new files.
static SaveOutcome Replace(const char *name, const std::string &bytes, bool exists) {
    std::string stem;
    const HANDLE file = CreateTemporary(name, stem);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (!exists)
            return SaveOutcome::cannotOpen;
        return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT
                   ? SaveInPlace(name, bytes)
                   : SaveOutcome::cannotWrite;
    }
    const bool complete = WriteAll(file, bytes) && FlushFileBuffers(file);
    if (!CloseHandle(file) || !complete ||
        (!exists && !MoveFileExA((stem + ".tmp").c_str(), name, MOVEFILE_WRITE_THROUGH))) {
        DeleteFileA((stem + ".tmp").c_str());
        return SaveOutcome::cannotWrite;
    }
    return exists ? ReplaceByName(name, stem) : SaveOutcome::saved;
}

// A file that may be replaced by name: not a link, one name only, and open for writing and
// deletion beside whatever other programs hold it open.
static bool Replaceable(const char *name) {
    if ((GetFileAttributesA(name) & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return false;
    const HANDLE file = CreateFileA(
        name, GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION information{};
    const bool single = GetFileInformationByHandle(file, &information) &&
                        information.nNumberOfLinks == 1 && GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return single;
}

SaveOutcome SaveFile(const char *name, const std::string &bytes) {
    if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() == ERROR_FILE_NOT_FOUND)
        return Replace(name, bytes, false);
    return Replaceable(name) ? Replace(name, bytes, true) : SaveInPlace(name, bytes);
}
