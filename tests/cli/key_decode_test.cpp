// pfe-sim play: the terminal's bytes turned into the game's keys.

#include <gtest/gtest.h>

#include "sim/play.h"

namespace {

struct Expected {
    const char *bytes;
    TerminalKey key;
    uint32_t virtualKey;
    std::size_t length;
    const char *name;
};

TEST(DecodeKey, TerminalSequencesGiveTheGamesKeys) {
    const Expected cases[] = {
        {"\x1b[A", TerminalKey::gameKey, 0x26, 3, "Up"},
        {"\x1b[B", TerminalKey::gameKey, 0x28, 3, "Down"},
        {"\x1b[C", TerminalKey::gameKey, 0x27, 3, "Right"},
        {"\x1b[D", TerminalKey::gameKey, 0x25, 3, "Left"},
        {"\x1bOA", TerminalKey::gameKey, 0x26, 3, "Up"}, // application cursor mode
        {"\x1bOD", TerminalKey::gameKey, 0x25, 3, "Left"},
        {"\x1b[1;2C", TerminalKey::gameKey, 0x27, 6, "Right"}, // with Shift
        {"\x1b[18~", TerminalKey::gameKey, 0x76, 5, "F7"},
        {"\x1b[19~", TerminalKey::gameKey, 0x77, 5, "F8"},
        {"\x1b[18;5~", TerminalKey::gameKey, 0x76, 7, "F7"}, // with Ctrl
        {"\x1b[3~", TerminalKey::gameKey, 0x2E, 4, "Delete"},
        {"\t", TerminalKey::aimNext, 0, 1, "Tab"},
        {"\x1b[Z", TerminalKey::aimPrevious, 0, 3, "Shift-Tab"},
        {"q", TerminalKey::quit, 0, 1, "q"},
        {"Q", TerminalKey::quit, 0, 1, "Q"},
        {"\x03", TerminalKey::quit, 0, 1, "Ctrl-C"},
        {"\x04", TerminalKey::quit, 0, 1, "Ctrl-D"},
        {"\x1b[15~", TerminalKey::other, 0, 5, "ESC[15~"}, // F5
        {"\x1bOP", TerminalKey::other, 0, 3, "ESCOP"},     // F1
        {"x", TerminalKey::other, 0, 1, "x"},
        {"\x7f", TerminalKey::other, 0, 1, "\\x7F"},
        {"\x1bx", TerminalKey::quit, 0, 1, "Esc"}, // Esc, then x: the x is the next key
    };
    for (const Expected &expected : cases) {
        const DecodedKey key = DecodeKey(expected.bytes, false);
        EXPECT_EQ(key.key, expected.key) << expected.name;
        EXPECT_EQ(key.virtualKey, expected.virtualKey) << expected.name;
        EXPECT_EQ(key.length, expected.length) << expected.name;
        EXPECT_EQ(key.name, expected.name);
    }
}

TEST(DecodeKey, OnlyTheFirstKeyOfTheInputIsTaken) {
    const DecodedKey key = DecodeKey("\x1b[Bq\x1b[A", false);
    EXPECT_EQ(key.virtualKey, 0x28u);
    EXPECT_EQ(key.length, 3u);
    EXPECT_EQ(DecodeKey("\x1b\x1b[A", false).length, 1u);
}

// An Esc may be the start of a sequence still on its way: it counts as Esc only once the
// input has been quiet long enough.
TEST(DecodeKey, WaitsForTheRestOfASequence) {
    for (const char *start : {"\x1b", "\x1b[", "\x1b[1", "\x1b[18", "\x1b[1;", "\x1bO"}) {
        EXPECT_EQ(DecodeKey(start, false).key, TerminalKey::none) << start + 1;
        EXPECT_EQ(DecodeKey(start, false).length, 0u);
    }
    const DecodedKey escape = DecodeKey("\x1b", true);
    EXPECT_EQ(escape.key, TerminalKey::quit);
    EXPECT_EQ(escape.length, 1u);
    const DecodedKey cut = DecodeKey("\x1b[18", true);
    EXPECT_EQ(cut.key, TerminalKey::other);
    EXPECT_EQ(cut.length, 4u);
    EXPECT_EQ(DecodeKey("", true).key, TerminalKey::none);
}

} // namespace
