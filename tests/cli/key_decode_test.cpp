// pfe-sim play: the terminal's bytes turned into the game's keys, and the keys waiting for
// their frame.

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

// Each sequence, typed whole, decodes to its key, code, length and name.
void ExpectDecoded(std::initializer_list<Expected> cases) {
    for (const Expected &expected : cases) {
        const DecodedKey key = DecodeKey(expected.bytes, false);
        EXPECT_EQ(key.key, expected.key) << expected.name;
        EXPECT_EQ(key.virtualKey, expected.virtualKey) << expected.name;
        EXPECT_EQ(key.length, expected.length) << expected.name;
        EXPECT_EQ(key.name, expected.name);
    }
}

TEST(DecodeKey, TerminalSequencesGiveTheGamesKeys) {
    ExpectDecoded({
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
        {"\x1a", TerminalKey::suspend, 0, 1, "Ctrl-Z"},
    });
}

TEST(DecodeKey, OnlyTheFirstKeyOfTheInputIsTaken) {
    const DecodedKey key = DecodeKey("\x1b[Bq\x1b[A", false);
    EXPECT_EQ(key.virtualKey, 0x28u);
    EXPECT_EQ(key.length, 3u);
    EXPECT_EQ(DecodeKey("\x1b\x1b[A", false).length, 4u); // Alt-Up, whole
    EXPECT_EQ(DecodeKey("\x1b[Aq", false).length, 3u);
}

// Terminals send Alt with a key as Esc and that key at once. No key of the editor has Alt, so
// it does nothing, whichever key it is: Alt-q, Alt-Tab and Alt-Esc neither quit nor aim.
TEST(DecodeKey, EscThenAKeyIsAltAndDoesNothing) {
    ExpectDecoded({
        {"\x1bx", TerminalKey::other, 0, 2, "Alt-x"},
        {"\x1bq", TerminalKey::other, 0, 2, "Alt-q"},
        {"\x1b\t", TerminalKey::other, 0, 2, "Alt-Tab"},
        {"\x1b\x03", TerminalKey::other, 0, 2, "Alt-Ctrl-C"},
        {"\x1b\x1a", TerminalKey::other, 0, 2, "Alt-Ctrl-Z"},
        {"\x1b\x1b[A", TerminalKey::other, 0, 4, "Alt-Up"},
        {"\x1b\x1b[19~", TerminalKey::other, 0, 6, "Alt-F8"},
        {"\x1b\x1bOB", TerminalKey::other, 0, 4, "Alt-Down"},
        {"\x1b\x1bx", TerminalKey::other, 0, 2, "Alt-Esc"}, // then x on its own
        {"\x1b\x1b\x1b", TerminalKey::other, 0, 2, "Alt-Esc"},
    });
    // Esc Esc with nothing after: Alt-Esc once the input is quiet, not a quit.
    EXPECT_EQ(DecodeKey("\x1b\x1b", false).key, TerminalKey::none);
    EXPECT_EQ(DecodeKey("\x1b\x1b", true).key, TerminalKey::other);
    EXPECT_EQ(DecodeKey("\x1b\x1b", true).length, 2u);
    EXPECT_EQ(DecodeKey("\x1b\x1b[", false).key, TerminalKey::none);
    EXPECT_EQ(DecodeKey("\x1bO", true).name, "Alt-O");
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

DecodedKey Typed(const char *bytes) { return DecodeKey(bytes, true); }

std::vector<std::string> Drain(KeyQueue &queue) {
    std::vector<std::string> names;
    while (!queue.Empty())
        names.push_back(queue.Pop().name);
    return names;
}

// Every key that acts waits its turn in the order typed: Tab and q behind the game keys
// typed before them, so that "F8 q" exports before it quits and "F7 Tab" selects before the
// aim moves.
TEST(KeyQueue, KeysActInTheOrderTyped) {
    KeyQueue queue;
    for (const char *bytes : {"\x1b[18~", "\t", "\x1b[B", "\x1b[Z", "\x1a", "\x1b[19~", "q"})
        EXPECT_TRUE(queue.Push(Typed(bytes))) << bytes + 1;
    const std::vector<std::string> expected = {"F7",     "Tab", "Down", "Shift-Tab",
                                               "Ctrl-Z", "F8",  "q"};
    EXPECT_EQ(Drain(queue), expected);
}

TEST(KeyQueue, KeysThatDoNothingAreNotQueued) {
    KeyQueue queue;
    EXPECT_FALSE(queue.Push(Typed("x")));
    EXPECT_FALSE(queue.Push(Typed("\x1bq")));
    EXPECT_FALSE(queue.Push(DecodedKey{}));
    EXPECT_TRUE(queue.Empty());
}

// Typed far ahead, keys are dropped, but a quit is not: the session can always be left.
// Nothing after a quit counts, and one Ctrl-Z waiting is enough.
TEST(KeyQueue, DropsKeysTypedFarAheadButNeverAQuit) {
    KeyQueue queue;
    for (std::size_t i = 0; i < KeyQueue::limit; ++i)
        ASSERT_TRUE(queue.Push(Typed("\x1b[C")));
    EXPECT_FALSE(queue.Push(Typed("\x1b[D")));
    EXPECT_FALSE(queue.Push(Typed("\t")));
    EXPECT_TRUE(queue.Push(Typed("\x1a")));
    EXPECT_FALSE(queue.Push(Typed("\x1a")));
    EXPECT_TRUE(queue.Push(Typed("\x03")));
    EXPECT_FALSE(queue.Push(Typed("\x1b[A")));
    EXPECT_FALSE(queue.Push(Typed("q")));
    const std::vector<std::string> names = Drain(queue);
    ASSERT_EQ(names.size(), KeyQueue::limit + 2);
    EXPECT_EQ(names[KeyQueue::limit], "Ctrl-Z");
    EXPECT_EQ(names.back(), "Ctrl-C");

    KeyQueue again; // a Ctrl-Z that had its turn leaves room for the next
    EXPECT_TRUE(again.Push(Typed("\x1a")));
    again.Pop();
    EXPECT_TRUE(again.Push(Typed("\x1a")));
}

} // namespace
