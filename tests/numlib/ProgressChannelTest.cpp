#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "ModuleState.h"
#include "VemtoListener.h"

namespace numlib {
namespace {

using ::testing::ElementsAre;

// A receiver that fetches the text through the exported function while handling
// each message, as the program's window does.
struct Received {
  int message;
  std::intptr_t lParam;
  std::string raw;  // all 255 bytes
};

struct Receiver {
  std::vector<Received> got;
  VemtoListener listener{&Receiver::Send, this};
  static void Send(void* context, int message, std::intptr_t lParam) {
    char buffer[256];
    IO_FUNC_mp_vemto_getinfotext(buffer);
    buffer[255] = '\0';
    static_cast<Receiver*>(context)->got.push_back({message, lParam, std::string(buffer, 255)});
  }
};

class ProgressChannelTest : public ::testing::Test {
 protected:
  void SetUp() override { IO_FUNC_mp_vemto_init(&receiver_.listener); }
  void TearDown() override { IO_FUNC_mp_vemto_init(nullptr); }
  ProgressChannel& Channel() { return Module().channel; }
  Receiver receiver_;
};

TEST_F(ProgressChannelTest, InformationTextEndsWithAZeroByte) {
  Channel().SendInfo("WRITING INPUT DATA TO FILE");
  ASSERT_EQ(receiver_.got.size(), 1u);
  const Received& r = receiver_.got[0];
  EXPECT_EQ(r.message, 2025);
  EXPECT_EQ(r.lParam, 0);
  EXPECT_EQ(r.raw.substr(0, 27), std::string("WRITING INPUT DATA TO FILE") + '\0');
  EXPECT_EQ(r.raw.substr(27), std::string(255 - 27, ' '));  // blank fill behind it
  EXPECT_EQ(ProgressChannel::TrimmedText(r.raw.data()), "WRITING INPUT DATA TO FILE");

  Channel().SendFinished("MESHING FINISHED.");
  EXPECT_EQ(receiver_.got[1].message, 2027);
  EXPECT_EQ(receiver_.got[1].raw[17], '\0');
  EXPECT_EQ(ProgressChannel::TrimmedText(receiver_.got[1].raw.data()), "MESHING FINISHED.");
}

TEST_F(ProgressChannelTest, ErrorLineIsBlankPaddedWithoutZeroByte) {
  EXPECT_FALSE(Channel().ErrorReported());
  Channel().SendError(1000, " GENERAL INFORMATION NOT DEFINED");
  EXPECT_TRUE(Channel().ErrorReported());
  ASSERT_EQ(receiver_.got.size(), 1u);
  const Received& r = receiver_.got[0];
  EXPECT_EQ(r.message, 2026);
  EXPECT_EQ(r.lParam, 1000);
  EXPECT_EQ(r.raw, " GENERAL INFORMATION NOT DEFINED" + std::string(255 - 32, ' '));
  EXPECT_EQ(r.raw.find('\0'), std::string::npos);
  EXPECT_EQ(ProgressChannel::TrimmedText(r.raw.data()), " GENERAL INFORMATION NOT DEFINED");
}

TEST_F(ProgressChannelTest, TimeStepAndWorkingTexts) {
  Channel().SendTimeStep();
  Channel().SendWorking();
  ASSERT_EQ(receiver_.got.size(), 2u);
  EXPECT_EQ(receiver_.got[0].message, 2028);
  EXPECT_EQ(receiver_.got[1].message, 2029);
  for (const Received& r : receiver_.got) {
    EXPECT_EQ(r.lParam, 0);
    EXPECT_EQ(r.raw, "TIMESTEP" + std::string(247, ' '));
  }
}

TEST_F(ProgressChannelTest, OverlongTextsAreCutAt255Characters) {
  const std::string longText(300, 'X');
  Channel().SendInfo(longText);  // no room for the zero byte
  Channel().SendError(1000, longText);
  for (const Received& r : receiver_.got) EXPECT_EQ(r.raw, std::string(255, 'X'));
  // A shorter text after a longer one leaves no remains of it.
  Channel().SendInfo("AB");
  EXPECT_EQ(ProgressChannel::TrimmedText(receiver_.got.back().raw.data()), "AB");
  EXPECT_EQ(receiver_.got.back().raw.substr(3), std::string(252, ' '));
}

TEST_F(ProgressChannelTest, WithoutListenerTextsAreStillPlaced) {
  IO_FUNC_mp_vemto_init(nullptr);
  Channel().SendInfo("REARRANGING SUPER ELEMENTS");
  EXPECT_TRUE(receiver_.got.empty());
  EXPECT_EQ(ProgressChannel::TrimmedText(Channel().InfoText().data()),
            "REARRANGING SUPER ELEMENTS");
  // A listener without a send function is treated as none.
  VemtoListener mute{nullptr, nullptr};
  IO_FUNC_mp_vemto_init(&mute);
  Channel().SendError(1002, " PROBLEM TOO LARGE.");
  EXPECT_TRUE(Channel().ErrorReported());
  // getinfotext with no buffer does nothing.
  IO_FUNC_mp_vemto_getinfotext(nullptr);
}

TEST_F(ProgressChannelTest, FlagsPersistUntilTheNextRegistration) {
  IO_FUNC_mp_vemto_break();
  Channel().SendError(1000, " X");
  EXPECT_TRUE(Channel().BreakRequested());
  EXPECT_TRUE(Channel().ErrorReported());
  Channel().SendInfo("next phase");  // sending does not clear them
  EXPECT_TRUE(Channel().BreakRequested());
  EXPECT_TRUE(Channel().ErrorReported());
  IO_FUNC_mp_vemto_init(&receiver_.listener);
  EXPECT_FALSE(Channel().BreakRequested());
  EXPECT_FALSE(Channel().ErrorReported());
}

TEST_F(ProgressChannelTest, BreakFromAnotherThreadIsSeenByTheWorker) {
  std::atomic<bool> started{false};
  std::thread worker([&] {
    started = true;
    while (!Channel().BreakRequested()) Channel().SendWorking();
  });
  while (!started) std::this_thread::yield();
  IO_FUNC_mp_vemto_break();
  worker.join();
  EXPECT_TRUE(Channel().BreakRequested());
}

TEST_F(ProgressChannelTest, FieldTextOfFixedBuffers) {
  char field[256];
  std::memset(field, ' ', 255);
  std::memcpy(field, "model.dat", 9);
  field[255] = 'Z';  // beyond the 255 used characters
  EXPECT_EQ(FieldText(field), "model.dat");
  char zeroed[256] = "a b.dat";
  EXPECT_EQ(FieldText(zeroed), "a b.dat");
  char blanks[256];
  std::memset(blanks, ' ', sizeof blanks);
  EXPECT_EQ(FieldText(blanks), "");
}

// The guard of an entry point.
class RunGuardedTest : public ProgressChannelTest {};

TEST_F(RunGuardedTest, FatalStopBecomesAnErrorMessageAndEverythingIsReleased) {
  const auto path =
      std::filesystem::temp_directory_path() / ("numlib_guard_" + std::to_string(::getpid()));
  const bool ok = RunGuarded(1000, 1002, [&](ModuleState& m) {
    m.storage.Allocate(1000);
    m.storage.DefineMatrix("A", 10, 1, MatrixType::Real);
    m.files.OpenDataFile(5, path.string());
    throw FatalStop(" ARRAY B        NOT DEFINED");
  });
  EXPECT_FALSE(ok);
  EXPECT_FALSE(Module().files.IsOpen(5));
  EXPECT_EQ(Module().storage.Control().TotalWords, 0);
  EXPECT_EQ(Module().storage.Find("A"), 0);
  ASSERT_EQ(receiver_.got.size(), 1u);
  EXPECT_EQ(receiver_.got[0].message, 2026);
  EXPECT_EQ(receiver_.got[0].lParam, 1000);
  EXPECT_EQ(ProgressChannel::TrimmedText(receiver_.got[0].raw.data()),
            " ARRAY B        NOT DEFINED");
  EXPECT_TRUE(Channel().ErrorReported());
  std::filesystem::remove(path);
}

TEST_F(RunGuardedTest, CodesOfTheDifferentExceptions) {
  EXPECT_FALSE(RunGuarded(1000, 1002, [](ModuleState&) { throw FatalStop(" NO", 1003); }));
  EXPECT_FALSE(RunGuarded(1000, 1002, [](ModuleState&) { throw std::bad_alloc(); }));
  EXPECT_FALSE(RunGuarded(1000, 1002, [](ModuleState&) { throw std::runtime_error("boom"); }));
  EXPECT_FALSE(RunGuarded(1000, 1002, [](ModuleState&) { throw 42; }));
  ASSERT_EQ(receiver_.got.size(), 4u);
  EXPECT_EQ(receiver_.got[0].lParam, 1003);
  EXPECT_EQ(receiver_.got[1].lParam, 1002);
  EXPECT_EQ(ProgressChannel::TrimmedText(receiver_.got[1].raw.data()), " PROBLEM TOO LARGE.");
  EXPECT_EQ(receiver_.got[2].lParam, 1000);
  EXPECT_EQ(ProgressChannel::TrimmedText(receiver_.got[2].raw.data()), " INTERNAL ERROR: boom");
  EXPECT_EQ(receiver_.got[3].lParam, 1000);
}

TEST_F(RunGuardedTest, NormalEndSendsNothingOfItsOwn) {
  EXPECT_TRUE(RunGuarded(1000, 1002, [](ModuleState& m) {
    m.storage.Allocate(100);
    m.channel.SendFinished("MESHING FINISHED.");
  }));
  ASSERT_EQ(receiver_.got.size(), 1u);
  EXPECT_EQ(receiver_.got[0].message, 2027);
  EXPECT_EQ(Module().storage.Control().TotalWords, 0);
  EXPECT_FALSE(Channel().ErrorReported());
}

}  // namespace
}  // namespace numlib
