#include "sim/input_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "standin/platform.h"

namespace fs = std::filesystem;

namespace {

// What a path that is not a regular file is, as the reason it cannot be read (in the words of
// the stand-in's reader).
std::string KindProblem(fs::file_type type) {
    switch (type) {
    case fs::file_type::directory:
        return "it is a directory";
    case fs::file_type::character:
        return "it is a character device, not a regular file";
    case fs::file_type::block:
        return "it is a block device, not a regular file";
    case fs::file_type::fifo:
        return "it is a FIFO, not a regular file";
    case fs::file_type::socket:
        return "it is a socket, not a regular file";
    default:
        return "it is not a regular file";
    }
}

std::string TooLarge(std::uintmax_t limit, const std::string &holder) {
    return "it is larger than " + std::to_string(limit) + " bytes, the limit for " + holder;
}

} // namespace

bool RegularFileSize(const std::string &path, std::uintmax_t &size, std::string &why,
                     bool &missing) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error); // follows links, as opening does
    missing = status.type() == fs::file_type::not_found;
    if (missing || status.type() == fs::file_type::none) {
        why = error ? error.message() : "it cannot be examined";
        return false;
    }
    if (status.type() != fs::file_type::regular) {
        why = KindProblem(status.type());
        return false;
    }
    size = fs::file_size(path, error);
    if (error) {
        why = error.message();
        return false;
    }
    return true;
}

// The reading itself is the stand-in's bounded reader of regular files: the file is examined
// through the descriptor it is read from, so nothing can be swapped in between.
InputFile ReadInputFile(const std::string &path, std::uintmax_t limit, const std::string &holder) {
    InputFile file;
    std::error_code error;
    file.missing = fs::symlink_status(path, error).type() == fs::file_type::not_found;
    switch (platform::ReadRegularFile(path, limit, file.bytes, file.why)) {
    case platform::ReadOutcome::read:
        file.read = true;
        break;
    case platform::ReadOutcome::tooLarge:
        file.why = TooLarge(limit, holder);
        break;
    case platform::ReadOutcome::notRegularFile:
    case platform::ReadOutcome::unreadable:
        break;
    }
    return file;
}
