#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <direct.h>

#include <cerrno>
#include <cstdio>

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

} // namespace platform
