// ArchiveOrder: under the lock, a code either takes its turn or waits in its scene's
// map; whoever finds no writer becomes it and stores the codes whose turn has come, a
// batch at a time with the lock let go, until none is left.
//   TArchiveOrder (Add, Failed, SceneDone)
#include "app/ArchiveOrder.h"

#include <utility>

namespace ormax {

TArchiveOrder::TArchiveOrder(TTarArchive& archive, size_t scenes)
    : archive_(archive), pending_(scenes), regions_(scenes, kUnknown), ended_(scenes, false) {}

void TArchiveOrder::Add(size_t scene, size_t region, std::string member, TByteArray bytes) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (scene == scene_ && region == next_) {
    ++next_;
    if (!failed_) ready_.push_back({std::move(member), std::move(bytes)});
  } else {
    pending_[scene].emplace(region, TMember{std::move(member), std::move(bytes)});
  }
  Store(lock);
}

bool TArchiveOrder::Failed() {
  const std::lock_guard<std::mutex> lock(mutex_);
  return failed_;
}

void TArchiveOrder::SceneDone(size_t scene, size_t regions, bool failed) {
  std::unique_lock<std::mutex> lock(mutex_);
  regions_[scene] = regions;
  ended_[scene] = failed;
  if (failed) pending_[scene].clear();
  Store(lock);
}

// Moves every code whose turn has come to the writer's queue (dropped once the archive
// has failed), scene after scene as each is done.
void TArchiveOrder::Collect() {
  while (scene_ < pending_.size()) {
    auto& waiting = pending_[scene_];
    for (auto it = waiting.begin(); it != waiting.end() && it->first == next_;
         it = waiting.erase(it), ++next_)
      if (!failed_) ready_.push_back(std::move(it->second));
    if (!ended_[scene_] && next_ != regions_[scene_]) return;
    ++scene_;
    next_ = 0;
  }
}

void TArchiveOrder::Store(std::unique_lock<std::mutex>& lock) {
  Collect();
  if (writer_) return;  // the writer takes these before it stops
  writer_ = true;
  while (!ready_.empty()) {
    writing_.swap(ready_);  // the two queues keep their room from batch to batch
    lock.unlock();
    try {
      for (const TMember& member : writing_) archive_.Add(member.Name, member.Bytes);
    } catch (...) {
      writing_.clear();
      lock.lock();
      failed_ = true;
      writer_ = false;
      ready_.clear();
      throw;
    }
    writing_.clear();
    lock.lock();
  }
  writer_ = false;
}

}  // namespace ormax
