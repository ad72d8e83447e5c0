// BaseList: a base written to disk (its list file and a code file per entry) so that
// nothing is lost: no file is replaced unless asked for, and a failure at any point
// leaves the list as it was, with every code file it names.
//   BaseListHeader     the comment lines of a list: the settings the codes were made with
//   CopiesOfBaseList   the copies a list's header records (TBaseCopies: turns, sizes,
//                      mirrored)
//   TakenPictureNames  the picture names a folder's list and code files already use
//   WriteNewBase       a new list and its code files; an existing list only with force
//   AddToBase          a list's new entries appended, their code files written first
//   RemoveFromBase     the entries of some shapes or pictures taken out, then their files
//                      (TRemoved: how many went, how many are left)
// The code files are first written under temporary names and renamed only when all are
// written; the list is written last (atomically), and files no list names any longer
// are deleted after it. Errors are std::runtime_error naming the file and the reason.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/BaseBuilder.h"
#include "codes/Codes.h"

namespace ormax {

// "% made by ormax-cli base: maximum tree level L, admissible error E[, reading]\n"
// "% copies of each picture: turns N, sizes 1 0.7[, mirrored]\n"
std::string BaseListHeader(const TBaseOptions& options);

struct TBaseCopies {
  int32_t Turns = 1;
  std::vector<double> Scales{1.0};
  bool Mirror = false;
};

// The copies recorded by BaseListHeader; nothing for a list without that line.
std::optional<TBaseCopies> CopiesOfBaseList(const std::string& list);

// The names before '@' of the list's entries (when it exists) and of the code files
// ("NAME.c", "NAME@....c") in its folder.
std::set<std::string> TakenPictureNames(const std::string& list);

// Writes base (every entry's code as LIST-FOLDER/NAME.c) and the list: header, then
// one name a line. Refuses, before writing anything, an existing list or code file
// unless force; with force, the code files of the list it replaces that the new list
// does not name are deleted.
void WriteNewBase(const std::string& list, const TCodeBase& base, const std::string& header,
                  bool force);

// Appends the entries from position `from` on of base (the list's own entries come
// first) to the list, writing their code files first. Refuses code files that exist.
void AddToBase(const std::string& list, const TCodeBase& base, int32_t from);

struct TRemoved {
  int32_t Entries = 0;    // entries taken out
  int32_t Remaining = 0;  // entries left in the list
};

// Takes out every entry whose shape (ShapeOfEntry) or picture (PictureOfEntry) is one
// of names, and then deletes their code files (unless a line left names the same
// file). Refuses a name that no entry has, and leaving the list without entries.
TRemoved RemoveFromBase(const std::string& list, const std::vector<std::string>& names);

}  // namespace ormax
