// Material-point checks of the young-concrete model against closed forms.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "ConcreteModel.h"

namespace vemto::engine::mech {
namespace {

constexpr double kE = 30e9;
constexpr double kNu = 0.2;
constexpr double kAlpha = 1e-5;

ConcreteMaterial elasticMaterial(double nu = kNu) {
  ConcreteMaterial m;
  m.par.referenceMaturity = 28 * 86400.0;
  m.par.modulus = kE;
  m.par.poissonInitial = nu;
  m.par.poissonFinal = nu;
  m.par.tensileStrength = 3e6;
  m.par.compressiveStrength = 40e6;
  m.par.fractureEnergy = 100.0;
  m.par.slipModulus = 1e9;
  m.par.thermalExpansion = kAlpha;
  m.par.recoverability = 1.0;
  return m;
}

// One step of a Gauss point: stiffness call, crack check with band width h, stress update.
struct Point {
  ConcreteMaterial m;
  ConcreteState s = ConcreteState::initial(0.0, 86400.0, 20.0);
  Vector4 sigma{};
  Vector4 eps{};
  double h = 0.1;
  CrackCheckResult lastCheck{};

  StressUpdateResult step(const ConcreteStepInput& in, const Vector4& dEps) {
    lastCheck = concreteCrackCheck(m, in, s, sigma, dEps);
    if (lastCheck.flag != 0) s.crackAngle() = lastCheck.angle;
    if (lastCheck.flag == 1) {
      s.bandWidth(0) = h;
      s.bandWidth(1) = h;
      s.bandWidth(2) = h;
    }
    return concreteStressUpdate(m, in, s, sigma, eps, dEps);
  }
  Vector4 freeStrain(const ConcreteStepInput& in) const {
    return concreteFreeStrain(m, in, s, sigma, true);
  }
};

ConcreteStepInput input(AnalysisType a, double dt = 3600.0, double dM = 3600.0, double dT = 0.0) {
  ConcreteStepInput in;
  in.analysis = a;
  in.dt = dt;
  in.dMaturity = dM;
  in.dTemperature = dT;
  return in;
}

TEST(ConcreteProperties, DevelopmentLaws) {
  ConcreteMaterial m = elasticMaterial();
  m.sw.development = true;
  m.par.modulusLaw = {2.0, 0.5, 2.0, 0.1};
  m.par.tensileLaw = {2.0, 1.0, 2.0, 0.3};
  m.par.compressiveLaw = {2.0, 1.2, 2.0, 0.2};
  m.par.poissonInitial = 0.45;
  m.par.poissonFinal = 0.2;
  m.par.poissonRate1 = 3.0;
  m.par.poissonRate2 = 2.0;
  m.par.creepAgeing = 0.3;
  const double tref = m.par.referenceMaturity;
  // At x = 1 with a1 = a2 = 2 every factor is 1.
  ConcreteProperties p = concreteProperties(m, tref);
  EXPECT_NEAR(p.E, kE, 1e-6 * kE);
  EXPECT_NEAR(p.ft, 3e6, 1e-9 * 3e6);
  EXPECT_NEAR(p.fc, 40e6, 1e-9 * 40e6);
  EXPECT_NEAR(p.GF, 100.0, 1e-12);
  EXPECT_NEAR(p.psi, 1.0, 1e-15);
  // At x = 0.25: closed forms of each law.
  p = concreteProperties(m, 0.25 * tref);
  const double e = 1.0 / (1.0 / (2.0 * std::pow(0.25, 0.5)) + 1.0 / (2.0 * std::pow(0.25, 0.1)));
  EXPECT_NEAR(p.E, kE * e, 1e-12 * kE);
  EXPECT_NEAR(p.GS, 1e9 * e, 1e-3);
  EXPECT_NEAR(p.nu, 0.45 * std::exp(-0.75) + 0.2 * (1.0 - std::exp(-0.5)), 1e-15);
  EXPECT_NEAR(p.psi, std::pow(0.25, -0.3), 1e-12);
  const double ft = 3e6 / (1.0 / (2.0 * 0.25) + 1.0 / (2.0 * std::pow(0.25, 0.3)));
  EXPECT_NEAR(p.ft, ft, 1e-6);
  // Without development: reference values and the final Poisson's ratio.
  m.sw.development = false;
  p = concreteProperties(m, 0.25 * tref);
  EXPECT_EQ(p.E, kE);
  EXPECT_EQ(p.nu, 0.2);
  EXPECT_EQ(p.psi, 1.0);
  // Maturity is clamped to 1e-4 t_ref.
  EXPECT_EQ(clampedMaturity(m.par, 0.0), 1e-4 * tref);
  EXPECT_EQ(clampedMaturity(m.par, tref), tref);
}

TEST(ConcreteProperties, FromColumnsAndProblems) {
  std::vector<double> pels(57, 0.0);
  for (int r = 1; r <= 57; ++r) pels[static_cast<std::size_t>(r - 1)] = r;
  std::vector<int> ipels{1, 0, 1, 0, 1};
  const ConcreteMaterial m = ConcreteMaterial::fromColumns(pels, ipels);
  EXPECT_EQ(m.par.referenceMaturity, 9.0);
  EXPECT_EQ(m.par.modulus, 12.0);
  EXPECT_EQ(m.par.tensileLaw.b2, 25.0);
  EXPECT_EQ(m.par.creep[4].retardationTime, 46.0);
  EXPECT_EQ(m.par.creep[4].poisson, 48.0);
  EXPECT_EQ(m.par.compressiveLaw.b2, 57.0);
  EXPECT_TRUE(m.sw.development && m.sw.creep && m.sw.shrinkage);
  EXPECT_FALSE(m.sw.fracture || m.sw.stressThermal);
  EXPECT_TRUE(m.problem().empty());
  std::vector<double> shortColumn(56, 1.0);
  EXPECT_THROW(ConcreteMaterial::fromColumns(shortColumn, ipels), std::invalid_argument);
  ConcreteMaterial bad = elasticMaterial();
  bad.par.referenceMaturity = 0.0;
  EXPECT_TRUE(bad.problem().empty());  // only used with property development
  bad.sw.development = true;
  EXPECT_NE(bad.problem().find("reference maturity"), std::string::npos);
  bad = elasticMaterial();
  bad.sw.fracture = true;
  bad.par.fractureEnergy = 0.0;
  EXPECT_NE(bad.problem().find("fracture energy"), std::string::npos);
}

TEST(ConcreteLinearAlgebra, CompletePivotingInverse) {
  Matrix4 a;
  const double v[16] = {0, 2, 1, 0, 3, 0, 0, 1, 1, 1, 5, 2, 0, 4, 2, 7};
  for (int i = 0; i < 16; ++i) a.a[static_cast<std::size_t>(i)] = v[i];
  Matrix4 inv = a;
  const double det = invertCompletePivoting(inv, 4);
  // det by cofactor expansion: -189
  EXPECT_NEAR(det, -189.0, 1e-10);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double s = 0.0;
      for (int k = 0; k < 4; ++k) s += a(i, k) * inv(k, j);
      EXPECT_NEAR(s, i == j ? 1.0 : 0.0, 1e-13);
    }
  // 3 x 3 block only.
  Matrix4 b;
  b(0, 0) = 4;
  b(1, 1) = 2;
  b(2, 2) = 0.5;
  b(3, 3) = 99;
  EXPECT_NEAR(invertCompletePivoting(b, 3), 4.0, 1e-15);
  EXPECT_NEAR(b(2, 2), 2.0, 1e-15);
  EXPECT_EQ(b(3, 3), 99.0);
  // Singular: zero determinant and zero matrix.
  Matrix4 c;
  c(0, 0) = 1;
  c(0, 1) = 2;
  c(1, 0) = 2;
  c(1, 1) = 4;
  EXPECT_EQ(invertCompletePivoting(c, 2), 0.0);
  EXPECT_EQ(c(0, 0), 0.0);
  EXPECT_EQ(c(1, 1), 0.0);
}

TEST(ConcreteLinearAlgebra, RotationRoundTripAndPrincipalAxes) {
  const Vector4 g{3e6, -1e6, 2e6, 5e5};
  for (double ang : {0.0, 30.0, 90.0, -47.0}) {
    const Vector4 back = stressToGlobal(stressToLocal(g, ang), ang);
    for (int i = 0; i < 4; ++i)
      EXPECT_NEAR(back[static_cast<std::size_t>(i)], g[static_cast<std::size_t>(i)], 1e-9);
  }
  // Pure shear: principal axes at 45 degrees.
  const Vector4 l = stressToLocal({0, 0, 1e6, 0}, 45.0);
  EXPECT_NEAR(l[0], 1e6, 1e-9);
  EXPECT_NEAR(l[1], -1e6, 1e-9);
  EXPECT_NEAR(l[2], 0.0, 1e-9);
}

TEST(ConcreteStiffness, IsotropicElasticMatrices) {
  const ConcreteMaterial m = elasticMaterial();
  const ConcreteState s = ConcreteState::initial(0, 86400, 20);
  const double E = kE, nu = kNu;
  ConcreteStiffness k = concreteStiffness(m, input(AnalysisType::PlaneStress), s, {});
  const double tol = 1e-12 * E;
  EXPECT_EQ(k.n, 3);
  EXPECT_NEAR(k.D(0, 0), E / (1 - nu * nu), tol);
  EXPECT_NEAR(k.D(0, 1), E * nu / (1 - nu * nu), tol);
  EXPECT_NEAR(k.D(2, 2), E / (2 * (1 + nu)), tol);
  EXPECT_NEAR(k.D(0, 2), 0.0, tol);
  k = concreteStiffness(m, input(AnalysisType::PlaneStrain), s, {});
  const double f = E / ((1 + nu) * (1 - 2 * nu));
  EXPECT_NEAR(k.D(0, 0), f * (1 - nu), tol);
  EXPECT_NEAR(k.D(1, 0), f * nu, tol);
  EXPECT_NEAR(k.D(2, 2), E / (2 * (1 + nu)), tol);
  EXPECT_EQ(k.D(3, 3), 0.0);
  k = concreteStiffness(m, input(AnalysisType::Axisymmetric), s, {});
  EXPECT_EQ(k.n, 4);
  EXPECT_NEAR(k.D(3, 3), f * (1 - nu), tol);
  EXPECT_NEAR(k.D(0, 3), f * nu, tol);
  EXPECT_NEAR(k.D(2, 3), 0.0, tol);
  // Zero modulus: zero stiffness, no NaN.
  ConcreteMaterial z = elasticMaterial();
  z.par.modulus = 0.0;
  k = concreteStiffness(z, input(AnalysisType::Axisymmetric, 3600, 3600, 5), s, {});
  for (double v : k.D.a) EXPECT_EQ(v, 0.0);
  for (double v : k.dSigma0) EXPECT_EQ(v, 0.0);
}

TEST(ConcreteFreeStrain, ThermalRecoverabilityRule) {
  ConcreteMaterial m = elasticMaterial();
  m.par.recoverability = 0.7;
  ConcreteState s = ConcreteState::initial(0, 86400, 20);
  // First heating 20 -> 30: full expansion.
  Vector4 e = concreteFreeStrain(m, input(AnalysisType::PlaneStrain, 3600, 0, 10), s, {}, true);
  EXPECT_NEAR(e[0], 10 * kAlpha, 1e-18);
  EXPECT_NEAR(e[1], 10 * kAlpha, 1e-18);
  EXPECT_NEAR(e[3], 10 * kAlpha, 1e-18);
  EXPECT_EQ(e[2], 0.0);
  // Cooling back to 20: only the recoverable part.
  s.temperature() = 30;
  s.maxTemperature() = 30;
  e = concreteFreeStrain(m, input(AnalysisType::PlaneStrain, 3600, 0, -10), s, {}, true);
  EXPECT_NEAR(e[0], -7 * kAlpha, 1e-18);
  // Heating from 25 to 35 with a highest temperature of 30: half the step beyond it.
  s.temperature() = 25;
  e = concreteFreeStrain(m, input(AnalysisType::PlaneStrain, 3600, 0, 10), s, {}, true);
  EXPECT_NEAR(e[0], 10 * kAlpha * (0.7 + 0.3 * 0.5), 1e-18);
}

TEST(ConcreteFreeStrain, StressInducedThermalStrain) {
  ConcreteMaterial m = elasticMaterial();
  m.sw.stressThermal = true;
  m.par.stressThermalModulus = 2e9;
  m.par.stressThermalPoisson = 0.25;
  m.par.thermalExpansion = 0.0;
  const ConcreteState s = ConcreteState::initial(0, 86400, 20);
  const Vector4 sig{-2e6, -1e6, 0.5e6, 0.0};
  const Vector4 e =
      concreteFreeStrain(m, input(AnalysisType::Axisymmetric, 3600, 0, 4), s, sig, true);
  const double tr = -3e6;
  EXPECT_NEAR(e[0], 4.0 * (1.25 * -2e6 - 0.25 * tr) / 2e9, 1e-18);
  EXPECT_NEAR(e[1], 4.0 * (1.25 * -1e6 - 0.25 * tr) / 2e9, 1e-18);
  EXPECT_NEAR(e[2], 4.0 * 2.5 * 0.5e6 / 2e9, 1e-18);
  EXPECT_NEAR(e[3], 4.0 * (-0.25 * tr) / 2e9, 1e-18);
  // Cooling: no stress-induced strain.
  const Vector4 c =
      concreteFreeStrain(m, input(AnalysisType::Axisymmetric, 3600, 0, -4), s, sig, true);
  for (double v : c) EXPECT_EQ(v, 0.0);
}

// Free uniform heating: the strain increment equals the free strain; no in-plane stress.
TEST(ConcreteClosedForm, FreeHeatingGivesNoStress) {
  const double dT = 15.0;
  for (AnalysisType a :
       {AnalysisType::PlaneStress, AnalysisType::PlaneStrain, AnalysisType::Axisymmetric}) {
    Point p{elasticMaterial()};
    const ConcreteStepInput in = input(a, 3600, 3600, dT);
    const double free = kAlpha * dT;
    // Plane strain: the out-of-plane restraint adds nu * alpha dT in the plane.
    const double inPlane = a == AnalysisType::PlaneStrain ? (1 + kNu) * free : free;
    p.step(in, {inPlane, inPlane, 0.0, free});
    const double tol = 1e-9 * kE * free;
    EXPECT_NEAR(p.sigma[0], 0.0, tol);
    EXPECT_NEAR(p.sigma[1], 0.0, tol);
    EXPECT_NEAR(p.sigma[2], 0.0, tol);
    EXPECT_NEAR(p.sigma[3], a == AnalysisType::PlaneStrain ? -kE * free : 0.0, tol);
    EXPECT_EQ(p.lastCheck.flag, -1);
  }
}

// Restrained in x, free in y (and free in z where the analysis allows).
TEST(ConcreteClosedForm, BlockRestrainedInXUnderHeating) {
  const double dT = 10.0, a = kAlpha * dT, E = kE, nu = kNu;
  struct Case {
    AnalysisType type;
    Vector4 dEps;   // strain increment of the restrained block
    double sx, sz;  // textbook stresses
  };
  const Case cases[] = {
      // sigma_x = -E a, eps_y = (1 + nu) a
      {AnalysisType::PlaneStress, {0, (1 + nu) * a, 0, 0}, -E * a, 0.0},
      // eps_z = 0: sigma_x = -E a (1 + nu) / (1 - nu^2) * (1 - nu) ... = -E a / (1 - nu)
      {AnalysisType::PlaneStrain,
       {0, a * (1 + nu) / (1 - nu), 0, 0},
       -E * a / (1 - nu),
       -E * a / (1 - nu)},
      // u_r = 0 everywhere: eps_r = eps_theta = 0, axial free: sigma_r = sigma_theta = -E a/(1-nu)
      {AnalysisType::Axisymmetric,
       {0, a * (1 + nu) / (1 - nu), 0, 0},
       -E * a / (1 - nu),
       -E * a / (1 - nu)},
  };
  for (const Case& c : cases) {
    Point p{elasticMaterial()};
    p.step(input(c.type, 3600, 3600, dT), c.dEps);
    const double tol = 1e-9 * E * a;
    EXPECT_NEAR(p.sigma[0], c.sx, tol);
    EXPECT_NEAR(p.sigma[1], 0.0, tol);
    EXPECT_NEAR(p.sigma[3], c.sz, tol);
    // Accumulated strain: x restrained, y as given.
    EXPECT_EQ(p.eps[0], 0.0);
    EXPECT_NEAR(p.eps[1], c.dEps[1], 1e-20);
  }
}

// Fully restrained, nu = 0: sigma = -sum E(t_i) * thermal strain_i, E at the end of each step.
TEST(ConcreteClosedForm, AgeingStiffnessUnderStepwiseTemperature) {
  ConcreteMaterial m = elasticMaterial(0.0);
  m.sw.development = true;
  m.par.modulusLaw = {2.0, 0.8, 2.0, 0.2};
  m.par.recoverability = 0.8;
  Point p{m};
  p.s = ConcreteState::initial(0.0, 0.1 * m.par.referenceMaturity, 20.0);
  const double dM = 0.2 * m.par.referenceMaturity;
  const double dTs[] = {10, 5, -8, 6, 5};
  // Thermal strain per step by hand: T 20->30->35->27->33->38, highest 35 until the last step.
  const double epsT[] = {10 * kAlpha, 5 * kAlpha, -8 * 0.8 * kAlpha, 6 * 0.8 * kAlpha,
                         5 * kAlpha * (0.8 + 0.2 * 0.6)};
  double expected = 0.0;
  double te = 0.1 * m.par.referenceMaturity;
  for (int i = 0; i < 5; ++i) {
    te += dM;
    expected -= kE * m.par.modulusLaw.factor(te / m.par.referenceMaturity) * epsT[i];
    p.step(input(AnalysisType::PlaneStrain, 3600, dM, dTs[i]), {0, 0, 0, 0});
    EXPECT_NEAR(p.sigma[0], expected, 1e-9 * std::abs(expected)) << "step " << i;
    EXPECT_NEAR(p.sigma[1], expected, 1e-9 * std::abs(expected));
    EXPECT_NEAR(p.sigma[3], expected, 1e-9 * std::abs(expected));
  }
  EXPECT_NEAR(p.s.temperature(), 38.0, 1e-12);
  EXPECT_NEAR(p.s.maxTemperature(), 38.0, 1e-12);
  EXPECT_NEAR(p.s.maturity(), te, 1e-6);
  EXPECT_NEAR(p.s.time(), 5 * 3600.0, 1e-9);
}

ConcreteMaterial creepMaterial(double tau, double phi) {
  ConcreteMaterial m = elasticMaterial(0.0);
  m.sw.creep = true;
  m.par.creepScale = 1.0;
  m.par.creep[0] = {tau, phi, 0.0};
  for (int k = 1; k < kCreepTerms; ++k) m.par.creep[static_cast<std::size_t>(k)] = {1.0, 0.0, 0.0};
  return m;
}

// Held stress on a chain of three Kelvin terms: creep strain sum phi_k sigma / E (1 - exp(-t /
// tau_k)) at every step end, for steps of one length and after a change of step length.
TEST(ConcreteClosedForm, CreepUnderConstantStressIsStepIndependent) {
  const double sigma = -5e6, h = 3600.0;
  const std::array<CreepTerm, 3> chain{
      {{3 * h, 0.5, 0.0}, {30 * h, 1.0, 0.0}, {300 * h, 0.8, 0.0}}};
  ConcreteMaterial m = creepMaterial(1.0, 0.0);
  for (std::size_t k = 0; k < chain.size(); ++k) m.par.creep[k] = chain[k];
  struct Schedule {
    double dt1, change, dt2;  // steps of dt1 up to `change`, then of dt2 (s)
  };
  for (const Schedule& sc : {Schedule{600.0, 48 * h, 600.0}, Schedule{4 * h, 48 * h, 4 * h},
                             Schedule{h, 72 * h, 24 * h}, Schedule{24 * h, 72 * h, h}}) {
    Point p{m};
    p.step(input(AnalysisType::PlaneStrain, sc.dt1, sc.dt1, 0.0), {sigma / kE, 0, 0, 0});
    ASSERT_NEAR(p.sigma[0], sigma, 1e-6);
    double t = 0.0;  // since the load
    double worst = 0.0;
    while (t < 240 * h - 1.0) {
      const double dt = t < sc.change - 1.0 ? sc.dt1 : sc.dt2;
      const ConcreteStepInput in = input(AnalysisType::PlaneStrain, dt, dt, 0.0);
      p.step(in, p.freeStrain(in));  // free creep: the stress stays
      t += dt;
      double creep = 0.0;
      for (const CreepTerm& c : chain)
        creep += c.coefficient * sigma / kE * (1.0 - std::exp(-t / c.retardationTime));
      worst = std::max(worst, std::abs(p.eps[0] - sigma / kE - creep) / std::abs(creep));
      ASSERT_NEAR(p.sigma[0], sigma, 1e-6 * std::abs(sigma));
    }
    EXPECT_LT(worst, 1e-9) << sc.dt1 << " s, then " << sc.dt2 << " s";
  }
}

// Held strain: Kelvin-chain relaxation sigma(t) = E eps (1 + phi exp(-(1 + phi) t / tau)) / (1 +
// phi).
TEST(ConcreteClosedForm, KelvinChainRelaxation) {
  const double tau = 24 * 3600.0, phi = 2.0, eps = 1e-4;
  const double dt = tau / 4000.0;
  Point p{creepMaterial(tau, phi)};
  const ConcreteStepInput in = input(AnalysisType::PlaneStrain, dt, dt, 0.0);
  p.step(in, {eps, 0, 0, 0});
  const double s0 = kE * eps;
  for (int n = 1; n <= 8000; ++n) {
    p.step(in, {0, 0, 0, 0});
    if (n % 1000 == 0) {
      const double t = n * dt;
      const double closed = s0 * (1.0 + phi * std::exp(-(1.0 + phi) * t / tau)) / (1.0 + phi);
      // Explicit one-step lag of the creep strain: error of order (1 + phi) dt / tau.
      EXPECT_NEAR(p.sigma[0], closed, 2e-3 * s0) << "t/tau = " << t / tau;
    }
  }
  EXPECT_NEAR(p.sigma[0], s0 / (1.0 + phi), 2e-3 * s0);
}

TEST(ConcreteClosedForm, AutogenousShrinkageOfFreePoint) {
  ConcreteMaterial m = elasticMaterial();
  m.sw.shrinkage = true;
  m.par.shrinkageFinal = -100e-6;
  m.par.shrinkageStart = 0.5 * 86400;
  m.par.shrinkageTime = 2 * 86400;
  m.par.shrinkageExponent = 0.7;
  const ConcreteParameters& par = m.par;
  // Zero while (t - t_a) / t2 <= 0.01.
  EXPECT_EQ(autogenousShrinkage(par, par.shrinkageStart + 0.01 * par.shrinkageTime), 0.0);
  EXPECT_EQ(autogenousShrinkage(par, 0.0), 0.0);
  const double t = par.shrinkageStart + 3 * 86400;
  EXPECT_NEAR(autogenousShrinkage(par, t), -100e-6 * std::exp(-std::pow(1.5, -0.7)), 1e-18);
  Point p{m};
  p.s = ConcreteState::initial(0.0, 0.0, 20.0);
  const ConcreteStepInput in = input(AnalysisType::PlaneStress, 3600, 3600, 0.0);
  for (int n = 0; n < 96; ++n) {
    p.step(in, p.freeStrain(in));
    EXPECT_NEAR(p.sigma[0], 0.0, 1e-6);
  }
  const double te = p.s.maturity();
  EXPECT_NEAR(p.eps[0], autogenousShrinkage(par, te), 1e-15);
  EXPECT_NEAR(p.eps[1], autogenousShrinkage(par, te), 1e-15);
  EXPECT_LT(p.eps[0], -50e-6);
}

TEST(ConcreteStrength, RatioAndStoredStrengthsWithoutFracture) {
  Point p{elasticMaterial(0.0)};
  p.step(input(AnalysisType::PlaneStrain), {1.5e6 / kE, 0, 0, 0});
  EXPECT_NEAR(p.s.strengthRatio(), 0.5, 1e-12);
  EXPECT_EQ(p.s.tensileStrength(), 3e6);
  EXPECT_EQ(p.s.compressiveStrength(), 40e6);
  EXPECT_EQ(p.lastCheck.flag, -1);
  // Compression only: ratio 0.
  Point q{elasticMaterial(0.0)};
  q.step(input(AnalysisType::PlaneStrain), {-1e-4, -1e-4, 0, 0});
  EXPECT_EQ(q.s.strengthRatio(), 0.0);
}

// ---- crack initiation -------------------------------------------------------------------

TEST(ConcreteCrackCheck, HalfwayCrossingAndAngles) {
  ConcreteMaterial m = elasticMaterial(0.0);
  m.sw.fracture = true;
  const ConcreteState s = ConcreteState::initial(0, 86400, 20);
  const ConcreteStepInput in = input(AnalysisType::PlaneStrain);
  // Along x: from 0 to 2 f_t in one step: lambda = 0.5, angle 0.
  CrackCheckResult r = concreteCrackCheck(m, in, s, {}, {2 * 3e6 / kE, 0, 0, 0});
  EXPECT_EQ(r.flag, 1);
  EXPECT_NEAR(r.lambda, 0.5, 1e-10);
  EXPECT_EQ(r.angle, 0.0);
  // Along y: 90 degrees.
  r = concreteCrackCheck(m, in, s, {}, {0, 2 * 3e6 / kE, 0, 0});
  EXPECT_EQ(r.flag, 1);
  EXPECT_EQ(r.angle, 90.0);
  // Pure shear: principal direction at 45 degrees, crack when tau = f_t.
  const double G = kE / 2.0;
  r = concreteCrackCheck(m, in, s, {}, {0, 0, 4 * 3e6 / G, 0});
  EXPECT_EQ(r.flag, 1);
  EXPECT_NEAR(r.lambda, 0.25, 1e-9);
  EXPECT_NEAR(r.angle, 45.0, 1e-9);
  // Below the strength: flag -1 with the principal angle at the end of the step.
  r = concreteCrackCheck(m, in, s, {}, {0, 1e-5, 0, 0});
  EXPECT_EQ(r.flag, -1);
  EXPECT_EQ(r.angle, 90.0);
  // Already cracked in plane: stored angle, flag 0.
  ConcreteState c = s;
  c.setSlotState(0, CrackState::Open);
  c.crackAngle() = 33.0;
  r = concreteCrackCheck(m, in, c, {}, {1, 1, 0, 0});
  EXPECT_EQ(r.flag, 0);
  EXPECT_EQ(r.angle, 33.0);
}

TEST(ConcreteCrackCheck, CurvedPathConvergesWithinBound) {
  ConcreteMaterial m = elasticMaterial(0.0);
  m.sw.fracture = true;
  const ConcreteState s = ConcreteState::initial(0, 86400, 20);
  // Start in compression along x, shear and tension along the path: a curved sigma_1(lambda).
  const Vector4 sig{-4e6, 1e6, 0.0, 0.0};
  const Vector4 de{8e6 / kE, 1e6 / kE, 2 * 6e6 / kE, 0};
  const CrackCheckResult r = concreteCrackCheck(m, input(AnalysisType::PlaneStrain), s, sig, de);
  ASSERT_EQ(r.flag, 1);
  EXPECT_LE(r.iterations, kMaxSecantIterations);
  const double sx = sig[0] + r.lambda * 8e6, sy = sig[1] + r.lambda * 1e6, t = r.lambda * 6e6;
  const double s1 = 0.5 * (sx + sy) + std::sqrt(0.25 * (sx - sy) * (sx - sy) + t * t);
  EXPECT_NEAR(s1, 3e6, 1e-9 * 3e6);
  EXPECT_GT(r.lambda, 0.0);
  EXPECT_LT(r.lambda, 1.0);
}

TEST(ConcreteCrackCheck, ZeroStrengthAndVanishingIncrementAreGuarded) {
  ConcreteMaterial m = elasticMaterial(0.0);
  m.sw.fracture = true;
  m.par.tensileStrength = 0.0;
  const ConcreteState s = ConcreteState::initial(0, 86400, 20);
  const ConcreteStepInput in = input(AnalysisType::PlaneStrain);
  // f_t = 0, compression released into tension: the crossing of zero is found.
  CrackCheckResult r = concreteCrackCheck(m, in, s, {-1e6, -2e6, 0, 0}, {2e6 / kE, 0, 0, 0});
  EXPECT_EQ(r.flag, 1);
  EXPECT_TRUE(std::isfinite(r.lambda));
  EXPECT_NEAR(r.lambda, 0.5, 1e-9);
  EXPECT_TRUE(std::isfinite(r.angle));
  // f_t = 0 and no stress at all: no crack (sigma_1 = 0 is not above f_t).
  r = concreteCrackCheck(m, in, s, {}, {0, 0, 0, 0});
  EXPECT_EQ(r.flag, -1);
  EXPECT_EQ(r.angle, 0.0);
  // Vanishing trial increment while the stress already exceeds the strength.
  m.par.tensileStrength = 3e6;
  r = concreteCrackCheck(m, in, s, {4e6, 0, 0, 0}, {0, 0, 0, 0});
  EXPECT_EQ(r.flag, 1);
  EXPECT_EQ(r.lambda, 0.0);
  EXPECT_EQ(r.angle, 0.0);
  EXPECT_EQ(r.iterations, 0);
}

// ---- cracking and the stress update ---------------------------------------------------

struct BarResult {
  double angle = 0.0;
  double work = 0.0;  // integral of sigma d eps along the pulled direction (J/m3)
  double peak = 0.0;
  ConcreteState state;
};

// Uniaxial bar (nu = 0) pulled along x (dir 0) or y (dir 1) in small strain steps until the
// crack is fully open.
BarResult pullBar(int dir, AnalysisType type, int steps, double h) {
  ConcreteMaterial m = elasticMaterial(0.0);
  m.sw.fracture = true;
  Point p{m};
  p.h = h;
  const double ft = 3e6, GF = 100.0;
  const double wu = 2 * GF / (ft * h);  // crack strain at zero stress
  const double total = 1.2 * (ft / kE + wu);
  BarResult r;
  Vector4 de{};
  de[static_cast<std::size_t>(dir)] = total / steps;
  for (int n = 0; n < steps; ++n) {
    const double before = p.sigma[static_cast<std::size_t>(dir)];
    p.step(input(type, 3600, 0, 0), de);
    const double after = p.sigma[static_cast<std::size_t>(dir)];
    r.work += 0.5 * (before + after) * de[static_cast<std::size_t>(dir)];
    r.peak = std::max(r.peak, after);
    if (p.lastCheck.flag == 1) r.angle = p.lastCheck.angle;
  }
  r.state = p.s;
  return r;
}

TEST(ConcreteCracking, UniaxialBarCracksAtRightAngleAndDissipatesFractureEnergy) {
  const double h = 0.1, GF = 100.0;
  for (AnalysisType type : {AnalysisType::PlaneStress, AnalysisType::PlaneStrain}) {
    for (int dir : {0, 1}) {
      const BarResult r = pullBar(dir, type, 4000, h);
      EXPECT_EQ(r.angle, dir == 0 ? 0.0 : 90.0);
      EXPECT_EQ(r.state.crackAngle(), r.angle);
      EXPECT_EQ(r.state.slotState(0), CrackState::Open);
      EXPECT_EQ(r.state.slotState(1), CrackState::Uncracked);
      // The peak never exceeds the strength (beyond the part of one step).
      EXPECT_LE(r.peak, 3e6 * (1 + 1e-9));
      EXPECT_GT(r.peak, 0.99 * 3e6);
      // All fracture energy used up and the work per band equals G_F (1 % for the steps).
      EXPECT_NEAR(r.state.energy(0), 0.0, 1e-6 * GF);
      EXPECT_NEAR(r.work * h, GF, 0.01 * GF);
      EXPECT_EQ(r.state.strengthRatio(), 1.0);
    }
  }
}

TEST(ConcreteCracking, LargeStepUsesBoundedSubIncrements) {
  ConcreteMaterial m = elasticMaterial(0.0);
  m.sw.fracture = true;
  Point p{m};
  // One step far beyond complete opening: elastic part, softening, opening.
  const StressUpdateResult u =
      p.step(input(AnalysisType::PlaneStrain, 3600, 0, 0), {1e-2, 0, 0, 0});
  EXPECT_GE(u.subIncrements, 3);
  EXPECT_LE(u.subIncrements, kMaxSubIncrements);
  EXPECT_EQ(p.s.slotState(0), CrackState::Open);
  EXPECT_NEAR(p.sigma[0], 0.0, 1e-3 * 3e6);
  EXPECT_NEAR(p.s.energy(0), 0.0, 1e-9);
  for (double v : p.s.w) EXPECT_TRUE(std::isfinite(v));
  // Closing the crack again: compression comes back when the crack strain is used up.
  p.step(input(AnalysisType::PlaneStrain, 3600, 0, 0), {-1.1e-2, 0, 0, 0});
  EXPECT_EQ(p.s.slotState(0), CrackState::Closed);
  EXPECT_LT(p.sigma[0], 0.0);
}

TEST(ConcreteCracking, HoopCrackWithoutBandWidthUsesFallback) {
  ConcreteMaterial m = elasticMaterial(0.0);
  m.sw.fracture = true;
  Point p{m};
  ConcreteStepInput in = input(AnalysisType::Axisymmetric, 3600, 0, 0);
  in.fallbackBandWidth = 0.05;
  // Only the hoop strain grows: slot 3 cracks, no in-plane crack, so no band from the check.
  for (int n = 0; n < 200; ++n) {
    concreteStressUpdate(p.m, in, p.s, p.sigma, p.eps, {0, 0, 0, 2e-6});
    for (double v : p.s.w) ASSERT_TRUE(std::isfinite(v));
    for (double v : p.sigma) ASSERT_TRUE(std::isfinite(v));
  }
  EXPECT_EQ(p.s.bandWidth(2), 0.05);
  EXPECT_NE(p.s.slotState(2), CrackState::Uncracked);
  EXPECT_LE(p.sigma[3], 3e6 * (1 + 1e-9));
}

TEST(ConcreteCracking, OpeningOneCrackLeavesTheOtherSlotsTheirStrength) {
  ConcreteMaterial m = elasticMaterial(0.0);
  m.sw.fracture = true;
  for (int steps : {1, 7, 400}) {
    Point p{m};
    // Open slot 1 completely (in one or in many steps): its energy runs out, possibly a
    // rounding error below zero, which must not take the energy of the other slots. Then pull
    // along y to half the strength: no crack there.
    for (int n = 0; n < steps; ++n)
      p.step(input(AnalysisType::PlaneStrain, 3600, 0, 0), {1e-2 / steps, 0, 0, 0});
    ASSERT_EQ(p.s.slotState(0), CrackState::Open);
    EXPECT_GE(p.s.energy(0), 0.0);
    EXPECT_NEAR(p.s.energy(1), 100.0, 1e-9);
    EXPECT_NEAR(p.s.energy(2), 100.0, 1e-9);
    p.step(input(AnalysisType::PlaneStrain, 3600, 0, 0), {0, 1.5e6 / kE, 0, 0});
    EXPECT_EQ(p.s.slotState(1), CrackState::Uncracked) << steps;
    EXPECT_NEAR(p.sigma[1], 1.5e6, 1e-6 * 1.5e6);
  }
}

TEST(ConcreteCracking, OpenCrackTransfersNoNormalStressButSlotTwoStillWorks) {
  ConcreteMaterial m = elasticMaterial(0.0);
  m.sw.fracture = true;
  Point p{m};
  p.step(input(AnalysisType::PlaneStrain, 3600, 0, 0), {1e-2, 0, 0, 0});
  ASSERT_EQ(p.s.slotState(0), CrackState::Open);
  // Compression along y across the open crack in x: carried elastically.
  p.step(input(AnalysisType::PlaneStrain, 3600, 0, 0), {0, -1e-4, 0, 0});
  EXPECT_NEAR(p.sigma[1], -kE * 1e-4, 1e-6 * kE * 1e-4);
  EXPECT_NEAR(p.sigma[0], 0.0, 1e-3 * 3e6);
}

}  // namespace
}  // namespace vemto::engine::mech
