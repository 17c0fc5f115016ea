// What play draws around the game's screen: the window of the grid, and the lines below it.
#pragma once

#include <string>
#include <vector>

#include "sim/command_line.h"
#include "sim/screen.h"

// Title, the grid's two borders, and the three lines below it.
constexpr int chromeRows = 6;

// The widest grid play draws, as --screen allows.
constexpr int widestGrid = 1000;

// The least grid width from LAYOUT's up to widestGrid that holds every text line whole, or 0.
int GridWidthNeeded(const std::vector<DrawnText> &texts, const ScreenLayout &layout);

// The frame's grid for a terminal of COLUMNS x ROWS, or why not; NOTE: texts scrolled past.
std::vector<ScreenLine> GridLines(const std::vector<DrawnText> &texts, const PlayOptions &options,
                                  int columns, int rows, std::string &note);

// LINE cut to leave the terminal's last column free.
ScreenLine Fit(const std::string &line, int columns);

// Whether a drawn text says an export failed ("Cannot open NAME!", "Cannot write NAME!").
bool ExportFailed(const std::string &plainText);

// Why the editor's status STATUS ("Cannot open NAME!" or "Cannot write NAME!", colour tags
// removed) came about, found by looking at NAME in DIRECTORY, the export's folder, without
// creating or changing anything there; empty for any other status.
std::string ExplainExportFailure(const std::string &status, const std::string &directory);
