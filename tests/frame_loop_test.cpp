// The frame loop: waiting for the pose dictionary, and which phases run in which pass.

#include <atomic>
#include <thread>

#include "game_fixture.h"

namespace {

using FrameLoopTest = GameTest;

TEST_F(FrameLoopTest, NothingIsDrawnBeforeThePoseDictionaryLoads) {
    game.world.dictionaryDelayFrames = 3;
    game.RunFrame();
    EXPECT_EQ(CallsTo(hashes::getHashKey).size(), 1271u)
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

TEST_F(FrameLoopTest, ADroppedDictionaryIsRequestedAgain) {
    game.RunFrames(3);
    EXPECT_EQ(game.world.dictionaryRequests, 1);
    EXPECT_TRUE(CallsTo(hashes::requestAnimDict).empty());
    game.world.DropDictionary("mini_games@story@mud5@cracksafe@small_r@safe");
    game.RunFrame();
    EXPECT_EQ(CallsTo(hashes::requestAnimDict).size(), 1u);
    EXPECT_TRUE(Drawn("F7 to select Self"));
}

TEST_F(FrameLoopTest, KeysReleasedWhileNothingIsEditedChangeNothing) {
    game.RunFrame();
    Tap(keys::down);
    Tap(keys::right);
    Tap(keys::f8);
    game.RunFrames(7); // past the 100 ms in which a release can still be read
    Tap(keys::f7);
    ASSERT_TRUE(Drawn("Press F8 to save XML"));
    EXPECT_EQ(game.FrameTexts().back().y, 0.06f) << "the cursor stayed on row 0";
    for (const auto &call : CallsTo(hashes::setFaceFeature))
        EXPECT_EQ(call.arguments[2], 0u);
}

TEST_F(FrameLoopTest, KeyThreadAndScriptFiberRunTogether) {
    SpawnPed(2, "A_M_M_VALTOWNFOLK_01");
    game.world.freeAiming = true;
    game.world.aimTarget = 2;
    std::atomic<bool> done{false};
    std::thread keyboard([&] {
        const uint32_t cycle[] = {keys::right, keys::down, keys::left, keys::up};
        for (int i = 0; !done.load(); ++i) {
            game.KeyDown(cycle[i % 4]);
            game.KeyUp(cycle[i % 4]);
        }
    });
    for (int frame = 0; frame < 300; ++frame)
        game.RunFrame();
    done = true;
    keyboard.join();
    EXPECT_TRUE(Drawn("F7 to select A_M_M_VALTOWNFOLK_01") || Drawn("Press F8 to save XML"));
}

} // namespace
