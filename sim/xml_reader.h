// Reads an export (Moulary_<model>.xml) and holds it to the exact bytes the editor writes.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "sim/failure.h"

// The editor's feature table: display names and feature ids, paired by row.
struct FeatureTable {
    const std::string *names = nullptr;
    const uint32_t *ids = nullptr;
    int count = 0;
};

struct ExportItem {
    int line = 0; // line of the <Item> that opens the block, counted from 1
    int row = 0;  // row of the feature in the table
    uint32_t id = 0;
    std::string name;
    std::string value; // as written, e.g. "-0.300000"
};

// Throws Failure (exitFailed, with its line) for the first thing that differs.
std::vector<ExportItem> ReadExport(const std::string &bytes, const FeatureTable &table);

// The largest file `show` reads: an export of all 54 features is about 5 KiB.
constexpr std::size_t maxExportBytes = 64 * 1024;

// `pfe-sim show FILE.xml`: 0 for a good file, 1 for one that differs, 2 for one unreadable.
int ShowExport(const std::string &file, const FeatureTable &table, std::ostream &out,
               std::ostream &err);
