#include "WorkerPool.h"

#include <algorithm>
#include <chrono>
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
    stop_.store(true);
  }
  start_.notify_all();
  for (std::thread& w : workers_) w.join();
}

namespace {

// Watches `done` for WorkerPool::kSpinSeconds; true when it came true meanwhile.
template <class Done>
bool Watch(Done done) {
  const auto until =
      std::chrono::steady_clock::now() + std::chrono::duration<double>(WorkerPool::kSpinSeconds);
  for (int k = 0;; ++k) {
    if (done()) return true;
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
    if ((k & 63) == 63 && std::chrono::steady_clock::now() >= until) return done();
  }
}

}  // namespace

void WorkerPool::WorkerLoop(int thread) {
  std::uint64_t seen = 0;
  for (;;) {
    auto next = [&] { return stop_.load() || generation_.load() != seen; };
    if (!Watch(next)) {
      std::unique_lock<std::mutex> lock(mutex_);
      ++sleeping_;
      start_.wait(lock, next);
      --sleeping_;
    }
    if (stop_.load()) return;
    seen = generation_.load();
    std::exception_ptr error;
    try {
      fn_(job_, thread);
    } catch (...) {
      error = std::current_exception();
    }
    if (error) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = error;
    }
    if (running_.fetch_sub(1) == 1) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (callerAsleep_) done_.notify_one();
    }
  }
}

void WorkerPool::RunRaw(void (*fn)(void*, int), void* job) {
  if (workers_.empty()) {
    fn(job, 0);
    return;
  }
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    fn_ = fn;
    job_ = job;
    running_.store(static_cast<int>(workers_.size()));
    error_ = nullptr;
    generation_.fetch_add(1);
    wake = sleeping_ > 0;
  }
  if (wake) start_.notify_all();
  std::exception_ptr error;
  try {
    fn(job, 0);
  } catch (...) {
    error = std::current_exception();
  }
  auto finished = [&] { return running_.load() == 0; };
  if (!Watch(finished)) {
    std::unique_lock<std::mutex> lock(mutex_);
    callerAsleep_ = true;
    done_.wait(lock, finished);
    callerAsleep_ = false;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!error) error = error_;
  error_ = nullptr;
  lock.unlock();
  if (error) std::rethrow_exception(error);
}

}  // namespace vemto::engine
