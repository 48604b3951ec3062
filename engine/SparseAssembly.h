// Assembly of a symmetric system matrix in sparse storage: the upper triangle by
// rows (row i holds the columns j ≥ i in ascending order). The pattern grows as
// entries appear and is never shrunk, so that a later step that adds the same
// entries finds every one of them in place and needs no allocation; an entry that
// is exactly zero in one step keeps its place.
//
// Values equal those of the band assembly bit for bit: each entry is the sum of
// its contributions in the order they were added, starting from zero.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vemto::engine {

class SparseAssembly {
 public:
  SparseAssembly() = default;
  /// An empty pattern of `neq` rows.
  explicit SparseAssembly(int neq) { Resize(neq); }

  /// Drops the pattern and sets the number of rows.
  void Resize(int neq);
  /// Number of rows (equations).
  int Rows() const { return neq_; }

  /// Sets every value to zero; the pattern stays.
  void Clear();

  /// Adds v to the symmetric entry (i, j), 1-based. Entries below the diagonal
  /// (j < i) are ignored: their mirror carries them.
  void AddUpper(int i, int j, double v) { AddUpper(i, j, v, pending_); }

  /// An entry outside the pattern, waiting for Settle.
  struct Pending {
    int i, j;
    double v;
  };
  /// As AddUpper, but an entry outside the pattern goes to `spill` instead of the
  /// assembly's own list: threads that add to disjoint rows use one spill each and
  /// hand them over with TakePending.
  void AddUpper(int i, int j, double v, std::vector<Pending>& spill) {
    if (j < i) return;
    assert(i >= 1 && j <= neq_);
    const int* begin = cols_.data() + rowStart_[static_cast<std::size_t>(i - 1)];
    const int* end = cols_.data() + rowStart_[static_cast<std::size_t>(i)];
    const int* p = std::lower_bound(begin, end, j);
    if (p != end && *p == j)
      values_[static_cast<std::size_t>(p - cols_.data())] += v;
    else
      spill.push_back({i, j, v});
  }
  /// Adds v[k] to the entries (i, cols[k]) of row i, k = 0 … count − 1, with the
  /// columns not decreasing and ≥ i; entries outside the pattern go to `spill`. One walk
  /// along the row instead of a search per entry. With `places`, the place of each
  /// entry in Values() goes to places[k] (−1: spilled); they hold while
  /// PatternVersion() stays.
  void AddUpperRow(int i, const int* cols, const double* v, int count, std::vector<Pending>& spill,
                   std::int64_t* places = nullptr) {
    assert(i >= 1 && i <= neq_);
    const int* p = cols_.data() + rowStart_[static_cast<std::size_t>(i - 1)];
    const int* end = cols_.data() + rowStart_[static_cast<std::size_t>(i)];
    for (int k = 0; k < count; ++k) {
      assert(cols[k] >= i && cols[k] <= neq_ && (k == 0 || cols[k] >= cols[k - 1]));
      while (p != end && *p < cols[k]) ++p;
      std::int64_t place = -1;
      if (p != end && *p == cols[k]) {
        place = p - cols_.data();
        values_[static_cast<std::size_t>(place)] += v[k];
      } else {
        spill.push_back({i, cols[k], v[k]});
      }
      if (places != nullptr) places[k] = place;
    }
  }
  /// Adds v[k] at the places of Values() that AddUpperRow gave (of this pattern version).
  template <class Place>
  void AddAt(const Place* places, const double* v, int count) {
    for (int k = 0; k < count; ++k) {
      assert(places[k] >= 0 && places[k] < Entries());
      values_[static_cast<std::size_t>(places[k])] += v[k];
    }
  }
  /// Appends the entries of `spill` as if they had been added now, and empties it.
  void TakePending(std::vector<Pending>& spill) {
    pending_.insert(pending_.end(), spill.begin(), spill.end());
    spill.clear();
  }

  /// Takes the entries added outside the pattern into it (their sums in the order
  /// of addition). Returns true when the pattern grew. Must be called after the
  /// assembly and before the matrix is read.
  bool Settle();

  /// Number of stored entries of the upper triangle.
  std::int64_t Entries() const { return rowStart_.empty() ? 0 : rowStart_.back(); }
  /// Start of row i (1-based) in Columns()/Values(); RowStart(neq + 1) = Entries().
  std::int64_t RowStart(int i) const { return rowStart_[static_cast<std::size_t>(i - 1)]; }
  /// Column (1-based) of every stored entry, row after row.
  const int* Columns() const { return cols_.data(); }
  /// Value of every stored entry.
  const double* Values() const { return values_.data(); }
  /// Changes whenever the pattern grows.
  std::uint64_t PatternVersion() const { return version_; }
  /// Band columns that hold the pattern: the largest j − i + 1 (0 when empty).
  int BandColumns() const { return bandColumns_; }
  /// The symmetric entry (i, j), 1-based (0 outside the pattern); for tests.
  double At(int i, int j) const;
  /// Bytes held.
  std::size_t Bytes() const;

 private:
  int neq_ = 0;
  std::vector<std::int64_t> rowStart_;  // neq + 1
  std::vector<int> cols_;
  std::vector<double> values_;
  std::vector<Pending> pending_;
  // Scratch of Settle (given back after each growth of the pattern).
  std::vector<std::int64_t> newStart_;
  std::vector<int> newCols_;
  std::vector<double> newValues_;
  std::uint64_t version_ = 0;
  int bandColumns_ = 0;
};

}  // namespace vemto::engine
