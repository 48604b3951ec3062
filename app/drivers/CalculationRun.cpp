#include "CalculationRun.h"

#include <algorithm>
#include <climits>
#include <exception>

#include <fmt/format.h>

#include "DriverError.h"
#include "VemtoFile.h"
#include "VemtoLogic.h"
#include "VemtoMesh.h"

namespace vemto {

TRunCheck CheckModelStep(const TVemtoFile& document) {
  TVemtoLogic logic;
  logic.CheckModel(document);
  return {std::move(logic.Warnings), std::move(logic.Errors)};
}

TRunMeshOutcome MeshModelStep(TVemtoFile& document, const TRunFileNames& files,
                              const TRunObserver& observer, const std::string& meshgenPath) {
  TRunMeshOutcome outcome;
  TVemtoMesh mesh;
  mesh.LibraryPath = meshgenPath;
  std::string message;  // a conversion problem (mixed edges, missing material, ...)
  mesh.OnMessage = [&message](const std::string& text) {
    if (message.empty()) message = text;
  };
  mesh.OnProgress = observer.OnMeshInfo;
  mesh.OnFinished = observer.OnMeshDone;
  mesh.FileName = files.DataFile;
  mesh.InputDataName = files.ListFile;
  mesh.Convert(document);
  mesh.Memory = document.MeshMemory;
  if (!mesh.Failed) {
    for (const auto& material : document.Materials) mesh.AddMaterial(*material);
    mesh.ShowProgress = true;
    const TVemtoProjectInfo& info = document.ProjectInfo;
    mesh.Title = info.Title;
    mesh.Subject = info.Subject;
    mesh.Author = info.Author;
    mesh.Manager = info.Manager;
    mesh.Company = info.Company;
    mesh.Description = info.Description;
    mesh.Execute();
  }
  outcome.Failed = mesh.Failed;
  if (outcome.Failed) {
    outcome.ErrorNumber = mesh.ErrorNumber();
    outcome.ErrorText = mesh.ErrorNumber() == 0 && !message.empty() ? message : mesh.ErrorText();
  }
  return outcome;
}

std::vector<TIntervalHours> DocumentIntervals(const TVemtoFile& document) {
  std::vector<TIntervalHours> intervals;
  for (const auto& interval : document.Intervals)
    intervals.push_back({interval->EndTime, interval->TimeStep, interval->StoreStep});
  return intervals;
}

TCalculationRun::TCalculationRun(std::filesystem::path programFolder)
    : programFolder_(std::move(programFolder)) {
  CheckStep = &CheckModelStep;
  const std::string meshgen = (programFolder_ / "libmeshgen.so").string();
  MeshStep = [meshgen](TVemtoFile& document, const TRunFileNames& files,
                       const TRunObserver& observer) {
    return MeshModelStep(document, files, observer, meshgen);
  };
  MeshCancelStep = [meshgen] {
    // The mesher library is loaded once per process (RTLD_LOCAL, same file): a second
    // handle reaches the break flag of the run in progress.
    try {
      TComputationLibrary::Load(meshgen)->Break();
    } catch (const std::exception&) {
      // No mesher library: no mesher run to cancel.
    }
  };
  EngineStep = [this] {
    if (engineLibrary_ == nullptr)
      engineLibrary_ = TComputationLibrary::Load(programFolder_ / "libengine.so");
    return engineLibrary_;
  };
}

TCalculationRun::~TCalculationRun() = default;

void TCalculationRun::Report(const std::string& text) {
  current_.Errors.push_back(text);
}

void TCalculationRun::Enter(TRunPhase phase) {
  phase_.store(phase);
  switch (phase) {
    case TRunPhase::Check:
      current_.Stage = TRunStage::Check;
      break;
    case TRunPhase::Mesh:
      current_.Stage = TRunStage::Mesh;
      break;
    case TRunPhase::Engine:
      current_.Stage = TRunStage::Engine;
      break;
    case TRunPhase::Idle:
      break;
  }
  if (Observer.OnPhase) Observer.OnPhase(phase);
}

bool TCalculationRun::CancelNoticed() {
  std::lock_guard control(control_);
  if (!cancelRequested_) return false;
  current_.Cancelled = true;
  Report(kRunCancelledMessage);
  return true;
}

void TCalculationRun::End() {
  lock_.reset();  // the files are free for the next run
  {
    std::lock_guard control(control_);
    running_ = nullptr;
  }
  result_ = std::move(current_);
  current_ = TRunResult{};
  // Idle before any handler runs: a handler may poll or start the next run.
  phase_.store(TRunPhase::Idle);
  const TRunResult ended = result_;
  for (const std::string& text : ended.Errors)
    if (Observer.OnError) Observer.OnError(text);
  if (Observer.OnEnded) Observer.OnEnded(ended);
}

bool TCalculationRun::Claim(const TVemtoFile& document, TRunFileNames& files) {
  current_ = TRunResult{};
  {
    std::lock_guard control(control_);
    cancelRequested_ = false;
  }
  try {
    files = DeriveRunFileNames(document.FileName);
    // A parked worker still holds the engine: refuse before any file is rewritten.
    if (engine_ != nullptr && engine_->ForcedShutdown()) throw TDriverError(kEngineHeldMessage);
    lock_ = std::make_unique<TRunLock>(files);
  } catch (const std::exception& e) {
    Report(e.what());
    End();
    return false;
  }
  return true;
}

bool TCalculationRun::RunMeshStep(TVemtoFile& document, const TRunFileNames& files) {
  Enter(TRunPhase::Mesh);
  if (CancelNoticed()) {
    End();
    return false;
  }
  TRunMeshOutcome mesh;
  try {
    mesh = MeshStep(document, files, Observer);
  } catch (const std::exception& e) {
    mesh.Failed = true;
    mesh.ErrorNumber = 0;
    mesh.ErrorText = e.what();
  }
  if (Observer.OnMeshEnded) Observer.OnMeshEnded(mesh);
  if (mesh.Failed) {
    {
      std::lock_guard control(control_);
      current_.Cancelled = cancelRequested_;
    }
    if (mesh.ErrorNumber >= 2000)
      Report(kTooLargeHistoryMessage);
    else if (mesh.ErrorNumber != 0)
      Report("MESH ERROR : " + mesh.ErrorText);
    else
      Report(mesh.ErrorText.empty() ? "MESH ERROR : the mesher failed" : mesh.ErrorText);
    End();
    return false;
  }
  // The analysis data file of a cancelled mesher run is not used.
  if (CancelNoticed()) {
    End();
    return false;
  }
  return true;
}

bool TCalculationRun::Start(TVemtoFile& document) {
  if (Running()) return false;
  TRunFileNames files;
  if (!Claim(document, files)) return false;

  Enter(TRunPhase::Check);
  try {
    TRunCheck check = CheckStep(document);
    if (Unattended) {
      // Nobody confirms: errors refuse the run, warnings let it go on.
      if (!check.Errors.empty()) {
        for (const std::string& error : check.Errors) Report("Model check: " + error);
        Report(kCheckErrorsMessage);
        End();
        return false;
      }
      current_.Warnings = std::move(check.Warnings);
    } else if ((!check.Warnings.empty() || !check.Errors.empty()) && Observer.ConfirmCheck &&
               !Observer.ConfirmCheck(check)) {
      End();
      return false;
    }
  } catch (const std::exception& e) {
    Report(e.what());
    End();
    return false;
  }

  if (!RunMeshStep(document, files)) return false;
  Enter(TRunPhase::Engine);
  return StartEngine(document, files);
}

TRunResult TCalculationRun::Mesh(TVemtoFile& document) {
  if (Running()) {
    TRunResult busy;
    busy.Errors.push_back("A calculation is already running.");
    return busy;
  }
  TRunFileNames files;
  if (Claim(document, files) && RunMeshStep(document, files)) {
    current_.Stage = TRunStage::Done;
    current_.Succeeded = true;
    End();
  }
  return result_;
}

bool TCalculationRun::StartEngine(TVemtoFile& document, const TRunFileNames& files) {
  bool started = false;
  try {
    const std::shared_ptr<TComputationLibrary> library = EngineStep();
    if (engine_ == nullptr) engine_ = std::make_unique<TVemtoEngine>(library);
    TVemtoEngine& engine = *engine_;
    engine.ShutdownTimeout = ShutdownTimeout;
    engine.Datafile = files.DataFile;
    engine.Matrixfile = files.ResultFile;
    engine.TempMatFile = files.TempMatFile;
    engine.VemtoFile = &document;
    engine.Memory = document.EngineMemory;
    engine.Intervals = DocumentIntervals(document);
    engine.StepCount = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(document.TotalTimeSteps(), 0, INT32_MAX));
    // A worker stopped by force may still be inside its last message, reading the
    // component's handlers: they stay as they are (the component refuses the run).
    const bool parkedWorker = engine.ForcedShutdown();
    if (!parkedWorker) {
      engine.Monitor = Observer.Engine;
      // The text for the user is taken from the component when the run ends.
      engine.OnError = [handler = Observer.OnEngineError](TVemtoEngine& sender,
                                                          std::int32_t errorNumber) {
        if (handler) handler(errorNumber, sender.ErrorText());
      };
      engine.OnWorkerEnded = [this, handler = Observer.OnWorkerEnded] {
        {
          std::lock_guard lock(wait_);
          workerEnded_ = true;
        }
        changed_.notify_all();
        if (handler) handler();
      };
      engine.OnTerminate = nullptr;
    }
    {
      std::lock_guard lock(wait_);
      workerEnded_ = false;
      forcedStopAt_.reset();
    }
    std::lock_guard control(control_);
    if (!cancelRequested_) {
      engine.Execute();
      running_ = &engine;
      started = true;
    }
  } catch (const std::exception& e) {
    Report(std::string("ENGINE ERROR : ") + e.what());
    End();
    return false;
  }
  if (!started) {  // cancelled before the worker could start
    current_.Cancelled = true;
    Report(kRunCancelledMessage);
    End();
    return false;
  }
  if (Observer.OnEngineStarted) Observer.OnEngineStarted(*engine_);
  return true;
}

bool TCalculationRun::Poll() {
  if (!Running()) return true;
  TVemtoEngine* engine = nullptr;
  {
    std::lock_guard control(control_);
    engine = running_;
  }
  if (engine == nullptr) return false;  // check, meshing or engine start up the stack
  {
    std::lock_guard lock(wait_);
    const bool overdue =
        forcedStopAt_.has_value() && std::chrono::steady_clock::now() >= *forcedStopAt_;
    if (!workerEnded_ && !overdue) return false;
  }
  // The worker has returned or is to be stopped by force: from here on Pause, Resume
  // and Cancel no longer reach the component, which now takes over the end. (The
  // component's own deadline lies before forcedStopAt_.)
  {
    std::lock_guard control(control_);
    running_ = nullptr;
  }
  if (!engine->Poll()) {
    std::lock_guard control(control_);
    running_ = engine;
    return false;
  }
  EngineEnded();
  return true;
}

void TCalculationRun::EngineEnded() {
  TVemtoEngine& engine = *engine_;
  current_.Cancelled = engine.Cancelled();
  current_.ForcedShutdown = engine.ForcedShutdown();
  if (engine.Failed()) {
    Report("ENGINE ERROR : " + engine.ErrorText());
  } else if (current_.ForcedShutdown) {
    std::string text = kForcedShutdownMessage;  // one line per sentence
    std::replace(text.begin(), text.end(), '\r', '\n');
    Report(text);
  } else if (current_.Cancelled) {
    Report(kRunCancelledMessage);
  } else {
    current_.Stage = TRunStage::Done;
    current_.Succeeded = true;
  }
  End();
}

TRunResult TCalculationRun::Finish() {
  while (!Poll()) {
    std::unique_lock lock(wait_);
    if (workerEnded_) continue;
    if (forcedStopAt_.has_value())
      changed_.wait_until(lock, *forcedStopAt_, [this] { return workerEnded_; });
    else
      changed_.wait(lock, [this] { return workerEnded_ || forcedStopAt_.has_value(); });
  }
  return result_;
}

TRunResult TCalculationRun::Execute(TVemtoFile& document) {
  if (Running()) {
    TRunResult busy;
    busy.Errors.push_back("A calculation is already running.");
    return busy;
  }
  Start(document);
  return Finish();
}

void TCalculationRun::Pause() {
  std::lock_guard control(control_);
  if (running_ != nullptr) running_->Pause();
}

void TCalculationRun::Resume() {
  std::lock_guard control(control_);
  if (running_ != nullptr) running_->Resume();
}

void TCalculationRun::Cancel() {
  if (!Running()) return;
  bool meshing = false;
  {
    std::lock_guard control(control_);
    if (cancelRequested_) return;
    cancelRequested_ = true;
    if (running_ != nullptr) {
      running_->RequestCancel();
      // The component's own deadline is taken a moment earlier: Poll() at this time
      // finds it passed.
      std::lock_guard lock(wait_);
      forcedStopAt_ = std::chrono::steady_clock::now() + running_->ShutdownTimeout;
    } else {
      meshing = Phase() == TRunPhase::Mesh;
    }
  }
  changed_.notify_all();
  if (meshing && MeshCancelStep) MeshCancelStep();
}

bool TCalculationRun::Paused() const {
  std::lock_guard control(control_);
  return running_ != nullptr && running_->Paused();
}

bool TCalculationRun::Cancelling() const {
  std::lock_guard control(control_);
  return Running() && cancelRequested_;
}

}  // namespace vemto
