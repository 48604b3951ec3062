// The analysis data file: a golden file checked line by line, the edge cases
// of its layout, read-back of every value through the engine's free-format
// reading, and the failures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "DataFile.h"
#include "MeshgenArgs.h"
#include "test_datafile_model.h"

namespace meshgen {
namespace {

using testing::AddFiniteBlock;
using testing::Mesh;
using testing::Model;
using testing::ReadAnalysisData;
using testing::ReadBack;
using testing::Record;

constexpr int T = MESHGEN_TEMP_RECORD, F = MESHGEN_FLOW_RECORD, D = MESHGEN_DISP_RECORD,
              S = MESHGEN_SPRING_RECORD, L = MESHGEN_LOAD_RECORD, P = MESHGEN_PIPE_RECORD;

std::string ErrorOf(auto&& f) {
  try {
    f();
  } catch (const DataFileError& e) {
    return e.what();
  }
  return "no error";
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

/// A material whose properties are k / 2 (k = 1 … 68), with a tiny negative
/// P5 and a huge P68 to exercise three-digit exponents.
void AddTestMaterial(Model& model) {
  std::vector<double> p;
  for (int k = 1; k <= 68; ++k) p.push_back(0.5 * k);
  p[4] = -2.5e-150;
  p[67] = 1e100;
  model.AddMaterial(p, {1, 1, 0, 1, 0, 1, 9});
}

/// The golden example: one eight-node element on the unit square (nodes as
/// the mesher creates them: 1 (0, 1), 2 (0.5, 1), 3 (1, 1), 4 (0, 0.5),
/// 5 (1, 0.5), 6 (0, 0), 7 (0.5, 0), 8 (1, 0)) and one infinite strip to its
/// right (new nodes 9 (2, 1), 10 (2, 0)), with conditions of most kinds.
struct Golden {
  Model model;
  Mesh mesh;
  Golden() {
    const char title[] = "GOLDEN EXAMPLE";
    std::memset(model.title, ' ', sizeof model.title);
    std::memcpy(model.title, title, sizeof title - 1);
    model.thickness = {0.25, -1.0};
    AddTestMaterial(model);
    model.edgeTemp.Add(Record(T, 2, {10.0}, {0.0, 20.0, 3600.0, 25.5}));
    model.areaFlow.Add(Record(F, 1, {}, {0.0, -150.0}));
    model.nodalFlow.Add(Record(F, 0, {}, {}));
    model.nNodalFlowPos = 1;
    model.pipe.Add(Record(P, 1, {400.0, 0.025, 0.5, 4180.0, 1.0}, {0.0, 12.0, 18.5}));
    model.edgeSpring.Add(Record(S, 1, {-1e6, 2e6}, {0.0, 0.0, -1e-3}));
    model.edgeLoad.Add(Record(L, 2.6, {}, {0, 0, -1000, 3600, 0, -2000, 7200, 0, -2500}));
    model.nodalDisp.Add(Record(D, 1, {}, {0, 0, 0}));
    model.nodalDispDirs = {1, 1};
    model.nNodalDispPos = 1;
    model.edgeDisp.Add(Record(D, 1, {}, {0, 0, 0}));
    model.edgeDispDirs = {0, 1};
    model.nodalLoad.Add(Record(L, 1, {}, {0.0, 500.0, -2.5e-150}));
    model.nNodalLoadPos = 1;

    for (auto [x, y] : std::initializer_list<std::pair<double, double>>{{0, 1},
                                                                        {0.5, 1},
                                                                        {1, 1},
                                                                        {0, 0.5},
                                                                        {1, 0.5},
                                                                        {0, 0},
                                                                        {0.5, 0},
                                                                        {1, 0},
                                                                        {2, 1},
                                                                        {2, 0}})
      mesh.AddNode(x, y);
    mesh.AddElement({6, 7, 8, 5, 3, 2, 1, 4}, 5, 1, 1);
    mesh.AddElement({3, 5, 8, 10, 9}, 2, 1, 2);
    mesh.mwt[0] = 5, mesh.mwt[1] = 1, mesh.mwt[2] = 1;  // pipe at corner 3
    mesh.icross = {1, 2};
    mesh.edgeTemp = {6, 7, 8, 1};
    mesh.areaFlow = {6, 7, 8, 5, 3, 2, 1, 4, 1};
    mesh.nodalFlow = {3, 1};
    mesh.edgeSpring = {1, 4, 6, 1};
    mesh.edgeLoad = {3, 2, 1, 1};
    mesh.nodalDisp = {6, 1};
    mesh.edgeDisp = {6, 1, 7, 1, 8, 1};
    mesh.nodalLoad = {8, 1};
  }
};

TEST(AnalysisDataFile, GoldenExample) {
  const Golden g;
  const std::string text = FormatAnalysisData(g.model.Args(), g.mesh.View());
  const std::string path = std::string(VEMTO_TEST_DATA_DIR) + "/dat_golden_example.dat";
  if (std::getenv("VEMTO_UPDATE_GOLDEN") != nullptr) std::ofstream(path, std::ios::binary) << text;
  EXPECT_EQ(text, Slurp(path));
}

TEST(AnalysisDataFile, GoldenExampleReadsBackAsWritten) {
  const Golden g;
  const ReadBack r = ReadAnalysisData(FormatAnalysisData(g.model.Args(), g.mesh.View()));
  EXPECT_EQ(r.title.substr(0, 14), "GOLDEN EXAMPLE");
  EXPECT_EQ(r.general, (std::vector<int>{2, 84, 10, 1, 1, 0}));
  EXPECT_EQ(r.times, (std::vector<double>{0.0, 7200.0, 86400.0, 1.0}));
  EXPECT_EQ(r.counts4, (std::vector<int>{1, 0, 1, 1, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 1}));
  EXPECT_EQ(r.counts5, (std::vector<int>{1, 1, 1, 1, 4, 2, 0, 0, 1, 1}));
  ASSERT_EQ(r.coords.size(), 10u);
  EXPECT_EQ(r.coords[8], (std::vector<double>{2.0, 1.0}));
  EXPECT_EQ(r.el8[0], (std::vector<int>{6, 7, 8, 5, 3, 2, 1, 4, 1, 5, 1, 1}));
  EXPECT_EQ(r.el5[0], (std::vector<int>{3, 5, 8, 10, 9, 1}));
  EXPECT_EQ(r.materials[0], g.model.props);
  EXPECT_EQ(r.options[0], (std::vector<int>{1, 1, 0, 1, 0, 1}));
  EXPECT_EQ(r.pipeH[0].header, (std::vector<double>{1, 400, 0.025, 0.5, 4180, 1}));
  EXPECT_EQ(r.springH[0].header, (std::vector<double>{1, -1e6, 2e6}));
  ASSERT_EQ(r.loadH[0].points.size(), 3u);
  EXPECT_EQ(r.loadH[0].points[2], (std::vector<double>{7200, 0, -2500}));
  // Nodal displacement conditions come first: the edge ones are numbered after them.
  EXPECT_EQ(r.disp, (std::vector<std::vector<int>>{{6, 1}, {6, 2}, {7, 2}, {8, 2}}));
  EXPECT_EQ(r.dispH[1].flags, (std::vector<int>{0, 1}));
  EXPECT_EQ(r.nodalLoadH[0].points[0], (std::vector<double>{0.0, 500.0, -2.5e-150}));
  EXPECT_EQ(r.thickness, (std::vector<std::pair<int, double>>{{1, 0.25}}));
}

TEST(AnalysisDataFile, OneSuperElementWithoutConditions) {
  Model model;
  AddTestMaterial(model);
  model.thickness = {-1.0};
  Mesh mesh;
  AddFiniteBlock(mesh, 2, 2, 1, 1);
  mesh.icross = {1};
  const std::string text = FormatAnalysisData(model.Args(), mesh.View());
  std::vector<std::string> lines;
  std::stringstream s(text);
  for (std::string l; std::getline(s, l);) lines.push_back(l);
  // Title, 5 header lines... the title line holds 80 zero bytes here.
  ASSERT_EQ(lines.size(), 5u + 21u + 4u + 21u + 4u);
  EXPECT_EQ(lines[0], std::string(80, '\0'));
  EXPECT_EQ(lines[1], "      2      84      21       4       1       0 ");
  EXPECT_EQ(lines[3],
            "      0       0       0       0       0       0       0       0       0       0"
            "       0       0       0       0       0 ");
  EXPECT_EQ(lines[4],
            "      0       0       0       0       0       0       0       0       0       0 ");
  // Node 21 is the bottom right corner (2, 0); the first element is the top left one.
  EXPECT_EQ(lines[25], "   0.2000000000E+01    0.0000000000E+00");
  EXPECT_EQ(lines[26],
            "       9      10      11       7       3       2       1       6"
            "       1       0       0       0");
  for (int i = 0; i < 4; ++i) EXPECT_EQ(lines[51 + i], "    1 -1.00000000    ");
}

TEST(AnalysisDataFile, HistoryPointCountsRoundHalvesAwayFromZero) {
  for (auto [n, points] : std::initializer_list<std::pair<double, std::size_t>>{
           {2.5, 3}, {2.6, 3}, {2.4, 2}, {0.0, 0}, {0.4, 0}, {0.5, 1}}) {
    Model model;
    AddTestMaterial(model);
    model.thickness = {-1.0};
    model.edgeFlow.Add(Record(F, n, {}, {0, 1, 3600, 2, 7200, 3}));
    Mesh mesh;
    AddFiniteBlock(mesh, 1, 1, 1, 1);
    mesh.icross = {1};
    const ReadBack r = ReadAnalysisData(FormatAnalysisData(model.Args(), mesh.View()));
    ASSERT_EQ(r.edgeFlowH.size(), 1u);
    EXPECT_EQ(r.edgeFlowH[0].points.size(), points) << n;
  }
}

TEST(AnalysisDataFile, PipeHeaderEndsWithTheConditionType) {
  Golden g;
  const std::string text = FormatAnalysisData(g.model.Args(), g.mesh.View());
  EXPECT_NE(text.find("\n     1 0.400000000E+03  0.250000000E-01  0.500000000E+00  0.418000000E+04"
                      "     1\n"),
            std::string::npos);
}

TEST(AnalysisDataFile, NegativeValuesAfterCountsStaySeparated) {
  // Every header where a count is followed directly by a real: spring, pipe,
  // thickness; all with negative values in exponent form.
  Golden g;
  g.model.thickness = {-2.5e-7, -1.0};
  g.model.pipe = {};
  g.model.pipe.Add(Record(P, 1, {-4e-5, -2.5e120, -0.5, -4180.0, 0.0}, {-1e-100, -12.0, -18.5}));
  g.model.edgeSpring = {};
  g.model.edgeSpring.Add(Record(S, 1, {-1.5e-3, -2e-300}, {-1.0, -2.0, -3.0}));
  g.model.nodalSpring.Add(Record(S, 1, {-3.5e-9, -4e6}, {-5.0, -6.0, -7.0}));
  g.model.nNodalSpringPos = 1;
  g.mesh.nodalSpring = {2, 1};
  g.model.edgeTemp = {};
  g.model.edgeTemp.Add(Record(T, 1, {-1e-200}, {-5.0, -6.0}));
  const std::string text = FormatAnalysisData(g.model.Args(), g.mesh.View());
  const ReadBack r = ReadAnalysisData(text);
  EXPECT_EQ(r.pipeH[0].header, (std::vector<double>{1, -4e-5, -2.5e120, -0.5, -4180.0, 0.0}));
  EXPECT_EQ(r.pipeH[0].points[0], (std::vector<double>{-1e-100, -12.0, -18.5}));
  EXPECT_EQ(r.springH[0].header, (std::vector<double>{1, -1.5e-3, -2e-300}));
  EXPECT_EQ(r.nodalSpringH[0].header, (std::vector<double>{1, -3.5e-9, -4e6}));
  EXPECT_EQ(r.edgeTempH[0].header, (std::vector<double>{1, -1e-200}));
  EXPECT_EQ(r.thickness, (std::vector<std::pair<int, double>>{{1, -2.5e-7}}));
  EXPECT_NE(text.find("\n    1 -0.250000000E-06\n"), std::string::npos);
}

TEST(AnalysisDataFile, RenumberedNodesEverywhere) {
  // The golden example with the nodes renumbered in reverse order.
  Golden g;
  g.mesh.renumbered = true;
  g.mesh.jnt = {10, 9, 8, 7, 6, 5, 4, 3, 2, 1};
  const ReadBack r = ReadAnalysisData(FormatAnalysisData(g.model.Args(), g.mesh.View()));
  // Line i holds the node whose new number is i: line 1 is creation node 10.
  EXPECT_EQ(r.coords[0], (std::vector<double>{2.0, 0.0}));
  EXPECT_EQ(r.coords[9], (std::vector<double>{0.0, 1.0}));
  EXPECT_EQ(r.el8[0], (std::vector<int>{5, 4, 3, 6, 8, 9, 10, 7, 1, 5, 1, 1}));
  EXPECT_EQ(r.el5[0], (std::vector<int>{8, 6, 3, 1, 2, 1}));
  EXPECT_EQ(r.edgeTemp[0], (std::vector<int>{5, 4, 3, 1}));
  EXPECT_EQ(r.surfFlow[0], (std::vector<int>{5, 4, 3, 6, 8, 9, 10, 7, 1}));
  EXPECT_EQ(r.nodalFlow[0], (std::vector<int>{8, 1}));
  EXPECT_EQ(r.spring[0], (std::vector<int>{10, 7, 5, 1}));
  EXPECT_EQ(r.load[0], (std::vector<int>{8, 9, 10, 1}));
  EXPECT_EQ(r.disp, (std::vector<std::vector<int>>{{5, 1}, {5, 2}, {4, 2}, {3, 2}}));
  EXPECT_EQ(r.nodalLoad[0], (std::vector<int>{3, 1}));

  g.mesh.jnt = {10, 9, 8, 7, 6, 5, 4, 3, 2, 2};  // not a permutation
  EXPECT_NE(ErrorOf([&] { FormatAnalysisData(g.model.Args(), g.mesh.View()); }).find("RENUMBERING"),
            std::string::npos);
}

TEST(AnalysisDataFile, DisplacementConditionsNumberNodalOnesFirst) {
  Golden g;
  g.model.edgeDisp = {};
  g.model.edgeDisp.Add(Record(D, 1, {}, {0, 1e-3, 0}));
  g.model.edgeDisp.Add(Record(D, 1, {}, {0, 0, 2e-3}));
  g.model.edgeDispDirs = {1, 0, 0, 1};
  g.mesh.edgeDisp = {6, 1, 7, 1, 8, 1, 8, 2, 5, 2, 3, 2};
  const ReadBack r = ReadAnalysisData(FormatAnalysisData(g.model.Args(), g.mesh.View()));
  EXPECT_EQ(r.counts5[4], 7);
  EXPECT_EQ(r.counts5[5], 3);
  EXPECT_EQ(r.disp, (std::vector<std::vector<int>>{
                        {6, 1}, {6, 2}, {7, 2}, {8, 2}, {8, 3}, {5, 3}, {3, 3}}));
  ASSERT_EQ(r.dispH.size(), 3u);
  EXPECT_EQ(r.dispH[0].flags, (std::vector<int>{1, 1}));
  EXPECT_EQ(r.dispH[1].flags, (std::vector<int>{1, 0}));
  EXPECT_EQ(r.dispH[2].flags, (std::vector<int>{0, 1}));
  EXPECT_EQ(r.dispH[2].points[0], (std::vector<double>{0, 0, 2e-3}));
}

TEST(AnalysisDataFile, ThicknessFollowsTheElementSections) {
  // An infinite element created before the eight-node element: the engine
  // reads the first nEl8 thickness lines as those of the eight-node elements.
  Golden g;
  Mesh m = g.mesh;
  m.ncon.clear(), m.ncn.clear(), m.type.clear(), m.mat.clear(), m.region.clear(), m.mwt.clear();
  m.AddElement({3, 5, 8, 10, 9}, 2, 1, 1);
  m.AddElement({6, 7, 8, 5, 3, 2, 1, 4}, 5, 1, 2);
  m.icross = {2, 1};  // position 1 is input super element 2
  g.model.thickness = {0.25, 0.75};
  const std::string text = FormatAnalysisData(g.model.Args(), m.View());
  const ReadBack r = ReadAnalysisData(text);
  EXPECT_EQ(r.thickness, (std::vector<std::pair<int, double>>{{2, 0.25}}));
  EXPECT_NE(text.find("    2 0.250000000    \n    1 0.750000000    \n"), std::string::npos);
}

TEST(AnalysisDataFile, TitleKeepsItsBytesExceptLineBreaks) {
  Golden g;
  g.model.title[3] = '\n';
  g.model.title[4] = '\r';
  g.model.title[5] = '\0';
  const std::string text = FormatAnalysisData(g.model.Args(), g.mesh.View());
  EXPECT_EQ(text.substr(0, 81), std::string("GOL  ") + '\0' + std::string(" EXAMPLE") +
                                    std::string(80 - 14, ' ') + "\n");
}

TEST(AnalysisDataFileErrors, StripWithoutFiniteNeighbourNamesTheSuperElement) {
  Golden g;
  g.mesh.ncn[1] = 4;  // a strip element that never got its mid-side node
  g.mesh.icross = {2, 1};
  g.model.thickness = {1, 1};
  EXPECT_EQ(ErrorOf([&] { FormatAnalysisData(g.model.Args(), g.mesh.View()); }),
            " INFINITE ELEMENTS OF SUPER ELEMENT    1 DO NOT BORDER A FINITE REGION");
}

TEST(AnalysisDataFileErrors, InvalidHistoryCountsAndNumbers) {
  for (double n : {-1.0, 1000.5, 1e9, std::nan("")}) {
    Golden g;
    g.model.edgeLoad = {};
    g.model.edgeLoad.Add(Record(L, n, {}, {}));
    EXPECT_EQ(ErrorOf([&] { FormatAnalysisData(g.model.Args(), g.mesh.View()); }),
              " HISTORY OF EDGE LOAD CONDITION    1 HAS AN INVALID NUMBER OF POINTS")
        << n;
  }
  Golden g;
  g.model.nodalLoad = {};
  g.model.nodalLoad.Add(Record(L, 1000, {}, {}));  // the full room is fine
  EXPECT_EQ(ErrorOf([&] { FormatAnalysisData(g.model.Args(), g.mesh.View()); }), "no error");
  g.model.nodalLoad.data[5] = std::numeric_limits<double>::infinity();
  EXPECT_EQ(ErrorOf([&] { FormatAnalysisData(g.model.Args(), g.mesh.View()); }),
            " INVALID NUMBER IN NODAL LOAD");
  Golden h;
  h.mesh.x[2] = std::nan("");
  EXPECT_EQ(ErrorOf([&] { FormatAnalysisData(h.model.Args(), h.mesh.View()); }),
            " INVALID NUMBER IN NODE COORDINATES");
}

TEST(AnalysisDataFileErrors, InconsistentTablesAreReportedNotRead) {
  Golden g;
  g.mesh.edgeTemp = {6, 7, 99, 1};  // node beyond the mesh
  EXPECT_NE(ErrorOf([&] { FormatAnalysisData(g.model.Args(), g.mesh.View()); }).find("INTERNAL"),
            std::string::npos);
  Golden h;
  h.mesh.nodalFlow.clear();  // shorter than the position count
  EXPECT_NE(ErrorOf([&] { FormatAnalysisData(h.model.Args(), h.mesh.View()); }).find("MNL"),
            std::string::npos);
}

TEST(AnalysisDataFileErrors, UnwritableFileAndFailedFormatting) {
  const Golden g;
  const auto dir = std::filesystem::temp_directory_path() / "vemto_datafile_test";
  std::filesystem::create_directories(dir);
  EXPECT_EQ(ErrorOf([&] {
              WriteAnalysisData((dir / "missing" / "x.dat").string(), g.model.Args(),
                                g.mesh.View());
            }),
            " OUTPUT FILE NOT AVAILABLE!");
  // A good write replaces the file; a failed formatting leaves it alone.
  const std::string path = (dir / "x.dat").string();
  std::ofstream(path) << "old";
  WriteAnalysisData(path, g.model.Args(), g.mesh.View());
  const std::string written = Slurp(path);
  EXPECT_EQ(written, FormatAnalysisData(g.model.Args(), g.mesh.View()));
  Golden bad;
  bad.mesh.ncn[1] = 4;
  EXPECT_THROW(WriteAnalysisData(path, bad.model.Args(), bad.mesh.View()), DataFileError);
  EXPECT_EQ(Slurp(path), written);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace meshgen
