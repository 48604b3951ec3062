// Sparse solution path against the band solver on the same inputs: random positive
// definite systems with prescribed and inactive rows, the kept factorisation, and
// the band solver taking over for indefinite and singular systems.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "SparseAssembly.h"
#include "SparseSolver.h"

namespace vemto::engine {
namespace {

int g_calls = 0;
void CountCall() {
  ++g_calls;
}

// A band system with its solver vectors; copies solve the same inputs twice.
struct BandSystem {
  int neq = 0, nbw = 0;
  std::vector<double> band, ru, rr;
  std::vector<int> lpv, lav;
  BandSystem(int n, int w)
      : neq(n), nbw(w), band(static_cast<std::size_t>(n) * w), ru(n), rr(n), lpv(n), lav(n, 1) {}
  BandMatrix Matrix() { return {band.data(), neq, nbw}; }
  SolverStatus SolveWithBand(int* calls = nullptr) {
    g_calls = 0;
    const SolverStatus s =
        SolveBand(Matrix(), ru.data(), rr.data(), lpv.data(), lav.data(), &CountCall);
    if (calls != nullptr) *calls = g_calls;
    return s;
  }
  SolverStatus SolveWith(SparseSolver& solver, int* calls = nullptr) {
    g_calls = 0;
    const SolverStatus s =
        solver.Solve(Matrix(), ru.data(), rr.data(), lpv.data(), lav.data(), &CountCall);
    if (calls != nullptr) *calls = g_calls;
    return s;
  }
};

// A random sparse, diagonally dominant (positive definite) band system of a
// two-dimensional grid of nx × ny nodes with two unknowns per node, numbered row
// by row, with `prescribed` and `inactive` rows chosen at random.
BandSystem GridSystem(int nx, int ny, unsigned seed, double prescribedShare, double inactiveShare) {
  const int n = 2 * nx * ny, w = 2 * (nx + 2);
  BandSystem s(n, w);
  std::mt19937 gen(seed);
  std::uniform_real_distribution<double> u(-1.0, 1.0), share(0.0, 1.0);
  auto dof = [&](int x, int y, int c) { return 2 * (y * nx + x) + c + 1; };
  std::vector<double> rowSum(n, 0.0);
  BandMatrix k = s.Matrix();
  for (int y = 0; y < ny; ++y)
    for (int x = 0; x < nx; ++x)
      for (int c = 0; c < 2; ++c) {
        const int i = dof(x, y, c);
        // Couplings to the neighbours right, up and up-right and to the other component.
        const int others[] = {c == 0 ? dof(x, y, 1) : 0, x + 1 < nx ? dof(x + 1, y, c) : 0,
                              y + 1 < ny ? dof(x, y + 1, c) : 0,
                              x + 1 < nx && y + 1 < ny ? dof(x + 1, y + 1, 1 - c) : 0};
        for (int j : others) {
          if (j == 0) continue;
          const double v = u(gen);
          k.AddUpper(std::min(i, j), std::max(i, j), v);
          rowSum[i - 1] += std::fabs(v);
          rowSum[j - 1] += std::fabs(v);
        }
      }
  for (int i = 1; i <= n; ++i) {
    k.AddUpper(i, i, rowSum[i - 1] + 0.5 + share(gen));
    s.rr[i - 1] = u(gen);
    const double r = share(gen);
    if (r < inactiveShare) {
      s.lav[i - 1] = 0;
      s.ru[i - 1] = 123.0 + i;  // must stay untouched, as RR
    } else if (r < inactiveShare + prescribedShare) {
      s.lpv[i - 1] = 1;
      s.ru[i - 1] = 0.01 * u(gen);
    }
  }
  // An inactive row carries no matrix entries.
  for (int i = 1; i <= n; ++i)
    if (s.lav[i - 1] == 0)
      for (int j = std::max(1, i - w + 1); j <= std::min(n, i + w - 1); ++j) {
        if (j >= i)
          k.At(i, j - i + 1) = 0.0;
        else
          k.At(j, i - j + 1) = 0.0;
      }
  return s;
}

// Relative difference of two vectors in the maximum norm.
double RelativeDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double d = 0.0, m = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    d = std::max(d, std::fabs(a[i] - b[i]));
    m = std::max(m, std::fabs(b[i]));
  }
  return m > 0.0 ? d / m : d;
}

constexpr double kRoundOff = 1e-12;  // relative, maximum norm

TEST(SparseSolver, MatchesBandSolverWithPrescribedAndInactiveRows) {
  SparseSolver kept;  // one solver for all systems: other prescribed rows each time
  for (unsigned seed : {1u, 2u, 3u}) {
    BandSystem band = GridSystem(9, 7, seed, 0.1, 0.1);
    BandSystem sparse = band, again = band;
    const std::vector<double> ru0 = band.ru, rr0 = band.rr;
    int bandCalls = 0, sparseCalls = 0;
    EXPECT_EQ(band.SolveWithBand(&bandCalls), SolverStatus::kNormal);
    SparseSolver solver;
    EXPECT_EQ(sparse.SolveWith(solver, &sparseCalls), SolverStatus::kNormal);
    EXPECT_EQ(solver.Counts().fallbacks, 0);
    EXPECT_EQ(sparseCalls, bandCalls);
    EXPECT_EQ(sparseCalls, 4 * band.neq);
    EXPECT_LT(RelativeDifference(sparse.ru, band.ru), kRoundOff) << "seed " << seed;
    EXPECT_LT(RelativeDifference(sparse.rr, band.rr), kRoundOff) << "seed " << seed;
    EXPECT_EQ(again.SolveWith(kept), SolverStatus::kNormal);
    EXPECT_LT(RelativeDifference(again.ru, band.ru), kRoundOff) << "seed " << seed;
    EXPECT_LT(RelativeDifference(again.rr, band.rr), kRoundOff) << "seed " << seed;
    for (int i = 0; i < band.neq; ++i) {
      if (band.lav[i] == 0) {  // inactive rows untouched
        EXPECT_EQ(sparse.ru[i], ru0[i]);
        EXPECT_EQ(sparse.rr[i], rr0[i]);
      } else if (band.lpv[i] == 1) {
        EXPECT_EQ(sparse.ru[i], ru0[i]);  // prescribed value kept
      } else {
        EXPECT_EQ(sparse.rr[i], 0.0);  // right-hand side used up
      }
    }
  }
}

TEST(SparseSolver, OneEquationFreeAndPrescribed) {
  SparseSolver solver;
  std::vector<double> k{4.0};
  double ru = 0.0, rr = 8.0;
  int lpv = 0, lav = 1;
  EXPECT_EQ(solver.Solve({k.data(), 1, 1}, &ru, &rr, &lpv, &lav, nullptr), SolverStatus::kNormal);
  EXPECT_DOUBLE_EQ(ru, 2.0);
  EXPECT_EQ(rr, 0.0);
  EXPECT_EQ(k[0], 4.0);  // the matrix is only read
  ru = 1.0;
  rr = 8.0;
  lpv = 1;
  EXPECT_EQ(solver.Solve({k.data(), 1, 1}, &ru, &rr, &lpv, &lav, nullptr), SolverStatus::kNormal);
  EXPECT_EQ(ru, 1.0);
  EXPECT_EQ(rr, -4.0);
}

TEST(SparseSolver, NoActiveRowsLeavesEverythingAsItIs) {
  BandSystem s(6, 3);
  for (int i = 0; i < 6; ++i) {
    s.lav[i] = 0;
    s.ru[i] = i;
    s.rr[i] = -i;
  }
  SparseSolver solver;
  int calls = 0;
  EXPECT_EQ(s.SolveWith(solver, &calls), SolverStatus::kNormal);
  EXPECT_EQ(calls, 24);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(s.ru[i], i);
    EXPECT_EQ(s.rr[i], -i);
  }
}

TEST(SparseSolver, KeepsTheFactorisationWhileTheMatrixIsUnchanged) {
  BandSystem base = GridSystem(6, 5, 11, 0.05, 0.05);
  SparseSolver solver;
  BandSystem a = base;
  a.SolveWith(solver);
  EXPECT_EQ(solver.Counts().analyses, 1);
  EXPECT_EQ(solver.Counts().factorisations, 1);

  // Same matrix, another right-hand side: only solved, and still right.
  BandSystem b = base;
  for (double& v : b.rr) v *= -3.0;
  BandSystem bBand = b;
  b.SolveWith(solver);
  bBand.SolveWithBand();
  EXPECT_EQ(solver.Counts().factorisations, 1);
  EXPECT_EQ(solver.Counts().reuses, 1);
  EXPECT_LT(RelativeDifference(b.ru, bBand.ru), kRoundOff);

  // One value changed (same pattern): factorised again, ordering kept.
  BandSystem c = base;
  c.band[0] *= 1.5;
  BandSystem cBand = c;
  c.SolveWith(solver);
  cBand.SolveWithBand();
  EXPECT_EQ(solver.Counts().analyses, 1);
  EXPECT_EQ(solver.Counts().factorisations, 2);
  EXPECT_LT(RelativeDifference(c.ru, cBand.ru), kRoundOff);

  // Another row made inactive: a new pattern, analysed again.
  BandSystem d = base;
  int row = 0;
  while (d.lav[row] == 0 || d.lpv[row] == 1) ++row;
  d.lav[row] = 0;
  BandSystem dBand = d;
  d.SolveWith(solver);
  dBand.SolveWithBand();
  EXPECT_EQ(solver.Counts().analyses, 2);
  EXPECT_EQ(solver.Counts().factorisations, 3);
  EXPECT_LT(RelativeDifference(d.ru, dBand.ru), kRoundOff);

  // The same row prescribed instead: the free-row matrix is that of d, only solved
  // again; the reactions take the prescribed row's couplings.
  BandSystem e = base;
  e.lpv[row] = 1;
  e.ru[row] = 0.02;
  BandSystem eBand = e;
  e.SolveWith(solver);
  eBand.SolveWithBand();
  EXPECT_EQ(solver.Counts().factorisations, 3);
  EXPECT_EQ(solver.Counts().reuses, 2);
  EXPECT_LT(RelativeDifference(e.ru, eBand.ru), kRoundOff);
  EXPECT_LT(RelativeDifference(e.rr, eBand.rr), kRoundOff);

  // Back to the first system: a new pattern again.
  BandSystem f = base;
  f.SolveWith(solver);
  EXPECT_EQ(solver.Counts().analyses, 3);
  EXPECT_EQ(solver.Counts().factorisations, 4);
  EXPECT_LT(RelativeDifference(f.ru, a.ru), kRoundOff);
  EXPECT_EQ(solver.Counts().fallbacks, 0);
}

// Iterations reuse the kept factor as a preconditioner, written over the factor in
// single precision: a later system equal to the factorised one must be factorised
// again, not solved with those floats.
TEST(SparseSolver, IteratesWithTheKeptFactorAndFactorisesBeforeADirectSolutionAgain) {
  BandSystem base = GridSystem(12, 10, 5, 0.05, 0.0);
  SparseSolver solver;
  solver.SetIterativeReuse(true);
  BandSystem a = base;
  a.SolveWith(solver);
  ASSERT_EQ(solver.Counts().factorisations, 1);

  BandSystem changed = base;
  for (std::size_t i = 0; i < changed.band.size(); i += 7) changed.band[i] *= 1.02;
  BandSystem b = changed, bBand = changed;
  b.SolveWith(solver);
  bBand.SolveWithBand();
  EXPECT_EQ(solver.Counts().factorisations, 1);
  EXPECT_EQ(solver.Counts().iterative, 1);
  EXPECT_LT(RelativeDifference(b.ru, bBand.ru), 1e-10);

  BandSystem c = base;
  c.SolveWith(solver);
  EXPECT_EQ(solver.Counts().factorisations, 2);
  EXPECT_EQ(solver.Counts().reuses, 0);
  EXPECT_LT(RelativeDifference(c.ru, a.ru), kRoundOff);
  EXPECT_LT(RelativeDifference(c.rr, a.rr), kRoundOff);
}

TEST(SparseSolver, IndefiniteAndSingularSystemsAreSolvedByTheBandSolver) {
  // Indefinite: a negative pivot; the band solver goes on with it (status 1).
  {
    BandSystem band(3, 2);
    BandMatrix k = band.Matrix();
    k.AddUpper(1, 1, 2.0);
    k.AddUpper(1, 2, 1.0);
    k.AddUpper(2, 2, -3.0);
    k.AddUpper(2, 3, 1.0);
    k.AddUpper(3, 3, 5.0);
    band.rr = {1.0, 2.0, 3.0};
    BandSystem sparse = band;
    SparseSolver solver;
    int bandCalls = 0, sparseCalls = 0;
    EXPECT_EQ(band.SolveWithBand(&bandCalls), SolverStatus::kNonPositivePivot);
    EXPECT_EQ(sparse.SolveWith(solver, &sparseCalls), SolverStatus::kNonPositivePivot);
    EXPECT_EQ(solver.Counts().fallbacks, 1);
    EXPECT_EQ(sparse.ru, band.ru);  // the same computation: bit-identical
    EXPECT_EQ(sparse.rr, band.rr);
    EXPECT_EQ(sparseCalls, bandCalls);
  }
  // Exactly singular (a zero pivot): zero solution, right-hand side back, status 2.
  {
    BandSystem band(3, 2);
    BandMatrix k = band.Matrix();
    k.AddUpper(1, 1, 1.0);
    k.AddUpper(1, 2, 1.0);
    k.AddUpper(2, 2, 1.0);
    k.AddUpper(3, 3, 2.0);
    band.rr = {1.0, 2.0, 3.0};
    BandSystem sparse = band;
    SparseSolver solver;
    int bandCalls = 0, sparseCalls = 0;
    EXPECT_EQ(band.SolveWithBand(&bandCalls), SolverStatus::kSingular);
    EXPECT_EQ(sparse.SolveWith(solver, &sparseCalls), SolverStatus::kSingular);
    EXPECT_EQ(sparse.ru, (std::vector<double>{0.0, 0.0, 0.0}));
    EXPECT_EQ(sparse.rr, (std::vector<double>{1.0, 2.0, 3.0}));
    EXPECT_EQ(sparseCalls, bandCalls);
  }
  // Singular only up to round-off (a free-floating spring chain): the sparse
  // factorisation would accept it, the band solver's result is kept.
  {
    const int n = 30;
    BandSystem band(n, 2);
    BandMatrix k = band.Matrix();
    for (int i = 1; i < n; ++i) {
      const double ks = 1.0 + 0.1 * i;
      k.AddUpper(i, i, ks);
      k.AddUpper(i + 1, i + 1, ks);
      k.AddUpper(i, i + 1, -ks);
    }
    for (int i = 0; i < n; ++i) band.rr[i] = (i % 3) - 1.0 + 0.1;
    BandSystem sparse = band;
    SparseSolver solver;
    const SolverStatus bandStatus = band.SolveWithBand();
    EXPECT_EQ(sparse.SolveWith(solver), bandStatus);
    EXPECT_EQ(solver.Counts().fallbacks, 1);
    EXPECT_EQ(sparse.ru, band.ru);
    EXPECT_EQ(sparse.rr, band.rr);
  }
}

TEST(SparseSolver, EnvironmentChoosesThePath) {
  const char* old = std::getenv("VEMTO_SOLVER");
  const std::string saved = old != nullptr ? old : "";
  ::setenv("VEMTO_SOLVER", "band", 1);
  EXPECT_EQ(SolverKindFromEnvironment(), SolverKind::kBand);
  ::setenv("VEMTO_SOLVER", "sparse", 1);
  EXPECT_EQ(SolverKindFromEnvironment(), SolverKind::kSparse);
  ::unsetenv("VEMTO_SOLVER");
  EXPECT_EQ(SolverKindFromEnvironment(), SolverKind::kSparse);
  if (old != nullptr) ::setenv("VEMTO_SOLVER", saved.c_str(), 1);
}

// Assembles the upper band of `s` entry by entry into `solver`, as the element
// loops do (a lower entry is passed too and must be ignored).
void AssembleInto(EquationSolver& solver, const BandSystem& s) {
  solver.Clear();
  for (int i = 1; i <= s.neq; ++i)
    for (int d = 1; d <= s.nbw && i + d - 1 <= s.neq; ++d) {
      const double v = s.band[static_cast<std::size_t>(i - 1) * s.nbw + (d - 1)];
      if (v == 0.0) continue;
      solver.AddUpper(i, i + d - 1, v);
      if (d > 1) solver.AddUpper(i + d - 1, i, 1e300);  // below the diagonal: ignored
    }
}

TEST(EquationSolver, BothPathsThroughTheOneInterfaceGiveTheSameSolution) {
  BandSystem a = GridSystem(5, 4, 5, 0.1, 0.1), b = a;
  std::vector<double> store(a.band.size());
  EquationSolver band(SolverKind::kBand, a.neq, {store.data(), a.neq, a.nbw});
  EquationSolver sparse(SolverKind::kSparse, b.neq);
  AssembleInto(band, a);
  AssembleInto(sparse, b);
  for (int i = 1; i <= a.neq; ++i)
    for (int j = i; j <= std::min(a.neq, i + a.nbw - 1); ++j) {
      ASSERT_EQ(band.At(i, j), a.Matrix().At(i, j - i + 1));
      ASSERT_EQ(sparse.At(j, i), band.At(i, j));  // symmetric access, same bits
    }
  EXPECT_EQ(band.Solve(a.ru.data(), a.rr.data(), a.lpv.data(), a.lav.data(), nullptr),
            SolverStatus::kNormal);
  EXPECT_EQ(sparse.Solve(b.ru.data(), b.rr.data(), b.lpv.data(), b.lav.data(), nullptr),
            SolverStatus::kNormal);
  EXPECT_LT(RelativeDifference(b.ru, a.ru), kRoundOff);
  EXPECT_LT(RelativeDifference(b.rr, a.rr), kRoundOff);
  EXPECT_EQ(band.Counts().solutions, 0);
  EXPECT_EQ(sparse.Counts().solutions, 1);
}

TEST(EquationSolver, IndefiniteSystemFromSparseStorageIsSolvedByTheBandSolver) {
  // Without a band matrix of its own, the sparse path hands the band solver a
  // band copy: status and result are those of the band solver on the original.
  BandSystem a = GridSystem(4, 4, 7, 0.1, 0.0);
  a.band[0] = -a.band[0];  // first pivot negative
  BandSystem b = a;
  EquationSolver sparse(SolverKind::kSparse, b.neq);
  AssembleInto(sparse, b);
  const SolverStatus bandStatus = a.SolveWithBand();
  EXPECT_EQ(bandStatus, SolverStatus::kNonPositivePivot);
  EXPECT_EQ(sparse.Solve(b.ru.data(), b.rr.data(), b.lpv.data(), b.lav.data(), nullptr),
            bandStatus);
  EXPECT_EQ(sparse.Counts().fallbacks, 1);
  EXPECT_EQ(b.ru, a.ru);
  EXPECT_EQ(b.rr, a.rr);
}

TEST(SparseAssembly, PatternGrowsOnceAndKeepsPlacesOfZeroEntries) {
  SparseAssembly k(4);
  auto assemble = [&](double offDiagonal, bool withCorner) {
    k.Clear();
    k.AddUpper(1, 1, 2.0);
    k.AddUpper(2, 2, 2.0);
    k.AddUpper(1, 2, offDiagonal);
    k.AddUpper(1, 2, 0.25);  // a second contribution to the same entry
    if (withCorner) k.AddUpper(3, 4, -1.0);
    return k.Settle();
  };
  EXPECT_TRUE(assemble(0.5, false));
  const std::uint64_t version = k.PatternVersion();
  EXPECT_EQ(k.Entries(), 3);
  EXPECT_EQ(k.At(2, 1), 0.75);
  EXPECT_EQ(k.BandColumns(), 2);
  // Same entries, one of them now exactly −0.25 + 0.25 = 0: nothing new.
  EXPECT_FALSE(assemble(-0.25, false));
  EXPECT_EQ(k.PatternVersion(), version);
  EXPECT_EQ(k.Entries(), 3);
  EXPECT_EQ(k.At(1, 2), 0.0);
  // A new entry grows the pattern; the old values stay where they are.
  EXPECT_TRUE(assemble(1.0, true));
  EXPECT_NE(k.PatternVersion(), version);
  EXPECT_EQ(k.Entries(), 4);
  EXPECT_EQ(k.At(1, 2), 1.25);
  EXPECT_EQ(k.At(4, 3), -1.0);
  EXPECT_EQ(k.At(1, 4), 0.0);
  // Entries below the diagonal are ignored.
  k.AddUpper(4, 1, 9.0);
  EXPECT_FALSE(k.Settle());
  EXPECT_EQ(k.At(1, 4), 0.0);
}

TEST(SparseAssembly, SumsEqualTheBandAssemblyBitForBit) {
  // Contributions of mixed magnitude, so that the order of summation shows.
  std::mt19937 gen(11);
  std::uniform_real_distribution<double> u(-1.0, 1.0);
  const int n = 30, w = 6;
  std::vector<double> store(static_cast<std::size_t>(n) * w, 0.0);
  const BandMatrix band{store.data(), n, w};
  SparseAssembly k(n);
  for (int round = 0; round < 2; ++round) {  // the second round adds to a kept pattern
    band.Clear();
    k.Clear();
    for (int c = 0; c < 2000; ++c) {
      const int i = 1 + static_cast<int>(gen() % n);
      const int j = std::min(n, i + static_cast<int>(gen() % w));
      const double v = u(gen) * std::pow(10.0, static_cast<int>(gen() % 17) - 8);
      band.AddUpper(i, j, v);
      k.AddUpper(i, j, v);
    }
    k.Settle();
    for (int i = 1; i <= n; ++i)
      for (int j = i; j <= std::min(n, i + w - 1); ++j)
        ASSERT_EQ(k.At(i, j), band.At(i, j - i + 1));
  }
}

}  // namespace
}  // namespace vemto::engine
