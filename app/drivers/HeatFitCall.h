// The call of the heat-development fit library (libheatfit.so, loaded at run time) that
// the cement guide and the command line make: its 14 by-reference arguments are built
// here, and the outcome is fetched with the library's error text and fitted curves.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vemto {

inline constexpr int kHeatFitMaxFiles = 3;  ///< most input files of one fit

/// What the user enters. Units as the libraries take them (SI, t-1 in seconds).
struct THeatFitInput {
  int Type = 1;                    ///< 1 time-temperature, 2 maturity-heat, 3 heat loss
  int Set = 1;                     ///< 1 Lambda-1, Kappa-1; 2 also t-1; 3 also Wc0
  std::vector<std::string> Files;  ///< 1 to 3 (type 1), 1 otherwise
  double Density = 2350.0;         ///< concrete mass density (kg/m³)
  double SpecificHeat = 1000.0;    ///< concrete specific heat (J/(kg·K))
  double Cement = 300.0;           ///< cement content (kg/m³)
  double HeatLoss = 4.7572e-6;     ///< heat loss coefficient k (1/s)
  double Theta0 = 4600.0;          ///< Theta-0 (K)
  double Kappa0 = 0.39;            ///< Kappa-0 (−)
  double Wc0 = 500000.0;           ///< total energy Wc0 (J/kg)
  double T1 = 5.52 * 3600.0;       ///< t-1 (s)
};

/// Measured and fitted values of one input file: x time or maturity (h), values
/// temperatures (°C) or heat (J/kg).
struct THeatFitCurve {
  std::vector<double> X;
  std::vector<double> Measured;
  std::vector<double> Fitted;
};

/// The outcome: the values after the call (fitted ones replaced) or the reason of failure.
struct THeatFitResult {
  bool Succeeded = false;
  std::string Error;                                  ///< why no values came (empty after success)
  double HeatLoss = 0.0, Theta0 = 0.0, Kappa0 = 0.0;  ///< 1/s, K, −
  double Kappa1 = 0.0, Lambda1 = 0.0;                 ///< −
  double Wc0 = 0.0;                                   ///< J/kg
  double T1 = 0.0;                                    ///< s
  double Rms = 0.0;                                   ///< root mean square misfit (°C or J/kg)
  std::vector<THeatFitCurve> Curves;                  ///< one per input file
};

/// Loads `programFolder`/libheatfit.so and fits. Never throws: every failure (library
/// missing, file name too long, bad file, no convergence) comes back in Error.
THeatFitResult RunHeatFit(const THeatFitInput& input, const std::filesystem::path& programFolder);

}  // namespace vemto
