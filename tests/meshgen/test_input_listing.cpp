// The input listing: number layouts, sections and a whole listing against a golden file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "InputListing.h"
#include "mesh_test_model.h"

namespace meshgen {
namespace {

using test::AddRecord;
using test::Quad;
using test::TestModel;

TEST(InputListing, ExponentForm) {
  EXPECT_EQ(ListingExponent(1.5), "0.150000E+01");
  EXPECT_EQ(ListingExponent(-1.5), "-0.150000E+01");
  EXPECT_EQ(ListingExponent(0.0), "0.000000E+00");
  EXPECT_EQ(ListingExponent(-0.0), "0.000000E+00");
  EXPECT_EQ(ListingExponent(9.9999996), "0.100000E+02");
  EXPECT_EQ(ListingExponent(0.001234567), "0.123457E-02");
  EXPECT_EQ(ListingExponent(2.5e-120), "0.250000E-119");
  EXPECT_EQ(ListingExponent(1e100), "0.100000E+101");
  EXPECT_EQ(ListingExponent(24.0), "0.240000E+02");
}

// Lines of the listing without the six leading blanks.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TestModel OneSquare() {
  TestModel m;
  m.AddNode(0, 0);
  m.AddNode(1, 0);
  m.AddNode(1, 1);
  m.AddNode(0, 1);
  m.elements.push_back(Quad(1, 2, 3, 4));
  return m;
}

TEST(InputListing, ProjectTextsEndAtTheZeroByte) {
  TestModel m = OneSquare();
  m.title = "Deck  ";  // blanks before the zero byte are kept
  const MeshgenArgs args = m.Args();
  const auto lines = Lines(FormatInputListing(args));
  EXPECT_EQ(lines[3], "      TITLE    : Deck  ");
  EXPECT_EQ(lines[4], "      SUBJECT  : ");
  // Every line starts with six blanks, except separators.
  for (const auto& line : lines) {
    if (line == " ") continue;
    EXPECT_EQ(line.substr(0, 6), "      ") << line;
  }
}

TEST(InputListing, AxisymmetricHasNoGeneralThickness) {
  TestModel m = OneSquare();
  m.analysis = {3, 5, 12};
  m.elements[0].thickness = 0.25;
  const std::string text = FormatInputListing(m.Args());
  EXPECT_EQ(text.find("THICKNESS:"), std::string::npos);
  EXPECT_NE(text.find("      THICKNESS  0.250000E+00 m\n"), std::string::npos);
  EXPECT_NE(text.find("      AXISYMMETRIC ANALYSIS\n"
                      "      INPUT OF TEMPERATURE AND MATURITY\n"
                      "      DISPLACEMENTS AND STRESSES NOT CALCULATED\n"),
            std::string::npos);
}

TEST(InputListing, DisplacementWithoutDirectionsHasNoPointLines) {
  TestModel m = OneSquare();
  AddRecord(m.nodalDispConds, MESHGEN_DISP_RECORD, 2, {}, {0, 0.1, 0.2, 3600, 0.3, 0.4});
  m.nodalDispDirs = {0, 0};
  m.nodalDispCond = {1};
  m.nodalDispXY = {0.5, 0.5};
  const std::string text = FormatInputListing(m.Args());
  EXPECT_NE(text.find("      NUMBER OF TIMES:         2\n \n"), std::string::npos);
  EXPECT_EQ(text.find("DISP (m)"), std::string::npos);
}

// A model that touches every section; the golden file was checked line by line against
// the listing layout (labels, units, widths, separators).
TestModel GoldenModel() {
  TestModel m;
  m.title = "Bridge deck, stage 2";
  m.analysis = {2, 48, 0};
  m.times = {3600.0, 1800.0, 7200.0, 1.25};
  m.AddNode(0, 0);      // 1
  m.AddNode(2, 0);      // 2
  m.AddNode(2, 1);      // 3
  m.AddNode(0, 1);      // 4
  m.AddNode(1, 0);      // 5
  m.AddNode(2.1, 0.5);  // 6
  m.AddNode(1, 1);      // 7
  m.AddNode(0, 0.5);    // 8
  m.AddNode(3, 0);      // 9
  m.AddNode(3, 1);      // 10
  m.AddNode(3, -1);     // 11
  m.AddNode(2, -1);     // 12
  test::SuperElementSpec curved;
  curved.nodes = {1, 5, 2, 6, 3, 7, 4, 8};
  curved.code = 1;
  curved.rows = 2;
  curved.columns = 4;
  curved.thickness = 0.8;
  m.elements.push_back(curved);
  m.elements.push_back(Quad(2, 9, 10, 3, 2, 1, MESHGEN_TYPE_INFINITE_SURFACE));
  m.elements.push_back(Quad(12, 11, 9, 2, 1, 1, MESHGEN_TYPE_INFINITE_CORNER));
  m.elements[1].material = 2;
  m.elements[2].material = 2;
  // Young concrete with a mix of options, and rock.
  m.AddMaterial(true);
  m.options[1] = 1;            // development of properties
  m.options[3] = 1;            // creep
  m.properties[0] = 7200.0;    // casting after 2 h
  m.properties[9] = 350000.0;  // heat 350 kJ/kg
  m.AddMaterial(false);
  m.options[7 + 2] = 1;  // fracture
  for (int k = 1; k <= 68; ++k) m.properties[68 + k - 1] = -0.001 * k;

  AddRecord(m.edgeTempConds, MESHGEN_TEMP_RECORD, 2, {12.5}, {0, 20, 86400, 15});
  m.edgeTempPos = {1, 2, 1, 2, 3, 1};
  AddRecord(m.areaFlowConds, MESHGEN_FLOW_RECORD, 1, {}, {0, 150});
  m.areaFlowPos = {1, 2, 3, 4, 1};
  AddRecord(m.nodalTempConds, MESHGEN_TEMP_RECORD, 1, {3}, {0, 5});
  m.nodalTempCond = {1};
  m.nodalTempXY = {0.5, 0.5};
  AddRecord(m.nodalFlowConds, MESHGEN_FLOW_RECORD, 1, {}, {3600, 40});
  m.nodalFlowCond = {1};
  m.nodalFlowXY = {1.0, 0.5};
  AddRecord(m.pipeConds, MESHGEN_PIPE_RECORD, 2, {250, 0.025, 1.5, 4180, 1},
            {0, 10, 12, 7200, 11, 14});
  m.pipeCondPart = {1, 2};
  m.pipeXY = {1.0, 0.25};
  AddRecord(m.edgeDispConds, MESHGEN_DISP_RECORD, 1, {}, {0, 0.001, -0.002});
  m.edgeDispDirs = {1, 1};
  m.edgeDispPos = {4, 1, 1};
  AddRecord(m.edgeSpringConds, MESHGEN_SPRING_RECORD, 1, {1e9, 2e9}, {0, 0, 0});
  m.edgeSpringPos = {1, 2, 1};
  AddRecord(m.edgeLoadConds, MESHGEN_LOAD_RECORD, 1, {}, {0, 1000, -2000});
  m.edgeLoadPos = {3, 4, 1};
  AddRecord(m.nodalDispConds, MESHGEN_DISP_RECORD, 1, {}, {0, 0.5, 0.7});
  AddRecord(m.nodalDispConds, MESHGEN_DISP_RECORD, 1, {}, {0, 0.5, 0.7});
  m.nodalDispDirs = {0, 1, 0, 0};
  m.nodalDispCond = {1, 2};
  m.nodalDispXY = {0, 0, 2, 1};
  AddRecord(m.nodalSpringConds, MESHGEN_SPRING_RECORD, 1, {5e6, 6e6}, {0, 0.1, 0.2});
  m.nodalSpringCond = {1};
  m.nodalSpringXY = {1, 1};
  AddRecord(m.nodalLoadConds, MESHGEN_LOAD_RECORD, 1, {}, {0, 300, 400});
  m.nodalLoadCond = {1};
  m.nodalLoadXY = {0, 1};
  return m;
}

TEST(InputListing, WholeListingMatchesTheCheckedGoldenFile) {
  TestModel model = GoldenModel();
  const std::string text = FormatInputListing(model.Args());
  const std::string path = std::string(VEMTO_TEST_DATA_DIR) + "/listing_golden.lst";
  if (std::getenv("VEMTO_UPDATE_GOLDEN") != nullptr) std::ofstream(path, std::ios::binary) << text;
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << path;
  std::stringstream golden;
  golden << in.rdbuf();
  const auto expected = Lines(golden.str());
  const auto actual = Lines(text);
  for (std::size_t i = 0; i < std::min(expected.size(), actual.size()); ++i)
    ASSERT_EQ(actual[i], expected[i]) << "line " << i + 1;
  EXPECT_EQ(actual.size(), expected.size());
  EXPECT_EQ(text, golden.str());
}

}  // namespace
}  // namespace meshgen
