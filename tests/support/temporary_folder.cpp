#include "support/temporary_folder.h"

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TemporaryFolder::TemporaryFolder(bool enter) {
    std::string pattern = (fs::temp_directory_path() / "pfe-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a temporary folder: " +
                                 std::string(std::strerror(errno)));
    path = pattern;
    if (enter) {
        previous = fs::current_path();
        fs::current_path(path);
    }
}

// A test may have taken the folder's own permissions away; its contents go with it anyway.
TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    if (!previous.empty())
        fs::current_path(previous, ignored);
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path, ignored);
}

std::vector<std::string> TemporaryFolder::Names() const {
    std::vector<std::string> names;
    for (const fs::directory_entry &entry : fs::directory_iterator(path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFile(const std::string &path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error) || fs::file_size(path, error) > (16u << 20))
        return "";
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> ReadLines(const std::string &path) {
    std::istringstream text(ReadFile(path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}
