// The editor: module-global state and the phases of the frame loop. Everything here runs on
// the host's script fiber.
#pragma once

#include <cstdint>
#include <string>

#include "host/natives.h"

// ---- editor state (lives from load to unload) --------------------------------------------
extern Ped selectedPed;               // 0 = none; only Delete clears it
extern Entity aimedEntity;            // what the player free-aims at this pass
extern std::string selectedModelName; // label of the aimed or selected ped's model
extern Camera editorCamera;           // never reset; asked whether it still exists
extern int32_t cursorIndex;           // highlighted row, 0 to 53
extern std::string statusLine;        // drawn at the top left while editing

extern const char *const poseDictionary;
extern const char *const poseClip;

// ---- frame loop --------------------------------------------------------------------------
void EditorMain();
void EnsurePoseDictionary();
void RunEditingFrame();

// ---- target selection --------------------------------------------------------------------
void TrackAimedEntity();
void RunTargetSelection();
void HandleDeleteKey();
void SetModelLabel(Entity entity);

// ---- editing session and camera ----------------------------------------------------------
void PoseSelectedPed();
void StartEditingSession();

// ---- feature overlay and value editing ---------------------------------------------------
void DrawFeatureOverlay(std::string &featureListText);
void HandleFeatureKeys();

// ---- XML export --------------------------------------------------------------------------
std::string BuildExpressionsXml();
void HandleExportKey();
