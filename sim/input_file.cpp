#include "sim/input_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// What a path that is not a regular file is, as the reason it cannot be read.
std::string KindProblem(fs::file_type type) {
    switch (type) {
    case fs::file_type::directory:
        return "it is a directory";
    case fs::file_type::character:
    case fs::file_type::block:
        return "it is a device, not a regular file";
    case fs::file_type::fifo:
        return "it is a pipe, not a regular file";
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

InputFile ReadInputFile(const std::string &path, std::uintmax_t limit, const std::string &holder) {
    InputFile file;
    std::uintmax_t size = 0;
    if (!RegularFileSize(path, size, file.why, file.missing))
        return file;
    if (size > limit) {
        file.why = TooLarge(limit, holder);
        return file;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        file.why = errno != 0 ? std::strerror(errno) : "it cannot be opened";
        return file;
    }
    // Read in pieces up to the limit, not up to the size measured: the file may have grown.
    char piece[16384];
    while (in.read(piece, sizeof piece) || in.gcount() > 0) {
        file.bytes.append(piece, static_cast<std::size_t>(in.gcount()));
        if (file.bytes.size() > limit) {
            file.bytes.clear();
            file.why = TooLarge(limit, holder);
            return file;
        }
    }
    if (in.bad()) {
        file.bytes.clear();
        file.why = "a read error";
        return file;
    }
    file.read = true;
    return file;
}
