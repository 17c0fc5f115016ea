// The module keeps its own copies of the facts it shares with the stand-in (it must not depend
// on the stand-in); these tests prove that the two agree. The host's functions agree by
// compiling: this file includes the module's declarations and the stand-in's, and a
// difference in any type would be a conflicting declaration. The export's pieces agree in
// expressions_xml_test.cpp (the text) and export_test.cpp (the file's bytes).

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>

#include "data/face_features.h"
#include "data/model_catalogue.h"
#include "editor/editor.h"
#include "host/host_interface.h"
#include "host/keyboard.h"
#include "standin/game.h"
#include "standin/game_facts.h"
#include "standin/host_functions.h"
#include "support/temporary_folder.h"

namespace {

TEST(FactsAgree, KeyCodes) {
    EXPECT_EQ(VK_KEY_F7, keys::f7);
    EXPECT_EQ(VK_KEY_F8, keys::f8);
    EXPECT_EQ(VK_KEY_DELETE, keys::del);
    EXPECT_EQ(VK_KEY_LEFT, keys::left);
    EXPECT_EQ(VK_KEY_UP, keys::up);
    EXPECT_EQ(VK_KEY_RIGHT, keys::right);
    EXPECT_EQ(VK_KEY_DOWN, keys::down);
}

TEST(FactsAgree, PoseAndTables) {
    EXPECT_STREQ(poseDictionary, facts::poseDictionary);
    EXPECT_STREQ(poseClip, facts::poseClip);
    EXPECT_EQ(pedModelNameCount, facts::pedModelCount);
    EXPECT_EQ(faceFeatureCount, facts::faceFeatureCount);
}

// The editor's status after F8, in each of its outcomes, is made of the words pfe-sim reads.
TEST(FactsAgree, ExportStatusWords) {
    Game game; // the clock of the key window
    const TemporaryFolder folder(true);
    selectedModelName = "M";
    const auto afterF8 = [&game](const char *failure) {
        game.AdvanceClock(1000);
        OnKeyboardMessage(VK_KEY_F8, 1, 0, 0, 0, 1, 1);
        HandleExportKey();
        const std::string name = "Moulary_M.xml";
        EXPECT_TRUE(failure ? statusLine.ends_with(failure + name + facts::exportFailureEnd)
                            : statusLine == facts::exportWrote + name)
            << statusLine;
    };
    afterF8(nullptr);
    struct rlimit original {};
    getrlimit(RLIMIT_FSIZE, &original);
    struct rlimit small = original;
    small.rlim_cur = 8;
    signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    afterF8(facts::exportCannotWrite);
    setrlimit(RLIMIT_FSIZE, &original);
    signal(SIGXFSZ, SIG_DFL);
    std::filesystem::remove("Moulary_M.xml");
    std::filesystem::create_directory("Moulary_M.xml");
    afterF8(facts::exportCannotOpen);
}

} // namespace
