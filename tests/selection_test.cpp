// Target selection: the prompts, the model label, F7 and Delete. The session scripts hold the
// plain cases: selecting yourself, the prompt following the aim and F7 taking the ped aimed at
// last, a colliding hash.

#include "support/game_fixture.h"

namespace {

class SelectionTest : public GameTest {
  protected:
    bool Editing() const { return !CallsTo(hashes::taskPlayAnim).empty(); }
};

TEST_F(SelectionTest, AnimalsAndObjectsAreInvalidAndF7IgnoresThem) {
    SpawnPed(2, "A_C_HORSE_MORGAN_BAY", false);
    game.world.Spawn(3, EntityKind::vehicle, HashOfName("WAGON02X"), false);
    for (int32_t target : {2, 3}) {
        Aim(target);
        game.RunFrame();
        EXPECT_EQ(Texts(), std::vector<std::string>{"Invalid Entity"});
        Tap(keys::f7);
        EXPECT_FALSE(Editing()) << "target " << target;
        EXPECT_EQ(Texts(), std::vector<std::string>{"Invalid Entity"});
    }
    // The unread F7 release expires: aiming away later selects nothing by itself.
    game.RunFrames(7);
    Aim(0);
    game.RunFrame();
    EXPECT_EQ(Texts(), std::vector<std::string>{"F7 to select Self"});
    EXPECT_FALSE(Editing());
}

TEST_F(SelectionTest, DeleteEndsTheSession) {
    SpawnPed(2, "CS_DUTCH");
    Aim(2);
    game.RunFrame();
    Tap(keys::f7);
    ASSERT_EQ(game.world.cameras.size(), 1u);
    game.world.clearTasksCalls.clear();
    Tap(keys::del);
    EXPECT_EQ(game.world.clearTasksCalls, std::vector<int32_t>{2});
    EXPECT_EQ(game.world.Find(2)->animationClip, "");
    EXPECT_TRUE(game.world.cameras.empty()) << "the camera is destroyed";
    ASSERT_EQ(CallsTo(hashes::setCamActive).size(), 1u);
    EXPECT_EQ(CallsTo(hashes::setCamActive)[0].arguments[1], 0u);
    EXPECT_EQ(CallsTo(hashes::destroyCam)[0].arguments[1], 1u);
    EXPECT_FALSE(Editing()) << "nothing is posed in the pass of the Delete";
    EXPECT_TRUE(Texts().empty()) << "the ped still existed when the prompts were due";
    game.RunFrame();
    EXPECT_TRUE(Drawn("F7 to select CS_DUTCH"));
}

TEST_F(SelectionTest, DeleteWithNothingSelectedClearsHandleZeroAndTouchesNoCamera) {
    game.RunFrame();
    Tap(keys::del);
    EXPECT_EQ(game.world.clearTasksCalls, std::vector<int32_t>{0});
    EXPECT_TRUE(CallsTo(hashes::setCamActive).empty());
    EXPECT_TRUE(CallsTo(hashes::destroyCam).empty());
    EXPECT_TRUE(Drawn("F7 to select Self"));
}

TEST_F(SelectionTest, StaleSelectionBringsThePromptsBackAndF7ReplacesIt) {
    SpawnPed(2, "CS_DUTCH");
    SpawnPed(3, "CS_MICAHBELL");
    Aim(2);
    game.RunFrame();
    Tap(keys::f7);
    Tap(keys::right);
    game.world.Remove(2);
    Aim(3);
    game.RunFrame();
    EXPECT_EQ(Texts(), std::vector<std::string>{"F7 to select CS_MICAHBELL"});
    EXPECT_TRUE(game.world.AnyActiveCamera()) << "the camera stays where it was";
    Tap(keys::f7);
    ASSERT_TRUE(Editing());
    EXPECT_TRUE(CallsTo(hashes::createCam).empty()) << "the old camera goes on";
    EXPECT_EQ(game.world.FaceFeature(3, 36277), 0.1f) << "values are not reset";
    EXPECT_EQ(game.FrameTexts()[1].text, "Press F8 to save XML");
}

TEST_F(SelectionTest, EveryFeatureIdReachesTheNativeUnchanged) {
    game.RunFrame();
    Tap(keys::f7);
    const auto calls = CallsTo(hashes::setFaceFeature);
    ASSERT_EQ(calls.size(), 54u);
    EXPECT_EQ(calls[40].arguments[1], 1013u);
    EXPECT_EQ(calls[13].arguments[1], 64834u);
    EXPECT_EQ(calls[0].arguments[1], 36277u);
    EXPECT_EQ(calls[53].arguments[1], 23830u);
}

} // namespace
