// Meshes of eight-node elements and locating points in them (inverse isoparametric
// mapping), as the temperature-and-maturity transfer between two models needs.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vemto::tmfetch {

/// Gauss point coordinate of the 2 × 2 rule, 1/√3.
inline constexpr double kGauss = 0.5773502691896257;

/// Nodes and eight-node elements; node indices 0-based, element nodes counter-clockwise
/// with the corners at 0, 2, 4, 6 (corner 0 at local (−1, −1)).
struct QuadMesh {
  std::vector<double> x, y;                           ///< node coordinates, m
  std::vector<std::array<std::int32_t, 8>> elements;  ///< node indices per element
};

/// Physical point of element `e` at (ξ, η).
void MapPoint(const QuadMesh& mesh, std::size_t e, double xi, double eta, double& x, double& y);

/// Determinant of the Jacobian of element `e` at (ξ, η), m².
double JacobianDeterminant(const QuadMesh& mesh, std::size_t e, double xi, double eta);

/// Where a point lies in a mesh.
struct PointLocation {
  std::size_t element = 0;  ///< element index
  double xi = 0.0;          ///< local coordinates (inside [−1, 1] when inside)
  double eta = 0.0;
  bool inside = false;    ///< false: nearest element, local point clamped to it
  double distance = 0.0;  ///< distance from the point to the local point, m
};

/// Finds the element containing a point (bucket grid over element bounding boxes,
/// Newton inverse mapping), or the nearest element for points outside the mesh.
class MeshLocator {
 public:
  /// `mesh` must outlive the locator and hold at least one element.
  explicit MeshLocator(const QuadMesh& mesh);
  /// The element containing (x, y), else the nearest one.
  PointLocation Locate(double x, double y) const;

 private:
  /// Inverse mapping of (x, y) in element e, local point clamped to the element.
  PointLocation Project(std::size_t e, double x, double y) const;
  struct Box {
    double x0, y0, x1, y1;
  };
  const QuadMesh& mesh_;
  std::vector<Box> boxes_;
  double gx0_ = 0.0, gy0_ = 0.0, cell_ = 1.0;
  std::int64_t nx_ = 1, ny_ = 1;
  std::vector<std::vector<std::uint32_t>> cells_;
};

}  // namespace vemto::tmfetch
