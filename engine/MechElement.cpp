#include "MechElement.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>

#include "Quad8.h"

namespace vemto::engine::mech {

namespace {

constexpr double kA = 0.5773502691896257;  // 1/sqrt(3)
constexpr double kTwoPi = 6.283185307179586;
constexpr double kMinDet = 1e-20;
constexpr double kGauss[4][2] = {{-kA, -kA}, {kA, -kA}, {-kA, kA}, {kA, kA}};

// Row r (0..3) of B for node i: the factors on u_i and v_i.
inline void bRow(AnalysisType a, const MechGaussPoint& g, int r, std::size_t i, double& bu,
                 double& bv) {
  switch (r) {
    case 0:
      bu = g.dNdx[i];
      bv = 0.0;
      break;
    case 1:
      bu = 0.0;
      bv = g.dNdy[i];
      break;
    case 2:
      bu = g.dNdy[i];
      bv = g.dNdx[i];
      break;
    default:
      bu = a == AnalysisType::Axisymmetric ? g.N[i] / g.x : 0.0;
      bv = 0.0;
      break;
  }
}

double volumeFactor(AnalysisType a, double r, double thickness) {
  return a == AnalysisType::Axisymmetric ? kTwoPi * r : thickness;
}

struct EdgePoint {
  std::array<double, 3> n{};
  double ds = 0.0;  // length element per unit xi (m)
  double x = 0.0;
};

EdgePoint edgePoint(const EdgeCoords& xy, double xi) {
  EdgePoint p;
  p.n = {-0.5 * xi * (1 - xi), 1 - xi * xi, 0.5 * xi * (1 + xi)};
  const double d[3] = {xi - 0.5, -2 * xi, xi + 0.5};
  double dx = 0, dy = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    dx += d[i] * xy[2 * i];
    dy += d[i] * xy[2 * i + 1];
    p.x += p.n[i] * xy[2 * i];
  }
  p.ds = std::hypot(dx, dy);
  return p;
}

}  // namespace

int mechElementGeometry(AnalysisType a, const ElementCoords& xy, double thickness,
                        MechElementGeometry& out) {
  for (int q = 0; q < 4; ++q) {
    const numlib::Quad8Shape s = numlib::Quad8ShapeAt(kGauss[q][0], kGauss[q][1]);
    MechGaussPoint& g = out[static_cast<std::size_t>(q)];
    double xxi = 0, yxi = 0, xeta = 0, yeta = 0;
    g.x = g.y = 0.0;
    for (std::size_t i = 0; i < 8; ++i) {
      const double xi = xy[2 * i], yi = xy[2 * i + 1];
      xxi += s.dxi[i] * xi;
      yxi += s.dxi[i] * yi;
      xeta += s.deta[i] * xi;
      yeta += s.deta[i] * yi;
      g.x += s.n[i] * xi;
      g.y += s.n[i] * yi;
    }
    g.detJ = xxi * yeta - xeta * yxi;
    if (!(g.detJ >= kMinDet)) return 1;
    if (a == AnalysisType::Axisymmetric && !(g.x > 0.0)) return 1;
    g.N = s.n;
    for (std::size_t i = 0; i < 8; ++i) {
      g.dNdx[i] = (yeta * s.dxi[i] - yxi * s.deta[i]) / g.detJ;
      g.dNdy[i] = (-xeta * s.dxi[i] + xxi * s.deta[i]) / g.detJ;
    }
    g.w = volumeFactor(a, g.x, thickness) * g.detJ;
  }
  return 0;
}

void mechAddStiffness(AnalysisType a, const MechGaussPoint& g, const Matrix4& D, ElementMatrix& K) {
  // B of node i has the columns u_i = (dN/dx, 0, dN/dy, N/r) and v_i = (0, dN/dy, dN/dx, 0)
  // (the last row in axisymmetric analysis only); only their non-zero terms are summed, in
  // the order of the strain components.
  const bool axi = a == AnalysisType::Axisymmetric;
  const int n = componentCount(a);
  std::array<double, 8> hoop{};
  if (axi)
    for (std::size_t i = 0; i < 8; ++i) hoop[i] = g.N[i] / g.x;
  // DB (n x 16), then K += B^T (DB) w.
  double DB[4][16];
  for (int r = 0; r < n; ++r)
    for (std::size_t i = 0; i < 8; ++i) {
      double su = D(r, 0) * g.dNdx[i] + D(r, 2) * g.dNdy[i];
      if (axi) su += D(r, 3) * hoop[i];
      DB[r][2 * i] = su;
      DB[r][2 * i + 1] = D(r, 1) * g.dNdy[i] + D(r, 2) * g.dNdx[i];
    }
  // The upper triangle only (columns from the row's own on).
  for (std::size_t i = 0; i < 8; ++i) {
    const double dx = g.dNdx[i], dy = g.dNdy[i], nr = hoop[i];
    double* ku = &K[(2 * i) * 16];
    double* kv = &K[(2 * i + 1) * 16];
    for (std::size_t j = 2 * i; j < 16; ++j) {
      double su = dx * DB[0][j] + dy * DB[2][j];
      if (axi) su += nr * DB[3][j];
      ku[j] += su * g.w;
    }
    for (std::size_t j = 2 * i + 1; j < 16; ++j) kv[j] += (dy * DB[1][j] + dx * DB[2][j]) * g.w;
  }
}

void mechMirrorUpper(ElementMatrix& K) {
  for (std::size_t i = 1; i < 16; ++i)
    for (std::size_t j = 0; j < i; ++j) K[i * 16 + j] = K[j * 16 + i];
}

void mechAddStressForce(AnalysisType a, const MechGaussPoint& g, const Vector4& s,
                        ElementVector& f) {
  const int n = componentCount(a);
  for (std::size_t i = 0; i < 8; ++i) {
    double fu = 0.0, fv = 0.0;
    for (int k = 0; k < n; ++k) {
      double bu, bv;
      bRow(a, g, k, i, bu, bv);
      fu += bu * s[static_cast<std::size_t>(k)];
      fv += bv * s[static_cast<std::size_t>(k)];
    }
    f[2 * i] += fu * g.w;
    f[2 * i + 1] += fv * g.w;
  }
}

void mechAddBodyForce(const MechGaussPoint& g, double bx, double by, ElementVector& f) {
  for (std::size_t i = 0; i < 8; ++i) {
    f[2 * i] += g.N[i] * bx * g.w;
    f[2 * i + 1] += g.N[i] * by * g.w;
  }
}

Vector4 mechStrain(AnalysisType a, const MechGaussPoint& g, const ElementVector& du) {
  Vector4 e{};
  const int n = componentCount(a);
  for (int k = 0; k < n; ++k) {
    double s = 0.0;
    for (std::size_t i = 0; i < 8; ++i) {
      double bu, bv;
      bRow(a, g, k, i, bu, bv);
      s += bu * du[2 * i] + bv * du[2 * i + 1];
    }
    e[static_cast<std::size_t>(k)] = s;
  }
  return e;
}

EdgeSpring mechEdgeSpring(AnalysisType a, const EdgeCoords& xy, double thickness, double kx,
                          double ky, double da, double db) {
  EdgeSpring out;
  for (double xi : {-kA, kA}) {
    const EdgePoint p = edgePoint(xy, xi);
    const double w = p.ds * volumeFactor(a, p.x, thickness);
    for (std::size_t i = 0; i < 3; ++i) {
      for (std::size_t j = 0; j < 3; ++j) {
        const double nn = p.n[i] * p.n[j] * w;
        out.K[(2 * i) * 6 + 2 * j] += kx * nn;
        out.K[(2 * i + 1) * 6 + 2 * j + 1] += ky * nn;
      }
      out.f[2 * i] += p.n[i] * kx * da * w;
      out.f[2 * i + 1] += p.n[i] * ky * db * w;
    }
  }
  return out;
}

std::array<double, 6> mechEdgeLoad(AnalysisType a, const EdgeCoords& xy, double thickness,
                                   double dpx, double dpy) {
  std::array<double, 6> f{};
  for (double xi : {-kA, kA}) {
    const EdgePoint p = edgePoint(xy, xi);
    const double w = p.ds * volumeFactor(a, p.x, thickness);
    for (std::size_t i = 0; i < 3; ++i) {
      f[2 * i] += p.n[i] * dpx * w;
      f[2 * i + 1] += p.n[i] * dpy * w;
    }
  }
  return f;
}

NodalSpring mechNodalSpring(AnalysisType a, double x, double thickness, double kx, double ky,
                            double da, double db) {
  const double fac = volumeFactor(a, x, thickness);
  return {kx * fac, ky * fac, kx * da * fac, ky * db * fac};
}

std::array<double, 2> mechNodalLoad(AnalysisType a, double x, double thickness, double dFx,
                                    double dFy) {
  const double fac = volumeFactor(a, x, thickness);
  return {dFx * fac, dFy * fac};
}

CrackBand crackBandExtents(const ElementCoords& xy, int g, double angleDeg) {
  assert(g >= 0 && g < 4);
  // Element centre: corners weigh -1/4, mid-side nodes 1/2.
  double cx = 0.0, cy = 0.0;
  for (std::size_t i = 0; i < 8; ++i) {
    const double wgt = i % 2 == 0 ? -0.25 : 0.5;
    cx += wgt * xy[2 * i];
    cy += wgt * xy[2 * i + 1];
  }
  // The three nodes (1-based) around each Gauss point's corner.
  static constexpr int corner[4][3] = {{8, 1, 2}, {2, 3, 4}, {6, 7, 8}, {4, 5, 6}};
  std::array<double, 4> px{cx}, py{cy};
  for (std::size_t k = 0; k < 3; ++k) {
    const auto node = static_cast<std::size_t>(corner[g][k] - 1);
    px[k + 1] = xy[2 * node];
    py[k + 1] = xy[2 * node + 1];
  }
  const double rad = angleDeg * std::numbers::pi / 180.0;
  const double nx = std::cos(rad), ny = std::sin(rad);
  CrackBand b;
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = i + 1; j < 4; ++j) {
      const double dx = px[i] - px[j], dy = py[i] - py[j];
      b.normal = std::max(b.normal, std::abs(dx * nx + dy * ny));
      b.tangential = std::max(b.tangential, std::abs(-dx * ny + dy * nx));
    }
  return b;
}

}  // namespace vemto::engine::mech
