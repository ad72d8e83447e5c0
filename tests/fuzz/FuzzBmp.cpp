// Fuzz target: arbitrary bytes read as a BMP picture and reduced to 256 colours, then
// made into a scene; and read again with its background found in the picture. A
// picture that loads has at most 256 colours and a scene of its size, and loads the
// same size with its background found; any other input fails with a reason.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>

#include "qt/QtBitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ormax;
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  // Pictures up to 512 x 512: the reader's parsing is what is fuzzed here, and huge
  // pictures would only slow every run down (the size limit itself is tested elsewhere).
  QImage img;
  try {
    img = LoadScenePicture(bytes, true, 512);
  } catch (const EDataError& e) {
    if (e.Reason().empty()) std::abort();  // every refusal says why
    return 0;
  }
  if (img.isNull()) std::abort();
  if (static_cast<int64_t>(img.width()) * img.height() > int64_t{512} * 512)
    std::abort();
  std::set<QRgb> colours;
  for (int y = 0; y < img.height() && colours.size() <= 256; ++y)
    for (int x = 0; x < img.width(); ++x) colours.insert(img.pixel(x, y));
  if (colours.size() > 256) std::abort();
  if (img.width() * img.height() <= 4096) {
    auto scene = ScenePattern(img);
    if (scene->Width() != img.width() || scene->Height() != img.height()) std::abort();
  }
  const QImage found = LoadScenePicture(bytes, true, 512, "picture", TBackground::Auto);
  if (found.size() != img.size()) std::abort();
  std::set<QRgb> foundColours;
  for (int y = 0; y < found.height() && foundColours.size() <= 256; ++y)
    for (int x = 0; x < found.width(); ++x) foundColours.insert(found.pixel(x, y));
  if (foundColours.size() > 256) std::abort();
  return 0;
}
