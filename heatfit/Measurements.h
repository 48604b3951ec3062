// Measured series read from the text files of a heat-development fit.
//
// One point per line; columns separated by blanks, tabs, commas or semicolons; lines
// that start with '#' (after leading blanks) and empty lines are ignored. Numbers in
// the C locale. Columns after the expected ones are ignored.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace vemto::heatfit {

/// A fit that cannot be made: an unreadable or damaged input file, bad input values,
/// or a fit that does not converge. The message says why.
class FitError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// One measured record. `x` is time (h) for temperature records and maturity (h) for
/// heat records; strictly increasing. `y` is the concrete temperature (°C) or the heat
/// developed (J/kg of cement). `ambient` is the surrounding temperature (°C), empty for
/// heat records.
struct Series {
  std::filesystem::path file;
  std::vector<double> x;
  std::vector<double> y;
  std::vector<double> ambient;

  std::size_t size() const { return x.size(); }
};

/// What a file holds: time, concrete and surrounding temperature (3 columns), or
/// maturity and heat (2 columns).
enum class SeriesKind { Temperature, Heat };

/// Reads `file`. Throws FitError naming the file (and the line) when it cannot be
/// opened, a line does not start with enough numbers, a value is not finite, the first
/// column does not increase, or fewer than `minPoints` points remain.
Series ReadSeries(const std::filesystem::path& file, SeriesKind kind, std::size_t minPoints);

}  // namespace vemto::heatfit
