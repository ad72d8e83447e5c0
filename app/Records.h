// Records: the one place tables are written: the rows the front ends write, as an
// aligned table, CSV or JSON.
//   TRecord (ordered fields, each a TValue), TRowSource, ConcatenatedRows, FixedDouble,
//   JsonString,
//   WriteTable, WriteCsv, JsonObject, JsonArray, WriteJsonArray,
//   WriteRecords (any of the three formats by name)
// The writers take either the rows or a source that makes row i on demand, so that a
// table of very many rows is never held whole (the table asks for each row twice).
// With threads (0: one a core) the rows are made and formatted a block at a time on
// that many threads; the text is the same on any number of threads. A row source that
// throws: the rows of blocks written before stay written, those of its round do not,
// and the exception the threads met first goes on.
// Numbers in CSV and JSON are written in the shortest form that reads back to the
// same double, so results compare exactly between runs and machines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "app/TextFields.h"

namespace ormax {

using TValue = std::variant<std::string, long long, double>;

struct TRecord {
  // Room for the fields of most rows at once (a `codes` row has ten; a recognition row,
  // which has more, reserves its own): a table of a noisy scene makes hundreds of
  // thousands of rows, twice. Fourteen fields are 1,008 bytes, which glibc's malloc
  // serves from the thread's own cache (up to 1,032 bytes): the 1,152 bytes of sixteen
  // took it to its arena every row, a quarter of the table's time.
  TRecord() : TRecord(14) {}
  // With room for `room` fields, for a row known to have more.
  explicit TRecord(size_t room) { Fields.reserve(room); }
  std::vector<std::pair<std::string, TValue>> Fields;
  TRecord& Add(std::string name, TValue value) & {
    Fields.emplace_back(std::move(name), std::move(value));
    return *this;
  }
  // On a temporary, so that `return TRecord().Add(…).Add(…);` moves the row out
  // rather than copying it.
  TRecord&& Add(std::string name, TValue value) && {
    Fields.emplace_back(std::move(name), std::move(value));
    return std::move(*this);
  }
};

// Makes row i of count; called any number of times for an index, in order within a
// block of rows; with threads other than 1, from several threads at once (so it only
// reads).
using TRowSource = std::function<TRecord(size_t i)>;

// The rows of several parts one after another (the scenes of a command): part i has
// counts[i] rows, made by row(i, r); the source serves the sum of the counts.
TRowSource ConcatenatedRows(std::vector<size_t> counts,
                            std::function<TRecord(size_t part, size_t row)> row);

// For the table: a fixed number of decimals.
std::string FixedDouble(double v, int decimals);
std::string JsonString(const std::string& s);

// Columns padded to their widest entry; doubles with `decimals` decimals.
// The columns are those of the first row.
void WriteTable(std::ostream& out, const std::vector<TRecord>& rows, int decimals = 4);
void WriteTable(std::ostream& out, size_t count, const TRowSource& row, int decimals = 4,
                int32_t threads = 1);
// A header line (when header is true) and one line per row.
void WriteCsv(std::ostream& out, const std::vector<TRecord>& rows, bool header);
void WriteCsv(std::ostream& out, size_t count, const TRowSource& row, bool header,
              int32_t threads = 1);
std::string JsonObject(const TRecord& record);
// "[" and the items, each on a line of its own after `indent`, then "]" on a line
// after `closingIndent`: the one layout of every JSON list the command line writes.
std::string JsonArray(const std::vector<std::string>& items, const std::string& indent,
                      const std::string& closingIndent);
// The same layout written to out, item(k) making the items one at a time.
void WriteJsonArray(std::ostream& out, size_t count,
                    const std::function<std::string(size_t)>& item, const std::string& indent,
                    const std::string& closingIndent, int32_t threads = 1);

// format: "table", "csv" (with a header) or "json" (a list, one object a line).
void WriteRecords(std::ostream& out, const std::string& format, const std::vector<TRecord>& rows);
// The same, each row made on demand.
void WriteRecords(std::ostream& out, const std::string& format, size_t count,
                  const TRowSource& row, int32_t threads = 1);

}  // namespace ormax
