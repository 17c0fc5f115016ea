// F8 when a step of saving fails that no real file system fails on demand: the flush, the
// close, the rename, the copy of the permission bits. This program links the module's save
// unit with those calls wrapped (tests/CMakeLists.txt); each case checks what the player
// sees: the status line, the earlier export whole, and nothing left beside it.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "editor/editor.h"
#include "host/keyboard.h"
#include "standin/game.h"
#include "standin/game_facts.h"

// ---- the wrapped calls: each fails, as long as it is armed, on the files of the export -----
namespace fault {
enum Call { none, fsync, close, rename, fchmod };
Call armed = none;

std::string PathOf(int file) {
    char path[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(file);
    const ssize_t length = readlink(link.c_str(), path, sizeof path);
    return std::string(path, length > 0 ? static_cast<std::size_t>(length) : 0);
}
bool Fails(Call call, const std::string &path) {
    if (armed != call || path.find(facts::exportPrefix) == std::string::npos)
        return false;
    errno = EIO;
    return true;
}
} // namespace fault

extern "C" {
int __real_fsync(int file);
int __real_close(int file);
int __real_rename(const char *from, const char *to);
int __real_fchmod(int file, mode_t mode);
int __wrap_fsync(int file) {
    return fault::Fails(fault::fsync, fault::PathOf(file)) ? -1 : __real_fsync(file);
}
int __wrap_close(int file) {
    if (!fault::Fails(fault::close, fault::PathOf(file)))
        return __real_close(file);
    __real_close(file); // the file is closed all the same, as after a failed flush on close
    errno = EIO;
    return -1;
}
int __wrap_rename(const char *from, const char *to) {
    return fault::Fails(fault::rename, from) ? -1 : __real_rename(from, to);
}
int __wrap_fchmod(int file, mode_t mode) {
    return fault::Fails(fault::fchmod, fault::PathOf(file)) ? -1 : __real_fchmod(file, mode);
}
}

namespace {

namespace fs = std::filesystem;

const std::string target = std::string(facts::exportPrefix) + "PLAYER_ZERO" + facts::exportSuffix;
const std::string earlier = "an earlier export";

class ExportFaultsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/pfe-export-faults-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        previous = fs::current_path();
        fs::current_path(directory);
        selectedModelName = "PLAYER_ZERO";
        game.SetClock(50000);
    }
    void TearDown() override {
        fault::armed = fault::none;
        fs::current_path(previous);
        fs::remove_all(directory);
    }
    // F8 over the earlier export with the call armed to fail; the status line it leaves.
    std::string ExportFailing(fault::Call call) {
        std::ofstream(target, std::ios::binary) << earlier;
        fault::armed = call;
        OnKeyboardMessage(VK_KEY_F8, 1, 0, 0, 0, 1, 1);
        HandleExportKey();
        fault::armed = fault::none;
        return statusLine;
    }
    static std::string Read(const std::string &name) {
        std::ifstream in(name, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    static std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator("."))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    Game game;
    std::string directory;
    fs::path previous;
};

// A new file that cannot be flushed, closed or renamed never replaces the earlier export, and
// is removed; a file written in place (it has a second name) that cannot be flushed or closed
// is reported, since its bytes may not be on disk. Bits that cannot be copied to a new file
// leave it to a write in place, which keeps the file's own.
TEST_F(ExportFaultsTest, AFailedFlushCloseRenameOrPermissionCopyIsSeen) {
    const std::string cannotWrite = "~COLOR_YELLOW~Cannot write " + target + "!";
    for (fault::Call call : {fault::fsync, fault::close, fault::rename}) {
        SCOPED_TRACE(call);
        EXPECT_EQ(ExportFailing(call), cannotWrite);
        EXPECT_EQ(Read(target), earlier);
        EXPECT_EQ(Files(), std::vector<std::string>{target}) << "the new file is removed";
    }
    fs::create_hard_link(target, "second-name.xml");
    for (fault::Call call : {fault::fsync, fault::close}) {
        SCOPED_TRACE(call);
        EXPECT_EQ(ExportFailing(call), cannotWrite);
        EXPECT_EQ(Files(), (std::vector<std::string>{target, "second-name.xml"}));
    }
    fs::remove("second-name.xml");
    chmod(target.c_str(), 0640);
    EXPECT_EQ(ExportFailing(fault::fchmod), "Wrote " + target);
    EXPECT_EQ(Read(target), facts::ExportBytes(""));
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
    EXPECT_EQ(Files(), std::vector<std::string>{target});
}

} // namespace
