#include "SparseSolver.h"

#include "SupernodalSubstitution.h"
#include "WorkerPool.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include <omp.h>
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

// Whether two vectors hold the same bits (exact equality, −0 ≠ +0, NaN = NaN).
template <class T>
bool SameBits(const std::vector<T>& a, const std::vector<T>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), sizeof(T) * a.size()) == 0);
}

double SecondsSince(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
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

  // Free rows: 1-based row of each free unknown, and the free index of each row
  // (−1 for rows that are not free); those the kept pattern was gathered for.
  std::vector<int> freeRows, keptFreeRows;
  std::vector<Index> freeIndex;
  // The kept pattern in the factor's order (the fill-reducing ordering found for it):
  // free unknown c (of freeRows) is unknown place[c] of the factorised matrix, and
  // freeIndex is in that order too. CHOLMOD then factorises the matrix as it is
  // given, without permuting and transposing it for every factorisation.
  bool permuted = false;
  std::vector<Index> place;
  // Prescribed rows (1-based), and the assembly entries in a prescribed row or
  // column, in the assembly's order: {row, position}; for those rows and that
  // assembly pattern.
  std::vector<int> prescribedRows, touchRows;
  std::vector<std::pair<int, std::int64_t>> touching;
  std::uint64_t touchVersion = 0;
  int touchNeq = -1;
  std::uint64_t keptVersion = 0;
  int keptRows = -1;
  // Lower triangle of the free-row matrix, compressed by columns (column c holds
  // row freeRows[c]); `source` is the position of each entry in the assembly
  // (−1: a diagonal entry the assembly does not hold). Values of the kept
  // factorisation and of the new system.
  std::vector<Index> colPtr, rowInd, source;
  std::vector<double> values, newValues;
  std::vector<double> rhs, reaction;
  // Conjugate gradients: iterate, residual, preconditioned residual, direction, A·p.
  std::vector<double> cgX, cgR, cgZ, cgP, cgQ;
  // The kept factorisation as the substitution holds it: in double precision for
  // direct solutions, then (from the first iteration on) in single precision over
  // the factor's own entries, which are then good for iterations only; taken at
  // first use after a factorisation. The threads it runs on (null: the caller's).
  enum class Held { kNothing, kDouble, kSingle, kRefused };
  SupernodalSubstitution substitution;
  Held held = Held::kNothing;
  bool factorOverwritten = false;  // factorise again before a direct solution
  WorkerPool* pool = nullptr;
  double preconditionSeconds = 0.0;  // time in Apply (s)
  // Multiply: the first column of its second part, and that part's sums.
  std::size_t multiplyCut = 0;
  bool multiplyCutKnown = false;
  std::vector<double> multiplySecond;
  // The last solutions of these free rows (a ring; cgStored of them valid, the
  // next one goes to cgNext): the start is sought in their span.
  static constexpr int kStartVectors = 3;
  std::array<std::vector<double>, kStartVectors> cgLast;
  int cgStored = 0, cgNext = 0;
  bool refactorNext = false;  // iterations cost more than a new factorisation would
  // Steps solved by iterations since the last factorisation, and their iterations.
  int cycleSteps = 0;
  double cycleIterations = 0.0;
  // The band copy the band solver works on when it takes over, and the sparse
  // copy of a band matrix given to Solve(BandMatrix).
  std::vector<double> bandCopy;
  SparseAssembly fromBand;

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

  // Whether the free-row pattern must be gathered anew: other free rows, or an
  // assembly pattern that has grown since.
  bool PatternChanged(const SparseAssembly& k) const {
    return keptRows != k.Rows() || keptVersion != k.PatternVersion() ||
           !SameBits(freeRows, keptFreeRows);
  }

  // Gathers the free-row pattern of `k`: the diagonal (always) and every entry of
  // the assembly pattern between free rows, the lower triangle by columns in the
  // order of freeIndex, rows ascending within a column.
  void GatherPattern(const SparseAssembly& k) {
    const std::size_t n = freeRows.size();
    const int* cols = k.Columns();
    auto index = [&](int row) { return freeIndex[static_cast<std::size_t>(row - 1)]; };
    // Entries per column: the diagonal, and (a, b) in column min(a, b).
    colPtr.assign(n + 1, 1);
    colPtr[0] = 0;
    for (int i : freeRows) {
      const Index a = index(i);
      for (std::int64_t p = k.RowStart(i); p < k.RowStart(i + 1); ++p) {
        const Index b = cols[p] == i ? -1 : index(cols[p]);
        if (b >= 0) ++colPtr[static_cast<std::size_t>(std::min(a, b)) + 1];
      }
    }
    for (std::size_t c = 0; c < n; ++c) colPtr[c + 1] += colPtr[c];
    const auto entries = static_cast<std::size_t>(colPtr[n]);
    rowInd.resize(entries);
    source.resize(entries);
    std::vector<Index> next(colPtr.begin(), colPtr.end() - 1);
    for (std::size_t c = 0; c < n; ++c) {
      const auto q = static_cast<std::size_t>(next[c]++);
      rowInd[q] = static_cast<Index>(c);
      source[q] = -1;  // a diagonal entry the assembly does not hold
    }
    for (int i : freeRows) {
      const Index a = index(i);
      for (std::int64_t p = k.RowStart(i); p < k.RowStart(i + 1); ++p) {
        if (cols[p] == i) {
          source[static_cast<std::size_t>(colPtr[static_cast<std::size_t>(a)])] = p;
          continue;
        }
        const Index b = index(cols[p]);
        if (b < 0) continue;
        const auto q = static_cast<std::size_t>(next[static_cast<std::size_t>(std::min(a, b))]++);
        rowInd[q] = std::max(a, b);
        source[q] = p;
      }
    }
    // Rows ascending below the diagonal (already so in the order of the free rows).
    for (std::size_t c = 0; c < n; ++c)
      for (auto q = static_cast<std::size_t>(colPtr[c]) + 2;
           q < static_cast<std::size_t>(colPtr[c + 1]); ++q)
        for (std::size_t r = q;
             r > static_cast<std::size_t>(colPtr[c]) + 1 && rowInd[r - 1] > rowInd[r]; --r) {
          std::swap(rowInd[r - 1], rowInd[r]);
          std::swap(source[r - 1], source[r]);
        }
    keptFreeRows = freeRows;
    multiplyCutKnown = false;
    cgStored = 0;
    keptVersion = k.PatternVersion();
    keptRows = k.Rows();
  }

  // freeIndex (in the order of freeRows) into the factor's order.
  void PlaceFreeIndex() {
    for (Index& c : freeIndex)
      if (c >= 0) c = place[static_cast<std::size_t>(c)];
  }

  // The entries of `k` in a prescribed row or column (prescribedRows), gathered
  // anew when these rows or the assembly pattern changed.
  void GatherTouching(const SparseAssembly& k, const int* lpv, const int* lav) {
    if (touchNeq == k.Rows() && touchVersion == k.PatternVersion() &&
        SameBits(prescribedRows, touchRows))
      return;
    touching.clear();
    const int* cols = k.Columns();
    for (int i = 1; i <= k.Rows(); ++i) {
      const bool pi = Prescribed(lpv, lav, i);
      for (std::int64_t p = k.RowStart(i); p < k.RowStart(i + 1); ++p)
        if (pi || Prescribed(lpv, lav, cols[p])) touching.emplace_back(i, p);
    }
    touchRows = prescribedRows;
    touchVersion = k.PatternVersion();
    touchNeq = k.Rows();
  }

  // Values of the free-row matrix of `k` into newValues.
  void GatherValues(const SparseAssembly& k) {
    const double* v = k.Values();
    const std::size_t m = source.size();
    newValues.resize(m);
    const auto threads = static_cast<std::size_t>(WorkerPool::ThreadsOf(pool));
    auto job = [&](int thread) {
      const auto t = static_cast<std::size_t>(thread);
      for (std::size_t q = m * t / threads; q < m * (t + 1) / threads; ++q)
        newValues[q] = source[q] >= 0 ? v[source[q]] : 0.0;
    };
    WorkerPool::RunOn(pool, job);
  }

  // The kept factor for the substitutions (n = 0 when it is not supernodal).
  SupernodalFactorView FactorView() const {
    SupernodalFactorView v;
    const cholmod_factor* l = factor;
    if (l == nullptr || !l->is_super || l->x == nullptr) return v;
    v.n = static_cast<std::int64_t>(l->n);
    v.nsuper = static_cast<std::int64_t>(l->nsuper);
    v.super = static_cast<const Index*>(l->super);
    v.pi = static_cast<const Index*>(l->pi);
    v.px = static_cast<const Index*>(l->px);
    v.s = static_cast<const Index*>(l->s);
    // The matrix is factorised in its own order (CHOLMOD's Perm the identity).
    v.perm = l->ordering == CHOLMOD_NATURAL ? nullptr : static_cast<const Index*>(l->Perm);
    v.x = static_cast<const double*>(l->x);
    return v;
  }

  // b = A⁻¹ b with the kept factorisation by the supernodal substitution; false
  // when it cannot take the factor (then CHOLMOD solves).
  bool DirectSolve(std::vector<double>& b) {
    assert(!factorOverwritten);
    if (held != Held::kDouble)
      held = substitution.Build(FactorView(), SupernodalSubstitution::Precision::kDouble)
                 ? Held::kDouble
                 : Held::kRefused;
    if (held != Held::kDouble) return false;
    substitution.Apply(b.data(), b.data(), pool);
    return true;
  }

  // z = M⁻¹ r with the kept factorisation M; false when CHOLMOD fails.
  bool Precondition(std::vector<double>& r, std::vector<double>& z) {
    if (held == Held::kNothing || held == Held::kDouble) {
      // The double entries are not needed again before the next factorisation: the
      // single-precision copy takes their place, so that it costs no memory.
      const SupernodalFactorView v = FactorView();
      if (substitution.Build(v, SupernodalSubstitution::Precision::kSingle,
                             const_cast<double*>(v.x))) {
        held = Held::kSingle;
        factorOverwritten = true;
      } else {
        held = Held::kRefused;
      }
    }
    if (held == Held::kSingle) {
      const auto start = std::chrono::steady_clock::now();
      substitution.Apply(r.data(), z.data(), pool);
      preconditionSeconds += SecondsSince(start);
      return true;
    }
    const std::size_t n = r.size();
    cholmod_dense b{};
    b.nrow = n;
    b.ncol = 1;
    b.nzmax = n;
    b.d = n;
    b.x = r.data();
    b.xtype = CHOLMOD_REAL;
    b.dtype = CHOLMOD_DOUBLE;
    const int ok = cholmod_l_solve2(CHOLMOD_A, factor, &b, nullptr, &x, nullptr, &y, &e, &common);
    if (!ok || x == nullptr) return false;
    const auto* v = static_cast<const double*>(x->x);
    std::copy(v, v + n, z.begin());
    return true;
  }

  // q = A p for the free-row matrix of newValues (lower triangle by columns).
  void Multiply(const std::vector<double>& p, std::vector<double>& q) {
    const std::vector<double>* ps[] = {&p};
    std::vector<double>* qs[] = {&q};
    MultiplyMany<1>(ps, qs);
  }

  // q[k] = A p[k] for K vectors in one pass over the matrix. The columns are cut in
  // two ranges of about equal entries; the first adds into q, the second (on
  // another thread when there is a pool) into vectors of its own of the rows from
  // its first column on, which are then added: the bits do not depend on the
  // number of threads, nor on how many vectors share the pass.
  template <int K>
  void MultiplyMany(const std::vector<double>* const (&p)[K], std::vector<double>* const (&q)[K]) {
    const std::size_t n = p[0]->size();
    if (!multiplyCutKnown) {
      const auto half = static_cast<double>(colPtr[n]) / 2.0;
      multiplyCut = 0;
      while (multiplyCut < n && static_cast<double>(colPtr[multiplyCut]) < half) ++multiplyCut;
      multiplyCutKnown = true;
    }
    const std::size_t cut = multiplyCut, rest = n - cut;
    // Room for the most vectors at once from the first product on: no allocation later.
    static_assert(K <= kStartVectors);
    multiplySecond.resize(static_cast<std::size_t>(kStartVectors) * rest);
    // Columns c0 … c1−1 into out[k], which hold the rows from `first` on.
    auto part = [&](std::size_t c0, std::size_t c1, double* const(&out)[K], std::size_t first) {
      for (int k = 0; k < K; ++k) std::fill(out[k] + (c0 - first), out[k] + (n - first), 0.0);
      const double* pk[K];
      for (int k = 0; k < K; ++k) pk[k] = p[k]->data();
      for (std::size_t c = c0; c < c1; ++c) {
        double sum[K] = {}, pc[K];
#pragma GCC unroll 3
        for (int k = 0; k < K; ++k) pc[k] = pk[k][c];
        for (Index e = colPtr[c]; e < colPtr[c + 1]; ++e) {
          const auto r = static_cast<std::size_t>(rowInd[static_cast<std::size_t>(e)]);
          const double v = newValues[static_cast<std::size_t>(e)];
          if (r == c) {
#pragma GCC unroll 3
            for (int k = 0; k < K; ++k) sum[k] += v * pc[k];
          } else {
#pragma GCC unroll 3
            for (int k = 0; k < K; ++k) {
              out[k][r - first] += v * pc[k];
              sum[k] += v * pk[k][r];
            }
          }
        }
#pragma GCC unroll 3
        for (int k = 0; k < K; ++k) out[k][c - first] += sum[k];
      }
    };
    double* own[K];
    double* second[K];
    for (int k = 0; k < K; ++k) {
      own[k] = q[k]->data();
      second[k] = multiplySecond.data() + static_cast<std::size_t>(k) * rest;
    }
    const int secondThread = WorkerPool::ThreadsOf(pool) > 1 ? 1 : 0;
    auto job = [&](int thread) {
      if (thread == 0) part(0, cut, own, 0);
      if (thread == secondThread) part(cut, n, second, cut);
    };
    WorkerPool::RunOn(pool, job);
    for (int k = 0; k < K; ++k)
      for (std::size_t i = cut; i < n; ++i) own[k][i] += second[k][i - cut];
  }

  // Conjugate gradients on the matrix of newValues with right-hand side rhs,
  // preconditioned by the kept factorisation; the solution in cgX. Returns the
  // number of iterations, or −1 when they did not converge or the matrix showed a
  // direction of non-positive curvature.
  int ConjugateGradients() {
    const std::size_t n = rhs.size();
    for (auto* v : {&cgX, &cgR, &cgZ, &cgP, &cgQ}) v->resize(n);
    auto dot = [n](const std::vector<double>& a, const std::vector<double>& b) {
      double d = 0.0;
      for (std::size_t i = 0; i < n; ++i) d += a[i] * b[i];
      return d;
    };
    // Start from the best combination (in the energy norm) of the last solutions:
    // consecutive steps have increments of much the same shape. The Gram matrix of
    // their products with A (held in cgQ, cgP, cgZ, free until the iterations begin)
    // is factorised, dropping a solution that depends on the more recent ones.
    static_assert(kStartVectors <= 3);
    std::fill(cgX.begin(), cgX.end(), 0.0);
    cgR = rhs;
    const int m = cgStored;
    std::array<const std::vector<double>*, kStartVectors> last{};
    std::array<std::vector<double>*, kStartVectors> product{&cgQ, &cgP, &cgZ};
    double g[kStartVectors][kStartVectors] = {}, l[kStartVectors][kStartVectors] = {};
    double b[kStartVectors] = {}, c[kStartVectors] = {};
    bool use[kStartVectors] = {};
    for (int k = 0; k < m; ++k) {
      const auto slot = static_cast<std::size_t>((cgNext - 1 - k + kStartVectors) % kStartVectors);
      last[static_cast<std::size_t>(k)] = &cgLast[slot];
    }
    // Their products with A in one pass over the matrix.
    static_assert(kStartVectors == 3);
    if (m == 3) {
      MultiplyMany<3>({last[0], last[1], last[2]}, {product[0], product[1], product[2]});
    } else {
      for (int k = 0; k < m; ++k)
        Multiply(*last[static_cast<std::size_t>(k)], *product[static_cast<std::size_t>(k)]);
    }
    for (int i = 0; i < m; ++i) {
      const std::vector<double>& xi = *last[static_cast<std::size_t>(i)];
      b[i] = dot(xi, rhs);
      for (int j = 0; j <= i; ++j)
        g[i][j] = g[j][i] = dot(xi, *product[static_cast<std::size_t>(j)]);
    }
    for (int k = 0; k < m; ++k) {
      double d = g[k][k];
      for (int j = 0; j < k; ++j) d -= l[k][j] * l[k][j];
      use[k] = d > 1e-10 * g[k][k];
      if (!use[k]) continue;
      l[k][k] = std::sqrt(d);
      for (int i = k + 1; i < m; ++i) {
        double v = g[i][k];
        for (int j = 0; j < k; ++j) v -= l[i][j] * l[k][j];
        l[i][k] = v / l[k][k];
      }
    }
    for (int k = 0; k < m; ++k) {  // L y = b into c
      if (!use[k]) continue;
      double v = b[k];
      for (int j = 0; j < k; ++j) v -= l[k][j] * c[j];
      c[k] = v / l[k][k];
    }
    for (int k = m - 1; k >= 0; --k) {  // Lᵀ c = y
      if (!use[k]) continue;
      double v = c[k];
      for (int i = k + 1; i < m; ++i) v -= l[i][k] * c[i];
      c[k] = v / l[k][k];
    }
    for (int k = 0; k < m; ++k) {
      if (!use[k] || c[k] == 0.0) continue;
      const std::vector<double>& xk = *last[static_cast<std::size_t>(k)];
      const std::vector<double>& ak = *product[static_cast<std::size_t>(k)];
      for (std::size_t i = 0; i < n; ++i) {
        cgX[i] += c[k] * xk[i];
        cgR[i] -= c[k] * ak[i];
      }
    }
    if (!Precondition(cgR, cgZ)) return -1;
    cgP = cgZ;
    double rz = dot(cgR, cgZ);
    if (rz == 0.0) return 0;  // no load: x = 0
    for (int it = 1; it <= SparseSolver::kMaxIterations; ++it) {
      Multiply(cgP, cgQ);
      const double pq = dot(cgP, cgQ);
      if (!(pq > 0.0)) return -1;
      const double alpha = rz / pq;
      for (std::size_t i = 0; i < n; ++i) {
        cgX[i] += alpha * cgP[i];
        cgR[i] -= alpha * cgQ[i];
      }
      if (!Precondition(cgR, cgZ)) return -1;
      const double rzNew = dot(cgR, cgZ);
      if (!(rzNew >= 0.0)) return -1;
      if (std::sqrt(dot(cgZ, cgZ)) <= SparseSolver::kIterativeTolerance * std::sqrt(dot(cgX, cgX)))
        return it;
      const double beta = rzNew / rz;
      rz = rzNew;
      for (std::size_t i = 0; i < n; ++i) cgP[i] = cgZ[i] + beta * cgP[i];
    }
    return -1;
  }

  // Iterations that cost about as much as a factorisation and one solution: the
  // factorisation's operation count against that of an iteration (two triangular
  // solutions and a product with the matrix), the factorisation's dense kernels
  // running kFactorSpeed times faster per operation. Depends only on the pattern.
  double BreakEvenIterations() const {
    // Measured with the substitution kernels that fetch ahead: a factorisation of
    // 7e9 operations takes about 1.0 s, an iteration of 1.1e8 about 20 ms.
    constexpr double kFactorSpeed = 1.25;
    const double perIteration = 4.0 * common.lnz + 4.0 * static_cast<double>(values.size());
    // Small systems: the fixed costs of a factorisation outweigh its operations.
    constexpr double kLeast = 8.0;
    return perIteration > 0.0 ? std::max(kLeast, common.fl / (kFactorSpeed * perIteration))
                              : kLeast;
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
        const Index column = perm != nullptr ? perm[k1 + jj] : k1 + jj;
        const double diag = values[static_cast<std::size_t>(colPtr[column])];
        const double ratio = d * d / diag;
        if (!(ratio >= smallest)) smallest = ratio;  // NaN counts as smallest
        if (!(smallest >= 0.0)) return 0.0;
      }
    }
    return smallest;
  }
};

SparseSolver::SparseSolver() : impl_(std::make_unique<Impl>()) {
  // CHOLMOD's parallel regions ask for a fixed number of threads whatever the
  // machine has; on a few cores they cost more in thread wake-ups than they gain.
  // Without nested parallel levels the factorisation runs on the calling thread,
  // and its result does not depend on the number of cores.
  omp_set_max_active_levels(0);
}
SparseSolver::~SparseSolver() = default;

void SparseSolver::SetWorkerPool(WorkerPool* pool) {
  impl_->pool = pool;
}

std::size_t SparseSolver::Bytes() const {
  const Impl& s = *impl_;
  std::size_t b =
      sizeof(Index) * (s.colPtr.capacity() + s.rowInd.capacity() + s.source.capacity() +
                       s.freeIndex.capacity()) +
      sizeof(double) *
          (s.values.capacity() + s.newValues.capacity() + s.rhs.capacity() + s.reaction.capacity() +
           s.bandCopy.capacity() + s.cgX.capacity() + s.cgR.capacity() + s.cgZ.capacity() +
           s.cgP.capacity() + s.cgQ.capacity() + s.multiplySecond.capacity()) +
      s.substitution.Bytes() +
      sizeof(int) * (s.freeRows.capacity() + s.keptFreeRows.capacity() +
                     s.prescribedRows.capacity() + s.touchRows.capacity()) +
      sizeof(std::pair<int, std::int64_t>) * s.touching.capacity() + s.fromBand.Bytes();
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
  SparseAssembly& a = impl_->fromBand;
  if (a.Rows() != k.neq) a.Resize(k.neq);
  a.Clear();
  for (int i = 1; i <= k.neq; ++i) {
    const int hi = std::min(k.neq, i + k.nbw - 1);
    for (int j = i; j <= hi; ++j) {
      const double v = k.At(i, j - i + 1);
      if (v != 0.0 || j == i) a.AddUpper(i, j, v);
    }
  }
  a.Settle();
  return SolveSparse(a, &k, ru, rr, lpv, lav, working);
}

SolverStatus SparseSolver::Solve(const SparseAssembly& k, double* ru, double* rr, const int* lpv,
                                 const int* lav, WorkingCallback working) {
  return SolveSparse(k, nullptr, ru, rr, lpv, lav, working);
}

SolverStatus SparseSolver::SolveByBand(const SparseAssembly& k, const BandMatrix* band, double* ru,
                                       double* rr, const int* lpv, const int* lav,
                                       WorkingCallback working) {
  ++counts_.fallbacks;
  if (band != nullptr) return SolveBand(*band, ru, rr, lpv, lav, working);
  const int neq = k.Rows(), nbw = std::max(1, k.BandColumns());
  std::vector<double>& store = impl_->bandCopy;
  store.assign(static_cast<std::size_t>(neq) * static_cast<std::size_t>(nbw), 0.0);
  const BandMatrix copy{store.data(), neq, nbw};
  const int* cols = k.Columns();
  const double* v = k.Values();
  for (int i = 1; i <= neq; ++i)
    for (std::int64_t p = k.RowStart(i); p < k.RowStart(i + 1); ++p)
      copy.At(i, cols[p] - i + 1) = v[p];
  return SolveBand(copy, ru, rr, lpv, lav, working);
}

SolverStatus SparseSolver::SolveSparse(const SparseAssembly& k, const BandMatrix* band, double* ru,
                                       double* rr, const int* lpv, const int* lav,
                                       WorkingCallback working) {
  const auto start = std::chrono::steady_clock::now();
  struct Clock {
    SparseSolverCounts& c;
    std::chrono::steady_clock::time_point t0;
    ~Clock() { c.seconds += SecondsSince(t0); }
  } clock{counts_, start};
  ++counts_.solutions;

  Impl& s = *impl_;
  const int neq = k.Rows();
  if (neq <= 0) return SolverStatus::kNormal;

  s.freeRows.clear();
  s.prescribedRows.clear();
  s.freeIndex.assign(static_cast<std::size_t>(neq), -1);
  for (int i = 1; i <= neq; ++i)
    if (Free(lpv, lav, i)) {
      s.freeIndex[static_cast<std::size_t>(i - 1)] = static_cast<Index>(s.freeRows.size());
      s.freeRows.push_back(i);
    } else if (Prescribed(lpv, lav, i)) {
      s.prescribedRows.push_back(i);
    }
  // Without free rows there is nothing to factorise: only the reactions.
  if (s.freeRows.empty()) return SolveByBand(k, band, ru, rr, lpv, lav, working);

  const bool newPattern = s.PatternChanged(k);
  if (newPattern) {
    s.permuted = false;
    s.GatherPattern(k);
  } else if (s.permuted) {
    s.PlaceFreeIndex();
  }
  s.GatherValues(k);
  const bool sameValues = !newPattern && SameBits(s.newValues, s.values);
  // A changed matrix of the same pattern: conjugate gradients with the kept factor.
  const bool iterate = iterativeReuse_ && !sameValues && !newPattern &&
                       s.state == Impl::FactorState::kGood && !s.refactorNext;
  auto factorise = [&] {
    std::swap(s.newValues, s.values);
    auto factorStart = std::chrono::steady_clock::now();
    cholmod_sparse a = s.MatrixView();
    s.state = Impl::FactorState::kBad;
    s.held = Impl::Held::kNothing;
    s.factorOverwritten = false;
    s.substitution.Clear();
    if (newPattern || !s.analysed) {
      if (s.factor != nullptr) cholmod_l_free_factor(&s.factor, &s.common);
      if (!s.permuted) {
        // The fill-reducing ordering of the matrix in the order of the free rows;
        // the pattern is then gathered again in that order, and its values.
        cholmod_factor* ordering = cholmod_l_analyze(&a, &s.common);
        if (ordering != nullptr && ordering->Perm != nullptr) {
          const auto* perm = static_cast<const Index*>(ordering->Perm);
          s.place.resize(s.freeRows.size());
          for (std::size_t q = 0; q < s.freeRows.size(); ++q)
            s.place[static_cast<std::size_t>(perm[q])] = static_cast<Index>(q);
          s.PlaceFreeIndex();
          s.GatherPattern(k);
          s.GatherValues(k);
          std::swap(s.newValues, s.values);
          s.permuted = true;
          a = s.MatrixView();
        }
        if (ordering != nullptr) cholmod_l_free_factor(&ordering, &s.common);
      }
      if (s.permuted) {
        // Already in a fill-reducing, postordered order: taken as it is.
        s.common.method[0].ordering = CHOLMOD_NATURAL;
        s.common.postorder = 0;
        s.factor = cholmod_l_analyze(&a, &s.common);
        s.common.method[0].ordering = CHOLMOD_NESDIS;
        s.common.postorder = 1;
      }
      s.analysed = s.factor != nullptr;
      ++counts_.analyses;
      counts_.analysisSeconds += SecondsSince(factorStart);
      factorStart = std::chrono::steady_clock::now();
    }
    if (s.analysed) {
      ++counts_.factorisations;
      const int ok = cholmod_l_factorize(&a, s.factor, &s.common);
      if (ok && s.common.status == CHOLMOD_OK && s.factor->minor == s.factor->n &&
          s.SmallestPivotRatio() >= kSingularPivotRatio)
        s.state = Impl::FactorState::kGood;
    }
    counts_.factorSeconds += SecondsSince(factorStart);
    s.refactorNext = false;
    s.cycleSteps = 0;
    s.cycleIterations = 0.0;
  };
  if (!iterate) {
    if (!sameValues || s.state == Impl::FactorState::kNone || s.factorOverwritten)
      factorise();
    else
      ++counts_.reuses;
    // Not positive definite or numerically singular: the band solver decides.
    if (s.state != Impl::FactorState::kGood) return SolveByBand(k, band, ru, rr, lpv, lav, working);
  }

  const int* cols = k.Columns();
  const double* kv = k.Values();
  // Pass 1: right-hand side of the free rows with the prescribed values moved over.
  const std::size_t n = s.freeRows.size();
  s.rhs.resize(n);
  for (int i = 1; i <= neq; ++i) {
    Working(working);
    const Index c = s.freeIndex[static_cast<std::size_t>(i - 1)];
    if (c >= 0) s.rhs[static_cast<std::size_t>(c)] = rr[i - 1];
  }
  const bool anyPrescribed = !s.prescribedRows.empty();
  if (anyPrescribed) {
    s.GatherTouching(k, lpv, lav);
    for (const auto& [i, p] : s.touching) {
      const Index ci = s.freeIndex[static_cast<std::size_t>(i - 1)];
      const int j = cols[p];
      if (ci >= 0 && Prescribed(lpv, lav, j)) {
        s.rhs[static_cast<std::size_t>(ci)] -= kv[p] * ru[j - 1];
      } else if (Prescribed(lpv, lav, i) && j != i) {
        const Index cj = s.freeIndex[static_cast<std::size_t>(j - 1)];
        if (cj >= 0) s.rhs[static_cast<std::size_t>(cj)] -= kv[p] * ru[i - 1];
      }
    }
  }
  // Pass 2: the factorisation above; one working call per row as the band path.
  for (int i = 1; i <= neq; ++i) Working(working);

  const double* sol = nullptr;
  if (iterate) {
    const int iterations = s.ConjugateGradients();
    counts_.preconditionSeconds = s.preconditionSeconds;
    if (iterations >= 0) {
      ++counts_.iterative;
      counts_.iterations += iterations;
      // Factorise again once a step needs more iterations than the average cost of
      // the steps since the last factorisation (the factorisation counted as
      // BreakEvenIterations): the cost per step over a cycle is then least, as the
      // iterations grow with the distance from the factorised matrix.
      ++s.cycleSteps;
      s.cycleIterations += iterations;
      const double average =
          (s.BreakEvenIterations() + s.cycleIterations) / static_cast<double>(s.cycleSteps + 1);
      s.refactorNext = iterations > average;
      sol = s.cgX.data();
    } else {
      ++counts_.iterativeFailures;
      factorise();
      if (s.state != Impl::FactorState::kGood)
        return SolveByBand(k, band, ru, rr, lpv, lav, working);
    }
  }
  if (sol == nullptr && s.DirectSolve(s.rhs)) sol = s.rhs.data();
  if (sol == nullptr) {
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
      return SolveByBand(k, band, ru, rr, lpv, lav, working);
    }
    sol = static_cast<const double*>(s.x->x);
  }
  if (iterativeReuse_) {
    for (auto& v : s.cgLast) v.resize(n);  // all at once: no allocation later
    std::copy(sol, sol + n, s.cgLast[static_cast<std::size_t>(s.cgNext)].begin());
    s.cgNext = (s.cgNext + 1) % Impl::kStartVectors;
    s.cgStored = std::min(s.cgStored + 1, Impl::kStartVectors);
  }

  // Pass 3: the solution of the free rows; their right-hand sides are used up.
  for (int i = neq; i >= 1; --i) {
    Working(working);
    const Index c = s.freeIndex[static_cast<std::size_t>(i - 1)];
    if (c < 0) continue;
    ru[i - 1] = sol[c];
    rr[i - 1] = 0.0;
  }
  // Pass 4: reactions of the prescribed rows, K·u − f (every column of the row).
  for (int i = 1; i <= neq; ++i) Working(working);
  if (anyPrescribed) {
    s.reaction.resize(static_cast<std::size_t>(neq));
    for (int i : s.prescribedRows) s.reaction[static_cast<std::size_t>(i - 1)] = 0.0;
    for (const auto& [i, p] : s.touching) {
      const int j = cols[p];
      if (Prescribed(lpv, lav, i)) s.reaction[static_cast<std::size_t>(i - 1)] += kv[p] * ru[j - 1];
      if (j != i && Prescribed(lpv, lav, j))
        s.reaction[static_cast<std::size_t>(j - 1)] += kv[p] * ru[i - 1];
    }
    for (int i : s.prescribedRows)
      rr[i - 1] = s.reaction[static_cast<std::size_t>(i - 1)] - rr[i - 1];
  }
  return SolverStatus::kNormal;
}

EquationSolver::EquationSolver(SolverKind kind, int neq, BandMatrix band)
    : kind_(kind), neq_(neq), band_(band) {
  if (kind_ == SolverKind::kSparse) {
    sparse_ = std::make_unique<SparseSolver>();
    assembly_.Resize(neq);
  } else {
    assert(band_.neq == neq && (neq == 0 || band_.data != nullptr));
  }
}
EquationSolver::~EquationSolver() = default;

SolverStatus EquationSolver::Solve(double* ru, double* rr, const int* lpv, const int* lav,
                                   WorkingCallback working) {
  if (sparse_ == nullptr) return SolveBand(band_, ru, rr, lpv, lav, working);
  assembly_.Settle();
  return sparse_->Solve(assembly_, ru, rr, lpv, lav, working);
}

double EquationSolver::At(int i, int j) {
  if (sparse_ == nullptr) {
    if (j < i) std::swap(i, j);
    return j - i < band_.nbw ? band_.At(i, j - i + 1) : 0.0;
  }
  assembly_.Settle();
  return assembly_.At(i, j);
}

SparseSolverCounts EquationSolver::Counts() const {
  return sparse_ != nullptr ? sparse_->Counts() : SparseSolverCounts{};
}

}  // namespace vemto::engine
