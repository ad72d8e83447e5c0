// LargeBlocks: one madvise over the aligned middle of the block; a refusal (a kernel
// without transparent huge pages) is not an error, the pages stay small. Large blocks
// are allocated aligned by aligned_alloc, so that free gives back either kind.
//   AdviseHugePages, AllocateBlock, FreeBlock
#include "model/LargeBlocks.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace ormax {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

}  // namespace

void AdviseHugePages(void* block, size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr uintptr_t huge = kHugePage;
  if (block == nullptr || bytes < huge) return;
  const auto start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t begin = (start + huge - 1) & ~(huge - 1);
  const uintptr_t end = (start + bytes) & ~(huge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

void* AllocateBlock(size_t bytes) {
  void* block = nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (bytes >= kHugePage / 2 && bytes <= SIZE_MAX - kHugePage) {
    const size_t whole = (bytes + kHugePage - 1) & ~(kHugePage - 1);
    block = std::aligned_alloc(kHugePage, whole);
    AdviseHugePages(block, whole);
  } else
#endif
  {
    block = std::malloc(bytes == 0 ? 1 : bytes);
  }
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void FreeBlock(void* block) noexcept { std::free(block); }

}  // namespace ormax
