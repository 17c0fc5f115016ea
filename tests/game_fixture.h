// A fresh stand-in game with a fresh load of the module for each test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin/game.h"

namespace hashes {
constexpr uint64_t getHashKey = 0xFD340785ADF8CFB7;
constexpr uint64_t playerPedId = 0x096275889B8E0EE0;
constexpr uint64_t clearPedTasks = 0xAAA34F8A7CB32098;
constexpr uint64_t requestAnimDict = 0xA862A2AD321F94B4;
constexpr uint64_t hasAnimDictLoaded = 0x27FF6FE8009B40CA;
constexpr uint64_t freeAimTarget = 0xA6817C110B830EAD;
constexpr uint64_t isFreeAiming = 0x936F967D4BE1CE9D;
constexpr uint64_t doesEntityExist = 0xD42BD6EB2E0F1677;
constexpr uint64_t entityModel = 0xDA76A9F39210D365;
constexpr uint64_t isEntityAPed = 0xCF8176912DDA4EA5;
constexpr uint64_t isPedHuman = 0xB980061DA992779D;
constexpr uint64_t setTextScale = 0x4170B650590B3B00;
constexpr uint64_t drawText = 0xD79334A4BB99BAD1;
constexpr uint64_t taskPlayAnim = 0xEA47FE3719165B94;
constexpr uint64_t afterPlayAnim = 0x36CDD81627A6FCD2;
constexpr uint64_t doesCamExist = 0x153AD457764FD704;
constexpr uint64_t createCam = 0x57CDF879EA466C46;
constexpr uint64_t offsetPoint = 0x1899F328B0E12848;
constexpr uint64_t setCamCoord = 0xF9EE7D419EE49DE6;
constexpr uint64_t entityHeading = 0xC230DD956E2F5507;
constexpr uint64_t setCamRot = 0x63DFA6810AD78719;
constexpr uint64_t setCamFov = 0x27666E5988D9D429;
constexpr uint64_t renderScriptCams = 0x33281167E4942E4F;
constexpr uint64_t setCamActive = 0x87295BCA613800C8;
constexpr uint64_t destroyCam = 0x4E67E0B6D7FD5145;
constexpr uint64_t setFaceFeature = 0x5653AB26C82938CF;
} // namespace hashes

namespace keys {
constexpr uint32_t f7 = 0x76, f8 = 0x77, del = 0x2E, left = 0x25, up = 0x26, right = 0x27, down = 0x28;
}

constexpr int32_t playerHandle = 1000;

uint64_t FloatSlot(float value);
float SlotAsFloat(uint64_t slot);

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
