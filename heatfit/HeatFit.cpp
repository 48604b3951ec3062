#include "HeatFit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include <Eigen/Dense>
#include <unsupported/Eigen/LevenbergMarquardt>
#include <unsupported/Eigen/NumericalDiff>

#include "Hydration.h"

namespace vemto::heatfit {

namespace {

constexpr double kHour = 3600.0;           // s
constexpr double kMaxSubstep = 600.0;      // s, longest integration step of the box
constexpr double kPlateauAlpha = 0.5;      // least degree of hydration that fixes Wc0
constexpr double kMaxRelativeError = 0.2;  // largest standard error of ln Wc0 accepted
// The error of a reading is modelled as sd² = a² + (b·s)², s the reading's signal: the heat
// of a heat record, the temperature change since the record's first reading for a box.
// A first fit weights heat readings relatively (a calorimeter's error grows with the heat,
// and the early, small heats are what fix t1 and λ1) and temperatures equally; a and b
// are then estimated from its residuals and the fit repeated with these weights, so
// that a sensor with a constant error and one whose error grows with the signal are both
// weighted as their readings deserve.
constexpr double kErrorFloor = 1e-4;  // least a/b, fraction of the largest signal
constexpr int kStarts = 3;            // starting points tried by the optimiser

/// The fitted quantities, each searched as its logarithm within a range.
enum class Unknown { Lambda1, Kappa1, T1, Wc0, HeatLoss };

struct Range {
  double low, high;
  const char* name;
};

Range RangeOf(Unknown u) {
  switch (u) {
    case Unknown::Lambda1:
      return {1e-3, 1e3, "Lambda-1"};
    case Unknown::Kappa1:
      return {1e-2, 50.0, "Kappa-1"};
    case Unknown::T1:
      return {36.0, 1e4 * kHour, "t-1"};
    case Unknown::Wc0:
      return {1e2, 1e8, "Wc0"};
    case Unknown::HeatLoss:
      return {1e-12, 1e-1, "heat loss coefficient"};
  }
  return {1.0, 1.0, ""};
}

double& Slot(Parameters& p, Unknown u) {
  switch (u) {
    case Unknown::Lambda1:
      return p.lambda1;
    case Unknown::Kappa1:
      return p.kappa1;
    case Unknown::T1:
      return p.t1;
    case Unknown::Wc0:
      return p.wc0;
    case Unknown::HeatLoss:
      return p.heatLoss;
  }
  return p.heatLoss;
}

engine::HydrationParams LawOf(const Parameters& p, double cement) {
  return {cement, 1.0, p.wc0, p.lambda1, p.t1, p.kappa1, p.theta0, p.kappa0};
}

/// dα/dt_e (1/s) of the engine's law; 0 where α itself is 0 (far below the curve's
/// onset, where the law's product 0·∞ would give no number).
double HydrationSlope(const engine::HydrationParams& law, double maturity) {
  const engine::HydrationState h = engine::DegreeOfHydration(law, maturity);
  return h.alpha > 0.0 && std::isfinite(h.dAlpha) ? h.dAlpha : 0.0;
}

struct BoxRun {
  std::vector<double> temperature;  // °C at the record's points
  double finalMaturity = 0.0;       // s
};

BoxRun RunBox(const Series& record, const Concrete& concrete, const Parameters& p, bool hydration) {
  const engine::HydrationParams law = LawOf(p, concrete.cement);
  const double heat = hydration
                          ? concrete.cement * p.wc0 / (concrete.density * concrete.specificHeat)
                          : 0.0;  // K per unit of α
  BoxRun run;
  run.temperature.resize(record.size());
  double temp = record.y[0];
  double maturity =
      hydration ? std::max(record.x[0], 0.0) * kHour * engine::MaturityRate(law, temp) : 0.0;
  run.temperature[0] = temp;
  for (std::size_t i = 0; i + 1 < record.size(); ++i) {
    const double t0 = record.x[i] * kHour;
    const double span = (record.x[i + 1] - record.x[i]) * kHour;
    const double a0 = record.ambient[i];
    const double a1 = record.ambient[i + 1];
    const int steps = std::max(1, static_cast<int>(std::ceil(span / kMaxSubstep)));
    const double h = span / steps;
    // Right-hand side at time t (s) for temperature T and maturity m.
    auto rate = [&](double t, double T, double m, double& dT, double& dm) {
      const double ambient = a0 + (a1 - a0) * (t - t0) / span;
      const double beta = hydration ? engine::MaturityRate(law, T) : 0.0;
      dm = beta;
      dT = (hydration ? heat * HydrationSlope(law, m) * beta : 0.0) - p.heatLoss * (T - ambient);
    };
    for (int s = 0; s < steps; ++s) {
      const double t = t0 + s * h;
      double k1, l1, k2, l2, k3, l3, k4, l4;
      rate(t, temp, maturity, k1, l1);
      rate(t + 0.5 * h, temp + 0.5 * h * k1, maturity + 0.5 * h * l1, k2, l2);
      rate(t + 0.5 * h, temp + 0.5 * h * k2, maturity + 0.5 * h * l2, k3, l3);
      rate(t + h, temp + h * k3, maturity + h * l3, k4, l4);
      temp += h / 6.0 * (k1 + 2.0 * k2 + 2.0 * k3 + k4);
      maturity += h / 6.0 * (l1 + 2.0 * l2 + 2.0 * l3 + l4);
    }
    run.temperature[i + 1] = temp;
  }
  run.finalMaturity = maturity;
  return run;
}

/// The problem the optimiser sees: residuals (fitted − measured) / scale of all points
/// as a function of the logarithms of the unknowns.
class Problem : public Eigen::DenseFunctor<double> {
 public:
  Problem(const FitRequest& request, const std::vector<Series>& records,
          std::vector<Unknown> unknowns)
      : DenseFunctor(static_cast<int>(unknowns.size()), CountValues(request.type, records)),
        request_(request),
        records_(records),
        unknowns_(std::move(unknowns)) {
    for (std::size_t f = 0; f < records_.size(); ++f)
      for (std::size_t i = First(); i < records_[f].size(); ++i)
        largest_ = std::max(largest_, Signal(f, i));
    if (request.type == FitType::MaturityHeat) SetErrorModel(kErrorFloor * largest_, 1.0);
  }

  /// Weights the readings by the error model sd² = a² + (b·s)² (a in the readings' unit).
  void SetErrorModel(double a, double b) {
    errorA_ = a;
    errorB_ = b;
  }
  std::pair<double, double> ErrorModel() const { return {errorA_, errorB_}; }

  /// Estimates a and b of the error model from the residuals (fitted − measured, in the
  /// readings' unit) of a fit by maximum likelihood: r² regressed on a² + b²·s², each
  /// point weighted by its variance's inverse square and the weights iterated, with
  /// b ≥ 0 and a at least kErrorFloor·b·(largest signal). Keeps the model when the
  /// residuals say nothing.
  void EstimateErrorModel(const std::vector<std::vector<double>>& model) {
    std::vector<double> s2, r2;
    for (std::size_t f = 0; f < records_.size(); ++f)
      for (std::size_t i = First(); i < records_[f].size(); ++i) {
        const double r = model[f][i] - records_[f].y[i];
        s2.push_back(Signal(f, i) * Signal(f, i));
        r2.push_back(r * r);
      }
    double mean = 0.0;
    for (double r : r2) mean += r / static_cast<double>(r2.size());
    if (r2.size() < 3 || !(mean > 0.0) || !std::isfinite(mean)) return;
    const double floor2 = kErrorFloor * kErrorFloor * largest_ * largest_;
    double a2 = mean, b2 = 0.0;
    for (int iteration = 0; iteration < 50; ++iteration) {
      double w0 = 0, w1 = 0, w2 = 0, y0 = 0, y1 = 0, g2 = 0, gy = 0;
      for (std::size_t k = 0; k < r2.size(); ++k) {
        const double v = a2 + b2 * s2[k];
        const double w = 1.0 / (v * v);
        const double g = floor2 + s2[k];  // a² = floor²·b² on the lower bound
        w0 += w, w1 += w * s2[k], w2 += w * s2[k] * s2[k];
        y0 += w * r2[k], y1 += w * s2[k] * r2[k];
        g2 += w * g * g, gy += w * g * r2[k];
      }
      const double det = w0 * w2 - w1 * w1;
      double na2 = det > 0.0 ? (w2 * y0 - w1 * y1) / det : y0 / w0;
      double nb2 = det > 0.0 ? (w0 * y1 - w1 * y0) / det : 0.0;
      if (!(nb2 > 0.0)) {
        nb2 = 0.0, na2 = y0 / w0;
      } else if (!(na2 >= floor2 * nb2)) {
        nb2 = gy / g2, na2 = floor2 * nb2;
      }
      if (!(na2 > 0.0) || !std::isfinite(na2) || !std::isfinite(nb2)) return;
      const bool settled = std::abs(na2 - a2) <= 1e-6 * a2 && std::abs(nb2 - b2) <= 1e-6 * nb2;
      a2 = na2, b2 = nb2;
      if (settled) break;
    }
    SetErrorModel(std::sqrt(a2), std::sqrt(b2));
  }

  /// Parameters for the unknowns u (logarithms; clamped into their ranges).
  Parameters At(const InputType& u) const {
    Parameters p = request_.start;
    for (std::size_t j = 0; j < unknowns_.size(); ++j) {
      const Range r = RangeOf(unknowns_[j]);
      Slot(p, unknowns_[j]) = std::clamp(std::exp(u[static_cast<Eigen::Index>(j)]), r.low, r.high);
    }
    return p;
  }

  /// Fitted values of every record at its points.
  std::vector<std::vector<double>> Model(const Parameters& p) const {
    std::vector<std::vector<double>> out;
    for (std::size_t f = 0; f < records_.size(); ++f) {
      const Series& r = records_[f];
      if (request_.type == FitType::MaturityHeat) {
        std::vector<double> q(r.size());
        for (std::size_t i = 0; i < r.size(); ++i)
          q[i] = p.wc0 * DegreeOfHydration(p, r.x[i] * kHour);
        out.push_back(std::move(q));
      } else {
        out.push_back(
            RunBox(r, ConcreteOf(f), p, request_.type == FitType::TimeTemperature).temperature);
      }
    }
    return out;
  }

  int operator()(const InputType& u, ValueType& residual) const {
    const auto model = Model(At(u));
    Eigen::Index k = 0;
    for (std::size_t f = 0; f < records_.size(); ++f)
      for (std::size_t i = First(); i < records_[f].size(); ++i) {
        const double d = (model[f][i] - records_[f].y[i]) / Weight(f, i);
        residual[k++] = std::isfinite(d) ? d : 1e10;
      }
    return 0;
  }

  Concrete ConcreteOf(std::size_t f) const {
    return f < request_.concrete.size() ? request_.concrete[f] : Concrete{};
  }
  /// Standard deviation of point i of record r under the error model.
  double Weight(std::size_t f, std::size_t i) const {
    return std::hypot(errorA_, errorB_ * Signal(f, i));
  }
  const std::vector<Unknown>& Unknowns() const { return unknowns_; }

 private:
  // The first temperature of a box record is where its integration starts.
  std::size_t First() const { return request_.type == FitType::MaturityHeat ? 0 : 1; }
  /// The signal of point i of record f: its heat, or its temperature change since the
  /// record's first reading.
  double Signal(std::size_t f, std::size_t i) const {
    const Series& r = records_[f];
    return request_.type == FitType::MaturityHeat ? std::abs(r.y[i]) : std::abs(r.y[i] - r.y[0]);
  }
  static int CountValues(FitType type, const std::vector<Series>& records) {
    int n = 0;
    for (const Series& r : records)
      n += static_cast<int>(r.size()) - (type == FitType::MaturityHeat ? 0 : 1);
    return n;
  }

  const FitRequest& request_;
  const std::vector<Series>& records_;
  std::vector<Unknown> unknowns_;
  double largest_ = 0.0;  // largest signal of all records
  double errorA_ = 1.0;   // error model: sd² = a² + (b·signal)²
  double errorB_ = 0.0;
};

struct HeatPoint {
  double maturity;  // s
  double heat;      // J/kg
};

/// λ1 and κ1 from the straight line ln(−ln(Q/Wc0)) = ln λ1 − κ1·ln(ln(1 + t_e/t1)) for
/// given Wc0 and t1; returns the sum of squared heat residuals of the curve, or infinity
/// when too few points lie inside the curve.
double LinearisedStart(const std::vector<HeatPoint>& points, Parameters& p) {
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  int n = 0;
  for (const HeatPoint& q : points) {
    const double a = q.heat / p.wc0;
    if (!(a > 0.01 && a < 0.99) || !(q.maturity > 0.0)) continue;
    const double x = std::log(std::log1p(q.maturity / p.t1));
    const double y = std::log(-std::log(a));
    sx += x, sy += y, sxx += x * x, sxy += x * y, ++n;
  }
  const double det = n * sxx - sx * sx;
  if (n < 3 || !(std::abs(det) > 1e-12 * n * sxx)) return std::numeric_limits<double>::infinity();
  const double slope = (n * sxy - sx * sy) / det;
  p.kappa1 = std::clamp(-slope, 0.05, 20.0);
  p.lambda1 = std::clamp(std::exp((sy - slope * sx) / n), 1e-2, 1e2);
  double ssr = 0.0;
  for (const HeatPoint& q : points) {
    const double d = p.wc0 * DegreeOfHydration(p, q.maturity) - q.heat;
    ssr += d * d;
  }
  return ssr;
}

/// Starting points for λ1, κ1 (and t1, Wc0 where they are fitted) from heat points, the
/// best first.
std::vector<Parameters> HeatCurveStarts(const std::vector<HeatPoint>& points, int set,
                                        const Parameters& start) {
  double largest = 0.0;
  for (const HeatPoint& q : points) largest = std::max(largest, q.heat);
  std::vector<double> t1s{start.t1};
  if (set >= 2)
    for (double h : {2.0, 5.0, 10.0, 20.0, 40.0}) t1s.push_back(h * kHour);
  std::vector<double> wc0s{start.wc0};
  if (set >= 3) wc0s = {1.02 * largest, 1.1 * largest, 1.25 * largest, 1.5 * largest};
  std::vector<std::pair<double, Parameters>> ranked;
  for (double t1 : t1s)
    for (double wc0 : wc0s) {
      if (!(t1 > 0.0) || !(wc0 > 0.0)) continue;
      Parameters p = start;
      p.t1 = t1, p.wc0 = wc0;
      const double ssr = LinearisedStart(points, p);
      if (std::isfinite(ssr)) ranked.emplace_back(ssr, p);
    }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<Parameters> starts;
  for (std::size_t i = 0; i < ranked.size() && i < kStarts; ++i) starts.push_back(ranked[i].second);
  if (starts.empty()) {  // no line through the points: a typical cement
    starts.push_back(start);
    starts.back().lambda1 = 1.5, starts.back().kappa1 = 1.5;
  }
  return starts;
}

/// Heat points derived from a box record by the energy balance with the measured
/// temperatures: Q = ρc/C·((T − T_first) + k·∫(T − Ts)dt), t_e = ∫β(T)dt.
std::vector<HeatPoint> DerivedHeat(const Series& r, const Concrete& c, const Parameters& p) {
  const engine::HydrationParams law = LawOf(p, c.cement);
  std::vector<HeatPoint> out;
  double loss = 0.0;
  double maturity = std::max(r.x[0], 0.0) * kHour * engine::MaturityRate(law, r.y[0]);
  for (std::size_t i = 1; i < r.size(); ++i) {
    const double dt = (r.x[i] - r.x[i - 1]) * kHour;
    loss += 0.5 * dt * ((r.y[i] - r.ambient[i]) + (r.y[i - 1] - r.ambient[i - 1]));
    maturity +=
        0.5 * dt * (engine::MaturityRate(law, r.y[i]) + engine::MaturityRate(law, r.y[i - 1]));
    out.push_back(
        {maturity, c.density * c.specificHeat / c.cement * (r.y[i] - r.y[0] + p.heatLoss * loss)});
  }
  return out;
}

/// k from the decay of ln|T − Ts| of a cooling record.
double CoolingStart(const Series& r) {
  const double first = std::abs(r.y[0] - r.ambient[0]);
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  int n = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    const double d = std::abs(r.y[i] - r.ambient[i]);
    if (!(d > 0.1 * first)) continue;
    const double x = r.x[i] * kHour, y = std::log(d);
    sx += x, sy += y, sxx += x * x, sxy += x * y, ++n;
  }
  const double det = n * sxx - sx * sx;
  const double k = n >= 2 && det > 0.0 ? -(n * sxy - sx * sy) / det : 0.0;
  return k > 0.0 && std::isfinite(k) ? k : 5e-6;
}

void CheckPositive(double value, const char* what) {
  if (!(value > 0.0) || !std::isfinite(value))
    throw FitError(fmt::format("{} must be a positive number (it is {})", what, value));
}

void CheckRequest(const FitRequest& r) {
  const int type = static_cast<int>(r.type);
  if (type < 1 || type > 3)
    throw FitError(fmt::format("calculation type {} is none of 1, 2 and 3", type));
  if (r.type != FitType::HeatLoss && (r.set < 1 || r.set > 3))
    throw FitError(fmt::format("parameter set {} is none of 1, 2 and 3", r.set));
  const std::size_t most = r.type == FitType::TimeTemperature ? 3 : 1;
  if (r.files.empty() || r.files.size() > most)
    throw FitError(fmt::format("{} input files given; this calculation takes {}", r.files.size(),
                               most == 3 ? "1 to 3" : "exactly 1"));
  if (r.type == FitType::TimeTemperature) {
    for (std::size_t f = 0; f < r.files.size(); ++f) {
      const Concrete c = f < r.concrete.size() ? r.concrete[f] : Concrete{};
      CheckPositive(c.density, "The mass density of concrete");
      CheckPositive(c.specificHeat, "The specific heat of concrete");
      CheckPositive(c.cement, "The cement content");
    }
    if (!(r.start.heatLoss >= 0.0) || !std::isfinite(r.start.heatLoss))
      throw FitError("The heat loss coefficient must not be negative");
    if (!std::isfinite(r.start.theta0) || !std::isfinite(r.start.kappa0))
      throw FitError("Theta-0 and Kappa-0 must be numbers");
  }
  if (r.type != FitType::HeatLoss) {
    if (r.set == 1) CheckPositive(r.start.t1, "t-1");
    if (r.set <= 2) CheckPositive(r.start.wc0, "The total energy Wc0");
  }
}

std::vector<Unknown> UnknownsOf(const FitRequest& r) {
  if (r.type == FitType::HeatLoss) return {Unknown::HeatLoss};
  std::vector<Unknown> u{Unknown::Lambda1, Unknown::Kappa1};
  if (r.set >= 2) u.push_back(Unknown::T1);
  if (r.set >= 3) u.push_back(Unknown::Wc0);
  return u;
}

/// Fitted parameters that the records do not determine.
void CheckDetermined(const Problem& problem, const Eigen::VectorXd& u, const FitRequest& request,
                     const std::vector<Series>& records, const Parameters& p) {
  const auto& unknowns = problem.Unknowns();
  // Wc0 needs a record that reaches well into the plateau of its heat curve.
  if (std::find(unknowns.begin(), unknowns.end(), Unknown::Wc0) != unknowns.end()) {
    double reached = 0.0;
    for (std::size_t f = 0; f < records.size(); ++f) {
      const double maturity =
          request.type == FitType::MaturityHeat
              ? records[f].x.back() * kHour
              : RunBox(records[f], problem.ConcreteOf(f), p, true).finalMaturity;
      reached = std::max(reached, DegreeOfHydration(p, maturity));
    }
    // Standard error of ln Wc0 from the Jacobian at the solution.
    Eigen::NumericalDiff<Problem, Eigen::Central> diff(problem);
    Eigen::MatrixXd jac(problem.values(), problem.inputs());
    diff.df(u, jac);
    Eigen::VectorXd res(problem.values());
    problem(u, res);
    const double dof = std::max<double>(1.0, problem.values() - problem.inputs());
    const Eigen::MatrixXd cov =
        (jac.transpose() * jac)
            .ldlt()
            .solve(Eigen::MatrixXd::Identity(problem.inputs(), problem.inputs()));
    const double err =
        std::sqrt(res.squaredNorm() / dof * cov(problem.inputs() - 1, problem.inputs() - 1));
    if (reached < kPlateauAlpha || !(err <= kMaxRelativeError))
      throw FitError(fmt::format(
          "the records reach only {:.0f} % of the fitted total heat Wc0 = {:.6g} J/kg: their "
          "plateau is too short to determine Wc0 (give Wc0 and fit set 2, or use a longer record)",
          100.0 * reached, p.wc0));
  }
  for (std::size_t j = 0; j < unknowns.size(); ++j) {
    const Range r = RangeOf(unknowns[j]);
    const double v = std::exp(u[static_cast<Eigen::Index>(j)]);
    if (!(v > r.low * (1 + 1e-6) && v < r.high * (1 - 1e-6)))
      throw FitError(
          fmt::format("the fit did not converge: {} ran to the edge of its range [{:g}, "
                      "{:g}]; the records do not fit the heat-development law",
                      r.name, r.low, r.high));
  }
}

const char* StatusText(Eigen::LevenbergMarquardtSpace::Status s) {
  using namespace Eigen::LevenbergMarquardtSpace;
  switch (s) {
    case ImproperInputParameters:
      return "improper input to the optimiser";
    case TooManyFunctionEvaluation:
      return "too many model evaluations without convergence";
    case UserAsked:
      return "the model could not be evaluated";
    default:
      return "no convergence";
  }
}

/// Levenberg-Marquardt from each of `starts`; the solution with the smallest sum of
/// squares. Throws FitError when no start converges.
Eigen::VectorXd Minimise(const Problem& problem, const std::vector<Eigen::VectorXd>& starts,
                         int& evaluations) {
  using namespace Eigen::LevenbergMarquardtSpace;
  Eigen::VectorXd best;
  double least = std::numeric_limits<double>::infinity();
  Status failure = NotStarted;
  for (Eigen::VectorXd x : starts) {
    Eigen::NumericalDiff<Problem, Eigen::Central> diff(problem);
    Eigen::LevenbergMarquardt<Eigen::NumericalDiff<Problem, Eigen::Central>> lm(diff);
    lm.setMaxfev(2000);
    lm.setXtol(1e-12);
    lm.setFtol(1e-14);
    const Status status = lm.minimize(x);
    evaluations += static_cast<int>(lm.nfev());
    if (status == ImproperInputParameters || status == TooManyFunctionEvaluation ||
        status == UserAsked || !x.allFinite() || !std::isfinite(lm.fnorm())) {
      failure = status;
      continue;
    }
    if (lm.fnorm() < least) least = lm.fnorm(), best = x;
  }
  if (best.size() == 0)
    throw FitError(fmt::format("the fit did not converge: {}", StatusText(failure)));
  return best;
}

}  // namespace

double DegreeOfHydration(const Parameters& p, double maturity) {
  return engine::DegreeOfHydration(LawOf(p, 0.0), maturity).alpha;
}

std::vector<double> BoxTemperatures(const Series& record, const Concrete& concrete,
                                    const Parameters& p, bool hydration) {
  if (record.size() == 0 || record.ambient.size() != record.size())
    throw FitError("a box record needs time, concrete and surrounding temperature at each point");
  return RunBox(record, concrete, p, hydration).temperature;
}

FitOutcome Fit(const FitRequest& request) {
  CheckRequest(request);
  const std::vector<Unknown> unknowns = UnknownsOf(request);
  const SeriesKind kind =
      request.type == FitType::MaturityHeat ? SeriesKind::Heat : SeriesKind::Temperature;
  std::vector<Series> records;
  std::size_t points = 0;
  for (const auto& file : request.files) {
    records.push_back(ReadSeries(file, kind, 3));
    points += records.back().size() - (kind == SeriesKind::Heat ? 0 : 1);
  }
  if (points < unknowns.size() + 2)
    throw FitError(fmt::format("the records hold {} points to fit; {} unknowns need at least {}",
                               points, unknowns.size(), unknowns.size() + 2));

  FitRequest seeded = request;
  Parameters& s = seeded.start;
  if (!(s.t1 > 0.0) || !std::isfinite(s.t1)) s.t1 = 10.0 * kHour;
  if (!(s.wc0 > 0.0) || !std::isfinite(s.wc0)) s.wc0 = 4e5;
  std::vector<Parameters> starts;
  if (request.type == FitType::HeatLoss) {
    starts.push_back(s);
    starts.back().heatLoss = CoolingStart(records[0]);
  } else {
    std::vector<HeatPoint> heat;
    for (std::size_t f = 0; f < records.size(); ++f) {
      if (request.type == FitType::MaturityHeat) {
        for (std::size_t i = 0; i < records[f].size(); ++i)
          heat.push_back({records[f].x[i] * kHour, records[f].y[i]});
      } else {
        const Concrete c = f < request.concrete.size() ? request.concrete[f] : Concrete{};
        const auto derived = DerivedHeat(records[f], c, s);
        heat.insert(heat.end(), derived.begin(), derived.end());
      }
    }
    starts = HeatCurveStarts(heat, request.set, s);
  }

  // The optimiser from each starting point, the smallest sum of squares winning; then
  // once more with the error model estimated from its residuals.
  Problem problem(seeded, records, unknowns);
  std::vector<Eigen::VectorXd> xs;
  for (Parameters start : starts) {
    Eigen::VectorXd x(static_cast<Eigen::Index>(unknowns.size()));
    for (std::size_t j = 0; j < unknowns.size(); ++j) {
      const Range r = RangeOf(unknowns[j]);
      x[static_cast<Eigen::Index>(j)] =
          std::log(std::clamp(Slot(start, unknowns[j]), r.low, r.high));
    }
    xs.push_back(std::move(x));
  }
  int evaluations = 0;
  Eigen::VectorXd u = Minimise(problem, xs, evaluations);
  const auto [a, b] = problem.ErrorModel();
  problem.EstimateErrorModel(problem.Model(problem.At(u)));
  try {
    u = Minimise(problem, {u}, evaluations);
  } catch (const FitError&) {
    problem.SetErrorModel(a, b);  // the weighted fit went astray: the first one stands
  }

  FitOutcome out;
  out.values = problem.At(u);
  out.evaluations = evaluations;
  CheckDetermined(problem, u, seeded, records, out.values);
  const auto model = problem.Model(out.values);
  double sum = 0.0;
  std::size_t n = 0;
  for (std::size_t f = 0; f < records.size(); ++f) {
    for (std::size_t i = kind == SeriesKind::Heat ? 0 : 1; i < records[f].size(); ++i, ++n)
      sum += (model[f][i] - records[f].y[i]) * (model[f][i] - records[f].y[i]);
    out.curves.push_back({records[f].file, records[f].x, records[f].y, model[f]});
  }
  out.rms = std::sqrt(sum / static_cast<double>(std::max<std::size_t>(n, 1)));
  return out;
}

}  // namespace vemto::heatfit
