// Lays the texts of one frame out on a character grid, with a legend of each text's
// position, scale and line count below it. A text at (x, y) starts in column round(x * width)
// and row round(y * height). The game's lines are finer than grid rows, so a multi-line text
// takes a row per line (and may run past the bottom edge, as the legend says); a text on a
// line of an earlier multi-line text (the cursor marker) goes on that line's row, ending
// before the text's first column if it stands left of it.
#pragma once

#include <string>
#include <vector>

#include "standin/game.h"

// The grid of `print screen` unless asked otherwise: with its two border columns it fits a
// terminal of 120 columns.
constexpr int defaultScreenWidth = 118;
constexpr int defaultScreenHeight = 40;

struct ScreenLayout {
    int width = defaultScreenWidth;
    int height = defaultScreenHeight;
    bool color = false; // colour tags as the terminal's colours (ColorWanted); stripped otherwise
    bool legend = true; // the list of texts with positions and scales below the grid
};

std::string RenderScreen(const std::vector<DrawnText> &texts, const ScreenLayout &layout);

// A line of the screen and the colour of each of its bytes: a terminal colour number (1 red
// ... 7 white, 8 grey) or 0 for the terminal's own.
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

// Whether output to the file descriptor may carry colour: a terminal whose description (TERM)
// has colours, and NO_COLOR unset or empty. Sets up the sequences RenderScreen writes.
bool ColorWanted(int fileDescriptor);

// The file an export status of the editor names ("Wrote Moulary_PLAYER_ZERO.xml"), or an empty
// string for any other text.
std::string ExportedFileName(const std::string &text);
