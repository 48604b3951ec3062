// How many time steps (or storage events) of a given length fit an interval. The engine
// counts with this rule, and the desktop program shows the same count, so that the
// number an engineer sees is the number of steps that will run.
#pragma once

#include <cmath>
#include <cstdint>

namespace numlib {

/// Relative slack of the count: a quotient within 1e-6 below a whole number counts as
/// that number, so that a step of exactly length / n gives n steps despite rounding.
inline constexpr double kStepCountSlack = 1e-6;

/// Whole steps of `step` in an interval of `length` (same unit, both finite, step > 0,
/// length >= 0): trunc(length / step + 1e-6). Callers reject too large quotients first.
inline std::int64_t WholeSteps(double length, double step) {
  return static_cast<std::int64_t>(std::trunc(length / step + kStepCountSlack));
}

}  // namespace numlib
