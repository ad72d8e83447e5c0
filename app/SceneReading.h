// SceneReading: how a scene is read from its picture, the same in every front end.
//   TSceneReading        the background setting and the speck size
//   AutoMinPixels, DefaultMinPixels   the speck size when none is asked for
//   DefaultReading       a background with its default speck size; MaxMinPixels the
//                        largest speck size taken
//   ReadingNote          the words a base list's comment line adds for a reading
//   ReadingOfBaseList    the reading a base list's comment line records, if any
// A list without such words was read with a white background and no speck size, as
// every base made before the setting existed; it records nothing, so a front end keeps
// the reading it has (the command line's is white unless asked otherwise).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "analysis/Background.h"

namespace ormax {

struct TSceneReading {
  TBackground Background = TBackground::White;
  int32_t MinPixels = 0;  // regions of fewer pixels are left out; 0 keeps all
  bool operator==(const TSceneReading&) const = default;
};

// Under a background found in the picture, regions smaller than this are left out
// unless asked otherwise: noise, compression and dust leave specks of a few pixels,
// while the smallest shapes people draw have hundreds.
inline constexpr int32_t AutoMinPixels = 32;
inline constexpr int32_t MaxMinPixels = 1 << 30;

// 0 under a white background, AutoMinPixels under one found in the picture.
int32_t DefaultMinPixels(TBackground background);
// The reading with its default speck size.
TSceneReading DefaultReading(TBackground background);

// ", background auto, min pixels 32" (each part only where it is not white and 0): what
// a base list's comment line adds, so that a white base's line stays as it was.
std::string ReadingNote(const TSceneReading& reading);

// The reading recorded in the comment lines of a base list file (ReadingNote's words);
// nothing when they record none (a white base with no speck size, or one made before
// the setting) or the file cannot be read (its loader reports that).
std::optional<TSceneReading> ReadingOfBaseList(const std::string& listFile);

}  // namespace ormax
