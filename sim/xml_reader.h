// Reads an export the editor wrote (Moulary_<model>.xml) and holds it to the exact bytes the
// editor writes: the opening line, one four-line Item block per feature in table order, the
// closing line without a line end, CR LF after every other line.
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

// Throws Failure (exitFailed, with the line counted from 1, 0 for the file as a whole) for
// the first thing that differs from what the editor writes.
std::vector<ExportItem> ReadExport(const std::string &bytes, const FeatureTable &table);

// The largest file `show` reads: an export of all 54 features is about 5 KiB.
constexpr std::size_t maxExportBytes = 64 * 1024;

// `pfe-sim show FILE.xml`: checks the file and lists each feature by name with its value.
// 0 when the file is as the editor writes it, 1 when it is not (FILE:LINE: why), 2 when it
// cannot be read (missing, unreadable, not a regular file).
int ShowExport(const std::string &file, const FeatureTable &table, std::ostream &out,
               std::ostream &err);
