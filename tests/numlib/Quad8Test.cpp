// The eight-node shape functions: nodal values, the corner/mid-side identity, linear
// completeness and the derivatives against central differences.
#include <gtest/gtest.h>

#include <array>

#include "Quad8.h"

namespace {

using numlib::kQuad8Eta;
using numlib::kQuad8Xi;

constexpr double kTol = 1e-14;  // round-off of sums of eight O(1) terms

TEST(Quad8, NodalValuesCornerIdentityAndDerivatives) {
  // Each function is 1 at its own node and 0 at the seven others, exactly.
  for (std::size_t j = 0; j < 8; ++j) {
    const std::array<double, 8> n = numlib::Quad8Values(kQuad8Xi[j], kQuad8Eta[j]);
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(n[i], i == j ? 1.0 : 0.0) << i << " at " << j;
  }
  for (double xi : {-0.7, 0.0, 0.3, 1.0}) {
    for (double eta : {-0.2, 0.9, -1.0}) {
      const numlib::Quad8Shape s = numlib::Quad8ShapeAt(xi, eta);
      double sum = 0.0, x = 0.0, y = 0.0, dSum = 0.0, xXi = 0.0, yEta = 0.0;
      for (std::size_t i = 0; i < 8; ++i) {
        sum += s.n[i];
        x += s.n[i] * kQuad8Xi[i];
        y += s.n[i] * kQuad8Eta[i];
        dSum += s.dxi[i] + s.deta[i];
        xXi += s.dxi[i] * kQuad8Xi[i];
        yEta += s.deta[i] * kQuad8Eta[i];
      }
      EXPECT_NEAR(sum, 1.0, kTol);
      EXPECT_NEAR(x, xi, kTol);
      EXPECT_NEAR(y, eta, kTol);
      EXPECT_NEAR(dSum, 0.0, kTol);
      EXPECT_NEAR(xXi, 1.0, kTol);
      EXPECT_NEAR(yEta, 1.0, kTol);
      // Corner = bilinear corner function minus half of its two mid-side neighbours.
      for (std::size_t c = 0; c < 8; c += 2) {
        const double bilinear = 0.25 * (1 + kQuad8Xi[c] * xi) * (1 + kQuad8Eta[c] * eta);
        EXPECT_NEAR(s.n[c], bilinear - 0.5 * (s.n[(c + 1) % 8] + s.n[(c + 7) % 8]), kTol) << c;
      }
      // Central differences, error O(h²) ≈ 1e-12.
      const double h = 1e-6;
      const auto a = numlib::Quad8Values(xi + h, eta), b = numlib::Quad8Values(xi - h, eta);
      const auto c = numlib::Quad8Values(xi, eta + h), d = numlib::Quad8Values(xi, eta - h);
      for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_NEAR(s.dxi[i], (a[i] - b[i]) / (2 * h), 1e-9) << i;
        EXPECT_NEAR(s.deta[i], (c[i] - d[i]) / (2 * h), 1e-9) << i;
      }
    }
  }
}

}  // namespace
