#include "DurationText.h"

#include <cmath>
#include <cstdint>

#include <fmt/format.h>

namespace vemto {

std::string FormatDuration(double seconds) {
  // 1e12 s (about 30000 years) bounds the integer conversion; nothing longer is useful.
  constexpr double kLongest = 1e12;
  if (!std::isfinite(seconds) || seconds <= 0.0) return "00:00:00";
  const auto whole = static_cast<std::int64_t>(std::floor(std::min(seconds, kLongest)));
  const std::int64_t hours = whole / 3600;
  const std::int64_t minutes = (whole / 60) % 60;
  const std::int64_t secs = whole % 60;
  return fmt::format("{:02d}:{:02d}:{:02d}", hours, minutes, secs);
}

}  // namespace vemto
