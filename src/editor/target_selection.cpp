// Target selection: which ped F7 picks, the prompt that says so, the model label, and
// Delete, which ends the selection and the editing session.

#include "data/model_catalogue.h"
#include "editor/editor.h"
#include "editor/format_string.h"
#include "host/keyboard.h"

static constexpr float promptScale = 0.5f;
static constexpr float promptX = 0.45f;
static constexpr float promptY = 0.5f;

static void DrawPrompt(const char *text) {
    SetTextScale(promptScale, promptScale);
    DrawScreenText(text, promptX, promptY);
}

void TrackAimedEntity() {
    GetEntityPlayerIsFreeAimingAt(0, &aimedEntity);
    if (!IsPlayerFreeAiming(0))
        aimedEntity = 0;
}

// The existence, ped and human questions are asked in this order, each only after a yes.
static bool AimedEntityIsHumanPed() {
    return DoesEntityExist(aimedEntity) && IsEntityAPed(aimedEntity) && IsPedHuman(aimedEntity);
}

void RunTargetSelection() {
    if (!DoesEntityExist(aimedEntity)) {
        DrawPrompt("F7 to select Self");
        if (KeyJustReleased(VK_KEY_F7)) {
            selectedPed = PlayerPedId();
            SetModelLabel(selectedPed);
        }
    }
    if (AimedEntityIsHumanPed()) {
        // Rebuilt in every pass, so the label always names the ped aimed at now.
        SetModelLabel(aimedEntity);
        DrawPrompt(FormatString("F7 to select %s", selectedModelName.c_str()).c_str());
        if (KeyJustReleased(VK_KEY_F7))
            selectedPed = aimedEntity;
    } else if (DoesEntityExist(aimedEntity)) {
        DrawPrompt("Invalid Entity");
    }
    aimedEntity = 0;
}

// The camera calls are skipped when the camera no longer exists: after an earlier Delete,
// or before any session, editorCamera names nothing and there is nothing to switch off.
void HandleDeleteKey() {
    if (!KeyJustReleased(VK_KEY_DELETE))
        return;
    ClearPedTasksImmediately(selectedPed, 1, 1);
    selectedPed = 0;
    selectedModelName.clear();
    if (!DoesCamExist(editorCamera))
        return;
    SetCamActive(editorCamera, false);
    DestroyCam(editorCamera, 1);
}

void SetModelLabel(Entity entity) {
    const uint32_t modelHash = GetEntityModel(entity);
    const std::string *name = FindModelName(modelHash);
    if (name != nullptr)
        selectedModelName = *name;
    else
        selectedModelName = FormatString("0x%X", modelHash);
}
