// The run sequence with stand-in steps: check, mesh, engine and the texts it reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "CalculationRun.h"
#include "ComputationLibrary.h"
#include "DriverError.h"
#include "VemtoFile.h"

namespace fs = std::filesystem;
using namespace vemto;

namespace {

class CalculationRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vemto_run_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    document_.SetFileName((folder_ / "model.v3").string());
    run_ = std::make_unique<TCalculationRun>(folder_);  // no libraries there
    run_->CheckStep = [this](const TVemtoFile&) {
      ++checks_;
      return check_;
    };
    run_->MeshStep = [this](TVemtoFile&, const TRunFileNames& files, const TRunObserver&) {
      ++meshes_;
      files_ = files;
      if (!mesh_.Failed) std::ofstream(files.DataFile) << engineCommand_ << "\n";
      return mesh_;
    };
    run_->EngineStep = [] {
      static auto library =
          TComputationLibrary::Load(fs::path(VEMTO_BIN_DIR) / "libdrivers_standin_engine.so");
      return library;
    };
    run_->Observer.OnError = [this](const std::string& text) { reported_.push_back(text); };
  }
  void TearDown() override { fs::remove_all(folder_); }

  fs::path folder_;
  TVemtoFile document_;
  std::unique_ptr<TCalculationRun> run_;
  TRunCheck check_;
  TRunMeshOutcome mesh_;
  std::string engineCommand_ = "run 3";
  TRunFileNames files_;
  int checks_ = 0;
  int meshes_ = 0;
  std::vector<std::string> reported_;
};

}  // namespace

TEST_F(CalculationRunTest, SucceedsThroughMeshAndEngine) {
  std::int32_t stepCount = -1;
  run_->Observer.OnEngineStarted = [&](TVemtoEngine& engine) { stepCount = engine.StepCount; };
  const TRunResult result = run_->Execute(document_);
  EXPECT_TRUE(result.Succeeded);
  EXPECT_EQ(result.Stage, TRunStage::Done);
  EXPECT_TRUE(result.Errors.empty());
  EXPECT_EQ(checks_, 1);
  EXPECT_EQ(meshes_, 1);
  EXPECT_EQ(files_.DataFile, (folder_ / "model.dat").string());
  // One interval (168 h, 2 h, 24 h) from time 0: 84 steps.
  EXPECT_EQ(stepCount, 84);
  ASSERT_NE(run_->Engine(), nullptr);
  EXPECT_EQ(run_->Engine()->Position(), 3);
  EXPECT_EQ(run_->Engine()->Matrixfile, (folder_ / "model.out").string());
}

TEST_F(CalculationRunTest, WarningsAskForConfirmationUnlessUnattended) {
  check_.Warnings = {"Interval 1 stores more often than it steps."};
  int asked = 0;
  run_->Observer.ConfirmCheck = [&](const TRunCheck& check) {
    ++asked;
    EXPECT_EQ(check.Warnings.size(), 1u);
    return false;
  };
  TRunResult result = run_->Execute(document_);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(result.Stage, TRunStage::Check);
  EXPECT_FALSE(result.Succeeded);
  EXPECT_EQ(meshes_, 0);
  EXPECT_EQ(run_->Engine(), nullptr);

  run_->Unattended = true;  // no check, no question
  result = run_->Execute(document_);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(checks_, 1);
  EXPECT_TRUE(result.Succeeded);
}

TEST_F(CalculationRunTest, MesherFailuresStopBeforeTheEngineWithTheirTexts) {
  mesh_.Failed = true;
  mesh_.ErrorNumber = 1000;
  mesh_.ErrorText = "GENERAL INFORMATION NOT DEFINED";
  TRunResult result = run_->Execute(document_);
  EXPECT_EQ(result.Stage, TRunStage::Mesh);
  EXPECT_FALSE(result.Succeeded);
  ASSERT_EQ(result.Errors.size(), 1u);
  EXPECT_EQ(result.Errors[0], "MESH ERROR : GENERAL INFORMATION NOT DEFINED");
  EXPECT_EQ(reported_, result.Errors);
  EXPECT_EQ(run_->Engine(), nullptr);

  mesh_.ErrorNumber = 2001;  // a history of more than 1000 points
  result = run_->Execute(document_);
  ASSERT_EQ(result.Errors.size(), 1u);
  EXPECT_EQ(result.Errors[0], "Max 1000 points allowed in boundary history.");

  mesh_.ErrorNumber = 0;  // a conversion problem carries its own text
  mesh_.ErrorText = "Element 2 has not been assigned a material.";
  result = run_->Execute(document_);
  ASSERT_EQ(result.Errors.size(), 1u);
  EXPECT_EQ(result.Errors[0], "Element 2 has not been assigned a material.");
  EXPECT_EQ(run_->Engine(), nullptr);
}

TEST_F(CalculationRunTest, AThrowingMeshStepIsAFailedRun) {
  run_->MeshStep = [](TVemtoFile&, const TRunFileNames&, const TRunObserver&) -> TRunMeshOutcome {
    throw TDriverError("Cannot load the library \"x/libmeshgen.so\": no such file");
  };
  const TRunResult result = run_->Execute(document_);
  EXPECT_EQ(result.Stage, TRunStage::Mesh);
  ASSERT_EQ(result.Errors.size(), 1u);
  EXPECT_NE(result.Errors[0].find("libmeshgen.so"), std::string::npos);
}

TEST_F(CalculationRunTest, EngineErrorsAndCancellationAreFailures) {
  engineCommand_ = "error";
  TRunResult result = run_->Execute(document_);
  EXPECT_EQ(result.Stage, TRunStage::Engine);
  EXPECT_FALSE(result.Succeeded);
  ASSERT_EQ(result.Errors.size(), 1u);
  EXPECT_EQ(result.Errors[0], "ENGINE ERROR : ELEMENT     3 HAS A NON-POSITIVE JACOBIAN");

  engineCommand_ = "run 100000 1";
  run_->Observer.Engine.OnTimeStep = [this](std::int32_t step) {
    if (step == 2) run_->Cancel();
  };
  result = run_->Execute(document_);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_FALSE(result.Succeeded);
  EXPECT_FALSE(result.ForcedShutdown);
  EXPECT_TRUE(fs::exists(folder_ / "model.out"));
}

TEST_F(CalculationRunTest, MissingEngineLibraryAndUnnamedModelAreReported) {
  run_ = std::make_unique<TCalculationRun>(folder_);
  run_->MeshStep = [](TVemtoFile&, const TRunFileNames&, const TRunObserver&) {
    return TRunMeshOutcome{};
  };
  run_->Unattended = true;
  TRunResult result = run_->Execute(document_);
  EXPECT_EQ(result.Stage, TRunStage::Engine);
  ASSERT_EQ(result.Errors.size(), 1u);
  EXPECT_NE(result.Errors[0].find("libengine.so"), std::string::npos);

  TVemtoFile unnamed;
  result = run_->Execute(unnamed);
  EXPECT_EQ(result.Stage, TRunStage::NotStarted);
  EXPECT_EQ(result.Errors.size(), 1u);
}

TEST_F(CalculationRunTest, BadIntervalsNeverReachTheEngine) {
  document_.Intervals.front()->TimeStep = 0.0;
  run_->Unattended = true;  // the model check is skipped, the driver still refuses
  const TRunResult result = run_->Execute(document_);
  EXPECT_FALSE(result.Succeeded);
  ASSERT_EQ(result.Errors.size(), 1u);
  EXPECT_NE(result.Errors[0].find("Interval 1"), std::string::npos);
}

TEST_F(CalculationRunTest, AForcedStopIsAFailureWithItsMessage) {
  // A private copy of the stand-in: the parked thread keeps it for good.
  const fs::path copy = folder_ / "libstandin_forced.so";
  fs::copy_file(fs::path(VEMTO_BIN_DIR) / "libdrivers_standin_engine.so", copy);
  auto library = TComputationLibrary::Load(copy);
  run_->EngineStep = [library] { return library; };
  run_->ShutdownTimeout = std::chrono::milliseconds(50);
  engineCommand_ = "stubborn";
  run_->Observer.Engine.OnTimeStep = [this](std::int32_t step) {
    if (step == 2) run_->Cancel();
  };
  const TRunResult result = run_->Execute(document_);
  EXPECT_FALSE(result.Succeeded);
  EXPECT_TRUE(result.ForcedShutdown);
  ASSERT_EQ(result.Errors.size(), 1u);
  EXPECT_EQ(result.Errors[0],
            "Calculation thread was forcefully shutdown.\nTo ensure stable operation, save model "
            "and restart Vemto.");
  EXPECT_FALSE(fs::exists(folder_ / "model.dat"));
  EXPECT_FALSE(fs::exists(folder_ / "model.out"));
  // The engine stays held by the parked thread: a new run is refused with a message.
  const TRunResult again = run_->Execute(document_);
  EXPECT_FALSE(again.Succeeded);
  ASSERT_EQ(again.Errors.size(), 1u);
  EXPECT_NE(again.Errors[0].find("restart Vemto"), std::string::npos);
}
