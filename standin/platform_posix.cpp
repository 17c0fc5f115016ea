#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "standin/platform.h"

namespace platform {

const char *const moduleFileName = "libPedFeatureEditor.so";

std::string ExecutableDirectory() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    path[length] = '\0';
    std::string text(path);
    return text.substr(0, text.rfind('/'));
}

std::string MakeTemporaryDirectory(std::string &error) {
    std::error_code noTemp;
    std::filesystem::path folder = std::filesystem::temp_directory_path(noTemp);
    if (noTemp)
        folder = "/tmp";
    const std::string pattern = (folder / "pfe-sim-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) {
        error = std::strerror(errno);
        return std::string();
    }
    return name.data();
}

bool MakeDirectory(const std::string &name) { return mkdir(name.c_str(), 0755) == 0; }

bool PathExists(const std::string &name) {
    struct stat status;
    return lstat(name.c_str(), &status) == 0;
}

} // namespace platform
