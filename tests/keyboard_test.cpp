// The key tracker, called directly: the stand-in game supplies only the tick count.

#include <gtest/gtest.h>

#include "host/keyboard.h"
#include "standin/game.h"

namespace {

class KeyboardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (uint32_t key = 0; key < keyStateCount; ++key)
            ResetKeyState(key);
        game.SetClock(50000);
    }
    void Release(uint32_t key) { OnKeyboardMessage(key, 1, 0, 0, 0, 1, 1); }
    void Press(uint32_t key) { OnKeyboardMessage(key, 1, 0, 0, 0, 0, 0); }
    Game game;
};

TEST_F(KeyboardTest, ReleaseIsSeenOnceWithinItsWindow) {
    Release(VK_KEY_F7);
    game.AdvanceClock(99);
    EXPECT_TRUE(KeyJustReleased(VK_KEY_F7));
    EXPECT_FALSE(KeyJustReleased(VK_KEY_F7)) << "a second test in the same frame must be false";
}

TEST_F(KeyboardTest, ReleaseExpiresAfterItsWindow) {
    Release(VK_KEY_F8);
    game.AdvanceClock(100);
    EXPECT_FALSE(KeyJustReleased(VK_KEY_F8));
    Release(VK_KEY_F8);
    game.AdvanceClock(5000);
    EXPECT_FALSE(KeyJustReleased(VK_KEY_F8));
}

TEST_F(KeyboardTest, KeyDownAfterReleaseHidesTheRelease) {
    Release(VK_KEY_RIGHT);
    Press(VK_KEY_RIGHT);
    EXPECT_FALSE(KeyJustReleased(VK_KEY_RIGHT));
}

TEST_F(KeyboardTest, MessageRecordsTimeAndFlags) {
    OnKeyboardMessage(VK_KEY_UP, 3, 0x48, 1, 1, 1, 1);
    const KeyState &slot = KeyStateTable[VK_KEY_UP];
    EXPECT_EQ(slot.time.load(), 50000u);
    EXPECT_EQ(slot.withAlt.load(), 1u);
    EXPECT_EQ(slot.wasDownBefore.load(), 1u);
    EXPECT_EQ(slot.isUpNow.load(), 1u);
    ASSERT_TRUE(KeyJustReleased(VK_KEY_UP));
    EXPECT_EQ(slot.time.load() | slot.withAlt.load() | slot.wasDownBefore.load() |
                  slot.isUpNow.load(),
              0u)
        << "a consumed release zeroes the whole slot";
}

TEST_F(KeyboardTest, KeyCodesFrom255UpAreIgnored) {
    for (uint32_t key : {255u, 256u, 0x1FFu, 0xFFFFFFFFu}) {
        OnKeyboardMessage(key, 1, 0, 0, 0, 1, 1);
        EXPECT_FALSE(KeyJustReleased(key));
    }
    for (const KeyState &slot : KeyStateTable)
        EXPECT_EQ(slot.time.load(), 0u) << "no slot may change for a code of 255 or more";
    Release(254);
    EXPECT_TRUE(KeyJustReleased(254)) << "254 is the last slot";
}

TEST_F(KeyboardTest, ZeroedTableHasNoReleaseAtAnyTime) {
    for (uint32_t now : {0u, 1u, 99u, 100u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        game.SetClock(now);
        for (uint32_t key = 0; key < keyStateCount; ++key)
            ASSERT_FALSE(KeyJustReleased(key)) << "key " << key << " at tick " << now;
    }
}

// A release 16 ms before the tick counter wraps stays visible for its whole window, whether
// it is read before the wrap (where the release time plus 100 has wrapped and the reading has
// not) or after it.
TEST_F(KeyboardTest, ReleaseAcrossTheTickWrapIsSeen) {
    for (uint32_t age : {5u, 15u, 16u, 30u, 99u}) {
        game.SetClock(0xFFFFFFF0u);
        Release(VK_KEY_DELETE);
        game.AdvanceClock(age);
        EXPECT_TRUE(KeyJustReleased(VK_KEY_DELETE)) << "read at tick " << game.Now();
    }
    game.SetClock(0xFFFFFFF0u);
    Release(VK_KEY_DELETE);
    game.AdvanceClock(100);
    EXPECT_FALSE(KeyJustReleased(VK_KEY_DELETE)) << "the window still ends after 100 ms";
}

} // namespace
