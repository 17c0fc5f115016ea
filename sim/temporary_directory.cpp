#include "sim/temporary_directory.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "sim/failure.h"
#include "sim/printable.h"
#include "standin/platform.h"

// Removes the folder with all it holds, and says so when it cannot.
static void RemoveFolder(const std::string &path) {
    std::error_code error;
    std::filesystem::remove_all(path, error);
    if (error)
        std::cerr << "pfe-sim: cannot remove the temporary directory " << Printable(path) << ": "
                  << error.message() << "\n";
}

#ifndef _WIN32

#include <stdlib.h>

#include "sim/ending_signals.h"

namespace {

// A new folder in TMPDIR (empty is unset; one that fails is an error) or /tmp, by absolute path.
std::string MakeFolder() {
    const char *variable = std::getenv("TMPDIR");
    const bool fromVariable = variable != nullptr && *variable != '\0';
    const std::string parent = fromVariable ? variable : "/tmp";
    std::string pattern = parent + "/pfe-sim-XXXXXX";
    const auto failed = [&](const std::string &why) {
        return Failure(exitBadInput, "cannot make a temporary directory in " + Printable(parent) +
                                         (fromVariable ? " (from TMPDIR)" : " (TMPDIR unset)") +
                                         ": " + why);
    };
    if (mkdtemp(pattern.data()) == nullptr)
        throw failed(std::strerror(errno));
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(pattern, error).string();
    if (error || absolute.size() >= PATH_MAX) {
        std::filesystem::remove(pattern, error);
        throw failed(error ? error.message() : "its path is too long");
    }
    return absolute;
}

} // namespace

// Ending signals wait while the folder is made and removed: it is either recorded or gone.
TemporaryDirectory::TemporaryDirectory() {
    EndingSignals::Hold(true);
    try {
        path = MakeFolder();
        signals =
            std::make_unique<EndingSignals>(EndingSignals::Owner{false, path.c_str(), nullptr});
    } catch (...) {
        EndingSignals::Hold(false);
        throw;
    }
    EndingSignals::Hold(false);
}

TemporaryDirectory::~TemporaryDirectory() {
    EndingSignals::Hold(true);
    RemoveFolder(path);
    signals.reset();
    EndingSignals::Hold(false);
}

#else // _WIN32

TemporaryDirectory::TemporaryDirectory() {
    std::string why;
    path = platform::MakeTemporaryDirectory(why);
    if (path.empty())
        throw Failure(exitBadInput, "cannot make a temporary directory: " + why);
}

TemporaryDirectory::~TemporaryDirectory() { RemoveFolder(path); }

#endif
