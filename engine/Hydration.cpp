#include "Hydration.h"

#include <cmath>

namespace vemto::engine {

HydrationState DegreeOfHydration(const HydrationParams& p, double maturity) {
  HydrationState s;
  const double x = maturity / p.t1;
  if (x > 0.0) {
    const double l = std::log1p(x);
    const double power = std::pow(l, -p.kappa1);  // l^−κ1; l^(−κ1−1) = power / l
    s.alpha = std::exp(-p.lambda1 * power);
    s.dAlpha = s.alpha * p.lambda1 * p.kappa1 * (power / l) / (p.t1 + maturity);
  }
  return s;
}

double MaturityRate(const HydrationParams& p, double temperature) {
  if (!(temperature + 10.0 > 0.0)) return 0.0;
  const double theta = p.theta0 * std::pow(30.0 / (temperature + 10.0), p.kappa0);
  return p.beta0 * std::exp(theta * (1.0 / 293.15 - 1.0 / (temperature + 273.15)));
}

HydrationUpdate AdvanceHydration(const HydrationParams& p, double temperature, double maturity,
                                 double dt) {
  const HydrationState h = DegreeOfHydration(p, maturity);
  const double beta = MaturityRate(p, temperature);
  HydrationUpdate u;
  u.alpha = h.alpha;
  u.maturity = maturity + beta * dt;
  u.heatRate = p.qInf * p.cement * h.dAlpha * beta;
  return u;
}

}  // namespace vemto::engine
