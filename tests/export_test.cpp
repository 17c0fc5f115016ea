// XML export on F8: the exact bytes, the status line, and failures reported as failures,
// with the earlier export kept whole; links, permissions, hard links and folders treated as
// opening the file for writing would treat them, and no name planted beside the target able
// to redirect or block the export. Each test works in a fresh temporary directory. The plain
// cases (an empty export, the worked example, a rewrite, a hex-hash name, a blocked target) are
// session scripts, played under Wine as well.

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "src/editor/export_file_names.h"
#include "support/game_fixture.h"

// ---- the module's file system calls, as the tests see them --------------------------------
// The test program exports these three functions (tests/CMakeLists.txt), so the module loaded
// into it calls them in place of the C library's. Each passes the call on; while a test
// listens, fsync and rename are logged, and getrandom can return bits the test chose, which
// tells the test every temporary name the export will try.

namespace observed {
bool logging = false;
std::vector<std::string> log; // "fsync PATH" and "rename FROM TO", absolute paths
bool fixedRandomBits = false;
unsigned fixedAnswers = 0; // calls answered with the test's bits
constexpr unsigned char randomByte = 0xA5;
} // namespace observed

template <typename Function> static Function NextDefinition(const char *name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

static std::string AbsolutePath(const char *path) {
    std::error_code error;
    return std::filesystem::absolute(path, error).lexically_normal().string();
}

extern "C" ssize_t getrandom(void *buffer, size_t length, unsigned int flags) {
    if (observed::fixedRandomBits) {
        ++observed::fixedAnswers;
        std::memset(buffer, observed::randomByte, length);
        return static_cast<ssize_t>(length);
    }
    static const auto next = NextDefinition<ssize_t (*)(void *, size_t, unsigned)>("getrandom");
    return next(buffer, length, flags);
}

extern "C" int fsync(int file) {
    if (observed::logging) {
        char path[4096];
        const std::string link = "/proc/self/fd/" + std::to_string(file);
        const ssize_t length = readlink(link.c_str(), path, sizeof path - 1);
        observed::log.push_back("fsync " + std::string(path, length > 0 ? length : 0));
    }
    static const auto next = NextDefinition<int (*)(int)>("fsync");
    return next(file);
}

extern "C" int rename(const char *from, const char *to) noexcept {
    if (observed::logging)
        observed::log.push_back("rename " + AbsolutePath(from) + " " + AbsolutePath(to));
    static const auto next = NextDefinition<int (*)(const char *, const char *)>("rename");
    return next(from, to);
}

namespace {

namespace fs = std::filesystem;

const std::string emptyExport = facts::ExportBytes("");

std::string Item(uint32_t id, const char *value) { return facts::ExportItemLines(id, value); }

std::string Expressions(const std::string &items) { return facts::ExportBytes(items); }

// The outcome of an export run in a child process.
struct ChildExport {
    std::string status; // the status line, or why it could not be told
    int waitStatus = 0; // as waitpid gave it
};

class ExportTest : public GameTest {
  protected:
    void TearDown() override {
        observed::logging = observed::fixedRandomBits = false;
        observed::fixedAnswers = 0;
        observed::log.clear();
        GameTest::TearDown();
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
    // Runs the export in a child process set up by prepare (which runs in the child) and
    // returns the status line the child saw, or a text saying why it could not tell.
    std::string ExportInChild(const std::function<void()> &prepare) {
        const ChildExport child = ExportInChildProcess(prepare);
        if (child.status == "skipped" || child.status == "pipe failed")
            return child.status;
        if (!WIFEXITED(child.waitStatus) || WEXITSTATUS(child.waitStatus) != 0)
            return "the child failed";
        return child.status;
    }
    ChildExport ExportInChildProcess(const std::function<void()> &prepare) {
        ChildExport outcome;
#if defined(__SANITIZE_THREAD__)
        // The thread sanitizer does not follow a forked child's fibers; the plain and
        // address-sanitizer builds run these cases.
        outcome.status = "skipped";
        return outcome;
#endif
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) {
            outcome.status = "pipe failed";
            return outcome;
        }
        const pid_t child = fork();
        if (child == 0) {
            close(pipeEnds[0]);
            prepare();
            const std::string status = Export();
            (void)!write(pipeEnds[1], status.data(), status.size());
            _exit(0);
        }
        close(pipeEnds[1]);
        char buffer[256];
        for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
            outcome.status.append(buffer, static_cast<std::size_t>(n));
        close(pipeEnds[0]);
        waitpid(child, &outcome.waitStatus, 0);
        return outcome;
    }
    // Drops to the unprivileged user when running as root, so that permission bits hold.
    static void BecomeNobody() {
        if (getuid() != 0)
            return;
        const passwd *nobody = getpwnam("nobody");
        if (nobody == nullptr || setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0)
            _exit(3);
    }
    // The name the export tries at the given count of names formed, with the test's random bits.
    static std::string TemporaryName(const std::string &target, unsigned counter) {
        unsigned long long bits = 0;
        std::memset(&bits, observed::randomByte, sizeof bits);
        char name[4096];
        std::snprintf(name, sizeof name, PFE_TEMPORARY_NAME_FORMAT, target.c_str(),
                      static_cast<long>(getpid()), counter, bits);
        return name;
    }
    static void Write(const std::string &name, const std::string &bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    static fs::perms Mode(const std::string &name) {
        return fs::status(name).permissions() & fs::perms::mask;
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

// A write that fails part-way (the file size limit) is reported, and the earlier export stays.
TEST_F(ExportTest, AFailedWriteKeepsTheEarlierExport) {
    SelectPlayer();
    Tap(keys::right);
    Export();
    const std::string earlier = ReadFile("Moulary_PLAYER_ZERO.xml");
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
    EXPECT_EQ(ReadFile("Moulary_PLAYER_ZERO.xml"), earlier);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"Moulary_PLAYER_ZERO.xml"})
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

// ---- names planted beside the target ------------------------------------------------------

const char *const target = "Moulary_PLAYER_ZERO.xml";

// What lies at a planted name, to see that the export left it alone.
std::string Planted(const std::string &name) {
    if (fs::is_symlink(name))
        return "link to " + fs::read_symlink(name).string();
    if (fs::is_directory(name))
        return "directory";
    return "file " + ReadFile(name);
}

// Links to a file elsewhere, dangling links, directories and files at the temporary names the
// export tries (the random bits fixed by the test, so that the names are known), and a link at
// the single name an earlier version used: the export writes through none, and goes past them.
TEST_F(ExportTest, NamesPlantedBesideTheTargetNeitherRedirectNorBlock) {
    SelectPlayer();
    fs::create_directory("elsewhere");
    Write("elsewhere/victim.txt", "victim");
    std::vector<std::string> names{std::string(target) + ".tmp"};
    for (unsigned counter = 0; counter + 1 < temporaryNameAttempts; ++counter)
        names.push_back(TemporaryName(target, counter));
    fs::create_symlink("elsewhere/victim.txt", names[0]);
    for (std::size_t k = 1; k < names.size(); ++k) {
        if (k % 4 == 0)
            fs::create_symlink("elsewhere/victim.txt", names[k]);
        else if (k % 4 == 1)
            fs::create_symlink("elsewhere/created-" + std::to_string(k), names[k]);
        else if (k % 4 == 2)
            fs::create_directory(names[k]);
        else
            Write(names[k], "planted");
    }
    std::vector<std::string> before;
    for (const std::string &name : names)
        before.push_back(Planted(name));
    observed::fixedRandomBits = true;

    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(observed::fixedAnswers, temporaryNameAttempts) << "each planted name was tried";
    EXPECT_EQ(Planted(target), std::string("file ") + emptyExport);
    EXPECT_EQ(ReadFile("elsewhere/victim.txt"), "victim");
    EXPECT_EQ(std::distance(fs::directory_iterator("elsewhere"), fs::directory_iterator()), 1)
        << "no file was created through a dangling link";
    for (std::size_t k = 0; k < names.size(); ++k)
        EXPECT_EQ(Planted(names[k]), before[k]) << names[k];
    EXPECT_EQ(folder.Names().size(), names.size() + 2)
        << "the target, the plants and elsewhere/ only";
}

// With every name it would try taken, the export writes the target in place: an existing one,
// and then a missing one, which it makes as opening it for writing would. (The names go on
// counting from one export to the next.)
TEST_F(ExportTest, WithEveryTemporaryNameTakenTheTargetIsWrittenInPlace) {
    SelectPlayer();
    Write(target, "earlier export");
    Write("victim.txt", "victim");
    for (unsigned counter = 0; counter < 2 * temporaryNameAttempts; ++counter)
        fs::create_symlink("victim.txt", TemporaryName(target, counter));
    fs::create_symlink("victim.txt", std::string(target) + ".tmp");
    observed::fixedRandomBits = true;
    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(observed::fixedAnswers, temporaryNameAttempts) << "each planted name was tried";
    EXPECT_EQ(ReadFile(target), emptyExport);

    fs::remove(target);
    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(observed::fixedAnswers, 2 * temporaryNameAttempts);
    EXPECT_EQ(ReadFile(target), emptyExport);
    EXPECT_EQ(ReadFile("victim.txt"), "victim");
    EXPECT_EQ(folder.Names().size(), 2 * temporaryNameAttempts + 3);
}

TEST_F(ExportTest, ADirectoryAtTheEarlierTemporaryNameBlocksNothing) {
    SelectPlayer();
    fs::create_directory(std::string(target) + ".tmp");
    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(ReadFile(target), emptyExport);
    EXPECT_TRUE(fs::is_directory(std::string(target) + ".tmp"));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{target, std::string(target) + ".tmp"}));
}

// A FIFO at the name is not a file to export to: refused at once, whether or not a reader has
// it open (opening it for writing would wait for one, holding the game up), and left as it is.
TEST_F(ExportTest, AFifoAtTheNameIsRefusedWithoutWaiting) {
    SelectPlayer();
    ASSERT_EQ(mkfifo(target, 0644), 0);
    EXPECT_EQ(Export(), "~COLOR_YELLOW~Cannot open Moulary_PLAYER_ZERO.xml!");
    const int reader = open(target, O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(Export(), "~COLOR_YELLOW~Cannot open Moulary_PLAYER_ZERO.xml!");
    char byte = 0;
    EXPECT_LE(read(reader, &byte, 1), 0) << "nothing was written into it";
    close(reader);
    EXPECT_EQ(fs::status(target).type(), fs::file_type::fifo);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{target});
}

// ---- a target that is a link --------------------------------------------------------------

// A chain of relative links, each read from the folder it lies in: the file at its end takes
// the new bytes, beside itself, and every link stays as it was.
TEST_F(ExportTest, ALinkedTargetPassesTheBytesToTheFileItNames) {
    SelectPlayer();
    fs::create_directory("saves");
    Write("saves/real.xml", "an earlier export, longer than the new one");
    fs::create_symlink("real.xml", "saves/current.xml");
    fs::create_symlink("saves/current.xml", target);
    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(ReadFile("saves/real.xml"), emptyExport);
    EXPECT_EQ(Planted(target), "link to saves/current.xml");
    EXPECT_EQ(Planted("saves/current.xml"), "link to real.xml");
    EXPECT_EQ(std::distance(fs::directory_iterator("saves"), fs::directory_iterator()), 2)
        << "no temporary file is left beside the real file";
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{target, "saves"}));
}

// A dangling link gets the file it names, as opening it for writing would make it; a link into a
// folder that does not exist, or a loop of links, cannot be opened and stays.
TEST_F(ExportTest, ADanglingLinkGetsTheFileItNames) {
    SelectPlayer();
    fs::create_directory("saves");
    fs::create_symlink("saves/new.xml", target);
    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(ReadFile("saves/new.xml"), emptyExport);
    EXPECT_EQ(Planted(target), "link to saves/new.xml");
    EXPECT_EQ(std::distance(fs::directory_iterator("saves"), fs::directory_iterator()), 1);

    fs::remove(target);
    fs::create_symlink("missing/new.xml", target);
    EXPECT_EQ(Export(), "~COLOR_YELLOW~Cannot open Moulary_PLAYER_ZERO.xml!");
    EXPECT_EQ(Planted(target), "link to missing/new.xml");

    fs::remove(target);
    fs::create_symlink("loop.xml", target);
    fs::create_symlink(target, "loop.xml");
    EXPECT_EQ(Export(), "~COLOR_YELLOW~Cannot open Moulary_PLAYER_ZERO.xml!");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{target, "loop.xml", "saves"}));
}

// ---- what the replaced file keeps -----------------------------------------------------------

// The permission bits, and the owner where the process may change it (as root, here).
TEST_F(ExportTest, TheReplacedFileKeepsItsPermissionsAndOwner) {
    SelectPlayer();
    Write(target, "earlier export");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const bool root = getuid() == 0;
    if (root) {
        ASSERT_EQ(chown(target, 65534, 65534), 0);
    }
    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(ReadFile(target), emptyExport);
    EXPECT_EQ(Mode(target), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    struct stat status {};
    ASSERT_EQ(stat(target, &status), 0);
    if (root) {
        EXPECT_EQ(status.st_uid, 65534u);
        EXPECT_EQ(status.st_gid, 65534u);
    }

    // A new file is made as any new file of the process: 0666 less the umask.
    fs::remove(target);
    const mode_t umaskBefore = umask(027);
    Export();
    umask(umaskBefore);
    EXPECT_EQ(Mode(target), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

// Every name of a file with several hard links sees the new bytes: it is written in place.
TEST_F(ExportTest, EveryHardLinkOfTheTargetSeesTheNewBytes) {
    SelectPlayer();
    Write(target, "an earlier export, longer than the new one");
    fs::create_hard_link(target, "backup.xml");
    EXPECT_EQ(Export(), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(ReadFile(target), emptyExport);
    EXPECT_EQ(ReadFile("backup.xml"), emptyExport);
    EXPECT_EQ(fs::hard_link_count(target), 2u);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{target, "backup.xml"}));
}

// ---- a folder that refuses new files ----------------------------------------------------------

// No temporary file can be made: a writable export is written in place; with no file to
// write, the export cannot be opened. The child runs as an unprivileged user, and the folder
// (the root's, or read-only) refuses it new files.
TEST_F(ExportTest, AFolderThatRefusesNewFilesTakesAWritableExportInPlace) {
    SelectPlayer();
    const fs::perms openFolder = fs::perms::owner_all | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read |
                                 fs::perms::others_exec;
    const fs::perms refusingFolder =
        getuid() == 0 ? openFolder : openFolder & ~fs::perms::owner_write;
    fs::permissions(".", refusingFolder);
    const std::string absent = ExportInChild(BecomeNobody);
    if (absent == "skipped")
        GTEST_SKIP() << "forked children are not run under the thread sanitizer";
    EXPECT_EQ(absent, "~COLOR_YELLOW~Cannot open Moulary_PLAYER_ZERO.xml!");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{});

    fs::permissions(".", openFolder);
    Write(target, "an earlier export, longer than the new one");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write |
                                fs::perms::others_read | fs::perms::others_write);
    fs::permissions(".", refusingFolder);
    EXPECT_EQ(ExportInChild(BecomeNobody), "Wrote Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(ReadFile(target), emptyExport);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{target});
}

// ---- flushed to disk, and removed on every path ---------------------------------------------

// The new file is flushed before the rename that makes it the target (a power cut after the
// rename must not find it empty), and a file written in place is flushed too.
TEST_F(ExportTest, TheNewBytesAreOnDiskBeforeTheyReplaceTheTarget) {
    SelectPlayer();
    const std::string here = fs::current_path().string() + "/";
    observed::logging = true;
    Export(); // a new file
    Export(); // a replacement
    ASSERT_EQ(observed::log.size(), 4u) << ::testing::PrintToString(observed::log);
    for (std::size_t k : {0u, 2u}) {
        const std::string flushed = observed::log[k].substr(std::strlen("fsync "));
        EXPECT_EQ(flushed.rfind(here + target + ".", 0), 0u) << flushed;
        EXPECT_EQ(observed::log[k + 1], "rename " + flushed + " " + here + target);
    }

    observed::log.clear();
    fs::create_hard_link(target, "backup.xml");
    Export();
    EXPECT_EQ(observed::log, std::vector<std::string>{"fsync " + here + target});
}

// A signal that ends the process in the middle of the write (the file size limit, with
// SIGXFSZ at its default) removes the temporary file first; a handler the process set for the
// signal still runs, and the export then reports the failed write.
TEST_F(ExportTest, ASignalDuringTheWriteLeavesNoTemporaryFile) {
    SelectPlayer();
    Tap(keys::right);
    Export();
    const std::string earlier = ReadFile(target);
    Tap(keys::down);
    Tap(keys::right, 2);
    const auto limitFileSize = [] {
        const rlimit noCore{0, 0}, limit{100, 100};
        if (setrlimit(RLIMIT_CORE, &noCore) != 0 || setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(3);
    };
    const ChildExport killed = ExportInChildProcess([&] {
        signal(SIGXFSZ, SIG_DFL);
        limitFileSize();
    });
    if (killed.status == "skipped")
        GTEST_SKIP() << "forked children are not run under the thread sanitizer";
    EXPECT_TRUE(WIFSIGNALED(killed.waitStatus) && WTERMSIG(killed.waitStatus) == SIGXFSZ)
        << "wait status " << killed.waitStatus << ", status line " << killed.status;
    EXPECT_EQ(ReadFile(target), earlier);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{target}) << "no temporary file is left";

    const std::string status = ExportInChild([&] {
        // The handler leaves a mark: an empty file (creating it writes nothing).
        signal(SIGXFSZ, [](int) { close(open("handled", O_WRONLY | O_CREAT, 0600)); });
        limitFileSize();
    });
    EXPECT_EQ(status, "~COLOR_YELLOW~Cannot write Moulary_PLAYER_ZERO.xml!");
    EXPECT_EQ(ReadFile(target), earlier);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{target, "handled"}));
}

} // namespace
