// SceneReading: the reading is written into and read back from a base list's comment
// line as plain words.
//   DefaultMinPixels, DefaultReading, ReadingNote, ReadingOfBaseList
#include "app/SceneReading.h"

#include <fstream>

namespace ormax {

int32_t DefaultMinPixels(TBackground background) {
  return background == TBackground::Auto ? AutoMinPixels : 0;
}

TSceneReading DefaultReading(TBackground background) {
  return TSceneReading{background, DefaultMinPixels(background)};
}

std::string ReadingNote(const TSceneReading& reading) {
  std::string note;
  if (reading.Background != TBackground::White)
    note += std::string(", background ") + BackgroundName(reading.Background);
  if (reading.MinPixels != 0) note += ", min pixels " + std::to_string(reading.MinPixels);
  return note;
}

std::optional<TSceneReading> ReadingOfBaseList(const std::string& listFile) {
  TSceneReading reading;
  bool recorded = false;
  std::ifstream in(listFile, std::ios::binary);
  std::string line;
  // The comment lines come first; a few suffice (a list of entries is never read whole).
  for (int k = 0; k < 16 && std::getline(in, line); ++k) {
    if (line.empty() || line[0] != '%') continue;
    if (line.find("background auto") != std::string::npos) {
      reading.Background = TBackground::Auto;
      recorded = true;
    }
    const std::string key = "min pixels ";
    if (const size_t at = line.find(key); at != std::string::npos) {
      int64_t n = 0;
      size_t i = at + key.size();
      for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && n <= MaxMinPixels; ++i)
        n = n * 10 + (line[i] - '0');
      if (i > at + key.size() && n <= MaxMinPixels) {
        reading.MinPixels = static_cast<int32_t>(n);
        recorded = true;
      }
    }
  }
  if (!recorded) return std::nullopt;
  return reading;
}

}  // namespace ormax
