// Contents: the grid's width and its window of rows; why an export failed.

#include "sim/play_lines.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "sim/printable.h"
#include "standin/game_facts.h"

namespace {

namespace fs = std::filesystem;

constexpr int defaultGridHeight = 60; // every feature has its row
constexpr int fittedGridWidth = 120;  // a grid fitted to the terminal is at most this wide
constexpr int narrowestGrid = 20;
constexpr int fewestGridRows = 3;

// ---- the grid --------------------------------------------------------------------------------

// The length of each line of TEXT on the grid, where colour tags take no room.
std::vector<int> LineLengths(const std::string &text) {
    std::vector<int> lengths(1, 0);
    for (char c : StripColorTags(text)) {
        if (c == '\n')
            lengths.push_back(0);
        else
            ++lengths.back();
    }
    return lengths;
}

bool TextsFit(const std::vector<std::vector<int>> &lengths,
              const std::vector<TextPlacement> &placed, const ScreenLayout &layout) {
    for (std::size_t i = 0; i < placed.size(); ++i) {
        for (std::size_t line = 0; line < lengths[i].size(); ++line) {
            const int row = placed[i].row + static_cast<int>(line);
            const int length = lengths[i][line];
            if (row < 0 || row >= layout.height || length == 0)
                continue;
            if (placed[i].col < 0 || placed[i].col + length > layout.width)
                return false;
        }
    }
    return true;
}

// PHRASES each on a line of its own, in lines of whole words that fit the terminal.
std::vector<ScreenLine> Wrapped(const std::vector<std::string> &phrases, int columns) {
    const std::size_t room = static_cast<std::size_t>(std::max(columns - 1, 1));
    std::vector<std::string> lines;
    for (const std::string &phrase : phrases) {
        lines.emplace_back();
        std::istringstream words(phrase);
        std::string word;
        while (words >> word) {
            if (!lines.back().empty() && lines.back().size() + 1 + word.size() > room)
                lines.emplace_back();
            lines.back() += (lines.back().empty() ? "" : " ") + word;
        }
    }
    std::vector<ScreenLine> fitted;
    for (const std::string &line : lines)
        fitted.push_back(Fit(line, columns));
    return fitted;
}

// A border line of the grid with a remark set into it: "+-- 12 rows above ----+".
ScreenLine BorderWith(ScreenLine border, const std::string &remark) {
    if (!remark.empty() && border.text.size() >= remark.size() + 6)
        border.text.replace(3, remark.size() + 2, " " + remark + " ");
    return border;
}

// The rows in view: around the cursor marker or the first text; NOTE says what lies outside.
int WindowTop(const std::vector<DrawnText> &texts, const std::vector<TextPlacement> &placed,
              int height, int visible, std::string &note) {
    int markerRow = 0;
    for (const TextPlacement &place : placed) {
        const int below = place.row + place.lines - std::max(height, place.row);
        if (place.lines > 1 && below > 0 && below < place.lines)
            note = std::to_string(below) + " list lines lie below the grid of " +
                   std::to_string(height) + " rows";
        if (place.anchorText >= 0)
            markerRow = place.row;
    }
    if (markerRow == 0 && !placed.empty() && placed.front().lines == 1)
        markerRow = placed.front().row;
    const int top = std::clamp(markerRow - visible / 2, 0, height - visible);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const TextPlacement &place = placed[i];
        if (place.lines == 1 && place.anchorText < 0 && place.row >= 0 &&
            (place.row < top || (place.row >= top + visible && place.row < height)))
            note += (note.empty() ? "" : " | ") +
                    std::string(place.row < top ? "above: " : "below: ") +
                    Printable(StripColorTags(texts[i].text));
    }
    return top;
}

// ---- why an export failed --------------------------------------------------------------------

// "Cannot open NAME!" or "Cannot write NAME!": which of the two, and NAME.
bool ParseExportFailure(const std::string &status, bool &cannotOpen, std::string &name) {
    for (const std::string prefix : {facts::exportCannotOpen, facts::exportCannotWrite}) {
        if (status.size() > prefix.size() + 1 && status.starts_with(prefix) &&
            status.back() == facts::exportFailureEnd) {
            cannotOpen = prefix == facts::exportCannotOpen;
            name = status.substr(prefix.size(), status.size() - prefix.size() - 1);
            return true;
        }
    }
    return false;
}

// Why no file can be made in DIRECTORY, or "": probed by a nameless file, gone when closed.
std::string WhyNoNewFile(const std::string &directory) {
    const int file = open(directory.c_str(), O_TMPFILE | O_WRONLY | O_EXCL | O_CLOEXEC, 0600);
    if (file >= 0) {
        close(file);
        return "";
    }
    int error = errno;
    if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL) {
        // A file system without nameless files: ask for the permission instead.
        if (access(directory.c_str(), W_OK | X_OK) == 0)
            return "";
        error = errno;
    }
    return "no file can be made in " + Printable(directory) + ": " + std::strerror(error);
}

// Why PATH (SHOWN to the user) cannot be opened for writing, or "": a regular file is opened,
// not created nor truncated; through a link that leads nowhere, the target's folder is asked.
std::string WhyNotWritable(const fs::path &path, const std::string &shown) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error); // through links, as the editor opens
    if (status.type() == fs::file_type::not_found) {
        if (!fs::is_symlink(fs::symlink_status(path, error)))
            return "";
        const fs::path target = path.parent_path() / fs::read_symlink(path, error);
        const std::string why = WhyNoNewFile(target.parent_path().string());
        return why.empty() ? "" : shown + " links to " + Printable(target.string()) + "; " + why;
    }
    if (error)
        return shown + ": " + error.message();
    if (status.type() == fs::file_type::directory)
        return shown + " is a directory";
    if (status.type() != fs::file_type::regular)
        return shown + " is not a regular file";
    const int file = open(path.c_str(), O_WRONLY | O_APPEND | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (file < 0)
        return shown + " cannot be written: " + std::strerror(errno);
    close(file);
    return "";
}

// The editor needs NAME writable if it exists, else a new file in the folder; nothing else.
std::string WhyCannotOpen(const std::string &directory, const std::string &name) {
    const std::string shown = Printable(name);
    std::string why = WhyNotWritable(fs::path(directory) / name, shown);
    if (why.empty())
        why = WhyNoNewFile(directory);
    if (why.empty())
        why = "nothing stands in the way of " + shown + " in " + Printable(directory) +
              " now; F8 tries again";
    return why;
}

std::string WhyCannotWrite(const std::string &directory) {
    std::error_code error;
    const fs::space_info space = fs::space(directory, error);
    if (!error && space.available == 0)
        return "the file system of " + Printable(directory) + " is full";
    struct rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return "files may grow to " + std::to_string(limit.rlim_cur) +
               " bytes at most in this process (ulimit -f)";
    return "no cause found now: " + Printable(directory) +
           " has room and files have no size limit; F8 tries again";
}

} // namespace

int GridWidthNeeded(const std::vector<DrawnText> &texts, const ScreenLayout &layout) {
    std::vector<std::vector<int>> lengths;
    for (const DrawnText &drawn : texts)
        lengths.push_back(LineLengths(drawn.text));
    ScreenLayout trial = layout;
    for (trial.width = std::max(layout.width, 1); trial.width <= widestGrid; ++trial.width)
        if (TextsFit(lengths, PlaceTexts(texts, trial), trial))
            return trial.width;
    return 0;
}

ScreenLine Fit(const std::string &line, int columns) {
    // A character in the last column puts the cursor in the terminal's pending wrap.
    return ScreenLine{line.substr(0, static_cast<std::size_t>(std::max(columns - 1, 1))), {}};
}

// The grid is the game's screen at a fixed size (60 rows, room for the whole feature list,
// unless --screen says otherwise); a short terminal shows a window of rows that follows the
// cursor marker. A grid too wide for the terminal or too narrow for the texts is not drawn.
std::vector<ScreenLine> GridLines(const std::vector<DrawnText> &texts, const PlayOptions &options,
                                  int columns, int rows, std::string &note) {
    ScreenLayout layout;
    layout.legend = false;
    layout.height = options.height > 0 ? options.height : defaultGridHeight;
    layout.width =
        options.width > 0 ? options.width : std::clamp(columns - 2, narrowestGrid, fittedGridWidth);
    const int needed = GridWidthNeeded(texts, layout);
    // A frame wider than a fitted grid gets a wider one, if the terminal has the room.
    if (options.width == 0 && needed > layout.width && needed + 2 <= columns)
        layout.width = needed;
    const std::string has = "the terminal has " + std::to_string(columns) + ".";
    if (needed == 0)
        return Wrapped({"Too narrow for this screen:",
                        "it needs more than " + std::to_string(widestGrid + 2) + " columns,", has},
                       columns);
    if (needed > layout.width && options.width > 0)
        return Wrapped({"The grid of --screen is too narrow for this screen:",
                        "it needs a width of " + std::to_string(needed) + "."},
                       columns);
    const int width = std::max(needed, layout.width) + 2;
    if (width > columns)
        return Wrapped(
            {"Too narrow for the grid:", "it needs " + std::to_string(width) + " columns,", has,
             "Widen it to see the screen."},
            columns);
    const int visible = std::min(rows - chromeRows, layout.height);
    if (visible < fewestGridRows)
        return Wrapped({"Too short for the grid:",
                        "it needs " + std::to_string(chromeRows + fewestGridRows) + " rows,",
                        "the terminal has " + std::to_string(rows) + "."},
                       columns);

    const int top = WindowTop(texts, PlaceTexts(texts, layout), layout.height, visible, note);
    const std::vector<ScreenLine> grid = RenderGrid(texts, layout);
    const int hiddenBelow = layout.height - top - visible;
    std::vector<ScreenLine> lines;
    lines.push_back(BorderWith(grid.front(), top > 0 ? std::to_string(top) + " rows above" : ""));
    lines.insert(lines.end(), grid.begin() + 1 + top, grid.begin() + 1 + top + visible);
    lines.push_back(BorderWith(grid.back(),
                               hiddenBelow > 0 ? std::to_string(hiddenBelow) + " rows below" : ""));
    return lines;
}

bool ExportFailed(const std::string &plainText) {
    bool cannotOpen = false;
    std::string name;
    return ParseExportFailure(plainText, cannotOpen, name);
}

std::string ExplainExportFailure(const std::string &status, const std::string &directory) {
    bool cannotOpen = false;
    std::string name;
    if (!ParseExportFailure(status, cannotOpen, name))
        return "";
    return "why: " + (cannotOpen ? WhyCannotOpen(directory, name) : WhyCannotWrite(directory));
}
