#include "ConcreteMaterial.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <fmt/format.h>

namespace vemto::engine::mech {

double DevelopmentLaw::factor(double x) const {
  // A non-positive x only arises from inconsistent maturity input; the law is evaluated at
  // a tiny positive value instead so that no NaN can appear.
  return factorOfLog(std::log(std::max(x, 1e-12)));
}

double DevelopmentLaw::factorOfLog(double logX) const {
  // 1 / (a x^b) = exp(−b ln x) / a.
  const double s = std::exp(-b1 * logX) / a1 + std::exp(-b2 * logX) / a2;
  return 1.0 / s;
}

ConcreteMaterial ConcreteMaterial::fromColumns(std::span<const double> pels,
                                               std::span<const int> ipels) {
  if (pels.size() < static_cast<std::size_t>(kConcreteParameterRows))
    throw std::invalid_argument(fmt::format("mechanical material column has {} rows, {} needed",
                                            pels.size(), kConcreteParameterRows));
  if (ipels.size() < static_cast<std::size_t>(kConcreteSwitchRows))
    throw std::invalid_argument(fmt::format("material switch column has {} rows, {} needed",
                                            ipels.size(), kConcreteSwitchRows));
  auto r = [&](int row) { return pels[static_cast<std::size_t>(row - 1)]; };
  ConcreteMaterial m;
  ConcreteParameters& p = m.par;
  p.activationTime = r(1);
  p.removalTime = r(2);
  p.initialTemperature = r(3);
  p.initialMaturity = r(4);
  p.bodyForceTime = r(5);
  p.bodyForceX = r(6);
  p.bodyForceY = r(7);
  p.referenceMaturity = r(9);
  p.modulus = r(12);
  p.modulusLaw = {r(13), r(14), r(15), r(16)};
  p.poissonInitial = r(17);
  p.poissonFinal = r(18);
  p.poissonRate1 = r(19);
  p.poissonRate2 = r(20);
  p.tensileStrength = r(21);
  p.tensileLaw = {r(22), r(23), r(24), r(25)};
  p.fractureEnergy = r(26);
  p.slipModulus = r(27);
  p.thermalExpansion = r(28);
  p.recoverability = r(29);
  p.stressThermalModulus = r(30);
  p.stressThermalPoisson = r(31);
  p.creepScale = r(32);
  p.creepAgeing = r(33);
  for (int k = 0; k < kCreepTerms; ++k)
    p.creep[static_cast<std::size_t>(k)] = {r(34 + 3 * k), r(35 + 3 * k), r(36 + 3 * k)};
  p.shrinkageFinal = r(49);
  p.shrinkageStart = r(50);
  p.shrinkageTime = r(51);
  p.shrinkageExponent = r(52);
  p.compressiveStrength = r(53);
  p.compressiveLaw = {r(54), r(55), r(56), r(57)};
  m.sw.development = ipels[0] > 0;
  m.sw.fracture = ipels[1] > 0;
  m.sw.creep = ipels[2] > 0;
  m.sw.stressThermal = ipels[3] > 0;
  m.sw.shrinkage = ipels[4] > 0;
  return m;
}

std::string ConcreteMaterial::problem() const {
  const ConcreteParameters& p = par;
  if (!(p.modulus > 0.0)) return fmt::format("elastic modulus {} is not positive", p.modulus);
  if (sw.development) {
    if (!(p.referenceMaturity > 0.0))
      return fmt::format("reference maturity {} is not positive", p.referenceMaturity);
    for (const DevelopmentLaw* law : {&p.modulusLaw, &p.tensileLaw, &p.compressiveLaw})
      if (!(law->a1 > 0.0) || !(law->a2 > 0.0))
        return fmt::format("development factors a1 = {}, a2 = {} must be positive", law->a1,
                           law->a2);
  }
  if (sw.fracture && !(p.fractureEnergy > 0.0))
    return fmt::format("fracture energy {} is not positive", p.fractureEnergy);
  if (sw.creep)
    for (const CreepTerm& t : p.creep)
      if (!(t.retardationTime > 0.0))
        return fmt::format("creep retardation time {} is not positive", t.retardationTime);
  if (sw.stressThermal && !(p.stressThermalModulus > 0.0))
    return fmt::format("modulus of the stress-induced thermal strain {} is not positive",
                       p.stressThermalModulus);
  if (sw.shrinkage && !(p.shrinkageTime > 0.0))
    return fmt::format("shrinkage development time {} is not positive", p.shrinkageTime);
  return {};
}

double clampedMaturity(const ConcreteParameters& p, double maturity) {
  return std::max(maturity, 1e-4 * p.referenceMaturity);
}

double endMaturity(const ConcreteParameters& p, double maturity, double dMaturity) {
  return clampedMaturity(p, clampedMaturity(p, maturity) + dMaturity);
}

ConcreteProperties concreteProperties(const ConcreteMaterial& m, double te) {
  const ConcreteParameters& p = m.par;
  ConcreteProperties q;
  if (!m.sw.development) {
    q.E = p.modulus;
    q.nu = p.poissonFinal;
    q.ft = p.tensileStrength;
    q.fc = p.compressiveStrength;
    q.GF = p.fractureEnergy;
    q.GS = p.slipModulus;
    q.psi = 1.0;
    return q;
  }
  const double x = p.referenceMaturity > 0.0 ? te / p.referenceMaturity : 1.0;
  // Powers of x through one logarithm; a non-positive x (only from inconsistent
  // maturity input) is taken as a tiny positive value, so that no NaN appears.
  const double logX = std::log(std::max(x, 1e-12));
  const double e = p.modulusLaw.factorOfLog(logX);
  q.E = p.modulus * e;
  q.nu = p.poissonInitial * std::exp(-p.poissonRate1 * x) +
         p.poissonFinal * (1.0 - std::exp(-p.poissonRate2 * x));
  q.ft = p.tensileStrength * p.tensileLaw.factorOfLog(logX);
  q.fc = p.compressiveStrength * p.compressiveLaw.factorOfLog(logX);
  q.GF = p.fractureEnergy * e;
  q.GS = p.slipModulus * e;
  q.psi = std::exp(-p.creepAgeing * logX);
  return q;
}

double autogenousShrinkage(const ConcreteParameters& p, double te) {
  if (!(p.shrinkageTime > 0.0)) return 0.0;
  const double r = (te - p.shrinkageStart) / p.shrinkageTime;
  if (!(r > 0.01)) return 0.0;
  return p.shrinkageFinal * std::exp(-std::pow(r, -p.shrinkageExponent));
}

}  // namespace vemto::engine::mech
