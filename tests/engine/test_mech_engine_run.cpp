// Whole runs with stresses: analysis data file in, result database out.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "DatBuilder.h"
#include "DataFileReader.h"
#include "EngineHarness.h"

namespace vemto::engine {
namespace {

using testing::DatModel;
using testing::Hours;
using testing::Recorder;
using testing::ScratchDir;

constexpr double kE = 30e9, kNu = 0.2;

// Mechanical rows 5 ... 57 of the material, switches, and the mechanical conditions.
struct Mechanics {
  std::vector<double> rows = std::vector<double>(58, 0.0);  // 1-based, rows 5 ... 57 used
  std::vector<int> switches = std::vector<int>(5, 0);
  std::vector<std::array<int, 2>> dispNodes;  // node, condition
  // per condition: switches x, y and points (t, ux, uy)
  std::vector<std::pair<std::array<int, 2>, std::vector<std::array<double, 3>>>> dispConds;

  Mechanics() {
    rows[5] = 1e10;
    rows[9] = 28 * 86400.0;
    rows[12] = kE;
    rows[17] = rows[18] = kNu;
    rows[21] = 5e6;
    rows[26] = 100.0;
    rows[28] = 1e-5;
    rows[29] = 1.0;
    rows[53] = 40e6;
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) out.push_back(l + "\n");
  return out;
}

// The analysis data file of `m` with the mechanical data filled in.
std::string WithMechanics(const DatModel& m, const Mechanics& mech) {
  std::string zero = "0 0 0\n0 0 0 0 0\n";
  for (int l = 0; l < 12; ++l) zero += "0 0 0 0\n";
  zero += "0 0\n";
  std::string block =
      fmt::format("{:.17g} {:.17g} {:.17g}\n", mech.rows[5], mech.rows[6], mech.rows[7]);
  block += fmt::format("{} {} {} {} {}\n", mech.switches[0], mech.switches[1], mech.switches[2],
                       mech.switches[3], mech.switches[4]);
  for (int l = 0; l < 12; ++l)
    block += fmt::format("{:.17g} {:.17g} {:.17g} {:.17g}\n", mech.rows[8 + 4 * l],
                         mech.rows[9 + 4 * l], mech.rows[10 + 4 * l], mech.rows[11 + 4 * l]);
  block += fmt::format("{:.17g} {:.17g}\n", mech.rows[56], mech.rows[57]);
  std::string text = m.Text();
  const std::size_t at = text.find(zero);
  EXPECT_NE(at, std::string::npos);
  text.replace(at, zero.size(), block);
  std::vector<std::string> lines = Lines(text);
  lines[4] = fmt::format("0 0 0 0 {} {} 0 0 0 0\n", mech.dispNodes.size(), mech.dispConds.size());
  std::string sections;
  for (const auto& d : mech.dispNodes) sections += fmt::format("{} {}\n", d[0], d[1]);
  for (const auto& c : mech.dispConds) {
    sections += fmt::format("{} {} {}\n", c.second.size(), c.first[0], c.first[1]);
    for (const auto& p : c.second)
      sections += fmt::format("{:.17g} {:.17g} {:.17g}\n", p[0], p[1], p[2]);
  }
  const std::size_t nEl = m.el8.size();
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == lines.size() - nEl) out += sections;
    out += lines[i];
  }
  return out;
}

// A 2 x 1 m plane-stress plate of 2 x 1 elements, left side held in x, its lower left
// corner in y, the right side pulled by 0.2 mm over 24 h.
Mechanics PulledPlate(const DatModel& m) {
  Mechanics mech;
  mech.dispConds.push_back({{1, 0}, {{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}}});
  mech.dispConds.push_back({{0, 1}, {{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}}});
  mech.dispConds.push_back({{1, 0}, {{0.0, 0.0, 0.0}, {86400.0, 2e-4, 0.0}, {1e9, 2e-4, 0.0}}});
  for (int j = 0; j <= m.gj; ++j) {
    mech.dispNodes.push_back({m.Grid(0, j), 1});
    mech.dispNodes.push_back({m.Grid(m.gi, j), 3});
  }
  mech.dispNodes.push_back({m.Grid(0, 0), 2});
  return mech;
}

TEST(MechEngineRun, PulledPlateStoresDisplacementsStressesAndStrengths) {
  ScratchDir dir;
  DatModel m = testing::Rectangle(2, 1, 2.0, 1.0);
  m.analysisType = 1;
  m.tempMode = 1;
  const std::string dat = WithMechanics(m, PulledPlate(m));
  std::ofstream(dir.File("p.dat"), std::ios::binary) << dat;
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("p.dat"), dir.File("p.out"), {{24, 2, 12}});
  ASSERT_EQ(rec.Count(VEMTO_MSG_ERROR), 0) << rec.First(VEMTO_MSG_ERROR)->text;
  numlib::DataFileReader r(dir.File("p.out"));
  EXPECT_TRUE(r.HasTime());
  EXPECT_EQ(r.EventCount(), 2);
  // Simulation type 1 stores the mechanical fields only, in table order.
  std::vector<std::string> names;
  for (const numlib::DataBlock& b : r.Blocks())
    if (b.name.substr(1) == "0000002") names.push_back(b.name.substr(0, 1));
  EXPECT_EQ(names, (std::vector<std::string>{"U", "F", "S", "R", "D", "C"}));

  const auto U = r.ReadReals("U0000002");
  const auto S = r.ReadReals("S0000002");
  const auto R = r.ReadReals("R0000002");
  const auto D = r.ReadReals("D0000002");
  const auto C = r.ReadReals("C0000002");
  const auto F = r.ReadReals("F0000002");
  ASSERT_EQ(U.values.size(), 2 * m.nodes.size());
  ASSERT_EQ(S.rows, 16);
  ASSERT_EQ(S.columns, 2);
  ASSERT_EQ(R.rows, 4);
  const double sx = kE * 1e-4;  // uniaxial: eps_x = 0.2 mm / 2 m
  for (int e = 1; e <= 2; ++e)
    for (int g = 0; g < 4; ++g) {
      EXPECT_NEAR(S(4 * g + 1, e), sx, 1e-6 * sx);
      EXPECT_NEAR(S(4 * g + 2, e), 0.0, 1e-6 * sx);
      EXPECT_NEAR(S(4 * g + 3, e), 0.0, 1e-6 * sx);
      EXPECT_EQ(S(4 * g + 4, e), 0.0);
      EXPECT_NEAR(R(g + 1, e), sx / 5e6, 1e-6);
      EXPECT_EQ(D(g + 1, e), 5e6);
      EXPECT_EQ(C(g + 1, e), 40e6);
    }
  // Right side moved by 0.2 mm; top right corner contracts by nu * eps * height.
  const int tr = m.Grid(m.gi, m.gj);
  EXPECT_NEAR(U.values[static_cast<std::size_t>(2 * tr - 2)], 2e-4, 1e-12);
  EXPECT_NEAR(U.values[static_cast<std::size_t>(2 * tr - 1)], -kNu * 1e-4 * 1.0, 1e-12);
  // The supports carry the pull: x reactions on the left side sum to -sigma * area.
  double left = 0.0, right = 0.0;
  for (int j = 0; j <= m.gj; ++j) {
    left += F.values[static_cast<std::size_t>(2 * m.Grid(0, j) - 2)];
    right += F.values[static_cast<std::size_t>(2 * m.Grid(m.gi, j) - 2)];
  }
  EXPECT_NEAR(left, -sx * 1.0, 1e-6 * sx);
  EXPECT_NEAR(right, sx * 1.0, 1e-6 * sx);
  // Event 1 at 12 h: half the pull.
  EXPECT_NEAR(r.ReadReals("S0000001")(1, 1), 0.5 * sx, 1e-6 * sx);
}

TEST(MechEngineRun, TemperaturesFromAnotherModelStoreOnlyTheMechanicalFields) {
  // tempMode 2: the pulled plate warms uniformly from 20 degC by 10 K per 100000 s (two blocks
  // of the temperature-and-maturity file); the pull and the thermal strain act together.
  ScratchDir dir;
  DatModel m = testing::Rectangle(2, 1, 2.0, 1.0);
  m.analysisType = 1;
  m.tempMode = 2;
  std::ofstream(dir.File("p.dat"), std::ios::binary) << WithMechanics(m, PulledPlate(m));
  std::ofstream(dir.File("p.dtm")) << "0\n20 0\n20 0\n100000\n30 100000\n30 100000\n";
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("p.dat"), dir.File("p.out"), {{24, 2, 12}}, 800000,
                       dir.File("p.dtm"));
  ASSERT_EQ(rec.Count(VEMTO_MSG_ERROR), 0) << rec.First(VEMTO_MSG_ERROR)->text;
  numlib::DataFileReader r(dir.File("p.out"));
  ASSERT_EQ(r.EventCount(), 2);
  std::vector<std::string> names;
  for (const numlib::DataBlock& b : r.Blocks())
    if (b.name.substr(1) == "0000002") names.push_back(b.name.substr(0, 1));
  EXPECT_EQ(names, (std::vector<std::string>{"U", "F", "S", "R", "D", "C"}));
  const double dT = 10.0 * 86400.0 / 100000.0;
  const double sx = kE * (1e-4 - 1e-5 * dT);
  const auto S = r.ReadReals("S0000002");
  for (int e = 1; e <= 2; ++e)
    for (int g = 0; g < 4; ++g) {
      EXPECT_NEAR(S(4 * g + 1, e), sx, 1e-6 * sx);
      EXPECT_NEAR(S(4 * g + 2, e), 0.0, 1e-6 * sx);
    }
}

TEST(MechEngineRun, SimulatedTemperaturesStoreAllTenFieldsInOrder) {
  ScratchDir dir;
  DatModel m = testing::Rectangle(2, 1, 2.0, 1.0);
  m.analysisType = 2;
  m.tempMode = 0;
  m.materials[0].t0 = 20.0;
  // Heated from the left side; base held in x and y.
  m.edgeTemp.push_back({m.LeftEdge(0)[0], m.LeftEdge(0)[1], m.LeftEdge(0)[2], 1});
  m.edgeTempConds.push_back({10.0, {{0.0, 40.0}, {1e9, 40.0}}});
  Mechanics mech;
  mech.dispConds.push_back({{1, 1}, {{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}}});
  for (int i = 0; i <= m.gi; ++i) mech.dispNodes.push_back({m.Grid(i, 0), 1});
  std::ofstream(dir.File("h.dat"), std::ios::binary) << WithMechanics(m, mech);
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("h.dat"), dir.File("h.out"), {{48, 1, 24}});
  ASSERT_EQ(rec.Count(VEMTO_MSG_ERROR), 0) << rec.First(VEMTO_MSG_ERROR)->text;
  numlib::DataFileReader r(dir.File("h.out"));
  ASSERT_EQ(r.EventCount(), 2);
  std::vector<std::string> names;
  for (const numlib::DataBlock& b : r.Blocks())
    if (b.name.substr(1) == "0000001") names.push_back(b.name.substr(0, 1));
  EXPECT_EQ(names, (std::vector<std::string>{"T", "Q", "M", "A", "U", "F", "S", "R", "D", "C"}));
  // Heating next to a held base: stresses are finite, the warm corner next to the held
  // base is compressed along x, and plane strain compresses it along z.
  const auto S = r.ReadReals("S0000002");
  for (double v : S.values) EXPECT_TRUE(std::isfinite(v));
  EXPECT_LT(S(1, 1), 0.0);
  EXPECT_LT(S(4, 1), 0.0);
}

}  // namespace
}  // namespace vemto::engine
