// The run sequence of a calculation: model check (unless unattended), conversion and
// meshing, then the engine on its worker thread. The desktop program and the command
// line both run it; windows and terminals only observe it.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ComputationLibrary.h"
#include "RunFileNames.h"
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
  NotStarted,  ///< the files could not be named or the run could not start
  Check,       ///< the model check was not confirmed
  Mesh,        ///< conversion or meshing failed
  Engine,      ///< the engine reported an error, was cancelled or stopped by force
  Done         ///< the simulation ended normally
};

/// Result of a run.
struct TRunResult {
  TRunStage Stage = TRunStage::NotStarted;  ///< where the run ended
  bool Succeeded = false;                   ///< meshing and simulation both succeeded
  bool Cancelled = false;                   ///< the engine run was cancelled
  bool ForcedShutdown = false;              ///< the engine thread was stopped by force
  std::vector<std::string> Errors;          ///< texts for the user, in order of appearance
};

/// What an observer of a run sees. Mesh callbacks run on the caller's thread; engine
/// callbacks as in TEngineMonitor (worker thread).
struct TRunObserver {
  /// Asked when the model check found something; true goes on. Unset: go on.
  std::function<bool(const TRunCheck& check)> ConfirmCheck;
  std::function<void(const std::string& text)> OnMeshInfo;    ///< a mesher phase starts
  std::function<void(const std::string& text)> OnMeshDone;    ///< the mesher has finished
  std::function<void(const std::string& text)> OnError;       ///< a text for the user
  std::function<void(TVemtoEngine& engine)> OnEngineStarted;  ///< the worker runs
  TEngineMonitor Engine;                                      ///< engine progress
};

/// The run sequence. The steps are replaceable (tests put stand-ins in their place).
class TCalculationRun {
 public:
  /// A run with the libraries "libmeshgen.so" and "libengine.so" of `programFolder`.
  explicit TCalculationRun(std::filesystem::path programFolder);
  ~TCalculationRun();
  TCalculationRun(const TCalculationRun&) = delete;
  TCalculationRun& operator=(const TCalculationRun&) = delete;

  bool Unattended = false;  ///< skip the model check (the unattended run)
  TRunObserver Observer;    ///< progress and messages
  /// Time a cancelled engine run gets before the forced stop.
  std::chrono::milliseconds ShutdownTimeout{25000};

  /// The model check; default: TVemtoLogic::CheckModel.
  std::function<TRunCheck(const TVemtoFile& document)> CheckStep;
  /// Conversion and meshing into files.DataFile and files.ListFile; default: the
  /// mesher driver with the project's texts and mesher memory.
  std::function<TRunMeshOutcome(TVemtoFile& document, const TRunFileNames& files,
                                const TRunObserver& observer)>
      MeshStep;
  /// The engine library; default: "libengine.so" of the program folder, loaded once.
  std::function<std::shared_ptr<TComputationLibrary>()> EngineStep;

  /// Runs the whole sequence for `document` (saved under its FileName) and waits for
  /// the engine's end. Never throws for a failing step: the result tells.
  TRunResult Execute(TVemtoFile& document);
  /// Requests cancellation of the engine run (any thread). Does nothing before the
  /// engine has started.
  void Cancel();
  /// The engine component of the last run (null before the first engine start).
  TVemtoEngine* Engine() { return engine_.get(); }

 private:
  void Report(TRunResult& result, const std::string& text);

  std::filesystem::path programFolder_;
  std::shared_ptr<TComputationLibrary> engineLibrary_;
  std::unique_ptr<TVemtoEngine> engine_;
  std::atomic<TVemtoEngine*> running_{nullptr};
};

/// The default model check: TVemtoLogic::CheckModel.
TRunCheck CheckModelStep(const TVemtoFile& document);

/// The default conversion and meshing through the mesher driver with `meshgenPath`.
TRunMeshOutcome MeshModelStep(TVemtoFile& document, const TRunFileNames& files,
                              const TRunObserver& observer, const std::string& meshgenPath);

/// The intervals of `document` in hours, as the engine component takes them.
std::vector<TIntervalHours> DocumentIntervals(const TVemtoFile& document);

}  // namespace vemto
