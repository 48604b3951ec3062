// Mechanical element routines: the 8-node element (stiffness, free-strain load, body force,
// strain increment, internal force), edge and nodal springs and loads, and the crack band
// extents of a Gauss point.
//
// Degrees of freedom of an element are ordered (u1, v1, u2, v2, ...) in the node order of the
// element (corners and mid-side nodes alternating counter-clockwise from (-1, -1)). Forces are
// totals over the thickness, or over the full circumference in axisymmetric analysis.
#pragma once

#include <array>

#include "MechTypes.h"

namespace vemto::engine::mech {

// Node coordinates of an 8-node element (x1, y1, x2, y2, ..., x8, y8) (m); x is the radius in
// axisymmetric analysis.
using ElementCoords = std::array<double, 16>;
// Node coordinates of a 3-node edge (x1, y1, x2, y2, x3, y3) (m).
using EdgeCoords = std::array<double, 6>;
using ElementMatrix = std::array<double, 256>;  // 16 x 16, row-major
using ElementVector = std::array<double, 16>;

// Shape functions and derivatives at one Gauss point of an 8-node element.
struct MechGaussPoint {
  std::array<double, 8> N{};     // serendipity functions
  std::array<double, 8> dNdx{};  // (1/m)
  std::array<double, 8> dNdy{};  // (1/m)
  double detJ = 0.0;             // Jacobian determinant (m2)
  double x = 0.0, y = 0.0;       // position (m)
  double w = 0.0;                // volume factor * det J: thickness * det J, or 2 pi r det J
};

// The four Gauss points in storage order (-a,-a), (a,-a), (-a,a), (a,a), a = 1/sqrt 3.
using MechElementGeometry = std::array<MechGaussPoint, 4>;

// Geometry at the four Gauss points. Returns 0 when valid, 1 when det J < 1e-20 at some point
// (or, in axisymmetric analysis, a Gauss point lies at a radius <= 0).
int mechElementGeometry(AnalysisType a, const ElementCoords& xy, double thickness,
                        MechElementGeometry& out);

// K += B^T D B w at one point, the upper triangle only (K(i, j) for i <= j; the
// lower is left as it is); D is 3 x 3 (plane) or 4 x 4 (axisymmetric).
void mechAddStiffness(AnalysisType a, const MechGaussPoint& g, const Matrix4& D, ElementMatrix& K);
// Sets the lower triangle of K from its upper triangle.
void mechMirrorUpper(ElementMatrix& K);
// f += B^T s w at one point: the free-strain load with s = dSigma0, the internal force with
// s = sigma (N).
void mechAddStressForce(AnalysisType a, const MechGaussPoint& g, const Vector4& s,
                        ElementVector& f);
// f += N (bx, by) w at one point, body force (bx, by) in N/m3.
void mechAddBodyForce(const MechGaussPoint& g, double bx, double by, ElementVector& f);
// Strain B du at one point (x, y, xy and, axisymmetric, z = hoop); du nodal displacements (m).
Vector4 mechStrain(AnalysisType a, const MechGaussPoint& g, const ElementVector& du);

// Edge spring with stiffnesses kx, ky per unit edge area (N/m3) towards a support moved by
// (da, db) (m): K (6 x 6, N/m) and f (N) over the edge (u1, v1, u2, v2, u3, v3).
struct EdgeSpring {
  std::array<double, 36> K{};
  std::array<double, 6> f{};
};
EdgeSpring mechEdgeSpring(AnalysisType a, const EdgeCoords& xy, double thickness, double kx,
                          double ky, double da, double db);
// Edge load from a traction increment (dpx, dpy) (Pa): nodal forces (N).
std::array<double, 6> mechEdgeLoad(AnalysisType a, const EdgeCoords& xy, double thickness,
                                   double dpx, double dpy);

// Nodal spring at a node at radius/abscissa x: diagonal stiffness (N/m) and force (N).
struct NodalSpring {
  double kxx = 0.0, kyy = 0.0;
  double fx = 0.0, fy = 0.0;
};
NodalSpring mechNodalSpring(AnalysisType a, double x, double thickness, double kx, double ky,
                            double da, double db);
// Nodal load increment (dFx, dFy) per unit thickness (or circumference) as nodal forces (N).
std::array<double, 2> mechNodalLoad(AnalysisType a, double x, double thickness, double dFx,
                                    double dFy);

// Crack band extents (m) of Gauss point g (0..3) for a crack at angleDeg from the x axis:
// normal = largest spread along (cos, sin), tangential = along (-sin, cos), over the element
// centre and the three nodes of the point's corner.
struct CrackBand {
  double normal = 0.0;
  double tangential = 0.0;
};
CrackBand crackBandExtents(const ElementCoords& xy, int g, double angleDeg);

}  // namespace vemto::engine::mech
