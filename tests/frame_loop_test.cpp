// The frame loop: waiting for the pose dictionary, and which phases run in which pass.

#include <atomic>
#include <thread>

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

// Keys sent from another thread while frames run reach the script: F7 selects the aimed ped
// and the arrows edit it. The thread sends one group of keys once each frame has started, and
// the next frame waits for that group, so no release grows too old however the two threads
// are scheduled.
TEST_F(FrameLoopTest, KeyThreadAndScriptFiberRunTogether) {
    SpawnPed(2, "A_M_M_VALTOWNFOLK_01");
    Aim(2);
    std::atomic<bool> done{false};
    std::atomic<int> framesStarted{0}, groupsSent{0};
    std::thread keyboard([&] {
        for (int group = 1; !done.load();) {
            if (framesStarted.load() < group) {
                std::this_thread::yield();
                continue;
            }
            for (uint32_t key : {keys::f7, keys::right, keys::down}) {
                game.KeyDown(key);
                game.KeyUp(key);
            }
            groupsSent.store(group++);
        }
    });
    for (int frame = 1; frame <= 100; ++frame) {
        framesStarted.store(frame);
        game.RunFrame();
        while (groupsSent.load() < frame)
            std::this_thread::yield();
    }
    done = true;
    keyboard.join();
    EXPECT_EQ(game.world.Find(2)->animationClip, "open") << "F7 did not select the aimed ped";
    EXPECT_TRUE(Drawn("Press F8 to save XML"));
    int edited = 0;
    for (const auto &feature : game.world.faceFeatures[2])
        edited += feature.second != 0.0f ? 1 : 0;
    EXPECT_GT(edited, 0) << "no arrow key reached the edited ped";
}

} // namespace
