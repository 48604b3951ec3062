#include "Study.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <numbers>
#include <set>
#include <sstream>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "VemtoCondition.h"
#include "VemtoFile.h"
#include "VemtoInterval.h"
#include "VemtoMaterial.h"

namespace vemto::study {
namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

constexpr std::size_t kMaxRuns = 100000;

/// Reading one study file: every error names the file and where in it.
class Reader {
 public:
  explicit Reader(fs::path file) : file_(std::move(file)) {}

  [[noreturn]] void Fail(const std::string& where, const std::string& what) const {
    throw StudyError(
        fmt::format("{}: {}{}", file_.string(), where.empty() ? "" : where + ": ", what));
  }
  /// Refuses keys other than `known` (a misspelt key would otherwise be ignored).
  void OnlyKeys(const json& object, const std::string& where,
                std::initializer_list<const char*> known) const {
    if (!object.is_object()) Fail(where, "must be an object {...}");
    for (const auto& [key, value] : object.items()) {
      bool found = false;
      for (const char* k : known) found = found || key == k;
      if (!found) {
        std::string list;
        for (const char* k : known) list += (list.empty() ? "\"" : ", \"") + std::string(k) + "\"";
        Fail(where, fmt::format("unknown key \"{}\" (known: {})", key, list));
      }
    }
  }
  double Number(const json& object, const char* key, const std::string& where) const {
    if (!object.contains(key)) Fail(where, fmt::format("\"{}\" is missing", key));
    const json& v = object.at(key);
    if (!v.is_number() || !std::isfinite(v.get<double>()))
      Fail(where, fmt::format("\"{}\" must be a finite number", key));
    return v.get<double>();
  }
  std::string Text(const json& object, const char* key, const std::string& where) const {
    if (!object.contains(key)) return {};
    if (!object.at(key).is_string() || object.at(key).get<std::string>().empty())
      Fail(where, fmt::format("\"{}\" must be a non-empty text", key));
    return object.at(key).get<std::string>();
  }

  /// "vary" with its "material", "condition" and "property".
  Change ReadChange(const json& o, const std::string& where, bool monteCarlo) const {
    Change c;
    const std::string vary = Text(o, "vary", where);
    if (vary.empty()) Fail(where, "\"vary\" is missing");
    static const std::pair<const char*, Target> kSwept[] = {
        {"casting_temperature", Target::CastingTemperature},
        {"air_temperature_offset", Target::AirTemperatureOffset},
        {"removal_time", Target::RemovalTime},
        {"transfer_coefficient", Target::TransferCoefficient},
        {"cement_content", Target::CementContent},
        {"material_property", Target::MaterialProperty},
        {"tensile_strength", Target::TensileStrength},
        {"modulus", Target::Modulus},
        {"heat_of_hydration", Target::HeatOfHydration}};
    static const std::set<Target> kRandom = {Target::TensileStrength, Target::Modulus,
                                             Target::HeatOfHydration, Target::CastingTemperature};
    bool found = false;
    std::string names;
    for (const auto& [name, target] : kSwept) {
      if (monteCarlo && kRandom.count(target) == 0) continue;
      names += (names.empty() ? "" : ", ") + std::string(name);
      if (vary == name) {
        c.target = target;
        found = true;
      }
    }
    if (!found) Fail(where, fmt::format("cannot vary \"{}\"; one of {}", vary, names));
    c.material = Text(o, "material", where);
    c.condition = Text(o, "condition", where);
    const bool onMaterial =
        c.target != Target::AirTemperatureOffset && c.target != Target::TransferCoefficient;
    if (onMaterial && !c.condition.empty())
      Fail(where, fmt::format("\"{}\" changes materials; \"condition\" does not apply", vary));
    if (!onMaterial && !c.material.empty())
      Fail(where, fmt::format("\"{}\" changes conditions; \"material\" does not apply", vary));
    if (c.target == Target::RemovalTime && c.material.empty())
      Fail(where, "\"removal_time\" needs \"material\": the name of the material to remove");
    if (c.target == Target::MaterialProperty) {
      const double p = Number(o, "property", where);
      if (p != std::floor(p) || p < 1 || p > kMaterialProperties)
        Fail(where,
             fmt::format("\"property\" must be a whole number from 1 to {}", kMaterialProperties));
      c.property = static_cast<int>(p);
    } else if (o.contains("property")) {
      Fail(where, "\"property\" belongs to \"material_property\" only");
    }
    c.label = vary;
    if (c.property > 0) c.label += fmt::format("_{}", c.property);
    if (!c.material.empty()) c.label += "[" + c.material + "]";
    if (!c.condition.empty()) c.label += "[" + c.condition + "]";
    return c;
  }

  Parameter ReadParameter(const json& o, const std::string& where) const {
    OnlyKeys(o, where,
             {"vary", "material", "condition", "property", "values", "from", "to", "step"});
    Parameter p;
    p.change = ReadChange(o, where, false);
    const bool list = o.contains("values");
    const bool range = o.contains("from") || o.contains("to") || o.contains("step");
    if (list == range) Fail(where, "give either \"values\" [...] or \"from\", \"to\" and \"step\"");
    if (list) {
      const json& v = o.at("values");
      if (!v.is_array() || v.empty()) Fail(where, "\"values\" must be a non-empty list of numbers");
      for (const json& x : v) {
        if (!x.is_number() || !std::isfinite(x.get<double>()))
          Fail(where, "\"values\" must be a non-empty list of numbers");
        p.values.push_back(x.get<double>());
      }
    } else {
      const double from = Number(o, "from", where), to = Number(o, "to", where),
                   step = Number(o, "step", where);
      if (!(step > 0.0) || to < from)
        Fail(where, "a range needs \"step\" > 0 and \"to\" >= \"from\"");
      // The end counts when it is reached within a millionth of a step.
      const double count = std::floor((to - from) / step + 1e-6) + 1.0;
      if (count > static_cast<double>(kMaxRuns))
        Fail(where, fmt::format("the range has more than {} values", kMaxRuns));
      for (int i = 0; i < static_cast<int>(count); ++i) p.values.push_back(from + i * step);
    }
    return p;
  }

  Variable ReadVariable(const json& o, const std::string& where) const {
    OnlyKeys(o, where, {"vary", "material", "distribution", "mean", "cov"});
    Variable v;
    v.change = ReadChange(o, where, true);
    const std::string d = Text(o, "distribution", where);
    if (d == "normal")
      v.distribution = Distribution::Normal;
    else if (d == "lognormal")
      v.distribution = Distribution::LogNormal;
    else if (d == "uniform")
      v.distribution = Distribution::Uniform;
    else
      Fail(where, "\"distribution\" must be \"normal\", \"lognormal\" or \"uniform\"");
    v.cov = Number(o, "cov", where);
    if (!(v.cov >= 0.0) || v.cov > 1.0)
      Fail(where, "\"cov\" (coefficient of variation) must be from 0 to 1");
    v.hasMean = o.contains("mean");
    if (v.hasMean) v.mean = Number(o, "mean", where);
    if (v.distribution == Distribution::LogNormal && !(v.mean > 0.0))
      Fail(where, "a lognormal distribution needs a positive mean");
    if (!v.hasMean) v.change.label += "_factor";
    return v;
  }

 private:
  fs::path file_;
};

template <class F>
void ForMaterials(TVemtoFile& document, const Change& c, const std::string& study, F&& apply) {
  int changed = 0;
  for (const auto& material : document.Materials) {
    const bool chosen =
        c.material.empty() ? material->Option(1) == 1 : material->Name == c.material;
    if (!chosen) continue;
    apply(*material);
    ++changed;
  }
  if (changed > 0) return;
  if (!c.material.empty()) {
    std::string names;
    for (const auto& m : document.Materials)
      names += (names.empty() ? "\"" : ", \"") + m->Name + "\"";
    throw StudyError(fmt::format("{}: {}: no material \"{}\" in the project (materials: {})", study,
                                 c.label, c.material, names));
  }
  throw StudyError(
      fmt::format("{}: {}: the project has no material with heat development", study, c.label));
}

void ForAirConditions(TVemtoFile& document, const Change& c, const std::string& study,
                      const std::function<void(TVemtoTempCondition&)>& apply) {
  int changed = 0;
  for (const auto& condition : document.Conditions) {
    auto* air = dynamic_cast<TVemtoTempCondition*>(condition.get());
    if (air == nullptr || (!c.condition.empty() && air->Name != c.condition)) continue;
    apply(*air);
    ++changed;
  }
  if (changed > 0) return;
  if (c.condition.empty())
    throw StudyError(
        fmt::format("{}: {}: the project has no air temperature condition", study, c.label));
  std::string names;
  for (const auto& condition : document.Conditions)
    if (dynamic_cast<const TVemtoTempCondition*>(condition.get()) != nullptr)
      names += (names.empty() ? "\"" : ", \"") + condition->Name + "\"";
  throw StudyError(fmt::format("{}: {}: no air temperature condition \"{}\" in the project ({})",
                               study, c.label, c.condition, names));
}

/// Sets (or, for a factor, scales) the changed quantity to `value`.
void ApplyChange(TVemtoFile& document, const Change& c, double value, bool factor,
                 const std::string& study) {
  const auto property = [&](int k) {
    ForMaterials(document, c, study,
                 [&](TVemtoMaterial& m) { m.P(k) = factor ? m.P(k) * value : value; });
  };
  switch (c.target) {
    case Target::CastingTemperature:
      return property(6);
    case Target::CementContent:
      return property(8);
    case Target::TensileStrength:
      return property(32);
    case Target::Modulus:
      return property(23);
    case Target::HeatOfHydration:
      return property(10);
    case Target::MaterialProperty:
      return property(c.property);
    case Target::RemovalTime:
      ForMaterials(document, c, study, [&](TVemtoMaterial& m) { m.P(2) = value * 3600.0; });
      return;
    case Target::AirTemperatureOffset:
      ForAirConditions(document, c, study, [&](TVemtoTempCondition& air) {
        for (TVemtoEventPos& point : air.History) point.Value1 += value;
      });
      return;
    case Target::TransferCoefficient:
      ForAirConditions(document, c, study, [&](TVemtoTempCondition& air) {
        air.TransferCoefficient = value;
        // The coefficient is taken as given, not derived from insulation and wind.
        air.InsulationType =
            static_cast<std::uint8_t>(InsulationKind::SpecifiedTransferCoefficient);
      });
      return;
  }
}

}  // namespace

StudyDefinition ReadStudy(const fs::path& file) {
  const Reader reader(file);
  std::ifstream in(file);
  if (!in) reader.Fail("", "cannot be opened");
  json root;
  try {
    root = json::parse(in);
  } catch (const json::parse_error& e) {
    reader.Fail("", fmt::format("not valid JSON ({})", e.what()));
  }
  reader.OnlyKeys(root, "", {"project", "interval", "parameters", "monte_carlo", "slurm"});
  StudyDefinition s;
  s.file = file;
  const std::string project = reader.Text(root, "project", "");
  if (project.empty()) reader.Fail("", "\"project\" (the base project file) is missing");
  s.project = fs::path(project).is_absolute() ? fs::path(project) : file.parent_path() / project;
  if (root.contains("interval")) {
    const json& i = root.at("interval");
    reader.OnlyKeys(i, "interval", {"end", "step"});
    s.intervalEnd = reader.Number(i, "end", "interval");
    s.intervalStep = reader.Number(i, "step", "interval");
    if (!(s.intervalStep > 0.0) || !(s.intervalEnd >= s.intervalStep))
      reader.Fail("interval", "needs \"step\" > 0 and \"end\" >= \"step\" (hours)");
  }
  if (root.contains("parameters")) {
    const json& list = root.at("parameters");
    if (!list.is_array()) reader.Fail("parameters", "must be a list [...]");
    for (std::size_t i = 0; i < list.size(); ++i)
      s.parameters.push_back(reader.ReadParameter(list[i], fmt::format("parameters[{}]", i)));
  }
  if (root.contains("monte_carlo")) {
    const json& mc = root.at("monte_carlo");
    reader.OnlyKeys(mc, "monte_carlo", {"samples", "seed", "variables"});
    const double samples = reader.Number(mc, "samples", "monte_carlo");
    const double seed = reader.Number(mc, "seed", "monte_carlo");
    if (samples != std::floor(samples) || samples < 1 || samples > static_cast<double>(kMaxRuns))
      reader.Fail("monte_carlo",
                  fmt::format("\"samples\" must be a whole number from 1 to {}", kMaxRuns));
    if (seed != std::floor(seed) || seed < 0 || seed > 9007199254740992.0)
      reader.Fail("monte_carlo", "\"seed\" must be a whole number >= 0");
    s.samples = static_cast<std::int64_t>(samples);
    s.seed = static_cast<std::uint64_t>(seed);
    if (!mc.contains("variables") || !mc.at("variables").is_array() || mc.at("variables").empty())
      reader.Fail("monte_carlo", "\"variables\" must be a non-empty list");
    const json& list = mc.at("variables");
    for (std::size_t i = 0; i < list.size(); ++i)
      s.variables.push_back(
          reader.ReadVariable(list[i], fmt::format("monte_carlo.variables[{}]", i)));
  }
  if (root.contains("slurm")) {
    const json& slurm = root.at("slurm");
    reader.OnlyKeys(slurm, "slurm", {"options"});
    if (slurm.contains("options")) {
      if (!slurm.at("options").is_array())
        reader.Fail("slurm", "\"options\" must be a list of texts");
      for (const json& o : slurm.at("options")) {
        if (!o.is_string() || o.get<std::string>().find('\n') != std::string::npos)
          reader.Fail("slurm", "\"options\" must be a list of one-line texts");
        s.slurmOptions.push_back(o.get<std::string>());
      }
    }
  }
  if (s.parameters.empty() && s.variables.empty())
    reader.Fail("", "nothing to vary: give \"parameters\" or \"monte_carlo\"");
  double combinations = 1.0;
  for (const Parameter& p : s.parameters) combinations *= static_cast<double>(p.values.size());
  if (s.MonteCarlo() && combinations > 1.0)
    reader.Fail("parameters", "a Monte-Carlo study takes parameters with one value each");
  if (combinations > static_cast<double>(kMaxRuns))
    reader.Fail("parameters", fmt::format("the study has more than {} runs", kMaxRuns));
  std::set<std::string> labels;
  for (const std::string& label : StudyColumns(s))
    if (!labels.insert(label).second) reader.Fail("", fmt::format("\"{}\" is varied twice", label));
  return s;
}

std::vector<std::string> StudyColumns(const StudyDefinition& study) {
  std::vector<std::string> columns;
  for (const Parameter& p : study.parameters) columns.push_back(p.change.label);
  for (const Variable& v : study.variables) columns.push_back(v.change.label);
  return columns;
}

std::vector<RunPlan> ExpandStudy(const StudyDefinition& study) {
  std::vector<RunPlan> runs;
  const auto name = [](std::size_t i) { return fmt::format("run_{:04d}", i + 1); };
  if (study.MonteCarlo()) {
    Sampler sampler(study.seed);
    for (std::int64_t i = 0; i < study.samples; ++i) {
      RunPlan plan{name(runs.size()), {}};
      for (const Parameter& p : study.parameters) plan.values.push_back(p.values[0]);
      for (const Variable& v : study.variables)
        plan.values.push_back(sampler.Draw(v.distribution, v.mean, v.cov));
      runs.push_back(std::move(plan));
    }
    return runs;
  }
  std::vector<std::size_t> index(study.parameters.size(), 0);
  for (;;) {
    RunPlan plan{name(runs.size()), {}};
    for (std::size_t p = 0; p < index.size(); ++p)
      plan.values.push_back(study.parameters[p].values[index[p]]);
    runs.push_back(std::move(plan));
    // The last parameter varies fastest.
    std::size_t p = index.size();
    while (p > 0 && ++index[p - 1] == study.parameters[p - 1].values.size()) index[--p] = 0;
    if (p == 0) return runs;
  }
}

void ApplyRun(const StudyDefinition& study, const RunPlan& plan, TVemtoFile& document) {
  const std::string file = study.file.string();
  std::size_t column = 0;
  for (const Parameter& p : study.parameters)
    ApplyChange(document, p.change, plan.values.at(column++), false, file);
  for (const Variable& v : study.variables)
    ApplyChange(document, v.change, plan.values.at(column++), !v.hasMean, file);
  if (study.intervalStep > 0.0) {
    document.Intervals.clear();
    document.Intervals.push_back(std::make_unique<TVemtoInterval>(
        study.intervalEnd, study.intervalStep, study.intervalStep));
  }
  // Peaks between stored times would be missed: every time step is stored.
  for (const auto& interval : document.Intervals) interval->StoreStep = interval->TimeStep;
}

double Sampler::Uniform() {
  // 53 random bits, shifted by half a unit: never 0 and never 1.
  return (static_cast<double>(engine_() >> 11) + 0.5) * 0x1.0p-53;
}

double Sampler::Draw(Distribution distribution, double mean, double cov) {
  switch (distribution) {
    case Distribution::Normal: {
      // Box-Muller, one value per pair of uniforms.
      const double u1 = Uniform(), u2 = Uniform();
      const double z = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
      return mean + std::fabs(mean) * cov * z;
    }
    case Distribution::LogNormal: {
      const double s2 = std::log1p(cov * cov);
      const double u1 = Uniform(), u2 = Uniform();
      const double z = std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
      return mean * std::exp(std::sqrt(s2) * z - 0.5 * s2);
    }
    case Distribution::Uniform: {
      // Half-width √3·σ gives the standard deviation σ = cov·|mean|.
      const double half = std::sqrt(3.0) * std::fabs(mean) * cov;
      return mean - half + 2.0 * half * Uniform();
    }
  }
  return mean;
}

Interval Wilson(std::int64_t k, std::int64_t n) {
  constexpr double z = 1.959963984540054;
  const double nn = static_cast<double>(n);
  const double p = static_cast<double>(k) / nn;
  const double d = 1.0 + z * z / nn;
  const double centre = (p + z * z / (2.0 * nn)) / d;
  const double half = z / d * std::sqrt(p * (1.0 - p) / nn + z * z / (4.0 * nn * nn));
  return {std::max(0.0, centre - half), std::min(1.0, centre + half)};
}

}  // namespace vemto::study
