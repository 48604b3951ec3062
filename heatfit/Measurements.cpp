#include "Measurements.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>

#include <fmt/format.h>

namespace vemto::heatfit {

namespace {

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == ',' || c == ';' || c == '\r';
}

/// The leading numbers of `line`, at most `count`; stops at the first field that is
/// not a number.
std::vector<double> LeadingNumbers(const std::string& line, std::size_t count) {
  std::vector<double> values;
  const char* p = line.data();
  const char* end = p + line.size();
  while (values.size() < count) {
    while (p < end && IsSeparator(*p)) ++p;
    if (p == end) break;
    const char* start = p;
    while (p < end && !IsSeparator(*p)) ++p;
    if (*start == '+') ++start;  // from_chars takes no leading plus
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(start, p, v);
    if (ec != std::errc() || ptr != p) break;
    values.push_back(v);
  }
  return values;
}

}  // namespace

Series ReadSeries(const std::filesystem::path& file, SeriesKind kind, std::size_t minPoints) {
  const std::size_t columns = kind == SeriesKind::Temperature ? 3 : 2;
  const char* layout = kind == SeriesKind::Temperature
                           ? "time (h), concrete temperature (°C), surrounding temperature (°C)"
                           : "maturity (h), heat (J/kg of cement)";
  std::ifstream in(file);
  if (!in)
    throw FitError(fmt::format("\"{}\" cannot be opened: {}", file.string(), std::strerror(errno)));
  Series s;
  s.file = file;
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos || line[first] == '#') continue;
    const std::vector<double> v = LeadingNumbers(line, columns);
    if (v.size() < columns)
      throw FitError(fmt::format("\"{}\", line {}: expected {} numbers: {}", file.string(), number,
                                 columns, layout));
    for (double value : v)
      if (!std::isfinite(value))
        throw FitError(
            fmt::format("\"{}\", line {}: a value is not finite", file.string(), number));
    if (!s.x.empty() && !(v[0] > s.x.back()))
      throw FitError(fmt::format("\"{}\", line {}: the {} must increase from line to line",
                                 file.string(), number,
                                 kind == SeriesKind::Temperature ? "time" : "maturity"));
    s.x.push_back(v[0]);
    s.y.push_back(v[1]);
    if (columns == 3) s.ambient.push_back(v[2]);
  }
  if (in.bad())
    throw FitError(fmt::format("\"{}\" cannot be read: {}", file.string(), std::strerror(errno)));
  if (s.size() < minPoints)
    throw FitError(fmt::format("\"{}\" holds {} points; the fit needs at least {} ({})",
                               file.string(), s.size(), minPoints, layout));
  return s;
}

}  // namespace vemto::heatfit
