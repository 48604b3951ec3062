// The run sequence with stand-in steps: check, mesh, engine and the texts it reports,
// blocking (Execute) and non-blocking (Start, Poll, Finish, Pause, Resume, Cancel).
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "CalculationRun.h"
#include "CliRunner.h"
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
    run_->EngineStep = [] { return StandIn(); };
    run_->Observer.OnError = [this](const std::string& text) { reported_.push_back(text); };
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Lets the run use a private copy of the stand-in engine that ignores cancellation
  // (the parked thread keeps the copy for good) and stops it by force after `timeout`.
  // Returns the loaded copy.
  auto UseStubbornEngine(const std::string& copyName, std::chrono::milliseconds timeout) {
    const fs::path copy = folder_ / copyName;
    fs::copy_file(fs::path(VEMTO_BIN_DIR) / "libdrivers_standin_engine.so", copy);
    auto library = TComputationLibrary::Load(copy);
    run_->EngineStep = [library] { return library; };
    run_->ShutdownTimeout = timeout;
    engineCommand_ = "stubborn";
    return library;
  }

  static std::shared_ptr<TComputationLibrary> StandIn() {
    static auto library =
        TComputationLibrary::Load(fs::path(VEMTO_BIN_DIR) / "libdrivers_standin_engine.so");
    return library;
  }
  /// Sets the stand-in's message count of `library` to 0; call before a run starts.
  static void ResetMessages(const TComputationLibrary& library) {
    reinterpret_cast<void (*)()>(library.RequiredSymbol("standin_reset"))();
  }
  /// Waits (bounded) until the stand-in has begun `count` time-step and working
  /// messages; a message held by a pause counts as begun.
  static bool AwaitMessagesBegun(const TComputationLibrary& library, std::int32_t count) {
    auto begun =
        reinterpret_cast<std::int32_t (*)()>(library.RequiredSymbol("standin_messages_begun"));
    for (int i = 0; i < 20000 && begun() < count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return begun() >= count;
  }

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

  run_->Unattended = true;  // no question: warnings let the run go on
  result = run_->Execute(document_);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(result.Succeeded);
  EXPECT_EQ(result.Warnings, check_.Warnings);
}

TEST_F(CalculationRunTest, AnUnattendedRunRefusesAModelWithCheckErrorsBeforeMeshing) {
  check_.Errors = {"Surface 1 has thickness 0."};
  run_->Unattended = true;
  run_->Observer.ConfirmCheck = [](const TRunCheck&) { return true; };  // never asked
  const TRunResult result = run_->Execute(document_);
  EXPECT_EQ(result.Stage, TRunStage::Check);
  EXPECT_FALSE(result.Succeeded);
  EXPECT_EQ(meshes_, 0);
  EXPECT_EQ(result.Errors, (std::vector<std::string>{"Model check: Surface 1 has thickness 0.",
                                                     kCheckErrorsMessage}));
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
  run_->CheckStep = [](const TVemtoFile&) { return TRunCheck{}; };
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
  UseStubbornEngine("libstandin_forced.so", std::chrono::milliseconds(50));
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
  // The engine stays held by the parked thread: a new run is refused before meshing.
  const TRunResult again = run_->Execute(document_);
  EXPECT_FALSE(again.Succeeded);
  EXPECT_EQ(meshes_, 1);
  EXPECT_FALSE(fs::exists(folder_ / "model.dat"));
  EXPECT_EQ(again.Errors, std::vector<std::string>{kEngineHeldMessage});
}

// --- the non-blocking form ------------------------------------------------------------

TEST_F(CalculationRunTest, ASecondRunOfTheSameProjectIsRefusedAtOnceNamingTheRunningOne) {
  document_.Save();  // for the command line's run
  engineCommand_ = "run 5";
  run_->Observer.Engine.OnTimeStep = [this](std::int32_t step) {
    if (step == 2) run_->Pause();
  };
  ResetMessages(*StandIn());
  ASSERT_TRUE(run_->Start(document_));
  ASSERT_TRUE(AwaitMessagesBegun(*StandIn(), 4));

  // In this process (a second window) and in another one (the command line).
  TCalculationRun second(folder_);
  second.Unattended = true;
  const TRunResult refused = second.Execute(document_);
  EXPECT_EQ(refused.Stage, TRunStage::NotStarted);
  ASSERT_EQ(refused.Errors.size(), 1u);
  EXPECT_NE(refused.Errors[0].find("already running: drivers_tests"), std::string::npos)
      << refused.Errors[0];
  EXPECT_NE(refused.Errors[0].find(fmt::format("process {}", ::getpid())), std::string::npos);
  const test::CliOutcome cli = test::Cli("run -q " + (folder_ / "model.v3").string());
  EXPECT_EQ(cli.status, 1);
  EXPECT_NE(cli.output.find("already running: drivers_tests"), std::string::npos) << cli.output;
  EXPECT_EQ(meshes_, 1);
  EXPECT_TRUE(run_->Running());

  run_->Observer.Engine.OnTimeStep = nullptr;  // taken by the next run
  run_->Resume();
  EXPECT_TRUE(run_->Finish().Succeeded);
  EXPECT_FALSE(fs::exists(folder_ / "model.lock"));  // free again
  EXPECT_TRUE(run_->Execute(document_).Succeeded);
}

TEST_F(CalculationRunTest, StartReturnsWhileTheEngineRunsAndPollTakesOverItsEnd) {
  std::promise<void> release;
  std::shared_future<void> gate = release.get_future().share();
  std::promise<void> workerEnded;
  std::future<void> workerEndedSeen = workerEnded.get_future();
  std::vector<TRunPhase> phases;
  int meshEnded = 0;
  int ended = 0;
  TRunResult seen;
  run_->Observer.OnPhase = [&](TRunPhase phase) { phases.push_back(phase); };
  run_->Observer.OnMeshEnded = [&](const TRunMeshOutcome& outcome) {
    ++meshEnded;
    EXPECT_FALSE(outcome.Failed);
  };
  run_->Observer.Engine.OnInfo = [gate](const std::string&) { gate.wait(); };
  run_->Observer.OnWorkerEnded = [&] { workerEnded.set_value(); };
  run_->Observer.OnEnded = [&](const TRunResult& result) {
    ++ended;
    seen = result;
    EXPECT_FALSE(run_->Running());  // idle before the owner hears of the end
  };

  const bool started = run_->Start(document_);
  // The worker is held inside its first message: the run is certainly in progress.
  EXPECT_TRUE(started);
  EXPECT_EQ(run_->Phase(), TRunPhase::Engine);
  EXPECT_TRUE(run_->Running());
  EXPECT_FALSE(run_->Poll());
  EXPECT_FALSE(run_->Paused());
  EXPECT_FALSE(run_->Cancelling());
  EXPECT_EQ(ended, 0);
  EXPECT_FALSE(run_->Start(document_));  // one run at a time; the running one goes on
  EXPECT_EQ(meshes_, 1);
  EXPECT_EQ(run_->Result().Stage, TRunStage::NotStarted);  // no run has ended yet
  release.set_value();
  ASSERT_TRUE(started);

  ASSERT_EQ(workerEndedSeen.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_TRUE(run_->Poll());
  EXPECT_FALSE(run_->Running());
  EXPECT_EQ(run_->Phase(), TRunPhase::Idle);
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(seen.Succeeded);
  EXPECT_EQ(seen.Stage, TRunStage::Done);
  EXPECT_TRUE(run_->Result().Succeeded);
  EXPECT_EQ(run_->Engine()->Position(), 3);
  EXPECT_EQ(phases, (std::vector<TRunPhase>{TRunPhase::Check, TRunPhase::Mesh, TRunPhase::Engine}));
  EXPECT_EQ(meshEnded, 1);
  // The end is taken over once; Finish after the end returns the same result.
  EXPECT_TRUE(run_->Poll());
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(run_->Finish().Succeeded);
  EXPECT_EQ(ended, 1);
}

TEST_F(CalculationRunTest, PauseHoldsTheEngineAndResumeLetsTheRunEnd) {
  engineCommand_ = "run 5";
  run_->Observer.Engine.OnTimeStep = [this](std::int32_t step) {
    if (step == 2) run_->Pause();  // from the worker, inside its message
  };
  ResetMessages(*StandIn());
  ASSERT_TRUE(run_->Start(document_));
  // Step 2 and its working message have begun: the worker is held in the latter.
  ASSERT_TRUE(AwaitMessagesBegun(*StandIn(), 4));
  EXPECT_TRUE(run_->Paused());
  EXPECT_FALSE(run_->Poll());
  EXPECT_TRUE(run_->Running());
  EXPECT_EQ(run_->Engine()->Position(), 2);
  run_->Pause();  // a second pause changes nothing
  run_->Resume();
  EXPECT_FALSE(run_->Paused());
  const TRunResult result = run_->Finish();
  EXPECT_TRUE(result.Succeeded);
  EXPECT_FALSE(result.Cancelled);
  EXPECT_TRUE(result.Errors.empty());
  EXPECT_EQ(run_->Engine()->Position(), 5);
  EXPECT_FALSE(run_->Running());
}

TEST_F(CalculationRunTest, CancelWhilePausedEndsTheRunAsCancelledAndKeepsTheFiles) {
  engineCommand_ = "run 100000";
  run_->Observer.Engine.OnTimeStep = [this](std::int32_t step) {
    if (step == 2) run_->Pause();
  };
  ResetMessages(*StandIn());
  ASSERT_TRUE(run_->Start(document_));
  ASSERT_TRUE(AwaitMessagesBegun(*StandIn(), 4));
  EXPECT_TRUE(run_->Paused());
  run_->Cancel();
  EXPECT_TRUE(run_->Cancelling());
  EXPECT_FALSE(run_->Paused());  // the worker must run on to see the request
  const TRunResult result = run_->Finish();
  EXPECT_FALSE(result.Succeeded);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_FALSE(result.ForcedShutdown);
  EXPECT_EQ(result.Stage, TRunStage::Engine);
  EXPECT_EQ(result.Errors, std::vector<std::string>{kRunCancelledMessage});
  EXPECT_EQ(reported_, result.Errors);
  EXPECT_LT(run_->Engine()->Position(), 100000);
  EXPECT_TRUE(fs::exists(folder_ / "model.dat"));
  EXPECT_TRUE(fs::exists(folder_ / "model.out"));
  EXPECT_FALSE(run_->Cancelling());

  // The request belonged to that run: the next one runs to its end.
  engineCommand_ = "run 3";
  run_->Observer.Engine.OnTimeStep = nullptr;
  EXPECT_TRUE(run_->Execute(document_).Succeeded);
}

TEST_F(CalculationRunTest, PollStopsAnEngineThatIgnoresCancellationByForceAfterTheTimeout) {
  const auto library =
      UseStubbornEngine("libstandin_forced_poll.so", std::chrono::milliseconds(100));
  int workerEnded = 0;
  int ended = 0;
  run_->Observer.OnWorkerEnded = [&] { ++workerEnded; };
  run_->Observer.OnEnded = [&](const TRunResult&) { ++ended; };
  ASSERT_TRUE(run_->Start(document_));
  // Two time steps have begun: the result file has been written.
  ASSERT_TRUE(AwaitMessagesBegun(*library, 2));
  const auto cancelled = std::chrono::steady_clock::now();
  run_->Cancel();
  EXPECT_TRUE(run_->Cancelling());
  int polls = 0;
  while (!run_->Poll()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_LT(++polls, 30000) << "the forced stop never came";
  }
  // Never before its time.
  EXPECT_GE(std::chrono::steady_clock::now() - cancelled, run_->ShutdownTimeout);
  const TRunResult& result = run_->Result();
  EXPECT_FALSE(result.Succeeded);
  EXPECT_TRUE(result.ForcedShutdown);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_EQ(result.Stage, TRunStage::Engine);
  ASSERT_EQ(result.Errors.size(), 1u);
  EXPECT_EQ(result.Errors[0],
            "Calculation thread was forcefully shutdown.\nTo ensure stable operation, save model "
            "and restart Vemto.");
  EXPECT_FALSE(fs::exists(folder_ / "model.dat"));
  EXPECT_FALSE(fs::exists(folder_ / "model.out"));
  EXPECT_FALSE(run_->Running());
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(workerEnded, 0);  // the parked worker never returns
  EXPECT_TRUE(run_->Engine()->ForcedShutdown());

  // The engine stays held by the parked thread: the next start ends at once.
  EXPECT_FALSE(run_->Start(document_));
  EXPECT_EQ(ended, 2);
  EXPECT_EQ(run_->Result().Stage, TRunStage::NotStarted);
  ASSERT_EQ(run_->Result().Errors.size(), 1u);
  EXPECT_NE(run_->Result().Errors[0].find("restart Vemto"), std::string::npos);
}

TEST_F(CalculationRunTest, CancelWhileMeshingStopsTheMesherAndTheRunBeforeTheEngine) {
  int breaks = 0;
  run_->MeshCancelStep = [&] { ++breaks; };
  run_->MeshStep = [this](TVemtoFile&, const TRunFileNames& files, const TRunObserver&) {
    ++meshes_;
    EXPECT_EQ(run_->Phase(), TRunPhase::Mesh);
    run_->Cancel();  // e.g. the mesh window's Cancel, inside a progress message
    run_->Cancel();  // already cancelling: the mesher is asked once
    EXPECT_TRUE(run_->Cancelling());
    std::ofstream(files.DataFile) << engineCommand_ << "\n";
    return TRunMeshOutcome{};
  };
  int ended = 0;
  run_->Observer.OnEnded = [&](const TRunResult&) { ++ended; };
  EXPECT_FALSE(run_->Start(document_));
  EXPECT_EQ(breaks, 1);
  EXPECT_EQ(ended, 1);
  const TRunResult& result = run_->Result();
  EXPECT_EQ(result.Stage, TRunStage::Mesh);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_FALSE(result.Succeeded);
  EXPECT_EQ(result.Errors, std::vector<std::string>{kRunCancelledMessage});
  EXPECT_EQ(run_->Engine(), nullptr);  // the data file of a cancelled mesher run is not used
  EXPECT_FALSE(run_->Running());
  EXPECT_TRUE(run_->Poll());
}

TEST_F(CalculationRunTest, RunsThatEndBeforeTheEngineEndInsideStart) {
  int ended = 0;
  run_->Observer.OnEnded = [&](const TRunResult&) { ++ended; };
  TVemtoFile unnamed;
  EXPECT_FALSE(run_->Start(unnamed));
  EXPECT_EQ(ended, 1);
  EXPECT_EQ(run_->Result().Stage, TRunStage::NotStarted);
  EXPECT_EQ(run_->Result().Errors.size(), 1u);
  EXPECT_TRUE(run_->Poll());
  EXPECT_EQ(run_->Finish().Stage, TRunStage::NotStarted);

  check_.Errors = {"No surfaces defined."};
  run_->Observer.ConfirmCheck = [](const TRunCheck&) { return false; };
  EXPECT_FALSE(run_->Start(document_));
  EXPECT_EQ(ended, 2);
  EXPECT_EQ(run_->Result().Stage, TRunStage::Check);
  EXPECT_TRUE(run_->Result().Errors.empty());
  EXPECT_FALSE(run_->Result().Cancelled);

  mesh_.Failed = true;
  mesh_.ErrorNumber = 1000;
  mesh_.ErrorText = "SUPERELEMENT 1 HAS NO NODES";
  int meshEnded = 0;
  run_->Observer.OnMeshEnded = [&](const TRunMeshOutcome& outcome) {
    ++meshEnded;
    EXPECT_TRUE(outcome.Failed);
  };
  check_.Errors.clear();
  run_->Unattended = true;
  EXPECT_FALSE(run_->Start(document_));
  EXPECT_EQ(ended, 3);
  EXPECT_EQ(meshEnded, 1);
  EXPECT_EQ(run_->Result().Stage, TRunStage::Mesh);
  EXPECT_EQ(run_->Result().Errors,
            std::vector<std::string>{"MESH ERROR : SUPERELEMENT 1 HAS NO NODES"});
  EXPECT_FALSE(run_->Running());
}

TEST_F(CalculationRunTest, ControlsOfAnIdleRunDoNothingAndAreNotRemembered) {
  run_->Pause();
  run_->Resume();
  run_->Cancel();
  EXPECT_FALSE(run_->Cancelling());
  EXPECT_FALSE(run_->Paused());
  EXPECT_TRUE(run_->Poll());
  const TRunResult result = run_->Execute(document_);
  EXPECT_TRUE(result.Succeeded);
  EXPECT_FALSE(result.Cancelled);
}

TEST_F(CalculationRunTest, TheEnginesErrorReachesTheObserverOnTheWorkerThread) {
  engineCommand_ = "error";
  const std::thread::id owner = std::this_thread::get_id();
  std::int32_t number = 0;
  std::string text;
  bool onWorker = false;
  run_->Observer.OnEngineError = [&](std::int32_t errorNumber, const std::string& errorText) {
    number = errorNumber;
    text = errorText;
    onWorker = std::this_thread::get_id() != owner;
  };
  const TRunResult result = run_->Execute(document_);
  EXPECT_NE(number, 0);
  EXPECT_EQ(text, "ELEMENT     3 HAS A NON-POSITIVE JACOBIAN");
  EXPECT_TRUE(onWorker);
  ASSERT_EQ(result.Errors.size(), 1u);
  EXPECT_EQ(result.Errors[0], "ENGINE ERROR : " + text);
}

TEST(CalculationRunWithLibraries, CancellingTheRealMesherEndsTheRunBeforeTheEngine) {
  const fs::path folder =
      fs::temp_directory_path() / ("vemto_run_mesher_cancel_" + std::to_string(::getpid()));
  fs::remove_all(folder);
  fs::create_directories(folder);
  const fs::path project = folder / "column.v3";
  fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / "column_axisymmetric.v3", project);
  TVemtoFile document;
  document.SetFileName(project.string());
  document.Load();

  TCalculationRun run(VEMTO_BIN_DIR);  // the mesher library of the build
  run.Unattended = true;
  int phases = 0;
  run.Observer.OnMeshInfo = [&](const std::string&) {
    if (++phases == 1) run.Cancel();  // the default step asks the mesher library to stop
  };
  bool engineStarted = false;
  run.Observer.OnEngineStarted = [&](TVemtoEngine&) { engineStarted = true; };
  const TRunResult result = run.Execute(document);
  EXPECT_GE(phases, 1);
  EXPECT_TRUE(result.Cancelled);
  EXPECT_FALSE(result.Succeeded);
  EXPECT_EQ(result.Stage, TRunStage::Mesh);
  EXPECT_FALSE(engineStarted);
  EXPECT_EQ(run.Engine(), nullptr);
  EXPECT_FALSE(run.Running());
  fs::remove_all(folder);
}
