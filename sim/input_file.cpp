#include "sim/input_file.h"

#include <filesystem>

#include "standin/platform.h"

namespace fs = std::filesystem;

// The file is examined through a descriptor, as it is for reading.
bool RegularFileSize(const std::string &path, std::uintmax_t &size, std::string &why,
                     bool &missing) {
    std::error_code error;
    missing = fs::status(path, error).type() == fs::file_type::not_found; // links followed
    std::string none;
    return platform::ReadRegularFile(path, 0, none, why, &size) == platform::ReadOutcome::read;
}

// Read through the descriptor the file is examined by: nothing can be swapped in between.
InputFile ReadInputFile(const std::string &path, std::uintmax_t limit, const std::string &holder) {
    InputFile file;
    std::error_code error;
    file.missing = fs::symlink_status(path, error).type() == fs::file_type::not_found;
    switch (platform::ReadRegularFile(path, limit, file.bytes, file.why)) {
    case platform::ReadOutcome::read:
        file.read = true;
        break;
    case platform::ReadOutcome::tooLarge:
        file.why = "it is larger than " + std::to_string(limit) + " bytes, the limit for " + holder;
        break;
    case platform::ReadOutcome::notRegularFile:
    case platform::ReadOutcome::unreadable:
        break;
    }
    return file;
}
