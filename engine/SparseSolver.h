// Sparse direct solution of the band solver's systems. The free rows of the
// assembled band matrix are gathered into a compressed sparse symmetric matrix
// and factorised by a supernodal Cholesky factorisation (CHOLMOD); inputs,
// outputs and status are those of SolveBand. Where the factorisation finds the
// matrix not positive definite, or a pivot so small that the matrix is
// numerically singular, the band solver solves the step instead, so the
// negative-pivot status and the singular exit stay those of the band solver.
//
// The factorisation is kept: a later system with bit-identical free-row matrix
// (same pattern, same values) is only solved, and one with the same pattern
// reuses the fill-reducing ordering and symbolic analysis.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "BandSolver.h"

namespace vemto::engine {

/// Which solution path an EquationSolver takes.
enum class SolverKind { kBand, kSparse };

/// The path chosen by the environment: VEMTO_SOLVER=band selects the band solver,
/// anything else (or no variable) the sparse path.
SolverKind SolverKindFromEnvironment();

/// Counters of a SparseSolver (for tests and benchmarks).
struct SparseSolverCounts {
  long solutions = 0;            ///< calls of Solve
  long analyses = 0;             ///< symbolic analyses (ordering), on a new pattern
  long factorisations = 0;       ///< numeric factorisations
  long reuses = 0;               ///< solutions with a kept factorisation
  long fallbacks = 0;            ///< solutions handed to the band solver
  double seconds = 0.0;          ///< wall-clock time in Solve (s)
  double factorSeconds = 0.0;    ///< of which in numeric factorisations (s)
  double analysisSeconds = 0.0;  ///< of which in symbolic analyses (s)
};

class SparseSolver {
 public:
  /// Relative pivot below which the matrix counts as numerically singular: the
  /// factor's pivot of a row divided by that row's diagonal entry of the matrix.
  static constexpr double kSingularPivotRatio = 1e-11;

  SparseSolver();
  ~SparseSolver();
  SparseSolver(const SparseSolver&) = delete;
  SparseSolver& operator=(const SparseSolver&) = delete;

  /// Same contract as SolveBand. The matrix `k` is only read on the sparse path
  /// (the band solver overwrites it when it takes over).
  SolverStatus Solve(const BandMatrix& k, double* ru, double* rr, const int* lpv, const int* lav,
                     WorkingCallback working);

  const SparseSolverCounts& Counts() const { return counts_; }
  /// Bytes held by the kept matrix, factor and workspaces.
  std::size_t Bytes() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  SparseSolverCounts counts_;
};

/// The equation solver of the temperature and the stress step: the sparse path by
/// default, the band solver when chosen (kind from the environment unless given).
class EquationSolver {
 public:
  EquationSolver() : EquationSolver(SolverKindFromEnvironment()) {}
  explicit EquationSolver(SolverKind kind);
  ~EquationSolver();

  /// Same contract as SolveBand.
  SolverStatus Solve(const BandMatrix& k, double* ru, double* rr, const int* lpv, const int* lav,
                     WorkingCallback working);

  SolverKind Kind() const { return kind_; }
  /// Counters of the sparse path (all zero on the band path).
  SparseSolverCounts Counts() const;
  /// Bytes held by the sparse path outside the work array (0 on the band path).
  std::size_t Bytes() const { return sparse_ != nullptr ? sparse_->Bytes() : 0; }

 private:
  SolverKind kind_;
  std::unique_ptr<SparseSolver> sparse_;
};

}  // namespace vemto::engine
