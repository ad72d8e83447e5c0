// EntryNames: names are byte strings; any byte that a list line or a file name cannot
// hold as it is becomes '-'.
//   ShapeOfPictureName, CleanShapeName, PictureEntryName, UniqueEntryNames, PictureOfEntry
#include "app/EntryNames.h"

#include <algorithm>

namespace ormax {

namespace {

// Blanks trimmed at both ends, '%' at the start and the characters in bad made '-';
// "picture" for nothing left.
std::string Tidy(std::string name, const std::string& bad) {
  for (char& c : name)
    if (static_cast<unsigned char>(c) < 32 || bad.find(c) != std::string::npos) c = '-';
  const size_t first = name.find_first_not_of(' ');
  if (first == std::string::npos) return "picture";
  name = name.substr(first, name.find_last_not_of(' ') - first + 1);
  if (name[0] == '%') name[0] = '-';
  return name;
}

}  // namespace

std::string ShapeOfPictureName(const std::string& stem) {
  return stem.substr(0, std::min(stem.find('_'), stem.find('@')));
}

std::string CleanShapeName(const std::string& shape) {
  return Tidy(shape, "_@/\\:");
}

std::string PictureEntryName(const std::string& stem, const std::string& shape) {
  const std::string name = Tidy(stem, "@/\\:");
  if (shape.empty()) return name;
  const std::string clean = CleanShapeName(shape);
  if (ShapeOfPictureName(name) == clean) return name;
  return clean + "_" + name;
}

std::vector<std::string> UniqueEntryNames(const std::vector<std::string>& names,
                                          const std::set<std::string>& taken) {
  std::set<std::string> used = taken;
  std::vector<std::string> unique;
  for (const std::string& name : names) {
    std::string free = name;
    for (int n = 2; used.count(free); ++n) free = name + "_" + std::to_string(n);
    used.insert(free);
    unique.push_back(free);
  }
  return unique;
}

std::string PictureOfEntry(const std::string& entryName) {
  return entryName.substr(0, entryName.find('@'));
}

}  // namespace ormax
