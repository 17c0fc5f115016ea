// Lays a frame's texts out on a character grid with a legend below. Game lines are finer than
// rows, so a multi-line text takes a row per line; a text on a line of an earlier one (the
// cursor marker) goes on that line's row, ending before it if it stands left of it.
#pragma once

#include <string>
#include <vector>

#include "standin/game.h"

// The grid of `print screen` by default: with its borders it fits 120 columns.
constexpr int defaultScreenWidth = 118;
constexpr int defaultScreenHeight = 40;

struct ScreenLayout {
    int width = defaultScreenWidth;
    int height = defaultScreenHeight;
    bool color = false; // colour tags as the terminal's colours (ColorWanted); stripped otherwise
    bool legend = true; // the list of texts with positions and scales below the grid
};

std::string RenderScreen(const std::vector<DrawnText> &texts, const ScreenLayout &layout);

// A line of the screen and each byte's terminal colour number (0 for the terminal's own).
struct ScreenLine {
    std::string text;
    std::vector<unsigned char> colors;
};

// The grid alone, its borders included, a line a row.
std::vector<ScreenLine> RenderGrid(const std::vector<DrawnText> &texts, const ScreenLayout &layout);

// Where each text of a frame goes on the grid: its first row and column and its line count.
struct TextPlacement {
    int row = 0;
    int col = 0;
    int lines = 1;
    int anchorText = -1; // the multi-line text whose line this text sits on, or -1
    int anchorLine = 0;  // that line, counted from 0
};
std::vector<TextPlacement> PlaceTexts(const std::vector<DrawnText> &texts,
                                      const ScreenLayout &layout);

// The text with the game's colour tags (~COLOR_YELLOW~, ~s~ ...) removed.
std::string StripColorTags(const std::string &text);

// Whether output may carry colour: a colour terminal, NO_COLOR unset or empty.
bool ColorWanted(int fileDescriptor);

// The file an export status names ("Wrote Moulary_PLAYER_ZERO.xml"), or "" for other texts.
std::string ExportedFileName(const std::string &text);
