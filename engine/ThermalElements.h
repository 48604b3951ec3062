// Thermal element routines: serendipity interpolation, Jacobian checks, volume
// factor, conduction and capacity matrices, boundary heat transfer and heat flow,
// infinite elements, the pipe-corner element and the pipe wall.
//
// Every routine is a pure function on small value types: it takes the analysis
// flag, a short property set and the node coordinates and fills element matrices.
// Sign convention: a load f is heat per unit time entering the body (W, or W per
// unit thickness multiplied by the thickness); K·T − f = 0 at steady state.
#pragma once

#include <array>
#include <cstddef>

#include "Quad8.h"

namespace vemto::engine {

/// A point of the section (m); x is the radius in axisymmetric analysis.
struct Point2 {
  double x = 0.0;
  double y = 0.0;
};

/// Gauss abscissa 1/√3 of the 2-point rule (weights 1).
inline constexpr double kGaussA = 0.5773502691896257;
/// 2π as used by the volume factor of axisymmetric analyses.
inline constexpr double kTwoPi = 6.283185307179586;
/// Smallest accepted Jacobian determinant; below it the element is rejected.
inline constexpr double kMinDetJ = 1e-20;

/// Axisymmetry flag of the thermal routines: 2 = axisymmetric, 1 = plane.
enum class ThermalAxi : int { kPlane = 1, kAxisymmetric = 2 };

/// Status of a routine that maps geometry.
enum class ElementStatus : int { kValid = 0, kNonPositiveJacobian = 1 };

/// Local coordinates of the 2×2 Gauss points, in storage order.
inline constexpr std::array<std::array<double, 2>, 4> kGaussPoints{
    {{-kGaussA, -kGaussA}, {kGaussA, -kGaussA}, {-kGaussA, kGaussA}, {kGaussA, kGaussA}}};

/// Values and local derivatives of the eight serendipity functions at (ξ, η).
using Shape8 = numlib::Quad8Shape;
inline Shape8 Serendipity(double xi, double eta) {
  return numlib::Quad8ShapeAt(xi, eta);
}

/// The serendipity functions at the four Gauss points (kGaussPoints order).
const std::array<Shape8, 4>& GaussShapes();

/// Values and derivative (d/dξ) of the three edge functions at ξ.
struct Shape3 {
  std::array<double, 3> n{};
  std::array<double, 3> dxi{};
};
Shape3 EdgeShape(double xi);

/// Geometry of an 8-node element at one point: det J, Cartesian derivatives of
/// the serendipity functions (1/m) and the interpolated position.
struct Geometry8 {
  double detJ = 0.0;
  std::array<double, 8> dx{};
  std::array<double, 8> dy{};
  Point2 pos;
};
/// Maps the point (ξ, η) of the element with nodes `xy`; valid only when
/// detJ ≥ kMinDetJ (otherwise dx, dy are left zero).
Geometry8 MapElement8(const Shape8& s, const std::array<Point2, 8>& xy);

/// Square matrix plus load vector of an element with N unknowns, row-major.
template <std::size_t N>
struct ThermalMatrices {
  std::array<double, N * N> k{};  ///< conduction / heat-transfer matrix (W/K)
  std::array<double, N * N> c{};  ///< capacity matrix (J/K)
  std::array<double, N> f{};      ///< heat load (W), positive into the body
  double& K(std::size_t i, std::size_t j) { return k[i * N + j]; }
  double K(std::size_t i, std::size_t j) const { return k[i * N + j]; }
  double& C(std::size_t i, std::size_t j) { return c[i * N + j]; }
  double C(std::size_t i, std::size_t j) const { return c[i * N + j]; }
};

/// Properties of the conduction element.
struct ConductionProps {
  double lambda = 0.0;        ///< thermal conductivity λ (W/(m·K))
  double rho = 0.0;           ///< density ρ (kg/m³)
  double c = 0.0;             ///< specific heat c (J/(kg·K))
  double thickness = 1.0;     ///< thickness (m), plane analyses only
  std::array<double, 4> q{};  ///< heat generation rate at Gauss points 1–4 (W/m³)
};

/// Volume factor at radius r: 2π·r when axisymmetric, else the thickness.
inline double VolumeFactor(ThermalAxi axi, double r, double thickness) {
  return axi == ThermalAxi::kAxisymmetric ? kTwoPi * r : thickness;
}

/// 8-node conduction element: K = Σ λ ∇N·∇N w, C = Σ ρc N N w, f = Σ q N w. When
/// `weights` is given it receives w (volume factor times det J) of the four Gauss
/// points, with which ConductionLoad forms f for other heat rates.
ElementStatus ConductionElement(ThermalAxi axi, const ConductionProps& p,
                                const std::array<Point2, 8>& xy, ThermalMatrices<8>& out,
                                std::array<double, 4>* weights = nullptr);

/// The load f = Σ q N w of the conduction element from its Gauss-point weights,
/// the same bits as ConductionElement's f.
void ConductionLoad(const std::array<double, 4>& q, const std::array<double, 4>& weights,
                    std::array<double, 8>& f);

/// Edge heat transfer on a 3-node edge: K = Σ α N N ds·factor, f = Σ α Ta N ds·factor.
/// `alpha` in W/(m²·K), `ambient` in °C, `thickness` in m.
void EdgeHeatTransfer(ThermalAxi axi, double alpha, double ambient, double thickness,
                      const std::array<Point2, 3>& xy, ThermalMatrices<3>& out);
/// Edge heat flow: f = Σ q N ds·factor (q in W/m², positive into the body).
void EdgeHeatFlow(ThermalAxi axi, double q, double thickness, const std::array<Point2, 3>& xy,
                  std::array<double, 3>& f);

/// Surface heat transfer through both faces of a plate element (weight 2·det J, no
/// thickness, no axisymmetric factor).
void SurfaceHeatTransfer(double alpha, double ambient, const std::array<Point2, 8>& xy,
                         ThermalMatrices<8>& out);
/// Surface heat flow through both faces: f = Σ q N 2 det J (q in W/m²).
void SurfaceHeatFlow(double q, const std::array<Point2, 8>& xy, std::array<double, 8>& f);

/// Nodal factor: thickness, or 2π·x of the node when axisymmetric.
inline double NodalFactor(ThermalAxi axi, const Point2& node, double thickness) {
  return VolumeFactor(axi, node.x, thickness);
}

/// Properties of the infinite elements.
struct InfiniteProps {
  double lambda = 0.0;     ///< W/(m·K)
  double rho = 0.0;        ///< kg/m³
  double c = 0.0;          ///< J/(kg·K)
  double tFar = 0.0;       ///< far-field temperature T∞ (°C)
  double thickness = 1.0;  ///< default thickness (m)
};
/// 5-node infinite boundary element (nodes 1–3 on the finite boundary, 4 and 5 on
/// the sides running to infinity). f_i = −T∞ Σ_{j at infinity} K_ij.
ElementStatus InfiniteBoundaryElement(ThermalAxi axi, const InfiniteProps& p,
                                      const std::array<Point2, 5>& xy, ThermalMatrices<5>& out);
/// 3-node infinite corner element (node 1 at the corner of the finite mesh).
ElementStatus InfiniteCornerElement(ThermalAxi axi, const InfiniteProps& p,
                                    const std::array<Point2, 3>& xy, ThermalMatrices<3>& out);

/// Pipe-corner element: the conduction element with the quarter circle of diameter
/// `diameter` (m) around local corner `corner` (1, 3, 5 or 7) cut out, built from
/// two sub-elements and condensed onto the eight parent nodes.
ElementStatus PipeCornerElement(ThermalAxi axi, const ConductionProps& p, double diameter,
                                int corner, const std::array<Point2, 8>& xy,
                                ThermalMatrices<8>& out);

/// Heat exchange through the pipe wall at the corner node: kcc (W/K) is added to
/// K at the corner node and fc (W) to its load.
struct PipeWallTerms {
  double kcc = 0.0;
  double fc = 0.0;
};
PipeWallTerms PipeWall(ThermalAxi axi, double alphaPipe, double waterTemperature, double diameter,
                       double thickness, int corner, const std::array<Point2, 8>& xy);

}  // namespace vemto::engine
