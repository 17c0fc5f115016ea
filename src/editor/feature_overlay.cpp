// The overlay: status line, the 54-row feature list with the cursor marker, the values
// applied to the ped in every frame, and the arrow keys that move the cursor and step values.

#include "data/face_features.h"
#include "editor/editor.h"
#include "editor/format_string.h"
#include "host/keyboard.h"

static constexpr float statusScale = 0.5f;
static constexpr float statusX = 0.02f;
static constexpr float statusY = 0.02f;
static constexpr float listScale = 0.27f;
static constexpr float listX = 0.03f;
static constexpr float listY = 0.06f;
static constexpr float markerX = 0.02f;
static constexpr float rowPitch = 0.01665f; // line pitch of the list text at its scale
// One press of Right or Left from 0.0 lands exactly on the export's threshold
// (exportThreshold in xml_export.cpp), so a feature changed by one step is written: keep the two
// the same single-precision constant.
static constexpr float valueStep = 0.1f;
// Room for the 54 lines as they usually are (about 1,600 characters), taken once per pass
// instead of growing the text line by line.
static constexpr std::size_t featureListCapacity = 2048;

void DrawFeatureOverlay(std::string &featureListText) {
    SetTextScale(statusScale, statusScale);
    DrawScreenText(statusLine.c_str(), statusX, statusY);

    featureListText.clear();
    featureListText.reserve(featureListCapacity);
    for (int i = 0; i < faceFeatureCount; ++i) {
        AppendFormatted(featureListText, "%s = %.2f\n", faceFeatureNames[i].c_str(),
                        static_cast<double>(featureValues[i]));
        SetPedFaceFeature(selectedPed, faceFeatureIds[i], featureValues[i]);
    }
    SetTextScale(listScale, listScale);
    DrawScreenText(featureListText.c_str(), listX, listY);

    SetTextScale(listScale, listScale);
    const float markerY = static_cast<float>(cursorIndex) * rowPitch + listY;
    DrawScreenText("->", markerX, markerY);
}

// Each test is one consuming release check; later actions see the cursor moved by earlier ones.
void HandleFeatureKeys() {
    if (KeyJustReleased(VK_KEY_DOWN)) {
        cursorIndex = cursorIndex + 1;
        if (cursorIndex >= faceFeatureCount)
            cursorIndex = 0;
    }
    if (KeyJustReleased(VK_KEY_UP)) {
        cursorIndex = cursorIndex - 1;
        if (cursorIndex < 0)
            cursorIndex = faceFeatureCount - 1;
    }
    if (KeyJustReleased(VK_KEY_RIGHT))
        featureValues[cursorIndex] = featureValues[cursorIndex] + valueStep;
    if (KeyJustReleased(VK_KEY_LEFT))
        featureValues[cursorIndex] = featureValues[cursorIndex] - valueStep;
}
