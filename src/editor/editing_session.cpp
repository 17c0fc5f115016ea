// The editing session: the selected ped is held in its pose in every pass, and a session
// starts with a scripted close-up camera in front of the ped and all values at 0.0.

#include "data/face_features.h"
#include "editor/editor.h"

static constexpr uint32_t scriptedCameraType = 26379945;
static constexpr Vector3 cameraOffset = {-1.0f, 3.0f, 0.4f};
static constexpr float cameraYawOffset = 200.0f;
static constexpr float cameraFieldOfView = 20.0f;
static constexpr int32_t renderEaseTimeMs = 3000;

// Re-issued in every editing pass, so the ped keeps the pose whatever it was doing.
void PoseSelectedPed() {
    TaskPlayAnim(selectedPed, poseDictionary, poseClip, 0, 0, -1, 1, 0, 0, 0, 0, 0, 0);
    HideHudAndRadarThisFrame();
}

// Placed once from the ped's position and heading now; the camera does not follow the ped.
// The cursor row is kept from the last session on purpose.
void StartEditingSession() {
    editorCamera = CreateCam(scriptedCameraType, 1);
    const Vector3 position = GetOffsetFromEntityInWorldCoords(selectedPed, cameraOffset.x,
                                                              cameraOffset.y, cameraOffset.z);
    SetCamCoord(editorCamera, position.x, position.y, position.z);
    const float heading = GetEntityHeading(selectedPed);
    SetCamRot(editorCamera, 0.0f, 0.0f, heading + cameraYawOffset, 0);
    SetCamFov(editorCamera, cameraFieldOfView);
    RenderScriptCams(1, 0, renderEaseTimeMs, 0, 0, 1);
    SetCamActive(editorCamera, true);
    for (float &value : featureValues)
        value = 0.0f;
    statusLine = "Press F8 to save XML";
}
