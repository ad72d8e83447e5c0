// Codes: the code file's bytes, written and parsed with every count checked against
// the bytes that hold it; the base list and the one test every base code passes.
//   TCode (LevelOf, LastIndex, Depth, SaveToBytes, LoadFromBytes, SaveToFile,
//   LoadFromFile), FirstOfSameCode, SplitBaseListLines, TCodeBase (Add, MismatchOf,
//   MismatchText, Admit, LoadBaseList)
#include "codes/Codes.h"

#include <charconv>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <unordered_map>

#include "codes/Files.h"

namespace ormax {

namespace {

// The shortest text that reads back to the same double.
std::string ShortestText(double v) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, result.ptr);
}

}  // namespace

int32_t TCode::LevelOf(int32_t i) const {
  if (i <= 0 || Arity < 1) return 0;
  if (Arity == 1) return i;
  // Level L holds Arity^L positions starting at first; 64 bits cannot overflow here:
  // count stays below 2^31 before each multiplication by an Arity below 2^31.
  int64_t first = 0, count = 1;
  int32_t level = 0;
  while (i >= first + count) {
    first += count;
    count *= Arity;
    ++level;
  }
  return level;
}

int32_t TCode::LastIndex() const {
  return Items.empty() ? -1 : Items.back().Index;
}

int32_t TCode::Depth() const {
  return Items.empty() ? -1 : LevelOf(LastIndex());
}

TByteArray TCode::SaveToBytes() const {
  if (Items.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
    throw std::length_error("Too many items for a code file");
  size_t size = HeaderSize;
  for (const auto& item : Items) {
    if (item.Data.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
      throw std::length_error("Item data too large for a code file");
    size += ItemHeaderSize + item.Data.size();
  }
  // Made at its size and written in place: the codes of a noisy scene are hundreds of
  // thousands of small images.
  TByteArray image(size);
  uint8_t* at = image.data();
  StoreInteger(at, static_cast<int32_t>(Items.size()));
  StoreInteger(at + 4, Arity);
  StoreDouble(at + 8, AdmissibleError);
  StoreInteger(at + 16, MaxLevel);
  at += HeaderSize;
  for (const auto& item : Items) {
    at[0] = item.HasChildren;
    StoreInteger(at + 1, item.Index);
    StoreInteger(at + 5, static_cast<int32_t>(item.Data.size()));
    at += ItemHeaderSize;
    if (!item.Data.empty()) std::memcpy(at, item.Data.data(), item.Data.size());
    at += item.Data.size();
  }
  return image;
}

void TCode::LoadFromBytes(const TByteArray& image, const std::string& source) {
  auto damaged = [&](const std::string& why) {
    return EReadError("Code file " + source + " is damaged: " + why, source, "damaged: " + why);
  };
  if (image.size() < HeaderSize)
    throw damaged("it is shorter than the " + std::to_string(HeaderSize) + "-byte header");
  TCode loaded;
  int32_t pos = 0;
  int32_t count = ExtractInteger(image, pos);
  loaded.Arity = ExtractInteger(image, pos);
  loaded.AdmissibleError = ExtractDouble(image, pos);
  loaded.MaxLevel = ExtractInteger(image, pos);
  if (count < 0) throw damaged("it declares " + std::to_string(count) + " items");
  // Every item takes at least its 9-byte header: refuse a count the file cannot hold
  // before allocating for it.
  if (static_cast<uint64_t>(count) > (image.size() - HeaderSize) / ItemHeaderSize)
    throw damaged("it declares " + std::to_string(count) + " items but holds fewer");
  loaded.Items.resize(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) {
    TCodeItem& item = loaded.Items[static_cast<size_t>(k)];
    if (image.size() - static_cast<size_t>(pos) < ItemHeaderSize)
      throw damaged("it ends inside item " + std::to_string(k + 1) + " of " +
                    std::to_string(count));
    item.HasChildren = image[static_cast<size_t>(pos)];
    ++pos;
    item.Index = ExtractInteger(image, pos);
    int32_t length = ExtractInteger(image, pos);
    if (length < 0 || static_cast<size_t>(length) > image.size() - static_cast<size_t>(pos))
      throw damaged("item " + std::to_string(k + 1) + " declares " + std::to_string(length) +
                    " bytes of data that the file does not hold");
    item.Data.assign(image.begin() + pos, image.begin() + pos + length);
    pos += length;
  }
  *this = std::move(loaded);
}

void TCode::SaveToFile(const std::string& name) const {
  WriteSelfCheckingFile(name, SaveToBytes());
}

void TCode::LoadFromFile(const std::string& name) {
  LoadFromBytes(ReadWholeFile(name, MaxFileSize), name);
}

std::vector<int32_t> FirstOfSameCode(const TCodeList& codes) {
  std::vector<int32_t> first(static_cast<size_t>(codes.Count()));
  std::unordered_map<std::string, int32_t> seen;
  for (int32_t i = 0; i < codes.Count(); ++i) {
    const TByteArray image = codes.GetCode(i).SaveToBytes();
    first[static_cast<size_t>(i)] =
        seen.try_emplace(std::string(image.begin(), image.end()), i).first->second;
  }
  return first;
}

// ---- base ----

std::vector<std::string> SplitBaseListLines(const TByteArray& text) {
  std::vector<std::string> lines;
  size_t end = text.size();
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == 26) {  // Ctrl-Z ends the file
      end = i;
      break;
    }
  size_t start = 0;
  while (start < end) {
    size_t lf = start;
    while (lf < end && text[lf] != '\n') ++lf;
    size_t stop = start;
    while (stop < lf && text[stop] != '\r') ++stop;
    size_t a = start, b = stop;
    while (a < b && text[a] <= 32) ++a;
    while (b > a && text[b - 1] <= 32) --b;
    lines.emplace_back(text.begin() + a, text.begin() + b);
    start = lf + 1;
  }
  return lines;
}

void TCodeBase::Add(std::string name, std::unique_ptr<TCode> code) {
  entries_.push_back(Entry{std::move(name), std::move(code)});
}

TBaseMismatch TCodeBase::MismatchOf(const TCode& code) const {
  if (code.Items.empty()) return TBaseMismatch::NoItems;
  if (Empty()) return TBaseMismatch::None;
  if (code.AdmissibleError != AdmissibleError) return TBaseMismatch::OtherError;
  if (code.Depth() != MaxLevel) return TBaseMismatch::OtherDepth;
  return TBaseMismatch::None;
}

std::string TCodeBase::MismatchText(TBaseMismatch mismatch, const TCode& code) const {
  switch (mismatch) {
    case TBaseMismatch::None:
      return "it fits the base";
    case TBaseMismatch::NoItems:
      return "it holds no items";
    case TBaseMismatch::OtherError:
      return "it was built with admissible error " + ShortestText(code.AdmissibleError) +
             ", the first code with " + ShortestText(AdmissibleError);
    case TBaseMismatch::OtherDepth:
      return "its tree reaches level " + std::to_string(code.Depth()) +
             ", the first code's maximum level is " + std::to_string(MaxLevel);
  }
  return {};
}

TBaseMismatch TCodeBase::Admit(std::string name, std::unique_ptr<TCode>& code) {
  const TBaseMismatch mismatch = MismatchOf(*code);
  if (mismatch != TBaseMismatch::None) return mismatch;
  if (Empty()) {
    AdmissibleError = code->AdmissibleError;
    MaxLevel = code->MaxLevel;
  }
  Add(std::move(name), std::move(code));
  return TBaseMismatch::None;
}

int32_t TCodeBase::LoadBaseList(const std::string& name) {
  const TByteArray text = ReadWholeFile(name, MaxListFileSize);
  const size_t slash = name.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
  TCodeBase loaded;  // joins this base only when every code has loaded and fits
  for (const std::string& line : SplitBaseListLines(text)) {
    if (line.empty() || line[0] == CommentChar) continue;
    std::string relative = line;
    for (char& c : relative)
      if (c == '\\') c = '/';
    auto code = std::make_unique<TCode>();
    const std::string file = folder + relative + CodeFileExt;
    code->LoadFromFile(file);
    // Base codes are compared as ellipses: refuse now what recognition could not read.
    for (size_t k = 0; k < code->Items.size(); ++k)
      if (code->Items[k].Data.size() < EllipseByteSize) {
        const std::string reason = "damaged: item " + std::to_string(k + 1) + " holds " +
                                   std::to_string(code->Items[k].Data.size()) +
                                   " bytes, an ellipse needs " + std::to_string(EllipseByteSize);
        throw EReadError("Code file " + file + " is " + reason, file, reason);
      }
    const TCode& kept = *code;
    const TBaseMismatch mismatch = loaded.Admit(line, code);
    if (mismatch != TBaseMismatch::None) {
      const std::string reason = loaded.MismatchText(mismatch, kept);
      throw EReadError("Base " + name + " does not fit together: code file " + file + ": " + reason,
                       file, reason);
    }
  }
  if (loaded.Empty()) return 0;
  if (Empty()) {
    AdmissibleError = loaded.AdmissibleError;
    MaxLevel = loaded.MaxLevel;
  }
  const int32_t added = loaded.Count();
  for (Entry& e : loaded.entries_) entries_.push_back(std::move(e));
  return added;
}

}  // namespace ormax
