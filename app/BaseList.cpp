// BaseList: the list's text is edited line by line (a line's text ends at its first CR,
// the file at Ctrl-Z, as the loader reads it), so the lines kept stay byte for byte.
//   BaseListHeader, CopiesOfBaseList, TakenPictureNames, WriteNewBase, AddToBase,
//   RemoveFromBase
#include "app/BaseList.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "analysis/Nearest.h"
#include "app/EntryNames.h"
#include "app/TextFields.h"
#include "codes/Files.h"

namespace ormax {

namespace fs = std::filesystem;

namespace {

const char* const kCopiesKey = "% copies of each picture: turns ";
constexpr uint64_t kMaxListBytes = uint64_t{1} << 30;

// A raw line of a list: its bytes (without the LF) and the entry it names, if any.
struct TListLine {
  std::string Raw;
  std::string Entry;  // empty for an empty or comment line
};

struct TListText {
  std::vector<TListLine> Lines;
  std::string Rest;  // Ctrl-Z and whatever follows, kept as it is
  bool EndsWithNewline = true;
};

TListText ReadList(const std::string& list) {
  const TByteArray bytes = ReadWholeFile(list, kMaxListBytes);
  TListText text;
  size_t end = bytes.size();
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i] == 26) {
      end = i;
      break;
    }
  text.Rest.assign(bytes.begin() + static_cast<std::ptrdiff_t>(end), bytes.end());
  const std::vector<std::string> trimmed =
      SplitBaseListLines(TByteArray(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end)));
  size_t start = 0;
  for (const std::string& entry : trimmed) {
    size_t lf = start;
    while (lf < end && bytes[lf] != '\n') ++lf;
    TListLine line;
    line.Raw.assign(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                    bytes.begin() + static_cast<std::ptrdiff_t>(lf));
    if (!entry.empty() && entry[0] != '%') line.Entry = entry;
    text.Lines.push_back(std::move(line));
    text.EndsWithNewline = lf < end;
    start = lf + 1;
  }
  return text;
}

std::string ListBytes(const TListText& text) {
  std::string out;
  for (size_t i = 0; i < text.Lines.size(); ++i) {
    out += text.Lines[i].Raw;
    if (i + 1 < text.Lines.size() || text.EndsWithNewline) out += "\n";
  }
  return out + text.Rest;
}

void WriteText(const std::string& file, const std::string& text) {
  WriteFileAtomically(file, TByteArray(text.begin(), text.end()));
}

fs::path CodeFileOf(const std::string& list, const std::string& entry) {
  return fs::path(list).parent_path() / (entry + CodeFileExt);
}

// Code files written under temporary names, renamed into place by Commit; whatever is
// not committed is deleted when the object goes.
class TStagedCodes {
 public:
  ~TStagedCodes() {
    std::error_code ignored;
    for (const auto& [part, file] : staged_) fs::remove(part, ignored);
  }
  void Stage(const TCode& code, const fs::path& file) {
    fs::path part = file;
    part += ".part";
    staged_.emplace_back(part, file);
    code.SaveToFile(part.string());
  }
  void Commit() {
    for (const auto& [part, file] : staged_) {
      std::error_code error;
      fs::rename(part, file, error);
      if (error)
        throw std::runtime_error(file.string() + ": cannot be written (" + error.message() + ")");
    }
    staged_.clear();
  }

 private:
  std::vector<std::pair<fs::path, fs::path>> staged_;
};

void RemoveFiles(const std::vector<fs::path>& files) {
  std::error_code ignored;
  for (const fs::path& f : files) fs::remove(f, ignored);
}

}  // namespace

std::string BaseListHeader(const TBaseOptions& options) {
  std::string text = "% made by ormax-cli base: maximum tree level " +
                     std::to_string(options.MaxTreeLevel) + ", admissible error " +
                     ShortestDouble(options.AdmissibleError) + ReadingNote(options.Reading) + "\n";
  text += kCopiesKey + std::to_string(options.Turns) + ", sizes";
  for (const double s : options.Scales) text += " " + ShortestDouble(s);
  return text + (options.Mirror ? ", mirrored\n" : "\n");
}

std::optional<TBaseCopies> CopiesOfBaseList(const std::string& list) {
  std::ifstream in(list, std::ios::binary);
  std::string line;
  const std::string key = kCopiesKey;
  for (int k = 0; k < 16 && std::getline(in, line); ++k) {
    if (line.compare(0, key.size(), key) != 0) continue;
    TBaseCopies copies;
    const char* p = line.data() + key.size();
    const char* end = line.data() + line.size();
    auto [next, error] = std::from_chars(p, end, copies.Turns);
    if (error != std::errc() || copies.Turns < 1 || copies.Turns > 360) return std::nullopt;
    const std::string sizes = ", sizes";
    if (std::string(next, end).compare(0, sizes.size(), sizes) != 0) return std::nullopt;
    p = next + sizes.size();
    copies.Scales.clear();
    while (p < end && *p == ' ') {
      double s = 0;
      auto [after, bad] = std::from_chars(p + 1, end, s);
      if (bad != std::errc() || !(s >= 0.1 && s <= 10)) return std::nullopt;
      copies.Scales.push_back(s);
      p = after;
    }
    if (copies.Scales.empty()) return std::nullopt;
    copies.Mirror = std::string(p, end).rfind(", mirrored", 0) == 0;
    return copies;
  }
  return std::nullopt;
}

std::set<std::string> TakenPictureNames(const std::string& list) {
  std::set<std::string> taken;
  if (fs::exists(list))
    for (const TListLine& line : ReadList(list).Lines)
      if (!line.Entry.empty()) taken.insert(PictureOfEntry(line.Entry));
  std::error_code error;
  const fs::path folder = fs::path(list).parent_path();
  for (const auto& item : fs::directory_iterator(folder.empty() ? "." : folder, error))
    if (item.path().extension() == CodeFileExt)
      taken.insert(PictureOfEntry(item.path().stem().string()));
  return taken;
}

void WriteNewBase(const std::string& list, const TCodeBase& base, const std::string& header,
                  bool force) {
  const bool replacing = fs::exists(list);
  if (replacing && !force)
    throw std::runtime_error(list + ": a base list already; --add " + list +
                             " adds pictures to it, --force replaces it");
  std::set<std::string> newEntries;
  for (int32_t i = 0; i < base.Count(); ++i) newEntries.insert(base.Names(i));
  std::vector<fs::path> dropped;  // the old list's code files the new one does not name
  if (replacing)
    for (const TListLine& line : ReadList(list).Lines)
      if (!line.Entry.empty() && !newEntries.count(line.Entry))
        dropped.push_back(CodeFileOf(list, line.Entry));
  if (!force)
    for (int32_t i = 0; i < base.Count(); ++i)
      if (fs::exists(CodeFileOf(list, base.Names(i))))
        throw std::runtime_error(CodeFileOf(list, base.Names(i)).string() +
                                 ": exists already (another base's code file?); --force "
                                 "replaces it, or write the base to another folder");
  std::string text = header;
  TStagedCodes staged;
  for (int32_t i = 0; i < base.Count(); ++i) {
    staged.Stage(base.GetCode(i), CodeFileOf(list, base.Names(i)));
    text += base.Names(i) + "\n";
  }
  staged.Commit();
  WriteText(list, text);
  RemoveFiles(dropped);
}

void AddToBase(const std::string& list, const TCodeBase& base, int32_t from) {
  TListText text = ReadList(list);
  text.EndsWithNewline = true;  // a last line without LF gets one before the new lines
  for (int32_t i = from; i < base.Count(); ++i)
    if (fs::exists(CodeFileOf(list, base.Names(i))))
      throw std::runtime_error(CodeFileOf(list, base.Names(i)).string() +
                               ": exists already; nothing was added");
  TStagedCodes staged;
  std::vector<fs::path> written;
  for (int32_t i = from; i < base.Count(); ++i) {
    staged.Stage(base.GetCode(i), CodeFileOf(list, base.Names(i)));
    written.push_back(CodeFileOf(list, base.Names(i)));
    text.Lines.push_back({base.Names(i), base.Names(i)});
  }
  try {
    staged.Commit();
    WriteText(list, ListBytes(text));
  } catch (...) {
    RemoveFiles(written);  // the list still names none of them
    throw;
  }
}

TRemoved RemoveFromBase(const std::string& list, const std::vector<std::string>& names) {
  TListText text = ReadList(list);
  const std::set<std::string> wanted(names.begin(), names.end());
  std::set<std::string> found;
  TListText kept = text;
  kept.Lines.clear();
  std::vector<std::string> removed;
  std::set<std::string> left;
  for (const TListLine& line : text.Lines) {
    if (!line.Entry.empty()) {
      const std::string shape = ShapeOfEntry(line.Entry), picture = PictureOfEntry(line.Entry);
      const bool byShape = wanted.count(shape) > 0, byPicture = wanted.count(picture) > 0;
      if (byShape) found.insert(shape);
      if (byPicture) found.insert(picture);
      if (byShape || byPicture) {
        removed.push_back(line.Entry);
        continue;
      }
      left.insert(line.Entry);
    }
    kept.Lines.push_back(line);
  }
  for (const std::string& name : names)
    if (!found.count(name))
      throw std::runtime_error(list + ": no entry of the shape or picture '" + name +
                               "'; nothing was removed");
  if (left.empty())
    throw std::runtime_error(list + ": removing " + std::to_string(removed.size()) +
                             " entries would leave the base empty; nothing was removed");
  WriteText(list, ListBytes(kept));
  std::vector<fs::path> files;
  for (const std::string& entry : removed)
    if (!left.count(entry)) files.push_back(CodeFileOf(list, entry));
  RemoveFiles(files);
  TRemoved result;
  result.Entries = static_cast<int32_t>(removed.size());
  int32_t remaining = 0;
  for (const TListLine& line : kept.Lines) remaining += !line.Entry.empty();
  result.Remaining = remaining;
  return result;
}

}  // namespace ormax
