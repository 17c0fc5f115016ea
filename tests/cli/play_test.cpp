// pfe-sim play: the keys waiting for their frame, the grid width a frame needs, and why an
// export failed.

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/play_keys.h"
#include "sim/play_lines.h"
#include "support/game_fixture.h"

namespace {

namespace fs = std::filesystem;

DecodedKey Typed(PlayKey key, const std::string &name) { return DecodedKey{key, 0, name}; }

std::vector<std::string> Drain(KeyQueue &queue) {
    std::vector<std::string> names;
    while (!queue.Empty())
        names.push_back(queue.Pop().name);
    return names;
}

// Every key that acts waits its turn in the order typed, so that "F8 q" exports before it
// quits. Keys that do nothing are not queued; typed far ahead, keys are dropped, but never a
// quit; nothing after a quit counts, and one Ctrl-Z waiting is enough.
TEST(KeyQueue, KeysActInTheOrderTypedAndAQuitIsNeverDropped) {
    KeyQueue queue;
    EXPECT_FALSE(queue.Push(Typed(PlayKey::other, "Alt-q")));
    EXPECT_FALSE(queue.Push(Typed(PlayKey::resize, "")));
    for (std::size_t i = 0; i < KeyQueue::limit; ++i)
        ASSERT_TRUE(queue.Push(Typed(i % 2 ? PlayKey::aimNext : PlayKey::gameKey, "k")));
    EXPECT_FALSE(queue.Push(Typed(PlayKey::aimPrevious, "Shift-Tab")));
    EXPECT_TRUE(queue.Push(Typed(PlayKey::suspend, "Ctrl-Z")));
    EXPECT_FALSE(queue.Push(Typed(PlayKey::suspend, "Ctrl-Z")));
    EXPECT_TRUE(queue.Push(Typed(PlayKey::quit, "q")));
    EXPECT_FALSE(queue.Push(Typed(PlayKey::quit, "Esc")));
    const std::vector<std::string> names = Drain(queue);
    ASSERT_EQ(names.size(), KeyQueue::limit + 2);
    EXPECT_EQ(names[KeyQueue::limit], "Ctrl-Z");
    EXPECT_EQ(names.back(), "q");
    KeyQueue again; // a Ctrl-Z that had its turn leaves room for the next
    EXPECT_TRUE(again.Push(Typed(PlayKey::suspend, "Ctrl-Z")));
    again.Pop();
    EXPECT_TRUE(again.Push(Typed(PlayKey::suspend, "Ctrl-Z")));
}

ScreenLayout Layout(int width, int height = 60) {
    ScreenLayout layout;
    layout.width = width;
    layout.height = height;
    layout.legend = false;
    return layout;
}

using GridWidthNeededTest = GameTest;

// The least width is one at which every text is whole on the grid, and one column less is
// not: the prompt at x 0.45 needs room for its whole name, and the cursor marker, which keeps
// left of the list, needs the list to start two columns in. The frames: before any selection,
// aiming at the townsman, then editing the player's own ped.
TEST_F(GridWidthNeededTest, IsTheLeastWidthAtWhichTheModulesTextsStandWhole) {
    const struct {
        const char *what;
        int32_t aim;
        bool edit;
        int needed;
    } frames[] = {
        {"F7 to select Self", 0, false, 30},
        {"F7 to select A_M_M_VALTOWNFOLK_01", 2, false, 60},
        {"the feature list and its marker", 0, true, 51},
    };
    SpawnPed(2, "A_M_M_VALTOWNFOLK_01");
    for (const auto &frame : frames) {
        Aim(frame.aim);
        if (frame.edit)
            Tap(keys::f7);
        game.RunFrame();
        const std::vector<DrawnText> texts = game.FrameTexts();
        EXPECT_EQ(GridWidthNeeded(texts, Layout(20)), frame.needed) << frame.what;
        EXPECT_EQ(GridWidthNeeded(texts, Layout(frame.needed)), frame.needed) << frame.what;
        EXPECT_EQ(GridWidthNeeded(texts, Layout(120)), 120) << frame.what;
        const std::string cut = RenderScreen(texts, Layout(frame.needed - 1));
        const std::string whole = RenderScreen(texts, Layout(frame.needed));
        EXPECT_EQ(whole.find(frame.edit ? "|->PEDEXPRESS_NECK_WIDTH" : frame.what) ==
                      std::string::npos,
                  false)
            << frame.what << "\n"
            << whole;
        EXPECT_EQ(cut.find(frame.edit ? "|->PEDEXPRESS_NECK_WIDTH" : frame.what), std::string::npos)
            << frame.what << "\n"
            << cut;
    }
}

TEST(GridWidthNeeded, CountsLinesWithoutColourTagsAndOnlyOnTheGridsRows) {
    const std::vector<DrawnText> texts = {
        {"~COLOR_YELLOW~0123456789~s~", 0.5f, 0.5f, 0.0f, 0.1f},
        {"short\n0123456789012345678901234", 0.27f, 0.27f, 0.0f, 0.5f},
        {"012345678901234567890123456789012345678901234567890", 0.5f, 0.5f, 0.0f, 1.5f},
    };
    EXPECT_EQ(GridWidthNeeded(texts, Layout(10, 10)), 25);
    EXPECT_EQ(GridWidthNeeded({texts[0]}, Layout(1, 10)), 10);
    EXPECT_EQ(GridWidthNeeded({}, Layout(20)), 20);
    // A text at the right edge never fits.
    EXPECT_EQ(GridWidthNeeded({{"x", 0.5f, 0.5f, 1.0f, 0.1f}}, Layout(20)), 0);
}

class ExplainExportFailureTest : public ::testing::Test {
  protected:
    std::string Explain(const std::string &status) {
        return ExplainExportFailure(status, directory);
    }
    TemporaryFolder folder;
    const std::string &directory = folder.Path();
};

TEST_F(ExplainExportFailureTest, NamesWhatStandsInTheWayOfOpening) {
    const std::string status = "Cannot open Moulary_PLAYER_ZERO.xml!";
    fs::create_directory(directory + "/Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(Explain(status), "why: Moulary_PLAYER_ZERO.xml is a directory");
    fs::remove(directory + "/Moulary_PLAYER_ZERO.xml");
    fs::create_directory_symlink("/", directory + "/Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(Explain(status), "why: Moulary_PLAYER_ZERO.xml is a directory");
    fs::remove(directory + "/Moulary_PLAYER_ZERO.xml");
    ASSERT_EQ(mkfifo((directory + "/Moulary_PLAYER_ZERO.xml").c_str(), 0600), 0);
    EXPECT_EQ(Explain(status), "why: Moulary_PLAYER_ZERO.xml is not a regular file");
    fs::remove(directory + "/Moulary_PLAYER_ZERO.xml");
    // A link into a missing folder: the file it names cannot be made there.
    fs::create_symlink(directory + "/missing/x.xml", directory + "/Moulary_PLAYER_ZERO.xml");
    EXPECT_EQ(Explain(status), "why: Moulary_PLAYER_ZERO.xml links to " + directory +
                                   "/missing/x.xml; no file can be made in " + directory +
                                   "/missing: No such file or directory");
    fs::remove(directory + "/Moulary_PLAYER_ZERO.xml");
    // A name with control bytes is shown escaped.
    fs::create_directory(directory + "/\x1b]2;x\a.xml");
    EXPECT_EQ(Explain("Cannot open \x1b]2;x\a.xml!"), "why: \\x1B]2;x\\x07.xml is a directory");
    fs::remove(directory + "/\x1b]2;x\a.xml");
    // Names alike, even a directory at the old fixed temporary name, block no export and
    // are no cause.
    fs::create_directory(directory + "/Moulary_PLAYER_ZERO.xml.tmp");
    std::ofstream(directory + "/Moulary_PLAYER_ZERO.xml.bak") << "x";
    EXPECT_EQ(Explain(status), "why: nothing stands in the way of Moulary_PLAYER_ZERO.xml in " +
                                   directory + " now; F8 tries again");
    // The probes leave nothing behind.
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"Moulary_PLAYER_ZERO.xml.bak",
                                                        "Moulary_PLAYER_ZERO.xml.tmp"}));
}

// A folder that takes no new file: tests/cli/play_screen_test.sh, as a user bound by the bits.

TEST_F(ExplainExportFailureTest, NamesTheFileSizeLimitOfAFailedWrite) {
    struct rlimit original {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
    if (original.rlim_cur != RLIM_INFINITY)
        GTEST_SKIP() << "this process already has a file size limit";
    EXPECT_EQ(Explain("Cannot write Moulary_PLAYER_ZERO.xml!"),
              "why: no cause found now: " + directory +
                  " has room and files have no size limit; F8 tries again");
    struct rlimit limited = original;
    limited.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const std::string why = Explain("Cannot write Moulary_PLAYER_ZERO.xml!");
    setrlimit(RLIMIT_FSIZE, &original);
    EXPECT_EQ(why, "why: files may grow to 4096 bytes at most in this process (ulimit -f)");
}

TEST_F(ExplainExportFailureTest, SaysNothingOfOtherStatusLines) {
    for (const char *status : {"Wrote Moulary_PLAYER_ZERO.xml", "Press F8 to save XML",
                               "Cannot open !", "Cannot open Moulary_PLAYER_ZERO.xml", ""})
        EXPECT_EQ(Explain(status), "") << status;
}

} // namespace
