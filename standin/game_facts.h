// The facts of the game and its host that the stand-in, pfe-sim, the tests, pfe-bench, the
// stress tests and the fuzzers share: each has its home here. The module keeps its own copies,
// since it must not depend on the stand-in; tests/facts_agree_test.cpp proves the two agree.
#pragma once

#include <cstdint>
#include <string>

// ---- the natives the module calls, by hash (the table with their facts: native_table.h) ----
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
constexpr uint64_t hideHudThisFrame = 0x36CDD81627A6FCD2;
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

// ---- the editor's keys, as Windows virtual-key codes ---------------------------------------
namespace keys {
constexpr uint32_t f7 = 0x76;
constexpr uint32_t f8 = 0x77;
constexpr uint32_t del = 0x2E;
constexpr uint32_t left = 0x25;
constexpr uint32_t up = 0x26;
constexpr uint32_t right = 0x27;
constexpr uint32_t down = 0x28;
} // namespace keys

// ---- the world -----------------------------------------------------------------------------
namespace facts {
// The player's ped a session gets when it names none.
constexpr int32_t defaultPlayerPed = 1000;
constexpr const char *defaultPlayerModel = "PLAYER_ZERO";

// The pose the editor holds its ped in.
constexpr const char *poseDictionary = "mini_games@story@mud5@cracksafe@small_r@safe";
constexpr const char *poseClip = "open";
// The type hash of the scripted camera, the one camera type the editor creates.
constexpr uint32_t scriptedCameraType = 26379945;

// The feature list's origin, scale and line pitch, which the cursor marker steps by.
constexpr float featureListScale = 0.27f;
constexpr float featureListY = 0.06f;
constexpr float featureRowPitch = 0.01665f;

constexpr int pedModelCount = 1271;
constexpr int faceFeatureCount = 54;

// ---- the export: Moulary_<model>.xml, lines ended by CR LF but the last ----------------------
constexpr const char *exportPrefix = "Moulary_";
constexpr const char *exportSuffix = ".xml";
constexpr const char *exportOpening = "      <expressions>";
constexpr const char *exportItemOpening = "        <Item>";
constexpr const char *exportIdPrefix = "          <id value=\"";
constexpr const char *exportValuePrefix = "          <value value=\"";
constexpr const char *exportAttributeEnd = "\"/>";
constexpr const char *exportItemClosing = "        </Item>";
constexpr const char *exportClosing = "      </expressions>";
constexpr const char *exportLineEnd = "\r\n";

// The status after F8: "Wrote NAME", or in yellow "Cannot open NAME!" or "Cannot write NAME!".
constexpr const char *exportWrote = "Wrote ";
constexpr const char *exportCannotOpen = "Cannot open ";
constexpr const char *exportCannotWrite = "Cannot write ";
constexpr char exportFailureEnd = '!';

// The four lines of one item, and a whole export around the items' lines, as the editor
// writes them; ID and VALUE as the file shows them (VALUE as "%f" prints it). The editor forms
// the text with LF line ends and stores each as exportLineEnd; lineEnd gives either form.
inline std::string ExportItemLines(const std::string &id, const std::string &value,
                                   const std::string &lineEnd = exportLineEnd) {
    return exportItemOpening + lineEnd + exportIdPrefix + id + exportAttributeEnd + lineEnd +
           exportValuePrefix + value + exportAttributeEnd + lineEnd + exportItemClosing + lineEnd;
}
inline std::string ExportItemLines(uint32_t id, const std::string &value,
                                   const std::string &lineEnd = exportLineEnd) {
    return ExportItemLines(std::to_string(id), value, lineEnd);
}
inline std::string ExportBytes(const std::string &itemLines,
                               const std::string &lineEnd = exportLineEnd) {
    return exportOpening + lineEnd + itemLines + exportClosing;
}
} // namespace facts
