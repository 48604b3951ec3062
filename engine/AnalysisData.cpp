#include "AnalysisData.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "TimeSteps.h"
#include "WorkLayout.h"

namespace vemto::engine {

namespace {

using numlib::MatrixType;

void CheckCount(FreeFormatReader& in, std::int32_t v, const char* name, std::int32_t min = 0) {
  if (v < min) in.Fail(fmt::format("{} = {} (at least {} required)", name, v, min));
}

void CheckRange(FreeFormatReader& in, std::int32_t v, std::int32_t count, const char* what) {
  if (v < 1 || v > count) in.Fail(fmt::format("{} {} outside 1 ... {}", what, v, count));
}

// Defines a matrix of the layout lists, or leaves the view empty when its count is 0.
struct Definer {
  numlib::WorkStorage& w;
  template <typename View>
  bool operator()(const char* name, std::int64_t rows, std::int64_t cols, MatrixType type,
                  View& view, bool always = false) const;
};

template <typename View>
bool Definer::operator()(const char* name, std::int64_t rows, std::int64_t cols, MatrixType type,
                         View& view, bool always) const {
  if (!always && (rows <= 0 || cols <= 0)) return true;
  if (rows < 0 || cols < 0 || rows > std::numeric_limits<std::int32_t>::max() ||
      cols > std::numeric_limits<std::int32_t>::max())
    return false;
  const std::int32_t index =
      w.DefineMatrix(name, static_cast<std::int32_t>(rows), static_cast<std::int32_t>(cols), type);
  if (index == 0) return false;
  if constexpr (std::is_same_v<View, numlib::RealMatrix>) {
    view = w.RealsAt(index);
  } else if constexpr (std::is_same_v<View, numlib::IntegerMatrix>) {
    view = w.IntegersAt(index);
  } else {
    view = w.TextsAt(index);
  }
  return true;
}

// Reads a history column: header record with n and `coefficients`, then n records
// of `perPoint` values. Column layout: n, coefficients, points.
void ReadHistory(FreeFormatReader& in, numlib::RealMatrix& col, int j, int coefficients,
                 int perPoint, const char* what) {
  in.BeginRecord();
  const double nReal = in.NextReal(what);
  col(1, j) = nReal;
  for (int c = 0; c < coefficients; ++c) col(2 + c, j) = in.NextReal(what);
  in.EndRecord();
  const long n = std::lround(nReal);
  if (!(std::fabs(nReal) < 1e9) || n < 0 || n > kMaxHistoryPoints)
    in.Fail(fmt::format("{} {}: {} history points (0 ... {} allowed)", what, j, nReal,
                        kMaxHistoryPoints));
  int row = 2 + coefficients;
  for (long k = 0; k < n; ++k) {
    in.BeginRecord();
    for (int v = 0; v < perPoint; ++v) col(row++, j) = in.NextReal(what);
    in.EndRecord();
  }
}

// Reads `count` item records of `nodes` node numbers and a condition number.
void ReadItems(FreeFormatReader& in, numlib::IntegerMatrix& top, numlib::IntegerMatrix& cond,
               std::int32_t count, int nodes, std::int32_t nNodes, std::int32_t nConds,
               const char* what) {
  for (std::int32_t i = 1; i <= count; ++i) {
    in.BeginRecord();
    for (int k = 1; k <= nodes; ++k) {
      const std::int32_t n = in.NextInteger(what);
      CheckRange(in, n, nNodes, "node");
      top(k, i) = n;
    }
    const std::int32_t c = in.NextInteger(what);
    CheckRange(in, c, nConds, "condition");
    cond(i) = c;
    in.EndRecord();
  }
}

}  // namespace

void ReadAnalysisHeader(FreeFormatReader& in, AnalysisHeader& h, std::string& title80) {
  title80 = in.ReadRawLine(80);
  std::int32_t a[6];
  in.ReadIntegers(a, "general data");
  h.analysisType = a[0];
  h.nTimeSteps = a[1];
  h.nNodes = a[2];
  h.nEl8 = a[3];
  h.nMaterials = a[4];
  h.tempMode = a[5];
  if (h.analysisType < 1 || h.analysisType > 3)
    in.Fail(fmt::format("analysis type {} (1, 2 or 3 expected)", h.analysisType));
  if (!(h.tempMode >= 0 && h.tempMode <= 2) && !(h.tempMode >= 10 && h.tempMode <= 12))
    in.Fail(fmt::format("temperature mode {} (0, 1, 2, 10, 11 or 12 expected)", h.tempMode));
  CheckCount(in, h.nNodes, "number of nodes", 1);
  CheckCount(in, h.nEl8, "number of 8-node elements", 1);
  CheckCount(in, h.nMaterials, "number of materials", 1);

  double r[4];
  in.ReadReals(r, "time data");
  h.initialTime = r[0];
  h.timeStep = r[1];
  h.storeIncrement = r[2];
  h.thickness = r[3];

  std::int32_t c[15];
  in.ReadIntegers(c, "thermal counts");
  std::int32_t* thermal[15] = {&h.nEl5,           &h.nEl3,
                               &h.nEdgeTempEdges, &h.nEdgeTempConds,
                               &h.nEdgeFlowEdges, &h.nEdgeFlowConds,
                               &h.nSurfTempEls,   &h.nSurfTempConds,
                               &h.nSurfFlowEls,   &h.nSurfFlowConds,
                               &h.nNodalTempPos,  &h.nNodalTempConds,
                               &h.nNodalFlowPos,  &h.nNodalFlowConds,
                               &h.nPipeConds};
  for (int i = 0; i < 15; ++i) {
    CheckCount(in, c[i], "thermal count");
    *thermal[i] = c[i];
  }
  std::int32_t s[10];
  in.ReadIntegers(s, "mechanical counts");
  std::int32_t* mech[10] = {&h.nSpringEdges,    &h.nSpringConds,      &h.nLoadEdges,
                            &h.nLoadConds,      &h.nDispNodes,        &h.nDispConds,
                            &h.nNodalSpringPos, &h.nNodalSpringConds, &h.nNodalLoadPos,
                            &h.nNodalLoadConds};
  for (int i = 0; i < 10; ++i) {
    CheckCount(in, s[i], "mechanical count");
    *mech[i] = s[i];
  }
}

bool DefineHeaderMatrices(numlib::WorkStorage& w, RunMatrices& m) {
  return LayOutHeaderMatrices(m, Definer{w});
}

void FillHeaderMatrices(const AnalysisHeader& h, const std::string& title80, RunMatrices& m) {
  for (int i = 0; i < 10; ++i)
    for (int k = 0; k < 8; ++k)
      m.TEXT(i + 1).chars[k] = title80[static_cast<std::size_t>(8 * i + k)];
  m.GII(1) = h.analysisType;
  m.GII(2) = h.nTimeSteps;
  m.GII(3) = h.SimulationType();
  m.GIR(1) = h.initialTime;
  m.GIR(2) = h.timeStep;
  m.GIR(3) = h.storeIncrement;
  m.GIR(4) = h.thickness;
}

bool DefineRunMatrices(numlib::WorkStorage& w, RunData& d) {
  return LayOutRunMatrices(d.header, d.nStore, d.m, Definer{w});
}

bool DefineSolverMatrices(numlib::WorkStorage& w, RunData& d) {
  return LayOutSolverMatrices(d.header.nNodes, d.solver, d.halfBandWidth, d.m, Definer{w});
}

void ReadAnalysisBody(FreeFormatReader& in, RunData& d) {
  const AnalysisHeader& h = d.header;
  RunMatrices& m = d.m;
  const std::int32_t nn = h.nNodes;

  for (std::int32_t i = 1; i <= nn; ++i) {
    double xy[2];
    in.ReadReals(xy, "node coordinates");
    m.COOR(1, i) = xy[0];
    m.COOR(2, i) = xy[1];
  }

  for (std::int32_t e = 1; e <= h.nEl8; ++e) {
    std::int32_t v[12];
    in.ReadIntegers(v, "8-node element");
    for (int k = 0; k < 8; ++k) {
      CheckRange(in, v[k], nn, "node");
      m.ITOP(k + 1, e) = v[k];
      m.ITPS(k + 1, e) = v[k];
    }
    CheckRange(in, v[8], h.nMaterials, "material");
    m.LEL(e) = v[8];
    m.LELS(e) = v[8];
    const std::int32_t corner = v[9];
    if (corner != 0 && corner != 1 && corner != 3 && corner != 5 && corner != 7)
      in.Fail(fmt::format("pipe corner {} (0, 1, 3, 5 or 7 expected)", corner));
    if (corner != 0) {
      CheckRange(in, v[10], h.nPipeConds, "pipe");
      if (v[11] < 1 || v[11] > kMaxPipePasses)
        in.Fail(fmt::format("pipe pass {} outside 1 ... {} (a pipe has at most {} passes)", v[11],
                            kMaxPipePasses, kMaxPipePasses));
      double& passes = m.PWT(7, v[10]);
      passes = std::max(passes, static_cast<double>(v[11]));
    }
    m.LWT(1, e) = corner;
    m.LWT(2, e) = v[10];
    m.LWT(3, e) = v[11];
  }

  for (std::int32_t e = 1; e <= h.nEl5; ++e) {
    std::int32_t v[6];
    in.ReadIntegers(v, "infinite boundary element");
    for (int k = 0; k < 5; ++k) {
      CheckRange(in, v[k], nn, "node");
      m.ITOPI1(k + 1, e) = v[k];
    }
    CheckRange(in, v[5], h.nMaterials, "material");
    m.LI1(e) = v[5];
  }
  for (std::int32_t e = 1; e <= h.nEl3; ++e) {
    std::int32_t v[4];
    in.ReadIntegers(v, "infinite corner element");
    for (int k = 0; k < 3; ++k) {
      CheckRange(in, v[k], nn, "node");
      m.ITOPI2(k + 1, e) = v[k];
    }
    CheckRange(in, v[3], h.nMaterials, "material");
    m.LI2(e) = v[3];
  }

  for (std::int32_t j = 1; j <= h.nMaterials; ++j) {
    const char* what = "material data";
    std::int32_t kind = 0;
    in.ReadIntegers(std::span<std::int32_t>(&kind, 1), what);
    m.PEL(1, j) = kind;
    double* pel = &m.PEL(1, j);
    in.ReadReals(std::span<double>(pel + 1, 2), what);
    in.ReadReals(std::span<double>(pel + 3, 4), what);
    in.ReadReals(std::span<double>(pel + 7, 3), what);
    in.ReadReals(std::span<double>(pel + 10, 3), what);
    in.ReadReals(std::span<double>(pel + 13, 3), what);
    double* pels = &m.PELS(1, j);
    pels[0] = pel[1];
    pels[1] = pel[2];
    pels[2] = pel[6];
    pels[3] = pel[7];
    in.ReadReals(std::span<double>(pels + 4, 3), what);
    in.ReadIntegers(std::span<std::int32_t>(&m.IPELS(1, j), 5), what);
    for (int line = 0; line < 12; ++line)
      in.ReadReals(std::span<double>(pels + 7 + 4 * line, 4), what);
    in.ReadReals(std::span<double>(pels + 55, 2), what);
  }

  ReadItems(in, m.ITOPSE, m.LSE, h.nEdgeTempEdges, 3, nn, h.nEdgeTempConds, "edge temperature");
  for (int j = 1; j <= h.nEdgeTempConds; ++j)
    ReadHistory(in, m.PSE, j, 1, 2, "edge temperature condition");
  ReadItems(in, m.ITOPF, m.LSF, h.nEdgeFlowEdges, 3, nn, h.nEdgeFlowConds, "edge heat flow");
  for (int j = 1; j <= h.nEdgeFlowConds; ++j)
    ReadHistory(in, m.PSF, j, 0, 2, "edge heat flow condition");
  ReadItems(in, m.ITOPA, m.LSA, h.nSurfTempEls, 8, nn, h.nSurfTempConds, "surface temperature");
  for (int j = 1; j <= h.nSurfTempConds; ++j)
    ReadHistory(in, m.PSA, j, 1, 2, "surface temperature condition");
  ReadItems(in, m.ITOPG, m.LSG, h.nSurfFlowEls, 8, nn, h.nSurfFlowConds, "surface heat flow");
  for (int j = 1; j <= h.nSurfFlowConds; ++j)
    ReadHistory(in, m.PSG, j, 0, 2, "surface heat flow condition");
  ReadItems(in, m.ITOPP, m.LLPV, h.nNodalTempPos, 1, nn, h.nNodalTempConds, "nodal temperature");
  for (int j = 1; j <= h.nNodalTempConds; ++j)
    ReadHistory(in, m.PPV, j, 1, 2, "nodal temperature condition");
  ReadItems(in, m.ITOPN, m.LNL, h.nNodalFlowPos, 1, nn, h.nNodalFlowConds, "nodal heat flow");
  for (int j = 1; j <= h.nNodalFlowConds; ++j)
    ReadHistory(in, m.PNL, j, 0, 2, "nodal heat flow condition");

  for (int j = 1; j <= h.nPipeConds; ++j) {
    const double passes = m.PWT(7, j);
    in.BeginRecord();
    for (int r = 1; r <= 6; ++r) m.PWT(r, j) = in.NextReal("pipe condition");
    in.EndRecord();
    m.PWT(7, j) = passes;
    const double nReal = m.PWT(1, j);
    const long n = std::lround(nReal);
    if (!(std::fabs(nReal) < 1e9) || n < 0 || n > kMaxHistoryPoints)
      in.Fail(fmt::format("pipe condition {}: {} history points (0 ... {} allowed)", j, nReal,
                          kMaxHistoryPoints));
    int row = 8;
    for (long k = 0; k < n; ++k) {
      in.BeginRecord();
      for (int v = 0; v < 3; ++v) m.PWT(row++, j) = in.NextReal("pipe condition");
      in.EndRecord();
    }
  }

  ReadItems(in, m.ITPSES, m.LSES, h.nSpringEdges, 3, nn, h.nSpringConds, "edge spring");
  for (int j = 1; j <= h.nSpringConds; ++j) ReadHistory(in, m.PSES, j, 2, 3, "spring condition");
  ReadItems(in, m.ITPSFS, m.LSFS, h.nLoadEdges, 3, nn, h.nLoadConds, "edge load");
  for (int j = 1; j <= h.nLoadConds; ++j) ReadHistory(in, m.PSFS, j, 0, 3, "load condition");
  ReadItems(in, m.ITPPPS, m.LPVS, h.nDispNodes, 1, nn, h.nDispConds, "displacement node");
  for (int j = 1; j <= h.nDispConds; ++j) {
    const char* what = "displacement condition";
    in.BeginRecord();
    const double nReal = in.NextReal(what);
    m.PPVS(1, j) = nReal;
    m.IPPVS(1, j) = in.NextInteger(what);
    m.IPPVS(2, j) = in.NextInteger(what);
    in.EndRecord();
    const long n = std::lround(nReal);
    if (!(std::fabs(nReal) < 1e9) || n < 0 || n > kMaxHistoryPoints)
      in.Fail(fmt::format("{} {}: {} history points (0 ... {} allowed)", what, j, nReal,
                          kMaxHistoryPoints));
    int row = 2;
    for (long k = 0; k < n; ++k) {
      in.BeginRecord();
      for (int v = 0; v < 3; ++v) m.PPVS(row++, j) = in.NextReal(what);
      in.EndRecord();
    }
  }
  ReadItems(in, m.ITPNES, m.LNES, h.nNodalSpringPos, 1, nn, h.nNodalSpringConds, "nodal spring");
  for (int j = 1; j <= h.nNodalSpringConds; ++j)
    ReadHistory(in, m.PNES, j, 2, 3, "nodal spring condition");
  ReadItems(in, m.ITPNLS, m.LNLS, h.nNodalLoadPos, 1, nn, h.nNodalLoadConds, "nodal load");
  for (int j = 1; j <= h.nNodalLoadConds; ++j)
    ReadHistory(in, m.PNLS, j, 0, 3, "nodal load condition");

  for (std::int32_t e = 1; e <= h.nEl8; ++e) {
    in.BeginRecord();
    (void)in.NextInteger("element thickness");
    m.THCKN(e) = in.NextReal("element thickness");
    in.EndRecord();
  }
  d.halfBandWidth = HalfBandWidth(d);
}

namespace {

int SpanOf(const numlib::IntegerMatrix& top) {
  int best = 0;
  for (std::int64_t e = 1; e <= top.Columns(); ++e) {
    std::int32_t lo = top(1, e), hi = top(1, e);
    for (std::int64_t k = 2; k <= top.Rows(); ++k) {
      lo = std::min(lo, top(k, e));
      hi = std::max(hi, top(k, e));
    }
    best = std::max(best, hi - lo + 1);
  }
  return best;
}

}  // namespace

int HalfBandWidth(const RunData& d) {
  const RunMatrices& m = d.m;
  int hbw = 1;
  for (const numlib::IntegerMatrix* t :
       {&m.ITOP, &m.ITOPI1, &m.ITOPI2, &m.ITOPSE, &m.ITPSES, &m.ITOPA})
    hbw = std::max(hbw, SpanOf(*t));
  return hbw;
}

StepCounts CountSteps(double t0, const std::vector<TimeInterval>& intervals) {
  StepCounts c;
  double start = t0;
  for (std::size_t i = 0; i < intervals.size(); ++i) {
    const TimeInterval& iv = intervals[i];
    if (!(iv.step > 0.0) || !(iv.store > 0.0) || !std::isfinite(iv.end))
      throw InputError(fmt::format(
          "time interval {}: time step {} s and storage increment {} s must be positive", i + 1,
          iv.step, iv.store));
    const double length = iv.end - start;
    if (length < 0.0)
      throw InputError(fmt::format("time interval {} ends at {} s, before its start at {} s", i + 1,
                                   iv.end, start));
    const double qs = length / iv.step + numlib::kStepCountSlack;
    const double qst = length / iv.store + numlib::kStepCountSlack;
    if (qs > 1e9 || qst > 1e9)
      throw InputError(fmt::format("time interval {}: too many time steps", i + 1));
    c.steps += numlib::WholeSteps(length, iv.step);
    c.stores += numlib::WholeSteps(length, iv.store);
    start = iv.end;
  }
  if (c.steps > 2000000000 || c.stores > 2000000000) throw InputError("too many time steps");
  return c;
}

}  // namespace vemto::engine
