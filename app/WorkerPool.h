// WorkerPool: the one way the program spreads independent work over threads (the
// regions of Build Trees, the scene codes of Recognize, the scenes of the command line).
//   WorkerCount(requested)         0 gives one thread per core, anything else at least 1
//   RunInParallel(count, threads, work)  work(i) for every i in 0 .. count-1
// Each index runs exactly once and the caller keeps every result in its own slot, so
// results do not depend on the number of threads. All threads are joined before it
// returns; the first exception a work item throws stops the rest and is rethrown.
#pragma once

#include <cstdint>
#include <functional>

namespace ormax {

int32_t WorkerCount(int32_t requested);

void RunInParallel(int32_t count, int32_t threads, const std::function<void(int32_t)>& work);

}  // namespace ormax
