// pfe-sim's command line: what each spelling of an option sets, and the one line a usage
// error gives.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/failure.h"

namespace {

const std::string defaultModule = "/opt/pfe/libPedFeatureEditor.so";

CommandLine Read(const std::vector<std::string> &args) {
    return ReadCommandLine(args, defaultModule);
}

TEST(CommandLine, RunTakesEverySpellingOfItsOptions) {
    const CommandLine plain = Read({"run", "a.session"});
    ASSERT_EQ(plain.command, Command::run);
    EXPECT_EQ(plain.run.script.modulePath, defaultModule);
    EXPECT_FALSE(plain.run.script.trace);
    EXPECT_FALSE(plain.run.temporaryDirectory);
    EXPECT_FALSE(plain.run.quiet);
    EXPECT_EQ(plain.run.script.screen.width, ScriptOptions().screen.width);
    EXPECT_EQ(plain.run.files, std::vector<std::string>{"a.session"});

    const std::vector<std::vector<std::string>> spellings = {
        {"run", "--module", "m.so", "--screen", "60x20", "--trace", "--temp-dir", "-q", "a.session",
         "b.session"},
        {"run", "--module=m.so", "--screen=60x20", "--trace", "--temp-dir", "--quiet", "a.session",
         "b.session"},
        {"run", "a.session", "--trace", "--module=m.so", "b.session", "--screen", "60x20", "-q",
         "--temp-dir"},
        {"run", "--module", "x.so", "--module=m.so", "--screen=60x20", "--trace", "--temp-dir",
         "-q", "--", "a.session", "b.session"},
    };
    for (const std::vector<std::string> &args : spellings) {
        const CommandLine line = Read(args);
        const std::string shown = ::testing::PrintToString(args);
        ASSERT_EQ(line.command, Command::run) << shown;
        EXPECT_EQ(line.run.script.modulePath, "m.so") << shown;
        EXPECT_EQ(line.run.script.screen.width, 60) << shown;
        EXPECT_EQ(line.run.script.screen.height, 20) << shown;
        EXPECT_TRUE(line.run.script.trace) << shown;
        EXPECT_TRUE(line.run.temporaryDirectory) << shown;
        EXPECT_TRUE(line.run.quiet) << shown;
        EXPECT_EQ(line.run.files, (std::vector<std::string>{"a.session", "b.session"})) << shown;
    }
}

// After "--" everything is a file, however it is spelt; before it, "-" alone is one too.
TEST(CommandLine, DoubleDashEndsTheOptions) {
    const CommandLine line = Read({"run", "-q", "-", "--", "--trace", "-q", "--"});
    ASSERT_EQ(line.command, Command::run);
    EXPECT_TRUE(line.run.quiet);
    EXPECT_FALSE(line.run.script.trace);
    EXPECT_EQ(line.run.files, (std::vector<std::string>{"-", "--trace", "-q", "--"}));
    EXPECT_EQ(Read({"show", "--", "-x.xml"}).show.file, "-x.xml");
}

TEST(CommandLine, PlayAndShowTakeTheirOwn) {
    const CommandLine play = Read({"play", "--screen=100x50", "--module", "m.so"});
    ASSERT_EQ(play.command, Command::play);
    EXPECT_EQ(play.play.modulePath, "m.so");
    EXPECT_EQ(play.play.width, 100);
    EXPECT_EQ(play.play.height, 50);
    const CommandLine fitted = Read({"play"});
    EXPECT_EQ(fitted.play.modulePath, defaultModule);
    EXPECT_EQ(fitted.play.width, 0);
    const CommandLine show = Read({"show", "export.xml"});
    ASSERT_EQ(show.command, Command::show);
    EXPECT_EQ(show.show.file, "export.xml");
}

// Help and version come first: wherever they stand, as long as nothing wrong stands before.
TEST(CommandLine, HelpAndVersionForTheToolAndEachCommand) {
    const struct {
        std::vector<std::string> args;
        Command command;
        const char *helpStart;
    } cases[] = {
        {{"--help"}, Command::help, "usage: pfe-sim COMMAND"},
        {{"-h"}, Command::help, "usage: pfe-sim COMMAND"},
        {{"--version"}, Command::version, ""},
        {{"run", "a.session", "--help"}, Command::help, "usage: pfe-sim run "},
        {{"run", "-qh"}, Command::help, "usage: pfe-sim run "},
        {{"run", "--version", "--bogus"}, Command::version, ""},
        {{"play", "-h"}, Command::help, "usage: pfe-sim play "},
        {{"play", "--version"}, Command::version, ""},
        {{"show", "--help", "a.xml", "b.xml"}, Command::help, "usage: pfe-sim show "},
        {{"show", "--version"}, Command::version, ""},
    };
    for (const auto &each : cases) {
        const CommandLine line = Read(each.args);
        const std::string shown = ::testing::PrintToString(each.args);
        EXPECT_EQ(line.command, each.command) << shown;
        EXPECT_EQ(line.helpText.rfind(each.helpStart, 0), 0u) << shown << ": " << line.helpText;
    }
    // The tool's help holds every command's.
    const std::string all = Read({"--help"}).helpText;
    for (const char *command : {"run", "play", "show"})
        EXPECT_NE(all.find(Read({command, "--help"}).helpText), std::string::npos) << command;
}

TEST(CommandLine, UsageErrorsAreOneLineWithStatusTwo) {
    const struct {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{}, "no command given: run, play or show (pfe-sim --help shows the usage)"},
        {{"--bogus"}, "unknown option --bogus (pfe-sim --help shows the usage)"},
        {{"--"}, "no command given: run, play or show (pfe-sim --help shows the usage)"},
        {{"walk"}, "unknown command 'walk': run, play or show (pfe-sim --help shows the usage)"},
        {{"run"}, "run needs at least one script (pfe-sim run --help shows the usage)"},
        {{"run", "--"}, "run needs at least one script (pfe-sim run --help shows the usage)"},
        {{"run", "--bogus", "--help"},
         "unknown option --bogus for run (pfe-sim run --help shows the usage)"},
        {{"run", "-qx", "a"}, "unknown option -x for run (pfe-sim run --help shows the usage)"},
        {{"run", "--trace=1", "a"}, "--trace takes no value"},
        {{"run", "--help=all"}, "--help takes no value"},
        {{"run", "a", "--module"}, "--module needs a value"},
        {{"run", "--module=", "a"}, "--module needs a value"},
        {{"run", "--module", "", "a"}, "--module needs a value"},
        {{"run", "--screen", "5x5", "a"},
         "--screen takes WIDTHxHEIGHT, e.g. 120x40 (20 to 1000 by 10 to 1000), not '5x5'"},
        {{"run", "--mod=x", "a"},
         "unknown option --mod for run (pfe-sim run --help shows the usage)"},
        {{"play", "extra"}, "play takes no 'extra' (pfe-sim play --help shows the usage)"},
        {{"play", "--trace"},
         "unknown option --trace for play (pfe-sim play --help shows the usage)"},
        {{"show"}, "usage: pfe-sim show FILE.xml"},
        {{"show", "a.xml", "b.xml"}, "usage: pfe-sim show FILE.xml"},
        {{"show", "--all", "a.xml"},
         "unknown option --all for show (pfe-sim show --help shows the usage)"},
    };
    for (const auto &each : cases) {
        const std::string shown = ::testing::PrintToString(each.args);
        try {
            Read(each.args);
            ADD_FAILURE() << shown << ": accepted";
        } catch (const Failure &error) {
            EXPECT_EQ(error.status, exitBadInput) << shown;
            EXPECT_EQ(std::string(error.what()), each.message) << shown;
        }
    }
}

// The stand-in's errors map to a status; a bug of ours is an internal error, never bad input.
TEST(CommandLine, ErrorsAreReportedOnOneLineWithTheirStatus) {
    const auto reported = [](auto error) {
        std::ostringstream err;
        try {
            throw error;
        } catch (...) {
            const int status = ReportCurrentError(err);
            return std::to_string(status) + " " + err.str();
        }
    };
    EXPECT_EQ(reported(std::logic_error("a bug")), "70 pfe-sim: internal error: a bug\n");
    EXPECT_EQ(reported(GameError(GameError::Kind::ruleBroken, "a rule")), "1 pfe-sim: a rule\n");
    EXPECT_EQ(reported(GameError(GameError::Kind::moduleRefused, "m\x1B")), "2 pfe-sim: m\\x1B\n");
    EXPECT_EQ(reported(Failure(exitFailed, "f")), "1 pfe-sim: f\n");
}

TEST(CommandLine, ScreenSizeIsTwoPlainNumbersInRange) {
    int width = 0;
    int height = 0;
    for (const auto &[text, w, h] :
         {std::tuple{"20x10", 20, 10}, std::tuple{"1000x1000", 1000, 1000},
          std::tuple{"120x40", 120, 40}}) {
        EXPECT_TRUE(ParseScreenSize(text, width, height)) << text;
        EXPECT_EQ(width, w) << text;
        EXPECT_EQ(height, h) << text;
    }
    for (const char *text : {"19x10", "20x9", "1001x10", "20x1001", "120x", "x40", "120", "120X40",
                             "+120x40", " 120x40", "120x40 ", "120x40x2", "-120x40", "120x-40",
                             "99999999999999999999x40", "", "120 x 40"}) {
        width = height = 7;
        EXPECT_FALSE(ParseScreenSize(text, width, height)) << text;
        EXPECT_EQ(width, 7) << text << ": changed on a refusal";
        EXPECT_EQ(height, 7) << text << ": changed on a refusal";
    }
}

} // namespace
