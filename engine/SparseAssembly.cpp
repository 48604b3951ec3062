#include "SparseAssembly.h"

namespace vemto::engine {

void SparseAssembly::Resize(int neq) {
  assert(neq >= 0);
  neq_ = neq;
  rowStart_.assign(static_cast<std::size_t>(neq) + 1, 0);
  cols_.clear();
  values_.clear();
  pending_.clear();
  bandColumns_ = 0;
  ++version_;
}

void SparseAssembly::Clear() {
  std::fill(values_.begin(), values_.end(), 0.0);
  pending_.clear();
}

bool SparseAssembly::Settle() {
  if (pending_.empty()) return false;
  // Stable: contributions to one entry keep their order of addition.
  std::stable_sort(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) {
    return a.i != b.i ? a.i < b.i : a.j < b.j;
  });
  newStart_.assign(rowStart_.size(), 0);
  newCols_.clear();
  newValues_.clear();
  newCols_.reserve(cols_.size() + pending_.size());
  newValues_.reserve(cols_.size() + pending_.size());
  auto p = pending_.cbegin();
  for (int i = 1; i <= neq_; ++i) {
    newStart_[static_cast<std::size_t>(i - 1)] = static_cast<std::int64_t>(newCols_.size());
    std::int64_t k = rowStart_[static_cast<std::size_t>(i - 1)];
    const std::int64_t end = rowStart_[static_cast<std::size_t>(i)];
    // Merge the kept entries of row i with its new ones (no column is in both).
    while (k < end || (p != pending_.cend() && p->i == i)) {
      const bool takeNew = p != pending_.cend() && p->i == i &&
                           (k >= end || p->j < cols_[static_cast<std::size_t>(k)]);
      if (!takeNew) {
        newCols_.push_back(cols_[static_cast<std::size_t>(k)]);
        newValues_.push_back(values_[static_cast<std::size_t>(k)]);
        ++k;
        continue;
      }
      const int j = p->j;
      double sum = 0.0;
      for (; p != pending_.cend() && p->i == i && p->j == j; ++p) sum += p->v;
      newCols_.push_back(j);
      newValues_.push_back(sum);
      bandColumns_ = std::max(bandColumns_, j - i + 1);
    }
  }
  newStart_[static_cast<std::size_t>(neq_)] = static_cast<std::int64_t>(newCols_.size());
  assert(p == pending_.cend());
  std::swap(rowStart_, newStart_);
  std::swap(cols_, newCols_);
  std::swap(values_, newValues_);
  // The pattern grows rarely (when elements are cast): the entries that made it grow
  // and the old pattern are given back rather than kept for the next time, as they
  // would otherwise add to the memory the factorisations need.
  std::vector<Pending>().swap(pending_);
  std::vector<std::int64_t>().swap(newStart_);
  std::vector<int>().swap(newCols_);
  std::vector<double>().swap(newValues_);
  ++version_;
  return true;
}

double SparseAssembly::At(int i, int j) const {
  if (j < i) std::swap(i, j);
  if (i < 1 || j > neq_) return 0.0;
  const int* begin = cols_.data() + rowStart_[static_cast<std::size_t>(i - 1)];
  const int* end = cols_.data() + rowStart_[static_cast<std::size_t>(i)];
  const int* p = std::lower_bound(begin, end, j);
  return p != end && *p == j ? values_[static_cast<std::size_t>(p - cols_.data())] : 0.0;
}

std::size_t SparseAssembly::Bytes() const {
  return sizeof(std::int64_t) * (rowStart_.capacity() + newStart_.capacity()) +
         sizeof(int) * (cols_.capacity() + newCols_.capacity()) +
         sizeof(double) * (values_.capacity() + newValues_.capacity()) +
         sizeof(Pending) * pending_.capacity();
}

}  // namespace vemto::engine
