// XML export on F8: the exact bytes, the status line, and failures reported as failures,
// with the earlier export kept whole. Each test works in a fresh temporary directory.

#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "game_fixture.h"

namespace {

namespace fs = std::filesystem;

const char *const emptyExport = "      <expressions>\r\n      </expressions>";

std::string Item(uint32_t id, const char *value) {
    return std::string("        <Item>\r\n          <id value=\"") + std::to_string(id) +
           "\"/>\r\n          <value value=\"" + value + "\"/>\r\n        </Item>\r\n";
}

std::string Expressions(const std::string &items) {
    return std::string("      <expressions>\r\n") + items + "      </expressions>";
}

class ExportTest : public GameTest {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/pfe-export-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        directory = pattern;
        previous = fs::current_path();
        fs::current_path(directory);
        GameTest::SetUp();
    }
    void TearDown() override {
        GameTest::TearDown();
        fs::current_path(previous);
        fs::permissions(directory, fs::perms::owner_all);
        fs::remove_all(directory);
    }
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
    // Runs the export in a child process set up by prepare (which runs in the child) and
    // returns the status line the child saw, or a text saying why it could not tell.
    std::string ExportInChild(const std::function<void()> &prepare) {
#if defined(__SANITIZE_THREAD__)
        // The thread sanitizer does not follow a forked child's fibers; the plain and
        // address-sanitizer builds run these cases.
        return "skipped";
#endif
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0)
            return "pipe failed";
        const pid_t child = fork();
        if (child == 0) {
            close(pipeEnds[0]);
            prepare();
            const std::string status = Export();
            (void)!write(pipeEnds[1], status.data(), status.size());
            _exit(0);
        }
        close(pipeEnds[1]);
        std::string seen;
        char buffer[256];
        for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
            seen.append(buffer, static_cast<std::size_t>(n));
        close(pipeEnds[0]);
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return "the child failed";
        return seen;
    }
    std::string directory;
    fs::path previous;
};

TEST_F(ExportTest, FreshSessionWritesTheEmptyFragment) {
    SelectPlayer();
    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(Read("Moulary_PLAYER_ZERO.xml"), emptyExport);
    EXPECT_EQ(Read("Moulary_PLAYER_ZERO.xml").size(), 41u);
    EXPECT_EQ(Files(), std::vector<std::string>{"Moulary_PLAYER_ZERO.xml"});
}

TEST_F(ExportTest, TheWorkedExampleByteForByte) {
    SelectPlayer();
    Tap(keys::right, 3);
    Tap(keys::down, 15);
    Tap(keys::left, 5);
    Export();
    const std::string bytes = Read("Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(bytes, Expressions(Item(36277, "0.300000") + Item(34006, "-0.500000")));
    EXPECT_EQ(bytes.size(), 244u);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\r'), 9);
}

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
        Read("Moulary_PLAYER_ZERO.xml"),
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
    EXPECT_EQ(Read("Moulary_PLAYER_ZERO.xml"),
              Expressions(Item(36277, "0.100000") + Item(23830, "0.300000")));
}

TEST_F(ExportTest, ASecondExportReplacesTheWholeFile) {
    SelectPlayer();
    Tap(keys::right, 5);
    Tap(keys::down);
    Tap(keys::right, 5);
    Export();
    ASSERT_EQ(Read("Moulary_PLAYER_ZERO.xml").size(), 41u + 2 * 101u);
    Tap(keys::left, 5);
    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(Read("Moulary_PLAYER_ZERO.xml"), Expressions(Item(36277, "0.500000")));
    EXPECT_EQ(Files(), std::vector<std::string>{"Moulary_PLAYER_ZERO.xml"});
}

TEST_F(ExportTest, ModelWithoutCatalogueNameExportsUnderItsHexHash) {
    game.world.Spawn(2, EntityKind::ped, 0x00C0FFEEu, true);
    game.world.freeAiming = true;
    game.world.aimTarget = 2;
    game.RunFrame();
    Tap(keys::f7);
    EXPECT_EQ(Export(), "Wrote Moulary_0xC0FFEE.xml");
    EXPECT_EQ(Read("Moulary_0xC0FFEE.xml"), emptyExport);
}

TEST_F(ExportTest, ATargetThatCannotBeOpenedKeepsWhatItHolds) {
    SelectPlayer();
    fs::create_directory("Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(Export(), "~COLOR_YELLOW~Cannot open Moulary_PLAYER_ZERO.xml!");
    EXPECT_TRUE(fs::is_directory("Moulary_PLAYER_ZERO.xml"));
    EXPECT_EQ(Files(), std::vector<std::string>{"Moulary_PLAYER_ZERO.xml"});
    fs::remove("Moulary_PLAYER_ZERO.xml");
    Tap(keys::right);
    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml") << "the editor goes on after a failure";
}

// Root ignores permission bits, so the child drops to an unprivileged user first.
TEST_F(ExportTest, AReadOnlyFileIsNotOverwritten) {
    SelectPlayer();
    std::ofstream("Moulary_PLAYER_ZERO.xml") << "earlier export";
    fs::permissions("Moulary_PLAYER_ZERO.xml",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(".", fs::perms::all);
    const std::string status = ExportInChild([] {
        if (getuid() == 0) {
            const passwd *nobody = getpwnam("nobody");
            if (nobody == nullptr || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
                _exit(3);
        }
    });
    if (status == "skipped")
        GTEST_SKIP() << "forked children are not run under the thread sanitizer";
    EXPECT_EQ(status, "~COLOR_YELLOW~Cannot open Moulary_PLAYER_ZERO.xml!");
    EXPECT_EQ(Read("Moulary_PLAYER_ZERO.xml"), "earlier export");
    EXPECT_EQ(Files(), std::vector<std::string>{"Moulary_PLAYER_ZERO.xml"});
}

// A write that fails part-way (the file size limit) is reported, and the earlier export stays.
TEST_F(ExportTest, AFailedWriteKeepsTheEarlierExport) {
    SelectPlayer();
    Tap(keys::right);
    Export();
    const std::string earlier = Read("Moulary_PLAYER_ZERO.xml");
    ASSERT_EQ(earlier.size(), 142u);
    Tap(keys::down);
    Tap(keys::right, 2);
    const std::string status = ExportInChild([] {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(3);
    });
    if (status == "skipped")
        GTEST_SKIP() << "forked children are not run under the thread sanitizer";
    EXPECT_EQ(status, "~COLOR_YELLOW~Cannot write Moulary_PLAYER_ZERO.xml!");
    EXPECT_EQ(Read("Moulary_PLAYER_ZERO.xml"), earlier);
    EXPECT_EQ(Files(), std::vector<std::string>{"Moulary_PLAYER_ZERO.xml"})
        << "no temporary file is left";
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
