// Time histories of conditions: points (t, v₁, v₂, …) stored one after the other.
#pragma once

namespace vemto::engine {

/// A history of n points with `stride` values per point starting at `points`
/// (time first). Times in s.
struct HistoryView {
  const double* points = nullptr;
  int n = 0;
  int stride = 2;
  double Time(int k) const { return points[k * stride]; }              ///< k 0-based
  double Value(int k, int v) const { return points[k * stride + v]; }  ///< v ≥ 1
};

/// Tolerance (s) of the activity window of a history.
inline constexpr double kHistoryTolerance = 1e-6;

/// Thermal rule: active when t₁ + 1e-6 ≤ t ≤ t_n + 1e-6.
inline bool ThermalActive(const HistoryView& h, double t) {
  return h.n > 0 && h.Time(0) + kHistoryTolerance <= t && t <= h.Time(h.n - 1) + kHistoryTolerance;
}

/// Thermal rule: value column v at t, linear in the first interval with
/// t_j ≤ t < t_{j+1}; the last value at or after t_n (or when no interval holds t).
/// Only meaningful while ThermalActive.
inline double ThermalValue(const HistoryView& h, double t, int v = 1) {
  for (int j = 0; j + 1 < h.n; ++j) {
    const double t0 = h.Time(j), t1 = h.Time(j + 1);
    if (t0 <= t && t < t1)
      return h.Value(j, v) + (t - t0) / (t1 - t0) * (h.Value(j + 1, v) - h.Value(j, v));
  }
  return h.n > 0 ? h.Value(h.n - 1, v) : 0.0;
}

/// The interval j (0-based) with t_j ≤ t < t_{j+1} and its fraction, or j = −1.
struct HistoryInterval {
  int j = -1;
  double fraction = 0.0;
};
inline HistoryInterval FindInterval(const HistoryView& h, double t) {
  for (int j = 0; j + 1 < h.n; ++j) {
    const double t0 = h.Time(j), t1 = h.Time(j + 1);
    if (t0 <= t && t < t1) return {j, (t - t0) / (t1 - t0)};
  }
  return {};
}

}  // namespace vemto::engine
