#include "TemperatureStep.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cmath>
#include <cstring>

#include <fmt/format.h>

#include "History.h"
#include "Hydration.h"

namespace vemto::engine {

std::string JacobianMessage(const ElementFailure& f) {
  if (f.kind == ElementKind::kTemperatureNotANumber || f.kind == ElementKind::kHeatFlowNotANumber)
    return fmt::format(" NUMERICAL FAILURE: {} NOT A NUMBER AT NODE{:7d}",
                       f.kind == ElementKind::kTemperatureNotANumber ? "TEMPERATURE" : "HEAT FLOW",
                       f.element);
  const char* text = "JACOBIAN NONPOSITIVE IN FINITE ELEMENT NO.";
  if (f.kind == ElementKind::kInfiniteBoundary)
    text = "JACOBIAN NONPOSITIVE IN INFINITE ELEMENT (BOUNDARY) NO.";
  else if (f.kind == ElementKind::kInfiniteCorner)
    text = "JACOBIAN NONPOSITIVE IN INFINITE ELEMENT (CORNER) NO.";
  return fmt::format(" {}{:5d}", text, f.element);
}

std::string ThermalMaterialProblem(const double* pel) {
  const double lambda = pel[3], rhoc = pel[4] * pel[5];
  if (!(lambda > 0.0)) return fmt::format("thermal conductivity {:g} is not positive", lambda);
  if (!(rhoc > 0.0))
    return fmt::format("heat capacity rho c = {:g} * {:g} is not positive", pel[4], pel[5]);
  if (std::lround(pel[0]) == 1) {
    if (!(pel[12] > 0.0))
      return fmt::format("t1 {:g} of the hydration curve is not positive", pel[12]);
    const double rise = pel[10] * pel[8] / rhoc;  // Q_inf C / (rho c)
    if (!(rise <= 200.0))
      return fmt::format(
          "heat of hydration {:g} J/kg and cement content {:g} kg/m3 give an"
          " adiabatic temperature rise of {:g} K",
          pel[10], pel[8], rise);
  }
  return {};
}

namespace {

// Element activity window of a material (thermal rows 2 and 3), tolerance 1e-6 s.
inline bool Active(double cast, double removal, double t) {
  return cast + kHistoryTolerance <= t && t <= removal + kHistoryTolerance;
}

inline HistoryView History2(const numlib::RealMatrix& col, int j, int coefficients) {
  const double* c = &col(1, j);
  return {c + 1 + coefficients, static_cast<int>(std::lround(c[0])), 2};
}

}  // namespace

TemperatureStep::TemperatureStep(RunData& d, WorkingCallback working)
    : d_(d),
      working_(working),
      solver_(d.solver, d.header.nNodes,
              d.solver == SolverKind::kBand
                  ? BandMatrix{d.m.RK.Data(), d.header.nNodes, d.halfBandWidth}
                  : BandMatrix{}),
      pool_(ThreadsFromEnvironment()),
      axi_(d.header.ThermalAxiFlag() == 2 ? ThermalAxi::kAxisymmetric : ThermalAxi::kPlane) {
  solver_.SetWorkerPool(&pool_);
  const AnalysisHeader& h = d.header;
  const auto n8 = static_cast<std::size_t>(std::max(h.nEl8, 0));
  capacityDt_.assign(64 * n8, 0.0);
  loadWeights_.assign(4 * n8, 0.0);
  cacheDt_.assign(n8, 0.0);
  heat_.assign(4 * n8, 0.0);
  std::size_t items = n8;
  for (int n : {h.nEl5, h.nEl3, h.nEdgeTempEdges, h.nSurfTempEls, h.nNodalTempPos})
    items += static_cast<std::size_t>(std::max(n, 0));
  signature_.assign(items, 0);
  keptSignature_.assign(items, 0);
}

void TemperatureStep::MatrixSignature(double t) {
  const RunMatrices& m = d_.m;
  const AnalysisHeader& h = d_.header;
  std::size_t k = 0;
  for (int e = 1; e <= h.nEl8; ++e) {
    const double* pel = &m.PEL(1, m.LEL(e));
    const bool active = Active(pel[1], pel[2], t);
    const bool pipe = active && m.LWT(1, e) != 0 && PipeActive(m.LWT(2, e), t);
    signature_[k++] = static_cast<std::uint8_t>((active ? 1 : 0) | (pipe ? 2 : 0));
  }
  for (int e = 1; e <= h.nEl5; ++e) {
    const double* pel = &m.PEL(1, m.LI1(e));
    signature_[k++] = Active(pel[1], pel[2], t) ? 1 : 0;
  }
  for (int e = 1; e <= h.nEl3; ++e) {
    const double* pel = &m.PEL(1, m.LI2(e));
    signature_[k++] = Active(pel[1], pel[2], t) ? 1 : 0;
  }
  for (int i = 1; i <= h.nEdgeTempEdges; ++i)
    signature_[k++] = ThermalActive(History2(m.PSE, m.LSE(i), 1), t) ? 1 : 0;
  for (int i = 1; i <= h.nSurfTempEls; ++i)
    signature_[k++] = ThermalActive(History2(m.PSA, m.LSA(i), 1), t) ? 1 : 0;
  for (int i = 1; i <= h.nNodalTempPos; ++i)
    signature_[k++] = ThermalActive(History2(m.PPV, m.LLPV(i), 1), t) ? 1 : 0;
  assert(k == signature_.size());
}

Point2 TemperatureStep::Node(int n) const {
  return {d_.m.COOR(1, n), d_.m.COOR(2, n)};
}

bool TemperatureStep::IsNew(double castTime, double tPrev) const {
  // New in this step: cast after the previous step's end, or present when the run
  // starts (also cast before the start), so that it starts from its own initial state.
  return tPrev < castTime + kHistoryTolerance || tPrev <= d_.header.initialTime + kHistoryTolerance;
}

bool TemperatureStep::PipeActive(int pipe, double t) const {
  const double* c = &d_.m.PWT(1, pipe);
  return ThermalActive({c + 7, static_cast<int>(std::lround(c[0])), 3}, t);
}

double TemperatureStep::PipeWaterTemperature(int pipe, int pass) const {
  const int smax = static_cast<int>(std::lround(d_.m.PWT(7, pipe)));
  return d_.m.QWT(3 + smax + pass, pipe);
}

void TemperatureStep::UpdatePipes(double t) {
  RunMatrices& m = d_.m;
  const AnalysisHeader& h = d_.header;
  // Heat extracted at each pass in the previous step.
  for (int e = 1; e <= h.nEl8; ++e) {
    const int corner = m.LWT(1, e);
    if (corner == 0) continue;
    m.QWT(3 + m.LWT(3, e), m.LWT(2, e)) = -m.Q(m.ITOP(corner, e));
  }
  for (int p = 1; p <= h.nPipeConds; ++p) {
    const double* c = &m.PWT(1, p);
    const int smax = static_cast<int>(std::lround(c[6]));
    const double length = c[3], rhoc = c[4];
    double sum = 0.0;
    for (int s = 1; s <= smax; ++s) sum += m.QWT(3 + s, p);
    const double heat = length * sum;
    const HistoryView hist{c + 7, static_cast<int>(std::lround(c[0])), 3};
    const HistoryInterval iv = FindInterval(hist, t);
    if (iv.j >= 0) {
      auto value = [&](int v) {
        return hist.Value(iv.j, v) + iv.fraction * (hist.Value(iv.j + 1, v) - hist.Value(iv.j, v));
      };
      const double tin = value(1);
      double tout = 0.0, flow = 0.0;
      if (std::lround(c[5]) == 0) {
        flow = value(2);
        // Without flow the water cannot carry the heat away: it stays at the inflow
        // temperature (instead of an infinite or undefined outflow temperature).
        tout = std::fabs(flow) <= 1e-50 ? tin : heat / (rhoc * flow) + tin;
      } else {
        tout = value(2);
        const double dTw = tout - tin;
        // Equal temperatures and no heat leave the flow undetermined: no flow.
        flow = (dTw == 0.0 && heat == 0.0) ? 0.0 : heat / (dTw * rhoc);
      }
      m.QWT(1, p) = tin;
      m.QWT(2, p) = tout;
      m.QWT(3, p) = flow;
    }
    const double tin = m.QWT(1, p), flow = m.QWT(3, p);
    if (!(std::fabs(flow) > 1e-50) || !std::isfinite(flow)) {
      for (int s = 1; s <= smax; ++s) m.QWT(3 + smax + s, p) = tin;
    } else {
      double tw = tin + 0.5 * length * m.QWT(4, p) / (rhoc * flow);
      for (int s = 1; s <= smax; ++s) {
        m.QWT(3 + smax + s, p) = tw;
        if (s < smax) tw += 0.5 * length * (m.QWT(3 + s, p) + m.QWT(4 + s, p)) / (rhoc * flow);
      }
    }
  }
}

ElementFailure TemperatureStep::AssembleElements(double t, double dt) {
  RunMatrices& m = d_.m;
  const AnalysisHeader& h = d_.header;
  const double tPrev = t - dt;
  // The hydration of every active element's Gauss points: element by element with
  // results of the element only, so on the pool's threads in ranges of elements.
  auto hydrate = [&](int thread) {
    const int threads = WorkerPool::ThreadsOf(&pool_);
    const auto n8 = static_cast<std::int64_t>(h.nEl8);
    const auto first = static_cast<int>(1 + n8 * thread / threads);
    const auto last = static_cast<int>(n8 * (thread + 1) / threads);
    for (int e = first; e <= last; ++e) {
      const double* pel = &m.PEL(1, m.LEL(e));
      if (!Active(pel[1], pel[2], t)) continue;
      const bool isNew = IsNew(pel[1], tPrev);
      const bool hydrating = std::lround(pel[0]) == 1;
      const HydrationParams hp{pel[8],  pel[9],  pel[10], pel[11],
                               pel[12], pel[13], pel[14], pel[15]};
      std::array<double, 8> told;
      for (int k = 0; k < 8; ++k) told[k] = isNew ? pel[6] : m.T(m.ITOP(k + 1, e));
      for (int g = 0; g < 4; ++g) {
        const Shape8& s = GaussShapes()[static_cast<std::size_t>(g)];
        double tg = 0.0;
        for (int k = 0; k < 8; ++k) tg += s.n[k] * told[k];
        if (isNew) m.RM(g + 1, e) = pel[7];
        double& q = heat_[static_cast<std::size_t>(4 * (e - 1) + g)];
        q = 0.0;
        if (hydrating) {
          const HydrationUpdate u = AdvanceHydration(hp, tg, m.RM(g + 1, e), dt);
          m.ALFA(g + 1, e) = u.alpha;
          m.RM(g + 1, e) = u.maturity;
          q = u.heatRate;
        }
      }
    }
  };
  pool_.Run(hydrate);

  std::array<Point2, 8> xy;
  std::array<double, 8> told;
  std::array<int, 8> nodes;
  ThermalMatrices<8> em;
  for (int e = 1; e <= h.nEl8; ++e) {
    const int mat = m.LEL(e);
    const double* pel = &m.PEL(1, mat);
    if (!Active(pel[1], pel[2], t)) continue;
    const bool isNew = IsNew(pel[1], tPrev);
    for (int k = 0; k < 8; ++k) {
      nodes[k] = m.ITOP(k + 1, e);
      xy[k] = Node(nodes[k]);
      told[k] = isNew ? pel[6] : m.T(nodes[k]);
      m.LAV(nodes[k]) = 1;
    }
    ConductionProps props;
    props.lambda = pel[3];
    props.rho = pel[4];
    props.c = pel[5];
    props.thickness = m.THCKN(e) > -0.5 ? m.THCKN(e) : h.thickness;
    for (int g = 0; g < 4; ++g) props.q[g] = heat_[static_cast<std::size_t>(4 * (e - 1) + g)];
    const int corner = m.LWT(1, e);
    const int pipe = m.LWT(2, e);
    const auto ce = static_cast<std::size_t>(e - 1);
    double* cdt = &capacityDt_[64 * ce];
    std::array<double, 4> weights;
    if (corner != 0) {
      if (PipeCornerElement(axi_, props, m.PWT(3, pipe), corner, xy, em) != ElementStatus::kValid)
        return {ElementKind::kFinite, e};
      for (int q = 0; q < 64; ++q) cdt[q] = em.c[static_cast<std::size_t>(q)] / dt;
    } else if (assemble_ || cacheDt_[ce] != dt) {
      // K and C are formed again only for a matrix that is assembled anew.
      if (ConductionElement(axi_, props, xy, em, &weights) != ElementStatus::kValid)
        return {ElementKind::kFinite, e};
      for (int q = 0; q < 64; ++q) cdt[q] = em.c[static_cast<std::size_t>(q)] / dt;
      std::copy(weights.begin(), weights.end(), loadWeights_.begin() + 4 * ce);
      cacheDt_[ce] = dt;
    } else {
      std::copy_n(loadWeights_.begin() + 4 * ce, 4, weights.begin());
      ConductionLoad(props.q, weights, em.f);
    }
    for (int i = 0; i < 8; ++i) {
      double rhs = em.f[i];
      for (int j = 0; j < 8; ++j) rhs += cdt[i * 8 + j] * told[j];
      if (assemble_)
        for (int j = 0; j < 8; ++j)
          solver_.AddUpper(nodes[i], nodes[j], em.K(i, j) + cdt[i * 8 + j]);
      m.RR(nodes[i]) += rhs;
    }
    if (corner != 0 && PipeActive(pipe, t)) {
      const PipeWallTerms w =
          PipeWall(axi_, m.PWT(2, pipe), PipeWaterTemperature(pipe, m.LWT(3, e)), m.PWT(3, pipe),
                   h.thickness, corner, xy);
      const int c = m.ITOP(corner, e);
      if (assemble_) solver_.AddUpper(c, c, w.kcc);
      m.RR(c) += w.fc;
    }
  }
  return {};
}

ElementFailure TemperatureStep::AssembleInfinite(double t, double dt, bool flows) {
  RunMatrices& m = d_.m;
  const AnalysisHeader& h = d_.header;
  const double tPrev = t - dt;
  auto one = [&]<std::size_t N>(const numlib::IntegerMatrix& top, const numlib::IntegerMatrix& mats,
                                int e, ElementKind kind) -> ElementFailure {
    const double* pel = &m.PEL(1, mats(e));
    if (!Active(pel[1], pel[2], t)) return {};
    const bool isNew = IsNew(pel[1], tPrev);
    std::array<Point2, N> xy;
    std::array<int, N> nodes;
    std::array<double, N> told;
    for (std::size_t k = 0; k < N; ++k) {
      nodes[k] = top(static_cast<std::int64_t>(k) + 1, e);
      xy[k] = Node(nodes[k]);
      told[k] = isNew ? pel[6] : m.T(nodes[k]);
      if (!flows) m.LAV(nodes[k]) = 1;
    }
    const InfiniteProps p{pel[3], pel[4], pel[5], pel[6], h.thickness};
    ThermalMatrices<N> em;
    ElementStatus st;
    if constexpr (N == 5)
      st = InfiniteBoundaryElement(axi_, p, xy, em);
    else
      st = InfiniteCornerElement(axi_, p, xy, em);
    if (st != ElementStatus::kValid) return {kind, e};
    for (std::size_t i = 0; i < N; ++i) {
      double rhs = em.f[i];
      double kt = 0.0;
      for (std::size_t j = 0; j < N; ++j) {
        const double cdt = em.C(i, j) / dt;
        rhs += cdt * told[j];
        if (flows)
          kt += (em.K(i, j) + cdt) * m.RU(nodes[j]);
        else if (assemble_)
          solver_.AddUpper(nodes[i], nodes[j], em.K(i, j) + cdt);
      }
      m.RR(nodes[i]) += rhs - kt;
    }
    return {};
  };
  for (int e = 1; e <= h.nEl5; ++e)
    if (ElementFailure f =
            one.template operator()<5>(m.ITOPI1, m.LI1, e, ElementKind::kInfiniteBoundary))
      return f;
  for (int e = 1; e <= h.nEl3; ++e)
    if (ElementFailure f =
            one.template operator()<3>(m.ITOPI2, m.LI2, e, ElementKind::kInfiniteCorner))
      return f;
  return {};
}

void TemperatureStep::AssembleBoundary(double t, bool flows) {
  RunMatrices& m = d_.m;
  const AnalysisHeader& h = d_.header;
  // Adds K and f of an item (or, for the flows, f − K·T_new) to the system.
  auto add = [&]<std::size_t N>(const std::array<int, N>& nodes, const double* k,
                                const std::array<double, N>& f) {
    for (std::size_t i = 0; i < N; ++i) {
      double kt = 0.0;
      for (std::size_t j = 0; j < N; ++j) {
        if (k == nullptr) break;
        if (flows)
          kt += k[i * N + j] * m.RU(nodes[j]);
        else if (assemble_)
          solver_.AddUpper(nodes[i], nodes[j], k[i * N + j]);
      }
      m.RR(nodes[i]) += f[i] - kt;
    }
  };
  for (int i = 1; i <= h.nEdgeTempEdges; ++i) {
    const int c = m.LSE(i);
    const HistoryView hv = History2(m.PSE, c, 1);
    if (!ThermalActive(hv, t)) continue;
    std::array<int, 3> nodes;
    std::array<Point2, 3> xy;
    for (int k = 0; k < 3; ++k) xy[k] = Node(nodes[k] = m.ITOPSE(k + 1, i));
    ThermalMatrices<3> em;
    EdgeHeatTransfer(axi_, m.PSE(2, c), ThermalValue(hv, t), h.thickness, xy, em);
    add(nodes, em.k.data(), em.f);
  }
  for (int i = 1; i <= h.nEdgeFlowEdges; ++i) {
    const HistoryView hv = History2(m.PSF, m.LSF(i), 0);
    if (!ThermalActive(hv, t)) continue;
    std::array<int, 3> nodes;
    std::array<Point2, 3> xy;
    for (int k = 0; k < 3; ++k) xy[k] = Node(nodes[k] = m.ITOPF(k + 1, i));
    std::array<double, 3> f;
    EdgeHeatFlow(axi_, ThermalValue(hv, t), h.thickness, xy, f);
    add(nodes, nullptr, f);
  }
  for (int i = 1; i <= h.nSurfTempEls; ++i) {
    const int c = m.LSA(i);
    const HistoryView hv = History2(m.PSA, c, 1);
    if (!ThermalActive(hv, t)) continue;
    std::array<int, 8> nodes;
    std::array<Point2, 8> xy;
    for (int k = 0; k < 8; ++k) xy[k] = Node(nodes[k] = m.ITOPA(k + 1, i));
    ThermalMatrices<8> em;
    SurfaceHeatTransfer(m.PSA(2, c), ThermalValue(hv, t), xy, em);
    add(nodes, em.k.data(), em.f);
  }
  for (int i = 1; i <= h.nSurfFlowEls; ++i) {
    const HistoryView hv = History2(m.PSG, m.LSG(i), 0);
    if (!ThermalActive(hv, t)) continue;
    std::array<int, 8> nodes;
    std::array<Point2, 8> xy;
    for (int k = 0; k < 8; ++k) xy[k] = Node(nodes[k] = m.ITOPG(k + 1, i));
    std::array<double, 8> f;
    SurfaceHeatFlow(ThermalValue(hv, t), xy, f);
    add(nodes, nullptr, f);
  }
  for (int i = 1; i <= h.nNodalTempPos; ++i) {
    const int c = m.LLPV(i);
    const HistoryView hv = History2(m.PPV, c, 1);
    if (!ThermalActive(hv, t)) continue;
    const int n = m.ITOPP(1, i);
    const double factor = NodalFactor(axi_, Node(n), h.thickness);
    const double k = m.PPV(2, c) * factor;
    add(std::array<int, 1>{n}, &k, std::array<double, 1>{k * ThermalValue(hv, t)});
  }
  for (int i = 1; i <= h.nNodalFlowPos; ++i) {
    const HistoryView hv = History2(m.PNL, m.LNL(i), 0);
    if (!ThermalActive(hv, t)) continue;
    const int n = m.ITOPN(1, i);
    const double factor = NodalFactor(axi_, Node(n), h.thickness);
    add(std::array<int, 1>{n}, nullptr, std::array<double, 1>{ThermalValue(hv, t) * factor});
  }
}

std::vector<std::string> TemperatureStep::MaterialWarnings() const {
  const RunMatrices& m = d_.m;
  const AnalysisHeader& h = d_.header;
  std::vector<bool> used(static_cast<std::size_t>(std::max(h.nMaterials, 0)), false);
  auto use = [&](int mat) {
    if (mat >= 1 && mat <= h.nMaterials) used[static_cast<std::size_t>(mat - 1)] = true;
  };
  for (int e = 1; e <= h.nEl8; ++e) use(m.LEL(e));
  for (int e = 1; e <= h.nEl5; ++e) use(m.LI1(e));
  for (int e = 1; e <= h.nEl3; ++e) use(m.LI2(e));
  std::vector<std::string> out;
  for (int j = 1; j <= h.nMaterials; ++j) {
    if (!used[static_cast<std::size_t>(j - 1)]) continue;
    const std::string problem = ThermalMaterialProblem(&m.PEL(1, j));
    if (!problem.empty())
      out.push_back(fmt::format(" WARNING: THERMAL DATA OF MATERIAL {}: {}", j, problem));
  }
  return out;
}

ElementFailure TemperatureStep::Run(double t, double dt) {
  const auto start = std::chrono::steady_clock::now();
  const ElementFailure f = Step(t, dt);
  seconds_ += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return f;
}

ElementFailure TemperatureStep::Step(double t, double dt) {
  RunMatrices& m = d_.m;
  const AnalysisHeader& h = d_.header;
  const int nn = h.nNodes;
  // The band solver factorises in place: its matrix is assembled in every step. On
  // the sparse path the last matrix is kept while nothing it depends on changed.
  MatrixSignature(t);
  assemble_ = solver_.Kind() != SolverKind::kSparse || !matrixKept_ || dt != keptDt_ ||
              signature_ != keptSignature_;
  if (assemble_) {
    solver_.Clear();
    matrixKept_ = false;
    ++assemblies_;
  }
  std::memset(m.RR.Data(), 0, sizeof(double) * static_cast<std::size_t>(m.RR.Size()));
  std::memset(m.RU.Data(), 0, sizeof(double) * static_cast<std::size_t>(m.RU.Size()));
  std::memset(m.LAV.Data(), 0, sizeof(std::int32_t) * static_cast<std::size_t>(m.LAV.Size()));
  std::memset(m.LPV.Data(), 0, sizeof(std::int32_t) * static_cast<std::size_t>(m.LPV.Size()));

  if (h.nPipeConds > 0) UpdatePipes(t);
  if (ElementFailure f = AssembleElements(t, dt)) return f;
  if (ElementFailure f = AssembleInfinite(t, dt, false)) return f;
  AssembleBoundary(t, false);
  if (assemble_ && solver_.Kind() == SolverKind::kSparse) {
    std::swap(signature_, keptSignature_);
    keptDt_ = dt;
    matrixKept_ = true;
  }

  const auto solveStart = std::chrono::steady_clock::now();
  status_ = solver_.Solve(m.RU.Data(), m.RR.Data(), m.LPV.Data(), m.LAV.Data(), working_);
  solverSeconds_ +=
      std::chrono::duration<double>(std::chrono::steady_clock::now() - solveStart).count();

  // Boundary heat flows with the new temperatures (RU; 0 at inactive nodes).
  for (int n = 1; n <= nn; ++n) {
    if (m.LAV(n) != 1) m.RU(n) = 0.0;
    if (!std::isfinite(m.RU(n))) return {ElementKind::kTemperatureNotANumber, n};
    m.RR(n) = 0.0;
  }
  for (int e = 1; e <= h.nEl8; ++e) {
    const int corner = m.LWT(1, e);
    if (corner == 0) continue;
    const double* pel = &m.PEL(1, m.LEL(e));
    const int pipe = m.LWT(2, e);
    if (!Active(pel[1], pel[2], t) || !PipeActive(pipe, t)) continue;
    std::array<Point2, 8> xy;
    for (int k = 0; k < 8; ++k) xy[k] = Node(m.ITOP(k + 1, e));
    const PipeWallTerms w = PipeWall(axi_, m.PWT(2, pipe), PipeWaterTemperature(pipe, m.LWT(3, e)),
                                     m.PWT(3, pipe), h.thickness, corner, xy);
    const int c = m.ITOP(corner, e);
    m.RR(c) += w.fc - w.kcc * m.RU(c);
  }
  AssembleInfinite(t, dt, true);
  AssembleBoundary(t, true);
  for (int n = 1; n <= nn; ++n)
    if (m.LAV(n) == 1 && !std::isfinite(m.RR(n))) return {ElementKind::kHeatFlowNotANumber, n};

  for (int n = 1; n <= nn; ++n) {
    if (m.LAV(n) == 1) {
      m.DT(n) = (m.RU(n) - m.T(n)) / dt;
      m.T(n) = m.RU(n);
      m.Q(n) = m.RR(n);
    } else {
      m.DT(n) = 0.0;
      m.T(n) = 0.0;
      m.Q(n) = 0.0;
    }
  }
  return {};
}

}  // namespace vemto::engine
