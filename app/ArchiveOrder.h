// ArchiveOrder: the codes of several scenes, made on any thread and in any order, stored
// in one tar archive scene by scene and region by region.
//   TArchiveOrder  Add a code, SceneDone when a scene has no more; Failed after a write
//                  to the archive failed
// Edge cases a caller meets:
//   - a code made before those ahead of it waits here until its turn; threads that
//     take the regions in turn keep few waiting.
//   - one thread at a time writes, outside the lock; the others only leave their codes
//     and go on (the writer takes them before it stops), so a thread never waits for
//     another's write.
//   - a scene that failed part-way keeps the codes stored before its first gap; those
//     waiting behind the gap are dropped, as the files written before a failure stay in
//     a folder.
//   - once a write has failed, the thread writing gets the archive's exception and
//     every later code is dropped; the failure is reported by whoever met it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "codes/Bytes.h"
#include "codes/TarArchive.h"

namespace ormax {

class TArchiveOrder {
 public:
  TArchiveOrder(TTarArchive& archive, size_t scenes);

  // The code of a scene's region, under the member name it is stored as. Throws what the
  // archive throws when this thread's write fails.
  void Add(size_t scene, size_t region, std::string member, TByteArray bytes);
  // Whether a write to the archive has failed: it is then to be dropped, unfinished.
  bool Failed();
  // The scene's codes have all been added: `regions` of them, or, when failed, those
  // added so far.
  void SceneDone(size_t scene, size_t regions, bool failed);

 private:
  static constexpr size_t kUnknown = SIZE_MAX;  // the scene is still being worked on
  struct TMember {
    std::string Name;
    TByteArray Bytes;
  };

  void Collect();
  void Store(std::unique_lock<std::mutex>& lock);

  TTarArchive& archive_;
  std::mutex mutex_;
  std::vector<std::map<size_t, TMember>> pending_;
  std::vector<size_t> regions_;  // a scene's count of codes, once known
  std::vector<bool> ended_;      // a scene that failed part-way
  size_t scene_ = 0;  // the member the archive waits for
  size_t next_ = 0;
  std::vector<TMember> ready_;    // their turn has come; for the writer to store
  std::vector<TMember> writing_;  // what the writer stores, outside the lock
  bool writer_ = false;           // a thread is storing
  bool failed_ = false;
};

}  // namespace ormax
