// The steps of a calculation run through the computation drivers: the model check, the
// conversion and meshing of the run sequence, and the engine library.
#include <stdexcept>

#include "CalculationSteps.h"
#include "DriverError.h"
#include "VemtoFile.h"
#include "VemtoLogic.h"

#if defined(VEMTO_HAVE_CALCULATION_RUN)
#include "CalculationRun.h"
#elif defined(VEMTO_HAVE_MESH_DRIVER)
#include "VemtoMesh.h"
#endif

namespace vemto {

namespace {

class TDriverCalculationSteps : public TCalculationSteps {
 public:
  explicit TDriverCalculationSteps(std::filesystem::path programFolder)
      : programFolder_(std::move(programFolder)) {}

  TModelCheck CheckModel(const TVemtoFile& model) override {
    TVemtoLogic logic;
    logic.CheckModel(model);
    return {std::move(logic.Warnings), std::move(logic.Errors)};
  }

  TMeshOutcome Mesh(TVemtoFile& model, const TRunFileNames& files,
                    const TMeshProgress& progress) override {
    TMeshOutcome outcome;
#if defined(VEMTO_HAVE_CALCULATION_RUN)
    TRunObserver observer;
    observer.OnMeshInfo = progress.OnInfo;
    observer.OnMeshDone = progress.OnDone;
    const TRunMeshOutcome run = MeshModelStep(model, files, observer, MeshgenPath());
    outcome.Failed = run.Failed;
    outcome.ErrorNumber = run.ErrorNumber;
    outcome.ErrorText = run.ErrorText;
#elif defined(VEMTO_HAVE_MESH_DRIVER)
    TVemtoMesh mesh;
    mesh.LibraryPath = MeshgenPath();
    std::string message;  // a conversion problem, reported once through the outcome
    mesh.OnMessage = [&message](const std::string& text) {
      if (message.empty()) message = text;
    };
    mesh.OnProgress = progress.OnInfo;
    mesh.OnFinished = progress.OnDone;
    mesh.FileName = files.DataFile;
    mesh.InputDataName = files.ListFile;
    mesh.Convert(model);
    mesh.Memory = model.MeshMemory;
    if (!mesh.Failed) {
      for (const auto& material : model.Materials) mesh.AddMaterial(*material);
      mesh.ShowProgress = true;
      const TVemtoProjectInfo& info = model.ProjectInfo;
      mesh.Title = info.Title;
      mesh.Subject = info.Subject;
      mesh.Author = info.Author;
      mesh.Manager = info.Manager;
      mesh.Company = info.Company;
      mesh.Description = info.Description;
      mesh.Execute();
    }
    outcome.Failed = mesh.Failed;
    outcome.ErrorNumber = mesh.ErrorNumber();
    outcome.ErrorText = mesh.ErrorNumber() == 0 && !message.empty() ? message : mesh.ErrorText();
#else
    (void)model;
    (void)files;
    (void)progress;
    outcome.Failed = true;
    outcome.ErrorNumber = VEMTO_ERROR_GENERAL;
    outcome.ErrorText = "The mesher driver is not part of this build.";
#endif
    return outcome;
  }

  void CancelMesh() override {
    // The mesher library is loaded once per process (RTLD_LOCAL, same file): its break
    // entry reaches the run in progress.
    try {
      if (meshgen_ == nullptr) meshgen_ = TComputationLibrary::Load(MeshgenPath());
      meshgen_->Break();
    } catch (const TDriverError&) {
      // No mesher library: no run to cancel.
    }
  }

  std::shared_ptr<TComputationLibrary> EngineLibrary() override {
    if (engine_ == nullptr) engine_ = TComputationLibrary::Load(programFolder_ / "libengine.so");
    return engine_;
  }

 private:
  std::string MeshgenPath() const {
    return (programFolder_ / "libmeshgen.so").string();
  }

  std::filesystem::path programFolder_;
  std::shared_ptr<TComputationLibrary> meshgen_;
  std::shared_ptr<TComputationLibrary> engine_;
};

}  // namespace

std::unique_ptr<TCalculationSteps> MakeDriverCalculationSteps(
    const std::filesystem::path& programFolder) {
  return std::make_unique<TDriverCalculationSteps>(programFolder);
}

}  // namespace vemto
