// Duplicate-node search of the mesher.
//
// A new grid point reuses the first existing node (in number order) that lies within
// 1e-6 of it in both coordinates. NodeFinder answers that question through a hash of
// square cells of 4e-6, so that each query looks at the nine cells around the point
// instead of every node, with the same answer as the linear search.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace meshgen {

class NodeFinder {
 public:
  /// Largest difference per coordinate of two points that are one node, m.
  static constexpr double kTolerance = 1e-6;

  /// The lowest-numbered node n with |x - xs[n]| <= 1e-6 and |y - ys[n]| <= 1e-6
  /// among the nodes inserted so far, 0 if there is none. xs and ys are indexed by
  /// node number (1-based: xs[n - 1] is node n).
  std::int32_t Find(double x, double y, const double* xs, const double* ys) const;

  /// Records node n at (x, y). Non-finite points are never found.
  void Insert(std::int32_t n, double x, double y);

  /// Node n moves from (oldX, oldY) to (newX, newY).
  void Move(std::int32_t n, double oldX, double oldY, double newX, double newY);

  /// Forgets every node.
  void Clear() { cells_.clear(); }

 private:
  struct Key {
    std::int64_t ix, iy;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& k) const noexcept;
  };
  static bool CellOf(double x, double y, Key& key);

  std::unordered_map<Key, std::vector<std::int32_t>, KeyHash> cells_;
};

}  // namespace meshgen
