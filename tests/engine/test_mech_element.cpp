// Closed-form checks of the mechanical element routines.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ConcreteModel.h"
#include "MechElement.h"

namespace vemto::engine::mech {
namespace {

constexpr double kPi = 3.141592653589793;

// 8-node element on the rectangle [x0, x0 + w] x [y0, y0 + h] (straight sides).
ElementCoords rectangle(double x0, double y0, double w, double h) {
  const double lx[8] = {0, 0.5, 1, 1, 1, 0.5, 0, 0}, ly[8] = {0, 0, 0, 0.5, 1, 1, 1, 0.5};
  ElementCoords c{};
  for (std::size_t i = 0; i < 8; ++i) {
    c[2 * i] = x0 + lx[i] * w;
    c[2 * i + 1] = y0 + ly[i] * h;
  }
  return c;
}

// A distorted element with curved sides (mid-side nodes off the chords).
ElementCoords distorted() {
  return {0.0, 0.0, 1.1, 0.1, 2.0, 0.3, 2.2, 1.2, 2.1, 2.4, 1.0, 2.1, 0.2, 2.0, 0.1, 0.9};
}

Matrix4 elasticD(AnalysisType a, double E = 30e9, double nu = 0.2) {
  ConcreteMaterial m;
  m.par.modulus = E;
  m.par.poissonFinal = nu;
  m.par.referenceMaturity = 1.0;
  return concreteStiffness(m, {a, 1.0, 0.0, 0.0, 0.0}, ConcreteState::initial(0, 1, 20), {}).D;
}

ElementMatrix stiffness(AnalysisType a, const ElementCoords& xy, double t = 1.0) {
  MechElementGeometry geo;
  EXPECT_EQ(mechElementGeometry(a, xy, t, geo), 0);
  ElementMatrix K{};
  const Matrix4 D = elasticD(a);
  for (const MechGaussPoint& g : geo) mechAddStiffness(a, g, D, K);
  mechMirrorUpper(K);
  return K;
}

ElementVector times(const ElementMatrix& K, const ElementVector& u) {
  ElementVector f{};
  for (std::size_t i = 0; i < 16; ++i)
    for (std::size_t j = 0; j < 16; ++j) f[i] += K[i * 16 + j] * u[j];
  return f;
}

double maxAbs(const ElementMatrix& K) {
  double m = 0.0;
  for (double v : K) m = std::max(m, std::abs(v));
  return m;
}

TEST(MechElementGeometry, UnitSquareAndClockwiseOrder) {
  MechElementGeometry geo;
  ASSERT_EQ(mechElementGeometry(AnalysisType::PlaneStress, rectangle(0, 0, 1, 1), 0.5, geo), 0);
  double area = 0.0;
  for (const MechGaussPoint& g : geo) {
    EXPECT_NEAR(g.detJ, 0.25, 1e-15);
    EXPECT_NEAR(g.w, 0.125, 1e-15);
    area += g.w;
  }
  EXPECT_NEAR(area, 0.5, 1e-15);
  EXPECT_NEAR(geo[1].x, 0.5 + 0.5 / std::sqrt(3.0), 1e-15);
  EXPECT_NEAR(geo[2].y, 0.5 + 0.5 / std::sqrt(3.0), 1e-15);
  // Clockwise node order: mirrored in x.
  ElementCoords cw = rectangle(0, 0, 1, 1);
  for (std::size_t i = 0; i < 8; ++i) cw[2 * i] = -cw[2 * i];
  EXPECT_EQ(mechElementGeometry(AnalysisType::PlaneStress, cw, 1.0, geo), 1);
  // Axisymmetric element left of the axis: rejected instead of dividing by r <= 0.
  EXPECT_EQ(mechElementGeometry(AnalysisType::Axisymmetric, rectangle(-2, 0, 1, 1), 1.0, geo), 1);
  // Touching the axis is fine: the Gauss points lie inside.
  EXPECT_EQ(mechElementGeometry(AnalysisType::Axisymmetric, rectangle(0, 0, 1, 1), 1.0, geo), 0);
  for (const MechGaussPoint& g : geo) EXPECT_GT(g.w, 0.0);
}

TEST(MechElementStiffness, SymmetricWithRigidBodyModes) {
  for (AnalysisType a : {AnalysisType::PlaneStress, AnalysisType::PlaneStrain}) {
    const ElementCoords xy = distorted();
    const ElementMatrix K = stiffness(a, xy, 0.3);
    const double tol = 1e-12 * maxAbs(K);
    for (std::size_t i = 0; i < 16; ++i)
      for (std::size_t j = 0; j < 16; ++j) EXPECT_NEAR(K[i * 16 + j], K[j * 16 + i], tol);
    ElementVector tx{}, ty{}, rot{};
    for (std::size_t i = 0; i < 8; ++i) {
      tx[2 * i] = 1.0;
      ty[2 * i + 1] = 1.0;
      rot[2 * i] = -xy[2 * i + 1];
      rot[2 * i + 1] = xy[2 * i];
    }
    for (const ElementVector& u : {tx, ty, rot})
      for (double f : times(K, u)) EXPECT_NEAR(f, 0.0, tol);
  }
  // Axisymmetric: only the axial translation is free of strain.
  const ElementCoords ring = rectangle(1.0, 0.0, 0.5, 0.4);
  const ElementMatrix K = stiffness(AnalysisType::Axisymmetric, ring);
  ElementVector ty{}, tx{};
  for (std::size_t i = 0; i < 8; ++i) {
    ty[2 * i + 1] = 1.0;
    tx[2 * i] = 1.0;
  }
  for (double f : times(K, ty)) EXPECT_NEAR(f, 0.0, 1e-12 * maxAbs(K));
  double radial = 0.0;
  for (double f : times(K, tx)) radial = std::max(radial, std::abs(f));
  EXPECT_GT(radial, 1e-3 * maxAbs(K));
}

// Patch test: a linear displacement field gives its exact constant strain at every point.
TEST(MechElementStrain, LinearFieldOnDistortedElement) {
  const ElementCoords xy = distorted();
  MechElementGeometry geo;
  ASSERT_EQ(mechElementGeometry(AnalysisType::PlaneStrain, xy, 1.0, geo), 0);
  // u = 1e-3 + 2e-4 x - 3e-4 y, v = -5e-4 + 1e-4 x + 4e-4 y
  ElementVector du{};
  for (std::size_t i = 0; i < 8; ++i) {
    const double x = xy[2 * i], y = xy[2 * i + 1];
    du[2 * i] = 1e-3 + 2e-4 * x - 3e-4 * y;
    du[2 * i + 1] = -5e-4 + 1e-4 * x + 4e-4 * y;
  }
  for (const MechGaussPoint& g : geo) {
    const Vector4 e = mechStrain(AnalysisType::PlaneStrain, g, du);
    EXPECT_NEAR(e[0], 2e-4, 1e-15);
    EXPECT_NEAR(e[1], 4e-4, 1e-15);
    EXPECT_NEAR(e[2], -3e-4 + 1e-4, 1e-15);
    EXPECT_EQ(e[3], 0.0);
  }
  // Quadratic field along x is also represented exactly: u = x^2 -> eps_x = 2x.
  for (std::size_t i = 0; i < 8; ++i) {
    du[2 * i] = xy[2 * i] * xy[2 * i];
    du[2 * i + 1] = 0.0;
  }
  ASSERT_EQ(mechElementGeometry(AnalysisType::PlaneStrain, rectangle(0, 0, 2, 1), 1.0, geo), 0);
  ElementCoords r = rectangle(0, 0, 2, 1);
  for (std::size_t i = 0; i < 8; ++i) du[2 * i] = r[2 * i] * r[2 * i];
  for (const MechGaussPoint& g : geo)
    EXPECT_NEAR(mechStrain(AnalysisType::PlaneStrain, g, du)[0], 2 * g.x, 1e-14);
}

// Uniform free strain: the displacement eps0 * (x, y) balances the free-strain load exactly,
// also in axisymmetric analysis where the hoop strain u/r equals eps0.
TEST(MechElementLoads, UniformFreeStrainIsBalancedByFreeExpansion) {
  const double eps0 = 1.5e-4;
  for (AnalysisType a :
       {AnalysisType::PlaneStress, AnalysisType::PlaneStrain, AnalysisType::Axisymmetric}) {
    const ElementCoords xy =
        a == AnalysisType::Axisymmetric ? rectangle(0.5, 0.2, 0.7, 0.9) : distorted();
    MechElementGeometry geo;
    ASSERT_EQ(mechElementGeometry(a, xy, 0.4, geo), 0);
    const Matrix4 D = elasticD(a);
    const Vector4 e0{eps0, eps0, 0.0, a == AnalysisType::PlaneStress ? 0.0 : eps0};
    // Plane strain with eps_z = 0: the free-strain stress carries no z part into the plane.
    Vector4 ds0 = multiply(D, a == AnalysisType::PlaneStrain ? Vector4{eps0, eps0, 0, 0} : e0,
                           componentCount(a));
    ElementMatrix K{};
    ElementVector f0{};
    for (const MechGaussPoint& g : geo) {
      mechAddStiffness(a, g, D, K);
      mechAddStressForce(a, g, ds0, f0);
    }
    mechMirrorUpper(K);
    ElementVector u{};
    for (std::size_t i = 0; i < 8; ++i) {
      u[2 * i] = eps0 * xy[2 * i];
      u[2 * i + 1] = eps0 * xy[2 * i + 1];
    }
    const ElementVector ku = times(K, u);
    double scale = 0.0;
    for (double v : f0) scale = std::max(scale, std::abs(v));
    for (std::size_t i = 0; i < 16; ++i) EXPECT_NEAR(ku[i], f0[i], 1e-11 * scale);
  }
}

TEST(MechElementLoads, InternalForceOfConstantStressAndBodyForce) {
  // Rectangle 2 x 1, thickness 0.3, sigma_x = 1 MPa: right-edge nodes carry sigma * area with
  // the 1/6, 2/3, 1/6 split, the left edge the opposite.
  const ElementCoords xy = rectangle(0, 0, 2, 1);
  MechElementGeometry geo;
  ASSERT_EQ(mechElementGeometry(AnalysisType::PlaneStress, xy, 0.3, geo), 0);
  ElementVector r{};
  for (const MechGaussPoint& g : geo)
    mechAddStressForce(AnalysisType::PlaneStress, g, {1e6, 0, 0, 0}, r);
  const double F = 1e6 * 1.0 * 0.3;
  EXPECT_NEAR(r[2 * 2], F / 6, 1e-6);       // node 3 (2, 0)
  EXPECT_NEAR(r[2 * 3], 2 * F / 3, 1e-6);   // node 4 (2, 0.5)
  EXPECT_NEAR(r[2 * 4], F / 6, 1e-6);       // node 5 (2, 1)
  EXPECT_NEAR(r[2 * 7], -2 * F / 3, 1e-6);  // node 8 (0, 0.5)
  EXPECT_NEAR(r[2 * 1], 0.0, 1e-6);         // node 2 (1, 0)
  for (std::size_t i = 0; i < 8; ++i) EXPECT_NEAR(r[2 * i + 1], 0.0, 1e-6);
  // Body force: totals are b * volume.
  ElementVector fb{};
  for (const MechGaussPoint& g : geo) mechAddBodyForce(g, 100.0, -24000.0, fb);
  double sx = 0, sy = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    sx += fb[2 * i];
    sy += fb[2 * i + 1];
  }
  EXPECT_NEAR(sx, 100.0 * 2 * 0.3, 1e-9);
  EXPECT_NEAR(sy, -24000.0 * 2 * 0.3, 1e-7);
  // Axisymmetric ring r = 1 .. 1.5, height 0.4: volume pi (r2^2 - r1^2) h.
  ASSERT_EQ(mechElementGeometry(AnalysisType::Axisymmetric, rectangle(1.0, 0, 0.5, 0.4), 7.0, geo),
            0);
  fb = {};
  for (const MechGaussPoint& g : geo) mechAddBodyForce(g, 0.0, -1.0, fb);
  sy = 0;
  for (std::size_t i = 0; i < 8; ++i) sy += fb[2 * i + 1];
  EXPECT_NEAR(sy, -kPi * (1.5 * 1.5 - 1.0) * 0.4, 1e-12);
}

// Thick ring under internal pressure: the internal force of the exact Lame stresses equals
// the pressure load on the inner face.
TEST(MechElementLoads, AxisymmetricRingLameStressBalancesPressure) {
  const double a = 1.0, b = 1.5, p = 1e6, hgt = 0.2;
  const ElementCoords xy = rectangle(a, 0.0, b - a, hgt);
  MechElementGeometry geo;
  ASSERT_EQ(mechElementGeometry(AnalysisType::Axisymmetric, xy, 1.0, geo), 0);
  // Lame: sigma_r = A - B/r^2, sigma_theta = A + B/r^2, A = p a^2/(b^2 - a^2), B = A b^2.
  // The element is quadratic, so compare the total radial force on the inner nodes
  // with p * 2 pi a * hgt within the quadrature error.
  const double A = p * a * a / (b * b - a * a), B = A * b * b;
  ElementVector r{};
  for (const MechGaussPoint& g : geo)
    mechAddStressForce(AnalysisType::Axisymmetric, g,
                       {A - B / (g.x * g.x), 0.0, 0.0, A + B / (g.x * g.x)}, r);
  const double inner = r[2 * 0] + r[2 * 7] + r[2 * 6];  // nodes 1, 8, 7 at r = a
  const double outer = r[2 * 2] + r[2 * 3] + r[2 * 4];  // nodes 3, 4, 5 at r = b
  const double load = p * 2 * kPi * a * hgt;
  EXPECT_NEAR(inner, load, 0.02 * load);  // the pressure pushes outwards
  EXPECT_NEAR(outer, 0.0, 0.02 * load);
  // The same pressure as an edge load on the inner face gives exactly p 2 pi a hgt.
  const EdgeCoords face{a, hgt, a, hgt / 2, a, 0.0};
  const std::array<double, 6> f = mechEdgeLoad(AnalysisType::Axisymmetric, face, 1.0, p, 0.0);
  EXPECT_NEAR(f[0] + f[2] + f[4], load, 1e-9 * load);
  EXPECT_NEAR(f[2], 4 * f[0], 1e-9 * load);
}

TEST(MechBoundaryItems, SpringsAndLoadsIntegrateOverTheEdge) {
  const EdgeCoords edge{0.0, 0.0, 1.5, 0.0, 3.0, 0.0};
  const double t = 0.25, L = 3.0;
  const EdgeSpring s = mechEdgeSpring(AnalysisType::PlaneStrain, edge, t, 2e6, 5e6, 1e-3, -2e-3);
  double kx = 0, ky = 0, cross = 0;
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) {
      kx += s.K[(2 * i) * 6 + 2 * j];
      ky += s.K[(2 * i + 1) * 6 + 2 * j + 1];
      cross += std::abs(s.K[(2 * i) * 6 + 2 * j + 1]);
    }
  EXPECT_NEAR(kx, 2e6 * L * t, 1e-6);
  EXPECT_NEAR(ky, 5e6 * L * t, 1e-6);
  EXPECT_EQ(cross, 0.0);
  // Consistent nodal forces 1/6, 2/3, 1/6 of the total.
  const double fx = 2e6 * 1e-3 * L * t;
  EXPECT_NEAR(s.f[0], fx / 6, 1e-9);
  EXPECT_NEAR(s.f[2], 2 * fx / 3, 1e-9);
  EXPECT_NEAR(s.f[5], -5e6 * 2e-3 * L * t / 6, 1e-9);
  // A support moved by (da, db) and nodes moved alike: the spring carries no force, f = K u.
  for (std::size_t i = 0; i < 6; ++i) {
    double ku = 0;
    for (std::size_t j = 0; j < 6; ++j) ku += s.K[i * 6 + j] * (j % 2 == 0 ? 1e-3 : -2e-3);
    EXPECT_NEAR(ku, s.f[i], 1e-9);
  }
  const std::array<double, 6> load = mechEdgeLoad(AnalysisType::PlaneStress, edge, t, 0.0, -1e4);
  EXPECT_NEAR(load[1] + load[3] + load[5], -1e4 * L * t, 1e-9);
  // Nodal items: thickness, or 2 pi x in axisymmetric analysis.
  const NodalSpring ns = mechNodalSpring(AnalysisType::PlaneStress, 4.0, 0.5, 1e6, 2e6, 1e-3, 0.0);
  EXPECT_EQ(ns.kxx, 0.5e6);
  EXPECT_EQ(ns.kyy, 1e6);
  EXPECT_EQ(ns.fx, 500.0);
  EXPECT_EQ(ns.fy, 0.0);
  const std::array<double, 2> nl = mechNodalLoad(AnalysisType::Axisymmetric, 2.0, 0.5, 10.0, -1.0);
  EXPECT_NEAR(nl[0], 10.0 * 2 * kPi * 2.0, 1e-12);
  EXPECT_NEAR(nl[1], -2 * kPi * 2.0, 1e-12);
}

TEST(MechCrackBand, ExtentsOfCornerQuadrilaterals) {
  const ElementCoords xy = rectangle(0, 0, 2, 1);
  // Gauss point 1: centre (1, 0.5), nodes 8 (0, 0.5), 1 (0, 0), 2 (1, 0).
  CrackBand b = crackBandExtents(xy, 0, 0.0);
  EXPECT_NEAR(b.normal, 1.0, 1e-15);
  EXPECT_NEAR(b.tangential, 0.5, 1e-15);
  b = crackBandExtents(xy, 0, 90.0);
  EXPECT_NEAR(b.normal, 0.5, 1e-15);
  EXPECT_NEAR(b.tangential, 1.0, 1e-15);
  // 45 degrees: the centre projects to 1.5/sqrt 2, node 1 to 0.
  b = crackBandExtents(xy, 0, 45.0);
  EXPECT_NEAR(b.normal, 1.5 / std::sqrt(2.0), 1e-15);
  // Gauss point 4 uses nodes 4, 5, 6: (2, 0.5), (2, 1), (1, 1) with the centre.
  b = crackBandExtents(xy, 3, 0.0);
  EXPECT_NEAR(b.normal, 1.0, 1e-15);
  EXPECT_NEAR(b.tangential, 0.5, 1e-15);
}

// ---- one element solved densely: textbook stresses ---------------------------------------

// Solves K u = f on the free degrees of freedom (dense Gaussian elimination, test only).
ElementVector solveFree(const ElementMatrix& K, const ElementVector& f,
                        const std::array<bool, 16>& fixed) {
  std::vector<std::size_t> idx;
  for (std::size_t i = 0; i < 16; ++i)
    if (!fixed[i]) idx.push_back(i);
  const std::size_t n = idx.size();
  std::vector<double> A(n * n), b(n);
  for (std::size_t i = 0; i < n; ++i) {
    b[i] = f[idx[i]];
    for (std::size_t j = 0; j < n; ++j) A[i * n + j] = K[idx[i] * 16 + idx[j]];
  }
  for (std::size_t k = 0; k < n; ++k)
    for (std::size_t i = k + 1; i < n; ++i) {
      const double c = A[i * n + k] / A[k * n + k];
      for (std::size_t j = k; j < n; ++j) A[i * n + j] -= c * A[k * n + j];
      b[i] -= c * b[k];
    }
  std::vector<double> x(n);
  for (std::size_t k = n; k-- > 0;) {
    double s = b[k];
    for (std::size_t j = k + 1; j < n; ++j) s -= A[k * n + j] * x[j];
    x[k] = s / A[k * n + k];
  }
  ElementVector u{};
  for (std::size_t i = 0; i < n; ++i) u[idx[i]] = x[i];
  return u;
}

// A block restrained in x (u = 0 at every node) and held in y only along its base, heated
// uniformly by dT: sigma_x = -E a dT (plane stress) or -E a dT/(1 - nu) (plane strain and
// axisymmetric, where u = 0 also stops the hoop strain), sigma_y = 0.
TEST(MechElementSolve, RestrainedBlockUnderUniformHeating) {
  const double E = 30e9, nu = 0.2, alpha = 1e-5, dT = 12.0;
  ConcreteMaterial m;
  m.par.modulus = E;
  m.par.poissonFinal = nu;
  m.par.referenceMaturity = 1.0;
  m.par.thermalExpansion = alpha;
  m.par.recoverability = 1.0;
  for (AnalysisType a :
       {AnalysisType::PlaneStress, AnalysisType::PlaneStrain, AnalysisType::Axisymmetric}) {
    const ElementCoords xy = rectangle(0.5, 0.0, 1.0, 2.0);
    MechElementGeometry geo;
    ASSERT_EQ(mechElementGeometry(a, xy, 1.0, geo), 0);
    const ConcreteStepInput in{a, 3600.0, 0.0, dT, 0.0};
    std::array<ConcreteState, 4> st;
    st.fill(ConcreteState::initial(0, 1, 20));
    ElementMatrix K{};
    ElementVector f0{};
    for (std::size_t q = 0; q < 4; ++q) {
      const ConcreteStiffness k = concreteStiffness(m, in, st[q], {});
      mechAddStiffness(a, geo[q], k.D, K);
      mechAddStressForce(a, geo[q], k.dSigma0, f0);
    }
    mechMirrorUpper(K);
    std::array<bool, 16> fixed{};
    for (std::size_t i = 0; i < 8; ++i) fixed[2 * i] = true;
    for (std::size_t i : {0u, 1u, 2u}) fixed[2 * i + 1] = true;
    const ElementVector u = solveFree(K, f0, fixed);
    const double expected =
        a == AnalysisType::PlaneStress ? -E * alpha * dT : -E * alpha * dT / (1 - nu);
    for (std::size_t q = 0; q < 4; ++q) {
      Vector4 sig{}, eps{};
      const Vector4 de = mechStrain(a, geo[q], u);
      concreteStressUpdate(m, in, st[q], sig, eps, de);
      EXPECT_NEAR(sig[0], expected, 1e-9 * std::abs(expected));
      EXPECT_NEAR(sig[1], 0.0, 1e-9 * std::abs(expected));
      EXPECT_NEAR(sig[2], 0.0, 1e-9 * std::abs(expected));
      if (a != AnalysisType::PlaneStress) {
        EXPECT_NEAR(sig[3], expected, 1e-9 * std::abs(expected));
      }
    }
    // Top node rises by the free vertical strain times the height.
    const double ey =
        a == AnalysisType::PlaneStress ? (1 + nu) * alpha * dT : (1 + nu) / (1 - nu) * alpha * dT;
    EXPECT_NEAR(u[2 * 4 + 1], ey * 2.0, 1e-12);
  }
}

}  // namespace
}  // namespace vemto::engine::mech
