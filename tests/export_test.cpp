// XML export on F8: the exact bytes, the status line, and a name that cannot be opened
// reported, with what lies there kept. Each test works in a fresh temporary directory. The
// plain cases (an empty export, the worked example, a rewrite, a hex-hash name, a blocked
// target) are session scripts, played under Wine as well; what lies at the name, links, rights
// and full disks are in tests/cli/export_fs_test.sh; the failures no file system makes on
// demand in export_faults_test.cpp.

#include <pwd.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/game_fixture.h"

namespace {

namespace fs = std::filesystem;

std::string Item(uint32_t id, const char *value) { return facts::ExportItemLines(id, value); }

std::string Expressions(const std::string &items) { return facts::ExportBytes(items); }

class ExportTest : public GameTest {
  protected:
    void SelectPlayer() {
        game.RunFrame();
        Tap(keys::f7);
    }
    // F8, then one frame that draws the new status line.
    std::string Export() {
        Tap(keys::f8);
        game.RunFrame();
        return game.FrameTexts().front().text;
    }
    // Runs the export in a child process set up by prepare (which runs in the child) and
    // returns the status line the child saw; when the child fails, how it ended (its exit
    // status or its signal) and what it wrote (the status line and its standard error).
    std::string ExportInChild(const std::function<void()> &prepare) {
#if defined(__SANITIZE_THREAD__)
        // The thread sanitizer does not follow a forked child's fibers; the plain and
        // address-sanitizer builds run these cases.
        return "skipped";
#endif
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return "no pipe to the child";
        const pid_t child = fork();
        if (child == 0) {
            dup2(pipeEnds[1], STDERR_FILENO);
            close(pipeEnds[0]);
            prepare();
            const std::string status = Export();
            (void)!write(pipeEnds[1], status.data(), status.size());
            _exit(0);
        }
        close(pipeEnds[1]);
        std::string output;
        char buffer[256];
        for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
            output.append(buffer, static_cast<std::size_t>(n));
        close(pipeEnds[0]);
        int waitStatus = 0;
        if (waitpid(child, &waitStatus, 0) != child)
            return "the child could not be waited for: " + std::string(std::strerror(errno));
        if (WIFEXITED(waitStatus) && WEXITSTATUS(waitStatus) == 0)
            return output;
        const std::string ending =
            WIFEXITED(waitStatus) ? "exited with status " + std::to_string(WEXITSTATUS(waitStatus))
                                  : "was killed by signal " + std::to_string(WTERMSIG(waitStatus)) +
                                        " (" + strsignal(WTERMSIG(waitStatus)) + ")";
        return "the child " + ending + "; its output: \"" + output + "\"";
    }
    // Drops to the unprivileged user when running as root, so that permission bits hold.
    static void BecomeNobody() {
        if (getuid() != 0)
            return;
        const passwd *nobody = getpwnam("nobody");
        if (nobody == nullptr || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
            _exit(3);
    }
};

TEST_F(ExportTest, ValuesNearZeroAreSkippedByTheStoredFloat) {
    SelectPlayer();
    Tap(keys::right, 3); // row 0: 3 up, 3 down leaves ~1.5e-8
    Tap(keys::left, 3);
    Tap(keys::down);
    Tap(keys::right, 20); // row 1: 0.09999993
    Tap(keys::left, 19);
    Tap(keys::down);
    Tap(keys::left, 20); // row 2: -0.09999993
    Tap(keys::right, 19);
    Tap(keys::down);
    Tap(keys::right, 3); // row 3: 0.10000002
    Tap(keys::left, 2);
    Tap(keys::down);
    Tap(keys::right, 10); // row 4: 1.0000001
    Tap(keys::down);
    Tap(keys::left); // row 5: exactly -0.1f
    Export();
    EXPECT_EQ(
        ReadFile("Moulary_PLAYER_ZERO.xml"),
        Expressions(Item(7010, "0.100000") + Item(50039, "1.000000") + Item(33485, "-0.100000")));
}

TEST_F(ExportTest, RowsComeInTableOrderOnce) {
    SelectPlayer();
    Tap(keys::up); // row 53 first
    Tap(keys::right, 2);
    Tap(keys::down); // row 0
    Tap(keys::right);
    Tap(keys::up); // row 53 again
    Tap(keys::right);
    Export();
    EXPECT_EQ(ReadFile("Moulary_PLAYER_ZERO.xml"),
              Expressions(Item(36277, "0.100000") + Item(23830, "0.300000")));
}

// Root ignores permission bits, so the child drops to an unprivileged user first.
TEST_F(ExportTest, AReadOnlyFileIsNotOverwritten) {
    SelectPlayer();
    std::ofstream("Moulary_PLAYER_ZERO.xml") << "earlier export";
    fs::permissions("Moulary_PLAYER_ZERO.xml",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(".", fs::perms::all);
    const std::string status = ExportInChild(BecomeNobody);
    if (status == "skipped")
        GTEST_SKIP() << "forked children are not run under the thread sanitizer";
    EXPECT_EQ(status, "~COLOR_YELLOW~Cannot open Moulary_PLAYER_ZERO.xml!");
    EXPECT_EQ(ReadFile("Moulary_PLAYER_ZERO.xml"), "earlier export");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Moulary_PLAYER_ZERO.xml"});
}

TEST_F(ExportTest, F8IsConsumedEvenWhenTheExportFails) {
    SelectPlayer();
    fs::create_directory("Moulary_PLAYER_ZERO.xml");
    Export();
    fs::remove("Moulary_PLAYER_ZERO.xml");
    game.RunFrames(2);
    EXPECT_FALSE(fs::exists("Moulary_PLAYER_ZERO.xml")) << "the release was read once, not again";
}

} // namespace
