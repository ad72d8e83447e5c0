// BaseBuilder: the entries a base gets from a picture of one shape: its code, or the
// codes of copies turned every 360/Turns degrees at each of the sizes (and mirrored,
// if asked).
//   TBaseOptions, DefaultScales, TBaseEntry, ShapeEntries, TurnName; BuildBase (every
//   picture's entries admitted with the loader's test; a TBasePicture names each
//   picture); LoadBase (a list that must not be empty)
// A picture or copy that does not hold exactly one region gives no entries and a
// problem naming the copy; whether the entries fit together is TCodeBase::Admit's test.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/SceneReading.h"
#include "codes/Codes.h"
#include "model/Patterns.h"

namespace ormax {

// The defaults are those that recognise shapes drawn apart from the base best (make
// accuracy): a turn every 15 degrees, each also at 0.7 of the size, which puts the
// pixel noise of small shapes into the base, and trees of two levels.
struct TBaseOptions {
  int32_t Turns = 24;  // 1: the picture itself, under the shape's plain name
  bool Mirror = false;
  std::vector<double> Scales{1.0, 0.7};  // every turn at each of these sizes
  int32_t MaxTreeLevel = 2;
  double AdmissibleError = 0.0;
  TSceneReading Reading;  // how the pictures were read; specks are left out of every copy
  // Threads that make the copies (and read the pictures); 0 takes one per core. The
  // entries and problems do not depend on it.
  int32_t Threads = 0;
};

// The sizes when none are asked for: the defaults', or the picture's own size alone for
// one turn (the plain base).
std::vector<double> DefaultScales(int32_t turns);

struct TBaseEntry {
  std::string Name;  // "shape", or "shape@degrees" / "shape@mdegrees" for a copy
  std::unique_ptr<TCode> Code;
};

// "shape@30", "shape@m37.5", and for a copy at another size "shape@30x0.7".
std::string TurnName(const std::string& shape, double degrees, bool mirrored, double scale = 1);

// The entries of one shape, in the order turn 0, 1, ... and then the mirrored turns.
// On a copy without exactly one region: no entries, and problem says which.
std::vector<TBaseEntry> ShapeEntries(const TPattern& picture, const std::string& shape,
                                     const TBaseOptions& options, std::string& problem);

// A picture of a base to be: its file (named in the problems) and its shape's name.
struct TBasePicture {
  std::string File;
  std::string Shape;
};

// The entries of every picture, made first, then admitted to base in order with the
// loader's test. load(picture) reads a picture and throws what its reader throws; a
// picture that cannot be read, does not hold one region throughout, or whose entries
// the base refuses, adds a problem (with a hint how to avoid a refusal) and no entry.
// warnings, when given, receives "<file>: <what was seen>" for a picture read with a
// white background that it does not have (WhiteBackgroundMisfit).
// Pictures are read and copied on options.Threads threads, a few pictures at a time, so
// load may run on several threads at once (each picture once).
void BuildBase(const std::vector<TBasePicture>& pictures,
               const std::function<std::unique_ptr<TPattern>(const TBasePicture&)>& load,
               const TBaseOptions& options, TCodeBase& base, std::vector<std::string>& problems,
               std::vector<std::string>* warnings = nullptr);

// The base of a list file. Throws EReadError naming the list, the file and the reason
// ("base.txt: Cannot open file star@0.c (No such file or directory)"), and "<list>: the
// base is empty" for a list without entries.
void LoadBase(const std::string& list, TCodeBase& base);

}  // namespace ormax
