// Forward and backward substitution with a supernodal factor: the double-precision
// solution is CHOLMOD's to round-off, the single-precision one is close enough to
// precondition, both give the same bits on any number of threads with the generic
// kernels and with the best the processor has, and a factor that cannot be taken
// is refused.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "SupernodalFixture.h"
#include "SupernodalSubstitution.h"
#include "WorkerPool.h"

namespace vemto::engine {
namespace {

using Precision = SupernodalSubstitution::Precision;

// ‖a − b‖ / ‖b‖ in the Euclidean norm.
double RelativeDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double d = 0.0, n = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    d += (a[i] - b[i]) * (a[i] - b[i]);
    n += b[i] * b[i];
  }
  return std::sqrt(d / n);
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), sizeof(double) * a.size()) == 0;
}

class SupernodalSubstitutionTest : public ::testing::Test {
 protected:
  // 40 × 30 nine-node elements: about 10,000 unknowns, enough supernodes for the
  // tree to be cut into a top part and two bins.
  SupernodalSubstitutionTest() : fx_(40, 30) {
    const auto n = static_cast<std::size_t>(fx_.Rows());
    exact_.resize(n);
    for (std::size_t i = 0; i < n; ++i) exact_[i] = std::sin(0.37 * static_cast<double>(i)) + 2.0;
    rhs_ = fx_.Multiply(exact_);
  }
  std::vector<double> Solve(SupernodalSubstitution& s, WorkerPool* pool) {
    std::vector<double> z(rhs_.size(), 0.0);
    s.Apply(rhs_.data(), z.data(), pool);
    return z;
  }
  testing::SupernodalFixture fx_;
  std::vector<double> exact_, rhs_;
};

// Tolerances: double precision loses a few digits to the condition of the matrix
// (the solution is exact to 1e-9 relative); single-precision entries carry a relative
// error of 6e-8 each, which the condition magnifies to below 1e-3.
TEST_F(SupernodalSubstitutionTest, SolvesInBothPrecisionsWithTheSameBitsOnAnyTeam) {
  struct Case {
    Precision precision;
    double tolerance;
  };
  const supernodal::Kernels* kernelSets[] = {&supernodal::GenericKernels(),
                                             &supernodal::BestKernels()};
  for (const supernodal::Kernels* kernels : kernelSets)
    for (const Case c : {Case{Precision::kDouble, 1e-9}, Case{Precision::kSingle, 1e-3}}) {
      SCOPED_TRACE(std::string(kernels->name) +
                   (c.precision == Precision::kDouble ? ", double" : ", single"));
      SupernodalSubstitution s;
      s.SetKernels(*kernels);
      ASSERT_TRUE(s.Build(fx_.View(), c.precision));
      ASSERT_TRUE(s.Ready());
      // The tree is cut: most of the factor lies in the two bins.
      EXPECT_LT(s.TopShare(), 0.2);
      const std::vector<double> alone = Solve(s, nullptr);
      EXPECT_LT(RelativeDifference(alone, exact_), c.tolerance);
      for (int threads : {1, 2, 3}) {
        WorkerPool pool(threads);
        EXPECT_TRUE(SameBits(Solve(s, &pool), alone)) << threads << " threads";
      }
      // Single precision written over the factor's own entries gives the same bits.
      if (c.precision == Precision::kSingle) {
        const SupernodalFactorView view = fx_.View();
        std::vector<double> entries(view.x, view.x + view.px[view.nsuper]);
        SupernodalFactorView own = view;
        own.x = entries.data();
        SupernodalSubstitution over;
        over.SetKernels(*kernels);
        ASSERT_TRUE(over.Build(own, Precision::kSingle, entries.data()));
        EXPECT_TRUE(SameBits(Solve(over, nullptr), alone));
      }
      // The right-hand side may be overwritten by its solution.
      std::vector<double> inPlace = rhs_;
      s.Apply(inPlace.data(), inPlace.data(), nullptr);
      EXPECT_TRUE(SameBits(inPlace, alone));
    }
}

TEST_F(SupernodalSubstitutionTest, RefusesAFactorItCannotTake) {
  const SupernodalFactorView good = fx_.View();
  // A copy of the entries to spoil: a pivot of zero, an entry beyond float, a NaN.
  const std::int64_t entries = good.px[good.nsuper];
  std::vector<double> x(good.x, good.x + entries);
  SupernodalFactorView bad = good;
  bad.x = x.data();
  SupernodalSubstitution s;

  x[0] = 0.0;  // the first pivot
  EXPECT_FALSE(s.Build(bad, Precision::kDouble));
  EXPECT_FALSE(s.Ready());
  x[0] = good.x[0];
  const std::int64_t below = good.px[0] + 1;  // below the first pivot
  x[static_cast<std::size_t>(below)] = 1e300;
  EXPECT_TRUE(s.Build(bad, Precision::kDouble));
  EXPECT_FALSE(s.Build(bad, Precision::kSingle));
  EXPECT_FALSE(s.Ready());
  x[static_cast<std::size_t>(below)] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_FALSE(s.Build(bad, Precision::kSingle));
  SupernodalFactorView empty;
  EXPECT_FALSE(s.Build(empty, Precision::kDouble));
  EXPECT_FALSE(s.Ready());
}

TEST(WorkerPoolTest, WakesSleepingWorkersAndHandsOnTheirExceptions) {
  WorkerPool pool(3);
  std::vector<int> seen(3, 0);
  auto count = [&](int thread) { seen[static_cast<std::size_t>(thread)] += 1; };
  for (int k = 0; k < 50; ++k) pool.Run(count);
  // Long enough for the workers to stop watching and sleep.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  pool.Run(count);
  EXPECT_EQ(seen, (std::vector<int>{51, 51, 51}));
  auto fail = [](int thread) {
    if (thread == 2) throw std::runtime_error("worker failed");
  };
  EXPECT_THROW(pool.Run(fail), std::runtime_error);
  pool.Run(count);  // the team still works
  EXPECT_EQ(seen, (std::vector<int>{52, 52, 52}));
}

}  // namespace
}  // namespace vemto::engine
