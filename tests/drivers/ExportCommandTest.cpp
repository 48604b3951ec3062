// vemto-cli results --vtu / --history / --summary on the results of an example run;
// the ParaView files are read back with meshio.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "DataFileReader.h"
#include "ResultReader.h"

#include "CliRunner.h"

namespace fs = std::filesystem;

namespace {

using Outcome = vemto::test::CliOutcome;
using vemto::test::Shell;

std::string Cli() {
  return (fs::path(VEMTO_BIN_DIR) / "vemto-cli").string() + " ";
}

/// One run of the column example shared by the tests of this file.
class Export : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = fs::temp_directory_path() / ("vemto_export_" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / "column_axisymmetric.v3",
                  folder_ / "column.v3");
    fs::copy_file(fs::path(VEMTO_SOURCE_DIR) / "examples" / "wall_on_slab.v3", folder_ / "wall.v3");
    runStatus_ = std::max(Shell(Cli() + "run -q " + (folder_ / "column.v3").string()).status,
                          Shell(Cli() + "run -q " + (folder_ / "wall.v3").string()).status);
  }
  static void TearDownTestSuite() { fs::remove_all(folder_); }
  void SetUp() override { ASSERT_EQ(runStatus_, 0); }
  static std::string Out() { return (folder_ / "column.out").string(); }
  static std::string Wall() { return (folder_ / "wall.out").string(); }

  static inline fs::path folder_;
  static inline int runStatus_ = -1;
};

}  // namespace

TEST_F(Export, ParaViewFilesReadBackWithMeshio) {
  const fs::path vtu = folder_ / "vtu";
  const Outcome exported = Shell(Cli() + "results " + Out() + " --vtu " + vtu.string());
  ASSERT_EQ(exported.status, 0) << exported.output;
  ASSERT_TRUE(fs::exists(vtu / "column.pvd"));
  const Outcome read = Shell("/usr/bin/python3 " + std::string(VEMTO_SOURCE_DIR) +
                             "/tests/drivers/vtu_check.py " + (vtu / "column.pvd").string());
  ASSERT_EQ(read.status, 0) << read.output;

  numlib::DataFileReader r(Out());
  const auto top = r.ReadIntegers("ITOP");
  const auto coor = r.ReadReals("COOR");
  const auto times = r.ReadReals("TIME").values;
  std::istringstream lines(read.output);
  std::string line;
  std::int64_t k = 0;
  while (std::getline(lines, line)) {
    ++k;
    std::istringstream in(line);
    double hours = 0.0, t0 = 0.0, ratio = 0.0;
    std::string type, fields;
    std::int64_t cells = 0, points = 0;
    in >> hours >> type >> cells >> points >> t0 >> ratio >> fields;
    EXPECT_NEAR(hours, times[k - 1] / 3600.0, 1e-9 * (1.0 + hours)) << line;
    EXPECT_EQ(type, "quad8");
    EXPECT_EQ(cells, top.columns);
    EXPECT_EQ(points, coor.columns);
    const auto t = r.ReadReals(numlib::DataFileReader::EventName('T', k));
    EXPECT_NEAR(t0, t.values[0], 1e-8 * (1.0 + std::abs(t.values[0])));
    const auto rr = r.ReadReals(numlib::DataFileReader::EventName('R', k)).values;
    double largest = rr[0];
    for (std::size_t g = 0; g < 4; ++g) largest = std::max(largest, rr[g]);
    EXPECT_NEAR(ratio, largest, 1e-8 * (1.0 + std::abs(largest)));
    EXPECT_EQ(fields,
              "T,U,compressive_strength,degree_of_hydration,element,maturity,node,stress,"
              "stress_strength_ratio,stress_strength_ratio_max,tensile_strength");
  }
  EXPECT_EQ(k, r.EventCount());
}

TEST_F(Export, HistoryAndSummary) {
  numlib::DataFileReader r(Out());
  const auto coor = r.ReadReals("COOR");
  // The history at a node's own position is that node's stored values.
  const std::int64_t node = 1;
  const std::string point = fmt::format("{:.17g},{:.17g}", coor(1, node), coor(2, node));
  Outcome history = Shell(Cli() + "results " + Out() + " --history T --point " + point);
  ASSERT_EQ(history.status, 0) << history.output;
  std::istringstream lines(history.output);
  std::string line;
  std::getline(lines, line);  // "# T at node ..."
  std::getline(lines, line);
  EXPECT_EQ(line, "time_h,T");
  const auto t1 = r.ReadReals(numlib::DataFileReader::EventName('T', 1));
  std::getline(lines, line);
  const double value = std::stod(line.substr(line.find(',') + 1));
  EXPECT_NEAR(value, t1.values[node - 1], 1e-8 * (1.0 + std::abs(value)));

  const Outcome summary = Shell(Cli() + "results " + Out() + " --summary");
  ASSERT_EQ(summary.status, 0) << summary.output;
  EXPECT_NE(summary.output.find("peak temperature: "), std::string::npos) << summary.output;
  EXPECT_NE(summary.output.find("largest stress/strength ratio: "), std::string::npos);
  EXPECT_NE(summary.output.find("last stored time: 168 h"), std::string::npos) << summary.output;
}

TEST_F(Export, BadOptionsAndDamagedFilesFail) {
  EXPECT_EQ(Shell(Cli() + "results " + Out() + " --history T").status, 2);
  EXPECT_EQ(Shell(Cli() + "results " + Out() + " --history T --point '1;2'").status, 2);
  EXPECT_EQ(Shell(Cli() + "results " + Out() + " --history X --point 1,2").status, 2);
  const fs::path truncated = folder_ / "truncated.out";
  fs::copy_file(Out(), truncated, fs::copy_options::overwrite_existing);
  fs::resize_file(truncated, fs::file_size(truncated) / 3);
  const Outcome outcome = Shell(Cli() + "results " + truncated.string() + " --summary");
  EXPECT_EQ(outcome.status, 1);
  EXPECT_NE(outcome.output.find("truncated.out"), std::string::npos) << outcome.output;
}

TEST_F(Export, RemovedElementsAreLeftOutOfTheParaViewFiles) {
  const fs::path vtu = folder_ / "wall_vtu";
  ASSERT_EQ(Shell(Cli() + "results " + Wall() + " --vtu " + vtu.string()).status, 0);
  const Outcome read = Shell("/usr/bin/python3 " + std::string(VEMTO_SOURCE_DIR) +
                             "/tests/drivers/vtu_check.py " + (vtu / "wall.pvd").string());
  ASSERT_EQ(read.status, 0) << read.output;
  const vemto::post::ResultReader r(Wall());
  std::istringstream lines(read.output);
  std::string line;
  std::set<std::int64_t> cellCounts;
  for (std::size_t k = 0; std::getline(lines, line); ++k) {
    std::istringstream in(line);
    double hours = 0.0;
    std::string type;
    std::int64_t cells = 0, points = 0;
    in >> hours >> type >> cells >> points;
    const auto active = r.ActiveElements(k);
    const auto nodes = r.ActiveNodes(active);
    EXPECT_EQ(cells, std::count(active.begin(), active.end(), 1)) << line;
    EXPECT_EQ(points, std::count(nodes.begin(), nodes.end(), 1)) << line;
    cellCounts.insert(cells);
  }
  EXPECT_EQ(cellCounts.size(), 2u);  // with and without the formwork
}

TEST_F(Export, HistoryOutsideTheSectionAndSummaryOverStoredTimes) {
  const Outcome outside = Shell(Cli() + "results " + Wall() + " --history T --point 100,100");
  EXPECT_EQ(outside.status, 1);
  EXPECT_NE(outside.output.find("outside the section; the nearest node is"), std::string::npos)
      << outside.output;
  EXPECT_EQ(Shell(Cli() + "results " + Wall() + " --history T --point 100,100 --nearest").status,
            0);
  const Outcome summary = Shell(Cli() + "results " + Wall() + " --summary");
  EXPECT_NE(summary.output.find("peaks are taken over the 17 stored times between 12 and 24 h "
                                "apart only"),
            std::string::npos)
      << summary.output;
}

TEST_F(Export, PicturesOfDistributions) {
  const std::string png = (folder_ / "t.png").string();
  const Outcome drawn =
      Shell(Cli() + "results " + Wall() + " --png T --time 48 --size 400,300 --output " + png);
  ASSERT_EQ(drawn.status, 0) << drawn.output;
  std::ifstream in(png, std::ios::binary);
  char signature[4] = {};
  in.read(signature, 4);
  EXPECT_EQ(std::string(signature + 1, 3), "PNG");
  EXPECT_EQ(Shell(Cli() + "results " + Wall() + " --png R --max --time 336 --output " + png).status,
            0);
  EXPECT_EQ(Shell(Cli() + "results " + Wall() + " --png X --time 48 --output " + png).status, 2);
  EXPECT_EQ(Shell(Cli() + "results " + Wall() + " --png T --time 47 --output " + png).status, 1);
  EXPECT_EQ(Shell(Cli() + "results " + Wall() + " --png T --max --time 48 --output " + png).status,
            2);
}
