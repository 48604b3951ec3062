// One implicit temperature step with explicit hydration heat: element activity,
// maturity and degree of hydration, pipes, boundary conditions, band solution and
// boundary heat flows. Works on the run's matrices; keeps only fixed scratch data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "BandSolver.h"
#include "RunData.h"
#include "SparseSolver.h"
#include "ThermalElements.h"
#include "WorkerPool.h"

namespace vemto::engine {

/// Kind of element whose Jacobian was found non-positive, or of the nodal result that came
/// out not a number (or infinite).
enum class ElementKind {
  kNone,
  kFinite,
  kInfiniteBoundary,
  kInfiniteCorner,
  kTemperatureNotANumber,
  kHeatFlowNotANumber
};

/// An error found during a step (kind kNone: no error).
struct ElementFailure {
  ElementKind kind = ElementKind::kNone;
  /// 1-based position among the elements of its kind; the node number for the kinds
  /// kTemperatureNotANumber and kHeatFlowNotANumber.
  int element = 0;
  explicit operator bool() const { return kind != ElementKind::kNone; }
};

/// The error line of a failure: for a non-positive Jacobian one blank, the text and the
/// element number right-aligned in 5 columns; for a result that is not a number the
/// quantity and the node.
std::string JacobianMessage(const ElementFailure& f);

/// Description of the first thermal parameter of the material column `pel` (16 rows,
/// row r at index r - 1) that cannot be meant: a non-positive conductivity or heat
/// capacity rho c, and for hydrating concrete a non-positive t1 of the hydration curve or an
/// adiabatic temperature rise Q_inf C / (rho c) above 200 K. Empty when usable.
std::string ThermalMaterialProblem(const double* pel);

class TemperatureStep {
 public:
  /// `d` must have the matrices of simulation type 0 and the solver matrices
  /// defined; `working` is called once per row and pass of the solver.
  TemperatureStep(RunData& d, WorkingCallback working);

  /// Advances the temperature field to time t (end of the step, s) with step dt (s).
  /// On a failure (non-positive Jacobian, or a temperature or heat flow that is not a
  /// number) the temperatures, rates and flows are left unchanged.
  ElementFailure Run(double t, double dt);

  /// Warnings, one line per material of the elements whose thermal data cannot be meant
  /// (ThermalMaterialProblem).
  std::vector<std::string> MaterialWarnings() const;

  /// Status of the last band solution.
  SolverStatus LastSolverStatus() const { return status_; }
  /// Wall-clock time spent in the equation solver so far (s), for benchmarks.
  double SolverSeconds() const { return solverSeconds_; }
  /// Wall-clock time spent in whole steps so far (s), for benchmarks.
  double Seconds() const { return seconds_; }
  /// The equation solver (sparse path unless VEMTO_SOLVER=band).
  const EquationSolver& Solver() const { return solver_; }

 private:
  Point2 Node(int n) const;
  void UpdatePipes(double t);
  ElementFailure AssembleElements(double t, double dt);
  ElementFailure AssembleInfinite(double t, double dt, bool flows);
  void AssembleBoundary(double t, bool flows);
  double PipeWaterTemperature(int pipe, int pass) const;
  /// Whether an element cast at `castTime` (s) starts from its initial state in the step
  /// that began at `tPrev` (s).
  bool IsNew(double castTime, double tPrev) const;
  bool PipeActive(int pipe, double t) const;

  /// Fills signature_ with everything the system matrix depends on besides the fixed
  /// element data: the activity of elements, pipes and heat-transfer conditions.
  void MatrixSignature(double t);

  RunData& d_;
  WorkingCallback working_;
  EquationSolver solver_;
  WorkerPool pool_;  // threads of the equation solution and of the hydration pass
  ThermalAxi axi_;
  SolverStatus status_ = SolverStatus::kNormal;
  double solverSeconds_ = 0.0;
  double seconds_ = 0.0;
  ElementFailure Step(double t, double dt);

  // Per 8-node element (not pipe corners): C / dt and the Gauss-point weights of its
  // load, formed with the step `cacheDt_[e - 1]` (0: not formed yet). The conduction
  // matrix and these depend only on the element's nodes and material.
  std::vector<double> capacityDt_;   // 64 per element, row-major
  std::vector<double> loadWeights_;  // 4 per element
  std::vector<double> cacheDt_;      // per element
  // Heat source of the step at each Gauss point of the 8-node elements (W/m³, 4 per
  // element), from the hydration pass that runs on pool_ before the assembly.
  std::vector<double> heat_;
  // Activity of elements and conditions in this and in the last assembled step; on
  // the sparse path the system matrix of the last step stays assembled and is
  // reused while these and the step length are unchanged.
  std::vector<std::uint8_t> signature_, keptSignature_;
  double keptDt_ = 0.0;
  bool matrixKept_ = false;
  bool assemble_ = true;  // this step adds to the system matrix
  long assemblies_ = 0;

 public:
  /// Steps whose system matrix was assembled (the others reuse the last one).
  long MatrixAssemblies() const { return assemblies_; }
};

}  // namespace vemto::engine
