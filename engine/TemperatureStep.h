// One implicit temperature step with explicit hydration heat: element activity,
// maturity and degree of hydration, pipes, boundary conditions, band solution and
// boundary heat flows. Works on the run's matrices; keeps only fixed scratch data.
#pragma once

#include <string>

#include "BandSolver.h"
#include "RunData.h"
#include "SparseSolver.h"
#include "ThermalElements.h"

namespace vemto::engine {

/// Kind of element whose Jacobian was found non-positive.
enum class ElementKind { kNone, kFinite, kInfiniteBoundary, kInfiniteCorner };

/// An element error found during a step (kind kNone: no error).
struct ElementFailure {
  ElementKind kind = ElementKind::kNone;
  int element = 0;  ///< 1-based position among the elements of its kind
  explicit operator bool() const { return kind != ElementKind::kNone; }
};

/// The error line of a non-positive Jacobian: one blank, the text and the element
/// number right-aligned in 5 columns.
std::string JacobianMessage(const ElementFailure& f);

class TemperatureStep {
 public:
  /// `d` must have the matrices of simulation type 0 and the solver matrices
  /// defined; `working` is called once per row and pass of the solver.
  TemperatureStep(RunData& d, WorkingCallback working);

  /// Advances the temperature field to time t (end of the step, s) with step dt (s).
  /// On an element failure the temperatures, rates and flows are left unchanged.
  ElementFailure Run(double t, double dt);

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

  RunData& d_;
  WorkingCallback working_;
  EquationSolver solver_;
  ThermalAxi axi_;
  SolverStatus status_ = SolverStatus::kNormal;
  double solverSeconds_ = 0.0;
  double seconds_ = 0.0;
  ElementFailure Step(double t, double dt);
};

}  // namespace vemto::engine
