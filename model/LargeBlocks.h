// LargeBlocks: asks the system to back a large block of memory with huge pages, where
// it offers them (Linux's transparent huge pages in "madvise" mode). A scene's pixel
// blocks are touched once each, page by page; on a virtual machine each first touch of
// a 4 KiB page costs microseconds, a 2 MiB page one such touch for 512.
//   AdviseHugePages(block, bytes)  call before the block is first written
// Blocks under 4 MiB, and systems without the advice, are left as they are; only the
// 2 MiB-aligned middle of a block is advised. Nothing a block holds changes.
#pragma once

#include <cstddef>

namespace ormax {

// Advises the whole 2 MiB pages inside [block, block + bytes) to be huge pages.
void AdviseHugePages(void* block, size_t bytes);

}  // namespace ormax
