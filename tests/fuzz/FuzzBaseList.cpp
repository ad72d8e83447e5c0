// Fuzz target: a base list and the code files it names. The input holds the list
// text, then up to three code file images, separated by the byte 0xFF 0x00 0xFF; the
// images are saved as a.c, b.c and sub/c.c beside the list. Loading either adds
// entries that pass the consistency test, returns 0 with an empty base, or raises.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "codes/Codes.h"
#include "codes/Files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace ormax;
  namespace fs = std::filesystem;
  static const fs::path dir =
      fs::temp_directory_path() / ("ormax-fuzz-base-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "sub");
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string separator("\xFF\x00\xFF", 3);
  const char* names[] = {"list.txt", "a.c", "b.c", "sub/c.c"};
  size_t from = 0;
  for (int k = 0; k < 4 && from <= input.size(); ++k) {
    size_t to = input.find(separator, from);
    if (to == std::string::npos || k == 3) to = input.size();
    std::ofstream(dir / names[k], std::ios::binary) << input.substr(from, to - from);
    from = to + separator.size();
  }
  TCodeBase base;
  try {
    const int32_t n = base.LoadBaseList((dir / "list.txt").string());
    if (n != base.Count()) std::abort();
    if (n == 0 && !base.Empty()) std::abort();
    for (int32_t i = 1; i < n; ++i) {
      const TCode& code = base.GetCode(i);
      if (code.Depth() != base.MaxLevel || code.AdmissibleError != base.AdmissibleError)
        std::abort();
    }
    for (int32_t i = 0; i < n; ++i)
      if (base.GetCode(i).Items.empty()) std::abort();
  } catch (const EFileError&) {
  } catch (const EReadError&) {
  }
  return 0;
}
