// Fitting heat-development parameters of a cement to measured data by nonlinear least
// squares (Levenberg-Marquardt of Eigen's unsupported module) with the hydration law
// of the engine: degree of hydration α(t_e) = exp(−λ1·(ln(1 + t_e/t1))^(−κ1)) and the
// maturity rate β(T) = exp(θ(T)·(1/293.15 − 1/(T + 273.15))), θ(T) = θ0·(30/(T + 10))^κ0,
// maturity t_e in seconds (β0 = 1).
//
// Three calculations:
//  - time-temperature: up to three semi-adiabatic box records (time, concrete and
//    surrounding temperature); the box ρ·c·dT/dt = C·Wc0·dα/dt − ρ·c·k·(T − Ts) is
//    integrated from each record's first temperature and fitted to all records at once;
//  - maturity-heat: one calorimeter record fitted to Q(t_e) = Wc0·α(t_e);
//  - heat loss: the coefficient k of the box fitted to a cooling record without
//    hydration.
// Parameter sets of the first two: 1 fits λ1, κ1; 2 also t1; 3 also Wc0.
// The readings are weighted by an error model sd² = a² + (b·signal)² whose a and b are
// estimated from the residuals of a first fit (the signal: heat, or temperature change
// since a record's first reading); the fit is then repeated with these weights.
#pragma once

#include <filesystem>
#include <vector>

#include "Measurements.h"

namespace vemto::heatfit {

/// The calculation types of the fit library.
enum class FitType : int { TimeTemperature = 1, MaturityHeat = 2, HeatLoss = 3 };

/// Concrete of one box record.
struct Concrete {
  double density = 2350.0;       ///< ρ (kg/m³)
  double specificHeat = 1000.0;  ///< c (J/(kg·K))
  double cement = 300.0;         ///< cement content C (kg/m³)
};

/// Heat-development parameters and the box's heat loss, SI units.
struct Parameters {
  double heatLoss = 4.7572e-6;  ///< k: heat loss coefficient of the box (1/s)
  double theta0 = 4600.0;       ///< θ0 of the maturity rate (K)
  double kappa0 = 0.39;         ///< κ0 of the maturity rate (−)
  double kappa1 = 0.0;          ///< κ1 of the hydration curve (−)
  double lambda1 = 0.0;         ///< λ1 of the hydration curve (−)
  double wc0 = 500000.0;        ///< Wc0: heat at complete hydration (J/kg of cement)
  double t1 = 5.52 * 3600.0;    ///< t1 of the hydration curve (s of maturity)
};

/// What to fit. `start` holds the given values (k, θ0, κ0 for type 1; t1 for set 1;
/// Wc0 for sets 1 and 2); a fitted parameter's value there only seeds the search.
struct FitRequest {
  FitType type = FitType::TimeTemperature;
  int set = 1;                               ///< 1, 2 or 3 (types 1 and 2)
  std::vector<std::filesystem::path> files;  ///< 1 to 3 (type 1), exactly 1 otherwise
  std::vector<Concrete> concrete;            ///< one per file (type 1)
  Parameters start;
};

/// Measured and fitted values of one record: x is time (h) or maturity (h), the values
/// temperatures (°C) or heat (J/kg of cement).
struct Curve {
  std::filesystem::path file;
  std::vector<double> x;
  std::vector<double> measured;
  std::vector<double> fitted;
};

/// A converged fit.
struct FitOutcome {
  Parameters values;          ///< `start` with the fitted parameters replaced
  double rms = 0.0;           ///< root mean square of fitted − measured (°C or J/kg)
  int evaluations = 0;        ///< model evaluations of the optimiser
  std::vector<Curve> curves;  ///< one per record
};

/// Reads the files and fits. Throws FitError with the reason when an input value or a
/// file is bad, when the optimiser does not converge, or when the records do not
/// determine a fitted parameter (for instance Wc0 from a heat record whose plateau is too
/// short).
FitOutcome Fit(const FitRequest& request);

/// Concrete temperatures (°C) of the box at the times of `record`, integrated from its
/// first temperature with the surrounding temperature of the record (linear between its
/// points). The record's times count from casting: the maturity at the first point is
/// β(T_first)·t_first. With `hydration` false no heat is developed.
std::vector<double> BoxTemperatures(const Series& record, const Concrete& concrete,
                                    const Parameters& p, bool hydration);

/// Degree of hydration α at maturity `maturity` (s) with λ1, t1, κ1 of `p`.
double DegreeOfHydration(const Parameters& p, double maturity);

}  // namespace vemto::heatfit
