// Symmetric band equation solver without pivoting or renumbering. Rows are
// free (active, not prescribed), prescribed (active, prescribed value in `ru`)
// or inactive (left untouched).
#pragma once

#include <cassert>
#include <cstddef>
#include <cstring>

namespace vemto::engine {

/// Upper band of a symmetric matrix with `neq` rows and `nbw` band columns:
/// entry (i, j), j ≥ i, 1-based, is stored at band column d = j − i + 1 of row i.
/// Rows are contiguous (row-major storage), so `data` holds neq·nbw values.
struct BandMatrix {
  double* data = nullptr;
  int neq = 0;
  int nbw = 0;
  /// Entry (i, d) with 1-based row i and band column d.
  double& At(int i, int d) const { return data[static_cast<long>(i - 1) * nbw + (d - 1)]; }
  /// Clears every entry.
  void Clear() const {
    if (data != nullptr && neq > 0 && nbw > 0)
      std::memset(data, 0, sizeof(double) * static_cast<std::size_t>(neq) * nbw);
  }
  /// Adds v to the symmetric entry (i, j), 1-based; entries below the diagonal
  /// (j < i) are ignored, their mirror carries them. Debug-asserts the band.
  void AddUpper(int i, int j, double v) const {
    if (j < i) return;
    assert(i >= 1 && j <= neq && j - i < nbw);
    At(i, j - i + 1) += v;
  }
};

/// Outcome of a solution: normal, a non-positive pivot was met, or singular.
enum class SolverStatus : int { kNormal = 0, kNonPositivePivot = 1, kSingular = 2 };

/// Called once at the start of every row of every pass (message 2029). Must be
/// cheap: it runs up to four times per equation.
using WorkingCallback = void (*)();

/// Solves K·u = f for the free rows. Before the call `ru` holds the prescribed
/// values of prescribed rows and `rr` the right-hand side; afterwards `ru` holds
/// the solution of the free rows, `rr` the reactions K·u − f of the prescribed
/// rows and 0 for the free rows. `lpv[i] == 1` marks a prescribed row and
/// `lav[i] == 1` an active one (0-based arrays of neq entries). On a pivot of
/// magnitude ≤ 1e-50 the free rows get a zero solution and their original
/// right-hand side back (status kSingular). The matrix is overwritten.
SolverStatus SolveBand(const BandMatrix& k, double* ru, double* rr, const int* lpv, const int* lav,
                       WorkingCallback working);

}  // namespace vemto::engine
