#include "MechStressStep.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstring>

#include <fmt/format.h>

#include "ConcreteModel.h"
#include "MechElement.h"
#include "VemtoListener.h"

namespace vemto::engine::mech {

namespace {

constexpr double kTol = 1e-6;  // time tolerance of activity tests (s)

// A history stored as n points of (t, value x, value y) from `pts`.
struct History3 {
  const double* pts = nullptr;
  int n = 0;
  double time(int k) const { return pts[3 * k]; }
  double value(int k, int v) const { return pts[3 * k + v]; }
  double first() const { return time(0); }
  double last() const { return time(n - 1); }
};

// History of column c of a condition matrix with `lead` values after the count.
History3 conditionHistory(const numlib::RealMatrix& m, int c, int lead) {
  const double* col = &m(1, c);
  const auto room = static_cast<long>((m.Rows() - 1 - lead) / 3);
  const long n = std::clamp(std::lround(col[0]), 0L, room);
  return {col + 1 + lead, static_cast<int>(n)};
}

// Springs and loads: active while the step touches the history.
bool springLoadActive(const History3& h, double t, double tPrev) {
  return h.n > 0 && tPrev <= h.last() + kTol && h.first() + kTol <= t;
}

// Springs and loads: 0 outside (t1 + tol, tn + tol], linear in the first interval with
// t_j + tol < tau <= t_j+1 + tol.
double springLoadValue(const History3& h, double tau, int v) {
  if (h.n <= 0 || tau <= h.first() + kTol || tau > h.last() + kTol) return 0.0;
  for (int j = 0; j + 1 < h.n; ++j) {
    const double t0 = h.time(j), t1 = h.time(j + 1);
    if (t0 + kTol < tau && tau <= t1 + kTol) {
      const double f = t1 > t0 ? (tau - t0) / (t1 - t0) : 1.0;
      return h.value(j, v) + f * (h.value(j + 1, v) - h.value(j, v));
    }
  }
  return 0.0;
}

// Prescribed displacements: active within [t1 + tol, tn + tol].
bool prescribedActive(const History3& h, double t) {
  return h.n > 0 && h.first() + kTol <= t && t <= h.last() + kTol;
}

// Prescribed displacements: linear in the first interval with t_j <= t <= t_j+1, the last
// value beyond.
double prescribedValue(const History3& h, double t, int v) {
  for (int j = 0; j + 1 < h.n; ++j) {
    const double t0 = h.time(j), t1 = h.time(j + 1);
    if (t0 <= t && t <= t1) {
      const double f = t1 > t0 ? (t - t0) / (t1 - t0) : 1.0;
      return h.value(j, v) + f * (h.value(j + 1, v) - h.value(j, v));
    }
  }
  return h.value(h.n - 1, v);
}

bool finite4(const Vector4& v) {
  return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]) && std::isfinite(v[3]);
}

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

MechStressStep::MechStressStep(RunData& d, WorkingCallback working)
    : d_(d),
      working_(working),
      solver_(d.solver, 2 * d.header.nNodes,
              d.solver == SolverKind::kBand
                  ? BandMatrix{d.m.RK.Data(), 2 * d.header.nNodes, 2 * d.halfBandWidth}
                  : BandMatrix{}),
      analysis_(analysisTypeFromCode(d.header.analysisType)),
      pool_(ThreadsFromEnvironment()),
      work_(static_cast<std::size_t>(WorkerPool::kMaxThreads)) {
  // The stiffness changes slowly with maturity: the last factorisation preconditions
  // conjugate gradients for the next steps.
  solver_.SetIterativeReuse(true);
  solver_.SetWorkerPool(&pool_);
  ColourElements();
  if (solver_.Kind() == SolverKind::kSparse) {
    const auto n8 = static_cast<std::size_t>(std::max(d.header.nEl8, 0));
    places_.assign(kElementEntries * n8, -1);
    placesVersion_.assign(n8, 0);
  }
  const int nm = d.header.nMaterials;
  materials_.reserve(static_cast<std::size_t>(nm));
  for (int j = 1; j <= nm; ++j)
    materials_.push_back(ConcreteMaterial::fromColumns(
        std::span<const double>(&d.m.PELS(1, j), kConcreteParameterRows),
        std::span<const int>(&d.m.IPELS(1, j), kConcreteSwitchRows)));
}

void MechStressStep::Fail(numlib::ProgressChannel& channel, const std::string& text) {
  channel.SendError(VEMTO_ERROR_GENERAL, text);
}

void MechStressStep::ColourElements() {
  const RunMatrices& m = d_.m;
  const int nEl = std::max(d_.header.nEl8, 0);
  const int blocks = (nEl + kColourBlock - 1) / kColourBlock;
  // Greedy in block order: the smallest colour none of the block's nodes has yet.
  constexpr int kColours = 64;
  std::vector<std::uint64_t> used(static_cast<std::size_t>(std::max(d_.header.nNodes, 0)) + 1, 0);
  std::vector<int> colour(static_cast<std::size_t>(blocks));
  std::array<int, kColours + 1> count{};
  for (int b = 0; b < blocks; ++b) {
    const int first = b * kColourBlock + 1, last = std::min(nEl, first + kColourBlock - 1);
    std::uint64_t taken = 0;
    for (int e = first; e <= last; ++e)
      for (int k = 1; k <= 8; ++k) taken |= used[static_cast<std::size_t>(m.ITPS(k, e))];
    int c = kColours;  // none left: the group done on one thread
    if (~taken != 0) c = std::countr_zero(~taken);
    colour[static_cast<std::size_t>(b)] = c;
    ++count[static_cast<std::size_t>(c)];
    if (c < kColours)
      for (int e = first; e <= last; ++e)
        for (int k = 1; k <= 8; ++k)
          used[static_cast<std::size_t>(m.ITPS(k, e))] |= std::uint64_t{1} << c;
  }
  colourStart_.assign(1, 0);
  for (int c = 0; c <= kColours; ++c)
    if (count[static_cast<std::size_t>(c)] > 0)
      colourStart_.push_back(colourStart_.back() + count[static_cast<std::size_t>(c)]);
  uncolouredLast_ = count[kColours] > 0;
  colourBlocks_.clear();
  colourBlocks_.reserve(static_cast<std::size_t>(blocks));
  for (int c = 0; c <= kColours; ++c)
    for (int b = 0; b < blocks; ++b)
      if (colour[static_cast<std::size_t>(b)] == c) colourBlocks_.push_back(b);
}

double MechStressStep::ElementTemperatureAndMaturity(int e, double t, double& maturity) const {
  const RunMatrices& m = d_.m;
  const double* pels = &m.PELS(1, m.LELS(e));
  const double ta = d_.tmTimeA, tb = d_.tmTimeB;
  const double at1 = m.AT(1, e), am1 = m.AM(1, e);
  if (t >= ta) {
    if (tb > ta && tb < 1e49) {
      const double f = (t - ta) / (tb - ta);
      maturity = am1 + f * (m.AM(2, e) - am1);
      return at1 + f * (m.AT(2, e) - at1);
    }
    maturity = am1;
    return at1;
  }
  const double cast = pels[0];
  if (ta > cast) {
    const double f = (t - cast) / (ta - cast);
    maturity = pels[3] + f * (am1 - pels[3]);
    return pels[2] + f * (at1 - pels[2]);
  }
  maturity = am1;
  return at1;
}

void MechStressStep::ComputeElement(int pass, int e, double t, double dt, ElementWork& w) {
  RunMatrices& m = d_.m;
  const AnalysisHeader& h = d_.header;
  const double tPrev = t - dt;
  const int sim = h.SimulationType();
  w.status = ElementWork::Status::kInactive;
  w.softening = false;
  w.element = e;
  const int mat = m.LELS(e);
  const double* pels = &m.PELS(1, mat);
  if (!(pels[0] + kTol <= t && t <= pels[1] + kTol)) return;
  // New when cast after the previous step's end, or present when the run starts.
  const bool isNew = tPrev < pels[0] + kTol || tPrev <= h.initialTime + kTol;
  const ConcreteMaterial& cm = materials_[static_cast<std::size_t>(mat - 1)];
  std::array<int, 8>& nodes = w.nodes;
  ElementCoords xy;
  for (int k = 0; k < 8; ++k) {
    nodes[static_cast<std::size_t>(k)] = m.ITPS(k + 1, e);
    xy[static_cast<std::size_t>(2 * k)] = m.COOR(1, nodes[static_cast<std::size_t>(k)]);
    xy[static_cast<std::size_t>(2 * k + 1)] = m.COOR(2, nodes[static_cast<std::size_t>(k)]);
  }
  const double thickness = m.THCKN(e) > -0.5 ? m.THCKN(e) : h.thickness;
  MechElementGeometry geo;
  if (mechElementGeometry(analysis_, xy, thickness, geo) != 0) {
    w.status = ElementWork::Status::kJacobian;
    return;
  }
  // Temperature and maturity of the step.
  std::array<double, 8> nodalRate{};
  double elementRate = 0.0, elementMaturity = pels[3], elementTemperature = 0.0;
  if (sim == 0) {
    for (std::size_t k = 0; k < 8; ++k)
      nodalRate[k] = isNew ? (m.T(nodes[k]) - pels[2]) / dt : m.DT(nodes[k]);
  } else if (sim == 2) {
    elementTemperature = ElementTemperatureAndMaturity(e, t, elementMaturity);
    elementRate = (elementTemperature - (isNew ? pels[2] : m.BT(e))) / dt;
  }
  // The volume load acts from the step that contains its activation time on; an element
  // present when the run starts (cast at or before the initial time) also receives, in the
  // first step, the load whose activation time lies before the initial time.
  const bool atStart = tPrev <= h.initialTime + kTol && pels[0] <= h.initialTime + kTol;
  const bool body = pels[4] + kTol <= t && (tPrev < pels[4] + kTol || atStart);

  ElementMatrix& K = w.K;
  ElementVector& f = w.f;
  ElementVector& fb = w.fb;
  if (pass == 1) K.fill(0.0);
  f.fill(0.0);
  fb.fill(0.0);
  ElementVector du{};
  if (pass == 2)
    for (std::size_t k = 0; k < 8; ++k) {
      du[2 * k] = m.RU(2 * nodes[k] - 1);
      du[2 * k + 1] = m.RU(2 * nodes[k]);
    }
  for (int g = 1; g <= 4; ++g) {
    const MechGaussPoint& gp = geo[static_cast<std::size_t>(g - 1)];
    ConcreteState s;
    std::memcpy(s.w.data(), &m.STATE(kStateWords * (g - 1) + 1, e), sizeof(double) * kStateWords);
    Vector4 sigma, eps;
    for (int c = 0; c < 4; ++c) {
      sigma[static_cast<std::size_t>(c)] = m.SIG(4 * (g - 1) + c + 1, e);
      eps[static_cast<std::size_t>(c)] = m.EPS(4 * (g - 1) + c + 1, e);
    }
    if (isNew) {
      s.w[0] = tPrev;
      s.w[1] = pels[3];
      s.w[2] = pels[2];
      s.w[3] = pels[2];
    }
    double rate = elementRate, maturity = elementMaturity;
    if (sim == 0) {
      rate = 0.0;
      for (std::size_t k = 0; k < 8; ++k) rate += gp.N[k] * nodalRate[k];
      maturity = m.RM(g, e);
    }
    ConcreteStepInput in;
    in.analysis = analysis_;
    in.dt = dt;
    in.dMaturity = maturity - s.w[1];
    in.dTemperature = rate * dt;
    if (pass == 1) {
      if (cm.sw.fracture)
        for (int k = 0; k < kCrackSlots; ++k)
          w.softening = w.softening || s.slotState(k) == CrackState::Softening;
      const ConcreteStiffness k = concreteStiffness(cm, in, s, sigma);
      mechAddStiffness(analysis_, gp, k.D, K);
      mechAddStressForce(analysis_, gp, k.dSigma0, f);
      if (body) mechAddBodyForce(gp, pels[5], pels[6], fb);
      continue;
    }
    const Vector4 de = mechStrain(analysis_, gp, du);
    const ConcreteProperties end =
        concreteProperties(cm, endMaturity(cm.par, s.maturity(), in.dMaturity));
    in.endProperties = &end;
    const CrackCheckResult chk = concreteCrackCheck(cm, in, s, sigma, de);
    if (chk.flag != 0) s.crackAngle() = chk.angle;
    if (chk.flag == 1) {
      const CrackBand b = crackBandExtents(xy, g - 1, chk.angle);
      s.bandWidth(0) = b.normal;
      s.bandWidth(1) = b.tangential;
      s.bandWidth(2) = std::min(b.normal, b.tangential);
    }
    if (cm.sw.fracture) {
      const CrackBand b = crackBandExtents(xy, g - 1, s.crackAngle());
      in.fallbackBandWidth = std::min(b.normal, b.tangential);
    }
    concreteStressUpdate(cm, in, s, sigma, eps, de);
    bool ok = finite4(sigma) && finite4(eps);
    for (double v : s.w) ok = ok && std::isfinite(v);
    if (!ok) {
      w.status = ElementWork::Status::kNotANumber;
      return;
    }
    mechAddStressForce(analysis_, gp, sigma, f);
    std::memcpy(&m.STATE(kStateWords * (g - 1) + 1, e), s.w.data(), sizeof(double) * kStateWords);
    for (int c = 0; c < 4; ++c) {
      m.SIG(4 * (g - 1) + c + 1, e) = sigma[static_cast<std::size_t>(c)];
      m.EPS(4 * (g - 1) + c + 1, e) = eps[static_cast<std::size_t>(c)];
    }
    m.SSRAT(g, e) = s.strengthRatio();
    m.STRNTHT(g, e) = s.tensileStrength();
    m.STRNTHC(g, e) = s.compressiveStrength();
  }
  if (pass == 2 && sim == 2) m.BT(e) = elementTemperature;
  // The element's degrees of freedom in ascending order, with their local numbers.
  for (std::size_t a = 0; a < 16; ++a) {
    const int ia = 2 * nodes[a / 2] - 1 + static_cast<int>(a % 2);
    std::size_t k = a;
    for (; k > 0 && w.dof[k - 1] > ia; --k) {
      w.dof[k] = w.dof[k - 1];
      w.local[k] = w.local[k - 1];
    }
    w.dof[k] = ia;
    w.local[k] = static_cast<std::uint8_t>(a);
  }
  w.status = ElementWork::Status::kDone;
}

void MechStressStep::AddElement(int pass, const ElementWork& w, EquationSolver::Spill& spill) {
  RunMatrices& m = d_.m;
  const std::array<int, 16>& dof = w.dof;
  const std::array<std::uint8_t, 16>& local = w.local;
  // Sparse path: the stiffness goes to the places kept for this pattern, or they are
  // found (and kept when every entry lies within the pattern).
  const bool keep = pass == 1 && !places_.empty();
  const auto e = static_cast<std::size_t>(w.element - 1);
  const std::uint64_t version = keep ? solver_.PatternVersion() : 0;
  std::int32_t* kept = keep ? &places_[kElementEntries * e] : nullptr;
  const bool known = keep && placesVersion_[e] == version;
  bool complete = keep;
  int at = 0;  // entries added so far
  std::array<double, 16> row;
  std::array<std::int64_t, 16> found;
  for (std::size_t k = 0; k < 16; ++k) {
    const int ia = dof[k];
    const auto a = static_cast<std::size_t>(local[k]);
    if (pass == 2) {
      m.RI(ia) += w.f[a];
      continue;
    }
    m.LAV(ia) = 1;
    m.RR(ia) += w.f[a] + w.fb[a];
    m.P(ia) += w.fb[a];
    // Columns from the first occurrence of ia (a node twice in a degenerate element).
    std::size_t first = k;
    while (first > 0 && dof[first - 1] == ia) --first;
    // The element stiffness holds its upper triangle in local numbering.
    for (std::size_t q = first; q < 16; ++q) {
      const auto b = static_cast<std::size_t>(local[q]);
      row[q - first] = w.K[std::min(a, b) * 16 + std::max(a, b)];
    }
    const int count = static_cast<int>(16 - first);
    if (known) {
      solver_.AddAt(kept + at, row.data(), count);
      at += count;
      continue;
    }
    solver_.AddUpperRow(ia, &dof[first], row.data(), count, spill, keep ? found.data() : nullptr);
    complete = complete && first == k;
    for (int q = 0; q < count && complete; ++q) {
      complete = found[static_cast<std::size_t>(q)] >= 0 &&
                 found[static_cast<std::size_t>(q)] <= INT32_MAX && at + q < kElementEntries;
      if (complete) kept[at + q] = static_cast<std::int32_t>(found[static_cast<std::size_t>(q)]);
    }
    at += count;
  }
  if (keep && !known) placesVersion_[e] = complete && at == kElementEntries ? version : 0;
}

bool MechStressStep::ElementPass(int pass, double t, double dt, numlib::ProgressChannel& channel) {
  const int threads = pool_.Threads();
  // Per thread: the first element that failed (0: none) and how, and whether a Gauss
  // point entered the step with a softening crack.
  std::array<int, WorkerPool::kMaxThreads> failed{};
  std::array<ElementWork::Status, WorkerPool::kMaxThreads> failure{};
  std::array<bool, WorkerPool::kMaxThreads> softening{};
  // Blocks of one colour share no node: each is computed and added by whichever
  // thread takes it, its elements in order. Every entry receives its contributions
  // colour by colour, within a colour from one block only, so the sums do not depend
  // on the number of threads.
  const std::size_t colours = colourStart_.size() - 1;
  const int nEl = d_.header.nEl8;
  // Colour by colour; within a colour, runs of the threads until its blocks are
  // done (see spillLimit_).
  for (std::size_t c = 0; c < colours; ++c) {
    const int end = colourStart_[c + 1];
    std::atomic<int> next{colourStart_[c]};
    std::atomic<bool> full{false};
    auto job = [&](int thread) {
      const auto tu = static_cast<std::size_t>(thread);
      ElementWork& w = work_[tu];
      EquationSolver::Spill& spill = spills_[tu];
      bool soft = false;  // written to softening[tu] once: its neighbours are other threads'
      while (!full.load(std::memory_order_relaxed)) {
        const int k = next.fetch_add(1);
        if (k >= end) break;
        const int first = colourBlocks_[static_cast<std::size_t>(k)] * kColourBlock + 1;
        for (int e = first; e <= std::min(nEl, first + kColourBlock - 1); ++e) {
          ComputeElement(pass, e, t, dt, w);
          soft = soft || w.softening;
          if (w.status == ElementWork::Status::kDone) {
            AddElement(pass, w, spill);
          } else if (w.status != ElementWork::Status::kInactive &&
                     (failed[tu] == 0 || e < failed[tu])) {
            failed[tu] = e;
            failure[tu] = w.status;
          }
        }
        if (spill.size() > spillLimit_) full.store(true, std::memory_order_relaxed);
      }
      softening[tu] = softening[tu] || soft;
    };
    // The last group holds the blocks no colour was left for: one thread.
    const bool together = c + 1 < colours || !uncolouredLast_;
    while (next.load() < end) {
      full.store(false);
      if (together)
        pool_.Run(job);
      else
        job(0);
      for (int thread = 0; thread < threads; ++thread)
        solver_.TakeSpill(spills_[static_cast<std::size_t>(thread)]);
    }
  }
  int first = 0;
  ElementWork::Status how = ElementWork::Status::kDone;
  for (int thread = 0; thread < threads; ++thread) {
    const auto tu = static_cast<std::size_t>(thread);
    softening_ = softening_ || softening[tu];
    if (failed[tu] != 0 && (first == 0 || failed[tu] < first)) {
      first = failed[tu];
      how = failure[tu];
    }
  }
  if (first == 0) return true;
  if (how == ElementWork::Status::kJacobian)
    Fail(channel, fmt::format(" {}{:5d}", "JACOBIAN NONPOSITIVE IN FINITE ELEMENT NO.", first));
  else
    Fail(channel,
         fmt::format(" NUMERICAL FAILURE: STRESS NOT A NUMBER IN FINITE ELEMENT NO.{:5d}", first));
  return false;
}

void MechStressStep::Boundary(double t, double tPrev, bool forcesOnly) {
  RunMatrices& m = d_.m;
  const AnalysisHeader& h = d_.header;
  const double th = h.thickness;
  // Adds K and f of an item over its dofs, or (forcesOnly) the spring force f - K du to RR.
  auto addItem = [&](const int* dofs, int nd, const double* K, const double* f, bool toP) {
    for (int a = 0; a < nd; ++a) {
      if (forcesOnly) {
        double ku = 0.0;
        for (int b = 0; b < nd; ++b) ku += K[a * nd + b] * m.RU(dofs[b]);
        m.RR(dofs[a]) += f[a] - ku;
        continue;
      }
      m.RR(dofs[a]) += f[a];
      if (toP) m.P(dofs[a]) += f[a];
      if (K)
        for (int b = 0; b < nd; ++b)
          if (dofs[b] >= dofs[a] && K[a * nd + b] != 0.0)
            solver_.AddUpper(dofs[a], dofs[b], K[a * nd + b]);
    }
  };
  auto edgeXY = [&](const numlib::IntegerMatrix& items, int i, int* dofs) {
    EdgeCoords xy;
    for (int k = 0; k < 3; ++k) {
      const int n = items(k + 1, i);
      xy[static_cast<std::size_t>(2 * k)] = m.COOR(1, n);
      xy[static_cast<std::size_t>(2 * k + 1)] = m.COOR(2, n);
      dofs[2 * k] = 2 * n - 1;
      dofs[2 * k + 1] = 2 * n;
    }
    return xy;
  };
  for (int i = 1; i <= h.nSpringEdges; ++i) {
    const int c = m.LSES(i);
    const History3 hist = conditionHistory(m.PSES, c, 2);
    if (!springLoadActive(hist, t, tPrev)) continue;
    const double da = springLoadValue(hist, t, 1) - springLoadValue(hist, tPrev, 1);
    const double db = springLoadValue(hist, t, 2) - springLoadValue(hist, tPrev, 2);
    int dofs[6];
    const EdgeCoords xy = edgeXY(m.ITPSES, i, dofs);
    const EdgeSpring s = mechEdgeSpring(analysis_, xy, th, m.PSES(2, c), m.PSES(3, c), da, db);
    addItem(dofs, 6, s.K.data(), s.f.data(), false);
  }
  if (!forcesOnly)
    for (int i = 1; i <= h.nLoadEdges; ++i) {
      const History3 hist = conditionHistory(m.PSFS, m.LSFS(i), 0);
      if (!springLoadActive(hist, t, tPrev)) continue;
      int dofs[6];
      const EdgeCoords xy = edgeXY(m.ITPSFS, i, dofs);
      const std::array<double, 6> f = mechEdgeLoad(
          analysis_, xy, th, springLoadValue(hist, t, 1) - springLoadValue(hist, tPrev, 1),
          springLoadValue(hist, t, 2) - springLoadValue(hist, tPrev, 2));
      addItem(dofs, 6, nullptr, f.data(), true);
    }
  for (int i = 1; i <= h.nNodalSpringPos; ++i) {
    const int c = m.LNES(i);
    const History3 hist = conditionHistory(m.PNES, c, 2);
    if (!springLoadActive(hist, t, tPrev)) continue;
    const int n = m.ITPNES(1, i);
    const NodalSpring s =
        mechNodalSpring(analysis_, m.COOR(1, n), th, m.PNES(2, c), m.PNES(3, c),
                        springLoadValue(hist, t, 1) - springLoadValue(hist, tPrev, 1),
                        springLoadValue(hist, t, 2) - springLoadValue(hist, tPrev, 2));
    const int dofs[2] = {2 * n - 1, 2 * n};
    const double K[4] = {s.kxx, 0.0, 0.0, s.kyy};
    const double f[2] = {s.fx, s.fy};
    addItem(dofs, 2, K, f, false);
  }
  if (!forcesOnly)
    for (int i = 1; i <= h.nNodalLoadPos; ++i) {
      const History3 hist = conditionHistory(m.PNLS, m.LNLS(i), 0);
      if (!springLoadActive(hist, t, tPrev)) continue;
      const int n = m.ITPNLS(1, i);
      const std::array<double, 2> f =
          mechNodalLoad(analysis_, m.COOR(1, n), th,
                        springLoadValue(hist, t, 1) - springLoadValue(hist, tPrev, 1),
                        springLoadValue(hist, t, 2) - springLoadValue(hist, tPrev, 2));
      const int dofs[2] = {2 * n - 1, 2 * n};
      addItem(dofs, 2, nullptr, f.data(), true);
    }
}

void MechStressStep::Prescribed(double t) {
  RunMatrices& m = d_.m;
  for (int i = 1; i <= d_.header.nDispNodes; ++i) {
    const int c = m.LPVS(i);
    const History3 hist = conditionHistory(m.PPVS, c, 0);
    if (!prescribedActive(hist, t)) continue;
    const int n = m.ITPPPS(1, i);
    for (int v = 1; v <= 2; ++v) {
      if (m.IPPVS(v, c) <= 0) continue;
      const int dof = 2 * n - 2 + v;
      m.LPV(dof) = 1;
      m.RU(dof) = prescribedValue(hist, t, v) - m.U(dof);
    }
  }
}

void MechStressStep::ReportMaterialProblems(numlib::ProgressChannel& channel) const {
  const RunMatrices& m = d_.m;
  std::vector<bool> used(materials_.size(), false);
  for (int e = 1; e <= d_.header.nEl8; ++e) used[static_cast<std::size_t>(m.LELS(e) - 1)] = true;
  for (std::size_t j = 0; j < materials_.size(); ++j) {
    if (!used[j]) continue;
    const std::string problem = materials_[j].problem();
    if (!problem.empty())
      channel.SendInfo(fmt::format(" WARNING: MECHANICAL DATA OF MATERIAL {}: {}", j + 1, problem));
  }
}

bool MechStressStep::Run(double t, double dt, numlib::ProgressChannel& channel) {
  if (!materialsReported_) {
    materialsReported_ = true;
    ReportMaterialProblems(channel);
  }
  const auto start = std::chrono::steady_clock::now();
  const bool ok = Step(t, dt, channel);
  times_.total += secondsSince(start);
  return ok;
}

bool MechStressStep::Step(double t, double dt, numlib::ProgressChannel& channel) {
  RunMatrices& m = d_.m;
  const int neq = 2 * d_.header.nNodes;
  const double tPrev = t - dt;
  // 1. Start: the residual of the previous step is the first load.
  for (int i = 1; i <= neq; ++i) {
    m.RU(i) = 0.0;
    m.RR(i) = m.P(i) - m.RI(i);
    m.LPV(i) = 0;
    m.RI(i) = 0.0;
    m.LAV(i) = 0;
  }
  solver_.Clear();
  softening_ = false;
  // 2.-7. Element stiffness and loads, springs, loads, prescribed displacements.
  if (!ElementPass(1, t, dt, channel)) return false;
  Boundary(t, tPrev, false);
  Prescribed(t);
  // 8. Supports released in this step hand their reaction back to the structure.
  for (int i = 1; i <= neq; ++i)
    if (m.LPV(i) == 0) {
      m.RR(i) -= m.FF(i);
      m.F(i) -= m.FF(i);
      m.P(i) -= m.FF(i);
    }
  // 9. Solution.
  const auto solveStart = std::chrono::steady_clock::now();
  status_ = solver_.Solve(m.RU.Data(), m.RR.Data(), m.LPV.Data(), m.LAV.Data(), working_);
  times_.solver += secondsSince(solveStart);
  const bool suspicious = status_ == SolverStatus::kSingular ||
                          (status_ == SolverStatus::kNonPositivePivot && !softening_);
  if (suspicious && !solverReported_) {
    solverReported_ = true;
    channel.SendInfo(
        status_ == SolverStatus::kSingular
            ? fmt::format(" WARNING: STRESS SYSTEM SINGULAR AT {:g} H - SUPPORTS MISSING?"
                          " DISPLACEMENT INCREMENTS SET TO ZERO",
                          t / 3600.0)
            : fmt::format(" WARNING: STRESS SYSTEM NOT POSITIVE DEFINITE AT {:g} H -"
                          " SUPPORTS MISSING?",
                          t / 3600.0));
  }
  for (int i = 1; i <= neq; ++i)
    if (!std::isfinite(m.RU(i)) || !std::isfinite(m.RR(i))) {
      Fail(channel,
           fmt::format(" NUMERICAL FAILURE: DISPLACEMENT NOT A NUMBER AT NODE{:7d}", (i + 1) / 2));
      return false;
    }
  // 10. Reactions accumulate while a degree of freedom stays prescribed.
  for (int i = 1; i <= neq; ++i) m.FF(i) = m.LPV(i) == 1 && m.LAV(i) == 1 ? m.FF(i) + m.RR(i) : 0.0;
  // 11. Spring forces of the step.
  Boundary(t, tPrev, true);
  // 12. Stress update at every Gauss point.
  if (!ElementPass(2, t, dt, channel)) return false;
  // 13. End of step.
  for (int i = 1; i <= neq; ++i) {
    if (m.LAV(i) == 1) {
      m.U(i) += m.RU(i);
      m.P(i) += m.RR(i);
      m.F(i) += m.RR(i);
    } else {
      m.U(i) = 0.0;
      m.P(i) = 0.0;
      m.F(i) = 0.0;
    }
  }
  return true;
}

}  // namespace vemto::engine::mech
