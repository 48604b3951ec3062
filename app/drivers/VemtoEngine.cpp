#include "VemtoEngine.h"

#include <atomic>

#include <cassert>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <system_error>

#include <fmt/format.h>

#include "DriverError.h"

namespace vemto {

namespace {

/// `execute` of the engine library: window (by value), interval count, interval
/// array, work-array words, data file, result file, temperature-and-maturity file.
using EngineExecuteFn = void (*)(VemtoWindowHandle window, const std::int32_t* nInt,
                                 const double* intervals, const std::int32_t* words,
                                 const char* dataFile, const char* resultFile, const char* tmFile);

constexpr double kSecondsPerHour = 3600.0;

}  // namespace

std::vector<double> IntervalArraySeconds(const std::vector<TIntervalHours>& intervals) {
  std::vector<double> seconds;
  seconds.reserve(3 * intervals.size());
  for (const TIntervalHours& interval : intervals) {
    seconds.push_back(interval.EndTime * kSecondsPerHour);
    seconds.push_back(interval.TimeStep * kSecondsPerHour);
    seconds.push_back(interval.StoreStep * kSecondsPerHour);
  }
  return seconds;
}

/// The state the worker thread shares with the component. It lives as long as either
/// needs it: a parked worker keeps it for good.
struct TVemtoEngine::Shared {
  std::mutex mutex;                 // guards the fields up to errorText
  std::condition_variable changed;  // pause, park, cancel and end changes
  bool paused = false;
  bool parked = false;
  // paused || parked, set with them under the mutex and read without it by every
  // message: the engine sends one per equation row, which must not take a lock.
  std::atomic<bool> hold{false};
  bool finished = false;
  bool cancelling = false;
  std::chrono::steady_clock::time_point deadline;
  bool failed = false;
  std::int32_t errorNumber = 0;
  std::string errorText;
  std::atomic<std::int32_t> position{0};

  std::shared_ptr<TComputationLibrary> engine;
  TSimulationData data;
  VemtoListener listener{};
  std::function<void()> onWorkerEnded;

  std::mutex dispatchMutex;       // held while a handler of the owner runs
  TVemtoEngine* owner = nullptr;  // null once the component is gone
  bool workingHandler = false;    // Monitor.OnWorking was set when the run started

  static void Send(void* context, int message, std::intptr_t lParam);
};

void TVemtoEngine::Shared::Send(void* context, int message, std::intptr_t lParam) {
  auto* s = static_cast<Shared*>(context);
  if (s->hold.load(std::memory_order_acquire)) {
    // Pause holds the worker here; a forced stop parks it here for good.
    std::unique_lock lock(s->mutex);
    s->changed.wait(lock, [s] { return !s->paused && !s->parked; });
  }
  // The per-row message goes no further without a handler for it.
  if (message == VEMTO_MSG_WORKING && !s->workingHandler) return;
  std::string text;
  std::int32_t step = 0;
  if (message == VEMTO_MSG_INFO || message == VEMTO_MSG_ERROR || message == VEMTO_MSG_FINISHED)
    text = s->engine->InfoText();
  if (message == VEMTO_MSG_ERROR) {
    std::lock_guard lock(s->mutex);
    if (!s->failed) {  // the first error ends the run; keep its text
      s->errorNumber = static_cast<std::int32_t>(lParam);
      s->errorText = text;
    }
    s->failed = true;
  }
  if (message == VEMTO_MSG_TIMESTEP) step = ++s->position;

  std::lock_guard dispatch(s->dispatchMutex);
  TVemtoEngine* owner = s->owner;
  if (owner == nullptr) return;
  try {
    switch (message) {
      case VEMTO_MSG_INFO:
        if (owner->Monitor.OnInfo) owner->Monitor.OnInfo(text);
        break;
      case VEMTO_MSG_ERROR:
        if (owner->OnError) owner->OnError(*owner, static_cast<std::int32_t>(lParam));
        break;
      case VEMTO_MSG_FINISHED:
        if (owner->Monitor.OnFinished) owner->Monitor.OnFinished(text);
        break;
      case VEMTO_MSG_TIMESTEP:
        if (owner->Monitor.OnTimeStep) owner->Monitor.OnTimeStep(step);
        break;
      case VEMTO_MSG_WORKING:
        if (owner->Monitor.OnWorking) owner->Monitor.OnWorking();
        break;
      default:
        break;
    }
  } catch (...) {
    // A failing display must not unwind through the engine: stop the run instead.
    {
      std::lock_guard lock(s->mutex);
      if (!s->failed) s->errorText = "The progress display failed; the calculation was stopped.";
      s->failed = true;
    }
    s->engine->Break();
  }
}

TVemtoEngine::TVemtoEngine(std::shared_ptr<TComputationLibrary> engine)
    : engine_(std::move(engine)) {
  assert(engine_ != nullptr);
}

TVemtoEngine::~TVemtoEngine() {
  if (shared_ != nullptr) {
    OnTerminate = nullptr;
    RequestCancel();
    Wait();
  }
  if (parked_ != nullptr) {
    std::lock_guard dispatch(parked_->dispatchMutex);
    parked_->owner = nullptr;
  }
}

void TVemtoEngine::Execute() {
  if (shared_ != nullptr) throw TDriverError("A simulation is already running.");
  if (engine_->Abandoned())
    throw TDriverError(
        "The engine is still held by a calculation thread that was forcefully shut down. "
        "Save the model and restart Vemto.");
  for (std::size_t i = 0; i < Intervals.size(); ++i) {
    const TIntervalHours& interval = Intervals[i];
    if (!std::isfinite(interval.EndTime) || !std::isfinite(interval.TimeStep) ||
        !std::isfinite(interval.StoreStep) || interval.TimeStep <= 0.0 || interval.StoreStep <= 0.0)
      throw TDriverError(fmt::format(
          "Interval {}: the time step and the storage step must be positive numbers.", i + 1));
  }
  if (Memory <= 0) throw TDriverError("The engine work array must have a positive size.");

  auto shared = std::make_shared<Shared>();
  shared->engine = engine_;
  shared->data.Intervals = IntervalArraySeconds(Intervals);
  shared->data.IntervalCount = static_cast<std::int32_t>(Intervals.size());
  shared->data.Memory = Memory;
  shared->data.DataFile = FileNameBuffer(Datafile);
  shared->data.ResultFile = FileNameBuffer(Matrixfile);
  shared->data.TempMatFile = FileNameBuffer(TempMatFile);
  shared->listener = VemtoListener{&Shared::Send, shared.get()};
  shared->data.Window = &shared->listener;
  shared->onWorkerEnded = OnWorkerEnded;
  shared->owner = this;
  shared->workingHandler = static_cast<bool>(Monitor.OnWorking);
  const auto execute = reinterpret_cast<EngineExecuteFn>(engine_->RequiredSymbol("execute"));

  if (!engine_->TryClaim())
    throw TDriverError("The engine is busy with another calculation in this program.");
  failed_ = false;
  cancelled_ = false;
  forced_ = false;
  errorNumber_ = 0;
  errorText_.clear();
  position_ = 0;
  // Published before the worker starts: its messages may ask this component for its
  // state at once.
  shared_ = shared;
  try {
    thread_ = std::thread([shared, execute] {
      const TSimulationData& d = shared->data;
      execute(d.Window, &d.IntervalCount, d.Intervals.data(), &d.Memory, d.DataFile.data(),
              d.ResultFile.data(), d.TempMatFile.data());
      bool parked = false;
      {
        std::lock_guard lock(shared->mutex);
        shared->finished = true;
        parked = shared->parked;
      }
      shared->changed.notify_all();
      if (!parked && shared->onWorkerEnded) shared->onWorkerEnded();
    });
  } catch (const std::system_error& e) {
    shared_.reset();
    engine_->Release();
    throw TDriverError(std::string("Cannot start the calculation thread: ") + e.what());
  }
}

void TVemtoEngine::Pause() {
  const std::shared_ptr<Shared> s = shared_;
  if (s == nullptr) return;
  std::lock_guard lock(s->mutex);
  if (s->finished || s->cancelling) return;
  s->paused = true;
  s->hold = true;
}

void TVemtoEngine::Resume() {
  const std::shared_ptr<Shared> s = shared_;
  if (s == nullptr) return;
  {
    std::lock_guard lock(s->mutex);
    if (!s->paused) return;
    s->paused = false;
    s->hold = s->parked;
  }
  s->changed.notify_all();
}

void TVemtoEngine::RequestCancel() {
  const std::shared_ptr<Shared> s = shared_;
  if (s == nullptr) return;
  {
    std::lock_guard lock(s->mutex);
    if (s->cancelling || s->finished) return;
    s->cancelling = true;
    s->paused = false;  // a paused worker must run on to see the request
    s->hold = s->parked;
    s->deadline = std::chrono::steady_clock::now() + ShutdownTimeout;
  }
  engine_->Break();
  s->changed.notify_all();
}

bool TVemtoEngine::Poll() {
  if (shared_ == nullptr) return true;
  bool finished = false;
  bool overdue = false;
  {
    std::lock_guard lock(shared_->mutex);
    finished = shared_->finished;
    overdue = shared_->cancelling && std::chrono::steady_clock::now() >= shared_->deadline;
  }
  if (finished) {
    ThreadDone();
    return true;
  }
  if (overdue) {
    ForceShutdown();
    return true;
  }
  return false;
}

void TVemtoEngine::Wait() {
  while (!Poll()) {
    std::unique_lock lock(shared_->mutex);
    Shared& s = *shared_;
    if (s.finished) continue;
    if (s.cancelling)
      s.changed.wait_until(lock, s.deadline, [&s] { return s.finished; });
    else
      s.changed.wait(lock, [&s] { return s.finished || s.cancelling; });
  }
}

void TVemtoEngine::ThreadDone() {
  assert(shared_ != nullptr);
  if (thread_.joinable()) thread_.join();
  {
    std::lock_guard lock(shared_->mutex);
    failed_ = shared_->failed;
    cancelled_ = shared_->cancelling;
    errorNumber_ = shared_->errorNumber;
    errorText_ = shared_->errorText;
  }
  position_ = shared_->position.load();
  if (!forced_) {
    std::lock_guard dispatch(shared_->dispatchMutex);
    shared_->owner = nullptr;
  }
  if (!forced_) engine_->Release();
  shared_.reset();
  if (OnTerminate) OnTerminate(*this);
}

void TVemtoEngine::ForceShutdown() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->parked = true;  // the worker never leaves its next message again
    shared_->hold = true;
  }
  thread_.detach();
  engine_->Abandon();
  forced_ = true;
  parked_ = shared_;
  std::error_code ignored;
  std::filesystem::remove(Datafile, ignored);
  std::filesystem::remove(Matrixfile, ignored);
  ThreadDone();
}

bool TVemtoEngine::Running() const {
  return shared_ != nullptr;
}

bool TVemtoEngine::Paused() const {
  if (shared_ == nullptr) return false;
  std::lock_guard lock(shared_->mutex);
  return shared_->paused;
}

bool TVemtoEngine::Cancelling() const {
  if (shared_ == nullptr) return false;
  std::lock_guard lock(shared_->mutex);
  return shared_->cancelling;
}

bool TVemtoEngine::Failed() const {
  if (shared_ == nullptr) return failed_;
  std::lock_guard lock(shared_->mutex);
  return shared_->failed;
}

bool TVemtoEngine::Cancelled() const {
  return shared_ != nullptr ? Cancelling() : cancelled_;
}

bool TVemtoEngine::ForcedShutdown() const {
  return forced_;
}

std::int32_t TVemtoEngine::ErrorNumber() const {
  if (shared_ == nullptr) return errorNumber_;
  std::lock_guard lock(shared_->mutex);
  return shared_->errorNumber;
}

std::string TVemtoEngine::ErrorText() const {
  if (shared_ == nullptr) return errorText_;
  std::lock_guard lock(shared_->mutex);
  return shared_->errorText;
}

std::int32_t TVemtoEngine::Position() const {
  return shared_ != nullptr ? shared_->position.load() : position_;
}

const TSimulationData* TVemtoEngine::SimulationData() const {
  return shared_ != nullptr ? &shared_->data : nullptr;
}

}  // namespace vemto
