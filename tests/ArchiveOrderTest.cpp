// Codes made on several threads in any order are stored in the archive scene by scene
// and region by region; a scene that fails keeps what came before its gap; a failed
// write is met by one thread and drops the rest.
#include "app/ArchiveOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "codes/Errors.h"
#include "tests/TempDir.h"

namespace ormax {
namespace {

using testing::ReadBytes;
using testing::TempDir;

// The members of a ustar archive, in the order stored: name and bytes.
std::vector<std::pair<std::string, TByteArray>> Members(const TByteArray& tar) {
  std::vector<std::pair<std::string, TByteArray>> members;
  for (size_t at = 0; at + 512 <= tar.size() && tar[at] != 0;) {
    const char* header = reinterpret_cast<const char*>(tar.data() + at);
    const std::string name(header, strnlen(header, 100));
    const size_t size = std::stoull(std::string(header + 124, 11), nullptr, 8);
    at += 512;
    members.emplace_back(name, TByteArray(tar.begin() + static_cast<ptrdiff_t>(at),
                                          tar.begin() + static_cast<ptrdiff_t>(at + size)));
    at += (size + 511) / 512 * 512;
  }
  return members;
}

std::string Name(size_t scene, size_t region) {
  return "s" + std::to_string(scene) + "-" + std::to_string(region) + ".c";
}

TByteArray Code(size_t scene, size_t region) {
  TByteArray bytes(1 + region % 700, static_cast<uint8_t>(scene * 31 + region));
  bytes[0] = static_cast<uint8_t>(region >> 8);
  return bytes;
}

TEST(ArchiveOrder, CodesFromManyThreadsAreStoredInTheirOrder) {
  TempDir dir;
  const std::vector<size_t> counts = {2000, 0, 1, 1500};
  TTarArchive tar(dir.File("codes.tar"));
  TArchiveOrder order(tar, counts.size());
  // Every code, in a scrambled order the threads take from in turn.
  std::vector<std::pair<size_t, size_t>> work;
  for (size_t s = 0; s < counts.size(); ++s)
    for (size_t r = 0; r < counts[s]; ++r) work.emplace_back(s, r);
  std::shuffle(work.begin(), work.end(), std::mt19937(29));
  std::vector<std::atomic<size_t>> left(counts.size());
  for (size_t s = 0; s < counts.size(); ++s) {
    left[s] = counts[s];
    if (counts[s] == 0) order.SceneDone(s, 0, false);
  }
  std::atomic<size_t> next{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (size_t k = next++; k < work.size(); k = next++) {
        const auto [s, r] = work[k];
        order.Add(s, r, Name(s, r), Code(s, r));
        if (--left[s] == 0) order.SceneDone(s, counts[s], false);
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_FALSE(order.Failed());
  tar.Finish();
  const auto members = Members(ReadBytes(dir.File("codes.tar")));
  ASSERT_EQ(members.size(), 3501u);
  size_t k = 0;
  for (size_t s = 0; s < counts.size(); ++s)
    for (size_t r = 0; r < counts[s]; ++r, ++k) {
      ASSERT_EQ(members[k].first, Name(s, r)) << "member " << k;
      ASSERT_EQ(members[k].second, Code(s, r)) << "member " << k;
    }
}

// One thread at a time writes: a code added meanwhile is left for it, without waiting
// for the write, and the writer stores it too before it stops.
TEST(ArchiveOrder, ACodeAddedDuringAWriteIsStoredByTheWriter) {
  TempDir dir;
  std::promise<void> writing, added;
  const std::shared_future<void> addedSoon = added.get_future().share();
  std::atomic<bool> first{true}, waitedOut{false};
  TTarArchive tar(dir.File("codes.tar"), [&](std::FILE* f, const uint8_t* data, size_t size) {
    if (first.exchange(false)) {
      writing.set_value();
      if (addedSoon.wait_for(std::chrono::seconds(10)) != std::future_status::ready)
        waitedOut = true;
    }
    return std::fwrite(data, 1, size, f) == size;
  });
  TArchiveOrder order(tar, 1);
  // A code of 2 MiB fills the archive's buffer: its first write comes while it is added.
  std::thread writer([&] { order.Add(0, 0, Name(0, 0), TByteArray(size_t{2} << 20, 1)); });
  writing.get_future().wait();
  order.Add(0, 1, Name(0, 1), Code(0, 1));
  added.set_value();
  writer.join();
  EXPECT_FALSE(waitedOut) << "the second code waited for the first one's write";
  tar.Finish();
  std::vector<std::string> names;
  for (const auto& m : Members(ReadBytes(dir.File("codes.tar")))) names.push_back(m.first);
  EXPECT_EQ(names, (std::vector<std::string>{"s0-0.c", "s0-1.c"}));
}

TEST(ArchiveOrder, AFailedSceneKeepsWhatCameBeforeItsGap) {
  TempDir dir;
  TTarArchive tar(dir.File("codes.tar"));
  TArchiveOrder order(tar, 2);
  order.Add(1, 0, Name(1, 0), Code(1, 0));  // waits for scene 0
  order.Add(0, 3, Name(0, 3), Code(0, 3));  // behind the gap: dropped
  order.Add(0, 0, Name(0, 0), Code(0, 0));
  order.Add(0, 1, Name(0, 1), Code(0, 1));
  order.SceneDone(0, 3, true);
  order.Add(1, 1, Name(1, 1), Code(1, 1));
  order.SceneDone(1, 2, false);
  tar.Finish();
  std::vector<std::string> names;
  for (const auto& m : Members(ReadBytes(dir.File("codes.tar")))) names.push_back(m.first);
  EXPECT_EQ(names, (std::vector<std::string>{"s0-0.c", "s0-1.c", "s1-0.c", "s1-1.c"}));
}

TEST(ArchiveOrder, AFailedWriteIsMetByOneThreadAndDropsTheRest) {
  TempDir dir;
  // A writer that takes the first 4 KiB of the archive, then fails.
  auto written = std::make_shared<size_t>(0);
  TTarArchive tar(dir.File("codes.tar"),
                  [written](std::FILE* f, const uint8_t* data, size_t size) {
                    const size_t n = std::min(size, 4096 - std::min<size_t>(4096, *written));
                    std::fwrite(data, 1, n, f);
                    *written += n;
                    return n == size;
                  });
  TArchiveOrder order(tar, 1);
  std::atomic<size_t> next{0};
  std::atomic<int> thrown{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t)
    threads.emplace_back([&] {
      // Codes of 600 KiB and more: the archive's buffer of 1 MiB fills within a few.
      for (size_t r = next++; r < 300; r = next++) {
        try {
          order.Add(0, r, Name(0, r), TByteArray((size_t{600} << 10) + r, 7));
        } catch (const EFileError&) {
          ++thrown;
        }
      }
    });
  for (std::thread& t : threads) t.join();
  order.SceneDone(0, 300, false);
  EXPECT_EQ(thrown, 1);
  EXPECT_TRUE(order.Failed());
}

}  // namespace
}  // namespace ormax
