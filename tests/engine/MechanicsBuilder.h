// Analysis data files with mechanical data: a DatModel whose materials get the
// mechanical rows of a Mechanics record, and prescribed displacements.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "DatBuilder.h"

namespace vemto::engine::testing {

inline constexpr double kMechanicsE = 30e9, kMechanicsNu = 0.2;

// Mechanical rows 5 ... 57 of every material, edge loads and prescribed displacements.
struct Mechanics {
  std::vector<double> rows = std::vector<double>(58, 0.0);
  std::array<int, 5> switches{};  // development, fracture, creep, stress-induced, shrinkage
  std::vector<std::array<int, 4>> loadEdges;                  // 3 nodes, condition
  std::vector<std::vector<std::array<double, 3>>> loadConds;  // points (t, px, py)
  std::vector<std::array<int, 2>> dispNodes;                  // node, condition
  std::vector<std::pair<std::array<int, 2>, std::vector<std::array<double, 3>>>> dispConds;
  Mechanics() {
    rows[5] = 1e10;
    rows[9] = 28 * 86400.0;
    rows[12] = kMechanicsE;
    rows[17] = rows[18] = kMechanicsNu;
    rows[21] = 5e6;
    rows[26] = 100.0;
    rows[28] = 1e-5;
    rows[29] = 1.0;
    rows[53] = 40e6;
  }
  /// Stiffness and strengths developing with maturity from a reference of 28 d (in hours,
  /// like the maturity): g(x) = 1 / (1 / (2x) + 1 / 2) of the maturity ratio x.
  void DevelopWithMaturity() {
    switches[0] = 1;
    rows[9] = 28 * 24.0;
    for (std::size_t law : {13u, 22u, 54u}) {
      rows[law] = 2.0;
      rows[law + 1] = 1.0;
      rows[law + 2] = 2.0;
    }
  }
  /// Every node of the bottom row of `m` held in both directions.
  void HoldBase(const DatModel& m) {
    const int number = static_cast<int>(dispConds.size()) + 1;
    dispConds.push_back({{1, 1}, {{0.0, 0.0, 0.0}, {1e9, 0.0, 0.0}}});
    for (int i = 0; i <= m.gi; ++i) dispNodes.push_back({m.Grid(i, 0), number});
  }
};

// The analysis data file of `m` with the mechanical data of `mech` filled in.
inline std::string WithMechanics(const DatModel& m, const Mechanics& mech) {
  std::string zero;
  for (int l = 0; l < 12; ++l) zero += "0 0 0 0\n";
  zero = "0 0 0\n0 0 0 0 0\n" + zero + "0 0\n";
  std::string block = fmt::format("{:.17g} {:.17g} {:.17g}\n{}\n", mech.rows[5], mech.rows[6],
                                  mech.rows[7], fmt::join(mech.switches, " "));
  for (int l = 0; l < 12; ++l)
    block += fmt::format("{:.17g} {:.17g} {:.17g} {:.17g}\n", mech.rows[8 + 4 * l],
                         mech.rows[9 + 4 * l], mech.rows[10 + 4 * l], mech.rows[11 + 4 * l]);
  block += fmt::format("{:.17g} {:.17g}\n", mech.rows[56], mech.rows[57]);
  std::string text = m.Text();
  for (std::size_t at = text.find(zero); at != std::string::npos;
       at = text.find(zero, at + block.size()))
    text.replace(at, zero.size(), block);
  std::vector<std::string> lines;
  for (std::size_t a = 0; a < text.size();) {
    const std::size_t e = text.find('\n', a);
    lines.push_back(text.substr(a, e - a + 1));
    a = e + 1;
  }
  lines[4] = fmt::format("0 0 {} {} {} {} 0 0 0 0\n", mech.loadEdges.size(), mech.loadConds.size(),
                         mech.dispNodes.size(), mech.dispConds.size());
  std::string sections;
  for (const auto& e : mech.loadEdges) sections += fmt::format("{}\n", fmt::join(e, " "));
  for (const auto& c : mech.loadConds) {
    sections += fmt::format("{}\n", c.size());
    for (const auto& p : c) sections += fmt::format("{:.17g} {:.17g} {:.17g}\n", p[0], p[1], p[2]);
  }
  for (const auto& d : mech.dispNodes) sections += fmt::format("{} {}\n", d[0], d[1]);
  for (const auto& c : mech.dispConds) {
    sections += fmt::format("{} {} {}\n", c.second.size(), c.first[0], c.first[1]);
    for (const auto& p : c.second)
      sections += fmt::format("{:.17g} {:.17g} {:.17g}\n", p[0], p[1], p[2]);
  }
  std::string out;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i == lines.size() - m.el8.size()) out += sections;
    out += lines[i];
  }
  return out;
}

}  // namespace vemto::engine::testing
