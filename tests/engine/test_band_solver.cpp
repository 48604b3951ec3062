// Band equation solver: edge cases, comparison with dense elimination, prescribed,
// inactive and singular rows.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "BandSolver.h"

namespace vemto::engine {
namespace {

int g_calls = 0;
void CountCall() {
  ++g_calls;
}

struct System {
  int neq, nbw;
  std::vector<double> band;
  std::vector<double> dense;  // full symmetric matrix, row-major
  BandMatrix Matrix() { return {band.data(), neq, nbw}; }
  System(int n, int w) : neq(n), nbw(w), band(static_cast<std::size_t>(n * w)), dense(n * n) {}
  void Add(int i, int j, double v) {  // 1-based, symmetric
    dense[(i - 1) * neq + (j - 1)] += v;
    if (i != j) dense[(j - 1) * neq + (i - 1)] += v;
    Matrix().AddUpper(std::min(i, j), std::max(i, j), v);
  }
};

TEST(BandSolver, OneEquationFreeAndPrescribed) {
  std::vector<double> k{4.0};
  double ru = 0.0, rr = 8.0;
  int lpv = 0, lav = 1;
  g_calls = 0;
  EXPECT_EQ(SolveBand({k.data(), 1, 1}, &ru, &rr, &lpv, &lav, &CountCall), SolverStatus::kNormal);
  EXPECT_EQ(ru, 2.0);  // exact in binary
  EXPECT_EQ(rr, 0.0);
  EXPECT_EQ(g_calls, 4);  // once per row and pass

  k = {4.0};
  ru = 1.0;
  rr = 8.0;
  lpv = 1;
  SolveBand({k.data(), 1, 1}, &ru, &rr, &lpv, &lav, nullptr);
  EXPECT_EQ(ru, 1.0);
  EXPECT_EQ(rr, -4.0);  // K·u − f
}

TEST(BandSolver, MatchesDenseEliminationWithPrescribedAndInactiveRows) {
  const int n = 40, w = 6;
  System s(n, w);
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  for (int i = 1; i <= n; ++i) {
    s.Add(i, i, 20.0 + u(gen));  // diagonally dominant: positive definite
    for (int j = i + 1; j < i + w && j <= n; ++j) s.Add(i, j, u(gen));
  }
  std::vector<int> lpv(n, 0), lav(n, 1);
  std::vector<double> ru(n, 0.0), rr(n), f(n);
  for (int i = 0; i < n; ++i) f[i] = rr[i] = u(gen);
  lpv[4] = lpv[17] = 1;
  ru[4] = 0.5;
  ru[17] = -1.25;
  lav[30] = 0;
  ru[30] = 99.0;  // inactive rows keep their entries
  rr[30] = 77.0;
  const std::vector<double> dense = s.dense;
  ASSERT_EQ(SolveBand(s.Matrix(), ru.data(), rr.data(), lpv.data(), lav.data(), nullptr),
            SolverStatus::kNormal);
  EXPECT_EQ(ru[30], 99.0);
  EXPECT_EQ(rr[30], 77.0);
  EXPECT_EQ(ru[4], 0.5);
  // Residual of every free row vanishes (inactive column 30 takes no part);
  // reactions of the prescribed rows are K·u − f. Tolerance: rounding of a
  // well-conditioned system of 40 unknowns.
  for (int i = 0; i < n; ++i) {
    if (i == 30) continue;
    double ku = 0.0;
    for (int j = 0; j < n; ++j)
      if (j != 30) ku += dense[i * n + j] * ru[j];
    if (lpv[i] == 0) {
      EXPECT_NEAR(ku, f[i], 1e-12) << i;
      EXPECT_EQ(rr[i], 0.0);
    } else {
      EXPECT_NEAR(rr[i], ku - f[i], 1e-12) << i;
    }
  }
}

TEST(BandSolver, NegativePivotIsUsedAndFlagged) {
  std::vector<double> k{-2.0};
  double ru = 0.0, rr = 4.0;
  int lpv = 0, lav = 1;
  EXPECT_EQ(SolveBand({k.data(), 1, 1}, &ru, &rr, &lpv, &lav, nullptr),
            SolverStatus::kNonPositivePivot);
  EXPECT_EQ(ru, -2.0);
}

TEST(BandSolver, SingularSystemGivesZeroSolutionAndOriginalRightHandSide) {
  // Rows 1 and 2 identical: the second pivot becomes exactly 0.
  std::vector<double> k{1.0, 1.0, 1.0, 0.0};  // row 1: (1, 1); row 2: (1, 0)
  std::vector<double> ru{5.0, 5.0}, rr{3.0, 2.0};
  std::vector<int> lpv{0, 0}, lav{1, 1};
  g_calls = 0;
  EXPECT_EQ(SolveBand({k.data(), 2, 2}, ru.data(), rr.data(), lpv.data(), lav.data(), &CountCall),
            SolverStatus::kSingular);
  EXPECT_EQ(ru, (std::vector<double>{0.0, 0.0}));
  EXPECT_EQ(rr, (std::vector<double>{3.0, 2.0}));
  EXPECT_EQ(g_calls, 4);  // pass 1 (2 rows) and pass 2 up to the singular row
}

TEST(BandSolver, NoActiveRowsLeavesEverythingAlone) {
  std::vector<double> k(6, 1.0), ru{1, 2, 3}, rr{4, 5, 6};
  std::vector<int> lpv(3, 0), lav(3, 0);
  EXPECT_EQ(SolveBand({k.data(), 3, 2}, ru.data(), rr.data(), lpv.data(), lav.data(), nullptr),
            SolverStatus::kNormal);
  EXPECT_EQ(ru, (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(rr, (std::vector<double>{4, 5, 6}));
}

}  // namespace
}  // namespace vemto::engine
