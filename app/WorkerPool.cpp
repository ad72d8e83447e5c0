// WorkerPool: indices are handed out one at a time from a shared counter; the calling
// thread works too, so one thread means no thread is started.
//   WorkerCount, RunInParallel
#include "app/WorkerPool.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace ormax {

int32_t WorkerCount(int32_t requested) {
  if (requested > 0) return requested;
  return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

void RunInParallel(int32_t count, int32_t threads, const std::function<void(int32_t)>& work) {
  if (count <= 0) return;
  std::atomic<int32_t> next{0};
  std::exception_ptr failure;
  std::mutex failureLock;
  auto worker = [&] {
    try {
      for (int32_t i = next++; i < count; i = next++) work(i);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) failure = std::current_exception();
      next = count;
    }
  };
  const int32_t n = std::max(1, std::min(WorkerCount(threads), count));
  std::vector<std::thread> pool;
  pool.reserve(static_cast<size_t>(n - 1));
  try {
    for (int32_t t = 1; t < n; ++t) pool.emplace_back(worker);
  } catch (const std::system_error&) {
    // No more threads to be had: the ones started and this one do the work.
  }
  worker();
  for (std::thread& thread : pool) thread.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace ormax
