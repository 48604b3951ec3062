// Shape functions of the eight-node serendipity quadrilateral: the one copy that the
// mesher, the engine's thermal and mechanical elements, the temperature-and-maturity
// transfer and the command line compile in.
//
// Local node order: corners and mid-side nodes alternate counter-clockwise from the
// corner at (ξ, η) = (−1, −1): 0 (−1,−1), 1 (0,−1), 2 (1,−1), 3 (1,0), 4 (1,1), 5 (0,1),
// 6 (−1,1), 7 (−1,0). Every user relies on these exact floating-point expressions
// (their results are compared bit for bit); change them only deliberately.
#pragma once

#include <array>

namespace numlib {

/// Local coordinates ξ and η of the eight nodes, in the local node order.
inline constexpr std::array<double, 8> kQuad8Xi{-1, 0, 1, 1, 1, 0, -1, -1};
inline constexpr std::array<double, 8> kQuad8Eta{-1, -1, -1, 0, 1, 1, 1, 0};

/// Values of the eight shape functions at (ξ, η) (dimensionless).
inline std::array<double, 8> Quad8Values(double xi, double eta) {
  const double xm = 1.0 - xi, xp = 1.0 + xi, em = 1.0 - eta, ep = 1.0 + eta;
  return {0.25 * xm * em * (-xi - eta - 1.0), 0.5 * (1.0 - xi * xi) * em,
          0.25 * xp * em * (xi - eta - 1.0),  0.5 * xp * (1.0 - eta * eta),
          0.25 * xp * ep * (xi + eta - 1.0),  0.5 * (1.0 - xi * xi) * ep,
          0.25 * xm * ep * (-xi + eta - 1.0), 0.5 * xm * (1.0 - eta * eta)};
}

/// Values and local derivatives ∂/∂ξ, ∂/∂η of the eight shape functions at one point.
struct Quad8Shape {
  std::array<double, 8> n{};     ///< values
  std::array<double, 8> dxi{};   ///< ∂n/∂ξ
  std::array<double, 8> deta{};  ///< ∂n/∂η
};

/// Values and local derivatives at (ξ, η).
inline Quad8Shape Quad8ShapeAt(double xi, double eta) {
  Quad8Shape s;
  s.n = Quad8Values(xi, eta);
  const double xm = 1.0 - xi, xp = 1.0 + xi, em = 1.0 - eta, ep = 1.0 + eta;
  s.dxi = {0.25 * em * (2.0 * xi + eta), -xi * em,
           0.25 * em * (2.0 * xi - eta), 0.5 * (1.0 - eta * eta),
           0.25 * ep * (2.0 * xi + eta), -xi * ep,
           0.25 * ep * (2.0 * xi - eta), -0.5 * (1.0 - eta * eta)};
  s.deta = {0.25 * xm * (xi + 2.0 * eta), -0.5 * (1.0 - xi * xi),
            0.25 * xp * (2.0 * eta - xi), -xp * eta,
            0.25 * xp * (xi + 2.0 * eta), 0.5 * (1.0 - xi * xi),
            0.25 * xm * (2.0 * eta - xi), -xm * eta};
  return s;
}

}  // namespace numlib
