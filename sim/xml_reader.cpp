#include "sim/xml_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

#include "sim/printable.h"
#include "standin/game_facts.h"
#include "standin/platform.h"

namespace {

enum class Ending { crlf, lf, none };

struct Line {
    int number = 0;
    std::string text; // without its line end
    Ending ending = Ending::none;
};

std::vector<Line> SplitLines(const std::string &bytes) {
    std::vector<Line> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        const std::size_t feed = std::min(bytes.find('\n', start), bytes.size());
        Line line{static_cast<int>(lines.size()) + 1, bytes.substr(start, feed - start),
                  feed < bytes.size() ? Ending::lf : Ending::none};
        if (line.ending == Ending::lf && line.text.ends_with('\r')) {
            line.text.pop_back();
            line.ending = Ending::crlf;
        }
        lines.push_back(line);
        start = feed + 1;
    }
    return lines;
}

// The line as it can be shown in a one-line message: control bytes escaped, long lines cut.
std::string Visible(const std::string &text) { return PrintableQuoted(text, 60); }

[[noreturn]] void Fail(int line, const std::string &message) {
    throw Failure(exitFailed, message, line);
}

// Every line but the closing one ends with CR LF.
void CheckEnding(const Line &line) {
    if (line.ending == Ending::lf)
        Fail(line.number, "the line ends with LF alone; the editor ends lines with CR LF");
    if (line.ending == Ending::none)
        Fail(line.number, "the file ends inside the line, before </expressions>");
}

void ExpectExactly(const Line &line, const char *expected) {
    if (line.text != expected)
        Fail(line.number, "expected " + Visible(expected) + ", found " + Visible(line.text));
    CheckEnding(line);
}

// The text between PREFIX and "/>" of an element line, or a failure naming the element.
std::string AttributeValue(const Line &line, const char *prefix, const char *element) {
    const std::string text = line.text;
    const std::size_t prefixLength = std::strlen(prefix);
    const std::size_t endLength = std::strlen(facts::exportAttributeEnd);
    if (text.size() < prefixLength + endLength || text.compare(0, prefixLength, prefix) != 0 ||
        text.compare(text.size() - endLength, endLength, facts::exportAttributeEnd) != 0)
        Fail(line.number,
             std::string("expected a <") + element + " value=\"...\"/> element indented by " +
                 std::to_string(std::strspn(prefix, " ")) + " spaces, found " + Visible(text));
    return text.substr(prefixLength, text.size() - prefixLength - endLength);
}

// An integer as %d prints it: an optional minus, no leading zeros, no plus.
bool PrintedInteger(const std::string &text) {
    const std::string digits = text.starts_with('-') ? text.substr(1) : text;
    return !digits.empty() && digits.size() <= 10 &&
           digits.find_first_not_of("0123456789") == std::string::npos &&
           (digits.size() == 1 || digits[0] != '0');
}

// A value as the editor writes it: "%f" of a float, or "nan", "-nan", "inf", "-inf" as glibc
// prints them. A number must be the very text "%f" gives for its nearest float, so a value
// no float prints ("16777217.000000") is refused with every other spelling.
bool PrintedFloat(const std::string &text) {
    if (text == "nan" || text == "-nan" || text == "inf" || text == "-inf")
        return true;
    float value = 0.0f;
    const char *const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (error != std::errc() || stop != end)
        return false;
    char printed[64];
    const int length = std::snprintf(printed, sizeof printed, "%f", static_cast<double>(value));
    return length > 0 && static_cast<std::size_t>(length) < sizeof printed && text == printed;
}

int RowOfId(const FeatureTable &table, long long id) {
    for (int row = 0; row < table.count; ++row)
        if (static_cast<long long>(static_cast<int32_t>(table.ids[row])) == id)
            return row;
    return -1;
}

} // namespace

std::vector<ExportItem> ReadExport(const std::string &bytes, const FeatureTable &table) {
    if (bytes.empty())
        Fail(1, "the file is empty; an export holds at least <expressions> and </expressions>");
    const std::vector<Line> lines = SplitLines(bytes);
    ExpectExactly(lines[0], facts::exportOpening);

    std::vector<ExportItem> items;
    std::size_t at = 1;
    for (;;) {
        if (at >= lines.size())
            Fail(lines.back().number, "the file ends before </expressions>");
        const Line &line = lines[at];
        if (line.text == facts::exportClosing) {
            if (line.ending != Ending::none)
                Fail(line.number,
                     "a line end follows </expressions>; the editor ends the file right after it");
            return items;
        }
        if (line.text != facts::exportItemOpening)
            Fail(line.number, std::string("expected ") + Visible(facts::exportItemOpening) +
                                  " or " + Visible(facts::exportClosing) + ", found " +
                                  Visible(line.text));
        CheckEnding(line);
        // The block's lines, each checked before the next is looked at.
        const auto blockLine = [&](std::size_t offset) -> const Line & {
            if (at + offset >= lines.size())
                Fail(lines.back().number, "the file ends inside the <Item> that starts on line " +
                                              std::to_string(line.number));
            return lines[at + offset];
        };
        const Line &idLine = blockLine(1);

        const std::string idText = AttributeValue(idLine, facts::exportIdPrefix, "id");
        if (!PrintedInteger(idText))
            Fail(idLine.number,
                 "the id " + Visible(idText) + " is not a whole number as the editor writes it");
        CheckEnding(idLine);
        const long long id = std::strtoll(idText.c_str(), nullptr, 10);
        const int row = RowOfId(table, id);
        if (row < 0)
            Fail(idLine.number, "unknown feature id " + idText + " (not in the editor's table of " +
                                    std::to_string(table.count) + " features)");
        const std::string name = table.names[row];
        // The id line of an earlier block comes right after its <Item>.
        if (const auto first = std::ranges::find(items, row, &ExportItem::row);
            first != items.end())
            Fail(idLine.number, "feature id " + idText + " (" + name +
                                    ") appears a second time; the first is on line " +
                                    std::to_string(first->line + 1));
        if (!items.empty() && row < items.back().row)
            Fail(idLine.number, "feature id " + idText + " (" + name + ") comes after id " +
                                    std::to_string(items.back().id) + " (" + items.back().name +
                                    "); the editor writes features in the order of its table");

        const Line &valueLine = blockLine(2);
        const std::string value = AttributeValue(valueLine, facts::exportValuePrefix, "value");
        if (!PrintedFloat(value))
            Fail(valueLine.number,
                 "the value " + Visible(value) +
                     " is not one the editor writes (\"%f\" of a float: six decimals and a "
                     "value a float holds, or nan, -nan, inf, -inf)");
        CheckEnding(valueLine);
        const double number = std::strtod(value.c_str(), nullptr);
        if (number > -0.1 && number < 0.1)
            Fail(valueLine.number,
                 "the value " + value +
                     " lies inside (-0.1, 0.1); the editor leaves such features out");
        ExpectExactly(blockLine(3), facts::exportItemClosing);

        items.push_back(ExportItem{line.number, row, table.ids[row], name, value});
        at += 4;
    }
}

int ShowExport(const std::string &path, const FeatureTable &table, std::ostream &out,
               std::ostream &err) {
    const std::string file = Printable(path);
    std::string bytes;
    std::string why;
    switch (platform::ReadRegularFile(path, maxExportBytes, bytes, why)) {
    case platform::ReadOutcome::read:
        break;
    case platform::ReadOutcome::tooLarge:
        err << file << ":0: more than " << maxExportBytes / 1024
            << " KiB, too long for an export\n";
        return 1;
    default:
        err << "pfe-sim: cannot read " << file << ": " << why << "\n";
        return 2;
    }
    std::vector<ExportItem> items;
    try {
        items = ReadExport(bytes, table);
    } catch (const Failure &error) {
        err << file << ":" << error.line << ": " << error.what() << "\n";
        return 1;
    }
    std::size_t nameWidth = 0;
    for (const ExportItem &item : items)
        nameWidth = std::max(nameWidth, item.name.size());
    out << file << ": " << Counted(items.size(), "feature", "features")
        << (items.empty() ? " (every value lies inside (-0.1, 0.1))" : "") << "\n";
    for (const ExportItem &item : items) {
        char id[32];
        std::snprintf(id, sizeof id, "id %5u", item.id);
        out << "  " << item.name << std::string(nameWidth - item.name.size(), ' ') << "  " << id
            << "  " << (item.value[0] == '-' ? "" : " ") << item.value << "\n";
    }
    return 0;
}
