// Builds analysis data files for the engine tests: rectangular meshes of 8-node
// elements, materials, infinite elements and thermal boundary conditions.
#pragma once

#include <array>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

namespace vemto::engine::testing {

struct DatMaterial {
  int kind = 0;  // 1 = hydrating
  double cast = 0.0, removal = 1e10;
  double lambda = 2.0, rho = 2400.0, c = 1000.0, t0 = 20.0;
  double m0 = 0.0, cement = 0.0, beta0 = 1.0 / 3600.0;
  double qInf = 0.0, lambda1 = 1.0, t1 = 10.0;
  double kappa1 = 1.0, theta0 = 5000.0, kappa0 = 0.5;

  /// The hydrating concrete of the engine tests: 350 kg/m³ of cement releasing 450 kJ/kg.
  static DatMaterial HydratingConcrete() {
    DatMaterial c;
    c.kind = 1;
    c.cement = 350.0;
    c.qInf = 450e3;
    c.lambda1 = 1.5;
    c.t1 = 15.0;
    c.kappa1 = 1.6;
    return c;
  }
};

/// A thermal condition: its items (node lists) and its history (t, value).
struct DatCondition {
  double coefficient = 0.0;  // used by temperature conditions only
  std::vector<std::pair<double, double>> history;
};

struct DatModel {
  std::string title = "TEST MODEL";
  int analysisType = 2;
  int tempMode = 10;
  double initialTime = 0.0, thickness = 1.0;
  std::vector<std::array<double, 2>> nodes;
  std::vector<std::array<int, 12>> el8;  // 8 nodes, material, corner, pipe, pass
  std::vector<std::array<int, 6>> el5;
  std::vector<std::array<int, 4>> el3;
  std::vector<DatMaterial> materials;
  std::vector<std::array<int, 4>> edgeTemp;  // 3 nodes, condition
  std::vector<DatCondition> edgeTempConds;
  std::vector<std::array<int, 4>> edgeFlow;
  std::vector<DatCondition> edgeFlowConds;
  std::vector<std::array<int, 9>> surfTemp;  // 8 element nodes, condition
  std::vector<DatCondition> surfTempConds;
  std::vector<std::array<int, 9>> surfFlow;
  std::vector<DatCondition> surfFlowConds;
  std::vector<std::array<int, 2>> nodalTemp;
  std::vector<DatCondition> nodalTempConds;
  std::vector<std::array<int, 2>> nodalFlow;
  std::vector<DatCondition> nodalFlowConds;
  /// Pipe: α_p, D, L, ρc_w, mode and its history (t, inflow, flow or outflow).
  struct Pipe {
    double alpha = 500.0, diameter = 0.05, length = 10.0, rhoc = 4186.0;
    int mode = 0;
    std::vector<std::array<double, 3>> history;
  };
  std::vector<Pipe> pipes;
  std::vector<double> thicknessOf;  // per element; empty = default (-1)

  // Grid of a rectangular mesh (node number of grid point (i, j), 0 = none).
  int gi = 0, gj = 0;
  std::vector<int> grid;
  int Grid(int i, int j) const { return grid[static_cast<std::size_t>(i * (gj + 1) + j)]; }

  std::string Text() const {
    std::string s = title;
    s.resize(80, ' ');
    s += "\n";
    s += fmt::format("{} 1 {} {} {} {}\n", analysisType, nodes.size(), el8.size(), materials.size(),
                     tempMode);
    s += fmt::format("{:.17g} 3600 3600 {:.17g}\n", initialTime, thickness);
    s += fmt::format("{} {} {} {} {} {} {} {} {} {} {} {} {} {} {}\n", el5.size(), el3.size(),
                     edgeTemp.size(), edgeTempConds.size(), edgeFlow.size(), edgeFlowConds.size(),
                     surfTemp.size(), surfTempConds.size(), surfFlow.size(), surfFlowConds.size(),
                     nodalTemp.size(), nodalTempConds.size(), nodalFlow.size(),
                     nodalFlowConds.size(), pipes.size());
    s += "0 0 0 0 0 0 0 0 0 0\n";
    for (const auto& n : nodes) s += fmt::format("{:.17g} {:.17g}\n", n[0], n[1]);
    for (const auto& e : el8) s += fmt::format("{}\n", fmt::join(e, " "));
    for (const auto& e : el5) s += fmt::format("{}\n", fmt::join(e, " "));
    for (const auto& e : el3) s += fmt::format("{}\n", fmt::join(e, " "));
    for (const DatMaterial& m : materials) {
      s += fmt::format("{}\n{:.17g} {:.17g}\n{:.17g} {:.17g} {:.17g} {:.17g}\n", m.kind, m.cast,
                       m.removal, m.lambda, m.rho, m.c, m.t0);
      s += fmt::format("{:.17g} {:.17g} {:.17g}\n{:.17g} {:.17g} {:.17g}\n", m.m0, m.cement,
                       m.beta0, m.qInf, m.lambda1, m.t1);
      s += fmt::format("{:.17g} {:.17g} {:.17g}\n", m.kappa1, m.theta0, m.kappa0);
      s += "0 0 0\n0 0 0 0 0\n";
      for (int l = 0; l < 12; ++l) s += "0 0 0 0\n";
      s += "0 0\n";
    }
    auto items = [&](const auto& list) {
      for (const auto& it : list) s += fmt::format("{}\n", fmt::join(it, " "));
    };
    auto history = [&](const std::vector<DatCondition>& conds, bool coefficient) {
      for (const DatCondition& c : conds) {
        if (coefficient)
          s += fmt::format("{} {:.17g}\n", c.history.size(), c.coefficient);
        else
          s += fmt::format("{}\n", c.history.size());
        for (const auto& [t, v] : c.history) s += fmt::format("{:.17g} {:.17g}\n", t, v);
      }
    };
    items(edgeTemp);
    history(edgeTempConds, true);
    items(edgeFlow);
    history(edgeFlowConds, false);
    items(surfTemp);
    history(surfTempConds, true);
    items(surfFlow);
    history(surfFlowConds, false);
    items(nodalTemp);
    history(nodalTempConds, true);
    items(nodalFlow);
    history(nodalFlowConds, false);
    for (const Pipe& p : pipes) {
      s += fmt::format("{} {:.17g} {:.17g} {:.17g} {:.17g} {}\n", p.history.size(), p.alpha,
                       p.diameter, p.length, p.rhoc, p.mode);
      for (const auto& h : p.history)
        s += fmt::format("{:.17g} {:.17g} {:.17g}\n", h[0], h[1], h[2]);
    }
    for (std::size_t e = 0; e < el8.size(); ++e)
      s += fmt::format("1 {:.17g}\n", thicknessOf.empty() ? -1.0 : thicknessOf[e]);
    return s;
  }

  void Write(const std::string& path) const { std::ofstream(path, std::ios::binary) << Text(); }

  /// Edge (3 nodes, counter-clockwise along the boundary) of element column/row
  /// on the left (x = x0) side, row ey.
  std::array<int, 3> LeftEdge(int ey) const {
    return {Grid(0, 2 * ey + 2), Grid(0, 2 * ey + 1), Grid(0, 2 * ey)};
  }
  std::array<int, 3> RightEdge(int ey) const {
    return {Grid(gi, 2 * ey), Grid(gi, 2 * ey + 1), Grid(gi, 2 * ey + 2)};
  }
  std::array<int, 3> BottomEdge(int ex) const {
    return {Grid(2 * ex, 0), Grid(2 * ex + 1, 0), Grid(2 * ex + 2, 0)};
  }
  std::array<int, 3> TopEdge(int ex) const {
    return {Grid(2 * ex + 2, gj), Grid(2 * ex + 1, gj), Grid(2 * ex, gj)};
  }
  /// The first `edges` top edges under a new air temperature condition `cond`.
  void CoolTop(int edges, DatCondition cond) {
    const int number = static_cast<int>(edgeTempConds.size()) + 1;
    for (int ex = 0; ex < edges; ++ex) {
      const auto tp = TopEdge(ex);
      edgeTemp.push_back({tp[0], tp[1], tp[2], number});
    }
    edgeTempConds.push_back(std::move(cond));
  }
};

/// A rectangle [x0, x0 + w] × [0, h] of nx × ny 8-node elements of material 1;
/// nodes numbered column by column (small band width for nx ≥ ny).
inline DatModel Rectangle(int nx, int ny, double w, double h, double x0 = 0.0) {
  DatModel m;
  m.gi = 2 * nx;
  m.gj = 2 * ny;
  m.grid.assign(static_cast<std::size_t>((m.gi + 1) * (m.gj + 1)), 0);
  for (int i = 0; i <= m.gi; ++i)
    for (int j = 0; j <= m.gj; ++j) {
      if (i % 2 == 1 && j % 2 == 1) continue;
      m.nodes.push_back({x0 + w * i / m.gi, h * j / m.gj});
      m.grid[static_cast<std::size_t>(i * (m.gj + 1) + j)] = static_cast<int>(m.nodes.size());
    }
  for (int ey = 0; ey < ny; ++ey)
    for (int ex = 0; ex < nx; ++ex) {
      const int i = 2 * ex, j = 2 * ey;
      m.el8.push_back({m.Grid(i, j), m.Grid(i + 1, j), m.Grid(i + 2, j), m.Grid(i + 2, j + 1),
                       m.Grid(i + 2, j + 2), m.Grid(i + 1, j + 2), m.Grid(i, j + 2),
                       m.Grid(i, j + 1), 1, 0, 0, 0});
    }
  m.materials.push_back({});
  return m;
}

}  // namespace vemto::engine::testing
