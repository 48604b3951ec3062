// The run sequence of a calculation: model check (unless unattended), conversion and
// meshing, then the engine on its worker thread. The desktop program and the command
// line both run it; windows and terminals only observe it.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ComputationLibrary.h"
#include "RunFileNames.h"
#include "RunLock.h"
#include "VemtoEngine.h"

namespace vemto {

class TVemtoFile;

/// Text shown for a condition history with more than 1000 points.
inline constexpr const char* kTooLargeHistoryMessage =
    "Max 1000 points allowed in boundary history.";

/// Warnings and errors of the model check.
struct TRunCheck {
  std::vector<std::string> Warnings;  ///< the run may go on
  std::vector<std::string> Errors;    ///< the run will most likely fail
};

/// Outcome of conversion and meshing.
struct TRunMeshOutcome {
  bool Failed = false;           ///< no (complete) analysis data file was written
  std::int32_t ErrorNumber = 0;  ///< the mesher's error code; 2001 and up: too long history
  std::string ErrorText;         ///< the mesher's error line (trimmed) or a conversion problem
};

/// Where a run ended.
enum class TRunStage {
  NotStarted,  ///< the files could not be named or claimed, or the run could not start
  Check,       ///< the model check was not confirmed, or found errors in an unattended run
  Mesh,        ///< conversion or meshing failed or was cancelled
  Engine,      ///< the engine reported an error, was cancelled or stopped by force
  Done         ///< the simulation ended normally
};

/// Where a run in progress is.
enum class TRunPhase {
  Idle,   ///< no run in progress
  Check,  ///< the model check and its confirmation (caller's thread)
  Mesh,   ///< conversion and meshing (caller's thread)
  Engine  ///< the engine, from loading its library until its worker has been taken over
};

/// Text of an unattended run refused because the model check found errors.
inline constexpr const char* kCheckErrorsMessage =
    "The model check found errors: the calculation was not started.";
/// Text of a run refused because the engine of an earlier run was stopped by force.
inline constexpr const char* kEngineHeldMessage =
    "The engine of the last calculation was forcefully shut down and is still held: save "
    "the model and restart Vemto before calculating again.";

/// Text of a run that ended because it was cancelled.
inline constexpr const char* kRunCancelledMessage = "The calculation was cancelled.";

/// Result of a run.
struct TRunResult {
  TRunStage Stage = TRunStage::NotStarted;  ///< where the run ended
  bool Succeeded = false;                   ///< meshing and simulation both succeeded
  bool Cancelled = false;                   ///< the run was cancelled (meshing or engine)
  bool ForcedShutdown = false;              ///< the engine thread was stopped by force
  std::vector<std::string> Errors;          ///< texts for the user, in order of appearance
  std::vector<std::string> Warnings;        ///< the model check's warnings (the run went on)
};

/// What an observer of a run sees. Unset handlers are skipped. "Caller's thread" is the
/// thread that called Start; "owner's thread" the one that calls Poll or Finish (the
/// same in a window program); engine handlers run on the worker thread as in
/// TEngineMonitor.
struct TRunObserver {
  /// Caller's thread: asked when the model check found something; true goes on.
  /// Unset: go on.
  std::function<bool(const TRunCheck& check)> ConfirmCheck;
  /// Caller's thread: the run enters `phase` (Check, Mesh or Engine), before its step.
  std::function<void(TRunPhase phase)> OnPhase;
  std::function<void(const std::string& text)> OnMeshInfo;  ///< caller's thread: a mesher phase
  std::function<void(const std::string& text)> OnMeshDone;  ///< caller's thread: mesher finished
  /// Caller's thread: conversion and meshing are over (also when they failed or threw).
  std::function<void(const TRunMeshOutcome& outcome)> OnMeshEnded;
  /// Thread of the run's end (as OnEnded): each text for the user, in order, just
  /// before OnEnded.
  std::function<void(const std::string& text)> OnError;
  /// Caller's thread: the engine's worker runs (`engine` holds the run's settings).
  std::function<void(TVemtoEngine& engine)> OnEngineStarted;
  /// Worker thread, inside the engine's error message: the engine's error number and
  /// trimmed text. The run's end reports the text again as "ENGINE ERROR : ...".
  std::function<void(std::int32_t errorNumber, const std::string& text)> OnEngineError;
  /// Worker thread: the engine's `execute` has returned; call Poll() on the owner's
  /// thread. Not called for a worker that is stopped by force.
  std::function<void()> OnWorkerEnded;
  /// Owner's thread (or the caller's, when the run ends before the engine): the run
  /// has ended, once per Start, after the run is idle again.
  std::function<void(const TRunResult& result)> OnEnded;
  TEngineMonitor Engine;  ///< engine progress (worker thread)
};

/// The run sequence. The steps are replaceable (tests put stand-ins in their place).
///
/// A run claims its project's files (TRunLock) before anything else and keeps them until
/// its end: a second run of the same project, here or in another process, is refused.
/// An unattended run skips the confirmation of the model check, not the check: errors
/// refuse it (each reported as "Model check: ..."), warnings are kept in the result.
/// After a forced stop of the engine every further run is refused before meshing.
///
/// Start() runs the check, conversion and meshing on the calling thread, starts the
/// engine on its worker thread and returns; Poll() or Finish() on the same thread take
/// over the end. Pause(), Resume() and Cancel() may be called from any thread, also
/// from an observer's handler. Execute() is Start() followed by Finish().
class TCalculationRun {
 public:
  /// A run with the libraries "libmeshgen.so" and "libengine.so" of `programFolder`.
  explicit TCalculationRun(std::filesystem::path programFolder);
  /// Cancels an engine run still in progress and waits for its end (forcing it after
  /// ShutdownTimeout); OnError and OnEnded are not called for that end.
  ~TCalculationRun();
  TCalculationRun(const TCalculationRun&) = delete;
  TCalculationRun& operator=(const TCalculationRun&) = delete;

  bool Unattended = false;  ///< no confirmation of the check; its errors refuse the run
  TRunObserver Observer;    ///< progress and messages; taken over by the engine at its start
  /// Time a cancelled engine run gets before the forced stop.
  std::chrono::milliseconds ShutdownTimeout{25000};

  /// The model check; default: TVemtoLogic::CheckModel.
  std::function<TRunCheck(const TVemtoFile& document)> CheckStep;
  /// Conversion and meshing into files.DataFile and files.ListFile; default: the
  /// mesher driver with the project's texts and mesher memory.
  std::function<TRunMeshOutcome(TVemtoFile& document, const TRunFileNames& files,
                                const TRunObserver& observer)>
      MeshStep;
  /// Requests cancellation of the mesher run in progress (any thread); default: the
  /// break entry of "libmeshgen.so" of the program folder.
  std::function<void()> MeshCancelStep;
  /// The engine library; default: "libengine.so" of the program folder, loaded once.
  std::function<std::shared_ptr<TComputationLibrary>()> EngineStep;

  /// Starts a run of `document` (saved under its FileName): check, conversion and
  /// meshing on this thread, then the engine on its worker thread. True when the
  /// engine runs (its end comes through Poll or Finish); false when the run has already
  /// ended (Result() and OnEnded tell) or when a run is in progress (nothing changes).
  /// Never throws for a failing step.
  bool Start(TVemtoFile& document);
  /// Owner's thread: takes over the end of an engine run whose worker has returned,
  /// or stops a cancelled run by force once ShutdownTimeout has passed (the worker is
  /// parked for good, the ".dat" and ".out" files are deleted). True when no run is in
  /// progress any more; Result() then holds the outcome. False during the check and
  /// meshing of a Start further up the stack.
  bool Poll();
  /// Owner's thread: waits for the end of the engine run and returns the result (the
  /// last result when no run is in progress). A paused run ends only after Resume()
  /// or Cancel() from another thread. Not for handlers of the check or the meshing,
  /// which run inside Start.
  TRunResult Finish();
  /// Runs the whole sequence for `document` and waits for the engine's end: Start()
  /// and Finish().
  TRunResult Execute(TVemtoFile& document);
  /// Conversion and meshing only, with the files claimed as for a run and without the
  /// model check: writes the analysis data file and the listing. Succeeded when the
  /// mesher succeeded (Stage Done).
  TRunResult Mesh(TVemtoFile& document);

  /// Holds the engine's worker at its next message; does nothing unless the engine runs.
  void Pause();
  /// Lets a paused worker continue; does nothing otherwise.
  void Resume();
  /// Requests cancellation of the run in progress: of the mesher while meshing (the
  /// engine is then not started), of the engine while it runs (the forced stop follows
  /// after ShutdownTimeout). Does nothing when idle or already cancelling.
  void Cancel();

  /// Where the run in progress is (any thread).
  TRunPhase Phase() const { return phase_.load(); }
  /// A run is in progress: between Start and the end taken over (any thread).
  bool Running() const { return Phase() != TRunPhase::Idle; }
  /// The engine's worker is held by Pause().
  bool Paused() const;
  /// Cancellation of the run in progress has been requested.
  bool Cancelling() const;
  /// Result of the last run that has ended (owner's thread).
  const TRunResult& Result() const { return result_; }
  /// The engine component of the last run (null before the first engine start).
  TVemtoEngine* Engine() { return engine_.get(); }

 private:
  void Report(const std::string& text);
  bool Claim(const TVemtoFile& document, TRunFileNames& files);
  bool RunMeshStep(TVemtoFile& document, const TRunFileNames& files);
  void Enter(TRunPhase phase);
  bool CancelNoticed();
  bool StartEngine(TVemtoFile& document, const TRunFileNames& files);
  void EngineEnded();
  void End();

  std::filesystem::path programFolder_;
  std::shared_ptr<TComputationLibrary> engineLibrary_;
  std::unique_ptr<TRunLock> lock_;  // the files of the run in progress
  TRunResult current_;              // the run in progress
  TRunResult result_;               // the last run that has ended
  std::atomic<TRunPhase> phase_{TRunPhase::Idle};

  mutable std::mutex control_;       // the engine as seen by Pause, Resume and Cancel
  TVemtoEngine* running_ = nullptr;  // the engine while its worker runs
  bool cancelRequested_ = false;

  std::mutex wait_;  // what Finish waits for
  std::condition_variable changed_;
  bool workerEnded_ = false;
  std::optional<std::chrono::steady_clock::time_point> forcedStopAt_;

  std::unique_ptr<TVemtoEngine> engine_;  // destroyed first: its worker may still signal
};

/// The default model check: TVemtoLogic::CheckModel.
TRunCheck CheckModelStep(const TVemtoFile& document);

/// The default conversion and meshing through the mesher driver with `meshgenPath`.
TRunMeshOutcome MeshModelStep(TVemtoFile& document, const TRunFileNames& files,
                              const TRunObserver& observer, const std::string& meshgenPath);

/// The intervals of `document` in hours, as the engine component takes them.
std::vector<TIntervalHours> DocumentIntervals(const TVemtoFile& document);

}  // namespace vemto
