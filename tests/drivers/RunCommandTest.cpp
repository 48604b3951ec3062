// vemto-cli run and check: the unattended calculation end to end and its failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "CliRunner.h"

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
