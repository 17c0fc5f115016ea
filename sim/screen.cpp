#include "sim/screen.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "sim/terminal_colors.h"
#include "standin/game_facts.h"

namespace {

// The game's line pitch per unit of scale, which the editor's cursor marker steps by.
constexpr float pitchPerScale = facts::featureRowPitch / facts::featureListScale;

struct Cell {
    char c = ' ';
    unsigned char color = 0; // a terminal colour number, 0 for the terminal's own
};

unsigned char ColorCode(const std::string &tag) {
    static const struct {
        const char *tag;
        unsigned char code;
    } colors[] = {{"~COLOR_RED~", 1},  {"~COLOR_GREEN~", 2},  {"~COLOR_YELLOW~", 3},
                  {"~COLOR_BLUE~", 4}, {"~COLOR_PURPLE~", 5}, {"~COLOR_WHITE~", 7},
                  {"~COLOR_GOLD~", 3}, {"~COLOR_ORANGE~", 3}, {"~COLOR_GREY~", 8}};
    for (const auto &entry : colors)
        if (tag == entry.tag)
            return entry.code;
    return 0; // ~s~ and anything unknown: back to the default colour
}

// A colour tag is ~, letters, digits or underscores, and a closing ~.
std::size_t TagLength(const std::string &text, std::size_t at) {
    if (text[at] != '~')
        return 0;
    std::size_t end = at + 1;
    while (end < text.size() &&
           (std::isalnum(static_cast<unsigned char>(text[end])) != 0 || text[end] == '_'))
        ++end;
    if (end == at + 1 || end >= text.size() || text[end] != '~')
        return 0;
    return end - at + 1;
}

// A drawn text cut into lines of coloured cells; a final line feed starts no empty line.
std::vector<std::vector<Cell>> CellLines(const std::string &text) {
    std::vector<std::vector<Cell>> lines(1);
    unsigned char color = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t tag = TagLength(text, i);
        if (tag > 0) {
            color = ColorCode(text.substr(i, tag));
            i += tag;
            continue;
        }
        const char c = text[i++];
        if (c == '\n') {
            if (i < text.size())
                lines.emplace_back();
            continue;
        }
        // Control characters would wreck the grid; they show as '?'.
        lines.back().push_back(Cell{static_cast<unsigned char>(c) < 0x20 ? '?' : c, color});
    }
    return lines;
}

// The lines of every text, cut into cells.
std::vector<std::vector<std::vector<Cell>>> AllCellLines(const std::vector<DrawnText> &texts) {
    std::vector<std::vector<std::vector<Cell>>> cellLines;
    for (const DrawnText &drawn : texts)
        cellLines.push_back(CellLines(drawn.text));
    return cellLines;
}

int GridIndex(double fraction, int cells) {
    return static_cast<int>(std::clamp(std::round(fraction * cells), -1e6, 1e6));
}

std::vector<TextPlacement> Place(const std::vector<DrawnText> &texts,
                                 const std::vector<std::vector<std::vector<Cell>>> &cellLines,
                                 const ScreenLayout &layout) {
    std::vector<TextPlacement> placed(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const DrawnText &drawn = texts[i];
        TextPlacement &place = placed[i];
        place.lines = static_cast<int>(cellLines[i].size());
        place.col = GridIndex(static_cast<double>(drawn.x), layout.width);
        place.row = GridIndex(static_cast<double>(drawn.y), layout.height);
        for (std::size_t j = 0; j < i; ++j) {
            const TextPlacement &other = placed[j];
            const float pitch = texts[j].scaleY * pitchPerScale;
            if (other.lines < 2 || !(pitch > 0.0f))
                continue;
            const double line = static_cast<double>((drawn.y - texts[j].y) / pitch);
            const double nearest = std::round(line);
            if (!(std::fabs(line - nearest) < 0.25) || nearest < 0 || nearest >= other.lines)
                continue;
            place.anchorText = static_cast<int>(j);
            place.anchorLine = static_cast<int>(nearest);
            place.row = other.row + place.anchorLine;
            // A grid cell is wider than the game's small glyphs: a text left of the line it
            // marks keeps to the left of it rather than cover its first letters.
            const int length = static_cast<int>(cellLines[i].front().size());
            if (drawn.x < texts[j].x && place.col + length > other.col)
                place.col = other.col - length;
            break;
        }
    }
    return placed;
}

// What printf makes of one or two numbers.
std::string Formatted(const char *format, float a, float b = 0.0f) {
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<double>(a), static_cast<double>(b));
    return text;
}

std::string Scale(const DrawnText &drawn) {
    return drawn.scaleX == drawn.scaleY ? Formatted("%.2f", drawn.scaleX)
                                        : Formatted("%.2f x %.2f", drawn.scaleX, drawn.scaleY);
}

// One legend line: where the text is on the grid and on screen, its scale, its lines.
std::string LegendLine(std::size_t index, const DrawnText &drawn, const TextPlacement &place,
                       const std::vector<std::vector<Cell>> &lines, const ScreenLayout &layout) {
    std::string out = "  " + std::to_string(index + 1) + ". row " + std::to_string(place.row) +
                      " col " + std::to_string(place.col) + ", at (" + Formatted("%.4f", drawn.x) +
                      ", " + Formatted("%.4f", drawn.y) + "), scale " + Scale(drawn);
    if (place.lines > 1) {
        out += ", " + std::to_string(place.lines) + " lines on rows " + std::to_string(place.row) +
               "-" + std::to_string(place.row + place.lines - 1);
        const int below = place.row + place.lines - std::max(layout.height, place.row);
        if (below > 0 && below < place.lines)
            out += " (the last " + std::to_string(below) + " below the grid)";
    }
    if (place.anchorText >= 0)
        out += ", on line " + std::to_string(place.anchorLine + 1) + " of text " +
               std::to_string(place.anchorText + 1);
    if (place.row >= layout.height || place.row + place.lines <= 0 || place.col >= layout.width)
        out += " (off the grid)";
    out += ": ";
    for (const Cell &cell : lines.front())
        out += cell.c;
    if (place.lines > 1)
        out += " ...";
    return out + "\n";
}

} // namespace

std::vector<TextPlacement> PlaceTexts(const std::vector<DrawnText> &texts,
                                      const ScreenLayout &layout) {
    return Place(texts, AllCellLines(texts), layout);
}

std::string StripColorTags(const std::string &text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (const std::size_t tag = TagLength(text, i); tag > 0)
            i += tag - 1;
        else
            plain += text[i];
    return plain;
}

bool ColorWanted(int fileDescriptor) {
    const char *noColor = std::getenv("NO_COLOR");
    if (noColor != nullptr && *noColor != '\0')
        return false;
    return isatty(fileDescriptor) == 1 && TerminalHasColors(fileDescriptor);
}

std::vector<ScreenLine> RenderGrid(const std::vector<DrawnText> &texts,
                                   const ScreenLayout &layout) {
    const std::size_t width = static_cast<std::size_t>(std::max(layout.width, 1));
    const auto cellLines = AllCellLines(texts);
    const std::vector<TextPlacement> placed = Place(texts, cellLines, layout);

    // Later texts are drawn over earlier ones, as in the game.
    const std::string border = "+" + std::string(width, '-') + "+";
    std::vector<ScreenLine> rows(
        static_cast<std::size_t>(std::max(layout.height, 1)) + 2,
        ScreenLine{"|" + std::string(width, ' ') + "|", std::vector<unsigned char>(width + 2)});
    rows.front().text = rows.back().text = border;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (int line = 0; line < placed[i].lines; ++line) {
            const std::size_t row = static_cast<std::size_t>(placed[i].row + line) + 1;
            if (placed[i].row + line < 0 || row + 1 >= rows.size())
                continue;
            const auto &cells = cellLines[i][static_cast<std::size_t>(line)];
            for (std::size_t k = 0; k < cells.size(); ++k) {
                const long col = placed[i].col + static_cast<long>(k);
                if (col < 0 || col >= static_cast<long>(width))
                    continue;
                rows[row].text[static_cast<std::size_t>(col) + 1] = cells[k].c;
                rows[row].colors[static_cast<std::size_t>(col) + 1] = cells[k].color;
            }
        }
    }
    return rows;
}

std::string RenderScreen(const std::vector<DrawnText> &texts, const ScreenLayout &layout) {
    std::string out;
    for (const ScreenLine &row : RenderGrid(texts, layout)) {
        unsigned char current = 0;
        for (std::size_t k = 0; k < row.text.size(); ++k) {
            if (layout.color && row.colors[k] != current)
                out += ColorSequence(current = row.colors[k]);
            out += row.text[k];
        }
        out += "\n";
    }
    if (!layout.legend)
        return out;
    if (texts.empty())
        return out + "  (no text drawn)\n";
    const auto cellLines = AllCellLines(texts);
    const std::vector<TextPlacement> placed = Place(texts, cellLines, layout);
    for (std::size_t i = 0; i < texts.size(); ++i)
        out += LegendLine(i, texts[i], placed[i], cellLines[i], layout);
    return out;
}

std::string ExportedFileName(const std::string &text) {
    static const std::string status = facts::exportWrote;
    if (text.find(status) == std::string::npos) // most texts, cheaply
        return std::string();
    const std::string plain = StripColorTags(text);
    return plain.rfind(status, 0) == 0 ? plain.substr(status.size()) : std::string();
}
