// Temperature and maturity input: a model run with simulation type 2 on the results of
// another run of the same section reproduces that run's stresses.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "CalculationRun.h"
#include "DataFileReader.h"
#include "RunLock.h"
#include "TempMatInput.h"
#include "VemtoFile.h"

namespace fs = std::filesystem;
using namespace vemto;

namespace {

int Cli(const std::string& arguments) {
  const std::string command =
      (fs::path(VEMTO_BIN_DIR) / "vemto-cli").string() + " " + arguments + " >/dev/null 2>&1";
  const int raw = std::system(command.c_str());
  return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

class TempMat : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vemto_tempmat_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path folder_;
};

}  // namespace

TEST_F(TempMat, SimulationOnAnotherRunsTemperaturesReproducesItsStresses) {
  const fs::path a = folder_ / "original.v3";
  fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / "column_axisymmetric.v3", a);
  ASSERT_EQ(Cli("run -q " + a.string()), 0);

  TVemtoFile b;
  b.SetFileName(a.string());
  b.Load();
  b.GeneralInfo.SimulationType = 2;
  b.SetFileName((folder_ / "taken.v3").string());
  b.Save();
  const TTempMatResult extracted =
      ExtractTemperatureMaturity(b, (folder_ / "original.out").string(), VEMTO_BIN_DIR, {});
  ASSERT_TRUE(extracted.Succeeded) << extracted.Error;
  ASSERT_EQ(Cli("run -q " + (folder_ / "taken.v3").string()), 0);

  numlib::DataFileReader original((folder_ / "original.out").string());
  numlib::DataFileReader taken((folder_ / "taken.out").string());
  const std::int64_t events = original.EventCount();
  ASSERT_GT(events, 0);
  ASSERT_EQ(taken.EventCount(), events);
  EXPECT_EQ(taken.Find(numlib::DataFileReader::EventName('T', 1)), nullptr);
  for (std::int64_t k : {events / 2 + 1, events}) {
    const auto s0 = original.ReadReals(numlib::DataFileReader::EventName('S', k));
    const auto s1 = taken.ReadReals(numlib::DataFileReader::EventName('S', k));
    ASSERT_EQ(s0.values.size(), s1.values.size());
    // Element means of the stresses: the taken run sees one temperature per element.
    double peak = 0.0, largestDifference = 0.0;
    for (std::int64_t e = 1; e <= s0.columns; ++e)
      for (int c = 1; c <= 4; ++c) {
        double m0 = 0.0, m1 = 0.0;
        for (int g = 0; g < 4; ++g) {
          m0 += 0.25 * s0(4 * g + c, e);
          m1 += 0.25 * s1(4 * g + c, e);
        }
        peak = std::max(peak, std::abs(m0));
        largestDifference = std::max(largestDifference, std::abs(m1 - m0));
      }
    EXPECT_GT(peak, 1e4);
    EXPECT_LT(largestDifference, 0.10 * peak) << "event " << k;
  }
}

TEST_F(TempMat, MissingOrUnsuitableResultsAreReported) {
  const fs::path a = folder_ / "model.v3";
  fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / "column_axisymmetric.v3", a);
  TVemtoFile document;
  document.SetFileName(a.string());
  document.Load();
  TTempMatResult result =
      ExtractTemperatureMaturity(document, (folder_ / "none.out").string(), VEMTO_BIN_DIR, {});
  EXPECT_FALSE(result.Succeeded);
  EXPECT_NE(result.Error.find("none.out"), std::string::npos) << result.Error;

  const fs::path junk = folder_ / "junk.out";
  {
    std::FILE* f = std::fopen(junk.c_str(), "wb");
    std::fputs("DATAFILE", f);
    std::fclose(f);
  }
  result = ExtractTemperatureMaturity(document, junk.string(), VEMTO_BIN_DIR, {});
  EXPECT_FALSE(result.Succeeded);
  EXPECT_NE(result.Error.find("junk.out"), std::string::npos) << result.Error;
  EXPECT_FALSE(fs::exists(folder_ / "model.dtm"));
  EXPECT_NE(Cli("tempmat " + a.string() + " " + junk.string()), 0);
}

TEST_F(TempMat, RefusedWhileARunOfTheSameProjectHoldsItsFiles) {
  const fs::path a = folder_ / "model.v3";
  fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / "column_axisymmetric.v3", a);
  fs::copy_file(a, folder_ / "other.out");  // any file: the lock is checked first
  TVemtoFile document;
  document.SetFileName(a.string());
  document.Load();
  const TRunLock running(DeriveRunFileNames(a.string()));
  const TTempMatResult result =
      ExtractTemperatureMaturity(document, (folder_ / "other.out").string(), VEMTO_BIN_DIR, {});
  EXPECT_FALSE(result.Succeeded);
  EXPECT_NE(result.Error.find("is already running: " + RunHolderDescription()), std::string::npos)
      << result.Error;
  EXPECT_FALSE(fs::exists(folder_ / "model.dat"));
}
