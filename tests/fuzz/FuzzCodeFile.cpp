// Fuzz target: a code file of arbitrary bytes. Loading either fails with EReadError
// and leaves the code as it was, or gives a code that saves to the same bytes it
// reads back from; the level arithmetic answers for every position it holds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "codes/Codes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ormax;
  const TByteArray image(data, data + size);
  TCode code;
  code.Arity = 7;
  try {
    code.LoadFromBytes(image, "fuzz.c");
  } catch (const EReadError&) {
    if (code.Arity != 7 || !code.Items.empty()) std::abort();  // must be unchanged
    return 0;
  }
  const TByteArray saved = code.SaveToBytes();
  TCode again;
  again.LoadFromBytes(saved, "again.c");
  if (again.SaveToBytes() != saved || again.Items != code.Items) std::abort();
  if (saved.size() > image.size()) std::abort();  // the image held all of it
  for (const TCodeItem& item : code.Items) {
    const int32_t level = code.LevelOf(item.Index);
    if (level < 0) std::abort();
  }
  (void)code.Depth();
  (void)code.LastIndex();
  return 0;
}
