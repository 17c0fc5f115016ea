// XML export on F8: the features outside (-0.1, 0.1) as an "expressions" fragment, saved as
// "Moulary_<model>.xml" in the current directory with CR LF line ends. How the file is saved
// (replaced whole, or written in place) is the platform's part (platform/save_file.h).

#include <string>

#include "data/face_features.h"
#include "editor/editor.h"
#include "editor/format_string.h"
#include "host/keyboard.h"
#include "platform/save_file.h"

static const char *const xmlOpeningLine = "      <expressions>\n";
static const char *const xmlItemBlock = "        <Item>\n"
                                        "          <id value=\"%d\"/>\n"
                                        "          <value value=\"%f\"/>\n"
                                        "        </Item>\n";
static const char *const xmlClosingLine = "      </expressions>";
// The arrow keys' step (valueStep in feature_overlay.cpp): one step from 0.0 is written.
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

static const char *StatusFormat(SaveOutcome outcome) {
    if (outcome == SaveOutcome::saved)
        return "Wrote %s";
    return outcome == SaveOutcome::cannotOpen ? "~COLOR_YELLOW~Cannot open %s!"
                                              : "~COLOR_YELLOW~Cannot write %s!";
}

void HandleExportKey() {
    if (!KeyJustReleased(VK_KEY_F8))
        return;
    const std::string exportFileName = FormatString("Moulary_%s.xml", selectedModelName.c_str());
    const SaveOutcome outcome =
        SaveFile(exportFileName.c_str(), WithCrLfLineEnds(BuildExpressionsXml()));
    statusLine = FormatString(StatusFormat(outcome), exportFileName.c_str());
}
