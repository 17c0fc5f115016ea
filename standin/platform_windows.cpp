#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <direct.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "standin/platform.h"

namespace platform {

const char *const moduleFileName = "PedFeatureEditor.asi";

static std::string WithForwardSlashes(std::string path) {
    for (char &c : path)
        if (c == '\\')
            c = '/';
    return path;
}

std::string LastErrorText() {
    const DWORD code = GetLastError();
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string message(text, length);
    while (!message.empty() &&
           (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
        message.pop_back();
    return "Windows error " + std::to_string(code) + (message.empty() ? "" : ": " + message);
}

std::string ExecutableDirectory() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return ".";
    const std::string text = WithForwardSlashes(std::string(path, length));
    const std::size_t slash = text.rfind('/');
    return slash == std::string::npos ? "." : text.substr(0, slash);
}

std::string MakeTemporaryDirectory(std::string &error) {
    char folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, folder);
    if (length == 0 || length > MAX_PATH) {
        error = "no temporary folder (" + LastErrorText() + ")";
        return std::string();
    }
    // Names are tried in turn from a seed of process and time until one is free.
    const unsigned seed =
        static_cast<unsigned>(GetCurrentProcessId()) * 2654435761u ^ GetTickCount();
    for (unsigned attempt = 0; attempt < 1000; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "pfe-sim-%08x", seed + attempt);
        const std::string path = WithForwardSlashes(std::string(folder, length)) + name;
        if (CreateDirectoryA(path.c_str(), nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            error = LastErrorText();
            return std::string();
        }
    }
    error = "every name tried exists already";
    return std::string();
}

bool MakeDirectory(const std::string &name) { return _mkdir(name.c_str()) == 0; }

bool PathExists(const std::string &name) {
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

ReadOutcome ReadRegularFile(const std::string &name, std::uintmax_t limit, std::string &bytes,
                            std::string &why, std::uintmax_t *sizeOnly) {
    bytes.clear();
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(name, error);
    if (error) {
        why = error.message();
        return ReadOutcome::unreadable;
    }
    if (std::filesystem::is_directory(status)) {
        why = "it is a directory";
        return ReadOutcome::notRegularFile;
    }
    if (!std::filesystem::is_regular_file(status)) {
        why = "it is not a regular file";
        return ReadOutcome::notRegularFile;
    }
    const std::uintmax_t size = std::filesystem::file_size(name, error);
    if (error) {
        why = error.message();
        return ReadOutcome::unreadable;
    }
    if (sizeOnly != nullptr) {
        *sizeOnly = size;
        return ReadOutcome::read;
    }
    if (size > limit) {
        why = "it holds " + std::to_string(size) + " bytes, more than the limit of " +
              std::to_string(limit);
        return ReadOutcome::tooLarge;
    }
    std::ifstream in(name, std::ios::binary);
    bytes.resize(static_cast<std::size_t>(size) + 1); // one more: a file that grew is seen
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in.is_open() || in.bad() || static_cast<std::uintmax_t>(in.gcount()) != size) {
        why = !in.is_open() ? "it cannot be opened"
              : in.bad()    ? "a read error"
                            : "it changed size while it was read";
        bytes.clear();
        return ReadOutcome::unreadable;
    }
    bytes.resize(static_cast<std::size_t>(size));
    return ReadOutcome::read;
}

} // namespace platform
