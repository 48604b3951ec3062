// A fixed team of threads for the element passes: the calling thread and
// Threads() − 1 workers that sleep between jobs. A job runs once on every thread
// of the team; how the work is divided is the job's own business, and results that
// must not depend on the number of threads are divided by a fixed rule (see the
// stress step's element passes).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vemto::engine {

/// Threads for the engine's element passes: VEMTO_THREADS when it holds a number
/// from 1 to kMaxThreads, otherwise the processor's hardware threads capped at 2.
int ThreadsFromEnvironment();

class WorkerPool {
 public:
  static constexpr int kMaxThreads = 8;

  /// A team of `threads` threads (clamped to 1 … kMaxThreads), the caller included.
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  /// Number of threads of the team, the caller included.
  int Threads() const { return static_cast<int>(workers_.size()) + 1; }

  /// Calls job(thread) for thread = 0 … Threads() − 1 (0 on the calling thread)
  /// and returns when every call has returned. Allocates nothing. An exception of
  /// a worker's call is rethrown here after all calls have ended.
  template <class Job>
  void Run(Job& job) {
    RunRaw(&Invoke<Job>, &job);
  }

 private:
  template <class Job>
  static void Invoke(void* job, int thread) {
    (*static_cast<Job*>(job))(thread);
  }
  void RunRaw(void (*fn)(void*, int), void* job);
  void WorkerLoop(int thread);

  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable start_, done_;
  void (*fn_)(void*, int) = nullptr;
  void* job_ = nullptr;
  std::uint64_t generation_ = 0;
  int running_ = 0;
  bool stop_ = false;
  std::exception_ptr error_;
};

}  // namespace vemto::engine
