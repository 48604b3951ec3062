// The steps of a calculation run through the computation drivers.
#include <stdexcept>

#include "CalculationSteps.h"
#include "DriverError.h"
#include "VemtoFile.h"
#include "VemtoLogic.h"

#ifdef VEMTO_HAVE_MESH_DRIVER
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
#ifdef VEMTO_HAVE_MESH_DRIVER
    TVemtoMesh& mesh = Mesher();
    mesh.OnMessage = progress.OnMessage;
    mesh.OnProgress = progress.OnInfo;
    mesh.OnFinished = progress.OnDone;
    mesh.OnError = [&outcome](TVemtoMesh& sender, std::int32_t errorNumber) {
      outcome.ErrorNumber = errorNumber;
      outcome.ErrorText = sender.ErrorText();
    };
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
    if (outcome.Failed && outcome.ErrorText.empty()) outcome.ErrorText = mesh.ErrorText();
    if (outcome.Failed && outcome.ErrorNumber == 0) outcome.ErrorNumber = mesh.ErrorNumber();
#else
    (void)model;
    (void)files;
    (void)progress;
    outcome.Failed = true;
    outcome.ErrorText = "The mesher driver is not part of this build.";
#endif
    return outcome;
  }

  void CancelMesh() override {
#ifdef VEMTO_HAVE_MESH_DRIVER
    if (mesh_ != nullptr) mesh_->Cancel();
#endif
  }

  std::shared_ptr<TComputationLibrary> EngineLibrary() override {
    if (engine_ == nullptr) engine_ = TComputationLibrary::Load(programFolder_ / "libengine.so");
    return engine_;
  }

 private:
#ifdef VEMTO_HAVE_MESH_DRIVER
  TVemtoMesh& Mesher() {
    if (mesh_ == nullptr) {
      mesh_ = std::make_unique<TVemtoMesh>();
      mesh_->LibraryPath = (programFolder_ / "libmeshgen.so").string();
    }
    return *mesh_;
  }
  std::unique_ptr<TVemtoMesh> mesh_;
#endif
  std::filesystem::path programFolder_;
  std::shared_ptr<TComputationLibrary> engine_;
};

}  // namespace

std::unique_ptr<TCalculationSteps> MakeDriverCalculationSteps(
    const std::filesystem::path& programFolder) {
  return std::make_unique<TDriverCalculationSteps>(programFolder);
}

}  // namespace vemto
