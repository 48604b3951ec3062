// The simulation component: runs the engine library's `execute` on a worker thread,
// with pause, resume, cancellation and the forced stop of a thread that does not end.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ComputationLibrary.h"
#include "RunFileNames.h"

namespace vemto {

class TVemtoFile;
class TVemtoEngine;

/// Default engine work-array size in 8-byte words.
inline constexpr std::int32_t kDefaultEngineMemory = 800000;
/// Text shown after a forced stop (the two lines are joined by a carriage return).
inline constexpr const char* kForcedShutdownMessage =
    "Calculation thread was forcefully shutdown.\rTo ensure stable operation, save model and "
    "restart Vemto.";

/// One calculation interval as the user enters it (hours).
struct TIntervalHours {
  double EndTime = 0.0;    ///< end of the interval, h (absolute, on the initial time's clock)
  double TimeStep = 0.0;   ///< time step, h
  double StoreStep = 0.0;  ///< storage increment, h
};

/// The block the worker thread reads. Built before the thread starts, untouched until
/// the run has ended.
struct TSimulationData {
  VemtoWindowHandle Window = nullptr;          ///< receiver of the engine's progress messages
  std::int32_t IntervalCount = 0;              ///< number of intervals
  std::vector<double> Intervals;               ///< per interval: end, step, store (s)
  std::int32_t Memory = kDefaultEngineMemory;  ///< work-array size, 8-byte words
  std::array<char, kFileNameBufferLength> DataFile{};     ///< analysis data file
  std::array<char, kFileNameBufferLength> ResultFile{};   ///< result database
  std::array<char, kFileNameBufferLength> TempMatFile{};  ///< temperature and maturity file
};

/// The interval array handed to the engine: end time, time step and storage step of
/// each interval in seconds (hours × 3600), interval after interval.
std::vector<double> IntervalArraySeconds(const std::vector<TIntervalHours>& intervals);

/// Error event: (component, error number of the library's error message).
using TErrorEvent = std::function<void(TVemtoEngine& sender, std::int32_t errorNumber)>;
/// Notification event.
using TNotifyEvent = std::function<void(TVemtoEngine& sender)>;

/// What a progress display observes. Every handler runs on the worker thread, inside
/// the engine's synchronous message, so the engine waits while it runs; a window that
/// lives on another thread forwards the call there and waits for it.
struct TEngineMonitor {
  std::function<void(const std::string& text)> OnInfo;      ///< a phase starts
  std::function<void(const std::string& text)> OnFinished;  ///< the run ended normally
  std::function<void(std::int32_t step)> OnTimeStep;        ///< step (1-based) starts
  /// Long equation solution in progress (once per equation row); the messages are
  /// dispatched only when it is set at the start of the run.
  std::function<void()> OnWorking;
};

/// The simulation component. Execute(), Poll(), Wait() and the destructor belong to
/// the owning (main) thread; Pause(), Resume() and RequestCancel() may be called from
/// any thread, also from a monitor handler.
///
/// States: idle → running ↔ paused → cancelling → idle. The end of a run is taken
/// over by the owner in Poll() or Wait(), which run ThreadDone and OnTerminate on the
/// owner's thread.
class TVemtoEngine {
 public:
  /// A component that runs `engine`'s `execute`.
  explicit TVemtoEngine(std::shared_ptr<TComputationLibrary> engine);
  /// Cancels a running simulation and waits for its end (forcing it after
  /// ShutdownTimeout).
  ~TVemtoEngine();
  TVemtoEngine(const TVemtoEngine&) = delete;
  TVemtoEngine& operator=(const TVemtoEngine&) = delete;

  std::string Datafile;     ///< analysis data file read by the engine (".dat")
  std::string Matrixfile;   ///< result database written by the engine (".out")
  std::string TempMatFile;  ///< temperature and maturity file of another model (".dtm")
  const TVemtoFile* VemtoFile = nullptr;       ///< the project document (not owned)
  std::vector<TIntervalHours> Intervals;       ///< calculation intervals, h
  std::int32_t Memory = kDefaultEngineMemory;  ///< engine work array, 8-byte words
  std::int32_t StepCount = 0;                  ///< progress maximum (time steps)
  TErrorEvent OnError;                         ///< engine error (worker thread, inside the message)
  TNotifyEvent OnTerminate;  ///< the run has ended (owner's thread, from Poll/Wait)
  TEngineMonitor Monitor;    ///< progress messages (worker thread)
  /// Called on the worker thread right after `execute` has returned, so that a window
  /// can schedule Poll() on its own thread. Not called for a parked thread.
  std::function<void()> OnWorkerEnded;
  /// Time a cancelled run gets to end before it is forcefully stopped.
  std::chrono::milliseconds ShutdownTimeout{25000};

  /// Starts a simulation of Intervals with the three files; returns at once. Throws
  /// TDriverError when a run is in progress, when the library is held by another call
  /// or by a parked thread, or when a file name does not fit its buffer.
  void Execute();
  /// Suspends the worker at its next message, if running and not paused.
  void Pause();
  /// Lets a paused worker continue; does nothing otherwise.
  void Resume();
  /// Requests cancellation from the engine, arms the forced stop after ShutdownTimeout
  /// and lets a paused worker continue so that it can see the request. Does nothing
  /// when idle or already cancelling.
  void RequestCancel();
  /// Owner's thread: takes over the end of the run (ThreadDone, OnTerminate) or, when
  /// a cancelled run has outlived ShutdownTimeout, stops it by force. True when idle.
  bool Poll();
  /// Owner's thread: blocks until the run has ended (Poll() in a loop). A paused run
  /// ends only after Resume() or RequestCancel() from another thread.
  void Wait();

  bool Running() const;              ///< a worker is registered (also while paused/cancelling)
  bool Paused() const;               ///< the worker is held at its next message
  bool Cancelling() const;           ///< cancellation requested, run not yet ended
  bool Failed() const;               ///< the engine reported an error in the current/last run
  bool Cancelled() const;            ///< the current/last run was cancelled
  bool ForcedShutdown() const;       ///< the last run was stopped by force
  std::int32_t ErrorNumber() const;  ///< code of the engine's error (0: none)
  std::string ErrorText() const;     ///< trimmed text of the engine's error
  std::int32_t Position() const;     ///< time steps begun in the current/last run
  const TSimulationData* SimulationData() const;  ///< block of the run; null when idle

 private:
  struct Shared;
  void ThreadDone();
  void ForceShutdown();

  std::shared_ptr<TComputationLibrary> engine_;
  std::shared_ptr<Shared> shared_;  // state seen by the worker; null when idle
  std::shared_ptr<Shared> parked_;  // state of a worker parked by a forced stop
  std::thread thread_;
  bool forced_ = false;
  bool failed_ = false;
  bool cancelled_ = false;
  std::int32_t errorNumber_ = 0;
  std::string errorText_;
  std::int32_t position_ = 0;
};

}  // namespace vemto
