// The frame loop: waiting for the pose dictionary, and which phases run in which pass.

#include "support/game_fixture.h"

namespace {

using FrameLoopTest = GameTest;

TEST_F(FrameLoopTest, NothingIsDrawnBeforeThePoseDictionaryLoads) {
    game.world.dictionaryDelayFrames = 3;
    game.RunFrame();
    EXPECT_EQ(CallsTo(hashes::getHashKey).size(), static_cast<std::size_t>(facts::pedModelCount))
        << "the map is built first, in the first tick";
    EXPECT_EQ(CallsTo(hashes::requestAnimDict).size(), 1u);
    EXPECT_TRUE(Texts().empty());
    for (int frame = 2; frame <= 3; ++frame) {
        game.RunFrame();
        EXPECT_TRUE(Texts().empty()) << "frame " << frame;
        EXPECT_TRUE(CallsTo(hashes::requestAnimDict).empty())
            << "requested once per pass that finds it missing";
        EXPECT_TRUE(CallsTo(hashes::freeAimTarget).empty()) << "no later phase runs while waiting";
    }
    game.RunFrame();
    EXPECT_EQ(Texts(), std::vector<std::string>{"F7 to select Self"});
    EXPECT_EQ(game.world.dictionaryRequests, 1);
}

// The keys go out while the edited ped is gone. When the game gives its handle to a ped again,
// the session goes on under the old camera with nothing reset, so a key acted on meanwhile
// would show.
TEST_F(FrameLoopTest, KeysReleasedWhileNothingIsEditedChangeNothing) {
    game.RunFrame();
    Tap(keys::f7);
    game.world.Remove(playerHandle);
    game.RunFrame();
    ASSERT_EQ(Texts(), std::vector<std::string>{"F7 to select Self"});
    for (uint32_t key : {keys::down, keys::right, keys::f8})
        Tap(key);
    game.RunFrames(7); // past the 100 ms in which a release can still be read
    SpawnDefaultPlayer(game.world);
    game.RunFrame();
    ASSERT_TRUE(CallsTo(hashes::createCam).empty()) << "the session did not go on";
    EXPECT_EQ(Texts().front(), "Press F8 to save XML") << "no export was tried";
    EXPECT_EQ(folder.Names(), std::vector<std::string>{});
    EXPECT_EQ(game.FrameTexts().back().y, facts::featureListY) << "the cursor stayed on row 0";
    for (const auto &call : CallsTo(hashes::setFaceFeature))
        EXPECT_EQ(call.arguments[2], 0u) << "feature " << call.arguments[1];
}

} // namespace
