// Records: tables padded to their widest cell, CSV quoted only where needed, JSON
// escaped; doubles by std::to_chars, the shortest text that reads back the same.
//   FixedDouble, JsonString, WriteTable, WriteCsv,
//   JsonObject, JsonArray
#include "app/Records.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace ormax {

std::string FixedDouble(double v, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
  return buffer;
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

}  // namespace

void WriteTable(std::ostream& out, const std::vector<TRecord>& rows, int decimals) {
  if (rows.empty()) return;
  const size_t columns = rows[0].Fields.size();
  std::vector<size_t> width(columns, 0);
  for (size_t c = 0; c < columns; ++c) width[c] = rows[0].Fields[c].first.size();
  for (const auto& row : rows)
    for (size_t c = 0; c < columns && c < row.Fields.size(); ++c)
      width[c] = std::max(width[c], Text(row.Fields[c].second, decimals, false).size());
  auto line = [&](auto cell) {
    std::string text;
    for (size_t c = 0; c < columns; ++c) {
      std::string t = cell(c);
      if (c + 1 < columns) t.resize(width[c], ' ');
      text += t;
      if (c + 1 < columns) text += "  ";
    }
    out << text << "\n";
  };
  line([&](size_t c) { return rows[0].Fields[c].first; });
  for (const auto& row : rows)
    line([&](size_t c) {
      return c < row.Fields.size() ? Text(row.Fields[c].second, decimals, false) : "";
    });
}

void WriteCsv(std::ostream& out, const std::vector<TRecord>& rows, bool header) {
  if (rows.empty()) return;
  if (header) {
    std::string text;
    for (size_t c = 0; c < rows[0].Fields.size(); ++c)
      text += (c ? "," : "") + CsvField(rows[0].Fields[c].first);
    out << text << "\n";
  }
  for (const auto& row : rows) {
    std::string text;
    for (size_t c = 0; c < row.Fields.size(); ++c)
      text += (c ? "," : "") + CsvField(Text(row.Fields[c].second, 0, true));
    out << text << "\n";
  }
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
  std::string text = "[";
  for (size_t k = 0; k < items.size(); ++k) text += (k ? ",\n" : "\n") + indent + items[k];
  return text + "\n" + closingIndent + "]";
}

}  // namespace ormax
