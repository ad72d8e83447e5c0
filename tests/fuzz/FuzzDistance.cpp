// Fuzz target: two codes read from arbitrary bytes (split at the first byte's share),
// compared both ways and searched as a base, every entry in full and by the program's
// search, which must find the same entry at the same distance. Nothing may crash or
// loop; damaged data in an item (fewer bytes than an ellipse) is refused with EReadError.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "analysis/Methods.h"
#include "analysis/Nearest.h"
#include "tests/Reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ormax;
  if (size < 1) return 0;
  const size_t split = 1 + (size - 1) * data[0] / 256;
  auto codeOf = [](const uint8_t* from, const uint8_t* to) -> std::unique_ptr<TCode> {
    auto code = std::make_unique<TCode>();
    try {
      code->LoadFromBytes(TByteArray(from, to), "fuzz.c");
    } catch (const EReadError&) {
      return nullptr;
    }
    return code;
  };
  auto a = codeOf(data + 1, data + split);
  auto b = codeOf(data + split, data + size);
  if (!a || !b) return 0;
  try {
    (void)CodeDistance(*a, *b);
    (void)CodeDistance(*b, *a);
    (void)CodeDistance(*a, *a);
    TCodeBase base;
    base.Add("a", std::make_unique<TCode>(*a));
    base.Add("b", std::make_unique<TCode>(*b));
    double best = 0;
    const int32_t nearest = reference::FindNearest(base, *a, CodeDistance, best);
    if (nearest < 0 || nearest > 1) std::abort();
    // The search leaves an entry as soon as it is too far: it computes a part of what
    // the full comparison did, so it cannot throw where that did not.
    double fastBest = 0;
    if (FindNearest(base, *a, fastBest) != nearest) std::abort();
    if (std::memcmp(&fastBest, &best, sizeof best) != 0) std::abort();
  } catch (const EReadError&) {
  }
  return 0;
}
