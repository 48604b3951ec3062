// What a study keeps of one run: exit status, error, peaks with time and place, and per
// node the largest stress/strength ratio. Written by the run's task into its folder and
// read back by the collection. No Qt.
#pragma once

#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace vemto::study {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
/// A node counts as cracked when its ratio reaches 1 within this tolerance (the smeared
/// crack model holds the ratio of a cracked point at 1 up to rounding).
inline constexpr double kCrackRatio = 1.0 - 1e-9;

struct RunResult {
  int exitStatus = -1;  ///< of `vemto-cli run`; 0 success
  std::string error;    ///< the run's error messages, one line
  double peakTemperature = kNaN, peakTemperatureHours = kNaN;  ///< °C, h (hardening concrete)
  double coreToSurface = kNaN, coreToSurfaceHours = kNaN;  ///< hottest − coldest surface node, °C
  double ratio = kNaN, ratioHours = kNaN;                  ///< largest stress/strength ratio
  double ratioX = kNaN, ratioY = kNaN;                     ///< its Gauss point, m
  /// Per node the largest ratio at the Gauss points next to it in the existing hardening
  /// concrete over all stored times; NaN where the node never belongs to such concrete.
  std::vector<double> nodeRatio;
  bool Succeeded() const { return exitStatus == 0; }
};

/// Reads the peaks of result database `out` over all its stored times (a study stores
/// every time step). Throws post::ResultError for a database that cannot be used.
RunResult SummariseResults(const std::string& out);

/// Writes `result` with the run's parameter text to `file` (complete or not at all).
/// Throws std::runtime_error when it cannot be written.
void WriteRunResult(const std::filesystem::path& file, const RunResult& result,
                    const std::string& parameters);
/// The result in `file` if it exists, is whole and belongs to `parameters`.
std::optional<RunResult> ReadRunResult(const std::filesystem::path& file,
                                       const std::string& parameters);

}  // namespace vemto::study
