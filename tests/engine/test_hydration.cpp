// Maturity and hydration laws against their closed forms.
#include <gtest/gtest.h>

#include <cmath>

#include "Hydration.h"

namespace vemto::engine {
namespace {

HydrationParams Params() {
  HydrationParams p;
  p.cement = 350.0;
  p.beta0 = 1.0 / 3600.0;
  p.qInf = 450e3;
  p.lambda1 = 1.8;
  p.t1 = 12.0;
  p.kappa1 = 1.4;
  p.theta0 = 5000.0;
  p.kappa0 = 0.55;
  return p;
}

TEST(Hydration, MaturityRateAtReferenceAndFreezingTemperatures) {
  const HydrationParams p = Params();
  EXPECT_DOUBLE_EQ(MaturityRate(p, 20.0), p.beta0);  // θ·0 in the exponent
  EXPECT_EQ(MaturityRate(p, -10.0), 0.0);
  EXPECT_EQ(MaturityRate(p, -25.0), 0.0);
  EXPECT_GT(MaturityRate(p, 40.0), 2.0 * p.beta0);  // warmer concrete matures faster
}

TEST(Hydration, DegreeOfHydrationClosedForms) {
  const HydrationParams p = Params();
  EXPECT_EQ(DegreeOfHydration(p, 0.0).alpha, 0.0);
  EXPECT_EQ(DegreeOfHydration(p, 0.0).dAlpha, 0.0);
  // x = e − 1 gives L = 1 and α = exp(−λ₁); relative tolerance of a few ulps.
  EXPECT_NEAR(DegreeOfHydration(p, p.t1 * (std::exp(1.0) - 1.0)).alpha, std::exp(-p.lambda1),
              1e-14);
  // The derivative against a central difference (step 1e-4, error O(h²) ≈ 1e-9).
  for (double te : {1.0, 12.0, 100.0}) {
    const double h = 1e-4;
    const double fd =
        (DegreeOfHydration(p, te + h).alpha - DegreeOfHydration(p, te - h).alpha) / (2 * h);
    EXPECT_NEAR(DegreeOfHydration(p, te).dAlpha, fd, 1e-9) << te;
  }
}

TEST(Hydration, ExplicitUpdateUsesStartOfStepState) {
  const HydrationParams p = Params();
  const HydrationUpdate u = AdvanceHydration(p, 20.0, 5.0, 3600.0);
  const HydrationState s = DegreeOfHydration(p, 5.0);
  EXPECT_EQ(u.alpha, s.alpha);
  EXPECT_DOUBLE_EQ(u.maturity, 6.0);  // β₀·3600 s = 1 maturity hour
  EXPECT_DOUBLE_EQ(u.heatRate, p.qInf * p.cement * s.dAlpha * p.beta0);
  const HydrationUpdate frozen = AdvanceHydration(p, -12.0, 5.0, 3600.0);
  EXPECT_EQ(frozen.maturity, 5.0);
  EXPECT_EQ(frozen.heatRate, 0.0);
}

}  // namespace
}  // namespace vemto::engine
