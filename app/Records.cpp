// Records: tables padded to their widest cell, CSV quoted only where needed, JSON
// escaped; doubles by std::to_chars, the shortest text that reads back the same.
//   FixedDouble, JsonString, ConcatenatedRows, WriteTable, WriteCsv,
//   JsonObject, JsonArray, WriteJsonArray, WriteRecords
// Rows are made and formatted in blocks of RowBlock; with threads, the blocks of a round
// are formatted side by side and written in order, so the text is the one thread's to
// the byte and at most a round of blocks is held.
#include "app/Records.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "app/WorkerPool.h"

namespace ormax {

std::string FixedDouble(double v, int decimals) {
  char buffer[64];
  const int n = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  if (n < 0) return "";
  if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
  // A double of 60 digits or more before the point: the text is made at its length.
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(text.data(), text.size(), "%.*f", decimals, v);
  text.resize(static_cast<size_t>(n));
  return text;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

namespace {

std::string Text(const TValue& v, int decimals, bool shortest) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* i = std::get_if<long long>(&v)) return std::to_string(*i);
  const double d = std::get<double>(v);
  return shortest ? ShortestDouble(d) : FixedDouble(d, decimals);
}

// Appends Text(v, decimals, false) to out, without a string of its own for the
// strings and whole numbers that fill most cells.
void AppendText(std::string& out, const TValue& v, int decimals) {
  if (const auto* s = std::get_if<std::string>(&v)) {
    out += *s;
  } else if (const auto* i = std::get_if<long long>(&v)) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, *i).ptr);
  } else {
    out += FixedDouble(std::get<double>(v), decimals);
  }
}

// The length of Text(v, decimals, false), without making the text of a string or a
// whole number: the table's first pass only measures its cells.
size_t TextWidth(const TValue& v, int decimals) {
  if (const auto* s = std::get_if<std::string>(&v)) return s->size();
  if (const auto* i = std::get_if<long long>(&v)) {
    char digits[24];
    return static_cast<size_t>(std::to_chars(digits, digits + sizeof digits, *i).ptr - digits);
  }
  return FixedDouble(std::get<double>(v), decimals).size();
}

// Rows a block: a noisy scene's table is tens of blocks, each a few hundred KB of text,
// and a round of them is all that is held.
constexpr size_t RowBlock = 4096;

size_t BlockCount(size_t rows) { return (rows + RowBlock - 1) / RowBlock; }

// Calls block(first, last, text) for every block of rows [first, last) of count, up to
// `threads` blocks at once, and writes each block's text in order.
void WriteInBlocks(std::ostream& out, size_t count, int32_t threads,
                   const std::function<void(size_t, size_t, std::string&)>& block) {
  const size_t blocks = BlockCount(count);
  const size_t side = std::min(blocks, static_cast<size_t>(WorkerCount(threads)));
  std::vector<std::string> texts(side);
  for (size_t round = 0; round < blocks; round += side) {
    const size_t n = std::min(side, blocks - round);
    RunInParallel(static_cast<int32_t>(n), threads, [&](int32_t j) {
      const size_t b = round + static_cast<size_t>(j);
      std::string& text = texts[static_cast<size_t>(j)];
      text.clear();
      block(b * RowBlock, std::min(count, (b + 1) * RowBlock), text);
    });
    for (size_t j = 0; j < n; ++j) out.write(texts[j].data(), static_cast<std::streamsize>(texts[j].size()));
  }
}

}  // namespace

TRowSource ConcatenatedRows(std::vector<size_t> counts,
                            std::function<TRecord(size_t part, size_t row)> row) {
  // first[i]: the number of the first row of part i.
  std::vector<size_t> first(counts.size() + 1, 0);
  for (size_t i = 0; i < counts.size(); ++i) first[i + 1] = first[i] + counts[i];
  return [first = std::move(first), row = std::move(row)](size_t k) {
    const auto i = static_cast<size_t>(std::upper_bound(first.begin(), first.end(), k) - first.begin() - 1);
    return row(i, k - first[i]);
  };
}

void WriteTable(std::ostream& out, const std::vector<TRecord>& rows, int decimals) {
  WriteTable(out, rows.size(), [&](size_t i) { return rows[i]; }, decimals);
}

void WriteTable(std::ostream& out, size_t count, const TRowSource& row, int decimals,
                int32_t threads) {
  if (count == 0) return;
  std::vector<std::string> names;
  for (const auto& field : row(0).Fields) names.push_back(field.first);
  const size_t columns = names.size();
  std::vector<size_t> width(columns, 0);
  for (size_t c = 0; c < columns; ++c) width[c] = names[c].size();
  // Each block's widest cells, then the widest of all.
  const size_t blocks = BlockCount(count);
  std::vector<std::vector<size_t>> widths(blocks, width);
  RunInParallel(static_cast<int32_t>(blocks), threads, [&](int32_t b) {
    std::vector<size_t>& w = widths[static_cast<size_t>(b)];
    const size_t first = static_cast<size_t>(b) * RowBlock;
    for (size_t i = first; i < std::min(count, first + RowBlock); ++i) {
      const TRecord r = row(i);
      for (size_t c = 0; c < columns && c < r.Fields.size(); ++c)
        w[c] = std::max(w[c], TextWidth(r.Fields[c].second, decimals));
    }
  });
  for (const auto& w : widths)
    for (size_t c = 0; c < columns; ++c) width[c] = std::max(width[c], w[c]);
  // Each cell padded to its column's width, the columns two spaces apart.
  auto line = [&](std::string& text, auto cell) {
    for (size_t c = 0; c < columns; ++c) {
      const size_t start = text.size();
      cell(c);
      if (c + 1 < columns)
        text.append(width[c] - std::min(width[c], text.size() - start), ' ').append("  ");
    }
    text += '\n';
  };
  std::string header;
  line(header, [&](size_t c) { header += names[c]; });
  out << header;
  WriteInBlocks(out, count, threads, [&](size_t first, size_t last, std::string& text) {
    for (size_t i = first; i < last; ++i) {
      const TRecord r = row(i);
      line(text, [&](size_t c) {
        if (c < r.Fields.size()) AppendText(text, r.Fields[c].second, decimals);
      });
    }
  });
}

void WriteCsv(std::ostream& out, const std::vector<TRecord>& rows, bool header) {
  WriteCsv(out, rows.size(), [&](size_t i) { return rows[i]; }, header);
}

void WriteCsv(std::ostream& out, size_t count, const TRowSource& row, bool header,
              int32_t threads) {
  if (count == 0) return;
  if (header) {
    std::string text;
    const TRecord first = row(0);
    for (size_t c = 0; c < first.Fields.size(); ++c)
      text += (c ? "," : "") + CsvField(first.Fields[c].first);
    out << text << "\n";
  }
  WriteInBlocks(out, count, threads, [&](size_t first, size_t last, std::string& text) {
    for (size_t i = first; i < last; ++i) {
      const TRecord r = row(i);
      for (size_t c = 0; c < r.Fields.size(); ++c)
        text.append(c ? "," : "").append(CsvField(Text(r.Fields[c].second, 0, true)));
      text += '\n';
    }
  });
}

std::string JsonObject(const TRecord& record) {
  std::string out = "{";
  for (size_t c = 0; c < record.Fields.size(); ++c) {
    const auto& [name, value] = record.Fields[c];
    out += (c ? ", " : "") + JsonString(name) + ": ";
    if (const auto* s = std::get_if<std::string>(&value))
      out += JsonString(*s);
    else if (const auto* d = std::get_if<double>(&value))
      out += std::isfinite(*d) ? ShortestDouble(*d) : "null";
    else
      out += Text(value, 0, true);
  }
  return out + "}";
}

std::string JsonArray(const std::vector<std::string>& items, const std::string& indent,
                      const std::string& closingIndent) {
  std::ostringstream text;
  WriteJsonArray(text, items.size(), [&](size_t k) { return items[k]; }, indent, closingIndent);
  return text.str();
}

void WriteJsonArray(std::ostream& out, size_t count,
                    const std::function<std::string(size_t)>& item, const std::string& indent,
                    const std::string& closingIndent, int32_t threads) {
  out << "[";
  WriteInBlocks(out, count, threads, [&](size_t first, size_t last, std::string& text) {
    for (size_t k = first; k < last; ++k) text.append(k ? ",\n" : "\n").append(indent).append(item(k));
  });
  out << "\n" << closingIndent << "]";
}

void WriteRecords(std::ostream& out, const std::string& format, const std::vector<TRecord>& rows) {
  WriteRecords(out, format, rows.size(), [&](size_t i) { return rows[i]; });
}

void WriteRecords(std::ostream& out, const std::string& format, size_t count,
                  const TRowSource& row, int32_t threads) {
  if (format == "csv") {
    WriteCsv(out, count, row, true, threads);
  } else if (format == "json") {
    WriteJsonArray(out, count, [&](size_t i) { return JsonObject(row(i)); }, " ", "", threads);
    out << "\n";
  } else {
    WriteTable(out, count, row, 4, threads);
  }
}

}  // namespace ormax
