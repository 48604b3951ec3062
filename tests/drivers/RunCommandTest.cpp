// vemto-cli run and check: the unattended calculation end to end and its failures.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "CalculationRun.h"
#include "CliRunner.h"
#include "VemtoFile.h"
#include "VemtoInterval.h"
#include "VemtoLogic.h"

namespace fs = std::filesystem;

namespace {

using Outcome = vemto::test::CliOutcome;
using vemto::test::Cli;

class RunCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("vemto_cli_run_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  fs::path Example(const std::string& name) {
    const fs::path target = folder_ / name;
    fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / name, target);
    return target;
  }
  fs::path folder_;
};

}  // namespace

TEST_F(RunCommand, RunsAnExampleFromProjectToResults) {
  const fs::path model = Example("column_axisymmetric.v3");
  const Outcome outcome = Cli("run -q " + model.string());
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_TRUE(fs::exists(folder_ / "column_axisymmetric.dat"));
  EXPECT_TRUE(fs::exists(folder_ / "column_axisymmetric.lst"));
  ASSERT_TRUE(fs::exists(folder_ / "column_axisymmetric.out"));
  EXPECT_GT(fs::file_size(folder_ / "column_axisymmetric.out"), 1000u);
}

TEST_F(RunCommand, DamagedOrMissingProjectsFailWithTheirName) {
  Outcome outcome = Cli("run " + (folder_ / "missing.v3").string());
  EXPECT_NE(outcome.status, 0);
  EXPECT_NE(outcome.output.find("missing.v3"), std::string::npos) << outcome.output;

  const fs::path model = Example("wall_on_slab.v3");
  const auto size = fs::file_size(model);
  fs::resize_file(model, size / 2);  // truncated
  outcome = Cli("run " + model.string());
  EXPECT_NE(outcome.status, 0);
  EXPECT_NE(outcome.output.find("wall_on_slab.v3"), std::string::npos) << outcome.output;
  EXPECT_EQ(fs::file_size(model), size / 2);  // left as it was
  EXPECT_FALSE(fs::exists(folder_ / "wall_on_slab.dat"));

  std::ofstream(folder_ / "garbage.v3") << "not a compound file";
  outcome = Cli("check " + (folder_ / "garbage.v3").string());
  EXPECT_NE(outcome.status, 0);
  EXPECT_NE(outcome.output.find("garbage.v3"), std::string::npos) << outcome.output;
}

TEST_F(RunCommand, CheckPrintsTheModelCheck) {
  const fs::path model = Example("wall_on_slab.v3");
  const Outcome outcome = Cli("check " + model.string());
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_FALSE(outcome.output.empty());
}

TEST_F(RunCommand, RunOnlyChangesLeaveTheProjectFileAlone) {
  const fs::path model = Example("column_axisymmetric.v3");
  std::ifstream before(model, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(before)), {});
  const Outcome outcome =
      Cli("run -q " + model.string() + " --casting-temperature 12.5 --interval 24,2,12");
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  std::ifstream after(model, std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), bytes);
  // One interval of 24 h in 2 h steps: 12 steps in the analysis data file's header.
  std::ifstream dat(folder_ / "column_axisymmetric.dat");
  std::string title, header;
  std::getline(dat, title);
  std::getline(dat, header);
  std::istringstream fields(header);
  int analysisType = 0, steps = 0;
  fields >> analysisType >> steps;
  EXPECT_EQ(steps, 12) << header;

  EXPECT_EQ(Cli("run " + model.string() + " --refine 0").status, 2);
  EXPECT_EQ(Cli("run " + model.string() + " --memory -5").status, 2);
  EXPECT_NE(Cli("run " + model.string() + " --interval 24,2").status, 0);
}

TEST_F(RunCommand, RunRefusesAModelWhoseCheckFindsErrors) {
  const fs::path model = Example("column_axisymmetric.v3");
  // A storage step shorter than the time step is a check error.
  const Outcome outcome = Cli("run -q " + model.string() + " --interval 24,2,1");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.output.find("Model check: Storage step less than the timestep."),
            std::string::npos)
      << outcome.output;
  EXPECT_NE(outcome.output.find(vemto::kCheckErrorsMessage), std::string::npos);
  EXPECT_FALSE(fs::exists(folder_ / "column_axisymmetric.dat"));
}

TEST_F(RunCommand, MeshNamesItsFilesAsRunDoes) {
  fs::copy_file(Example("wall_on_slab.v3"), folder_ / "WALL.V3");
  const Outcome outcome = Cli("mesh " + (folder_ / "WALL.V3").string());
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_TRUE(fs::exists(folder_ / "WALL.dat"));
  EXPECT_TRUE(fs::exists(folder_ / "WALL.lst"));
  EXPECT_FALSE(fs::exists(folder_ / "WALL.V3.dat"));
  EXPECT_FALSE(fs::exists(folder_ / "WALL.lock"));
}

TEST_F(RunCommand, RefineKeepsInfiniteElementsAndSizesTheWorkArrays) {
  // Work arrays just large enough for the models as they are: the refined runs need more.
  for (const char* name : {"wall_on_slab.v3", "slab_cooling_pipes.v3"}) {
    SCOPED_TRACE(name);
    vemto::TVemtoFile document;
    document.SetFileName(Example(name).string());
    document.Load();
    document.MeshMemory = document.EngineMemory = 100000;
    document.Save();
    const Outcome outcome = Cli("run -q " + document.FileName + " --refine 3 --interval 1,1,1");
    EXPECT_EQ(outcome.status, 0) << outcome.output;
  }
}

TEST_F(RunCommand, RefiningAroundCoolingPipesKeepsThePipesInsideTheirElements) {
  // Ten times the divisions would make the elements around the pipe as small as the pipe:
  // the model is refined only as far as the pipe still fits, and the run says so.
  const fs::path model = Example("slab_cooling_pipes.v3");
  const Outcome outcome = Cli("run -q " + model.string() + " --refine 10 --interval 1,1,1");
  EXPECT_EQ(outcome.status, 0) << outcome.output;
  EXPECT_NE(outcome.output.find("--refine 10: refined 6 times only"), std::string::npos)
      << outcome.output;
}

TEST_F(RunCommand, ExitStatusesFollowOneRule) {
  const std::string missing = (folder_ / "missing.v3").string();
  struct Case {
    std::string arguments;
    int status;
    std::string says;  // part of the output
  } cases[] = {
      {"--help", 0, "Subcommands"},
      {"", 2, "subcommand"},
      {"frobnicate " + missing, 2, "unknown subcommand \"frobnicate\""},
      {"run", 2, "MODEL"},
      {"run " + missing + " --no-such-option", 2, "no-such-option"},
      {"run " + missing, 1, "missing.v3"},
      {"mesh " + missing, 1, "missing.v3"},
      {"check " + missing, 1, "missing.v3"},
      {"results missing.out --list", 1, "missing.out"},
      {"results missing.out --csv T", 2, "--time"},
      {"results missing.out", 2, "--summary"},  // every mode is listed
      {"simulate a.dat b.out --interval 1,0,1", 2, "positive"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Cli(c.arguments);
    EXPECT_EQ(outcome.status, c.status) << c.arguments << "\n" << outcome.output;
    EXPECT_NE(outcome.output.find(c.says), std::string::npos) << c.arguments << "\n"
                                                              << outcome.output;
  }
  const Outcome modes = Cli("results missing.out");
  for (const char* mode : {"--list", "--csv", "--vtu", "--history"})
    EXPECT_NE(modes.output.find(mode), std::string::npos) << mode;
}

TEST_F(RunCommand, TheCheckSizesTheEngineWorkArrayAsTheEngineDoes) {
  // The engine reports the words it used (VEMTO_TIMINGS): the check's figure is exactly
  // what the run needs, and one word less is a check error before anything is meshed.
  for (const char* name : {"column_axisymmetric.v3", "wall_on_slab.v3", "slab_cooling_pipes.v3"}) {
    SCOPED_TRACE(name);
    vemto::TVemtoFile document;
    document.SetFileName(Example(name).string());
    document.Load();
    document.Intervals.clear();
    document.Intervals.push_back(
        std::make_unique<vemto::TVemtoInterval>(document.GeneralInfo.InitialTime + 3.0, 1.0, 1.0));
    const std::int64_t words = vemto::ModelMemoryNeed(document).Engine;
    document.EngineMemory = static_cast<std::int32_t>(words);
    document.Save();
    const Outcome outcome =
        vemto::test::Shell("VEMTO_TIMINGS=1 " + (fs::path(VEMTO_BIN_DIR) / "vemto-cli").string() +
                           " run " + document.FileName);
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    // All but the next free word, which lies inside the array.
    EXPECT_NE(outcome.output.find(fmt::format("WORK ARRAY: {} OF {} WORDS USED", words - 1, words)),
              std::string::npos)
        << outcome.output;
    document.EngineMemory = static_cast<std::int32_t>(words - 1);
    vemto::TVemtoLogic check;
    check.CheckModel(document);
    ASSERT_EQ(check.Errors.size(), 1u);
    EXPECT_NE(check.Errors[0].find("too large for the engine memory"), std::string::npos);
  }
}
