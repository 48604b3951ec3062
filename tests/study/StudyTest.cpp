// Studies: study files, their expansion and draws, and whole studies of the column
// example through vemto-cli (Monte-Carlo with two processes, a sweep with a failed run
// that is resumed, the same table with one and with two processes).
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "CliRunner.h"
#include "Study.h"

namespace fs = std::filesystem;
using vemto::test::Cli;
using vemto::test::CliOutcome;
using vemto::test::Shell;
namespace study = vemto::study;

namespace {

std::string Slurp(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

class StudyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vemto_study_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(Example(), folder_ / "column_axisymmetric.v3");
  }
  void TearDown() override { fs::remove_all(folder_); }
  static fs::path Example() {
    return fs::path(VEMTO_SOURCE_DIR) / "examples" / "column_axisymmetric.v3";
  }
  fs::path Write(const std::string& name, const std::string& text) {
    std::ofstream(folder_ / name) << text;
    return folder_ / name;
  }
  fs::path folder_;
};

constexpr const char* kSweep = R"({
  "project": "column_axisymmetric.v3",
  "interval": {"end": 24, "step": 4},
  "parameters": [
    {"vary": "casting_temperature", "values": [10, 20]},
    {"vary": "transfer_coefficient", "from": 5, "to": 10, "step": 5}
  ]
})";

}  // namespace

TEST_F(StudyTest, MonteCarloOfTheColumnWithTwentySamplesOnTwoProcesses) {
  const fs::path file = Write("mc.json", R"({
    "project": "column_axisymmetric.v3",
    "interval": {"end": 48, "step": 4},
    "monte_carlo": {"samples": 20, "seed": 11, "variables": [
      {"vary": "tensile_strength", "distribution": "normal", "cov": 0.3},
      {"vary": "casting_temperature", "distribution": "uniform", "mean": 15, "cov": 0.2}]}
  })");
  const CliOutcome first = Cli("study " + file.string() + " --local 2");
  ASSERT_EQ(first.status, 0) << first.output;
  const std::string csv = Slurp(folder_ / "mc" / "results.csv");
  std::istringstream lines(csv);
  std::string line;
  int rows = 0;
  std::getline(lines, line);
  EXPECT_EQ(line.rfind("run,tensile_strength_factor,casting_temperature,status,exit_status,", 0),
            0u);
  while (std::getline(lines, line)) {
    ++rows;
    EXPECT_NE(line.find(",ok,0,"), std::string::npos) << line;
  }
  EXPECT_EQ(rows, 20);
  // The probability per node is a share of 20 runs, inside its 95 % interval.
  const std::string vtu = Slurp(folder_ / "mc" / "crack_probability.vtu");
  for (const char* name :
       {"crack_probability", "crack_probability_low95", "crack_probability_high95"})
    EXPECT_NE(vtu.find(std::string("Name=\"") + name + "\""), std::string::npos) << name;
  EXPECT_NE(first.output.find("of 20 runs"), std::string::npos) << first.output;
  EXPECT_TRUE(fs::file_size(folder_ / "mc" / "crack_probability.png") > 1000);
  // Resumed: nothing to run again, the same table; the base project was only read.
  const CliOutcome again = Cli("study " + file.string() + " --local 2");
  EXPECT_EQ(again.status, 0) << again.output;
  EXPECT_NE(again.output.find("20 runs in"), std::string::npos);
  EXPECT_NE(again.output.find(", 0 to run"), std::string::npos) << again.output;
  EXPECT_EQ(Slurp(folder_ / "mc" / "results.csv"), csv);
  EXPECT_EQ(Slurp(folder_ / "column_axisymmetric.v3"), Slurp(Example()));
}

TEST_F(StudyTest, FailedRunIsListedThenResumedAndTablesAgreeForOneAndTwoProcesses) {
  const fs::path file = Write("sweep.json", kSweep);
  // A run whose files another run holds fails; the others complete.
  const fs::path held = folder_ / "sweep" / "run_0002";
  fs::create_directories(held);
  const CliOutcome failed =
      Shell("flock " + (held / "column_axisymmetric.lock").string() + " " + VEMTO_BIN_DIR +
            "/vemto-cli study " + file.string() + " --local 1");
  EXPECT_EQ(failed.status, 1) << failed.output;
  std::string csv = Slurp(folder_ / "sweep" / "results.csv");
  EXPECT_NE(csv.find("run_0002,10,10,failed,1,"), std::string::npos) << csv;
  EXPECT_NE(failed.output.find("run_0002 failed: "), std::string::npos) << failed.output;
  // The rerun does only the failed run.
  const CliOutcome resumed = Cli("study " + file.string() + " --local 1");
  EXPECT_EQ(resumed.status, 0) << resumed.output;
  EXPECT_NE(resumed.output.find("4 runs in"), std::string::npos);
  EXPECT_NE(resumed.output.find(", 1 to run"), std::string::npos) << resumed.output;
  csv = Slurp(folder_ / "sweep" / "results.csv");
  EXPECT_NE(csv.find("run_0001,10,5,ok,0,"), std::string::npos) << csv;
  EXPECT_NE(csv.find("run_0004,20,10,ok,0,"), std::string::npos) << csv;
  const CliOutcome two =
      Cli("study " + file.string() + " --local 2 --dir " + (folder_ / "two").string());
  EXPECT_EQ(two.status, 0) << two.output;
  EXPECT_EQ(Slurp(folder_ / "two" / "results.csv"), csv);
  // Collecting again alone gives the same table.
  EXPECT_EQ(Cli("study " + file.string() + " --collect").status, 0);
  EXPECT_EQ(Slurp(folder_ / "sweep" / "results.csv"), csv);
}

TEST_F(StudyTest, BadStudyFilesAreRefusedNamingFileAndDefect) {
  const std::pair<const char*, const char*> cases[] = {
      {"{ not json", "not valid JSON"},
      {R"({"parameters": []})", "\"project\""},
      {R"({"project": "column_axisymmetric.v3"})", "nothing to vary"},
      {R"({"project": "p.v3", "paramters": []})", "unknown key \"paramters\""},
      {R"({"project": "p.v3", "parameters": [{"vary": "colour", "values": [1]}]})",
       "parameters[0]: cannot vary \"colour\""},
      {R"({"project": "p.v3", "parameters": [{"vary": "cement_content", "from": 1, "to": 2, "step": 0}]})",
       "\"step\" > 0"},
      {R"({"project": "p.v3", "parameters": [{"vary": "removal_time", "values": [24]}]})",
       "needs \"material\""},
      {R"({"project": "p.v3", "parameters": [{"vary": "material_property", "property": 69, "values": [1]}]})",
       "from 1 to 68"},
      {R"({"project": "p.v3", "parameters": [{"vary": "cement_content", "values": [1, 2]}],
           "monte_carlo": {"samples": 5, "seed": 1, "variables": [{"vary": "modulus", "distribution": "normal", "cov": 0.1}]}})",
       "parameters with one value each"},
      {R"({"project": "p.v3", "monte_carlo": {"samples": 5, "seed": 1, "variables": [{"vary": "modulus", "distribution": "gauss", "cov": 0.1}]}})",
       "monte_carlo.variables[0]: \"distribution\""},
      {R"({"project": "p.v3", "monte_carlo": {"samples": 0, "seed": 1, "variables": []}})",
       "\"samples\""},
  };
  for (const auto& [text, expected] : cases) {
    const fs::path file = Write("bad.json", text);
    try {
      study::ReadStudy(file);
      ADD_FAILURE() << "accepted: " << text;
    } catch (const study::StudyError& e) {
      const std::string what = e.what();
      EXPECT_EQ(what.rfind(file.string() + ": ", 0), 0u) << what;
      EXPECT_NE(what.find(expected), std::string::npos) << what;
    }
  }
  // Through the command: a material the project does not have, before any run starts.
  const fs::path file = Write("nomaterial.json", R"({"project": "column_axisymmetric.v3",
    "parameters": [{"vary": "removal_time", "material": "Nope", "values": [24]}]})");
  const CliOutcome outcome = Cli("study " + file.string());
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.output.find("no material \"Nope\" in the project"), std::string::npos)
      << outcome.output;
  EXPECT_FALSE(fs::exists(folder_ / "nomaterial" / "run_0001"));
}

TEST(StudyExpansion, SweepIsEveryCombinationWithTheLastParameterFastest) {
  const fs::path file =
      fs::temp_directory_path() / ("vemto_sweep_" + std::to_string(::getpid()) + ".json");
  std::ofstream(file) << kSweep;
  const study::StudyDefinition s = study::ReadStudy(file);
  fs::remove(file);
  const auto runs = study::ExpandStudy(s);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(study::StudyColumns(s),
            (std::vector<std::string>{"casting_temperature", "transfer_coefficient"}));
  EXPECT_EQ(runs[1].values, (std::vector<double>{10, 10}));
  EXPECT_EQ(runs[2].values, (std::vector<double>{20, 5}));
  EXPECT_EQ(runs[3].name, "run_0004");
}

TEST(StudyDraws, SeededDrawsRepeatAndHaveTheirMeanAndScatter) {
  struct Case {
    study::Distribution d;
    double mean, cov;
  };
  for (const Case c :
       {Case{study::Distribution::Normal, 3.0, 0.2}, Case{study::Distribution::LogNormal, 3.0, 0.2},
        Case{study::Distribution::Uniform, 3.0, 0.2}}) {
    study::Sampler a(42), b(42);
    const int n = 40000;
    double sum = 0.0, squares = 0.0;
    for (int i = 0; i < n; ++i) {
      const double x = a.Draw(c.d, c.mean, c.cov);
      ASSERT_EQ(x, b.Draw(c.d, c.mean, c.cov));  // the same sequence for the same seed
      if (c.d == study::Distribution::Uniform) {
        ASSERT_LE(std::fabs(x - 3.0), std::sqrt(3.0) * 0.6);
      }
      sum += x;
      squares += x * x;
    }
    const double mean = sum / n, sd = std::sqrt(squares / n - mean * mean);
    // Tolerances: five standard errors of the mean and of the standard deviation.
    EXPECT_NEAR(mean, c.mean, 5 * 0.6 / std::sqrt(n));
    EXPECT_NEAR(sd, 0.6, 5 * 0.6 * 1.5 / std::sqrt(n));
  }
  // The 10000th output of mt19937_64 with its default seed 5489 is fixed by the C++
  // standard (9981545732273789042); the uniform is its top 53 bits shifted by half a unit.
  study::Sampler standard(5489);
  for (int i = 1; i < 10000; ++i) standard.Uniform();
  EXPECT_EQ(standard.Uniform(),
            (static_cast<double>(9981545732273789042ull >> 11) + 0.5) * 0x1.0p-53);
}

TEST(StudyDraws, WilsonIntervalMatchesTabulatedValues) {
  // 95 % Wilson score intervals (z = 1.96), to 1e-4.
  const study::Interval none = study::Wilson(0, 20), half = study::Wilson(10, 20),
                        all = study::Wilson(20, 20);
  EXPECT_NEAR(none.low, 0.0, 1e-12);
  EXPECT_NEAR(none.high, 0.1611, 1e-4);
  EXPECT_NEAR(half.low, 0.2993, 1e-4);
  EXPECT_NEAR(half.high, 0.7007, 1e-4);
  EXPECT_NEAR(all.low, 0.8389, 1e-4);
  EXPECT_NEAR(all.high, 1.0, 1e-12);
}

TEST_F(StudyTest, GnuParallelGivesTheTableOfLocalRuns) {
  if (Shell("parallel --version").status != 0) GTEST_SKIP() << "GNU parallel is not installed";
  const fs::path file = Write("sweep.json", kSweep);
  const fs::path hosts = Write("hosts", "2/:\n");  // ":" is this machine, two job slots
  const CliOutcome parallel = Cli("study " + file.string() + " --parallel " + hosts.string() +
                                  " --dir " + (folder_ / "parallel").string());
  ASSERT_EQ(parallel.status, 0) << parallel.output;
  ASSERT_EQ(Cli("study " + file.string() + " --local 2").status, 0);
  EXPECT_EQ(Slurp(folder_ / "parallel" / "results.csv"), Slurp(folder_ / "sweep" / "results.csv"));
}
