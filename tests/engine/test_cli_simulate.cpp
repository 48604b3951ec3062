// vemto-cli simulate and results on generated analysis data files (skipped when the
// program is not built beside the tests).
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "DatBuilder.h"
#include "EngineHarness.h"

namespace vemto::engine {
namespace {

struct Result {
  int status = -1;
  std::string out, err;
};

Result RunCli(const testing::ScratchDir& dir, const std::string& args) {
  const std::string cli = std::string(VEMTO_BIN_DIR) + "/vemto-cli";
  const std::string o = dir.File("stdout.txt"), e = dir.File("stderr.txt");
  const int raw = std::system(("'" + cli + "' " + args + " >'" + o + "' 2>'" + e + "'").c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::stringstream so, se;
  so << std::ifstream(o).rdbuf();
  se << std::ifstream(e).rdbuf();
  r.out = so.str();
  r.err = se.str();
  return r;
}

class CliSimulate : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string bin = VEMTO_BIN_DIR;
    if (!std::filesystem::exists(bin + "/vemto-cli") ||
        !std::filesystem::exists(bin + "/libengine.so"))
      GTEST_SKIP() << "vemto-cli or libengine.so not built";
  }
};

TEST_F(CliSimulate, SimulateListAndExport) {
  testing::ScratchDir dir;
  testing::DatModel m = testing::Rectangle(2, 1, 2.0, 1.0);
  m.materials[0].t0 = 12.5;
  m.Write(dir.File("a.dat"));
  const std::string dat = dir.File("a.dat"), out = dir.File("a.out");
  Result r =
      RunCli(dir, "simulate '" + dat + "' '" + out + "' --interval 24,2,12 --interval 48,4,24");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("COMPUTATION FINISHED"), std::string::npos);

  r = RunCli(dir, "results '" + out + "' --list");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("3 storage events, run ended normally"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1,12,TQMA\n2,24,TQMA\n3,48,TQMA\n"), std::string::npos) << r.out;

  r = RunCli(dir, "results '" + out + "' --csv T --time 48");
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "node,x,y,T");
  int rows = 0;
  while (std::getline(lines, line)) {
    ++rows;
    EXPECT_EQ(line.substr(line.rfind(',') + 1), "12.5");
  }
  EXPECT_EQ(rows, static_cast<int>(m.nodes.size()));

  r = RunCli(dir, "results '" + out + "' --csv A --time 24");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "element,point,x,y,A");
  EXPECT_NE(r.out.find("1,1,0.21132486540518"), std::string::npos);  // Gauss point (1−a)/2·...

  r = RunCli(dir, "results '" + out + "' --csv T --time 30");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("no storage event at 30 h"), std::string::npos) << r.err;
}

TEST_F(CliSimulate, ErrorsGiveNonZeroStatusWithTheirText) {
  testing::ScratchDir dir;
  Result r = RunCli(
      dir, "simulate '" + dir.File("none.dat") + "' '" + dir.File("x.out") + "' --interval 1,1,1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("ENGINE ERROR : COULD NOT OPEN INPUT FILE."), std::string::npos) << r.err;
  r = RunCli(dir, "simulate a.dat x.out --interval 1,1");
  EXPECT_EQ(r.status, 2);
  r = RunCli(dir, "simulate a.dat x.out --interval 1,-1,1");
  EXPECT_EQ(r.status, 2);
  std::ofstream(dir.File("broken.out")) << "not a result database";
  r = RunCli(dir, "results '" + dir.File("broken.out") + "' --list");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("broken.out"), std::string::npos) << r.err;
}

// An example project from the project file to the result database: mesh, then a
// thermal-only run (temperature mode 10) and a run with stresses.
TEST_F(CliSimulate, ExampleProjectMeshThenSimulate) {
  const std::string example = std::string(VEMTO_SOURCE_DIR) + "/examples/wall_on_slab.v3";
  if (!std::filesystem::exists(example) ||
      !std::filesystem::exists(std::string(VEMTO_BIN_DIR) + "/libmeshgen.so"))
    GTEST_SKIP() << "example project or mesher not available";
  testing::ScratchDir dir;
  std::filesystem::copy_file(example, dir.File("wall.v3"));
  Result r = RunCli(dir, "mesh '" + dir.File("wall.v3") + "'");
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  std::stringstream text;
  text << std::ifstream(dir.File("wall.dat"), std::ios::binary).rdbuf();
  std::string dat = text.str();
  // Line 2 ends with the temperature mode: make it 10 (no stresses).
  const std::size_t l2 = dat.find('\n') + 1, e2 = dat.find('\n', l2);
  std::string line2 = dat.substr(l2, e2 - l2);
  const std::size_t last = line2.find_last_not_of(' ');
  ASSERT_NE(last, std::string::npos);
  const std::size_t start = line2.find_last_of(' ', last) + 1;
  ASSERT_EQ(line2.substr(start, last - start + 1), "0");
  line2.replace(start, last - start + 1, "10");
  std::ofstream(dir.File("thermal.dat"), std::ios::binary)
      << dat.substr(0, l2) + line2 + dat.substr(e2);

  r = RunCli(dir, "simulate '" + dir.File("thermal.dat") + "' '" + dir.File("thermal.out") +
                      "' --interval 12,2,6");
  ASSERT_EQ(r.status, 0) << r.err;
  r = RunCli(dir, "results '" + dir.File("thermal.out") + "' --list");
  EXPECT_NE(r.out.find("1,6,TQMA\n2,12,TQMA\n"), std::string::npos) << r.out;

  r = RunCli(dir, "simulate '" + dir.File("wall.dat") + "' '" + dir.File("wall.out") +
                      "' --interval 4,2,4");
  ASSERT_EQ(r.status, 0) << r.err;
  r = RunCli(dir, "results '" + dir.File("wall.out") + "' --list");
  EXPECT_NE(r.out.find("1,4,TQMAUFSRDC\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vemto::engine
