// The module keeps its own copies of the facts it shares with the stand-in (it must not depend
// on the stand-in); these tests prove that the two agree. The host's functions agree by
// compiling: this file includes the module's declarations and the stand-in's, and a
// difference in any type would be a conflicting declaration. The export's pieces agree in
// expressions_xml_test.cpp (the text) and export_test.cpp (the file's bytes).

#include <gtest/gtest.h>

#include "data/face_features.h"
#include "data/model_catalogue.h"
#include "editor/editor.h"
#include "host/host_interface.h"
#include "host/keyboard.h"
#include "standin/game_facts.h"
#include "standin/host_functions.h"

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

} // namespace
