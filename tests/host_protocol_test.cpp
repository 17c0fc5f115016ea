// The module's side of the host protocol: entry point, unload, and the slot encodings of
// native calls, checked on the raw 64-bit slots the stand-in receives.

#include <cstring>

#include "game_fixture.h"

namespace {

using HostProtocolTest = GameTest;

TEST_F(HostProtocolTest, ThreadEventsChangeNothing) {
    game.RunFrame();
    for (unsigned int reason : {2u, 3u, 7u}) {
        EXPECT_EQ(game.CallModuleEntry(reason), 1) << "reason " << reason;
        EXPECT_TRUE(game.FrameCalls().size() > 0);
    }
    const std::size_t callsBefore = game.FrameCalls().size();
    game.CallModuleEntry(2);
    EXPECT_EQ(game.FrameCalls().size(), callsBefore) << "a thread event must call no native";
    EXPECT_TRUE(game.KeyboardHandlerRegistered());
    game.RunFrame();
    EXPECT_TRUE(Drawn("F7 to select Self")) << "the script must still run after thread events";
}

TEST_F(HostProtocolTest, UnloadClearsOnlyThePlayersTasks) {
    SpawnPed(2, "A_M_M_VALTOWNFOLK_01");
    game.world.freeAiming = true;
    game.world.aimTarget = 2;
    game.RunFrame();
    Tap(keys::f7);
    ASSERT_EQ(game.world.Find(2)->animationClip, "open");
    game.world.clearTasksCalls.clear();

    game.UnloadModule();
    EXPECT_EQ(game.world.clearTasksCalls, std::vector<int32_t>{playerHandle});
    EXPECT_EQ(game.world.Find(2)->animationClip, "open") << "the edited ped is not touched";
    EXPECT_TRUE(game.world.AnyActiveCamera()) << "the camera is left as it is";
    EXPECT_FALSE(game.KeyboardHandlerRegistered());
    EXPECT_FALSE(game.ScriptRunning());
}

TEST_F(HostProtocolTest, UnloadReleasesAPosedPlayer) {
    game.RunFrame();
    Tap(keys::f7);
    ASSERT_EQ(game.world.Find(playerHandle)->animationClip, "open");
    game.UnloadModule();
    EXPECT_EQ(game.world.Find(playerHandle)->animationClip, "");
}

TEST_F(HostProtocolTest, ArgumentsTravelInTheirSlotEncodings) {
    SpawnPed(2, "A_M_M_VALTOWNFOLK_01").heading = 10.0f;
    game.world.freeAiming = true;
    game.world.aimTarget = 2;
    game.RunFrame();
    game.RunFrame();

    const auto dictionary = CallsTo(hashes::hasAnimDictLoaded);
    ASSERT_EQ(dictionary.size(), 1u);
    EXPECT_EQ(dictionary[0].text, "mini_games@story@mud5@cracksafe@small_r@safe");
    const auto aim = CallsTo(hashes::freeAimTarget);
    ASSERT_EQ(aim.size(), 1u);
    EXPECT_EQ(aim[0].arguments[0], 0u) << "player index 0";
    EXPECT_NE(aim[0].arguments[1], 0u) << "the out-parameter is an address";
    const auto exists = CallsTo(hashes::doesEntityExist);
    ASSERT_FALSE(exists.empty());
    EXPECT_EQ(exists[0].arguments[0], 0u) << "no selected ped yet: handle 0";
    const auto scale = CallsTo(hashes::setTextScale);
    ASSERT_EQ(scale.size(), 1u);
    EXPECT_EQ(scale[0].arguments[0], 0x3F000000u) << "0.5 as its 32-bit pattern, upper half zero";
    const auto draw = CallsTo(hashes::drawText);
    ASSERT_EQ(draw.size(), 1u);
    EXPECT_EQ(draw[0].text, "F7 to select A_M_M_VALTOWNFOLK_01");
    EXPECT_EQ(draw[0].arguments[1], FloatSlot(0.45f));
    EXPECT_EQ(draw[0].arguments[2], FloatSlot(0.5f));

    Tap(keys::f7);
    const auto anim = CallsTo(hashes::taskPlayAnim);
    ASSERT_EQ(anim.size(), 1u);
    EXPECT_EQ(anim[0].arguments[5], 0x00000000FFFFFFFFu) << "-1 travels zero-extended";
    const auto offset = CallsTo(hashes::offsetPoint);
    ASSERT_EQ(offset.size(), 1u);
    EXPECT_EQ(offset[0].arguments[1], 0xBF800000u) << "-1.0 as a float pattern";
    // The three result slots of the offset point reach the camera position unchanged.
    const Vec3 expected = World::OffsetPoint(*game.world.Find(2), Vec3{-1.0f, 3.0f, 0.4f});
    const auto position = CallsTo(hashes::setCamCoord);
    ASSERT_EQ(position.size(), 1u);
    EXPECT_EQ(position[0].arguments[1], FloatSlot(expected.x));
    EXPECT_EQ(position[0].arguments[2], FloatSlot(expected.y));
    EXPECT_EQ(position[0].arguments[3], FloatSlot(expected.z));
    const auto rotation = CallsTo(hashes::setCamRot);
    ASSERT_EQ(rotation.size(), 1u);
    EXPECT_EQ(rotation[0].arguments[3], FloatSlot(210.0f))
        << "the heading comes back as a float result";
}

// A bare stand-in game with a script of the test's own, to see how the host reacts to calls
// that break its rules.
class HostRulesTest : public ::testing::Test {
  protected:
    Game game;
};

int hostRulesCase = 0;

void RuleBreakingScript() {
    switch (hostRulesCase) {
    case 0: // a native the game does not have
        nativeInit(0x1234ABCDull);
        nativeCall();
        break;
    case 1: // the right native, a wrong number of arguments
        nativeInit(0xD42BD6EB2E0F1677ull);
        nativeCall();
        break;
    case 2: // a 32-bit handle that was sign-extended
        nativeInit(0xD42BD6EB2E0F1677ull);
        nativePush64(0xFFFFFFFFFFFFFFFFull);
        nativeCall();
        break;
    }
    for (;;)
        scriptWait(0);
}

TEST_F(HostRulesTest, BrokenNativeCallsStopTheRunNamingTheFault) {
    const char *expected[] = {"unknown native 0x1234ABCD", "takes 1 arguments, the module pushed 0",
                              "not a zero-extended 32-bit value"};
    for (int i = 0; i < 3; ++i) {
        hostRulesCase = i;
        scriptRegister(reinterpret_cast<HINSTANCE__ *>(0x10 + i), RuleBreakingScript);
        try {
            game.RunFrame();
            ADD_FAILURE() << "case " << i << " did not stop the run";
        } catch (const Failure &stopped) {
            EXPECT_NE(std::string(stopped.what()).find(expected[i]), std::string::npos)
                << stopped.what();
        }
        EXPECT_FALSE(game.ScriptRunning());
    }
}

} // namespace
