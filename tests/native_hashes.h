// The hashes of the game natives the editor calls, as the tests name them.
#pragma once

#include <cstdint>

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
