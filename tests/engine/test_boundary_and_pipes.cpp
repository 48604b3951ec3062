// History rules, boundary heat flows and cooling pipes in whole temperature steps.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "DatBuilder.h"
#include "DataFileReader.h"
#include "EngineHarness.h"
#include "History.h"
#include "ResultDatabase.h"
#include "ThermalElements.h"

namespace vemto::engine {
namespace {

using testing::DatModel;
using testing::Recorder;
using testing::ScratchDir;

TEST(History, ActivityWindowAndInterpolation) {
  const double pts[] = {3600.0, 10.0, 7200.0, 20.0, 10800.0, 40.0};
  const HistoryView h{pts, 3, 2};
  EXPECT_FALSE(ThermalActive(h, 3600.0));  // t₁ + 1e-6 ≤ t is required
  EXPECT_TRUE(ThermalActive(h, 3600.1));
  EXPECT_DOUBLE_EQ(ThermalValue(h, 5400.0), 15.0);
  EXPECT_DOUBLE_EQ(ThermalValue(h, 9000.0), 30.0);
  // The last point exactly at the current time still applies, with its value.
  EXPECT_TRUE(ThermalActive(h, 10800.0));
  EXPECT_EQ(ThermalValue(h, 10800.0), 40.0);
  EXPECT_TRUE(ThermalActive(h, 10800.0 + 5e-7));
  EXPECT_FALSE(ThermalActive(h, 10800.0 + 2e-6));
  EXPECT_FALSE(ThermalActive(HistoryView{pts, 0, 2}, 5000.0));
  const HistoryInterval iv = FindInterval(h, 9000.0);
  EXPECT_EQ(iv.j, 1);
  EXPECT_DOUBLE_EQ(iv.fraction, 0.5);
  EXPECT_EQ(FindInterval(h, 10800.0).j, -1);  // no interval holds t_n
}

std::vector<double> Field(const std::string& out, char letter, int k) {
  numlib::DataFileReader r(out);
  return r.ReadReals(StorageEventName(letter, k)).values;
}

double Sum(const std::vector<double>& v) {
  return std::accumulate(v.begin(), v.end(), 0.0);
}

// A 2 m × 1 m block, thickness 0.5 m, at 20 °C with no heat of its own.
DatModel Plate() {
  DatModel m = testing::Rectangle(2, 1, 2.0, 1.0);
  m.thickness = 0.5;
  m.materials[0].t0 = 20.0;
  return m;
}

TEST(BoundaryHeat, FlowsEnterTheBodyWithTheirFactors) {
  ScratchDir dir;
  DatModel m = Plate();
  const auto left = m.LeftEdge(0);
  m.edgeFlow.push_back({left[0], left[1], left[2], 1});
  m.edgeFlowConds.push_back({0.0, {{0.0, 100.0}, {1e9, 100.0}}});  // W/m²
  m.nodalFlow.push_back({m.Grid(4, 2), 1});
  m.nodalFlowConds.push_back({0.0, {{0.0, 30.0}, {1e9, 30.0}}});  // W per m thickness
  m.surfFlow.push_back({m.el8[1][0], m.el8[1][1], m.el8[1][2], m.el8[1][3], m.el8[1][4],
                        m.el8[1][5], m.el8[1][6], m.el8[1][7], 1});
  m.surfFlowConds.push_back({0.0, {{0.0, 7.0}, {1e9, 7.0}}});  // W/m² on each face
  m.Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{2, 1, 1}});
  ASSERT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");
  const std::vector<double> q = Field(dir.File("a.out"), 'Q', 1);
  // Edge: 100 W/m² · 1 m · 0.5 m; node: 30 · 0.5; surface: 7 W/m² · 2 faces · 1 m².
  EXPECT_NEAR(q[left[0] - 1] + q[left[1] - 1] + q[left[2] - 1], 50.0, 1e-12);
  EXPECT_NEAR(Sum(q), 50.0 + 15.0 + 14.0, 1e-10);
  // All of it is stored: Σ C_ij ΔT_j = heat · Δt over the two steps.
  const std::vector<double> t2 = Field(dir.File("a.out"), 'T', 2);
  double stored = 0.0;
  for (const auto& e : m.el8) {
    std::array<Point2, 8> xy;
    for (int i = 0; i < 8; ++i) xy[i] = {m.nodes[e[i] - 1][0], m.nodes[e[i] - 1][1]};
    ConductionProps p;
    p.lambda = 2.0;
    p.rho = 2400.0;
    p.c = 1000.0;
    p.thickness = 0.5;
    ThermalMatrices<8> em;
    ASSERT_EQ(ConductionElement(ThermalAxi::kPlane, p, xy, em), ElementStatus::kValid);
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 8; ++j) stored += em.C(i, j) * (t2[e[j] - 1] - 20.0);
  }
  // Rounding only: 1e-9 of the 5.7e5 J.
  EXPECT_NEAR(stored, 79.0 * 7200.0, 1e-9 * 79.0 * 7200.0);
}

TEST(BoundaryHeat, LargeNodalCoefficientPrescribesTheTemperature) {
  ScratchDir dir;
  DatModel m = Plate();
  const int node = m.Grid(0, 0);
  m.nodalTemp.push_back({node, 1});
  m.nodalTempConds.push_back({1e12, {{0.0, 5.0}, {1e9, 5.0}}});
  m.surfTemp.push_back({m.el8[0][0], m.el8[0][1], m.el8[0][2], m.el8[0][3], m.el8[0][4],
                        m.el8[0][5], m.el8[0][6], m.el8[0][7], 1});
  m.surfTempConds.push_back({0.0, {{0.0, 100.0}, {1e9, 100.0}}});  // α = 0: no exchange
  m.Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{3, 1, 1}});
  ASSERT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");
  const std::vector<double> t = Field(dir.File("a.out"), 'T', 3);
  const std::vector<double> q = Field(dir.File("a.out"), 'Q', 3);
  // α·thickness = 5e11 W/K against conduction of order 1 W/K: 1e-9 K.
  EXPECT_NEAR(t[node - 1], 5.0, 1e-8);
  EXPECT_LT(q[node - 1], 0.0);             // heat leaves through the cold node
  EXPECT_NEAR(Sum(q), q[node - 1], 1e-6);  // the surface condition exchanges nothing
}

DatModel PipeModel(int mode, double third, double tIn = 10.0) {
  DatModel m = Plate();
  m.materials[0].t0 = 30.0;
  m.el8[0][9] = 1;  // element 1: pipe at its corner 1, pass 1
  m.el8[0][10] = 1;
  m.el8[0][11] = 1;
  m.el8[1][9] = 3;  // element 2: pipe at its corner 3, pass 2
  m.el8[1][10] = 1;
  m.el8[1][11] = 2;
  DatModel::Pipe p;
  p.mode = mode;
  p.history = {{0.0, tIn, third}, {1e9, tIn, third}};
  m.pipes.push_back(p);
  return m;
}

TEST(Pipes, WaterTemperaturesFollowTheHeatOfThePasses) {
  ScratchDir dir;
  const DatModel m = PipeModel(0, 0.3);
  m.Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{3, 1, 1}});
  ASSERT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");
  const std::vector<double> p1 = Field(dir.File("a.out"), 'P', 1);
  const std::vector<double> p2 = Field(dir.File("a.out"), 'P', 2);
  const std::vector<double> q1 = Field(dir.File("a.out"), 'Q', 1);
  ASSERT_EQ(p1.size(), 153u);
  const int c1 = m.el8[0][0], c2 = m.el8[1][2];
  EXPECT_LT(q1[c1 - 1], 0.0);  // the cold water takes heat out at both passes
  EXPECT_LT(q1[c2 - 1], 0.0);
  // Step 1: no heat recorded yet, the water keeps the inflow temperature.
  EXPECT_EQ(p1[0], 10.0);
  EXPECT_EQ(p1[1], 10.0);
  EXPECT_EQ(p1[2], 0.3);
  EXPECT_EQ(p1[5], 10.0);
  EXPECT_EQ(p1[6], 10.0);
  // Step 2: heat of the passes = −Q of step 1 at their corner nodes.
  const double qa = p2[3], qb = p2[4], l = 10.0, mc = 4186.0 * 0.3;
  EXPECT_EQ(qa, -q1[c1 - 1]);
  EXPECT_EQ(qb, -q1[c2 - 1]);
  EXPECT_NEAR(p2[1], 10.0 + l * (qa + qb) / mc, 1e-12);
  EXPECT_NEAR(p2[5], 10.0 + 0.5 * l * qa / mc, 1e-12);
  EXPECT_NEAR(p2[6], p2[5] + 0.5 * l * (qa + qb) / mc, 1e-12);
}

TEST(Pipes, NoFlowAndUndeterminedFlowKeepTheInflowTemperature) {
  ScratchDir dir;
  for (int mode : {0, 1}) {
    // Mode 0 with zero flow; mode 1 with equal inflow and outflow temperatures.
    const DatModel m = PipeModel(mode, mode == 0 ? 0.0 : 10.0);
    m.Write(dir.File("a.dat"));
    Recorder rec;
    testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{3, 1, 1}});
    ASSERT_EQ(rec.messages.back().text, "COMPUTATION FINISHED") << mode;
    for (int k = 1; k <= 3; ++k) {
      const std::vector<double> p = Field(dir.File("a.out"), 'P', k);
      EXPECT_EQ(p[0], 10.0) << mode;
      EXPECT_EQ(p[5], 10.0) << mode << " " << k;  // water at the inflow temperature
      EXPECT_EQ(p[6], 10.0) << mode << " " << k;
      for (double t : Field(dir.File("a.out"), 'T', k)) EXPECT_TRUE(std::isfinite(t));
    }
    // The wall still exchanges heat with water at 10 °C.
    const std::vector<double> q = Field(dir.File("a.out"), 'Q', 1);
    EXPECT_LT(q[m.el8[0][0] - 1], 0.0) << mode;
  }
}

}  // namespace
}  // namespace vemto::engine
