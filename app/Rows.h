// Rows: the rows of a region (command line, Python module) and their output in the three formats.
//   RegionRecord  scene, region index, bounds and pixel count: how every row starts
//   WriteRecords  the rows as an aligned table, CSV with a header, or a JSON list
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/Results.h"
#include "app/Records.h"

namespace ormax {

TRecord RegionRecord(const std::string& scene, const TRegionFigures& figures);

// format: "table", "csv" or "json".
void WriteRecords(std::ostream& out, const std::string& format, const std::vector<TRecord>& rows);
// The same, each row made on demand.
void WriteRecords(std::ostream& out, const std::string& format, size_t count,
                  const TRowSource& row);

}  // namespace ormax
