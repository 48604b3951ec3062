// Maturity (equivalent time) and degree of hydration of hardening concrete at one
// Gauss point, and the heat generation rate that follows from them.
#pragma once

namespace vemto::engine {

/// Parameters of the maturity and hydration laws of one material.
struct HydrationParams {
  double cement = 0.0;   ///< cement content C (kg/m³)
  double beta0 = 0.0;    ///< maturity-rate factor β₀ (maturity units per second)
  double qInf = 0.0;     ///< heat of hydration at complete hydration Q∞ (J/kg)
  double lambda1 = 0.0;  ///< λ₁ of the hydration curve (−)
  double t1 = 0.0;       ///< t₁ of the hydration curve (maturity units)
  double kappa1 = 0.0;   ///< κ₁ of the hydration curve (−)
  double theta0 = 0.0;   ///< θ₀ of the maturity function (K)
  double kappa0 = 0.0;   ///< κ₀ of the maturity function (−)
};

/// Degree of hydration α(t_e) and its derivative dα/dt_e (per maturity unit);
/// both 0 for t_e/t₁ ≤ 0.
struct HydrationState {
  double alpha = 0.0;
  double dAlpha = 0.0;
};
HydrationState DegreeOfHydration(const HydrationParams& p, double maturity);

/// Maturity rate β(T) (maturity units per second) at temperature T (°C); 0 at or
/// below −10 °C, β₀ at 20 °C.
double MaturityRate(const HydrationParams& p, double temperature);

/// Result of one explicit hydration update.
struct HydrationUpdate {
  double alpha = 0.0;     ///< degree of hydration at the start of the step
  double maturity = 0.0;  ///< maturity at the end of the step
  double heatRate = 0.0;  ///< heat generation rate q = Q∞·C·dα/dt_e·β (W/m³)
};
/// Advances a Gauss point by dt (s) from start-of-step temperature T (°C) and
/// maturity t_e: explicit in both.
HydrationUpdate AdvanceHydration(const HydrationParams& p, double temperature, double maturity,
                                 double dt);

}  // namespace vemto::engine
