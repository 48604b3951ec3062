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
  EngineStep = [this] {
    if (engineLibrary_ == nullptr)
      engineLibrary_ = TComputationLibrary::Load(programFolder_ / "libengine.so");
    return engineLibrary_;
  };
}

TCalculationRun::~TCalculationRun() = default;

void TCalculationRun::Report(TRunResult& result, const std::string& text) {
  result.Errors.push_back(text);
  if (Observer.OnError) Observer.OnError(text);
}

TRunResult TCalculationRun::Execute(TVemtoFile& document) {
  TRunResult result;
  TRunFileNames files;
  try {
    files = DeriveRunFileNames(document.FileName);
  } catch (const std::exception& e) {
    Report(result, e.what());
    return result;
  }

  if (!Unattended) {
    result.Stage = TRunStage::Check;
    const TRunCheck check = CheckStep(document);
    if ((!check.Warnings.empty() || !check.Errors.empty()) && Observer.ConfirmCheck &&
        !Observer.ConfirmCheck(check))
      return result;
  }

  result.Stage = TRunStage::Mesh;
  TRunMeshOutcome mesh;
  try {
    mesh = MeshStep(document, files, Observer);
  } catch (const std::exception& e) {
    mesh.Failed = true;
    mesh.ErrorNumber = 0;
    mesh.ErrorText = e.what();
  }
  if (mesh.Failed) {
    if (mesh.ErrorNumber >= 2000)
      Report(result, kTooLargeHistoryMessage);
    else if (mesh.ErrorNumber != 0)
      Report(result, "MESH ERROR : " + mesh.ErrorText);
    else
      Report(result, mesh.ErrorText.empty() ? "MESH ERROR : the mesher failed" : mesh.ErrorText);
    return result;
  }

  result.Stage = TRunStage::Engine;
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
    engine.Monitor = Observer.Engine;
    engine.OnError = nullptr;  // the text is taken from the component when the run ends
    engine.Execute();
    running_.store(&engine);
    if (Observer.OnEngineStarted) Observer.OnEngineStarted(engine);
    engine.Wait();
    running_.store(nullptr);
    result.Cancelled = engine.Cancelled();
    result.ForcedShutdown = engine.ForcedShutdown();
    if (engine.Failed())
      Report(result, "ENGINE ERROR : " + engine.ErrorText());
    else if (result.ForcedShutdown) {
      std::string text = kForcedShutdownMessage;  // one line per sentence on a terminal
      std::replace(text.begin(), text.end(), '\r', '\n');
      Report(result, text);
    } else if (result.Cancelled)
      Report(result, "The calculation was cancelled.");
    else {
      result.Stage = TRunStage::Done;
      result.Succeeded = true;
    }
  } catch (const std::exception& e) {
    running_.store(nullptr);
    Report(result, std::string("ENGINE ERROR : ") + e.what());
  }
  return result;
}

void TCalculationRun::Cancel() {
  if (TVemtoEngine* engine = running_.load()) engine->RequestCancel();
}

}  // namespace vemto
