// LargeBlocks: one madvise over the aligned middle of the block; a refusal (a kernel
// without transparent huge pages) is not an error, the pages stay small.
//   AdviseHugePages
#include "model/LargeBlocks.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace ormax {

void AdviseHugePages(void* block, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t huge = uintptr_t{2} << 20;
  if (block == nullptr || bytes < 2 * huge) return;
  const auto start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t begin = (start + huge - 1) & ~(huge - 1);
  const uintptr_t end = (start + bytes) & ~(huge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace ormax
