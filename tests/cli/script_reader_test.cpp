// The session-script reader: the grammar of counts, hashes and numbers, the limits its
// messages name, and the line ends and byte-order mark that editors leave.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <string>
#include <vector>

#include "sim/session_script.h"

namespace {

// The reader's refusal of a script, or "accepted".
std::string Refusal(const std::string &text) {
    try {
        ParseScriptText("t.session", text);
    } catch (const Failure &error) {
        EXPECT_EQ(error.status, exitBadInput) << text;
        return error.what();
    }
    return "accepted";
}

struct Case {
    std::string line;
    std::string message; // what the refusal of line 1 holds, or "accepted"
};

void ExpectEach(const std::vector<Case> &cases) {
    for (const Case &c : cases) {
        const std::string refusal = Refusal(c.line + "\n");
        if (c.message == "accepted")
            EXPECT_EQ(refusal, "accepted") << c.line;
        else
            EXPECT_NE(refusal.find("t.session:1: " + c.message), std::string::npos)
                << c.line << " gave: " << refusal;
    }
}

std::string Text(uint64_t value) { return std::to_string(value); }

TEST(ScriptReader, CountsAreDecimalDigitsUpToTheLimitTheyName) {
    const uint64_t most32 = 0xFFFFFFFF;
    ExpectEach({
        {"frame " + Text(maxFramesPerCommand), "accepted"},
        {"frame " + Text(maxFramesPerCommand + 1ull),
         "frame takes at most " + Text(maxFramesPerCommand) + " frames, not " +
             Text(maxFramesPerCommand + 1ull)},
        {"frame 99999999999999999999999", "frame takes at most " + Text(maxFramesPerCommand)},
        {"tap F7 " + Text(maxTaps), "accepted"},
        {"tap F7 " + Text(maxTaps + 1ull), "tap takes at most " + Text(maxTaps) + " taps"},
        {"dictionary-delay " + Text(maxDictionaryDelay + 1ull),
         "dictionary-delay takes at most " + Text(maxDictionaryDelay) + " frames"},
        {"wait " + Text(most32), "accepted"},
        {"wait " + Text(most32 + 1), "wait takes at most " + Text(most32) + " milliseconds"},
        {"clock " + Text(most32 + 1), "clock takes at most " + Text(most32) + " milliseconds"},
        {"frame-time " + Text(most32 + 1), "frame-time takes at most"},
        {"expect file x " + Text(most32 + 1), "expect file takes at most " + Text(most32)},
        {"expect feature 2 " + Text(most32 + 1) + " 0.0", "expect feature takes at most"},
        {"aim 2147483647", "accepted"},
        {"aim 2147483648", "aim takes at most 2147483647 as an entity handle"},
        {"aim 0", "'0' is not an entity handle"},
        {"frame 007", "accepted"},
        // from_chars would read a sign for a signed type; a count has none.
        {"frame -1", "'-1' is not a number of frames"},
        {"frame +1", "'+1' is not a number of frames"},
        {"aim -2", "'-2' is not an entity handle"},
        {"tap F7 1x", "'1x' is not a number of taps"},
        {"wait 1.5", "'1.5' is not a number of milliseconds"},
        {"expect feature 2 PEDEXPRESS_NECK_WIDTH 0.3", "accepted"},
        {"expect feature 2 PEDEXPRESS_NECK 0.3", "'PEDEXPRESS_NECK' is not a feature id or a name"},
        {"expect feature 2 36277 0.3.", "'0.3.' is not a finite number"},
        {"dictionary some@dictionary", "accepted"},
    });
}

// Words and names are echoed with control bytes escaped and cut when long; a script's name
// is kept once, not per line, so the most lines a script may hold under a name as long as a
// path may be take megabytes, not hundreds of them.
TEST(ScriptReader, WordsAreEchoedSafelyAndNamesKeptOnce) {
    EXPECT_EQ(Refusal("jump\x1B]2;x\x07\n"), "t.session:1: unknown command 'jump\\x1B]2;x\\x07'");
    EXPECT_LT(Refusal(std::string(1 << 20, 'j')).size(), 300u);
    std::string text;
    while (text.size() + 7 <= maxScriptBytes)
        text += "wait 1\n";
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(ParseScriptText(std::string(4084, 'd'), text).steps.size(), text.size() / 7);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 100 * 1024) << "kilobytes";
}

TEST(ScriptReader, HashesAndKeyCodesAre0xAndOneToEightHexDigits) {
    ExpectEach({
        {"hash NAME 0xFFFFFFFF", "accepted"},
        {"hash NAME 0x0000abcd", "accepted"},
        {"hash NAME 0x123456789", "'0x123456789' is not a 32-bit hash"},
        {"hash NAME 0x000000001", "'0x000000001' is not a 32-bit hash"},
        {"hash NAME 0x", "'0x' is not a 32-bit hash"},
        {"hash NAME 0x1Z", "'0x1Z' is not a 32-bit hash"},
        {"hash NAME 0x-1", "'0x-1' is not a 32-bit hash"},
        {"hash NAME 0x+1", "'0x+1' is not a 32-bit hash"},
        {"hash NAME 0X1F", "'0X1F' is not a 32-bit hash"},
        {"hash NAME 1F", "'1F' is not a 32-bit hash"},
        {"tap 0x76", "accepted"},
        {"tap 0x", "unknown key '0x'"},
        {"tap 0x1FFFFFFFF", "unknown key '0x1FFFFFFFF'"},
        // A model that starts like a hash must be one, not be hashed as a name.
        {"ped 2 0xFFFFFFFF", "accepted"},
        {"ped 2 A_M_M_VALTOWNFOLK_01", "accepted"},
        {"ped 2 0x1FFFFFFFF", "'0x1FFFFFFFF' is not a model hash (0x and 1 to 8 hex digits)"},
        {"ped 2 0x", "'0x' is not a model hash"},
        {"ped 2 0xZZ", "'0xZZ' is not a model hash"},
        {"ped 2 0x12G", "'0x12G' is not a model hash"},
        {"ped 2 0X1F", "'0X1F' is not a model hash"},
        {"object 3 0x", "'0x' is not a model hash"},
        {"object 3 0x+1", "'0x+1' is not a model hash"},
    });
}

TEST(ScriptReader, NumbersAreFiniteFloats) {
    ExpectEach({
        {"ped 2 CS_DUTCH heading -90.5 at 1e2 -0.25 0", "accepted"},
        {"move 2 1 2 3 heading 1E1", "accepted"},
        {"move 2 1 2 3 heading 3.4e38", "accepted"},
        {"ped 2 CS_DUTCH heading inf", "'inf' is not a finite number"},
        {"ped 2 CS_DUTCH heading -inf", "'-inf' is not a finite number"},
        {"ped 2 CS_DUTCH heading -nan", "'-nan' is not a finite number"},
        {"ped 2 CS_DUTCH at 1 nan 2", "'nan' is not a finite number"},
        {"ped 2 CS_DUTCH at 1 2 0x10", "'0x10' is not a finite number"},
        // Finite as a double, infinite as the float the world holds.
        {"ped 2 CS_DUTCH heading 1e39", "'1e39' is not a finite number"},
        {"ped 2 CS_DUTCH heading 1e400", "'1e400' is not a finite number"},
        {"move 2 1 2 3 heading infinity", "'infinity' is not a finite number"},
        {"move 2 1 2 3 heading +1", "'+1' is not a finite number"},
        {"move 2 1 2 3 heading 1.5x", "'1.5x' is not a finite number"},
    });
}

TEST(ScriptReader, LinesEndInLfCrLfOrCrAfterAnOptionalByteOrderMark) {
    const std::vector<ScriptStep> steps = ParseScriptText("t.session", "\xEF\xBB\xBF"
                                                                       "frame\r\n"
                                                                       "\r"
                                                                       "frame 2\r"
                                                                       "# a comment\n"
                                                                       "\n"
                                                                       "tap F7\r\n"
                                                                       "frame 3")
                                              .steps;
    ASSERT_EQ(steps.size(), 4u);
    const int lines[] = {1, 3, 6, 7};
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(steps[i].line, lines[i]) << i;
    EXPECT_EQ(Refusal("frame\rframe\r\rjump\r"), "t.session:4: unknown command 'jump'");
    // Only the first bytes may be a byte-order mark.
    EXPECT_EQ(Refusal("frame\n\xEF\xBB\xBF"
                      "frame\n"),
              "t.session:2: unknown command '\xEF\xBB\xBF"
              "frame'");
    EXPECT_EQ(Refusal("expect drawn \"a\r\"\n"), "t.session:1: a quoted text is not closed");
}

} // namespace
