#include "BandSolver.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>

namespace vemto::engine {

namespace {

inline bool Free(const int* lpv, const int* lav, int i) {
  return lav[i - 1] == 1 && lpv[i - 1] == 0;
}
inline bool Prescribed(const int* lpv, const int* lav, int i) {
  return lav[i - 1] == 1 && lpv[i - 1] == 1;
}
inline void Working(WorkingCallback w) {
  if (w != nullptr) w();
}

// Symmetric entry K_ij read from the upper band (|i − j| < nbw).
inline double Sym(const BandMatrix& k, int i, int j) {
  return j >= i ? k.At(i, j - i + 1) : k.At(j, i - j + 1);
}

}  // namespace

SolverStatus SolveBand(const BandMatrix& k, double* ru, double* rr, const int* lpv, const int* lav,
                       WorkingCallback working) {
  const int neq = k.neq, nbw = k.nbw;
  SolverStatus status = SolverStatus::kNormal;
  if (neq <= 0 || nbw <= 0) return status;

  // Pass 1: move the prescribed values to the right-hand side.
  for (int i = 1; i <= neq; ++i) {
    Working(working);
    if (!Free(lpv, lav, i)) continue;
    ru[i - 1] = rr[i - 1];
    double s = 0.0;
    const int lo = std::max(1, i - nbw + 1), hi = std::min(neq, i + nbw - 1);
    for (int j = lo; j <= hi; ++j)
      if (Prescribed(lpv, lav, j)) s += Sym(k, i, j) * ru[j - 1];
    rr[i - 1] -= s;
  }

  // Pass 2: forward elimination over the free rows. `blocked` is the first row at
  // or after i that is not free; when the whole window of row i is free the
  // updates run without per-entry checks.
  int blocked = 1;
  for (int i = 1; i <= neq; ++i) {
    Working(working);
    if (!Free(lpv, lav, i)) continue;
    const double pivot = k.At(i, 1);
    if (pivot <= 0.0) status = SolverStatus::kNonPositivePivot;
    if (std::fabs(pivot) <= 1e-50) {
      for (int r = 1; r <= neq; ++r) {
        if (!Free(lpv, lav, r)) continue;
        rr[r - 1] = ru[r - 1];
        ru[r - 1] = 0.0;
      }
      return SolverStatus::kSingular;
    }
    const int hi = std::min(neq, i + nbw - 1);
    if (blocked <= i) {
      blocked = i + 1;
      while (blocked <= neq && Free(lpv, lav, blocked)) ++blocked;
    }
    const bool allFree = blocked > hi;
    const double* rowI = &k.At(i, 1);
    const double rri = rr[i - 1];
    for (int j = i + 1; j <= hi; ++j) {
      if (!allFree && !Free(lpv, lav, j)) continue;
      const double c = rowI[j - i] / pivot;
      if (c == 0.0) continue;  // exact zero: the update would add nothing
      double* rowJ = &k.At(j, 1);
      const double* src = rowI + (j - i);
      const int len = hi - j + 1;
      if (allFree) {
        for (int t = 0; t < len; ++t) rowJ[t] -= c * src[t];
      } else {
        for (int t = 0; t < len; ++t)
          if (Free(lpv, lav, j + t)) rowJ[t] -= c * src[t];
      }
      rr[j - 1] -= c * rri;
    }
  }

  // Pass 3: back substitution.
  for (int i = neq; i >= 1; --i) {
    Working(working);
    if (!Free(lpv, lav, i)) continue;
    double x = rr[i - 1];
    rr[i - 1] = 0.0;
    const int hi = std::min(neq, i + nbw - 1);
    const double* rowI = &k.At(i, 1);
    for (int j = i + 1; j <= hi; ++j)
      if (Free(lpv, lav, j)) x -= rowI[j - i] * ru[j - 1];
    ru[i - 1] = x / rowI[0];
  }

  // Pass 4: reactions of the prescribed rows, K·u − f.
  for (int i = 1; i <= neq; ++i) {
    Working(working);
    if (!Prescribed(lpv, lav, i)) continue;
    double s = -rr[i - 1];
    const int lo = std::max(1, i - nbw + 1), hi = std::min(neq, i + nbw - 1);
    for (int j = lo; j <= hi; ++j) s += Sym(k, i, j) * ru[j - 1];
    rr[i - 1] = s;
  }
  return status;
}

}  // namespace vemto::engine
