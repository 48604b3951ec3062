// The layout of a run's work array: which named matrices the engine defines, in which
// order and size, as one list used both to define them (AnalysisData) and to tell in
// advance how many words a model needs (RunWords, used by the model check).
#pragma once

#include <cstdint>

#include "RunData.h"

namespace vemto::engine {

using numlib::MatrixType;

// Each list calls Def(name, rows, columns, type, view[, always]) for every matrix in
// order and stops at the first false. A matrix with no rows or columns is left out
// unless `always` is set.

/// `TEXT`, `GII` and `GIR`, defined before the header is read.
template <typename Define>
bool LayOutHeaderMatrices(RunMatrices& m, Define&& Def) {
  return Def("TEXT", 10, 1, MatrixType::Text, m.TEXT) &&
         Def("GII", 4, 1, MatrixType::Integer, m.GII) && Def("GIR", 4, 1, MatrixType::Real, m.GIR);
}

/// The matrices from `COOR` to `TIME` (nStore storage events).
template <typename Define>
bool LayOutRunMatrices(const AnalysisHeader& h, std::int64_t nStore, RunMatrices& m, Define&& Def) {
  const auto I = MatrixType::Integer;
  const auto R = MatrixType::Real;
  const std::int64_t nn = h.nNodes, ne = h.nEl8, nm = h.nMaterials;
  const int sim = h.SimulationType();
  bool ok =
      Def("COOR", 2, nn, R, m.COOR) && Def("LEL", ne, 1, I, m.LEL) &&
      Def("THCKN", ne, 1, R, m.THCKN) && Def("LI1", h.nEl5, 1, I, m.LI1) &&
      Def("LI2", h.nEl3, 1, I, m.LI2) && Def("LSE", h.nEdgeTempEdges, 1, I, m.LSE) &&
      Def("LSF", h.nEdgeFlowEdges, 1, I, m.LSF) && Def("LSA", h.nSurfTempEls, 1, I, m.LSA) &&
      Def("LSG", h.nSurfFlowEls, 1, I, m.LSG) && Def("LLPV", h.nNodalTempPos, 1, I, m.LLPV) &&
      Def("LNL", h.nNodalFlowPos, 1, I, m.LNL) && Def("LWT", 3, ne, I, m.LWT) &&
      Def("LELS", ne, 1, I, m.LELS) && Def("LSES", h.nSpringEdges, 1, I, m.LSES) &&
      Def("LSFS", h.nLoadEdges, 1, I, m.LSFS) && Def("LPVS", h.nDispNodes, 1, I, m.LPVS) &&
      Def("LNES", h.nNodalSpringPos, 1, I, m.LNES) && Def("LNLS", h.nNodalLoadPos, 1, I, m.LNLS) &&
      Def("PEL", 16, nm, R, m.PEL) && Def("PSE", 2002, h.nEdgeTempConds, R, m.PSE) &&
      Def("PSF", 2001, h.nEdgeFlowConds, R, m.PSF) &&
      Def("PSA", 2002, h.nSurfTempConds, R, m.PSA) &&
      Def("PSG", 2001, h.nSurfFlowConds, R, m.PSG) &&
      Def("PPV", 2002, h.nNodalTempConds, R, m.PPV) &&
      Def("PNL", 2001, h.nNodalFlowConds, R, m.PNL) && Def("PWT", 3007, h.nPipeConds, R, m.PWT) &&
      Def("QWT", kPipeResultRows, h.nPipeConds, R, m.QWT) && Def("PELS", 57, nm, R, m.PELS) &&
      Def("IPELS", 5, nm, I, m.IPELS) && Def("PSES", 3003, h.nSpringConds, R, m.PSES) &&
      Def("PSFS", 3001, h.nLoadConds, R, m.PSFS) && Def("PPVS", 3001, h.nDispConds, R, m.PPVS) &&
      Def("IPPVS", 2, h.nDispConds, I, m.IPPVS) &&
      Def("PNES", 3003, h.nNodalSpringConds, R, m.PNES) &&
      Def("PNLS", 3001, h.nNodalLoadConds, R, m.PNLS) && Def("ITOP", 8, ne, I, m.ITOP) &&
      Def("ITOPI1", 5, h.nEl5, I, m.ITOPI1) && Def("ITOPI2", 3, h.nEl3, I, m.ITOPI2) &&
      Def("ITOPSE", 3, h.nEdgeTempEdges, I, m.ITOPSE) &&
      Def("ITOPF", 3, h.nEdgeFlowEdges, I, m.ITOPF) &&
      Def("ITOPA", 8, h.nSurfTempEls, I, m.ITOPA) && Def("ITOPG", 8, h.nSurfFlowEls, I, m.ITOPG) &&
      Def("ITOPP", 1, h.nNodalTempPos, I, m.ITOPP) &&
      Def("ITOPN", 1, h.nNodalFlowPos, I, m.ITOPN) && Def("ITPS", 8, ne, I, m.ITPS) &&
      Def("ITPSES", 3, h.nSpringEdges, I, m.ITPSES) &&
      Def("ITPSFS", 3, h.nLoadEdges, I, m.ITPSFS) && Def("ITPPPS", 1, h.nDispNodes, I, m.ITPPPS) &&
      Def("ITPNES", 1, h.nNodalSpringPos, I, m.ITPNES) &&
      Def("ITPNLS", 1, h.nNodalLoadPos, I, m.ITPNLS) && Def("LPV", 2 * nn, 1, I, m.LPV) &&
      Def("LAV", 2 * nn, 1, I, m.LAV);
  if (!ok) return false;
  if (sim == 0) {
    ok = Def("T", nn, 1, R, m.T) && Def("DT", nn, 1, R, m.DT) && Def("Q", nn, 1, R, m.Q) &&
         Def("RM", 4, ne, R, m.RM) && Def("ALFA", 4, ne, R, m.ALFA);
  } else if (sim == 2) {
    ok = Def("AT", 2, ne, R, m.AT) && Def("AM", 2, ne, R, m.AM) && Def("BT", ne, 1, R, m.BT);
  }
  // TIME is defined even without storage events: its presence marks a normal end.
  return ok && Def("U", 2 * nn, 1, R, m.U) && Def("RI", 2 * nn, 1, R, m.RI) &&
         Def("P", 2 * nn, 1, R, m.P) && Def("F", 2 * nn, 1, R, m.F) &&
         Def("FF", 2 * nn, 1, R, m.FF) && Def("SIG", 16, ne, R, m.SIG) &&
         Def("EPS", 16, ne, R, m.EPS) && Def("STATE", 172, ne, R, m.STATE) &&
         Def("SSRAT", 4, ne, R, m.SSRAT) && Def("STRNTHT", 4, ne, R, m.STRNTHT) &&
         Def("STRNTHC", 4, ne, R, m.STRNTHC) && Def("TIME", nStore, 1, R, m.TIME, /*always=*/true);
}

/// `RK` (band path only), `RU` and `RR`, defined after the body is read.
template <typename Define>
bool LayOutSolverMatrices(std::int64_t nn, SolverKind solver, std::int64_t halfBandWidth,
                          RunMatrices& m, Define&& Def) {
  // The sparse path assembles outside the work array: no band matrix there.
  const std::int64_t bandRows = solver == SolverKind::kBand ? 2 * nn : 0;
  return Def("RK", bandRows, 2 * halfBandWidth, MatrixType::Real, m.RK) &&
         Def("RU", 2 * nn, 1, MatrixType::Real, m.RU) &&
         Def("RR", 2 * nn, 1, MatrixType::Real, m.RR);
}

/// Words of the work array a run needs: every matrix of the three lists with its header,
/// and one more, since the storage manager keeps its next free word inside the array.
/// `halfBandWidth` (nodes) matters on the band path only.
inline std::int64_t RunWords(const AnalysisHeader& h, std::int64_t nStore, SolverKind solver,
                             std::int64_t halfBandWidth) {
  std::int64_t words = 1;
  const auto count = [&words](const char*, std::int64_t rows, std::int64_t cols, MatrixType type,
                              auto&, bool always = false) {
    if (always || (rows > 0 && cols > 0))
      words += numlib::kMatrixHeaderWords + numlib::MatrixDataWords(rows * cols, type);
    return true;
  };
  RunMatrices m;
  LayOutHeaderMatrices(m, count);
  LayOutRunMatrices(h, nStore, m, count);
  LayOutSolverMatrices(h.nNodes, solver, halfBandWidth, m, count);
  return words;
}

}  // namespace vemto::engine
