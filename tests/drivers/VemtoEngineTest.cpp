// The simulation component on its worker thread, against a stand-in engine library.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "ComputationLibrary.h"
#include "DriverError.h"
#include "VemtoEngine.h"

namespace fs = std::filesystem;
using vemto::TComputationLibrary;
using vemto::TDriverError;
using vemto::TVemtoEngine;

namespace {

const fs::path kStandIn = fs::path(VEMTO_BIN_DIR) / "libdrivers_standin_engine.so";

/// A fresh folder per test with the run's data file.
class EngineRun : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vemto_drivers_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  /// A component reading `command` from its data file.
  std::unique_ptr<TVemtoEngine> Make(const std::string& command,
                                     std::shared_ptr<TComputationLibrary> library = nullptr) {
    if (library == nullptr) library = Library();
    auto engine = std::make_unique<TVemtoEngine>(library);
    engine->Datafile = (folder_ / "model.dat").string();
    engine->Matrixfile = (folder_ / "model.out").string();
    engine->TempMatFile = (folder_ / "model.dtm").string();
    engine->Intervals = {{168.0, 2.0, 24.0}};
    engine->OnTerminate = [this](TVemtoEngine&) { ++terminated_; };
    std::ofstream(engine->Datafile) << command << "\n";
    return engine;
  }

  static std::shared_ptr<TComputationLibrary> Library() {
    static std::shared_ptr<TComputationLibrary> library = TComputationLibrary::Load(kStandIn);
    return library;
  }

  template <typename F>
  F Get(const TComputationLibrary& library, const char* name) {
    return reinterpret_cast<F>(library.RequiredSymbol(name));
  }

  /// Sets the stand-in's message count to 0; call before Execute.
  void ResetMessages(const TComputationLibrary& library) {
    Get<void (*)()>(library, "standin_reset")();
  }

  /// Waits (bounded) until the stand-in has begun `count` time-step and working
  /// messages (a message held by a pause counts as begun).
  bool AwaitMessagesBegun(const TComputationLibrary& library, std::int32_t count) {
    auto begun = Get<std::int32_t (*)()>(library, "standin_messages_begun");
    for (int i = 0; i < 20000 && begun() < count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return begun() >= count;
  }

  fs::path folder_;
  int terminated_ = 0;
};

}  // namespace

TEST_F(EngineRun, NormalRunPassesIntervalsInSecondsAndFileNames) {
  auto engine = Make("run 5");
  engine->Memory = 123456;
  std::string finished;
  std::vector<std::string> infos;
  engine->Monitor.OnInfo = [&](const std::string& t) { infos.push_back(t); };
  engine->Monitor.OnFinished = [&](const std::string& t) { finished = t; };
  engine->Execute();
  EXPECT_TRUE(engine->Running());
  engine->Wait();
  EXPECT_FALSE(engine->Running());
  EXPECT_EQ(terminated_, 1);
  EXPECT_FALSE(engine->Failed());
  EXPECT_FALSE(engine->Cancelled());
  EXPECT_FALSE(engine->ForcedShutdown());
  EXPECT_EQ(engine->Position(), 5);
  EXPECT_EQ(finished, "COMPUTATION FINISHED");
  ASSERT_EQ(infos.size(), 1u);
  EXPECT_EQ(infos[0], "CREATING MATRICES");  // leading blank trimmed

  auto& lib = *Library();
  EXPECT_EQ(Get<std::int32_t (*)()>(lib, "standin_interval_count")(), 1);
  auto interval = Get<double (*)(std::int32_t)>(lib, "standin_interval");
  EXPECT_DOUBLE_EQ(interval(0), 168.0 * 3600.0);
  EXPECT_DOUBLE_EQ(interval(1), 2.0 * 3600.0);
  EXPECT_DOUBLE_EQ(interval(2), 24.0 * 3600.0);
  EXPECT_EQ(Get<std::int32_t (*)()>(lib, "standin_memory")(), 123456);
  char name[256];
  auto file = Get<void (*)(std::int32_t, char*)>(lib, "standin_file");
  file(0, name);
  EXPECT_EQ(std::string(name), engine->Datafile);
  file(1, name);
  EXPECT_EQ(std::string(name), engine->Matrixfile);
  file(2, name);
  EXPECT_EQ(std::string(name), engine->TempMatFile);
}

// The per-row working messages reach a handler set when the run starts, and go no
// further without one (a pause still holds the worker in them: see below).
TEST_F(EngineRun, WorkingMessagesReachTheirHandlerWhenThereIsOne) {
  for (const bool withHandler : {true, false}) {
    auto engine = Make("run 5");
    int working = 0;
    if (withHandler) engine->Monitor.OnWorking = [&] { ++working; };
    engine->Execute();
    engine->Wait();
    EXPECT_FALSE(engine->Failed());
    EXPECT_EQ(engine->Position(), 5);
    EXPECT_EQ(working, withHandler ? 5 : 0);
  }
}

TEST(IntervalArray, HoursBecomeSecondsIntervalAfterInterval) {
  const auto seconds = vemto::IntervalArraySeconds({{168.0, 2.0, 24.0}, {200.0, 0.5, 8.0}});
  ASSERT_EQ(seconds.size(), 6u);
  const double expected[] = {604800.0, 7200.0, 86400.0, 720000.0, 1800.0, 28800.0};
  for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(seconds[i], expected[i]) << i;
}

TEST_F(EngineRun, SeveralIntervalsAndAnotherRunAfterTheFirst) {
  auto engine = Make("run 2");
  engine->Intervals = {{24.0, 1.0, 6.0}, {48.0, 2.0, 12.0}, {96.0, 4.0, 24.0}};
  engine->Execute();
  engine->Wait();
  EXPECT_EQ(Get<std::int32_t (*)()>(*Library(), "standin_interval_count")(), 3);
  EXPECT_DOUBLE_EQ(Get<double (*)(std::int32_t)>(*Library(), "standin_interval")(7), 4.0 * 3600);
  engine->Execute();  // the component and the library are free again
  engine->Wait();
  EXPECT_EQ(terminated_, 2);
  EXPECT_EQ(engine->Position(), 2);
}

TEST_F(EngineRun, EngineErrorSetsFailedAndKeepsTheFirstErrorText) {
  auto engine = Make("error");
  std::vector<std::int32_t> errors;
  std::string textInHandler;
  engine->OnError = [&](TVemtoEngine& sender, std::int32_t code) {
    errors.push_back(code);
    textInHandler = sender.ErrorText();
  };
  engine->Execute();
  engine->Wait();
  EXPECT_TRUE(engine->Failed());
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], 1000);
  EXPECT_EQ(engine->ErrorNumber(), 1000);
  EXPECT_EQ(engine->ErrorText(), "ELEMENT     3 HAS A NON-POSITIVE JACOBIAN");
  EXPECT_EQ(textInHandler, engine->ErrorText());
  EXPECT_EQ(terminated_, 1);
}

TEST_F(EngineRun, MissingDataFileIsReportedAsTheEnginesError) {
  auto engine = Make("run 1");
  fs::remove(engine->Datafile);
  engine->Execute();
  engine->Wait();
  EXPECT_TRUE(engine->Failed());
  EXPECT_EQ(engine->ErrorNumber(), 1003);
  EXPECT_EQ(engine->ErrorText(), "COULD NOT OPEN INPUT FILE.");
  // A later run starts with Failed cleared.
  std::ofstream(engine->Datafile) << "run 1\n";
  engine->Execute();
  engine->Wait();
  EXPECT_FALSE(engine->Failed());
  EXPECT_EQ(engine->ErrorNumber(), 0);
}

TEST_F(EngineRun, CancellationEndsTheRunWithinTheTimeoutAndKeepsTheFiles) {
  auto engine = Make("run 100000 1");
  engine->Monitor.OnTimeStep = [&](std::int32_t step) {
    if (step == 5) engine->RequestCancel();
  };
  bool finishedSeen = false;
  engine->Monitor.OnFinished = [&](const std::string&) { finishedSeen = true; };
  engine->Execute();
  engine->Wait();
  EXPECT_TRUE(engine->Cancelled());
  EXPECT_FALSE(engine->ForcedShutdown());
  EXPECT_FALSE(engine->Failed());
  EXPECT_FALSE(finishedSeen);
  EXPECT_EQ(engine->Position(), 5);
  EXPECT_EQ(terminated_, 1);
  EXPECT_TRUE(fs::exists(engine->Datafile));
  EXPECT_TRUE(fs::exists(engine->Matrixfile));
}

TEST_F(EngineRun, PauseHoldsTheWorkerAndIsIdempotent) {
  auto engine = Make("run 8");
  engine->Monitor.OnTimeStep = [&](std::int32_t step) {
    if (step == 3) {
      engine->Pause();
      engine->Pause();  // a second pause changes nothing
    }
  };
  ResetMessages(*Library());
  engine->Execute();
  // Time step 3 is message 5; the working message 6 after it is sent but held.
  ASSERT_TRUE(AwaitMessagesBegun(*Library(), 6));
  EXPECT_TRUE(engine->Paused());
  EXPECT_EQ(engine->Position(), 3);
  EXPECT_FALSE(engine->Poll());
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(engine->Position(), 3);
  engine->Resume();  // one resume is enough after two pauses
  EXPECT_FALSE(engine->Paused());
  engine->Wait();
  EXPECT_EQ(engine->Position(), 8);
  EXPECT_FALSE(engine->Cancelled());
  EXPECT_EQ(terminated_, 1);
}

TEST_F(EngineRun, ResumeWithoutPauseDoesNothing) {
  auto engine = Make("run 4");
  engine->Monitor.OnTimeStep = [&](std::int32_t) { engine->Resume(); };
  engine->Resume();  // idle: nothing happens
  engine->Execute();
  engine->Resume();
  engine->Wait();
  EXPECT_FALSE(engine->Paused());
  EXPECT_EQ(engine->Position(), 4);
  EXPECT_FALSE(engine->Cancelled());
}

TEST_F(EngineRun, CancelWhilePausedLetsTheWorkerSeeTheRequest) {
  auto engine = Make("run 1000");
  engine->ShutdownTimeout = std::chrono::hours(1);  // must end without the forced stop
  engine->Monitor.OnTimeStep = [&](std::int32_t step) {
    if (step == 2) engine->Pause();
  };
  ResetMessages(*Library());
  engine->Execute();
  ASSERT_TRUE(AwaitMessagesBegun(*Library(), 4));  // held at the working message of step 2
  EXPECT_TRUE(engine->Paused());
  EXPECT_EQ(engine->Position(), 2);
  engine->RequestCancel();
  EXPECT_FALSE(engine->Paused());
  engine->Wait();
  EXPECT_TRUE(engine->Cancelled());
  EXPECT_FALSE(engine->ForcedShutdown());
  EXPECT_EQ(engine->Position(), 3);
  EXPECT_TRUE(fs::exists(engine->Matrixfile));
}

TEST_F(EngineRun, ForcedStopParksTheWorkerAndDeletesDataAndResults) {
  // A private copy of the library: the parked thread keeps it for good.
  const fs::path copy = folder_ / "libstandin_copy.so";
  fs::copy_file(kStandIn, copy);
  auto library = TComputationLibrary::Load(copy);
  auto engine = Make("stubborn", library);
  engine->ShutdownTimeout = std::chrono::milliseconds(50);
  engine->Monitor.OnTimeStep = [&](std::int32_t step) {
    if (step == 2) engine->RequestCancel();
  };
  engine->Execute();
  engine->Wait();
  EXPECT_TRUE(engine->ForcedShutdown());
  EXPECT_TRUE(engine->Cancelled());
  EXPECT_FALSE(engine->Running());
  EXPECT_EQ(terminated_, 1);
  EXPECT_FALSE(fs::exists(engine->Datafile));
  EXPECT_FALSE(fs::exists(engine->Matrixfile));
  EXPECT_TRUE(library->Abandoned());
  // The parked thread sends no further message to the component.
  const std::int32_t position = engine->Position();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(engine->Position(), position);
  // The library's module state is still held: a new run is refused with a message.
  std::ofstream(engine->Datafile) << "run 1\n";
  EXPECT_THROW(engine->Execute(), TDriverError);
  EXPECT_FALSE(engine->Running());
  EXPECT_EQ(std::string(vemto::kForcedShutdownMessage).find('\r'), 43u);
}

TEST_F(EngineRun, ExecuteRefusesBadIntervalsAndASecondRun) {
  auto engine = Make("run 200 1");
  engine->Intervals = {{168.0, 0.0, 24.0}};
  EXPECT_THROW(engine->Execute(), TDriverError);
  engine->Intervals = {{168.0, 2.0, -1.0}};
  EXPECT_THROW(engine->Execute(), TDriverError);
  engine->Intervals = {{std::nan(""), 2.0, 24.0}};
  EXPECT_THROW(engine->Execute(), TDriverError);
  EXPECT_FALSE(engine->Running());
  engine->Intervals = {{168.0, 2.0, 24.0}};
  engine->Execute();  // the refused attempts did not hold the library
  EXPECT_THROW(engine->Execute(), TDriverError);
  // A second component on the same library is refused while the first runs.
  auto other = Make("run 1");
  EXPECT_THROW(other->Execute(), TDriverError);
  engine->RequestCancel();
  engine->Wait();
  EXPECT_EQ(terminated_, 1);
}

TEST_F(EngineRun, DestroyingARunningComponentCancelsAndWaits) {
  auto engine = Make("run 100000 1");
  ResetMessages(*Library());
  engine->Execute();
  ASSERT_TRUE(AwaitMessagesBegun(*Library(), 3));
  engine.reset();  // must neither hang nor leave the worker touching freed memory
  auto again = Make("run 1");
  again->Execute();  // the library was released
  again->Wait();
  EXPECT_EQ(again->Position(), 1);
}

TEST_F(EngineRun, AFailingDisplayStopsTheRunInsteadOfUnwindingThroughTheEngine) {
  auto engine = Make("run 100000");
  engine->Monitor.OnTimeStep = [](std::int32_t step) {
    if (step == 3) throw std::runtime_error("display gone");
  };
  engine->Execute();
  engine->Wait();
  EXPECT_TRUE(engine->Failed());
  EXPECT_EQ(engine->Position(), 3);
}

TEST(ComputationLibrary, LoadFailuresNameTheFile) {
  try {
    TComputationLibrary::Load("/nonexistent/libengine.so");
    FAIL() << "no exception";
  } catch (const TDriverError& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/libengine.so"), std::string::npos);
  }
  // A library without the progress channel is refused.
  const fs::path mathLib = "/usr/lib/x86_64-linux-gnu/libm.so.6";
  if (fs::exists(mathLib)) {
    EXPECT_THROW(TComputationLibrary::Load(mathLib), TDriverError);
  }
}
