#include "standin/screen.h"

#include <cmath>
#include <cstdio>

namespace {

struct Cell {
    char c = ' ';
    int color = 0; // ANSI colour code, 0 for the default
};

int ColorCode(const std::string &tag) {
    static const struct {
        const char *tag;
        int code;
    } colors[] = {{"~COLOR_RED~", 31},    {"~COLOR_GREEN~", 32}, {"~COLOR_YELLOW~", 33},
                  {"~COLOR_BLUE~", 34},   {"~COLOR_PURPLE~", 35}, {"~COLOR_WHITE~", 37},
                  {"~COLOR_GOLD~", 33},   {"~COLOR_ORANGE~", 33}, {"~COLOR_GREY~", 90}};
    for (const auto &entry : colors)
        if (tag == entry.tag)
            return entry.code;
    return 0;
}

// A colour tag is ~ followed by upper-case letters and underscores and a closing ~.
std::size_t TagLength(const std::string &text, std::size_t at) {
    if (text[at] != '~')
        return 0;
    std::size_t end = at + 1;
    while (end < text.size() && ((text[end] >= 'A' && text[end] <= 'Z') || text[end] == '_'))
        ++end;
    if (end == at + 1 || end >= text.size() || text[end] != '~')
        return 0;
    return end - at + 1;
}

} // namespace

std::string StripColorTags(const std::string &text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t tag = TagLength(text, i);
        if (tag > 0) {
            i += tag;
            continue;
        }
        plain += text[i++];
    }
    return plain;
}

std::string RenderScreen(const std::vector<DrawnText> &texts, const ScreenLayout &layout) {
    std::vector<std::vector<Cell>> grid(static_cast<std::size_t>(layout.height),
                                        std::vector<Cell>(static_cast<std::size_t>(layout.width)));
    for (const DrawnText &drawn : texts) {
        const int left = static_cast<int>(std::floor(drawn.x * static_cast<float>(layout.width)));
        int row = static_cast<int>(std::floor(drawn.y * static_cast<float>(layout.height)));
        int col = left;
        int color = 0;
        for (std::size_t i = 0; i < drawn.text.size();) {
            const std::size_t tag = TagLength(drawn.text, i);
            if (tag > 0) {
                color = ColorCode(drawn.text.substr(i, tag));
                i += tag;
                continue;
            }
            const char c = drawn.text[i++];
            if (c == '\n') {
                ++row;
                col = left;
                continue;
            }
            if (row >= 0 && row < layout.height && col >= 0 && col < layout.width)
                grid[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)] = Cell{c, color};
            ++col;
        }
    }
    const std::string border = "+" + std::string(static_cast<std::size_t>(layout.width), '-') + "+\n";
    std::string out = border;
    for (const auto &cells : grid) {
        out += "|";
        int current = 0;
        for (const Cell &cell : cells) {
            if (layout.color && cell.color != current) {
                out += cell.color == 0 ? "\x1b[0m" : "\x1b[" + std::to_string(cell.color) + "m";
                current = cell.color;
            }
            out += cell.c;
        }
        if (layout.color && current != 0)
            out += "\x1b[0m";
        out += "|\n";
    }
    out += border;
    for (const DrawnText &drawn : texts) {
        char line[128];
        std::snprintf(line, sizeof line, "  at (%.4f, %.4f) scale %.2f x %.2f: ",
                      static_cast<double>(drawn.x), static_cast<double>(drawn.y),
                      static_cast<double>(drawn.scaleX), static_cast<double>(drawn.scaleY));
        std::string first = StripColorTags(drawn.text);
        const std::size_t lineEnd = first.find('\n');
        const int lines = 1 + static_cast<int>(std::count(first.begin(), first.end(), '\n')) -
                          (!first.empty() && first.back() == '\n' ? 1 : 0);
        if (lineEnd != std::string::npos)
            first = first.substr(0, lineEnd) + " ... (" + std::to_string(lines) + " lines)";
        out += line + first + "\n";
    }
    return out;
}
