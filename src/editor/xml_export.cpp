// XML export on F8: the features outside (-0.1, 0.1) as an "expressions" fragment, written to
// "Moulary_<model>.xml" in the current directory with CR LF line ends.
//
// An earlier export is never left half-overwritten: the text goes to a temporary file beside
// the target first, and only a complete, closed temporary file replaces the target.

#include <filesystem>
#include <fstream>
#include <system_error>

#include "data/face_features.h"
#include "editor/editor.h"
#include "editor/format_string.h"
#include "host/keyboard.h"

#ifdef _WIN32
#include <windows.h>
#endif

static const char *const xmlOpeningLine = "      <expressions>\n";
static const char *const xmlItemBlock = "        <Item>\n"
                                        "          <id value=\"%d\"/>\n"
                                        "          <value value=\"%f\"/>\n"
                                        "        </Item>\n";
static const char *const xmlClosingLine = "      </expressions>";
static const char *const temporarySuffix = ".tmp";
static constexpr float exportThreshold = 0.1f;

std::string BuildExpressionsXml() {
    std::string text = xmlOpeningLine;
    for (int k = 0; k < faceFeatureCount; ++k) {
        const float v = featureValues[k];
        if (v > -exportThreshold && v < exportThreshold)
            continue; // NaN fails this test and is written
        text +=
            FormatString(xmlItemBlock, static_cast<int>(faceFeatureIds[k]), static_cast<double>(v));
    }
    text += xmlClosingLine;
    return text;
}

// Every line feed is stored as carriage return plus line feed, on every platform.
static std::string WithCrLfLineEnds(const std::string &text) {
    std::string disk;
    disk.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            disk += '\r';
        disk += c;
    }
    return disk;
}

// A target that exists must take writing (not read-only, not a directory); one that does
// not exist yet is fine. The probe neither creates nor truncates anything.
static bool TargetCanBeWritten(const std::string &fileName) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::symlink_status(fileName, error);
    if (status.type() == std::filesystem::file_type::not_found)
        return true;
    if (error)
        return false;
    std::ofstream probe(fileName, std::ios::out | std::ios::app | std::ios::binary);
    return probe.is_open();
}

enum class WriteOutcome { written, cannotOpen, cannotWrite };

static WriteOutcome WriteWholeFile(const std::string &fileName, const std::string &bytes) {
    std::ofstream stream(fileName, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!stream.is_open())
        return WriteOutcome::cannotOpen;
    stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    stream.flush();
    stream.close();
    return stream.fail() ? WriteOutcome::cannotWrite : WriteOutcome::written;
}

static bool MoveOverTarget(const std::string &from, const std::string &to) {
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
    std::error_code error;
    std::filesystem::rename(from, to, error);
    return !error;
#endif
}

static void RemoveIfPresent(const std::string &fileName) {
    std::error_code error;
    std::filesystem::remove(fileName, error);
}

// Returns the status line that reports the outcome.
static std::string ExportTo(const std::string &exportFileName) {
    if (!TargetCanBeWritten(exportFileName))
        return FormatString("~COLOR_YELLOW~Cannot open %s!", exportFileName.c_str());
    const std::string temporaryName = exportFileName + temporarySuffix;
    WriteOutcome outcome = WriteWholeFile(temporaryName, WithCrLfLineEnds(BuildExpressionsXml()));
    if (outcome == WriteOutcome::written && !MoveOverTarget(temporaryName, exportFileName))
        outcome = WriteOutcome::cannotWrite;
    if (outcome == WriteOutcome::cannotOpen)
        return FormatString("~COLOR_YELLOW~Cannot open %s!", exportFileName.c_str());
    RemoveIfPresent(temporaryName); // gone already after a successful replace
    if (outcome == WriteOutcome::cannotWrite)
        return FormatString("~COLOR_YELLOW~Cannot write %s!", exportFileName.c_str());
    return FormatString("Wrote %s", exportFileName.c_str());
}

void HandleExportKey() {
    if (!KeyJustReleased(VK_KEY_F8))
        return;
    const std::string exportFileName = FormatString("Moulary_%s.xml", selectedModelName.c_str());
    statusLine = ExportTo(exportFileName);
}
