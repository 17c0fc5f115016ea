// print screen: where texts land on the grid, how the 54-line list and its marker share rows,
// the legend, and colour.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <fcntl.h>
#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "sim/screen.h"

namespace {

std::vector<std::string> Rows(const std::string &screen) {
    std::vector<std::string> rows;
    std::istringstream lines(screen);
    std::string line;
    while (std::getline(lines, line))
        rows.push_back(line);
    return rows;
}

// The grid cell text of row R (without the border), from a rendering without colour.
std::string GridRow(const std::string &screen, int row) {
    const std::vector<std::string> rows = Rows(screen);
    const std::string &line = rows.at(static_cast<std::size_t>(row) + 1);
    return line.substr(1, line.size() - 2);
}

DrawnText Text(const std::string &text, float x, float y, float scale = 0.5f) {
    return DrawnText{text, scale, scale, x, y};
}

// The editor's overlay as it draws it: the list at (0.03, 0.06), the marker at 0.02 and
// the list origin + cursor * the row pitch, both at the list scale.
std::vector<DrawnText> Overlay(int cursor) {
    std::string list;
    for (int i = 0; i < 54; ++i)
        list += "FEATURE_" + std::to_string(i) + " = 0.00\n";
    return {Text("Press F8 to save XML", 0.02f, 0.02f), Text(list, 0.03f, 0.06f, 0.27f),
            Text("->", 0.02f,
                 static_cast<float>(cursor) * facts::featureRowPitch + facts::featureListY, 0.27f)};
}

TEST(Screen, PlacesTextsAtTheirScreenFractions) {
    ScreenLayout layout; // 118 x 40
    const std::string screen = RenderScreen({Text("F7 to select Self", 0.45f, 0.5f)}, layout);
    const std::vector<std::string> rows = Rows(screen);
    ASSERT_GE(rows.size(), 42u);
    EXPECT_EQ(rows[0], "+" + std::string(118, '-') + "+");
    EXPECT_EQ(rows[41], rows[0]);
    EXPECT_EQ(GridRow(screen, 20).find("F7 to select Self"), 53u); // 0.45 * 118 = 53.1
    for (int row = 0; row < 40; ++row) {
        if (row != 20) {
            EXPECT_EQ(GridRow(screen, row), std::string(118, ' ')) << "row " << row;
        }
    }
}

// A terminal of 120 columns shows the default grid whole, borders included, without
// wrapping a line.
TEST(Screen, DefaultGridFitsA120ColumnTerminal) {
    const std::string screen = RenderScreen({Text("x", 0.99f, 0.99f)}, ScreenLayout{});
    for (const std::string &row : Rows(screen))
        EXPECT_LE(row.size(), 120u) << row;
    EXPECT_EQ(Rows(screen)[0].size(), 120u); // and uses the width it has
}

TEST(Screen, ListTakesOneRowPerLineAndTheMarkerStaysOnItsLine) {
    ScreenLayout layout;
    for (int cursor : {0, 1, 26, 27, 37}) {
        const std::string screen = RenderScreen(Overlay(cursor), layout);
        EXPECT_NE(GridRow(screen, 1).find("Press F8 to save XML"), std::string::npos);
        for (int line = 0; line < 38; ++line) {
            const std::string row = GridRow(screen, 2 + line);
            const std::string feature = "FEATURE_" + std::to_string(line) + " = 0.00";
            EXPECT_EQ(row.substr(4, feature.size()), feature) << "cursor " << cursor;
            EXPECT_EQ(row.substr(2, 2), line == cursor ? "->" : "  ")
                << "cursor " << cursor << " line " << line;
        }
    }
}

// On a grid of 78 columns the marker (x 0.02) and the list (x 0.03) round to one column;
// the marker keeps to the left of the line it marks.
TEST(Screen, MarkerStaysLeftOfItsLineOnANarrowGrid) {
    ScreenLayout layout;
    layout.width = 78;
    layout.legend = false;
    const std::string screen = RenderScreen(Overlay(3), layout);
    EXPECT_EQ(GridRow(screen, 5).substr(0, 16), "->FEATURE_3 = 0.");
    EXPECT_EQ(GridRow(screen, 4).substr(0, 16), "  FEATURE_2 = 0.");
    EXPECT_EQ(PlaceTexts(Overlay(3), layout)[2].col, 0);
}

TEST(Screen, LegendGivesScalesAndWhatFellOffTheGrid) {
    ScreenLayout layout;
    const std::string screen = RenderScreen(Overlay(44), layout);
    EXPECT_NE(
        screen.find("1. row 1 col 2, at (0.0200, 0.0200), scale 0.50: Press F8 to save XML\n"),
        std::string::npos);
    EXPECT_NE(screen.find("2. row 2 col 4, at (0.0300, 0.0600), scale 0.27, 54 lines on rows 2-55 "
                          "(the last 16 below the grid): FEATURE_0 = 0.00 ...\n"),
              std::string::npos);
    EXPECT_NE(screen.find("3. row 46 col 2, at (0.0200, 0.7926), scale 0.27, on line 45 of text 2 "
                          "(off the grid): ->\n"),
              std::string::npos);
    ScreenLayout tall;
    tall.height = 60;
    const std::string whole = RenderScreen(Overlay(53), tall);
    EXPECT_EQ(whole.find("below the grid"), std::string::npos);
    EXPECT_EQ(GridRow(whole, 4 + 53).substr(2, 15), "->FEATURE_53 = ");
    EXPECT_EQ(RenderScreen({}, layout).substr(42 * 121), "  (no text drawn)\n");
}

TEST(Screen, PlacementsMatchTheGrid) {
    ScreenLayout layout;
    const std::vector<TextPlacement> placed = PlaceTexts(Overlay(5), layout);
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_EQ(placed[1].row, 2);
    EXPECT_EQ(placed[1].lines, 54);
    EXPECT_EQ(placed[2].anchorText, 1);
    EXPECT_EQ(placed[2].anchorLine, 5);
    EXPECT_EQ(placed[2].row, 7);
    // A text between two lines of the list is not taken for one of them.
    const std::vector<DrawnText> between = {
        Overlay(0)[1], Text("x", 0.5f, facts::featureListY + 2.5f * facts::featureRowPitch)};
    EXPECT_EQ(PlaceTexts(between, layout)[1].anchorText, -1);
    EXPECT_EQ(PlaceTexts(between, layout)[1].row, 4);
}

TEST(Screen, MultiLineTextsAndClipping) {
    ScreenLayout layout;
    layout.width = 20;
    layout.height = 10;
    layout.legend = false;
    const std::string screen =
        RenderScreen({Text("first\nsecond\n", 0.5f, 0.0f), Text("edge", 0.9f, 0.9f),
                      Text("over", 0.5f, 0.1f), Text("gone", 1.2f, 0.5f), Text("up", 0.1f, -0.2f)},
                     layout);
    EXPECT_EQ(GridRow(screen, 0), "          first     ");
    EXPECT_EQ(GridRow(screen, 1), "          overnd    ");
    EXPECT_EQ(GridRow(screen, 9), "                  ed");
    EXPECT_EQ(Rows(screen).size(), 12u);
    EXPECT_EQ(RenderScreen({Text("a\tb", 0.0f, 0.0f)}, layout).substr(23, 4), "|a?b");
}

TEST(Screen, ColourTagsStrippedWithoutColour) {
    ScreenLayout layout;
    layout.legend = false;
    const DrawnText warning = Text("~COLOR_YELLOW~Cannot open X!", 0.0f, 0.0f);
    const std::string plain = RenderScreen({warning}, layout);
    EXPECT_EQ(GridRow(plain, 0).substr(0, 14), "Cannot open X!");
    EXPECT_EQ(plain.find('\x1b'), std::string::npos);
    EXPECT_EQ(StripColorTags("~COLOR_RED~a~s~b~not a tag~c~"), "ab~not a tag");
}

class ColorChoice : public ::testing::Test {
  protected:
    void SetUp() override {
        terminal = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal, 0);
        ASSERT_EQ(grantpt(terminal), 0);
        ASSERT_EQ(unlockpt(terminal), 0);
        follower = open(ptsname(terminal), O_RDWR | O_NOCTTY);
        ASSERT_GE(follower, 0);
        for (const char *name : {"NO_COLOR", "TERM"})
            if (const char *value = getenv(name))
                saved.emplace_back(name, value);
    }
    void TearDown() override {
        unsetenv("NO_COLOR");
        unsetenv("TERM");
        for (const auto &[name, value] : saved)
            setenv(name.c_str(), value.c_str(), 1);
        close(follower);
        close(terminal);
    }
    int terminal = -1;
    int follower = -1;
    std::vector<std::pair<std::string, std::string>> saved;
};

// Colour as the terminal's description has it: xterm's sequence for yellow, then back to
// the terminal's own before the border; none for a terminal without colours.
TEST_F(ColorChoice, OnlyOnAColourTerminalWithoutNoColor) {
    setenv("TERM", "xterm-256color", 1);
    unsetenv("NO_COLOR");
    EXPECT_TRUE(ColorWanted(follower));
    ScreenLayout layout;
    layout.legend = false;
    layout.color = true;
    const std::string colored =
        RenderScreen({{"~COLOR_YELLOW~Cannot open X!", 0.5f, 0.5f, 0.0f, 0.0f}}, layout);
    EXPECT_NE(colored.find("|\x1b[33mCannot open X!\x1b(B\x1b[m   "), std::string::npos) << colored;
    for (const char *mono : {"xterm-mono", "vt52", "no-such-terminal"}) {
        setenv("TERM", mono, 1);
        EXPECT_FALSE(ColorWanted(follower)) << mono;
    }
    setenv("TERM", "xterm-256color", 1);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_FALSE(ColorWanted(pipeEnds[1]));
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    setenv("NO_COLOR", "1", 1);
    EXPECT_FALSE(ColorWanted(follower));
    setenv("NO_COLOR", "", 1); // an empty NO_COLOR does not count
    EXPECT_TRUE(ColorWanted(follower));
    setenv("TERM", "dumb", 1);
    EXPECT_FALSE(ColorWanted(follower));
    unsetenv("TERM");
    EXPECT_FALSE(ColorWanted(follower));
}

} // namespace
