#include "WorkerPool.h"

#include <algorithm>
#include <cstdlib>

namespace vemto::engine {

int ThreadsFromEnvironment() {
  if (const char* v = std::getenv("VEMTO_THREADS")) {
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    if (end != v && *end == '\0' && n >= 1 && n <= WorkerPool::kMaxThreads)
      return static_cast<int>(n);
  }
  const unsigned hw = std::thread::hardware_concurrency();
  return hw >= 2 ? 2 : 1;
}

WorkerPool::WorkerPool(int threads) {
  const int n = std::clamp(threads, 1, kMaxThreads);
  workers_.reserve(static_cast<std::size_t>(n - 1));
  for (int t = 1; t < n; ++t) workers_.emplace_back([this, t] { WorkerLoop(t); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  start_.notify_all();
  for (std::thread& w : workers_) w.join();
}

void WorkerPool::WorkerLoop(int thread) {
  std::uint64_t seen = 0;
  for (;;) {
    void (*fn)(void*, int) = nullptr;
    void* job = nullptr;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      start_.wait(lock, [&] { return stop_ || generation_ != seen; });
      if (stop_) return;
      seen = generation_;
      fn = fn_;
      job = job_;
    }
    std::exception_ptr error;
    try {
      fn(job, thread);
    } catch (...) {
      error = std::current_exception();
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (error && !error_) error_ = error;
      if (--running_ == 0) done_.notify_one();
    }
  }
}

void WorkerPool::RunRaw(void (*fn)(void*, int), void* job) {
  if (workers_.empty()) {
    fn(job, 0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fn_ = fn;
    job_ = job;
    running_ = static_cast<int>(workers_.size());
    error_ = nullptr;
    ++generation_;
  }
  start_.notify_all();
  std::exception_ptr error;
  try {
    fn(job, 0);
  } catch (...) {
    error = std::current_exception();
  }
  std::unique_lock<std::mutex> lock(mutex_);
  done_.wait(lock, [&] { return running_ == 0; });
  if (!error) error = error_;
  error_ = nullptr;
  lock.unlock();
  if (error) std::rethrow_exception(error);
}

}  // namespace vemto::engine
