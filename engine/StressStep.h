// The stress step of the time loop (incremental stress analysis of one step), as
// the time loop sees it: created once per run, called once per step.
#pragma once

#include <memory>

#include "BandSolver.h"
#include "ProgressChannel.h"
#include "RunData.h"
#include "SparseSolver.h"

namespace vemto::engine {

class StressStepper {
 public:
  virtual ~StressStepper() = default;
  /// Advances displacements, stresses and material states to time t (end of the
  /// step, s) with step dt (s). Runs after the temperature step (simulation type
  /// 0) or after the temperature-and-maturity data have been advanced (type 2).
  /// Errors are reported through `channel` (SendError); returns false then.
  virtual bool Run(double t, double dt, numlib::ProgressChannel& channel) = 0;
  /// Wall-clock seconds spent so far in whole steps and in the equation solver.
  virtual double Seconds() const = 0;
  virtual double SolverSeconds() const = 0;
  /// The equation solver of the step.
  virtual const EquationSolver& Solver() const = 0;
};

/// The stress step of a run whose matrices (including `RK`, `RU`, `RR`) are
/// defined; `working` is the solver's per-row callback. Called only when
/// stresses are computed.
std::unique_ptr<StressStepper> MakeStressStepper(RunData& d, WorkingCallback working);

}  // namespace vemto::engine
