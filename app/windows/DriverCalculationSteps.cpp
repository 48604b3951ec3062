// The steps of a calculation run through the computation drivers: the model check, the
// conversion and meshing of the run sequence, and the engine library.
#include <stdexcept>

#include "CalculationRun.h"
#include "CalculationSteps.h"
#include "DriverError.h"
#include "VemtoFile.h"

namespace vemto {

namespace {

class TDriverCalculationSteps : public TCalculationSteps {
 public:
  explicit TDriverCalculationSteps(std::filesystem::path programFolder)
      : programFolder_(std::move(programFolder)) {}

  TModelCheck CheckModel(const TVemtoFile& model) override {
    TRunCheck check = CheckModelStep(model);
    return {std::move(check.Warnings), std::move(check.Errors)};
  }

  TMeshOutcome Mesh(TVemtoFile& model, const TRunFileNames& files,
                    const TMeshProgress& progress) override {
    TMeshOutcome outcome;
    TRunObserver observer;
    observer.OnMeshInfo = progress.OnInfo;
    observer.OnMeshDone = progress.OnDone;
    const TRunMeshOutcome run = MeshModelStep(model, files, observer, MeshgenPath());
    outcome.Failed = run.Failed;
    outcome.ErrorNumber = run.ErrorNumber;
    outcome.ErrorText = run.ErrorText;
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
  std::string MeshgenPath() const { return (programFolder_ / "libmeshgen.so").string(); }

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
