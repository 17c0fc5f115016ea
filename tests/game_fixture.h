// A fresh stand-in game with a fresh load of the module for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin/game.h"
#include "standin/slots.h"

constexpr int32_t playerHandle = facts::defaultPlayerPed;

class GameTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Key-down, key-up, then one frame, as a player's tap.
    void Tap(uint32_t key, int times = 1);
    // Names, in order, of the texts drawn in the last frame.
    std::vector<std::string> Texts() const;
    bool Drawn(const std::string &text) const;
    std::vector<NativeCallRecord> CallsTo(uint64_t hash) const;
    WorldEntity &SpawnPed(int32_t handle, const std::string &model, bool human = true);

    Game game;
};
