// Lays the texts of one frame out as the game would show them: each text at its screen
// fractions on a character grid, multi-line texts line by line, scales listed beside.
#pragma once

#include <string>
#include <vector>

#include "standin/game.h"

struct ScreenLayout {
    int width = 120;
    int height = 60; // 60 rows give each line of the 54-row list its own row
    bool color = false;
};

std::string RenderScreen(const std::vector<DrawnText> &texts, const ScreenLayout &layout);
// The text with the game's colour tags (~COLOR_YELLOW~ ...) removed.
std::string StripColorTags(const std::string &text);
