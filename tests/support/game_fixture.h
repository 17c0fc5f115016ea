// A fresh stand-in game with a fresh load of the module for each test, the default player's
// ped spawned, in a fresh working folder of its own (where exports land).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin/game.h"
#include "standin/slots.h"
#include "support/temporary_folder.h"

constexpr int32_t playerHandle = facts::defaultPlayerPed;

// Key-down, key-up, then one frame, as a player's tap.
void Tap(Game &game, uint32_t key, int times = 1);

// One native call: its short name and hash, its arguments in hex (an address, which differs
// from run to run, as "&"), and the first line of its text.
std::string DescribeCall(uint64_t hash, int count, const uint64_t *arguments,
                         const std::string &text);

class GameTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    void Tap(uint32_t key, int times = 1) { ::Tap(game, key, times); }
    // The player free-aims at the entity; 0 stops the aim.
    void Aim(int32_t handle);
    // Names, in order, of the texts drawn in the last frame.
    std::vector<std::string> Texts() const;
    bool Drawn(const std::string &text) const;
    std::vector<NativeCallRecord> CallsTo(uint64_t hash) const;
    WorldEntity &SpawnPed(int32_t handle, const std::string &model, bool human = true);

    TemporaryFolder folder{true};
    Game game;
};
