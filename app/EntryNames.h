// EntryNames: the names a base gives its pictures' entries. An entry's name tells its
// shape: the text before the first '_' or '@' ("star_02@30x0.7" is the drawing star_02
// of a star, turned 30 degrees, at 0.7 of its size); ShapeOfEntry reads it back.
//   ShapeOfPictureName  a picture's shape from its file name: "star_2" -> "star"
//   CleanShapeName      a shape name from a folder or a truth file: '_', '@', folder
//                       separators and control characters become '-'
//   PictureEntryName    the name of a picture's entries: its own name, or "shape_name"
//                       when its name does not already tell the shape
//   UniqueEntryNames    names made distinct from each other and from those taken, by
//                       "_2", "_3", ...: the shape stays the same
//   PictureOfEntry      an entry name up to its '@': the picture it was made from
// A name never starts or ends with a blank, never starts with '%' (a list's comment),
// holds no '@' of its own and is never empty.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace ormax {

std::string ShapeOfPictureName(const std::string& stem);

std::string CleanShapeName(const std::string& shape);

// stem: the picture's file name without folder and extension. shape empty: the name
// tells the shape.
std::string PictureEntryName(const std::string& stem, const std::string& shape);

// The names in order, a repeated one (or one in taken) followed by the first of "_2",
// "_3", ... that is free. taken holds picture names: entry names before their '@'.
std::vector<std::string> UniqueEntryNames(const std::vector<std::string>& names,
                                          const std::set<std::string>& taken = {});

// An entry name up to its '@': the name of the picture it was made from.
std::string PictureOfEntry(const std::string& entryName);

}  // namespace ormax
