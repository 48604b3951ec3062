// Material-point model of young concrete: stiffness, free strains, crack initiation and
// stress update with smeared fixed cracks, creep and shrinkage.
#pragma once

#include "ConcreteMaterial.h"
#include "ConcreteState.h"
#include "MechTypes.h"

namespace vemto::engine::mech {

// What a Gauss point receives for one time step.
struct ConcreteStepInput {
  AnalysisType analysis = AnalysisType::PlaneStress;
  double dt = 0.0;            // step length (s)
  double dMaturity = 0.0;     // maturity increment of the step
  double dTemperature = 0.0;  // temperature increment of the step (K)
  // Band width (m) given to a crack slot that starts softening without a band width of its
  // own (a hoop crack before any in-plane crack); 0 = none known.
  double fallbackBandWidth = 0.0;
  // Properties at the step's end maturity when the caller has them already (the crack
  // check and the stress update of one point share them); null: computed.
  const ConcreteProperties* endProperties = nullptr;
};

// Result of the call before the solution.
struct ConcreteStiffness {
  Matrix4 D;        // material matrix in global axes, n x n (Pa)
  Vector4 dSigma0;  // D * free-strain increment (Pa), n components
  int n = 3;        // 3 (plane) or 4 (axisymmetric)
};

// Result of the crack-initiation check.
struct CrackCheckResult {
  double angle = 0.0;   // crack angle (degrees from the x axis)
  int flag = 0;         // 1 a crack forms, -1 no crack, 0 the point is already cracked in plane
  double lambda = 1.0;  // share of the step at which the strength is reached
  int iterations = 0;   // secant iterations used
};

// Result of the stress update.
struct StressUpdateResult {
  Vector4 dSigma{};       // stress increment of the step, global axes (Pa)
  int subIncrements = 0;  // sub-increments used (0 without fracture)
};

inline constexpr int kMaxSubIncrements = 20;
inline constexpr int kMaxSecantIterations = 200;

// Free-strain increment (x, y, xy, z) of the step: thermal, stress-induced thermal, creep and,
// when withShrinkage, autogenous shrinkage. sigma is the stress at the start of the step.
Vector4 concreteFreeStrain(const ConcreteMaterial& m, const ConcreteStepInput& in,
                           const ConcreteState& s, const Vector4& sigma, bool withShrinkage);

// Material matrix and free-strain stress before the solution.
ConcreteStiffness concreteStiffness(const ConcreteMaterial& m, const ConcreteStepInput& in,
                                    const ConcreteState& s, const Vector4& sigma);

// Crack-initiation check with the strain increment dEps of the solution (x, y, xy and, in
// axisymmetric analysis, z). Does not change the state.
CrackCheckResult concreteCrackCheck(const ConcreteMaterial& m, const ConcreteStepInput& in,
                                    const ConcreteState& s, const Vector4& sigma,
                                    const Vector4& dEps);

// Stress update with the strain increment dEps: updates sigma (global, Pa), the accumulated
// strain and the state (cracks, pending creep, time, maturity, temperatures, strengths).
StressUpdateResult concreteStressUpdate(const ConcreteMaterial& m, const ConcreteStepInput& in,
                                        ConcreteState& s, Vector4& sigma, Vector4& strain,
                                        const Vector4& dEps);

// Gauss-Jordan inversion with complete pivoting of the leading n x n block, in place.
// Returns the determinant; a singular matrix (determinant 0) is replaced by zeros.
double invertCompletePivoting(Matrix4& a, int n);

// Strain transformation to axes rotated by angle (degrees): eps_local = T eps_global.
Matrix4 strainRotation(double angleDeg);
// Stress from global to local axes, and back.
Vector4 stressToLocal(const Vector4& sigma, double angleDeg);
Vector4 stressToGlobal(const Vector4& sigmaLocal, double angleDeg);

}  // namespace vemto::engine::mech
