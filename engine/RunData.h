// The data of one engine run: the header of the analysis data file, the derived
// counts, and typed views of every named matrix in the work array.
//
// All matrices live in the one work array (numlib::WorkStorage); the views here are
// only addresses into it, valid for the whole run (the engine never deletes a
// matrix). A matrix whose count is 0 is not defined and its view is empty.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SolverKind.h"
#include "WorkStorage.h"

namespace vemto::engine {

/// Counts and scalars of the analysis data file, as read.
struct AnalysisHeader {
  std::int32_t analysisType = 0;  ///< 1 plane stress, 2 plane strain, 3 axisymmetric
  std::int32_t nTimeSteps = 0;    ///< as read (not used for stepping)
  std::int32_t nNodes = 0, nEl8 = 0, nMaterials = 0, tempMode = 0;
  std::int32_t nEl5 = 0, nEl3 = 0;
  std::int32_t nEdgeTempEdges = 0, nEdgeTempConds = 0, nEdgeFlowEdges = 0, nEdgeFlowConds = 0;
  std::int32_t nSurfTempEls = 0, nSurfTempConds = 0, nSurfFlowEls = 0, nSurfFlowConds = 0;
  std::int32_t nNodalTempPos = 0, nNodalTempConds = 0, nNodalFlowPos = 0, nNodalFlowConds = 0;
  std::int32_t nPipeConds = 0;
  std::int32_t nSpringEdges = 0, nSpringConds = 0, nLoadEdges = 0, nLoadConds = 0;
  std::int32_t nDispNodes = 0, nDispConds = 0, nNodalSpringPos = 0, nNodalSpringConds = 0;
  std::int32_t nNodalLoadPos = 0, nNodalLoadConds = 0;
  double initialTime = 0.0;     ///< s
  double timeStep = 0.0;        ///< s, as read
  double storeIncrement = 0.0;  ///< s, as read
  double thickness = 0.0;       ///< default thickness (m)

  /// 0 temperature and maturity simulated, 1 none, 2 from another model.
  int SimulationType() const { return tempMode < 10 ? tempMode : tempMode - 10; }
  /// Whether the stress step runs.
  bool StressesComputed() const { return tempMode < 10; }
  /// Axisymmetry flag of the thermal routines (2 axisymmetric, 1 plane).
  int ThermalAxiFlag() const { return analysisType >= 3 ? 2 : 1; }
};

/// Maximum number of history points per condition.
inline constexpr int kMaxHistoryPoints = 1000;
/// Maximum number of passes of one cooling pipe (rows of a `QWT` column).
inline constexpr int kMaxPipePasses = 75;
/// Rows of a `QWT` column.
inline constexpr int kPipeResultRows = 3 + 2 * kMaxPipePasses;

/// One time interval of the run (s).
struct TimeInterval {
  double end = 0.0;    ///< absolute end time
  double step = 0.0;   ///< time step
  double store = 0.0;  ///< storage increment
};

/// Every named matrix of a run (1-based column-major views).
struct RunMatrices {
  numlib::TextMatrix TEXT;
  numlib::IntegerMatrix GII;
  numlib::RealMatrix GIR;
  numlib::RealMatrix COOR;
  numlib::IntegerMatrix LEL;
  numlib::RealMatrix THCKN;
  numlib::IntegerMatrix LI1, LI2, LSE, LSF, LSA, LSG, LLPV, LNL;
  numlib::IntegerMatrix LWT, LELS;
  numlib::IntegerMatrix LSES, LSFS, LPVS, LNES, LNLS;
  numlib::RealMatrix PEL, PSE, PSF, PSA, PSG, PPV, PNL, PWT, QWT;
  numlib::RealMatrix PELS;
  numlib::IntegerMatrix IPELS;
  numlib::RealMatrix PSES, PSFS, PPVS;
  numlib::IntegerMatrix IPPVS;
  numlib::RealMatrix PNES, PNLS;
  numlib::IntegerMatrix ITOP, ITOPI1, ITOPI2, ITOPSE, ITOPF, ITOPA, ITOPG, ITOPP, ITOPN;
  numlib::IntegerMatrix ITPS, ITPSES, ITPSFS, ITPPPS, ITPNES, ITPNLS;
  numlib::IntegerMatrix LPV, LAV;
  numlib::RealMatrix T, DT, Q, RM, ALFA, AT, AM, BT;
  numlib::RealMatrix U, RI, P, F, FF, SIG, EPS, STATE, SSRAT, STRNTHT, STRNTHC;
  numlib::RealMatrix TIME;
  numlib::RealMatrix RK, RU, RR;
};

/// Header, derived counts and matrices of one run.
struct RunData {
  AnalysisHeader header;
  int nSteps = 0;         ///< total number of time steps
  int nStore = 0;         ///< total number of storage events counted in advance
  int halfBandWidth = 0;  ///< in nodes
  double tmTimeA = 0.0;   ///< time of block 1 of the temperature-and-maturity file (s)
  double tmTimeB = 0.0;   ///< time of block 2 (1e50 when the file has one block)
  /// Solution path of the run (the environment's choice, VEMTO_SOLVER). The band
  /// matrix `RK` is part of the work array on the band path only.
  SolverKind solver = SolverKindFromEnvironment();
  RunMatrices m;
};

/// Counts of steps and storage events of an interval list starting at t0: each
/// interval contributes trunc(length/step + 1e-6) steps (likewise for storage), so
/// that a length that is a whole multiple of the step up to rounding counts fully.
/// Throws InputError for a step or storage increment ≤ 0 or an interval that ends
/// before it starts.
struct StepCounts {
  std::int64_t steps = 0;
  std::int64_t stores = 0;
};
StepCounts CountSteps(double t0, const std::vector<TimeInterval>& intervals);

}  // namespace vemto::engine
