#include "CalcSettingsLogic.h"

#include <array>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "NumberText.h"
#include "TimeSteps.h"

namespace vemto {

namespace {

constexpr double kSecondsPerHour = 3600.0;
/// The engine refuses an interval with more steps than this.
constexpr double kMaxStepsPerInterval = 1e9;

TSettingsError Error(std::size_t i, std::string message) {
  return {std::move(message), static_cast<int>(i)};
}

// The engine's count for an interval from `start` to `end` with `step`, all in h; the
// engine gets hours x 3600 and counts in seconds.
std::int64_t CountAsEngine(double start, double end, double step) {
  const double length = end * kSecondsPerHour - start * kSecondsPerHour;
  const double stepSeconds = step * kSecondsPerHour;
  if (!(step > 0.0) || !(length >= 0.0) || !std::isfinite(length) ||
      length / stepSeconds > kMaxStepsPerInterval)
    return 0;
  return numlib::WholeSteps(length, stepSeconds);
}

std::optional<TSettingsError> CheckInterval(std::size_t i, double start, const TVemtoInterval& v) {
  const int n = static_cast<int>(i) + 1;
  if (v.TimeStep < 0.0)
    return Error(i, fmt::format("Interval {}: the time step must not be negative.", n));
  if (v.StoreStep < 0.0)
    return Error(
        i, fmt::format("Interval {}: the time increment for the storage of results must not be "
                       "negative.",
                       n));
  const double length = v.EndTime - start;
  if (!(length > 0.0))
    return Error(i, fmt::format("Interval {} must end after its start: \"To\" ({} h) is not "
                                "after {} h.",
                                n, FormatG(v.EndTime), FormatG(start)));
  // Relative tolerance 1e-9: a step equal to the interval, up to rounding, is allowed.
  const double slack = 1e-9 * length;
  if (v.TimeStep > length + slack)
    return Error(i, fmt::format("Interval {}: the time step ({} h) is longer than the interval "
                                "({} h).",
                                n, FormatG(v.TimeStep), FormatG(length)));
  if (v.StoreStep > length + slack)
    return Error(i, fmt::format("Interval {}: the time increment for the storage of results ({} "
                                "h) is longer than the interval ({} h).",
                                n, FormatG(v.StoreStep), FormatG(length)));
  for (const double step : {v.TimeStep, v.StoreStep})
    if (step > 0.0 && length / step > kMaxStepsPerInterval)
      return Error(i, fmt::format("Interval {}: the time step or storage increment gives more "
                                  "than {} steps.",
                                  n, FormatG(kMaxStepsPerInterval)));
  return std::nullopt;
}

}  // namespace

double IntervalStart(const TCalcSettings& s, std::size_t i) {
  return i == 0 ? s.General.InitialTime : s.Intervals.at(i - 1).EndTime;
}

std::int64_t EngineStepCount(const TCalcSettings& s, std::size_t i) {
  return CountAsEngine(IntervalStart(s, i), s.Intervals.at(i).EndTime, s.Intervals[i].TimeStep);
}

std::int64_t EngineStoreCount(const TCalcSettings& s, std::size_t i) {
  return CountAsEngine(IntervalStart(s, i), s.Intervals.at(i).EndTime, s.Intervals[i].StoreStep);
}

std::optional<TSettingsError> ApplyInterval(TCalcSettings& s, std::size_t i,
                                            const TIntervalInput& input) {
  TVemtoInterval v = s.Intervals.at(i);
  v.EndTime = input.EndTime;
  // Exactly 0 (the field's text "0") means "not set".
  v.TimeStep = input.TimeStep == 0.0 ? 1.0 : input.TimeStep;
  v.StoreStep = input.StoreStep == 0.0 ? 1.0 : input.StoreStep;
  const double start = IntervalStart(s, i);
  if (auto error = CheckInterval(i, start, v)) return error;
  const double length = v.EndTime - start;
  // A whole number of each step fills the interval; halves round to even.
  v.TimeStep = length / std::max(1.0, std::nearbyint(length / v.TimeStep));
  v.StoreStep = length / std::max(1.0, std::nearbyint(length / v.StoreStep));
  s.Intervals[i] = v;
  return std::nullopt;
}

std::optional<TSettingsError> CheckIntervals(const TCalcSettings& s) {
  if (s.Intervals.empty()) return TSettingsError{"At least one interval is needed.", -1};
  for (std::size_t i = 0; i < s.Intervals.size(); ++i)
    if (auto error = CheckInterval(i, IntervalStart(s, i), s.Intervals[i])) return error;
  return std::nullopt;
}

void AddInterval(TCalcSettings& s) {
  if (static_cast<int>(s.Intervals.size()) >= kMaxIntervals) return;
  const double last = s.Intervals.empty() ? s.General.InitialTime : s.Intervals.back().EndTime;
  s.Intervals.emplace_back(last + 48.0, 1.0, 24.0);
}

void RemoveLastInterval(TCalcSettings& s) {
  if (s.Intervals.size() > 1) s.Intervals.pop_back();
}

std::variant<std::int32_t, TSettingsError> ReadMemoryField(const std::string& text,
                                                           const std::string& field) {
  const std::optional<std::int64_t> bytes = ParseInteger(text);
  if (!bytes)
    return TSettingsError{
        fmt::format("\"{}\": \"{}\" is not a whole number of bytes.", field, text)};
  const std::int64_t words = *bytes / 8;
  if (words < 1) return TSettingsError{fmt::format("\"{}\": at least 8 bytes are needed.", field)};
  if (words > std::numeric_limits<std::int32_t>::max())
    return TSettingsError{fmt::format("\"{}\": at most {} bytes can be used.", field,
                                      MemoryBytes(std::numeric_limits<std::int32_t>::max()))};
  return static_cast<std::int32_t>(words);
}

std::int64_t MemoryBytes(std::int32_t words) {
  return static_cast<std::int64_t>(words) * 8;
}

std::variant<double, TSettingsError> ReadThicknessField(const std::string& text) {
  const std::optional<double> value = ParseReal(text);
  if (!value)
    return TSettingsError{fmt::format("\"Thickness (m)\": \"{}\" is not a number.", text)};
  if (!(*value > 0.0))
    return TSettingsError{"\"Thickness (m)\": the thickness must be greater than 0."};
  return *value;
}

std::optional<TSettingsError> CheckProjectInfo(const TVemtoProjectInfo& info) {
  const std::array<std::pair<const std::string*, const char*>, 6> texts{{
      {&info.Title, "Title"},
      {&info.Subject, "Subject"},
      {&info.Author, "Author"},
      {&info.Manager, "Manager"},
      {&info.Company, "Company"},
      {&info.Description, "Description"},
  }};
  for (const auto& [text, field] : texts)
    if (text->size() > kMaxProjectText)
      return TSettingsError{
          fmt::format("\"{}\" is too long: the project file takes at most {} characters.", field,
                      kMaxProjectText)};
  return std::nullopt;
}

}  // namespace vemto
