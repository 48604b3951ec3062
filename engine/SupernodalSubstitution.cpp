#include "SupernodalSubstitution.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <span>
#include <type_traits>

#include "WorkerPool.h"

namespace vemto::engine {

namespace {

using Index = std::int64_t;

// Offset of column j's pivot within a supernode of nsrow rows in CHOLMOD's full
// columns.
constexpr std::size_t PivotOffset(Index j, Index nsrow) {
  return static_cast<std::size_t>(j * (nsrow + 1));
}

std::size_t PackedSize(Index nscol, Index nsrow) {
  return static_cast<std::size_t>(nscol * nsrow - nscol * (nscol - 1) / 2);
}

}  // namespace

void SupernodalSubstitution::Clear() {
  f_ = SupernodalFactorView{};
  start_.clear();
  singleCopy_.clear();
  single_ = nullptr;
  topSlot_.clear();
  topColumns_.clear();
  topSupers_.clear();
  for (auto& b : bins_) b.clear();
  topShare_ = 0.0;
}

bool SupernodalSubstitution::Build(const SupernodalFactorView& f, Precision precision,
                                   double* overwrite) {
  Clear();
  if (f.n <= 0 || f.nsuper <= 0 || f.super == nullptr || f.pi == nullptr || f.px == nullptr ||
      f.s == nullptr || f.x == nullptr)
    return false;
  const Index n = f.n, ns = f.nsuper;
  const auto nu = static_cast<std::size_t>(n), nsu = static_cast<std::size_t>(ns);
  // Scratch kept between builds, so that a new factor of the same structure is
  // taken without allocating.
  std::vector<std::size_t>& work = scratchWork_;
  work.resize(nsu);
  std::size_t total = 0;
  for (Index s = 0; s < ns; ++s) {
    const Index nscol = f.super[s + 1] - f.super[s], nsrow = f.pi[s + 1] - f.pi[s];
    if (nscol <= 0 || nsrow < nscol) return false;
    work[static_cast<std::size_t>(s)] = PackedSize(nscol, nsrow);
    total += work[static_cast<std::size_t>(s)];
    // Pivots positive; in single precision every entry must fit a float.
    const double* v = f.x + f.px[s];
    for (Index j = 0; j < nscol; ++j) {
      const double piv = v[PivotOffset(j, nsrow)];
      if (!(piv > 0.0) || !std::isfinite(piv) ||
          (precision == Precision::kSingle && !(piv >= FLT_MIN && piv <= FLT_MAX)))
        return false;
    }
  }
  if (overwrite != nullptr && (overwrite != f.x || precision != Precision::kSingle)) return false;
  // In single precision every entry must fit a float (checked before anything is
  // written, so that a refused factor stays intact).
  if (precision == Precision::kSingle)
    for (Index s = 0; s < ns; ++s) {
      const Index nscol = f.super[s + 1] - f.super[s], nsrow = f.pi[s + 1] - f.pi[s];
      const double* v = f.x + f.px[s];
      for (Index j = 0; j < nscol; ++j)
        for (Index i = j; i < nsrow; ++i)
          if (!(std::abs(v[j * nsrow + i]) <= FLT_MAX)) return false;
    }
  // The reciprocal pivots, of the entries as the substitution will see them.
  recip_.resize(nu);
  for (Index s = 0; s < ns; ++s) {
    const Index nsrow = f.pi[s + 1] - f.pi[s];
    const double* v = f.x + f.px[s];
    for (Index j = 0; j < f.super[s + 1] - f.super[s]; ++j) {
      const double piv = v[PivotOffset(j, nsrow)];
      recip_[static_cast<std::size_t>(f.super[s] + j)] =
          precision == Precision::kSingle ? 1.0 / static_cast<double>(static_cast<float>(piv))
                                          : 1.0 / piv;
    }
  }
  if (precision == Precision::kSingle) {
    // Packed column by column; over the factor's own entries when asked: the k-th
    // float ends before the double it is made from begins to be read, so nothing
    // is overwritten before it has been read.
    start_.resize(nsu + 1);
    if (overwrite == nullptr) singleCopy_.resize(total);
    auto* out = overwrite != nullptr ? reinterpret_cast<unsigned char*>(overwrite)
                                     : reinterpret_cast<unsigned char*>(singleCopy_.data());
    std::size_t at = 0;
    for (Index s = 0; s < ns; ++s) {
      const Index nscol = f.super[s + 1] - f.super[s], nsrow = f.pi[s + 1] - f.pi[s];
      start_[static_cast<std::size_t>(s)] = at;
      const double* v = f.x + f.px[s];
      for (Index j = 0; j < nscol; ++j)
        for (Index i = j; i < nsrow; ++i) {
          const double e = v[j * nsrow + i];
          const float r = std::abs(e) < FLT_MIN ? 0.0f : static_cast<float>(e);
          std::memcpy(out + sizeof(float) * at++, &r, sizeof r);
        }
    }
    start_[nsu] = at;
    single_ = reinterpret_cast<const float*>(out);
  }

  // The supernodal elimination tree: the parent of a supernode holds its first row
  // below the diagonal block. When the tree is not postordered (every subtree a
  // range of consecutive supernodes ending at its root), everything is top.
  std::vector<Index>& owner = scratchOwner_;
  owner.resize(nu);
  for (Index s = 0; s < ns; ++s)
    for (Index c = f.super[s]; c < f.super[s + 1]; ++c) owner[static_cast<std::size_t>(c)] = s;
  std::vector<Index>& parent = scratchParent_;
  std::vector<Index>& first = scratchFirst_;
  std::vector<Index>& size = scratchSize_;
  std::vector<std::size_t>& subtree = scratchSubtree_;
  parent.assign(nsu, -1);
  first.resize(nsu);
  size.assign(nsu, 1);
  subtree.assign(work.begin(), work.end());
  bool postordered = true;
  for (Index s = 0; s < ns; ++s) first[static_cast<std::size_t>(s)] = s;
  for (Index s = 0; s < ns && postordered; ++s) {
    const auto su = static_cast<std::size_t>(s);
    if (s - first[su] + 1 != size[su]) postordered = false;
    const Index nscol = f.super[s + 1] - f.super[s], nsrow = f.pi[s + 1] - f.pi[s];
    if (nsrow == nscol) continue;
    const Index row = f.s[f.pi[s] + nscol];
    if (row < 0 || row >= n || owner[static_cast<std::size_t>(row)] <= s) {
      postordered = false;
      break;
    }
    const auto p = static_cast<std::size_t>(owner[static_cast<std::size_t>(row)]);
    parent[su] = static_cast<Index>(p);
    first[p] = std::min(first[p], first[su]);
    size[p] += size[su];
    subtree[p] += subtree[su];
  }
  std::vector<char>& top = scratchTop_;
  top.assign(nsu, 0);
  std::vector<Index>& candidates = scratchCandidates_;
  candidates.clear();
  auto heavier = [&](Index a, Index b) {
    const auto wa = subtree[static_cast<std::size_t>(a)], wb = subtree[static_cast<std::size_t>(b)];
    return wa != wb ? wa > wb : a < b;
  };
  if (!postordered) {
    std::fill(top.begin(), top.end(), 1);
  } else {
    // Children of each supernode: childList[childStart[s] … childStart[s+1]−1].
    std::vector<Index>& childStart = scratchChildStart_;
    std::vector<Index>& childList = scratchChildList_;
    childStart.assign(nsu + 1, 0);
    childList.resize(nsu);
    std::size_t topWork = 0;
    for (Index s = 0; s < ns; ++s) {
      const Index p = parent[static_cast<std::size_t>(s)];
      if (p >= 0) {
        ++childStart[static_cast<std::size_t>(p) + 1];
      } else {
        top[static_cast<std::size_t>(s)] = 1;
        topWork += work[static_cast<std::size_t>(s)];
      }
    }
    for (std::size_t s = 0; s < nsu; ++s) childStart[s + 1] += childStart[s];
    std::vector<Index>& cursor = scratchOwner_;  // the owners are no longer needed
    std::copy(childStart.begin(), childStart.end() - 1, cursor.begin());
    for (Index s = 0; s < ns; ++s) {  // children in ascending order
      const Index p = parent[static_cast<std::size_t>(s)];
      if (p >= 0) childList[static_cast<std::size_t>(cursor[static_cast<std::size_t>(p)]++)] = s;
    }
    auto children = [&](Index s) {
      return std::span<const Index>(childList.data() + childStart[static_cast<std::size_t>(s)],
                                    childList.data() + childStart[static_cast<std::size_t>(s) + 1]);
    };
    for (Index s = 0; s < ns; ++s)
      if (parent[static_cast<std::size_t>(s)] < 0)
        for (Index c : children(s)) candidates.push_back(c);
    // Split the largest subtree until the bins balance within 2 % of their work, as
    // long as the top part stays below a fifth of the factor.
    for (int split = 0; split < 256 && !candidates.empty(); ++split) {
      std::sort(candidates.begin(), candidates.end(), heavier);
      std::array<std::size_t, kBins> load{};
      for (Index c : candidates)
        *std::min_element(load.begin(), load.end()) += subtree[static_cast<std::size_t>(c)];
      const auto [lo, hi] = std::minmax_element(load.begin(), load.end());
      if (*hi - *lo <= (*lo + *hi) / 50) break;
      const Index big = candidates.front();
      if (topWork + work[static_cast<std::size_t>(big)] > total / 5) break;
      top[static_cast<std::size_t>(big)] = 1;
      topWork += work[static_cast<std::size_t>(big)];
      candidates.erase(candidates.begin());
      for (Index c : children(big)) candidates.push_back(c);
    }
  }
  // Deal the subtrees into the bins, the largest first into the lightest bin.
  std::sort(candidates.begin(), candidates.end(), heavier);
  std::array<std::size_t, kBins> load{};
  for (Index c : candidates) {
    const auto b =
        static_cast<std::size_t>(std::min_element(load.begin(), load.end()) - load.begin());
    load[b] += subtree[static_cast<std::size_t>(c)];
    bins_[b].push_back({first[static_cast<std::size_t>(c)], c});
  }
  for (auto& bin : bins_) std::sort(bin.begin(), bin.end());
  // A workspace holds the rows of a supernode (below its columns, then its columns).
  auto below = [&](Index s) { return static_cast<std::size_t>(f.pi[s + 1] - f.pi[s]); };
  std::array<std::size_t, kBins> widest{};
  std::size_t topWork = 0;
  topSlot_.assign(nu, -1);
  for (Index s = 0; s < ns; ++s) {
    if (!top[static_cast<std::size_t>(s)]) continue;
    topSupers_.push_back(s);
    topWork += work[static_cast<std::size_t>(s)];
    widest[0] = std::max(widest[0], below(s));
    for (Index c = f.super[s]; c < f.super[s + 1]; ++c) {
      topSlot_[static_cast<std::size_t>(c)] = static_cast<std::int32_t>(topColumns_.size());
      topColumns_.push_back(c);
    }
  }
  for (std::size_t b = 0; b < kBins; ++b) {
    for (const auto& range : bins_[b])
      for (Index s = range[0]; s <= range[1]; ++s) widest[b] = std::max(widest[b], below(s));
    binT_[b].assign(widest[b] + 1, 0.0);
    binTop_[b].assign(topColumns_.size(), 0.0);
  }
  w_.assign(nu, 0.0);
  topShare_ = total > 0 ? static_cast<double>(topWork) / static_cast<double>(total) : 0.0;
  f_ = f;
  precision_ = precision;
  return true;
}

template <class T>
const T* SupernodalSubstitution::Entries(Index sn) const {
  if constexpr (std::is_same_v<T, float>)
    return single_ + start_[static_cast<std::size_t>(sn)];
  else
    return f_.x + f_.px[sn];
}

template <class T>
void SupernodalSubstitution::Substitute(const double* r, double* z, WorkerPool* pool) {
  const auto n = static_cast<std::size_t>(f_.n);
  const Index* perm = f_.perm;
  double* w = w_.data();
  if (perm == nullptr)
    std::copy(r, r + n, w);
  else
    for (std::size_t k = 0; k < n; ++k) w[k] = r[perm[k]];
  for (auto& b : binTop_) std::fill(b.begin(), b.end(), 0.0);

  const supernodal::Factor f{f_.super, f_.pi, f_.s, w, recip_.data(), topSlot_.data()};
  const auto forwardOne = kernels_->Forward<T>();
  const auto backwardOne = kernels_->Backward<T>();
  const int threads = WorkerPool::ThreadsOf(pool);
  // L y = P r: the bins' subtrees (each bin on one thread), then the top part.
  auto forward = [&](int thread) {
    for (int b = thread; b < kBins; b += threads) {
      const auto bu = static_cast<std::size_t>(b);
      const char* fetched = nullptr;
      for (const auto& range : bins_[bu])
        for (Index s = range[0]; s <= range[1]; ++s)
          forwardOne(f, s, Entries<T>(s), binT_[bu].data(), binTop_[bu].data(), fetched);
    }
  };
  WorkerPool::RunOn(pool, forward);
  for (std::size_t k = 0; k < topColumns_.size(); ++k) {
    double v = w[topColumns_[k]];
    for (const auto& b : binTop_) v += b[k];
    w[topColumns_[k]] = v;
  }
  const char* fetched = nullptr;
  for (Index s : topSupers_) forwardOne(f, s, Entries<T>(s), binT_[0].data(), nullptr, fetched);
  // Lᵀ x = y: the top part backwards, then the bins' subtrees.
  fetched = nullptr;
  for (auto it = topSupers_.rbegin(); it != topSupers_.rend(); ++it)
    backwardOne(f, *it, Entries<T>(*it), binT_[0].data(), fetched);
  auto backward = [&](int thread) {
    for (int b = thread; b < kBins; b += threads) {
      const auto bu = static_cast<std::size_t>(b);
      const char* fetched = nullptr;
      for (auto range = bins_[bu].rbegin(); range != bins_[bu].rend(); ++range)
        for (Index s = (*range)[1]; s >= (*range)[0]; --s)
          backwardOne(f, s, Entries<T>(s), binT_[bu].data(), fetched);
    }
  };
  WorkerPool::RunOn(pool, backward);
  if (perm == nullptr)
    std::copy(w, w + n, z);
  else
    for (std::size_t k = 0; k < n; ++k) z[perm[k]] = w[k];
}

void SupernodalSubstitution::Apply(const double* r, double* z, WorkerPool* pool) {
  assert(Ready());
  if (precision_ == Precision::kSingle)
    Substitute<float>(r, z, pool);
  else
    Substitute<double>(r, z, pool);
}

std::size_t SupernodalSubstitution::Bytes() const {
  std::size_t b = sizeof(std::size_t) * start_.capacity() + sizeof(float) * singleCopy_.capacity() +
                  sizeof(std::int32_t) * topSlot_.capacity() +
                  sizeof(Index) * (topColumns_.capacity() + topSupers_.capacity()) +
                  sizeof(double) * (w_.capacity() + recip_.capacity());
  for (std::size_t i = 0; i < kBins; ++i)
    b += sizeof(double) * (binTop_[i].capacity() + binT_[i].capacity()) +
         sizeof(std::array<Index, 2>) * bins_[i].capacity();
  return b;
}

double SupernodalSubstitution::TopShare() const {
  return topShare_;
}

}  // namespace vemto::engine
