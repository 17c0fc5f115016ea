// The 54 face and body features: display name, the game's feature id, and the current value,
// paired by index. The index is the row on screen and the order in the XML file.
#pragma once

#include <cstdint>
#include <string>

constexpr int faceFeatureCount = 54;

extern const std::string faceFeatureNames[faceFeatureCount];
extern const uint32_t faceFeatureIds[faceFeatureCount];
extern float featureValues[faceFeatureCount];
