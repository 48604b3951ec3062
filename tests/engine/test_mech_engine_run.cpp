// Whole runs with stresses: analysis data file in, result database out.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "DatBuilder.h"
#include "DataFileReader.h"
#include "EngineHarness.h"
#include "MechanicsBuilder.h"
#include "ResultDatabase.h"

namespace vemto::engine {
namespace {

using testing::DatModel;
using testing::Hours;
using testing::Recorder;
using testing::ScratchDir;

using testing::Mechanics;
using testing::WithMechanics;

constexpr double kE = testing::kMechanicsE, kNu = testing::kMechanicsNu;

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
  mech.HoldBase(m);
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

// Without temperature variation the maturity stays at the start maturity or, below it, at
// the floor 1e-4 t_ref, in every step: a 1 m block with developing properties (E and f_t
// grow as sqrt(x)) under an edge load rising 1000 Pa per hour stretches by the same amount
// in every step, and its tensile strength is the same at every stored time.
TEST(MechEngineRun, HeldMaturityBelowTheFloorStaysAtTheFloor) {
  const double tRef = 28 * 86400.0, x = 1e-4;  // maturity / t_ref of the floor
  for (double m0 : {0.0, 1.0}) {
    ScratchDir dir;
    DatModel m = testing::Rectangle(1, 1, 1.0, 1.0);
    m.analysisType = 1;
    m.tempMode = 1;
    m.materials[0].m0 = m0;
    Mechanics mech;
    mech.switches[0] = 1;
    for (int row : {13, 15, 22, 24}) mech.rows[static_cast<std::size_t>(row)] = 2.0;
    for (int row : {14, 16, 23, 25}) mech.rows[static_cast<std::size_t>(row)] = 0.5;
    mech.rows[9] = tRef;
    mech.dispConds.push_back({{1, 0}, {{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}}});
    mech.dispConds.push_back({{0, 1}, {{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}}});
    for (int j = 0; j <= m.gj; ++j) mech.dispNodes.push_back({m.Grid(0, j), 1});
    mech.dispNodes.push_back({m.Grid(0, 0), 2});
    const auto edge = m.RightEdge(0);
    mech.loadEdges.push_back({edge[0], edge[1], edge[2], 1});
    mech.loadConds.push_back({{0.0, 0.0, 0.0}, {86400.0, 24000.0, 0.0}});
    std::ofstream(dir.File("b.dat"), std::ios::binary) << WithMechanics(m, mech);
    Recorder rec;
    testing::RunEngineOn(rec, dir.File("b.dat"), dir.File("b.out"), {{12, 1, 1}});
    ASSERT_EQ(rec.Count(VEMTO_MSG_ERROR), 0) << rec.First(VEMTO_MSG_ERROR)->text;
    numlib::DataFileReader r(dir.File("b.out"));
    ASSERT_EQ(r.EventCount(), 12);
    const double du = 1000.0 / (kE * std::sqrt(x));  // uniaxial: 1000 Pa more per hour
    const double ft = 5e6 * std::sqrt(x);
    const auto tr = static_cast<std::size_t>(2 * m.Grid(m.gi, m.gj) - 2);
    double before = 0.0;
    for (int k = 1; k <= 12; ++k) {
      const double u = r.ReadReals(StorageEventName('U', k)).values[tr];
      EXPECT_NEAR(u - before, du, 1e-9 * du) << "start maturity " << m0 << ", step " << k;
      before = u;
      const auto D = r.ReadReals(StorageEventName('D', k));
      for (double v : D.values) EXPECT_NEAR(v, ft, 1e-9 * ft) << "step " << k;
    }
  }
}

// An element present when the run starts (cast at -72 h, run from -24 h) carries the
// volume load activated at -48 h from the first step on: a 1 x 2 m column (nu = 0) on a
// base held in y settles by gamma H^2 / (2 E) at the top, and the base carries its weight.
TEST(MechEngineRun, ElementPresentAtTheStartCarriesEarlierVolumeLoad) {
  const double gamma = 24000.0, H = 2.0;
  ScratchDir dir;
  DatModel m = testing::Rectangle(1, 1, 1.0, H);
  m.analysisType = 1;
  m.tempMode = 1;
  m.initialTime = -24 * 3600.0;
  m.materials[0].cast = -72 * 3600.0;
  Mechanics mech;
  mech.rows[5] = -48 * 3600.0;
  mech.rows[7] = -gamma;
  mech.rows[17] = mech.rows[18] = 0.0;
  mech.dispConds.push_back({{0, 1}, {{-1e9, 0.0, 0.0}, {1e9, 0.0, 0.0}}});
  mech.dispConds.push_back({{1, 1}, {{-1e9, 0.0, 0.0}, {1e9, 0.0, 0.0}}});
  for (int i = 1; i <= m.gi; ++i) mech.dispNodes.push_back({m.Grid(i, 0), 1});
  mech.dispNodes.push_back({m.Grid(0, 0), 2});
  std::ofstream(dir.File("c.dat"), std::ios::binary) << WithMechanics(m, mech);
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("c.dat"), dir.File("c.out"), {{-20, 1, 1}});
  ASSERT_EQ(rec.Count(VEMTO_MSG_ERROR), 0) << rec.First(VEMTO_MSG_ERROR)->text;
  numlib::DataFileReader r(dir.File("c.out"));
  ASSERT_EQ(r.EventCount(), 4);
  const double settlement = gamma * H * H / (2.0 * kE);
  for (int k : {1, 4}) {
    const auto U = r.ReadReals(StorageEventName('U', k));
    const auto F = r.ReadReals(StorageEventName('F', k));
    double base = 0.0;
    for (int i = 0; i <= m.gi; ++i) {
      const auto top = static_cast<std::size_t>(2 * m.Grid(i, m.gj) - 1);
      EXPECT_NEAR(U.values[top], -settlement, 1e-9 * settlement) << "event " << k;
      base += F.values[static_cast<std::size_t>(2 * m.Grid(i, 0) - 1)];
    }
    EXPECT_NEAR(base, gamma * H * 1.0, 1e-9 * gamma * H) << "event " << k;
  }
}

}  // namespace
}  // namespace vemto::engine
