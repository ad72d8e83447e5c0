// LargeBlocks: asks the system to back a large block of memory with huge pages, where
// it offers them (Linux's transparent huge pages in "madvise" mode). A scene's pixel
// blocks are touched once each, page by page; on a virtual machine each first touch of
// a 4 KiB page costs microseconds, a 2 MiB page one such touch for 512.
//   AdviseHugePages(block, bytes)  call before the block is first written
//   AllocateBlock(bytes)           a block that is huge pages from end to end
//   FreeBlock(block), TBlock       give it back; TBlock owns one
// AdviseHugePages advises only the 2 MiB-aligned middle of a block (none of a block
// without a whole 2 MiB page, nor on systems without the advice), so up to 511 small
// pages at each end are still touched one by one. AllocateBlock avoids those: a block
// of 1 MiB or more starts on a 2 MiB boundary and takes whole 2 MiB pages (what it
// rounds up is never touched); smaller blocks come from malloc. Nothing a block holds
// changes.
#pragma once

#include <cstddef>
#include <memory>

namespace ormax {

// Advises the whole 2 MiB pages inside [block, block + bytes) to be huge pages.
void AdviseHugePages(void* block, size_t bytes);

// At least bytes bytes (uninitialised), to be given back with FreeBlock; 1 MiB or more
// are aligned to 2 MiB and advised to be huge pages. Throws std::bad_alloc.
void* AllocateBlock(size_t bytes);

// Gives back a block from AllocateBlock; null is ignored.
void FreeBlock(void* block) noexcept;

struct TFreeBlock {
  void operator()(void* block) const noexcept { FreeBlock(block); }
};
using TBlock = std::unique_ptr<void, TFreeBlock>;

}  // namespace ormax
