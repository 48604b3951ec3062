#include "NodeFinder.h"

#include <algorithm>
#include <cmath>

namespace meshgen {

namespace {
// Cell edge, m: four times the tolerance, so two points within the tolerance lie in
// the same or in adjacent cells, whatever the rounding of the division.
constexpr double kCell = 4.0 * NodeFinder::kTolerance;
// Cell indices are clamped to this magnitude; clamped points share border cells and
// are still told apart by the exact test.
constexpr double kMaxIndex = 4.0e15;
}  // namespace

std::size_t NodeFinder::KeyHash::operator()(const Key& k) const noexcept {
  const auto a = static_cast<std::uint64_t>(k.ix);
  const auto b = static_cast<std::uint64_t>(k.iy);
  return static_cast<std::size_t>(a * 0x9E3779B97F4A7C15ull ^
                                  (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2)));
}

bool NodeFinder::CellOf(double x, double y, Key& key) {
  if (!std::isfinite(x) || !std::isfinite(y)) return false;
  const double fx = std::clamp(std::floor(x / kCell), -kMaxIndex, kMaxIndex);
  const double fy = std::clamp(std::floor(y / kCell), -kMaxIndex, kMaxIndex);
  key = {static_cast<std::int64_t>(fx), static_cast<std::int64_t>(fy)};
  return true;
}

std::int32_t NodeFinder::Find(double x, double y, const double* xs, const double* ys) const {
  Key centre;
  if (!CellOf(x, y, centre)) return 0;
  std::int32_t found = 0;
  for (std::int64_t dx = -1; dx <= 1; ++dx) {
    for (std::int64_t dy = -1; dy <= 1; ++dy) {
      const auto it = cells_.find(Key{centre.ix + dx, centre.iy + dy});
      if (it == cells_.end()) continue;
      for (const std::int32_t n : it->second) {
        if (found != 0 && n >= found) continue;
        if (std::fabs(x - xs[n - 1]) <= kTolerance && std::fabs(y - ys[n - 1]) <= kTolerance)
          found = n;
      }
    }
  }
  return found;
}

void NodeFinder::Insert(std::int32_t n, double x, double y) {
  Key key;
  if (CellOf(x, y, key)) cells_[key].push_back(n);
}

void NodeFinder::Move(std::int32_t n, double oldX, double oldY, double newX, double newY) {
  Key oldKey, newKey;
  const bool hadOld = CellOf(oldX, oldY, oldKey);
  const bool hasNew = CellOf(newX, newY, newKey);
  if (hadOld && hasNew && oldKey == newKey) return;
  if (hadOld) {
    auto it = cells_.find(oldKey);
    if (it != cells_.end()) {
      auto& v = it->second;
      v.erase(std::remove(v.begin(), v.end(), n), v.end());
      if (v.empty()) cells_.erase(it);
    }
  }
  if (hasNew) cells_[newKey].push_back(n);
}

}  // namespace meshgen
