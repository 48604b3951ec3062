// Thermal element routines against closed forms and their own edge cases.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "ThermalElements.h"

namespace vemto::engine {
namespace {

// Unit square scaled by s, nodes in the element's local order.
std::array<Point2, 8> Square(double s = 1.0, double x0 = 0.0) {
  return {{{x0, 0},
           {x0 + 0.5 * s, 0},
           {x0 + s, 0},
           {x0 + s, 0.5 * s},
           {x0 + s, s},
           {x0 + 0.5 * s, s},
           {x0, s},
           {x0, 0.5 * s}}};
}

double Sum(const auto& a) {
  return std::accumulate(a.begin(), a.end(), 0.0);
}

TEST(ThermalElements, UnitSquareConductionAndCapacity) {
  const std::array<Point2, 8> xy = Square();
  for (const auto& gp : kGaussPoints)
    EXPECT_NEAR(MapElement8(Serendipity(gp[0], gp[1]), xy).detJ, 0.25, 1e-15);
  ConductionProps p;
  p.lambda = 1.0;
  p.rho = 2.0;
  p.c = 3.0;
  p.thickness = 1.0;
  p.q = {5.0, 5.0, 5.0, 5.0};
  ThermalMatrices<8> m;
  ASSERT_EQ(ConductionElement(ThermalAxi::kPlane, p, xy, m), ElementStatus::kValid);
  for (int i = 0; i < 8; ++i) {
    double row = 0.0;
    for (int j = 0; j < 8; ++j) {
      row += m.K(i, j);
      EXPECT_NEAR(m.K(i, j), m.K(j, i), 1e-15);
    }
    EXPECT_NEAR(row, 0.0, 1e-14);
  }
  EXPECT_NEAR(Sum(m.c), 6.0, 1e-13);  // ρc · area
  EXPECT_NEAR(Sum(m.f), 5.0, 1e-14);  // q · area
  // A linear field T = x gives the constant flux λ through x = 1: the nodal
  // fluxes K·T sum to +1 on the right side and −1 on the left.
  double right = 0.0;
  for (int i : {2, 3, 4}) {
    double kt = 0.0;
    for (int j = 0; j < 8; ++j) kt += m.K(i, j) * xy[j].x;
    right += kt;
  }
  EXPECT_NEAR(right, 1.0, 1e-13);
}

TEST(ThermalElements, ClockwiseElementIsRejected) {
  std::array<Point2, 8> xy = Square();
  std::reverse(xy.begin(), xy.end());
  ConductionProps p;
  p.lambda = p.rho = p.c = 1.0;
  ThermalMatrices<8> m;
  EXPECT_EQ(ConductionElement(ThermalAxi::kPlane, p, xy, m), ElementStatus::kNonPositiveJacobian);
}

TEST(ThermalElements, SurfaceAndEdgeHeatTransferTotals) {
  ThermalMatrices<8> s;
  SurfaceHeatTransfer(1.0, 10.0, Square(), s);
  EXPECT_NEAR(Sum(s.k), 2.0, 1e-14);  // both faces, no thickness
  EXPECT_NEAR(Sum(s.f), 20.0, 1e-13);
  std::array<double, 8> sf;
  SurfaceHeatFlow(3.0, Square(), sf);
  EXPECT_NEAR(Sum(sf), 6.0, 1e-13);

  const std::array<Point2, 3> edge{{{0, 0}, {1.5, 2.0}, {3.0, 4.0}}};  // length 5
  ThermalMatrices<3> e;
  EdgeHeatTransfer(ThermalAxi::kPlane, 1.0, 20.0, 1.0, edge, e);
  EXPECT_NEAR(Sum(e.k), 5.0, 1e-13);
  EXPECT_NEAR(Sum(e.f), 100.0, 1e-12);
  EdgeHeatTransfer(ThermalAxi::kPlane, 1.0, 20.0, 0.25, edge, e);
  EXPECT_NEAR(Sum(e.k), 1.25, 1e-13);
  std::array<double, 3> f;
  EdgeHeatFlow(ThermalAxi::kPlane, 2.0, 1.0, edge, f);
  EXPECT_NEAR(Sum(f), 10.0, 1e-13);
  // Axisymmetric: a horizontal edge from r = 1 to r = 3 has area π(3² − 1²).
  const std::array<Point2, 3> ring{{{1, 0}, {2, 0}, {3, 0}}};
  EdgeHeatTransfer(ThermalAxi::kAxisymmetric, 1.0, 0.0, 1.0, ring, e);
  EXPECT_NEAR(Sum(e.k), kTwoPi * 4.0, 1e-12);
}

TEST(ThermalElements, AxisymmetricElementOnTheAxis) {
  ConductionProps p;
  p.lambda = 1.0;
  p.rho = 1.0;
  p.c = 1.0;
  ThermalMatrices<8> m;
  ASSERT_EQ(ConductionElement(ThermalAxi::kAxisymmetric, p, Square(), m), ElementStatus::kValid);
  // Volume of the unit square turned about the axis: 2π·(1/2)·1 = π (exact for a
  // linear radius with 2×2 Gauss points).
  EXPECT_NEAR(Sum(m.c), kTwoPi * 0.5, 1e-13);
  for (int i = 0; i < 8; ++i) EXPECT_GT(m.C(i, i), 0.0);
}

TEST(ThermalElements, InfiniteElementsAtFarFieldTemperatureCarryNoHeat) {
  InfiniteProps p{2.0, 2400.0, 900.0, 12.5, 1.0};
  // Boundary element below the segment y = 0, x ∈ [0, 2], opening downwards.
  const std::array<Point2, 5> b{{{2, 0}, {1, 0}, {0, 0}, {-0.5, -1.0}, {2.5, -1.0}}};
  ThermalMatrices<5> m5;
  ASSERT_EQ(InfiniteBoundaryElement(ThermalAxi::kPlane, p, b, m5), ElementStatus::kValid);
  for (int i = 0; i < 5; ++i) {
    double r = m5.f[i];
    for (int j = 0; j < 5; ++j) r -= m5.K(i, j) * p.tFar;
    EXPECT_NEAR(r, 0.0, 1e-10) << i;  // f − K·T∞ = 0 (scale |f| ≈ 10)
    EXPECT_NEAR(m5.K(i, 0), m5.K(0, i), 1e-12);
  }
  // Corner element at the corner (0, 0) of a mesh in the first quadrant.
  const std::array<Point2, 3> c{{{0, 0}, {-1, 0}, {0, -1}}};
  ThermalMatrices<3> m3;
  ASSERT_EQ(InfiniteCornerElement(ThermalAxi::kPlane, p, c, m3), ElementStatus::kValid);
  for (int i = 0; i < 3; ++i) {
    double r = m3.f[i];
    for (int j = 0; j < 3; ++j) r -= m3.K(i, j) * p.tFar;
    EXPECT_NEAR(r, 0.0, 1e-10) << i;
  }
  // Reversed orientation is rejected.
  const std::array<Point2, 5> bad{{{0, 0}, {1, 0}, {2, 0}, {2.5, -1.0}, {-0.5, -1.0}}};
  EXPECT_EQ(InfiniteBoundaryElement(ThermalAxi::kPlane, p, bad, m5),
            ElementStatus::kNonPositiveJacobian);
}

TEST(ThermalElements, PipeCornerElementKeepsConstantsAndCutsTheQuarterCircle) {
  ConductionProps p;
  p.lambda = 1.5;
  p.rho = 1.0;
  p.c = 1.0;
  p.q = {1.0, 1.0, 1.0, 1.0};
  const double d = 0.2, r = 0.1;
  for (int corner : {1, 3, 5, 7}) {
    ThermalMatrices<8> m;
    ASSERT_EQ(PipeCornerElement(ThermalAxi::kPlane, p, d, corner, Square(), m),
              ElementStatus::kValid);
    for (int i = 0; i < 8; ++i) {
      double row = 0.0;
      for (int j = 0; j < 8; ++j) row += m.K(i, j);
      EXPECT_NEAR(row, 0.0, 1e-12) << corner;  // a uniform temperature carries no heat
    }
    // Area of the square without the quarter circle; the arc is quadratic, so the
    // area is exact to about 1e-4 of the circle's area (π r²/4 ≈ 7.9e-3).
    const double area = 1.0 - M_PI * r * r / 4.0;
    EXPECT_NEAR(Sum(m.c), area, 1e-5) << corner;
    EXPECT_NEAR(Sum(m.f), area, 1e-5) << corner;
    const PipeWallTerms w = PipeWall(ThermalAxi::kPlane, 100.0, 8.0, d, 2.0, corner, Square());
    // α · quarter circumference · thickness, quadratic arcs: relative error ≈ 1e-4.
    EXPECT_NEAR(w.kcc, 100.0 * M_PI * r / 2.0 * 2.0, 1e-3 * w.kcc);
    EXPECT_NEAR(w.fc, 8.0 * w.kcc, 1e-9 * w.fc);
  }
  ThermalMatrices<8> m;
  std::array<Point2, 8> mirrored = Square();
  for (Point2& pt : mirrored) pt.x = -pt.x;  // clockwise node order
  EXPECT_EQ(PipeCornerElement(ThermalAxi::kPlane, p, d, 1, mirrored, m),
            ElementStatus::kNonPositiveJacobian);
}

TEST(ThermalElements, PipeCornerElementStaysValidWhenThePipeNearlyFillsTheHalfSide) {
  // A 2 x 1 element (half sides 1 and 0.5) refined until the pipe reaches close to the
  // near mid-side node: the sub-elements must neither fold nor lose area.
  std::array<Point2, 8> xy = Square();
  for (Point2& pt : xy) pt.x *= 2.0;
  ConductionProps p;
  p.lambda = p.rho = p.c = 1.0;
  p.q = {1.0, 1.0, 1.0, 1.0};
  for (const double share : {0.2, 0.6, 0.8, 0.9, 0.97}) {  // pipe radius / short half side
    const double r = 0.5 * share;
    for (int corner : {1, 3, 5, 7}) {
      ThermalMatrices<8> m;
      ASSERT_EQ(PipeCornerElement(ThermalAxi::kPlane, p, 2.0 * r, corner, xy, m),
                ElementStatus::kValid)
          << share << " " << corner;
      // The arcs are quadratic over 27° and 63°: exact to about 0.2 % of the cut area.
      const double cut = M_PI * r * r / 4.0;
      EXPECT_NEAR(Sum(m.c), 2.0 - cut, 3e-3 * cut) << share << " " << corner;
      for (int i = 0; i < 8; ++i) {
        double row = 0.0;
        for (int j = 0; j < 8; ++j) row += m.K(i, j);
        EXPECT_NEAR(row, 0.0, 1e-9) << share;  // a uniform temperature carries no heat
        EXPECT_GT(m.K(i, i), 0.0) << share;
      }
    }
  }
  // A pipe that reaches the mid-side node leaves no room for the element.
  ThermalMatrices<8> m;
  EXPECT_EQ(PipeCornerElement(ThermalAxi::kPlane, p, 1.0, 1, xy, m),
            ElementStatus::kNonPositiveJacobian);
}

}  // namespace
}  // namespace vemto::engine
