// Rows: one place for the columns every region row starts with.
//   RegionRecord, WriteRecords
#include "app/Rows.h"

namespace ormax {

TRecord RegionRecord(const std::string& scene, const TRegionFigures& f) {
  return TRecord()
      .Add("scene", scene)
      .Add("region", static_cast<long long>(f.Index))
      .Add("left", static_cast<long long>(f.Bounds.Left))
      .Add("top", static_cast<long long>(f.Bounds.Top))
      .Add("right", static_cast<long long>(f.Bounds.Right))
      .Add("bottom", static_cast<long long>(f.Bounds.Bottom))
      .Add("pixels", static_cast<long long>(f.Pixels));
}

void WriteRecords(std::ostream& out, const std::string& format, const std::vector<TRecord>& rows) {
  WriteRecords(out, format, rows.size(), [&](size_t i) { return rows[i]; });
}

void WriteRecords(std::ostream& out, const std::string& format, size_t count,
                  const TRowSource& row) {
  if (format == "csv") {
    WriteCsv(out, count, row, true);
  } else if (format == "json") {
    WriteJsonArray(out, count, [&](size_t i) { return JsonObject(row(i)); }, " ", "");
    out << "\n";
  } else {
    WriteTable(out, count, row);
  }
}

}  // namespace ormax
