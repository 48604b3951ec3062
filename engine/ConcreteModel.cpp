#include "ConcreteModel.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>

namespace vemto::engine::mech {

namespace {

constexpr double kDegree = std::numbers::pi / 180.0;
constexpr double kLambdaDone = 0.999999999999999;
constexpr double kOpenCrackFactor = 1e10;

// Local component index of crack slot k: slot 0 -> 1 (index 0), slot 1 -> 2, slot 2 -> z.
constexpr int slotComponent(int k) {
  return k < 2 ? k : 3;
}

bool usableModulus(double E) {
  return E > 0.0 && std::isfinite(E);
}

// Compliance c_k of a crack slot (1/Pa) in its present state.
double crackCompliance(CrackState st, double h, const ConcreteProperties& p) {
  switch (st) {
    case CrackState::Softening: {
      if (!(p.GF > 0.0) || !(h > 0.0)) return 0.0;  // no usable band: no softening compliance
      const double num = p.ft * p.ft * h;
      if (!(num > 0.0)) return kOpenCrackFactor * (1.0 + p.nu) / (2.0 * p.E);  // no strength
      const double Es = -num / (2.0 * p.GF);
      return 1.0 / Es;
    }
    case CrackState::Open:
      return kOpenCrackFactor * (1.0 + p.nu) / (2.0 * p.E);
    default:
      return 0.0;
  }
}

// Compliance in the crack axes (1, 2, 12, z) with the crack compliances when fracture is on.
Matrix4 localCompliance(const ConcreteMaterial& m, const ConcreteProperties& p,
                        const ConcreteState& s, std::array<double, 3>* slotCompliance) {
  Matrix4 C;
  const double invE = 1.0 / p.E;
  const double off = -p.nu * invE;
  C(0, 0) = C(1, 1) = C(3, 3) = invE;
  C(0, 1) = C(1, 0) = C(0, 3) = C(3, 0) = C(1, 3) = C(3, 1) = off;
  C(2, 2) = 2.0 * (1.0 + p.nu) * invE;
  std::array<double, 3> c{};
  if (m.sw.fracture) {
    for (int k = 0; k < kCrackSlots; ++k) {
      c[static_cast<std::size_t>(k)] = crackCompliance(s.slotState(k), s.bandWidth(k), p);
      const int i = slotComponent(k);
      C(i, i) += c[static_cast<std::size_t>(k)];
    }
    const double w = s.crackStrain(0) + s.crackStrain(1);
    if (w != 0.0) {
      if (p.GS > 0.0)
        C(2, 2) += w / p.GS;
      else
        C(2, 2) += kOpenCrackFactor * (1.0 + p.nu) / (2.0 * p.E);  // no shear transfer
    }
  }
  if (slotCompliance) *slotCompliance = c;
  return C;
}

// Local stiffness D' = C^-1, or zeros when the modulus is unusable or C is singular.
Matrix4 localStiffness(const ConcreteMaterial& m, const ConcreteProperties& p,
                       const ConcreteState& s, std::array<double, 3>* slotCompliance) {
  if (!usableModulus(p.E)) {
    if (slotCompliance) *slotCompliance = {};
    return Matrix4{};
  }
  Matrix4 D = localCompliance(m, p, s, slotCompliance);
  // Without crack compliances the compliance is isotropic, and so is its inverse.
  const double invE = 1.0 / p.E, shear = 2.0 * (1.0 + p.nu) * invE;
  const double lateral = 1.0 - 2.0 * p.nu;
  if (D(0, 0) == invE && D(1, 1) == invE && D(3, 3) == invE && D(2, 2) == shear && lateral > 0.0 &&
      1.0 + p.nu > 0.0) {
    const double f = p.E / ((1.0 + p.nu) * lateral);
    D = Matrix4{};
    D(0, 0) = D(1, 1) = D(3, 3) = f * (1.0 - p.nu);
    D(0, 1) = D(1, 0) = D(0, 3) = D(3, 0) = D(1, 3) = D(3, 1) = f * p.nu;
    D(2, 2) = p.E / (2.0 * (1.0 + p.nu));
    return D;
  }
  invertCompletePivoting(D, 4);
  return D;
}

bool inPlaneCracked(const ConcreteMaterial& m, const ConcreteState& s) {
  return m.sw.fracture && !s.inPlaneUncracked();
}

// D = T^T D' T for the crack angle.
Matrix4 rotateStiffness(const Matrix4& Dl, double angleDeg) {
  const Matrix4 T = strainRotation(angleDeg);
  Matrix4 DT;  // D' T
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += Dl(i, k) * T(k, j);
      DT(i, j) = sum;
    }
  Matrix4 D;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      double sum = 0.0;
      for (int k = 0; k < 4; ++k) sum += T(k, i) * DT(k, j);
      D(i, j) = sum;
    }
  return D;
}

Vector4 rotateStrain(const Vector4& e, double angleDeg) {
  return multiply(strainRotation(angleDeg), e);
}

// Out-of-plane strain that keeps the z stress increment at zero (plane stress).
double planeStressZ(const Matrix4& D, const Vector4& e) {
  if (D(3, 3) == 0.0) return 0.0;
  return -(D(3, 0) * e[0] + D(3, 1) * e[1] + D(3, 2) * e[2]) / D(3, 3);
}

// Effective strain increment dEps - dEps0 in global axes; z of plane stress is left at 0.
Vector4 effectiveStrain(AnalysisType a, const Vector4& dEps, const Vector4& eps0) {
  Vector4 e{dEps[0] - eps0[0], dEps[1] - eps0[1], dEps[2] - eps0[2], 0.0};
  if (a == AnalysisType::PlaneStrain) e[3] = -eps0[3];
  if (a == AnalysisType::Axisymmetric) e[3] = dEps[3] - eps0[3];
  return e;
}

double majorPrincipal(double sx, double sy, double t) {
  return 0.5 * (sx + sy) + std::sqrt(0.25 * (sx - sy) * (sx - sy) + t * t);
}

// Direction of the major in-plane principal stress (degrees from x).
double principalAngle(double sx, double sy, double t) {
  const double root = std::sqrt(0.25 * (sx - sy) * (sx - sy) + t * t);
  const double s1 = 0.5 * (sx + sy) + root;
  const double scale = std::abs(s1) + std::abs(0.5 * (sx + sy) - root);
  if (scale < 1e-50) return 0.0;
  if (std::abs(s1 - sx) / scale < 1e-10 && std::abs(t) / scale < 1e-10) return 0.0;
  if (std::abs(t) / scale < 1e-10) return 90.0;
  return std::atan((s1 - sx) / t) / kDegree;
}

// Share of the pending creep of a Kelvin term that is still pending after a step of dt (s):
// exp(-dt / tau); a term without a usable retardation time creeps within one step.
double creepDecay(const CreepTerm& term, double dt) {
  return term.retardationTime > 0.0 ? std::exp(-dt / term.retardationTime) : 0.0;
}

// Strength of a slot from its remaining energy.
double slotStrength(double ft, double G, double GF) {
  if (!(GF > 0.0) || !(G > 0.0)) return 0.0;
  return ft * std::sqrt(G / GF);
}

}  // namespace

double invertCompletePivoting(Matrix4& a, int n) {
  assert(n >= 1 && n <= 4);
  std::array<int, 4> rowOf{}, colOf{};
  double det = 1.0;
  for (int k = 0; k < n; ++k) {
    // Largest remaining entry of the trailing block.
    int pr = k, pc = k;
    double big = 0.0;
    for (int i = k; i < n; ++i)
      for (int j = k; j < n; ++j)
        if (std::abs(a(i, j)) > big) {
          big = std::abs(a(i, j));
          pr = i;
          pc = j;
        }
    if (!(big > 0.0)) {  // singular (or NaN entries): zero stiffness
      a = Matrix4{};
      return 0.0;
    }
    rowOf[static_cast<std::size_t>(k)] = pr;
    colOf[static_cast<std::size_t>(k)] = pc;
    if (pr != k) {
      for (int j = 0; j < n; ++j) std::swap(a(k, j), a(pr, j));
      det = -det;
    }
    if (pc != k) {
      for (int i = 0; i < n; ++i) std::swap(a(i, k), a(i, pc));
      det = -det;
    }
    const double piv = a(k, k);
    det *= piv;
    a(k, k) = 1.0;
    for (int j = 0; j < n; ++j) a(k, j) /= piv;
    for (int i = 0; i < n; ++i) {
      if (i == k) continue;
      const double f = a(i, k);
      if (f == 0.0) continue;
      a(i, k) = 0.0;
      for (int j = 0; j < n; ++j) a(i, j) -= f * a(k, j);
    }
  }
  // Undo the interchanges in reverse order: a row swap of the matrix becomes a column swap of
  // the inverse and vice versa.
  for (int k = n - 1; k >= 0; --k) {
    const int pr = rowOf[static_cast<std::size_t>(k)];
    const int pc = colOf[static_cast<std::size_t>(k)];
    if (pr != k)
      for (int i = 0; i < n; ++i) std::swap(a(i, k), a(i, pr));
    if (pc != k)
      for (int j = 0; j < n; ++j) std::swap(a(k, j), a(pc, j));
  }
  return det;
}

Matrix4 strainRotation(double angleDeg) {
  const double c = std::cos(angleDeg * kDegree);
  const double s = std::sin(angleDeg * kDegree);
  Matrix4 T;
  T(0, 0) = c * c;
  T(0, 1) = s * s;
  T(0, 2) = c * s;
  T(1, 0) = s * s;
  T(1, 1) = c * c;
  T(1, 2) = -c * s;
  T(2, 0) = -2.0 * c * s;
  T(2, 1) = 2.0 * c * s;
  T(2, 2) = c * c - s * s;
  T(3, 3) = 1.0;
  return T;
}

Vector4 stressToLocal(const Vector4& g, double angleDeg) {
  const double c = std::cos(angleDeg * kDegree);
  const double s = std::sin(angleDeg * kDegree);
  return {c * c * g[0] + s * s * g[1] + 2.0 * c * s * g[2],
          s * s * g[0] + c * c * g[1] - 2.0 * c * s * g[2],
          -c * s * g[0] + c * s * g[1] + (c * c - s * s) * g[2], g[3]};
}

Vector4 stressToGlobal(const Vector4& l, double angleDeg) {
  // sigma = T^T sigma' with the strain transformation T.
  const double c = std::cos(angleDeg * kDegree);
  const double s = std::sin(angleDeg * kDegree);
  return {c * c * l[0] + s * s * l[1] - 2.0 * c * s * l[2],
          s * s * l[0] + c * c * l[1] + 2.0 * c * s * l[2],
          c * s * l[0] - c * s * l[1] + (c * c - s * s) * l[2], l[3]};
}

Vector4 concreteFreeStrain(const ConcreteMaterial& m, const ConcreteStepInput& in,
                           const ConcreteState& s, const Vector4& sigma, bool withShrinkage) {
  const ConcreteParameters& p = m.par;
  Vector4 e{};
  const double T = s.temperature();
  const double Tmax = s.maxTemperature();
  const double dT = in.dTemperature;
  double theta = 0.0;
  if (dT > 0.0 && T + dT > Tmax) theta = std::min(1.0, (T + dT - Tmax) / dT);
  const double eT = p.thermalExpansion * dT * (p.recoverability + (1.0 - p.recoverability) * theta);
  e[0] += eT;
  e[1] += eT;
  e[3] += eT;
  if (m.sw.stressThermal && theta > 0.0 && p.stressThermalModulus > 0.0) {
    const double f = theta * dT / p.stressThermalModulus;
    const double nu = p.stressThermalPoisson;
    const double tr = sigma[0] + sigma[1] + sigma[3];
    e[0] += f * ((1.0 + nu) * sigma[0] - nu * tr);
    e[1] += f * ((1.0 + nu) * sigma[1] - nu * tr);
    e[3] += f * ((1.0 + nu) * sigma[3] - nu * tr);
    e[2] += f * 2.0 * (1.0 + nu) * sigma[2];
  }
  if (m.sw.creep)
    for (int k = 0; k < kCreepTerms; ++k) {
      // Share of the pending creep of term k that the step realises: 1 - exp(-dt / tau_k).
      const double realised = 1.0 - creepDecay(p.creep[static_cast<std::size_t>(k)], in.dt);
      for (int c = 0; c < 4; ++c) e[static_cast<std::size_t>(c)] += realised * s.creepPending(k, c);
    }
  if (m.sw.shrinkage && withShrinkage) {
    const double te = clampedMaturity(p, s.maturity());
    const double teNew = endMaturity(p, s.maturity(), in.dMaturity);
    if (teNew > p.shrinkageStart) {
      const double d =
          autogenousShrinkage(p, teNew) - autogenousShrinkage(p, std::max(te, p.shrinkageStart));
      e[0] += d;
      e[1] += d;
      e[3] += d;
    }
  }
  return e;
}

ConcreteStiffness concreteStiffness(const ConcreteMaterial& m, const ConcreteStepInput& in,
                                    const ConcreteState& s, const Vector4& sigma) {
  const double teNew = endMaturity(m.par, s.maturity(), in.dMaturity);
  const ConcreteProperties p = concreteProperties(m, teNew);
  const Vector4 eps0 = concreteFreeStrain(m, in, s, sigma, true);
  Matrix4 D = localStiffness(m, p, s, nullptr);
  // Without in-plane cracks the local stiffness is isotropic in the plane: no rotation needed.
  if (inPlaneCracked(m, s)) D = rotateStiffness(D, s.crackAngle());
  ConcreteStiffness out;
  out.dSigma0 = multiply(D, eps0);
  out.n = componentCount(in.analysis);
  if (in.analysis == AnalysisType::PlaneStress) {
    Matrix4 Dc;
    const double dzz = D(3, 3);
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j)
        Dc(i, j) = dzz != 0.0 ? D(i, j) - D(i, 3) * D(3, j) / dzz : D(i, j);
      if (dzz != 0.0) out.dSigma0[static_cast<std::size_t>(i)] -= D(i, 3) * out.dSigma0[3] / dzz;
    }
    out.dSigma0[3] = 0.0;
    out.D = Dc;
  } else if (in.analysis == AnalysisType::PlaneStrain) {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) out.D(i, j) = D(i, j);
    out.dSigma0[3] = 0.0;
  } else {
    out.D = D;
  }
  return out;
}

CrackCheckResult concreteCrackCheck(const ConcreteMaterial& m, const ConcreteStepInput& in,
                                    const ConcreteState& s, const Vector4& sigma,
                                    const Vector4& dEps) {
  CrackCheckResult r;
  if (!s.inPlaneUncracked()) {
    r.angle = s.crackAngle();
    r.flag = 0;
    return r;
  }
  const ConcreteProperties p =
      in.endProperties != nullptr
          ? *in.endProperties
          : concreteProperties(m, endMaturity(m.par, s.maturity(), in.dMaturity));
  const Vector4 eps0 = concreteFreeStrain(m, in, s, sigma, false);
  // In-plane slots are uncracked here, so the local stiffness is the global one.
  const Matrix4 D = localStiffness(m, p, s, nullptr);
  Vector4 e = effectiveStrain(in.analysis, dEps, eps0);
  if (in.analysis == AnalysisType::PlaneStress) e[3] = planeStressZ(D, e);
  const Vector4 ds = multiply(D, e);

  auto s1 = [&](double lambda) {
    return majorPrincipal(sigma[0] + lambda * ds[0], sigma[1] + lambda * ds[1],
                          sigma[2] + lambda * ds[2]);
  };
  const double ft = p.ft;
  const double s1End = s1(1.0);
  double lambda = 1.0;
  if (!(s1End > ft)) {
    r.flag = -1;
  } else {
    r.flag = 1;
    const double s1Start = s1(0.0);
    if (s1Start >= ft) {
      lambda = 0.0;  // already at or beyond the strength at the start of the step
    } else {
      // Secant search from below; the major principal stress is convex along the path, so
      // the iterates rise monotonically towards the crossing. Bounded, and every quotient is
      // guarded: a vanishing trial increment or a zero strength cannot divide by zero.
      const double tolScale = ft > 0.0 ? ft : s1End - s1Start;
      lambda = 0.0;
      double cur = s1Start;
      while (r.iterations < kMaxSecantIterations) {
        if (lambda >= kLambdaDone || std::abs(ft - cur) <= 1e-10 * tolScale) break;
        const double denom = s1End - cur;
        if (!(denom > 0.0)) break;
        lambda = std::clamp(lambda + (1.0 - lambda) * (ft - cur) / denom, 0.0, 1.0);
        cur = s1(lambda);
        ++r.iterations;
      }
    }
  }
  r.lambda = lambda;
  r.angle = principalAngle(sigma[0] + lambda * ds[0], sigma[1] + lambda * ds[1],
                           sigma[2] + lambda * ds[2]);
  return r;
}

StressUpdateResult concreteStressUpdate(const ConcreteMaterial& m, const ConcreteStepInput& in,
                                        ConcreteState& s, Vector4& sigma, Vector4& strain,
                                        const Vector4& dEps) {
  StressUpdateResult out;
  const ConcreteParameters& par = m.par;
  const double teOld = clampedMaturity(par, s.maturity());
  const double teNew = endMaturity(par, s.maturity(), in.dMaturity);
  const ConcreteProperties pOld = concreteProperties(m, teOld);
  const ConcreteProperties pNew =
      in.endProperties != nullptr ? *in.endProperties : concreteProperties(m, teNew);
  const Vector4 eps0 = concreteFreeStrain(m, in, s, sigma, true);
  const Vector4 sigmaOld = sigma;
  const double angle = s.crackAngle();
  Vector4 eG = effectiveStrain(in.analysis, dEps, eps0);
  double ratio = 0.0;
  double dEpsZ = 0.0;  // out-of-plane strain increment of the step

  if (!m.sw.fracture) {
    // Isotropic: global axes throughout, one step.
    const Matrix4 D = localStiffness(m, pNew, s, nullptr);
    if (in.analysis == AnalysisType::PlaneStress) eG[3] = planeStressZ(D, eG);
    const Vector4 ds = multiply(D, eG);
    for (int c = 0; c < 4; ++c)
      sigma[static_cast<std::size_t>(c)] += ds[static_cast<std::size_t>(c)];
    if (in.analysis == AnalysisType::PlaneStress) sigma[3] = sigmaOld[3];
    dEpsZ = eG[3] + eps0[3];
    const Vector4 l = stressToLocal(sigma, angle);
    for (int c : {0, 1, 3}) {
      const double v = l[static_cast<std::size_t>(c)];
      ratio = std::max(ratio, pNew.ft > 0.0 ? v / pNew.ft : (v > 0.0 ? 1.0 : 0.0));
    }
  } else {
    // 1. Slot energies and strengths carried from the start maturity to the end maturity.
    Vector4 sl = stressToLocal(sigma, angle);
    std::array<double, 3> f{};
    const double dG = pNew.GF - pOld.GF;
    for (int k = 0; k < kCrackSlots; ++k) {
      const CrackState st = s.slotState(k);
      if (st == CrackState::Uncracked) s.energy(k) = pOld.GF;
      const double fk = slotStrength(pOld.ft, s.energy(k), pOld.GF);
      const double rel = pOld.GF > 0.0 ? s.energy(k) / pOld.GF : 0.0;
      const double sk = sl[static_cast<std::size_t>(slotComponent(k))];
      if (sk < 0.0 || st == CrackState::Uncracked)
        s.energy(k) += dG;
      else if (sk >= fk)
        s.energy(k) += dG * rel;
      else
        s.energy(k) += dG * ((rel - 1.0) * sk / fk + 1.0);
      f[static_cast<std::size_t>(k)] = slotStrength(pNew.ft, s.energy(k), pNew.GF);
      if (m.sw.development && st == CrackState::Softening) s.setSlotState(k, CrackState::Closed);
    }
    // 2. Effective increment in the crack axes.
    Vector4 rem = rotateStrain(eG, angle);
    if (in.analysis == AnalysisType::PlaneStress)
      rem[3] = planeStressZ(localStiffness(m, pNew, s, nullptr), rem);
    dEpsZ = rem[3] + eps0[3];
    const double invE = usableModulus(pNew.E) ? 1.0 / pNew.E : 0.0;
    // 3. Sub-increments.
    for (int it = 1; it <= kMaxSubIncrements; ++it) {
      out.subIncrements = it;
      std::array<double, 3> c{};
      const Matrix4 Dl = localStiffness(m, pNew, s, &c);
      const Vector4 ds = multiply(Dl, rem);
      double lambda = 1.0;
      int cand = -1;
      CrackState candState = CrackState::Uncracked;
      std::array<double, 3> dw{};
      std::array<CrackState, 3> was{};
      ratio = 0.0;
      for (int k = 0; k < kCrackSlots; ++k) {
        const auto uk = static_cast<std::size_t>(k);
        const auto ic = static_cast<std::size_t>(slotComponent(k));
        const double sk = sl[ic], dsk = ds[ic], fk = f[uk];
        const double next = sk + dsk;
        was[uk] = s.slotState(k);
        switch (was[uk]) {
          case CrackState::Uncracked:
          case CrackState::Closed:
            if (next > fk) {
              const double lk = dsk > 0.0 ? std::max(0.0, (fk - sk) / dsk) : 0.0;
              if (lk < lambda) {
                lambda = lk;
                cand = k;
                candState = CrackState::Softening;
              }
              ratio = std::max(ratio, 1.0);
            } else {
              ratio = std::max(ratio, fk > 0.0 ? next / fk : 1.0);
            }
            break;
          case CrackState::Softening:
            dw[uk] = c[uk] * dsk;
            if (next > fk) {
              lambda = 0.0;  // unloading: the crack closes first
              cand = k;
              candState = CrackState::Closed;
            } else if (next < 0.0) {
              const double lk = dsk < 0.0 ? std::max(0.0, -sk / dsk) : 0.0;
              if (lk < lambda) {
                lambda = lk;
                cand = k;
                candState = CrackState::Open;
              }
            }
            if (next >= 0.0 && next <= fk) ratio = std::max(ratio, 1.0);
            break;
          case CrackState::Open: {
            dw[uk] =
                rem[ic] - ((1.0 + pNew.nu) * invE * dsk - pNew.nu * invE * (ds[0] + ds[1] + ds[3]));
            const double soft = s.softeningStrain(k);
            if (s.crackStrain(k) + dw[uk] < soft) {
              const double lk =
                  dw[uk] != 0.0 ? std::max(0.0, (soft - s.crackStrain(k)) / dw[uk]) : 0.0;
              if (lk < lambda) {
                lambda = lk;
                cand = k;
                candState = CrackState::Closed;
              }
            }
            ratio = std::max(ratio, 1.0);
            break;
          }
        }
      }
      if (cand >= 0) {
        s.setSlotState(cand, candState);
        if (candState == CrackState::Softening && !(s.bandWidth(cand) > 0.0))
          s.bandWidth(cand) = in.fallbackBandWidth;
      }
      // A slot whose energy is used up (it may overshoot below zero by rounding) keeps 0;
      // the other slots keep theirs.
      for (int k = 0; k < kCrackSlots; ++k) {
        const auto uk = static_cast<std::size_t>(k);
        const auto ic = static_cast<std::size_t>(slotComponent(k));
        s.crackStrain(k) += lambda * dw[uk];
        s.energy(k) -= (sl[ic] + 0.5 * lambda * ds[ic]) * lambda * dw[uk] * s.bandWidth(k);
        if (s.energy(k) < 0.0) s.energy(k) = 0.0;
        if (was[uk] == CrackState::Softening) s.softeningStrain(k) += lambda * dw[uk];
      }
      for (int k = 0; k < kCrackSlots; ++k)
        f[static_cast<std::size_t>(k)] = slotStrength(pNew.ft, s.energy(k), pNew.GF);
      for (std::size_t i = 0; i < 4; ++i) {
        sl[i] += lambda * ds[i];
        rem[i] *= (1.0 - lambda);
      }
      if (lambda >= kLambdaDone) break;
    }
    sigma = stressToGlobal(sl, angle);
    if (in.analysis == AnalysisType::PlaneStress) sigma[3] = sigmaOld[3];
  }
  s.strengthRatio() = ratio;
  for (std::size_t i = 0; i < 4; ++i) out.dSigma[i] = sigma[i] - sigmaOld[i];
  strain[0] += dEps[0];
  strain[1] += dEps[1];
  strain[2] += dEps[2];
  strain[3] += in.analysis == AnalysisType::PlaneStrain
                   ? 0.0
                   : (in.analysis == AnalysisType::Axisymmetric ? dEps[3] : dEpsZ);

  // Pending creep of the Kelvin terms, driven by the stress increment of the step
  // (exponential algorithm): a stress held constant after a change dSigma gives a creep strain
  // a_k dSigma (1 - exp(-t / tau_k)), exact for any sequence of step lengths.
  if (m.sw.creep) {
    const Vector4& d = out.dSigma;
    for (int k = 0; k < kCreepTerms; ++k) {
      const CreepTerm& term = par.creep[static_cast<std::size_t>(k)];
      const double Estar = k == 0 ? pNew.E : par.modulus;
      if (!usableModulus(Estar)) continue;
      const double a = pNew.psi * par.creepScale * term.coefficient / Estar;
      const double e = creepDecay(term, in.dt);
      const double nu = term.poisson;
      const double tr = d[0] + d[1] + d[3];
      for (int c : {0, 1, 3})
        s.creepPending(k, c) =
            e * s.creepPending(k, c) + a * ((1.0 + nu) * d[static_cast<std::size_t>(c)] - nu * tr);
      s.creepPending(k, 2) = e * s.creepPending(k, 2) + a * 2.0 * (1.0 + nu) * d[2];
    }
  }
  s.time() += in.dt;
  s.maturity() = teNew;
  s.temperature() += in.dTemperature;
  s.maxTemperature() = std::max(s.maxTemperature(), s.temperature());
  s.tensileStrength() = pNew.ft;
  s.compressiveStrength() = pNew.fc;
  return out;
}

}  // namespace vemto::engine::mech
