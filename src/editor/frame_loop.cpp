// The script main function and the order of the phases of one pass. No mode flag is kept:
// whether the selected ped and the camera exist is asked of the game in every pass.

#include "data/model_catalogue.h"
#include "editor/editor.h"
#include "host/host_interface.h"

Ped selectedPed = 0;
Entity aimedEntity = 0;
std::string selectedModelName;
Camera editorCamera = 0;
int32_t cursorIndex = 0;
std::string statusLine;

const char *const poseDictionary = "mini_games@story@mud5@cracksafe@small_r@safe";
const char *const poseClip = "open";

// Holds the loop here, yielding frame by frame, until the pose dictionary is loaded. Asked
// in every pass so that a dictionary the game has dropped is requested again.
void EnsurePoseDictionary() {
    if (HasAnimDictLoaded(poseDictionary))
        return;
    RequestAnimDict(poseDictionary);
    while (!HasAnimDictLoaded(poseDictionary))
        scriptWait(0);
}

// One editing pass. The list text lives until the end of the pass, after the export step.
void RunEditingFrame() {
    std::string featureListText;
    PoseSelectedPed();
    if (!DoesCamExist(editorCamera))
        StartEditingSession();
    DrawFeatureOverlay(featureListText);
    HandleFeatureKeys();
    HandleExportKey();
}

static void RunEditorPass() {
    EnsurePoseDictionary();
    TrackAimedEntity();
    if (!DoesEntityExist(selectedPed))
        RunTargetSelection();
    HandleDeleteKey();
    // Asked afresh: an F7 of this pass starts editing now, a Delete of this pass stops it.
    if (DoesEntityExist(selectedPed))
        RunEditingFrame();
}

void EditorMain() {
    BuildModelNameMap();
    for (;;) {
        RunEditorPass();
        scriptWait(0);
    }
}
