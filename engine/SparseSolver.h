// Sparse direct solution of the band solver's systems. The free rows of the
// assembled sparse matrix are gathered into a compressed sparse symmetric matrix
// and factorised by a supernodal Cholesky factorisation (CHOLMOD); inputs,
// outputs and status are those of SolveBand. Where the factorisation finds the
// matrix not positive definite, or a pivot so small that the matrix is
// numerically singular, the band solver solves the step instead (on a band copy
// of the matrix), so the negative-pivot status and the singular exit stay those
// of the band solver.
//
// The factorisation is kept: a later system with bit-identical free-row matrix
// (same pattern, same values) is only solved, and one with the same pattern
// reuses the fill-reducing ordering and symbolic analysis.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "BandSolver.h"
#include "SolverKind.h"
#include "SparseAssembly.h"

namespace vemto::engine {

class WorkerPool;

/// Counters of a SparseSolver (for tests and benchmarks).
struct SparseSolverCounts {
  long solutions = 0;          ///< calls of Solve
  long analyses = 0;           ///< symbolic analyses (ordering), on a new pattern
  long factorisations = 0;     ///< numeric factorisations
  long reuses = 0;             ///< solutions with a kept factorisation
  long fallbacks = 0;          ///< solutions handed to the band solver
  long iterative = 0;          ///< solutions by conjugate gradients (kept factor as preconditioner)
  long iterations = 0;         ///< conjugate-gradient iterations of those
  long iterativeFailures = 0;  ///< of the attempts that did not converge (then factorised)
  double seconds = 0.0;        ///< wall-clock time in Solve (s)
  double factorSeconds = 0.0;  ///< of which in numeric factorisations (s)
  double analysisSeconds = 0.0;      ///< of which in symbolic analyses (s)
  double preconditionSeconds = 0.0;  ///< of which applying the kept factor in iterations (s)
};

class SparseSolver {
 public:
  /// Relative pivot below which the matrix counts as numerically singular: the
  /// factor's pivot of a row divided by that row's diagonal entry of the matrix.
  static constexpr double kSingularPivotRatio = 1e-11;
  /// Conjugate gradients with the kept factorisation stop when the preconditioned
  /// residual (the estimate of the error) is below this fraction of the solution
  /// (both in the Euclidean norm).
  static constexpr double kIterativeTolerance = 1e-12;
  /// Iterations after which conjugate gradients give up (the matrix is factorised).
  static constexpr int kMaxIterations = 40;

  SparseSolver();
  ~SparseSolver();
  SparseSolver(const SparseSolver&) = delete;
  SparseSolver& operator=(const SparseSolver&) = delete;

  /// Same contract as SolveBand for the settled matrix `k` (SparseAssembly::Settle),
  /// which is only read. When the band solver takes over, it works on a band copy
  /// held by this solver.
  SolverStatus Solve(const SparseAssembly& k, double* ru, double* rr, const int* lpv,
                     const int* lav, WorkingCallback working);
  /// The same for a band matrix (copied into sparse storage whose pattern only
  /// grows: the diagonal and every entry that has been non-zero). The matrix is
  /// only read on the sparse path; the band solver overwrites it when it takes over.
  SolverStatus Solve(const BandMatrix& k, double* ru, double* rr, const int* lpv, const int* lav,
                     WorkingCallback working);

  /// With `on`, a system whose matrix differs from the factorised one (same free
  /// rows and pattern) is first solved by conjugate gradients preconditioned with
  /// the kept factorisation; it is factorised when they do not converge within
  /// kMaxIterations or meet a direction of non-positive curvature (an indefinite
  /// matrix, which then goes to the band solver as before), and the next one once
  /// a step needs more iterations than the average cost per step since the last
  /// factorisation (costs from the operation counts, so that the choice does not
  /// depend on timings).
  /// Off by default: every changed matrix is factorised.
  void SetIterativeReuse(bool on) { iterativeReuse_ = on; }
  /// Threads the preconditioner of the iterations runs on (null: the calling
  /// thread only); the results do not depend on their number. Not owned.
  void SetWorkerPool(WorkerPool* pool);

  const SparseSolverCounts& Counts() const { return counts_; }
  /// Bytes held by the kept matrix, factor and workspaces.
  std::size_t Bytes() const;

 private:
  struct Impl;
  SolverStatus SolveByBand(const SparseAssembly& k, const BandMatrix* band, double* ru, double* rr,
                           const int* lpv, const int* lav, WorkingCallback working);
  SolverStatus SolveSparse(const SparseAssembly& k, const BandMatrix* band, double* ru, double* rr,
                           const int* lpv, const int* lav, WorkingCallback working);
  std::unique_ptr<Impl> impl_;
  SparseSolverCounts counts_;
  bool iterativeReuse_ = false;
};

/// The equation solver of the temperature and the stress step, with the storage
/// the system is assembled into: the work array's band matrix on the band path, a
/// sparse matrix on the sparse path (where the band matrix need not exist).
class EquationSolver {
 public:
  /// A solver of `neq` equations on path `kind`; `band` is the work array's band
  /// matrix (neq rows), used on the band path only.
  EquationSolver(SolverKind kind, int neq, BandMatrix band = {});
  ~EquationSolver();

  /// Sets the matrix to zero (the sparse pattern stays).
  void Clear() {
    if (sparse_ != nullptr)
      assembly_.Clear();
    else
      band_.Clear();
  }
  /// Adds v to the symmetric entry (i, j), 1-based; entries below the diagonal
  /// (j < i) are ignored, their mirror carries them.
  void AddUpper(int i, int j, double v) {
    if (sparse_ != nullptr)
      assembly_.AddUpper(i, j, v);
    else
      band_.AddUpper(i, j, v);
  }
  /// Entries of the sparse path that were outside its pattern (empty on the band path).
  using Spill = std::vector<SparseAssembly::Pending>;
  /// As AddUpper, with the entries outside the sparse pattern collected in `spill`
  /// (threads that add to disjoint rows); hand them over with TakeSpill in the
  /// order of addition.
  void AddUpper(int i, int j, double v, Spill& spill) {
    if (sparse_ != nullptr)
      assembly_.AddUpper(i, j, v, spill);
    else
      band_.AddUpper(i, j, v);
  }
  /// SparseAssembly::AddUpperRow on the sparse path (with `places`, the places of the
  /// entries, valid while PatternVersion() stays), entry by entry on the band path
  /// (`places` untouched).
  void AddUpperRow(int i, const int* cols, const double* v, int count, Spill& spill,
                   std::int64_t* places = nullptr) {
    if (sparse_ != nullptr) {
      assembly_.AddUpperRow(i, cols, v, count, spill, places);
      return;
    }
    for (int k = 0; k < count; ++k) band_.AddUpper(i, cols[k], v[k]);
  }
  /// Sparse path: v added at places that AddUpperRow gave. PatternVersion() is 0 on
  /// the band path.
  template <class Place>
  void AddAt(const Place* places, const double* v, int count) {
    assert(sparse_ != nullptr);
    assembly_.AddAt(places, v, count);
  }
  std::uint64_t PatternVersion() const {
    return sparse_ != nullptr ? assembly_.PatternVersion() : 0;
  }
  /// Takes the entries of `spill` into the assembly as added now; empties it.
  void TakeSpill(Spill& spill) {
    if (!spill.empty()) assembly_.TakePending(spill);
  }
  /// SparseSolver::SetIterativeReuse on the sparse path; no effect on the band path.
  void SetIterativeReuse(bool on) {
    if (sparse_ != nullptr) sparse_->SetIterativeReuse(on);
  }
  /// SparseSolver::SetWorkerPool on the sparse path; no effect on the band path.
  void SetWorkerPool(WorkerPool* pool) {
    if (sparse_ != nullptr) sparse_->SetWorkerPool(pool);
  }
  /// Solves the assembled system; same contract as SolveBand.
  SolverStatus Solve(double* ru, double* rr, const int* lpv, const int* lav,
                     WorkingCallback working);

  SolverKind Kind() const { return kind_; }
  /// Number of equations.
  int Rows() const { return neq_; }
  /// The symmetric entry (i, j) as assembled (before Solve), 1-based; for tests.
  double At(int i, int j);
  /// The sparse matrix as last solved (null on the band path).
  const SparseAssembly* Assembly() const { return sparse_ != nullptr ? &assembly_ : nullptr; }
  /// Counters of the sparse path (all zero on the band path).
  SparseSolverCounts Counts() const;
  /// Bytes held by the sparse path outside the work array (0 on the band path).
  std::size_t Bytes() const {
    return sparse_ != nullptr ? sparse_->Bytes() + assembly_.Bytes() : 0;
  }

 private:
  SolverKind kind_;
  int neq_;
  BandMatrix band_;
  SparseAssembly assembly_;
  std::unique_ptr<SparseSolver> sparse_;
};

}  // namespace vemto::engine
