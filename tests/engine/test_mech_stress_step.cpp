// Stress step on small meshes: closed forms and the history rules of loads, supports and
// body forces, with the run's matrices laid out in a work array as the engine does.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "AnalysisData.h"
#include "ConcreteState.h"
#include "MechStressStep.h"

namespace vemto::engine::mech {
namespace {

constexpr double kE = 30e9, kNu = 0.2, kAlpha = 1e-5, kHour = 3600.0;

struct Loads {
  // (node, condition) pairs and condition histories (t, x, y) with switches.
  std::vector<std::pair<int, int>> disp;
  std::vector<std::vector<std::array<double, 3>>> dispConds;
  std::vector<std::array<int, 2>> dispSwitches;
  std::vector<std::pair<int, int>> nodalLoads;
  std::vector<std::vector<std::array<double, 3>>> nodalLoadConds;
  // Edge springs: 3 nodes and condition; conditions (kx, ky) with histories (t, ax, ay).
  std::vector<std::pair<std::array<int, 3>, int>> springs;
  std::vector<std::pair<std::array<double, 2>, std::vector<std::array<double, 3>>>> springConds;
};

struct Messages {
  numlib::ProgressChannel* ch = nullptr;
  std::vector<std::pair<int, std::string>> list;
  static void send(void* ctx, int msg, intptr_t) {
    auto* self = static_cast<Messages*>(ctx);
    if (msg == VEMTO_MSG_INFO || msg == VEMTO_MSG_ERROR)
      self->list.emplace_back(msg, self->ch->InfoText());
  }
};

// Rectangular mesh of nx x ny 8-node elements over [x0, x0 + lx] x [0, ly].
class Model {
 public:
  Model(int analysisType, int tempMode, int nx, int ny, double x0, double lx, double ly,
        const Loads& loads = {}, double thickness = 1.0, int materials = 1)
      : w_(400'000), nx_(nx), ny_(ny) {
    gi_ = 2 * nx;
    gj_ = 2 * ny;
    grid_.assign(static_cast<std::size_t>((gi_ + 1) * (gj_ + 1)), 0);
    std::vector<std::array<double, 2>> xy;
    for (int j = 0; j <= gj_; ++j)
      for (int i = 0; i <= gi_; ++i) {
        if (i % 2 == 1 && j % 2 == 1) continue;
        xy.push_back({x0 + lx * i / gi_, ly * j / gj_});
        grid_[static_cast<std::size_t>(j * (gi_ + 1) + i)] = static_cast<int>(xy.size());
      }
    AnalysisHeader& h = d.header;
    h.analysisType = analysisType;
    h.tempMode = tempMode;
    h.nNodes = static_cast<int>(xy.size());
    h.nEl8 = nx * ny;
    h.nMaterials = materials;  // with 2, the last element has material 2
    h.thickness = thickness;
    h.nDispNodes = static_cast<int>(loads.disp.size());
    h.nDispConds = static_cast<int>(loads.dispConds.size());
    h.nNodalLoadPos = static_cast<int>(loads.nodalLoads.size());
    h.nNodalLoadConds = static_cast<int>(loads.nodalLoadConds.size());
    h.nSpringEdges = static_cast<int>(loads.springs.size());
    h.nSpringConds = static_cast<int>(loads.springConds.size());
    EXPECT_TRUE(DefineHeaderMatrices(w_, d.m));
    EXPECT_TRUE(DefineRunMatrices(w_, d));
    RunMatrices& m = d.m;
    for (int n = 1; n <= h.nNodes; ++n) {
      m.COOR(1, n) = xy[static_cast<std::size_t>(n - 1)][0];
      m.COOR(2, n) = xy[static_cast<std::size_t>(n - 1)][1];
    }
    int e = 0;
    for (int ey = 0; ey < ny; ++ey)
      for (int ex = 0; ex < nx; ++ex) {
        ++e;
        const int i = 2 * ex, j = 2 * ey;
        const int local[8][2] = {{i, j},         {i + 1, j},     {i + 2, j}, {i + 2, j + 1},
                                 {i + 2, j + 2}, {i + 1, j + 2}, {i, j + 2}, {i, j + 1}};
        for (int k = 0; k < 8; ++k) {
          m.ITOP(k + 1, e) = node(local[k][0], local[k][1]);
          m.ITPS(k + 1, e) = m.ITOP(k + 1, e);
        }
        m.LEL(e) = e == nx * ny ? materials : 1;
        m.LELS(e) = m.LEL(e);
        m.THCKN(e) = -1.0;
      }
    for (int r = 1; r <= 57; ++r) m.PELS(r, 1) = 0.0;
    for (int r = 1; r <= 5; ++r) m.IPELS(r, 1) = 0;
    m.PELS(2, 1) = 1e10;  // removal
    m.PELS(3, 1) = 20.0;  // initial temperature
    m.PELS(5, 1) = 1e10;  // no body force
    m.PELS(9, 1) = 28 * 86400.0;
    m.PELS(12, 1) = kE;
    m.PELS(17, 1) = kNu;
    m.PELS(18, 1) = kNu;
    m.PELS(21, 1) = 3e6;
    m.PELS(26, 1) = 100.0;
    m.PELS(28, 1) = kAlpha;
    m.PELS(29, 1) = 1.0;
    m.PELS(53, 1) = 40e6;
    for (int j = 2; j <= materials; ++j) {
      for (int r = 1; r <= 57; ++r) m.PELS(r, j) = m.PELS(r, 1);
      for (int r = 1; r <= 5; ++r) m.IPELS(r, j) = 0;
    }
    for (std::size_t i = 0; i < loads.disp.size(); ++i) {
      m.ITPPPS(1, static_cast<int>(i + 1)) = loads.disp[i].first;
      m.LPVS(static_cast<int>(i + 1)) = loads.disp[i].second;
    }
    for (std::size_t c = 0; c < loads.dispConds.size(); ++c) {
      fillHistory(m.PPVS, static_cast<int>(c + 1), loads.dispConds[c]);
      m.IPPVS(1, static_cast<int>(c + 1)) = loads.dispSwitches[c][0];
      m.IPPVS(2, static_cast<int>(c + 1)) = loads.dispSwitches[c][1];
    }
    for (std::size_t i = 0; i < loads.nodalLoads.size(); ++i) {
      m.ITPNLS(1, static_cast<int>(i + 1)) = loads.nodalLoads[i].first;
      m.LNLS(static_cast<int>(i + 1)) = loads.nodalLoads[i].second;
    }
    for (std::size_t c = 0; c < loads.nodalLoadConds.size(); ++c)
      fillHistory(m.PNLS, static_cast<int>(c + 1), loads.nodalLoadConds[c]);
    for (std::size_t i = 0; i < loads.springs.size(); ++i) {
      for (int k = 0; k < 3; ++k)
        m.ITPSES(k + 1, static_cast<int>(i + 1)) =
            loads.springs[i].first[static_cast<std::size_t>(k)];
      m.LSES(static_cast<int>(i + 1)) = loads.springs[i].second;
    }
    for (std::size_t c = 0; c < loads.springConds.size(); ++c) {
      const int col = static_cast<int>(c + 1);
      const auto& pts = loads.springConds[c].second;
      m.PSES(1, col) = static_cast<double>(pts.size());
      m.PSES(2, col) = loads.springConds[c].first[0];
      m.PSES(3, col) = loads.springConds[c].first[1];
      for (std::size_t k = 0; k < pts.size(); ++k)
        for (int v = 0; v < 3; ++v)
          m.PSES(4 + 3 * static_cast<int>(k) + v, col) = pts[k][static_cast<std::size_t>(v)];
    }
    d.halfBandWidth = HalfBandWidth(d);
    EXPECT_TRUE(DefineSolverMatrices(w_, d));
    for (numlib::RealMatrix* r : {&m.U, &m.RI, &m.P, &m.F, &m.FF, &m.SIG, &m.EPS, &m.STATE,
                                  &m.SSRAT, &m.STRNTHT, &m.STRNTHC})
      std::memset(r->Data(), 0, sizeof(double) * static_cast<std::size_t>(r->Size()));
    if (h.SimulationType() == 0) {
      for (int n = 1; n <= h.nNodes; ++n) {
        m.T(n) = 20.0;
        m.DT(n) = 0.0;
      }
      for (int el = 1; el <= h.nEl8; ++el)
        for (int g = 1; g <= 4; ++g) m.RM(g, el) = 0.0;
    }
    listener_ = {&Messages::send, &messages};
    messages.ch = &channel;
    channel.Init(&listener_);
  }

  int node(int i, int j) const { return grid_[static_cast<std::size_t>(j * (gi_ + 1) + i)]; }
  int lastI() const { return gi_; }
  int lastJ() const { return gj_; }

  // Runs steps of dt until time t; returns false at the first failed step.
  bool runTo(MechStressStep& s, double t, double dt) {
    while (time + 0.5 * dt < t) {
      time += dt;
      if (!s.Run(time, dt, channel)) return false;
    }
    return true;
  }

  double sig(int e, int g, int c) const { return d.m.SIG(4 * (g - 1) + c, e); }

  RunData d;
  numlib::ProgressChannel channel;
  Messages messages;
  double time = 0.0;

 private:
  static void fillHistory(numlib::RealMatrix& col, int c,
                          const std::vector<std::array<double, 3>>& pts) {
    col(1, c) = static_cast<double>(pts.size());
    for (std::size_t k = 0; k < pts.size(); ++k)
      for (int v = 0; v < 3; ++v)
        col(2 + 3 * static_cast<int>(k) + v, c) = pts[k][static_cast<std::size_t>(v)];
  }

  numlib::WorkStorage w_;
  int nx_, ny_, gi_ = 0, gj_ = 0;
  std::vector<int> grid_;
  VemtoListener listener_{};
};

// Supports: every node of column i = 0 fixed in x, node (0, 0) also in y.
Loads minimalSupports(int fixedYNode) {
  Loads l;
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
  l.dispSwitches.push_back({1, 1});
  l.disp.push_back({fixedYNode, 1});
  return l;
}

void heatTo(Model& md, double temperature) {
  for (int n = 1; n <= md.d.header.nNodes; ++n) md.d.m.T(n) = temperature;
}

TEST(MechStressStep, FreeUniformHeatingLeavesNoStress) {
  for (int type : {1, 2, 3}) {
    const double x0 = type == 3 ? 1.0 : 0.0;
    // Node 1 held in x and y (in y only when axisymmetric: radial motion is strain), the
    // bottom right corner in y against rotation.
    Model probe(type, 0, 2, 2, x0, 2.0, 1.0);
    Loads l;
    l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
    l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
    l.dispSwitches.push_back({type == 3 ? 0 : 1, 1});
    l.dispSwitches.push_back({0, 1});
    l.disp.push_back({1, 1});
    l.disp.push_back({probe.node(probe.lastI(), 0), 2});
    Model md(type, 0, 2, 2, x0, 2.0, 1.0, l);
    MechStressStep step(md.d, nullptr);
    heatTo(md, 35.0);
    ASSERT_TRUE(md.runTo(step, kHour, kHour));
    const double free = kAlpha * 15.0;
    const double inPlane = type == 2 ? (1 + kNu) * free : free;
    const double tol = 1e-6 * kE * free;
    for (int e = 1; e <= 4; ++e)
      for (int g = 1; g <= 4; ++g) {
        EXPECT_NEAR(md.sig(e, g, 1), 0.0, tol);
        EXPECT_NEAR(md.sig(e, g, 2), 0.0, tol);
        EXPECT_NEAR(md.sig(e, g, 3), 0.0, tol);
        EXPECT_NEAR(md.sig(e, g, 4), type == 2 ? -kE * free : 0.0, tol);
      }
    // Displacements are the free expansion relative to node 1 (radius itself when
    // axisymmetric), and the supports carry nothing.
    const RunMatrices& m = md.d.m;
    const int far = md.node(md.lastI(), md.lastJ());
    EXPECT_NEAR(m.U(2 * far) - m.U(2), inPlane * 1.0, 1e-9 * inPlane);
    EXPECT_NEAR(m.U(2 * far - 1) - m.U(1), inPlane * 2.0, 1e-9 * inPlane);
    if (type == 3) {
      EXPECT_NEAR(m.U(2 * far - 1), inPlane * 3.0, 1e-9 * inPlane);
    }
    for (int i = 1; i <= 2 * md.d.header.nNodes; ++i) EXPECT_NEAR(m.F(i), 0.0, 1e-6 * kE * free);
    EXPECT_TRUE(md.messages.list.empty());
  }
}

TEST(MechStressStep, BlockRestrainedInXUnderHeating) {
  for (int type : {1, 2, 3}) {
    const double x0 = type == 3 ? 0.5 : 0.0;
    // u = 0 at every node; v = 0 along the base.
    Loads l;
    l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
    l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
    l.dispSwitches.push_back({1, 0});
    l.dispSwitches.push_back({1, 1});
    Model probe(type, 0, 2, 2, x0, 1.0, 2.0);
    for (int n = 1; n <= probe.d.header.nNodes; ++n)
      l.disp.push_back({n, probe.d.m.COOR(2, n) == 0.0 ? 2 : 1});
    Model md(type, 0, 2, 2, x0, 1.0, 2.0, l);
    MechStressStep step(md.d, nullptr);
    heatTo(md, 30.0);
    ASSERT_TRUE(md.runTo(step, kHour, kHour));
    const double a = kAlpha * 10.0;
    const double expected = type == 1 ? -kE * a : -kE * a / (1 - kNu);
    for (int e = 1; e <= 4; ++e)
      for (int g = 1; g <= 4; ++g) {
        EXPECT_NEAR(md.sig(e, g, 1), expected, 1e-9 * kE * a);
        EXPECT_NEAR(md.sig(e, g, 2), 0.0, 1e-9 * kE * a);
      }
    // The supports carry the force: total x reaction on the nodes is balanced (F sums to 0
    // over the symmetric block), and every x support reaction is in FF.
    double fy = 0.0;
    for (int n = 1; n <= md.d.header.nNodes; ++n) fy += md.d.m.F(2 * n);
    EXPECT_NEAR(fy, 0.0, 1e-6 * kE * a);
  }
}

TEST(MechStressStep, NodalLoadRampAndRemoval) {
  // Cantilever-free bar: left column fixed, a nodal load at the right top corner in x.
  Loads l;
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
  l.dispSwitches.push_back({1, 1});
  Model probe(1, 1, 2, 1, 0.0, 2.0, 1.0);
  for (int j = 0; j <= probe.lastJ(); ++j) l.disp.push_back({probe.node(0, j), 1});
  const int loaded = probe.node(probe.lastI(), probe.lastJ());
  l.nodalLoads.push_back({loaded, 1});
  l.nodalLoadConds.push_back({{0.0, 0.0, 0.0}, {86400.0, 1000.0, 0.0}});
  Model md(1, 1, 2, 1, 0.0, 2.0, 1.0, l, 0.5);
  MechStressStep step(md.d, nullptr);
  const int dof = 2 * loaded - 1;
  for (int n = 1; n <= 26; ++n) {
    ASSERT_TRUE(md.runTo(step, n * kHour, kHour));
    const double applied = n <= 24 ? 1000.0 / 24.0 * n * 0.5 : 0.0;
    EXPECT_NEAR(md.d.m.P(dof), applied, 1e-9) << "step " << n;
    if (n <= 24) {
      EXPECT_GT(md.d.m.U(dof), 0.0);
    }
  }
  EXPECT_NEAR(md.d.m.U(dof), 0.0, 1e-15);
  // Reactions balance the load at every step end: the x support forces sum to -P.
  double fx = 0.0;
  for (int n = 1; n <= md.d.header.nNodes; ++n) fx += md.d.m.F(2 * n - 1);
  EXPECT_NEAR(fx, 0.0, 1e-9);
}

TEST(MechStressStep, ReleasedSupportHandsItsReactionBack) {
  // A heated block held in x at both sides until 2 h; then the right side is released.
  Model probe(1, 0, 2, 1, 0.0, 2.0, 1.0);
  Loads l;
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});        // left: always
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {2 * kHour, 0.0, 0.0}});  // right: until 2 h
  l.dispSwitches.push_back({1, 0});
  l.dispSwitches.push_back({1, 0});
  for (int j = 0; j <= probe.lastJ(); ++j) {
    l.disp.push_back({probe.node(0, j), 1});
    l.disp.push_back({probe.node(probe.lastI(), j), 2});
  }
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
  l.dispSwitches.push_back({0, 1});
  l.disp.push_back({probe.node(0, 0), 3});
  Model md(1, 0, 2, 1, 0.0, 2.0, 1.0, l);
  MechStressStep step(md.d, nullptr);
  heatTo(md, 30.0);
  ASSERT_TRUE(md.runTo(step, kHour, kHour));
  const double s = -kE * kAlpha * 10.0;
  EXPECT_NEAR(md.sig(1, 1, 1), s, 1e-6 * std::abs(s));
  const int right = md.node(md.lastI(), 0);
  const double reaction = md.d.m.FF(2 * right - 1);
  EXPECT_LT(reaction, 0.0);  // K u - f: the support pushes against the expansion (-x)
  EXPECT_NEAR(md.d.m.F(2 * right - 1), reaction, 1e-9 * std::abs(reaction));
  for (int n = 1; n <= md.d.header.nNodes; ++n) md.d.m.DT(n) = 0.0;  // no more heating
  ASSERT_TRUE(md.runTo(step, 2 * kHour, kHour));
  EXPECT_NEAR(md.d.m.FF(2 * right - 1), reaction, 1e-6 * std::abs(reaction));
  // Step 3: released: the stress vanishes, the reaction leaves F and P, FF becomes 0.
  ASSERT_TRUE(md.runTo(step, 3 * kHour, kHour));
  EXPECT_EQ(md.d.m.FF(2 * right - 1), 0.0);
  EXPECT_NEAR(md.d.m.F(2 * right - 1), 0.0, 1e-6 * std::abs(reaction));
  EXPECT_NEAR(md.d.m.P(2 * right - 1), 0.0, 1e-6 * std::abs(reaction));
  for (int e = 1; e <= 2; ++e)
    for (int g = 1; g <= 4; ++g) EXPECT_NEAR(md.sig(e, g, 1), 0.0, 1e-6 * std::abs(s));
  EXPECT_NEAR(md.d.m.U(2 * right - 1), kAlpha * 10.0 * 2.0, 1e-9);
}

TEST(MechStressStep, BodyForceIsAppliedOnceAndOnlyToCastElements) {
  Model probe(1, 1, 1, 2, 0.0, 1.0, 2.0);
  Loads l;
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
  l.dispSwitches.push_back({1, 1});
  for (int i = 0; i <= probe.lastI(); ++i) l.disp.push_back({probe.node(i, 0), 1});
  Model md(1, 1, 1, 2, 0.0, 1.0, 2.0, l, 0.4);
  md.d.m.PELS(5, 1) = 1.5 * kHour;  // body force in step 2
  md.d.m.PELS(7, 1) = -24000.0;
  MechStressStep step(md.d, nullptr);
  auto totalP = [&] {
    double s = 0.0;
    for (int n = 1; n <= md.d.header.nNodes; ++n) s += md.d.m.P(2 * n);
    return s;
  };
  ASSERT_TRUE(md.runTo(step, kHour, kHour));
  EXPECT_EQ(totalP(), 0.0);
  const double weight = -24000.0 * 1.0 * 2.0 * 0.4;
  for (int n = 2; n <= 4; ++n) {
    ASSERT_TRUE(md.runTo(step, n * kHour, kHour));
    // P holds the weight and the base reactions (which cancel it): F = -weight.
    double f = 0.0;
    for (int k = 1; k <= md.d.header.nNodes; ++k) f += md.d.m.F(2 * k);
    EXPECT_NEAR(f, -weight, 1e-6 * std::abs(weight)) << n;
  }
  // The lower element at its base carries the weight of the column: sigma_y = weight / area.
  EXPECT_NEAR(md.sig(1, 1, 2), -24000.0 * (2.0 - 0.5 * (1 - 1 / std::sqrt(3.0))), 0.05 * 24000.0);

  // Cast after the body-force time: never loaded.
  Model late(1, 1, 1, 2, 0.0, 1.0, 2.0, l, 0.4);
  late.d.m.PELS(1, 1) = 2 * kHour;
  late.d.m.PELS(5, 1) = 1.5 * kHour;
  late.d.m.PELS(7, 1) = -24000.0;
  MechStressStep lateStep(late.d, nullptr);
  ASSERT_TRUE(late.runTo(lateStep, 4 * kHour, kHour));
  for (int k = 1; k <= late.d.header.nNodes; ++k) EXPECT_EQ(late.d.m.F(2 * k), 0.0);
}

TEST(MechStressStep, EdgeSpringsFollowTheirSupportAndCarryTheLoad) {
  // One element on a bed of springs along its base (kx, ky per unit area); the support
  // sinks by 2 mm over 24 h and the spring is removed in step 25.
  Model probe(1, 1, 1, 1, 0.0, 1.0, 1.0);
  Loads l;
  l.springs.push_back({{probe.node(0, 0), probe.node(1, 0), probe.node(2, 0)}, 1});
  l.springConds.push_back({{1e8, 2e8}, {{0.0, 0.0, 0.0}, {86400.0, 0.0, -2e-3}}});
  {
    Model md(1, 1, 1, 1, 0.0, 1.0, 1.0, l, 0.5);
    MechStressStep step(md.d, nullptr);
    for (int n = 1; n <= 25; ++n) {
      ASSERT_TRUE(md.runTo(step, n * kHour, kHour));
      const double sink = n <= 24 ? -2e-3 * n / 24.0 : 0.0;
      for (int k = 1; k <= md.d.header.nNodes; ++k) {
        EXPECT_NEAR(md.d.m.U(2 * k), sink, 1e-12) << "step " << n;
        EXPECT_NEAR(md.d.m.U(2 * k - 1), 0.0, 1e-12);
        EXPECT_NEAR(md.d.m.F(2 * k), 0.0, 1e-3);  // rigid motion: no spring force
      }
    }
  }
  // A load on a bed of springs under two elements (a single 8-node element with 2 x 2 points
  // has a spurious mode): the spring forces balance the load (F sums to minus the load) and
  // the nearly rigid block settles by load / (ky * width * thickness).
  Model wide(1, 1, 2, 1, 0.0, 2.0, 1.0);
  Loads w;
  w.springs.push_back({{wide.node(0, 0), wide.node(1, 0), wide.node(2, 0)}, 1});
  w.springs.push_back({{wide.node(2, 0), wide.node(3, 0), wide.node(4, 0)}, 1});
  w.springConds.push_back({{1e8, 2e8}, {{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}}});
  w.nodalLoads.push_back({wide.node(2, 2), 1});
  w.nodalLoadConds.push_back({{0.0, 0.0, 0.0}, {3600.0, 0.0, -1e5}, {1e9, 0.0, -1e5}});
  Model md(1, 1, 2, 1, 0.0, 2.0, 1.0, w, 0.5);
  MechStressStep step(md.d, nullptr);
  ASSERT_TRUE(md.runTo(step, 2 * kHour, kHour));
  double fy = 0.0, fx = 0.0;
  for (int k = 1; k <= md.d.header.nNodes; ++k) {
    fy += md.d.m.F(2 * k);
    fx += md.d.m.F(2 * k - 1);
  }
  const double load = -1e5 * 0.5;
  EXPECT_NEAR(fy, -load, 1e-6 * std::abs(load));
  EXPECT_NEAR(fx, 0.0, 1e-6 * std::abs(load));
  const double rigid = load / (2e8 * 2.0 * 0.5);
  for (int i = 0; i <= 4; ++i)
    EXPECT_NEAR(md.d.m.U(2 * md.node(i, 0)), rigid, 0.05 * std::abs(rigid));
}

TEST(MechStressStep, TemperaturesFromAnotherModelAreInterpolated) {
  // Simulation type 2, fully restrained block with nu = 0: sigma = -E alpha (T_e - T_0).
  Model probe(2, 2, 1, 1, 0.0, 1.0, 1.0);
  Loads l;
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
  l.dispSwitches.push_back({1, 1});
  for (int k = 1; k <= probe.d.header.nNodes; ++k) l.disp.push_back({k, 1});
  Model md(2, 2, 1, 1, 0.0, 1.0, 1.0, l);
  md.d.m.PELS(17, 1) = 0.0;
  md.d.m.PELS(18, 1) = 0.0;
  md.d.tmTimeA = 2 * kHour;
  md.d.tmTimeB = 4 * kHour;
  md.d.m.AT(1, 1) = 30.0;
  md.d.m.AT(2, 1) = 40.0;
  md.d.m.AM(1, 1) = 7200.0;
  md.d.m.AM(2, 1) = 20000.0;
  MechStressStep step(md.d, nullptr);
  // Before block 1: between casting (0 h, 20 degC) and block 1 (2 h, 30 degC).
  const double expected[4] = {25.0, 30.0, 35.0, 40.0};
  for (int n = 1; n <= 4; ++n) {
    ASSERT_TRUE(md.runTo(step, n * kHour, kHour));
    const double s = -kE * kAlpha * (expected[n - 1] - 20.0);
    for (int g = 1; g <= 4; ++g) EXPECT_NEAR(md.sig(1, g, 1), s, 1e-9 * kE * kAlpha * 20) << n;
    EXPECT_NEAR(md.d.m.BT(1), expected[n - 1], 1e-12);
  }
  // Maturity follows the blocks too: 3600 at 1 h, 20000 at 4 h.
  ConcreteState st;
  std::memcpy(st.w.data(), &md.d.m.STATE(1, 1), sizeof(double) * kStateWords);
  EXPECT_NEAR(st.maturity(), 20000.0, 1e-9);
  EXPECT_NEAR(st.time(), 4 * kHour, 1e-9);
}

TEST(MechStressStep, ElementCastLaterStartsFromItsOwnInitialState) {
  // Element 1 cast at 0 (20 degC), element 2 (material 2, 30 degC) at 5400 s, within the step
  // that ends at 7200 s. Nodes at 30 degC after step 1 and 35 degC after step 2, so both
  // elements heat uniformly by 5 K in step 2: element 2 by (T - its initial temperature).
  // Left side held in x, lower left corner in y: free expansion, no stress.
  Model probe(1, 0, 2, 1, 0.0, 2.0, 1.0);
  Loads l;
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
  l.dispSwitches.push_back({1, 0});
  l.dispSwitches.push_back({0, 1});
  for (int j = 0; j <= probe.lastJ(); ++j) l.disp.push_back({probe.node(0, j), 1});
  l.disp.push_back({probe.node(0, 0), 2});
  Model md(1, 0, 2, 1, 0.0, 2.0, 1.0, l, 1.0, 2);
  md.d.m.PELS(1, 2) = 5400.0;
  md.d.m.PELS(3, 2) = 30.0;
  md.d.m.PELS(4, 2) = 500.0;
  MechStressStep step(md.d, nullptr);
  const int shared = md.node(2, 0), right = md.node(4, 0);
  heatTo(md, 30.0);
  ASSERT_TRUE(md.runTo(step, kHour, kHour));
  EXPECT_NEAR(md.d.m.U(2 * shared - 1), 10 * kAlpha * 1.0, 1e-12);
  EXPECT_EQ(md.d.m.U(2 * right - 1), 0.0);  // not yet part of the structure
  EXPECT_EQ(md.d.m.LAV(2 * right - 1), 0);
  heatTo(md, 35.0);
  for (int n = 1; n <= md.d.header.nNodes; ++n) md.d.m.DT(n) = 5.0 / kHour;
  ASSERT_TRUE(md.runTo(step, 2 * kHour, kHour));
  EXPECT_NEAR(md.d.m.U(2 * shared - 1), 15 * kAlpha * 1.0, 1e-12);
  // The exclusive nodes of element 2 start from 0 at its casting: 5 K over 2 m, not 15 K.
  EXPECT_NEAR(md.d.m.U(2 * right - 1), 5 * kAlpha * 2.0, 1e-12);
  for (int g = 1; g <= 4; ++g) {
    ConcreteState st;
    std::memcpy(st.w.data(), &md.d.m.STATE(kStateWords * (g - 1) + 1, 2),
                sizeof(double) * kStateWords);
    EXPECT_EQ(st.time(), 7200.0);
    EXPECT_NEAR(st.temperature(), 35.0, 1e-12);
    EXPECT_NEAR(st.maxTemperature(), 35.0, 1e-12);
    // Maturity of the thermal step (RM = 0 here), held at the floor 1e-4 t_ref.
    EXPECT_EQ(st.maturity(), 1e-4 * md.d.m.PELS(9, 2));
    for (int c = 1; c <= 4; ++c) EXPECT_NEAR(md.sig(2, g, c), 0.0, 1e-3);
  }
}

TEST(MechStressStep, CrackBandExtentsAreStoredAtTheCrack) {
  // Plane stress bar of 2 x 1 elements pulled along x past its strength (fracture on): the
  // crack runs at 0 degrees and every point stores the extents of its corner quadrilateral.
  Model probe(1, 1, 2, 1, 0.0, 2.0, 1.0);
  Loads l;
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}});
  l.dispConds.push_back({{0.0, 0.0, 0.0}, {10 * kHour, 4.2e-4, 0.0}, {1e9, 4.2e-4, 0.0}});
  l.dispSwitches.push_back({1, 0});
  l.dispSwitches.push_back({0, 1});
  l.dispSwitches.push_back({1, 0});
  for (int j = 0; j <= probe.lastJ(); ++j) {
    l.disp.push_back({probe.node(0, j), 1});
    l.disp.push_back({probe.node(probe.lastI(), j), 3});
  }
  l.disp.push_back({probe.node(0, 0), 2});
  Model md(1, 1, 2, 1, 0.0, 2.0, 1.0, l);
  md.d.m.PELS(17, 1) = md.d.m.PELS(18, 1) = 0.0;
  md.d.m.IPELS(2, 1) = 1;
  MechStressStep step(md.d, nullptr);
  ASSERT_TRUE(md.runTo(step, 10 * kHour, kHour));
  for (int e = 1; e <= 2; ++e)
    for (int g = 1; g <= 4; ++g) {
      ConcreteState st;
      std::memcpy(st.w.data(), &md.d.m.STATE(kStateWords * (g - 1) + 1, e),
                  sizeof(double) * kStateWords);
      EXPECT_NE(st.slotState(0), CrackState::Uncracked);
      EXPECT_EQ(st.crackAngle(), 0.0);
      // Elements 1 x 1: corner quadrilaterals of 0.5 x 0.5.
      EXPECT_NEAR(st.bandWidth(0), 0.5, 1e-12);
      EXPECT_NEAR(st.bandWidth(1), 0.5, 1e-12);
      EXPECT_NEAR(st.bandWidth(2), 0.5, 1e-12);
      EXPECT_LE(md.sig(e, g, 1), 3e6 * (1 + 1e-9));
    }
  EXPECT_TRUE(md.messages.list.empty() ||
              md.messages.list[0].second.find("SINGULAR") == std::string::npos);
}

TEST(MechStressStep, NothingActiveKeepsEverythingZero) {
  Model md(1, 1, 1, 1, 0.0, 1.0, 1.0);
  md.d.m.PELS(1, 1) = 10 * kHour;
  MechStressStep step(md.d, nullptr);
  ASSERT_TRUE(md.runTo(step, 3 * kHour, kHour));
  for (int i = 1; i <= 2 * md.d.header.nNodes; ++i) {
    EXPECT_EQ(md.d.m.U(i), 0.0);
    EXPECT_EQ(md.d.m.P(i), 0.0);
    EXPECT_EQ(md.d.m.F(i), 0.0);
  }
  EXPECT_TRUE(md.messages.list.empty());
}

TEST(MechStressStep, UnsupportedStructureIsReportedOnce) {
  Model md(1, 0, 1, 1, 0.0, 1.0, 1.0);
  MechStressStep step(md.d, nullptr);
  heatTo(md, 30.0);
  ASSERT_TRUE(md.runTo(step, 3 * kHour, kHour));
  EXPECT_NE(step.LastSolverStatus(), SolverStatus::kNormal);
  ASSERT_EQ(md.messages.list.size(), 1u);
  EXPECT_EQ(md.messages.list[0].first, VEMTO_MSG_INFO);
  EXPECT_NE(md.messages.list[0].second.find("WARNING: STRESS SYSTEM"), std::string::npos);
  EXPECT_FALSE(md.channel.ErrorReported());
}

TEST(MechStressStep, UnusableMaterialDataAreReportedOnceAtTheStart) {
  Model md(1, 1, 1, 1, 0.0, 1.0, 1.0, minimalSupports(1));
  md.d.m.IPELS(2, 1) = 1;    // fracture on ...
  md.d.m.PELS(26, 1) = 0.0;  // ... without fracture energy
  MechStressStep step(md.d, nullptr);
  ASSERT_TRUE(md.runTo(step, 3 * kHour, kHour));
  // The single support leaves a rotation free: the solver's warning may follow.
  ASSERT_FALSE(md.messages.list.empty());
  EXPECT_EQ(md.messages.list[0].first, VEMTO_MSG_INFO);
  EXPECT_NE(md.messages.list[0].second.find("MATERIAL 1: fracture energy 0 is not positive"),
            std::string::npos);
  int reports = 0;
  for (const auto& msg : md.messages.list)
    reports += msg.second.find("MECHANICAL DATA") != std::string::npos;
  EXPECT_EQ(reports, 1);
  EXPECT_FALSE(md.channel.ErrorReported());
}

TEST(MechStressStep, NotANumberEndsTheStepWithAnError) {
  Model md(1, 0, 1, 1, 0.0, 1.0, 1.0, minimalSupports(1));
  md.d.m.PELS(28, 1) = std::nan("");
  MechStressStep step(md.d, nullptr);
  heatTo(md, 30.0);
  EXPECT_FALSE(md.runTo(step, kHour, kHour));
  EXPECT_TRUE(md.channel.ErrorReported());
  ASSERT_FALSE(md.messages.list.empty());
  EXPECT_EQ(md.messages.list.back().first, VEMTO_MSG_ERROR);
  EXPECT_NE(md.messages.list.back().second.find("NOT A NUMBER"), std::string::npos);
  // The end-of-step update was not made.
  for (int i = 1; i <= 2 * md.d.header.nNodes; ++i) EXPECT_EQ(md.d.m.U(i), 0.0);
}

TEST(MechStressStep, NonPositiveJacobianNamesTheElement) {
  Model md(1, 1, 2, 1, 0.0, 2.0, 1.0);
  // Mirror element 2 by swapping two of its corner nodes' coordinates.
  const int n3 = md.d.m.ITPS(3, 2), n7 = md.d.m.ITPS(7, 2);
  std::swap(md.d.m.COOR(1, n3), md.d.m.COOR(1, n7));
  std::swap(md.d.m.COOR(2, n3), md.d.m.COOR(2, n7));
  MechStressStep step(md.d, nullptr);
  EXPECT_FALSE(md.runTo(step, kHour, kHour));
  ASSERT_FALSE(md.messages.list.empty());
  EXPECT_EQ(md.messages.list.back().second.substr(0, 48),
            " JACOBIAN NONPOSITIVE IN FINITE ELEMENT NO.    2");
}

}  // namespace
}  // namespace vemto::engine::mech
