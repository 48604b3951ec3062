// Mechanical material parameters of young concrete and their development with maturity.
#pragma once

#include <array>
#include <span>
#include <string>

namespace vemto::engine::mech {

// Rows of one mechanical material column (PELS) and of one switch column (IPELS).
inline constexpr int kConcreteParameterRows = 57;
inline constexpr int kConcreteSwitchRows = 5;
inline constexpr int kCreepTerms = 5;

// Development law g(x) = 1 / (1/(a1 x^b1) + 1/(a2 x^b2)) of a property with the relative
// maturity x = maturity / reference maturity (dimensionless; 1 at x = 1 when a1 = a2 = 2).
struct DevelopmentLaw {
  double a1 = 2.0, b1 = 0.0, a2 = 2.0, b2 = 0.0;
  double factor(double x) const;  // g(x), dimensionless
  // g(x) from ln x (the laws of one maturity share the logarithm).
  double factorOfLog(double logX) const;
};

// One Kelvin term of the creep model.
struct CreepTerm {
  double retardationTime = 1.0;  // tau_k (s), > 0
  double coefficient = 0.0;      // phi_k (dimensionless)
  double poisson = 0.0;          // creep Poisson's ratio nu_ck
};

// The mechanical parameters of one material (one PELS column), SI units.
struct ConcreteParameters {
  double activationTime = 0.0;        // casting time (s)
  double removalTime = 0.0;           // removal time (s)
  double initialTemperature = 0.0;    // (degC)
  double initialMaturity = 0.0;       // maturity at casting (maturity time unit)
  double bodyForceTime = 0.0;         // activation time of the volume load (s)
  double bodyForceX = 0.0;            // volume load bx (N/m3), +x
  double bodyForceY = 0.0;            // volume load by (N/m3), +y
  double referenceMaturity = 1.0;     // t_ref: maturity of the reference values, > 0
  double modulus = 0.0;               // E0 at the reference maturity (Pa)
  DevelopmentLaw modulusLaw;          // rows 13-16
  double poissonInitial = 0.0;        // nu1
  double poissonFinal = 0.0;          // nu2
  double poissonRate1 = 0.0;          // alpha1 of the Poisson's ratio development
  double poissonRate2 = 0.0;          // alpha2
  double tensileStrength = 0.0;       // f_t0 (Pa)
  DevelopmentLaw tensileLaw;          // rows 22-25
  double fractureEnergy = 0.0;        // G_F0 (N/m)
  double slipModulus = 0.0;           // G_S0 (Pa)
  double thermalExpansion = 0.0;      // alpha_T (1/K)
  double recoverability = 1.0;        // r_T: share of thermal strain that is recoverable
  double stressThermalModulus = 0.0;  // E_Tsigma (Pa K), > 0 when used
  double stressThermalPoisson = 0.0;  // nu_Tsigma
  double creepScale = 0.0;            // phi0
  double creepAgeing = 0.0;           // phi_t1: ageing exponent, psi = x^-phi_t1
  std::array<CreepTerm, kCreepTerms> creep{};
  double shrinkageFinal = 0.0;       // eps_a,inf (negative for shrinkage)
  double shrinkageStart = 0.0;       // t_a: maturity at the start of autogenous shrinkage
  double shrinkageTime = 1.0;        // t2 (maturity time unit), > 0
  double shrinkageExponent = 0.0;    // kappa2
  double compressiveStrength = 0.0;  // f_c0 (Pa)
  DevelopmentLaw compressiveLaw;     // rows 54-57
};

// Model switches of one material (one IPELS column).
struct ConcreteSwitches {
  bool development = false;    // properties develop with maturity
  bool fracture = false;       // smeared fixed cracks
  bool creep = false;          // Kelvin-chain creep
  bool stressThermal = false;  // stress-induced thermal strain
  bool shrinkage = false;      // autogenous shrinkage
};

struct ConcreteMaterial {
  ConcreteParameters par;
  ConcreteSwitches sw;

  // From a PELS column (at least 57 rows, row r at index r - 1) and an IPELS column
  // (at least 5 entries, > 0 = on). Throws std::invalid_argument on short columns.
  static ConcreteMaterial fromColumns(std::span<const double> pels, std::span<const int> ipels);

  // Empty when the parameters are usable for the switched-on features, otherwise a
  // description of the first unusable parameter (e.g. a non-positive elastic modulus, or a
  // non-positive reference maturity with property development on).
  std::string problem() const;
};

// Properties of the material at one maturity.
struct ConcreteProperties {
  double E = 0.0;    // elastic modulus (Pa)
  double nu = 0.0;   // Poisson's ratio
  double ft = 0.0;   // tensile strength (Pa)
  double fc = 0.0;   // compressive strength (Pa)
  double GF = 0.0;   // fracture energy (N/m)
  double GS = 0.0;   // slip modulus (Pa)
  double psi = 1.0;  // creep ageing factor
};

// Maturity clamped from below to 1e-4 t_ref, as used before every property evaluation.
double clampedMaturity(const ConcreteParameters& p, double maturity);

// Maturity at the end of a step that starts at `maturity` (state word 2) and adds dMaturity:
// both the start and the end value are clamped from below to 1e-4 t_ref, so that a maturity
// held below that floor (no temperature variation, start maturity 0) stays at the floor
// instead of alternating between the floor and the held value.
double endMaturity(const ConcreteParameters& p, double maturity, double dMaturity);

// Properties at the maturity te (already clamped); without development the reference values.
ConcreteProperties concreteProperties(const ConcreteMaterial& m, double te);

// Autogenous shrinkage strain eps_sh(te) (dimensionless, sign of eps_a,inf).
double autogenousShrinkage(const ConcreteParameters& p, double te);

}  // namespace vemto::engine::mech
