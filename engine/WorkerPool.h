// A fixed team of threads for the element passes and the substitutions: the
// calling thread and Threads() − 1 workers. Between jobs a worker watches for the
// next one for kSpinSeconds (a job follows within microseconds in the stepping
// loops, and waking a sleeping thread costs tens of them) and then sleeps. A job
// runs once on every thread of the team; how the work is divided is the job's own
// business, and results that must not depend on the number of threads are divided
// by a fixed rule (see the stress step's element passes).
#pragma once

#include <atomic>
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
  /// How long a worker, and the caller waiting for the workers, watch before sleeping (s).
  static constexpr double kSpinSeconds = 0.5e-3;

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
  /// pool->Run(job), or job(0) on the calling thread when there is no pool.
  template <class Job>
  static void RunOn(WorkerPool* pool, Job& job) {
    if (pool != nullptr)
      pool->Run(job);
    else
      job(0);
  }
  /// Threads of `pool`'s team; 1 without a pool.
  static int ThreadsOf(const WorkerPool* pool) { return pool != nullptr ? pool->Threads() : 1; }

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
  void (*fn_)(void*, int) = nullptr;  // the job; written before generation_ moves on
  void* job_ = nullptr;
  std::atomic<std::uint64_t> generation_{0};  // counts the jobs (changed under mutex_)
  std::atomic<int> running_{0};               // workers still on the present job
  std::atomic<bool> stop_{false};
  int sleeping_ = 0;           // workers asleep on start_ (under mutex_)
  bool callerAsleep_ = false;  // the caller asleep on done_ (under mutex_)
  std::exception_ptr error_;   // the first exception of a worker (under mutex_)
};

}  // namespace vemto::engine
