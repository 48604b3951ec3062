// Parameter studies: a study file (JSON) names a base project and what to vary; the
// study expands into independent runs, each a changed copy of the base project. The
// changes go through the model library; the base project is only read. No Qt.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace vemto {
class TVemtoFile;
}

namespace vemto::study {

/// A study file that cannot be used; what() names the file and the defect.
class StudyError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// What a parameter or a Monte-Carlo variable changes.
enum class Target {
  CastingTemperature,    ///< P6, °C
  AirTemperatureOffset,  ///< added to every point of an air temperature history, °C
  RemovalTime,           ///< P2 of a material, given in h (stored in s)
  TransferCoefficient,   ///< of an air temperature condition, W/m²K
  CementContent,         ///< P8, kg/m³
  MaterialProperty,      ///< P(property) in the project's units
  TensileStrength,       ///< P32, Pa
  Modulus,               ///< P23, Pa
  HeatOfHydration,       ///< P10, heat at complete hydration in the project's units
};

/// A changed quantity: which one, on which materials or conditions.
struct Change {
  Target target = Target::CastingTemperature;
  std::string material;   ///< material name; empty: every material with heat development
  std::string condition;  ///< condition name; empty: every air temperature condition
  int property = 0;       ///< 1..68 for MaterialProperty
  std::string label;      ///< CSV column
};

/// A swept parameter: its values (from a list or a range).
struct Parameter {
  Change change;
  std::vector<double> values;
};

enum class Distribution { Normal, LogNormal, Uniform };

/// A Monte-Carlo variable. Without a mean the base project's value of each material is
/// the mean and the sample is a factor on it (mean 1); with a mean the sample is the
/// value itself, the same for every material changed.
struct Variable {
  Change change;
  Distribution distribution = Distribution::Normal;
  bool hasMean = false;
  double mean = 1.0;  ///< in the unit of the target (hasMean) or 1 (a factor)
  double cov = 0.0;   ///< coefficient of variation, standard deviation / mean
};

/// A whole study file.
struct StudyDefinition {
  std::filesystem::path file;     ///< the study file
  std::filesystem::path project;  ///< the base project (relative to the study file)
  /// One interval END, STEP (h) instead of the project's; 0: the project's intervals.
  double intervalEnd = 0.0, intervalStep = 0.0;
  std::vector<Parameter> parameters;
  std::vector<Variable> variables;  ///< empty: no Monte-Carlo part
  std::int64_t samples = 0;         ///< Monte-Carlo samples
  std::uint64_t seed = 0;
  std::vector<std::string> slurmOptions;  ///< extra "#SBATCH" lines of the job script
  bool MonteCarlo() const { return !variables.empty(); }
};

/// Reads and checks a study file. Throws StudyError naming the file and the defect.
StudyDefinition ReadStudy(const std::filesystem::path& file);

/// One run of a study: its folder name and the value of every column.
struct RunPlan {
  std::string name;            ///< "run_0001", …
  std::vector<double> values;  ///< one per StudyColumns entry
};

/// The parameter columns of the study's CSV table, in the order of RunPlan::values.
std::vector<std::string> StudyColumns(const StudyDefinition& study);

/// The runs: every combination of the parameters' values (the first parameter varies
/// slowest) or, for a Monte-Carlo study, `samples` draws from the seeded generator.
std::vector<RunPlan> ExpandStudy(const StudyDefinition& study);

/// Applies run `plan` to `document` (a copy of the base project) and makes every
/// interval store every time step. Throws StudyError when a named material or condition
/// does not exist or a change finds nothing to change.
void ApplyRun(const StudyDefinition& study, const RunPlan& plan, TVemtoFile& document);

/// Deterministic draws: mt19937_64 and own transforms, so that every machine and
/// standard library gives the same samples for the same seed.
class Sampler {
 public:
  explicit Sampler(std::uint64_t seed) : engine_(seed) {}
  /// Uniform in the open interval (0, 1).
  double Uniform();
  /// A draw with the given mean and coefficient of variation.
  double Draw(Distribution distribution, double mean, double cov);

 private:
  std::mt19937_64 engine_;  // its output sequence is fixed by the standard
};

/// Wilson score interval of a share k/n at 95 % (z = 1.959963984540054); n > 0.
struct Interval {
  double low = 0.0, high = 0.0;
};
Interval Wilson(std::int64_t k, std::int64_t n);

}  // namespace vemto::study
