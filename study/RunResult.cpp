#include "RunResult.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <fmt/format.h>

#include "Diagram.h"
#include "ResultReader.h"

namespace vemto::study {
namespace {

namespace fs = std::filesystem;
using post::Field;

constexpr const char* kMagic = "vemto-study-run 1";

/// Keeps the larger of (value, time) pairs; NaN values never win.
void Keep(double value, double hours, double& best, double& bestHours) {
  if (std::isnan(value) || (!std::isnan(best) && value <= best)) return;
  best = value;
  bestHours = hours;
}

std::string Exact(double v) {
  return std::isnan(v) ? "nan" : fmt::format("{:.17g}", v);
}

}  // namespace

RunResult SummariseResults(const std::string& out) {
  const post::ResultReader r(out);
  if (!r.EndedNormally())
    throw post::ResultError(out + ": the run did not end normally (no list of stored times)");
  RunResult result;
  result.exitStatus = 0;
  const post::CrackRiskSeries risk = post::CrackRisk(r);
  for (std::size_t k = 0; k < risk.hours.size(); ++k)
    Keep(risk.coreToSurface[k], risk.hours[k], result.coreToSurface, result.coreToSurfaceHours);
  const post::QuadMesh& mesh = r.Mesh();
  result.nodeRatio.assign(mesh.x.size(), kNaN);
  // The Gauss points next to each of the eight nodes: a corner its nearest one, a
  // mid-side node the nearest ones of its two corners.
  static constexpr int kNearestGauss[4] = {0, 1, 3, 2};
  for (std::size_t k = 0; k < r.StoredCount(); ++k) {
    auto active = r.ActiveElements(k);
    for (std::size_t e = 0; e < active.size(); ++e) active[e] = active[e] && r.IsConcrete(e);
    if (const auto t = r.Read(Field::Temperature, k))
      for (std::size_t e = 0; e < active.size(); ++e)
        if (active[e])
          for (std::int32_t n : mesh.elements[e])
            Keep((*t)[static_cast<std::size_t>(n)], r.Hours(k), result.peakTemperature,
                 result.peakTemperatureHours);
    const auto ratio = r.Read(Field::Ratio, k);
    if (!ratio) continue;
    for (std::size_t e = 0; e < active.size(); ++e) {
      if (!active[e]) continue;
      for (int g = 0; g < 4; ++g) {
        const double v = (*ratio)[e * 4 + static_cast<std::size_t>(g)];
        if (!std::isnan(v) && (std::isnan(result.ratio) || v > result.ratio)) {
          result.ratio = v;
          result.ratioHours = r.Hours(k);
          post::MapPoint(mesh, e, g % 2 ? post::kGauss : -post::kGauss,
                         g / 2 ? post::kGauss : -post::kGauss, result.ratioX, result.ratioY);
        }
      }
      for (int j = 0; j < 8; ++j) {
        const int g1 = kNearestGauss[j / 2], g2 = kNearestGauss[((j + 1) / 2) % 4];
        const double v = std::max((*ratio)[e * 4 + static_cast<std::size_t>(g1)],
                                  (*ratio)[e * 4 + static_cast<std::size_t>(g2)]);
        double& node = result.nodeRatio[static_cast<std::size_t>(mesh.elements[e][j])];
        if (std::isnan(node) || v > node) node = v;
      }
    }
  }
  return result;
}

void WriteRunResult(const fs::path& file, const RunResult& result, const std::string& parameters) {
  std::string error = result.error;
  std::replace(error.begin(), error.end(), '\n', ' ');
  std::ostringstream text;
  text << kMagic << "\nparameters " << parameters << "\nexit_status " << result.exitStatus
       << "\nerror " << error << "\npeak_temperature " << Exact(result.peakTemperature) << " "
       << Exact(result.peakTemperatureHours) << "\ncore_to_surface " << Exact(result.coreToSurface)
       << " " << Exact(result.coreToSurfaceHours) << "\nratio " << Exact(result.ratio) << " "
       << Exact(result.ratioHours) << " " << Exact(result.ratioX) << " " << Exact(result.ratioY)
       << "\nnodes " << result.nodeRatio.size();
  for (double v : result.nodeRatio) text << " " << Exact(v);
  text << "\nend\n";
  fs::path temporary = file;
  temporary += ".tmp";
  {
    std::ofstream out(temporary);
    out << text.str();
    out.close();
    if (!out) throw std::runtime_error(temporary.string() + ": cannot be written");
  }
  std::error_code e;
  fs::rename(temporary, file, e);
  if (e)
    throw std::runtime_error(fmt::format("{}: cannot be written: {}", file.string(), e.message()));
}

std::optional<RunResult> ReadRunResult(const fs::path& file, const std::string& parameters) {
  std::ifstream in(file);
  if (!in) return std::nullopt;
  std::string line;
  const auto next = [&](const char* key) -> std::optional<std::string> {
    if (!std::getline(in, line)) return std::nullopt;
    const std::string prefix = std::string(key) + " ";
    if (line.rfind(prefix, 0) != 0 && line != key) return std::nullopt;
    return line.size() > prefix.size() ? line.substr(prefix.size()) : std::string();
  };
  const auto numbers = [](const std::string& text, std::size_t count) {
    std::vector<double> values;
    std::istringstream words(text);
    std::string word;
    while (words >> word) {
      char* end = nullptr;
      values.push_back(std::strtod(word.c_str(), &end));
      if (end != word.c_str() + word.size()) return std::vector<double>{};
    }
    return values.size() == count ? values : std::vector<double>{};
  };
  if (!std::getline(in, line) || line != kMagic) return std::nullopt;
  const auto p = next("parameters");
  if (!p || *p != parameters) return std::nullopt;
  RunResult r;
  const auto status = next("exit_status");
  const auto error = next("error");
  const auto t = next("peak_temperature");
  const auto d = next("core_to_surface");
  const auto q = next("ratio");
  const auto nodes = next("nodes");
  const auto end = next("end");
  if (!status || !error || !t || !d || !q || !nodes || !end) return std::nullopt;
  const auto s = numbers(*status, 1), tv = numbers(*t, 2), dv = numbers(*d, 2), qv = numbers(*q, 4);
  if (s.empty() || tv.empty() || dv.empty() || qv.empty()) return std::nullopt;
  r.exitStatus = static_cast<int>(s[0]);
  r.error = *error;
  r.peakTemperature = tv[0], r.peakTemperatureHours = tv[1];
  r.coreToSurface = dv[0], r.coreToSurfaceHours = dv[1];
  r.ratio = qv[0], r.ratioHours = qv[1], r.ratioX = qv[2], r.ratioY = qv[3];
  std::istringstream words(*nodes);
  std::size_t count = 0;
  if (!(words >> count) || count > 100000000) return std::nullopt;
  std::string rest;
  std::getline(words, rest);
  r.nodeRatio = numbers(rest, count);
  if (r.nodeRatio.size() != count) return std::nullopt;
  return r;
}

}  // namespace vemto::study
