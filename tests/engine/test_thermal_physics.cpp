// Temperature solution against closed forms: adiabatic hydration, a slab cooling
// through convective faces, steady radial conduction in an axisymmetric ring,
// the heat balance of a hydrating block and infinite elements at the far-field
// temperature.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "DatBuilder.h"
#include "DataFileReader.h"
#include "EngineHarness.h"
#include "Hydration.h"
#include "ResultDatabase.h"
#include "ThermalElements.h"

namespace vemto::engine {
namespace {

using testing::DatMaterial;
using testing::DatModel;
using testing::Recorder;
using testing::ScratchDir;

DatMaterial Concrete() {
  DatMaterial m;
  m.kind = 1;
  m.lambda = 2.0;
  m.rho = 2400.0;
  m.c = 1000.0;
  m.t0 = 20.0;
  m.m0 = 0.0;
  m.cement = 350.0;
  m.beta0 = 1.0 / 3600.0;  // maturity in hours
  m.qInf = 450e3;
  m.lambda1 = 1.5;
  m.t1 = 15.0;
  m.kappa1 = 1.6;
  m.theta0 = 5000.0;
  m.kappa0 = 0.5;
  return m;
}

HydrationParams Params(const DatMaterial& m) {
  return {m.cement, m.beta0, m.qInf, m.lambda1, m.t1, m.kappa1, m.theta0, m.kappa0};
}

std::vector<double> Field(const std::string& out, char letter, int k) {
  numlib::DataFileReader r(out);
  return r.ReadReals(StorageEventName(letter, k)).values;
}

// Adiabatic block: without boundaries the temperature stays uniform and follows
// dT/dt = Q∞·C·α′(M)·β(T)/(ρc), dM/dt = β(T); the scheme is forward Euler on
// this system, so its error shrinks in proportion to the step.
TEST(ThermalPhysics, AdiabaticTemperatureRise) {
  const DatMaterial mat = Concrete();
  const HydrationParams hp = Params(mat);
  const double rc = mat.rho * mat.c, hours = 72.0;

  // Reference: classical Runge–Kutta with 10 s steps (error far below 1e-6 K).
  double T = mat.t0, M = mat.m0;
  auto rate = [&](double t, double m, double& dT, double& dM) {
    const double beta = MaturityRate(hp, t);
    dT = hp.qInf * hp.cement * DegreeOfHydration(hp, m).dAlpha * beta / rc;
    dM = beta;
  };
  const double h = 10.0;
  for (int i = 0; i < static_cast<int>(hours * 3600 / h); ++i) {
    double a1, b1, a2, b2, a3, b3, a4, b4;
    rate(T, M, a1, b1);
    rate(T + 0.5 * h * a1, M + 0.5 * h * b1, a2, b2);
    rate(T + 0.5 * h * a2, M + 0.5 * h * b2, a3, b3);
    rate(T + h * a3, M + h * b3, a4, b4);
    T += h / 6 * (a1 + 2 * a2 + 2 * a3 + a4);
    M += h / 6 * (b1 + 2 * b2 + 2 * b3 + b4);
  }
  // The exact solution keeps T − Q∞·C·α(M)/(ρc) constant.
  const double closed = mat.t0 + hp.qInf * hp.cement * DegreeOfHydration(hp, M).alpha / rc;
  ASSERT_NEAR(T, closed, 1e-6);
  ASSERT_GT(T - mat.t0, 20.0);  // a substantial rise

  ScratchDir dir;
  DatModel model = testing::Rectangle(1, 1, 1.0, 1.0);
  model.materials[0] = mat;
  model.Write(dir.File("a.dat"));
  std::vector<double> errors;
  for (double step : {1.0, 0.5, 0.25}) {
    Recorder rec;
    testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{hours, step, hours}});
    ASSERT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");
    const std::vector<double> t = Field(dir.File("a.out"), 'T', 1);
    for (double v : t) EXPECT_NEAR(v, t[0], 1e-9);  // uniform
    errors.push_back(std::fabs(t[0] - T));
  }
  // First order: halving the step halves the error (ratio 2 within 20 %).
  EXPECT_GT(errors[0] / errors[1], 1.6);
  EXPECT_GT(errors[1] / errors[2], 1.6);
  EXPECT_LT(errors[2], 0.5);  // K, with 15-minute steps
}

// Slab of thickness 2ℓ cooling through both faces (Biot number αℓ/λ = 2.5)
// against the series solution θ/θ₀ = Σ Cₙ exp(−μₙ² Fo) cos(μₙ x/ℓ).
TEST(ThermalPhysics, SlabWithConvectiveFacesMatchesSeries) {
  const double l = 0.5, lambda = 2.0, rc = 2.4e6, alpha = 10.0, tIn = 40.0, tAir = 20.0;
  DatModel m = testing::Rectangle(20, 1, 2 * l, 0.1);
  m.materials[0].lambda = lambda;
  m.materials[0].t0 = tIn;
  m.edgeTemp.push_back({m.LeftEdge(0)[0], m.LeftEdge(0)[1], m.LeftEdge(0)[2], 1});
  m.edgeTemp.push_back({m.RightEdge(0)[0], m.RightEdge(0)[1], m.RightEdge(0)[2], 1});
  m.edgeTempConds.push_back({alpha, {{0.0, tAir}, {1e9, tAir}}});
  ScratchDir dir;
  m.Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{24, 1.0 / 6, 24}});
  ASSERT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");
  const std::vector<double> t = Field(dir.File("a.out"), 'T', 1);

  const double bi = alpha * l / lambda, fo = lambda / rc * 86400.0 / (l * l);
  std::vector<double> mu;
  for (int n = 0; n < 60; ++n) {  // μ tan μ = Bi in (nπ, nπ + π/2)
    double a = n * M_PI + 1e-12, b = n * M_PI + M_PI / 2 - 1e-12;
    for (int it = 0; it < 200; ++it) {
      const double c = 0.5 * (a + b);
      (c * std::tan(c) - bi < 0 ? a : b) = c;
    }
    mu.push_back(0.5 * (a + b));
  }
  for (int i = 0; i <= m.gi; ++i) {
    const double x = 2 * l * i / m.gi - l;
    double theta = 0.0;
    for (double u : mu)
      theta +=
          4 * std::sin(u) / (2 * u + std::sin(2 * u)) * std::exp(-u * u * fo) * std::cos(u * x / l);
    const double exact = tAir + (tIn - tAir) * theta;
    // 10-minute backward-Euler steps and 20 quadratic elements: about 5 mK of a
    // 20 K difference; 20 mK allowed.
    EXPECT_NEAR(t[m.Grid(i, 0) - 1], exact, 0.02) << "x = " << x;
  }
}

// Steady radial conduction in a ring a ≤ r ≤ b: T = T₁ + (T₂ − T₁)·ln(r/a)/ln(b/a)
// and the heat 2πλh(T₁ − T₂)/ln(b/a) entering at the inner face.
TEST(ThermalPhysics, AxisymmetricRingSteadyState) {
  const double a = 0.5, b = 1.5, height = 0.2, lambda = 2.0, t1 = 30.0, t2 = 10.0;
  DatModel m = testing::Rectangle(10, 1, b - a, height, a);
  m.analysisType = 3;
  m.materials[0].lambda = lambda;
  m.materials[0].rho = 1.0;  // negligible capacity: steady within a step
  m.materials[0].c = 1.0;
  m.materials[0].t0 = 0.0;
  m.edgeTemp.push_back({m.LeftEdge(0)[0], m.LeftEdge(0)[1], m.LeftEdge(0)[2], 1});
  m.edgeTemp.push_back({m.RightEdge(0)[0], m.RightEdge(0)[1], m.RightEdge(0)[2], 2});
  m.edgeTempConds.push_back({1e7, {{0.0, t1}, {1e9, t1}}});
  m.edgeTempConds.push_back({1e7, {{0.0, t2}, {1e9, t2}}});
  ScratchDir dir;
  m.Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{3, 1, 3}});
  ASSERT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");
  const std::vector<double> t = Field(dir.File("a.out"), 'T', 1);
  const std::vector<double> q = Field(dir.File("a.out"), 'Q', 1);
  for (int i = 0; i <= m.gi; ++i) {
    const double r = a + (b - a) * i / m.gi;
    const double exact = t1 + (t2 - t1) * std::log(r / a) / std::log(b / a);
    // Quadratic elements of 0.1 m on a logarithm: about 1e-4 K; the finite
    // transfer coefficient adds flux/α ≈ 1e-5 K.
    EXPECT_NEAR(t[m.Grid(i, 0) - 1], exact, 1e-3) << "r = " << r;
  }
  double inner = 0.0, outer = 0.0;
  for (int j = 0; j <= m.gj; ++j) {
    inner += q[m.Grid(0, j) - 1];
    outer += q[m.Grid(m.gi, j) - 1];
  }
  const double flow = kTwoPi * lambda * height * (t1 - t2) / std::log(b / a);
  EXPECT_NEAR(inner, flow, 1e-3 * flow);
  EXPECT_NEAR(outer, -flow, 1e-3 * flow);
}

// Heat generated + heat entering through the boundaries = heat stored, step by
// step, with the generated heat rebuilt from the stored start-of-step state.
TEST(ThermalPhysics, HeatBalanceOfAHydratingBlock) {
  const DatMaterial mat = Concrete();
  const HydrationParams hp = Params(mat);
  DatModel m = testing::Rectangle(3, 2, 1.5, 1.0);
  m.materials[0] = mat;
  m.thickness = 0.7;
  for (int e = 0; e < 3; ++e) {
    const auto bt = m.BottomEdge(e), tp = m.TopEdge(e);
    m.edgeTemp.push_back({bt[0], bt[1], bt[2], 1});
    m.edgeTemp.push_back({tp[0], tp[1], tp[2], 1});
  }
  for (int e = 0; e < 2; ++e) {
    const auto lf = m.LeftEdge(e), rt = m.RightEdge(e);
    m.edgeTemp.push_back({lf[0], lf[1], lf[2], 1});
    m.edgeTemp.push_back({rt[0], rt[1], rt[2], 1});
  }
  m.edgeTempConds.push_back({5.0, {{0.0, 10.0}, {1e9, 10.0}}});
  ScratchDir dir;
  m.Write(dir.File("a.dat"));
  Recorder rec;
  const int steps = 24;
  const double dt = 7200.0;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{48, 2, 2}});
  ASSERT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");

  const std::size_t nn = m.nodes.size();
  std::vector<double> tPrev(nn, mat.t0);
  std::vector<std::vector<double>> mPrev(m.el8.size(), std::vector<double>(4, mat.m0));
  double generated = 0.0, entered = 0.0;
  for (int k = 1; k <= steps; ++k) {
    for (std::size_t e = 0; e < m.el8.size(); ++e) {
      std::array<Point2, 8> xy;
      for (int i = 0; i < 8; ++i)
        xy[i] = {m.nodes[m.el8[e][i] - 1][0], m.nodes[m.el8[e][i] - 1][1]};
      for (int g = 0; g < 4; ++g) {
        const Shape8 s = Serendipity(kGaussPoints[g][0], kGaussPoints[g][1]);
        double tg = 0.0;
        for (int i = 0; i < 8; ++i) tg += s.n[i] * tPrev[m.el8[e][i] - 1];
        const double w = m.thickness * MapElement8(s, xy).detJ;
        generated += AdvanceHydration(hp, tg, mPrev[e][g], dt).heatRate * w * dt;
      }
    }
    const std::vector<double> q = Field(dir.File("a.out"), 'Q', k);
    entered += std::accumulate(q.begin(), q.end(), 0.0) * dt;
    tPrev = Field(dir.File("a.out"), 'T', k);
    const std::vector<double> mat4 = Field(dir.File("a.out"), 'M', k);
    for (std::size_t e = 0; e < m.el8.size(); ++e)
      for (int g = 0; g < 4; ++g) mPrev[e][g] = mat4[4 * e + g];
  }
  // Heat stored: Σ C_ij ΔT_j with the consistent capacity matrices.
  double stored = 0.0;
  for (std::size_t e = 0; e < m.el8.size(); ++e) {
    std::array<Point2, 8> xy;
    for (int i = 0; i < 8; ++i) xy[i] = {m.nodes[m.el8[e][i] - 1][0], m.nodes[m.el8[e][i] - 1][1]};
    ConductionProps p;
    p.lambda = mat.lambda;
    p.rho = mat.rho;
    p.c = mat.c;
    p.thickness = m.thickness;
    ThermalMatrices<8> em;
    ASSERT_EQ(ConductionElement(ThermalAxi::kPlane, p, xy, em), ElementStatus::kValid);
    for (int i = 0; i < 8; ++i)
      for (int j = 0; j < 8; ++j) stored += em.C(i, j) * (tPrev[m.el8[e][j] - 1] - mat.t0);
  }
  EXPECT_GT(generated, 0.0);
  EXPECT_LT(entered, 0.0);  // the block loses heat to the cooler air
  // The discrete balance is exact up to rounding in the solver and in the sums
  // (about 1e-12 relative); 1e-9 of the generated heat allowed.
  EXPECT_NEAR(stored, generated + entered, 1e-9 * generated);
}

// One element with a 5-node infinite element below it and a 3-node corner
// element at its lower left corner.
DatModel WithInfiniteElements(double tElement, double tFar) {
  DatModel m = testing::Rectangle(1, 1, 1.0, 1.0);
  m.materials[0].t0 = tElement;
  DatMaterial ground = m.materials[0];
  ground.t0 = tFar;
  m.materials.push_back(ground);
  m.nodes.push_back({0.0, -1.0});  // below the lower left corner
  m.nodes.push_back({1.0, -1.0});  // below the lower right corner
  m.nodes.push_back({-1.0, 0.0});  // left of the lower left corner
  const int n = static_cast<int>(m.nodes.size());
  // Boundary element: nodes 1–3 along y = 0 from right to left, then the sides.
  m.el5.push_back({m.Grid(2, 0), m.Grid(1, 0), m.Grid(0, 0), n - 2, n - 1, 2});
  // Corner element at (0, 0): node 1 the corner, then the two side nodes.
  m.el3.push_back({m.Grid(0, 0), n, n - 2, 2});
  return m;
}

TEST(ThermalPhysics, InfiniteElementsAtFarFieldTemperatureCarryNoHeat) {
  ScratchDir dir;
  WithInfiniteElements(8.0, 8.0).Write(dir.File("a.dat"));
  Recorder rec;
  testing::RunEngineOn(rec, dir.File("a.dat"), dir.File("a.out"), {{5, 1, 5}});
  ASSERT_EQ(rec.messages.back().text, "COMPUTATION FINISHED");
  for (double v : Field(dir.File("a.out"), 'T', 1)) EXPECT_NEAR(v, 8.0, 1e-9);
  // Flows are sums of terms of order K·T ≈ 1e4 W: rounding of 1e-9 W expected.
  for (double v : Field(dir.File("a.out"), 'Q', 1)) EXPECT_NEAR(v, 0.0, 1e-7);

  WithInfiniteElements(20.0, 8.0).Write(dir.File("b.dat"));
  Recorder warm;
  testing::RunEngineOn(warm, dir.File("b.dat"), dir.File("b.out"), {{5, 1, 5}});
  ASSERT_EQ(warm.messages.back().text, "COMPUTATION FINISHED");
  const std::vector<double> q = Field(dir.File("b.out"), 'Q', 1);
  EXPECT_LT(std::accumulate(q.begin(), q.end(), 0.0), 0.0);  // heat leaves to the ground
  // The heat held by the finite element decreases (its consistent capacity weighs
  // the nodal temperatures; single nodes may overshoot with consistent capacity).
  const std::vector<double> t = Field(dir.File("b.out"), 'T', 1);
  const DatModel m = WithInfiniteElements(20.0, 8.0);
  std::array<Point2, 8> xy;
  for (int i = 0; i < 8; ++i) xy[i] = {m.nodes[m.el8[0][i] - 1][0], m.nodes[m.el8[0][i] - 1][1]};
  ConductionProps p;
  p.lambda = p.rho = p.c = 1.0;
  ThermalMatrices<8> em;
  ASSERT_EQ(ConductionElement(ThermalAxi::kPlane, p, xy, em), ElementStatus::kValid);
  double heat = 0.0;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) heat += em.C(i, j) * (t[m.el8[0][j] - 1] - 20.0);
  EXPECT_LT(heat, 0.0);
}

}  // namespace
}  // namespace vemto::engine
