// Fuzz target: the reader of exported files behind `pfe-sim show`. Any bytes must either be
// accepted or refused with a Failure; bytes that are accepted must be exactly what the
// editor writes for the items read, so they are rebuilt from the items and compared.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "sim/xml_reader.h"
#include "standin/game_facts.h"

static std::vector<std::string> featureNames;
static std::vector<uint32_t> featureIds;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    std::ifstream table(PFE_TEST_DATA "/face_features.txt");
    std::string name;
    uint32_t id = 0;
    while (table >> name >> id) {
        featureNames.push_back(name);
        featureIds.push_back(id);
    }
    if (featureNames.size() != 54)
        std::abort();
    return 0;
}

static std::string EditorBytes(const std::vector<ExportItem> &items) {
    std::string itemLines;
    for (const ExportItem &item : items)
        itemLines += facts::ExportItemLines(item.id, item.value);
    return facts::ExportBytes(itemLines);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const FeatureTable table{featureNames.data(), featureIds.data(),
                             static_cast<int>(featureNames.size())};
    try {
        const std::vector<ExportItem> items = ReadExport(bytes, table);
        int lastRow = -1;
        for (const ExportItem &item : items) {
            // Rows in table order, each at most once, with the table's id and name.
            if (item.row <= lastRow || item.row >= table.count ||
                item.id != featureIds[static_cast<std::size_t>(item.row)] ||
                item.name != featureNames[static_cast<std::size_t>(item.row)])
                std::abort();
            lastRow = item.row;
        }
        if (EditorBytes(items) != bytes)
            std::abort(); // accepted bytes the editor would not have written
    } catch (const Failure &error) {
        if (error.line < 0 || std::string(error.what()).empty())
            std::abort();
    }
    return 0;
}
