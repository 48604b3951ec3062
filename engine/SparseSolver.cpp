#include "SparseSolver.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include <suitesparse/cholmod.h>

namespace vemto::engine {

SolverKind SolverKindFromEnvironment() {
  const char* v = std::getenv("VEMTO_SOLVER");
  return v != nullptr && std::string_view(v) == "band" ? SolverKind::kBand : SolverKind::kSparse;
}

namespace {

using Index = SuiteSparse_long;

inline bool Free(const int* lpv, const int* lav, int i) {
  return lav[i - 1] == 1 && lpv[i - 1] == 0;
}
inline bool Prescribed(const int* lpv, const int* lav, int i) {
  return lav[i - 1] == 1 && lpv[i - 1] == 1;
}
inline void Working(WorkingCallback w) {
  if (w != nullptr) w();
}
// Symmetric entry K_ij read from the upper band (|i − j| < nbw), 1-based.
inline double Sym(const BandMatrix& k, int i, int j) {
  return j >= i ? k.At(i, j - i + 1) : k.At(j, i - j + 1);
}

// Whether two vectors hold the same bits (exact equality, −0 ≠ +0, NaN = NaN).
template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), sizeof(T) * a.size()) == 0);
}

}  // namespace

struct SparseSolver::Impl {
  enum class FactorState { kNone, kGood, kBad };

  cholmod_common common{};
  cholmod_factor* factor = nullptr;
  cholmod_dense* x = nullptr;  // solution and workspaces kept between solutions
  cholmod_dense* y = nullptr;
  cholmod_dense* e = nullptr;
  FactorState state = FactorState::kNone;
  bool analysed = false;

  // Free rows: 1-based band row of each free unknown, and the free index of each
  // band row (−1 for rows that are not free).
  std::vector<int> freeRows, keptFreeRows;
  std::vector<Index> freeIndex;
  // Lower triangle of the free-row matrix, compressed by columns (column c holds
  // band row freeRows[c]): kept pattern and values, and those of the new system.
  std::vector<Index> colPtr, rowInd, newColPtr, newRowInd;
  std::vector<double> values, newValues;
  std::vector<double> rhs;
  std::vector<int> prescribedRows;  // 1-based, ascending

  Impl() {
    cholmod_l_start(&common);
    common.print = 0;
    common.supernodal = CHOLMOD_SUPERNODAL;
    common.quick_return_if_not_posdef = 1;
    common.nmethods = 1;
    // Nested dissection: a dearer analysis (once per pattern) than minimum degree,
    // but half the numeric factorisation time on two-dimensional meshes.
    common.method[0].ordering = CHOLMOD_NESDIS;
    common.postorder = 1;
  }
  ~Impl() {
    if (factor != nullptr) cholmod_l_free_factor(&factor, &common);
    if (x != nullptr) cholmod_l_free_dense(&x, &common);
    if (y != nullptr) cholmod_l_free_dense(&y, &common);
    if (e != nullptr) cholmod_l_free_dense(&e, &common);
    cholmod_l_finish(&common);
  }

  cholmod_sparse MatrixView() {
    cholmod_sparse a{};
    const auto n = static_cast<std::size_t>(freeRows.size());
    a.nrow = a.ncol = n;
    a.nzmax = values.size();
    a.p = colPtr.data();
    a.i = rowInd.data();
    a.x = values.data();
    a.stype = -1;  // lower triangle stored
    a.itype = CHOLMOD_LONG;
    a.xtype = CHOLMOD_REAL;
    a.dtype = CHOLMOD_DOUBLE;
    a.sorted = 1;
    a.packed = 1;
    return a;
  }

  // Gathers the free rows of the band matrix into newColPtr/newRowInd/newValues:
  // the diagonal, the non-zero entries and, while the free rows stay the same, every
  // entry of the kept pattern (an entry that happens to be exactly zero in one step
  // does not change the pattern, so the ordering is kept).
  void Gather(const BandMatrix& k) {
    const int neq = k.neq, nbw = k.nbw;
    const std::size_t n = freeRows.size();
    const bool sameRows = SameBits(freeRows, keptFreeRows) && colPtr.size() == n + 1;
    newColPtr.resize(n + 1);
    newRowInd.clear();
    newValues.clear();
    for (std::size_t c = 0; c < n; ++c) {
      newColPtr[c] = static_cast<Index>(newValues.size());
      const int i = freeRows[c];
      const double* row = &k.At(i, 1);
      const int hi = std::min(neq, i + nbw - 1);
      Index kept = sameRows ? colPtr[c] + 1 : 0;  // after the diagonal
      const Index keptEnd = sameRows ? colPtr[c + 1] : 0;
      newRowInd.push_back(static_cast<Index>(c));
      newValues.push_back(row[0]);
      for (int j = i + 1; j <= hi; ++j) {
        const Index r = freeIndex[j - 1];
        if (r < 0) continue;
        const bool inKept = kept < keptEnd && rowInd[kept] == r;
        if (inKept) ++kept;
        const double v = row[j - i];
        if (v == 0.0 && !inKept) continue;
        newRowInd.push_back(r);
        newValues.push_back(v);
      }
    }
    newColPtr[n] = static_cast<Index>(newValues.size());
    keptFreeRows = freeRows;
  }

  // Smallest ratio of a factor pivot to the matrix diagonal of its row (the test
  // for a numerically singular matrix); 0 when the factor is not supernodal.
  double SmallestPivotRatio() const {
    const cholmod_factor* l = factor;
    if (l == nullptr || !l->is_super || l->minor < l->n) return 0.0;
    const auto* super = static_cast<const Index*>(l->super);
    const auto* pi = static_cast<const Index*>(l->pi);
    const auto* px = static_cast<const Index*>(l->px);
    const auto* perm = static_cast<const Index*>(l->Perm);
    const auto* lx = static_cast<const double*>(l->x);
    double smallest = 1.0;
    for (std::size_t s = 0; s < l->nsuper; ++s) {
      const Index k1 = super[s], k2 = super[s + 1];
      const Index nsrow = pi[s + 1] - pi[s];
      for (Index jj = 0; jj < k2 - k1; ++jj) {
        const double d = lx[px[s] + jj + jj * nsrow];
        const double diag = values[static_cast<std::size_t>(colPtr[perm[k1 + jj]])];
        const double ratio = d * d / diag;
        if (!(ratio >= smallest)) smallest = ratio;  // NaN counts as smallest
        if (!(smallest >= 0.0)) return 0.0;
      }
    }
    return smallest;
  }
};

SparseSolver::SparseSolver() : impl_(std::make_unique<Impl>()) {}
SparseSolver::~SparseSolver() = default;

std::size_t SparseSolver::Bytes() const {
  const Impl& s = *impl_;
  std::size_t b =
      sizeof(Index) * (s.colPtr.capacity() + s.rowInd.capacity() + s.newColPtr.capacity() +
                       s.newRowInd.capacity() + s.freeIndex.capacity()) +
      sizeof(double) * (s.values.capacity() + s.newValues.capacity() + s.rhs.capacity()) +
      sizeof(int) * s.freeRows.capacity();
  if (s.factor != nullptr) {
    const cholmod_factor* l = s.factor;
    b += sizeof(double) * (l->is_super ? l->xsize : l->nzmax) + sizeof(Index) * 4 * l->n;
    if (l->is_super) b += sizeof(Index) * (l->ssize + 3 * (l->nsuper + 1));
  }
  for (const cholmod_dense* d : {s.x, s.y, s.e})
    if (d != nullptr) b += sizeof(double) * d->nzmax;
  return b;
}

SolverStatus SparseSolver::Solve(const BandMatrix& k, double* ru, double* rr, const int* lpv,
                                 const int* lav, WorkingCallback working) {
  const auto start = std::chrono::steady_clock::now();
  struct Clock {
    SparseSolverCounts& c;
    std::chrono::steady_clock::time_point t0;
    ~Clock() {
      c.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
  } clock{counts_, start};
  ++counts_.solutions;

  Impl& s = *impl_;
  const int neq = k.neq, nbw = k.nbw;
  if (neq <= 0 || nbw <= 0) return SolverStatus::kNormal;

  s.freeRows.clear();
  s.freeIndex.assign(static_cast<std::size_t>(neq), -1);
  for (int i = 1; i <= neq; ++i)
    if (Free(lpv, lav, i)) {
      s.freeIndex[i - 1] = static_cast<Index>(s.freeRows.size());
      s.freeRows.push_back(i);
    }
  // Without free rows there is nothing to factorise: only the reactions.
  if (s.freeRows.empty()) {
    ++counts_.fallbacks;
    return SolveBand(k, ru, rr, lpv, lav, working);
  }

  s.Gather(k);
  const bool samePattern = SameBits(s.newColPtr, s.colPtr) && SameBits(s.newRowInd, s.rowInd);
  const bool sameValues = samePattern && SameBits(s.newValues, s.values);
  if (!sameValues || s.state == Impl::FactorState::kNone) {
    std::swap(s.newColPtr, s.colPtr);
    std::swap(s.newRowInd, s.rowInd);
    std::swap(s.newValues, s.values);
    auto factorStart = std::chrono::steady_clock::now();
    cholmod_sparse a = s.MatrixView();
    if (!samePattern || !s.analysed) {
      if (s.factor != nullptr) cholmod_l_free_factor(&s.factor, &s.common);
      s.factor = cholmod_l_analyze(&a, &s.common);
      s.analysed = s.factor != nullptr;
      ++counts_.analyses;
      const auto analysed = std::chrono::steady_clock::now();
      counts_.analysisSeconds += std::chrono::duration<double>(analysed - factorStart).count();
      factorStart = analysed;
    }
    s.state = Impl::FactorState::kBad;
    if (s.analysed) {
      ++counts_.factorisations;
      const int ok = cholmod_l_factorize(&a, s.factor, &s.common);
      if (ok && s.common.status == CHOLMOD_OK && s.factor->minor == s.factor->n &&
          s.SmallestPivotRatio() >= kSingularPivotRatio)
        s.state = Impl::FactorState::kGood;
    }
    counts_.factorSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - factorStart).count();
  } else {
    ++counts_.reuses;
  }
  if (s.state != Impl::FactorState::kGood) {
    // Not positive definite or numerically singular: the band solver decides.
    ++counts_.fallbacks;
    return SolveBand(k, ru, rr, lpv, lav, working);
  }

  // Pass 1: right-hand side of the free rows with the prescribed values moved over
  // (the prescribed rows within the window of each row, in ascending order).
  const std::size_t n = s.freeRows.size();
  s.rhs.resize(n);
  s.prescribedRows.clear();
  for (int i = 1; i <= neq; ++i)
    if (Prescribed(lpv, lav, i)) s.prescribedRows.push_back(i);
  auto first = s.prescribedRows.cbegin();
  for (int i = 1; i <= neq; ++i) {
    Working(working);
    const Index c = s.freeIndex[i - 1];
    if (c < 0) continue;
    double sum = 0.0;
    const int lo = std::max(1, i - nbw + 1), hi = std::min(neq, i + nbw - 1);
    while (first != s.prescribedRows.cend() && *first < lo) ++first;
    for (auto j = first; j != s.prescribedRows.cend() && *j <= hi; ++j)
      sum += Sym(k, i, *j) * ru[*j - 1];
    s.rhs[static_cast<std::size_t>(c)] = rr[i - 1] - sum;
  }
  // Pass 2: the factorisation above; one working call per row as the band path.
  for (int i = 1; i <= neq; ++i) Working(working);

  cholmod_dense b{};
  b.nrow = n;
  b.ncol = 1;
  b.nzmax = n;
  b.d = n;
  b.x = s.rhs.data();
  b.xtype = CHOLMOD_REAL;
  b.dtype = CHOLMOD_DOUBLE;
  const int ok =
      cholmod_l_solve2(CHOLMOD_A, s.factor, &b, nullptr, &s.x, nullptr, &s.y, &s.e, &s.common);
  if (!ok || s.x == nullptr) {
    // Out of memory in the solution: the band solver still answers.
    s.state = Impl::FactorState::kNone;
    ++counts_.fallbacks;
    return SolveBand(k, ru, rr, lpv, lav, working);
  }
  const auto* sol = static_cast<const double*>(s.x->x);

  // Pass 3: the solution of the free rows; their right-hand sides are used up.
  for (int i = neq; i >= 1; --i) {
    Working(working);
    const Index c = s.freeIndex[i - 1];
    if (c < 0) continue;
    ru[i - 1] = sol[c];
    rr[i - 1] = 0.0;
  }
  // Pass 4: reactions of the prescribed rows, K·u − f.
  for (int i = 1; i <= neq; ++i) Working(working);
  for (int i : s.prescribedRows) {
    double sum = -rr[i - 1];
    const int lo = std::max(1, i - nbw + 1), hi = std::min(neq, i + nbw - 1);
    for (int j = lo; j <= hi; ++j) sum += Sym(k, i, j) * ru[j - 1];
    rr[i - 1] = sum;
  }
  return SolverStatus::kNormal;
}

EquationSolver::EquationSolver(SolverKind kind) : kind_(kind) {
  if (kind_ == SolverKind::kSparse) sparse_ = std::make_unique<SparseSolver>();
}
EquationSolver::~EquationSolver() = default;

SolverStatus EquationSolver::Solve(const BandMatrix& k, double* ru, double* rr, const int* lpv,
                                   const int* lav, WorkingCallback working) {
  if (sparse_ != nullptr) return sparse_->Solve(k, ru, rr, lpv, lav, working);
  return SolveBand(k, ru, rr, lpv, lav, working);
}

SparseSolverCounts EquationSolver::Counts() const {
  return sparse_ != nullptr ? sparse_->Counts() : SparseSolverCounts{};
}

}  // namespace vemto::engine
