// The time loop's stress step: the mechanical stress step behind the loop's interface.
#include <memory>

#include "MechStressStep.h"
#include "StressStep.h"

namespace vemto::engine {

namespace {

class MechanicalStressStepper final : public StressStepper {
 public:
  MechanicalStressStepper(RunData& d, WorkingCallback working) : step_(d, working) {}
  bool Run(double t, double dt, numlib::ProgressChannel& channel) override {
    return step_.Run(t, dt, channel);
  }
  double Seconds() const override { return step_.TimesSpent().total; }
  double SolverSeconds() const override { return step_.TimesSpent().solver; }
  const EquationSolver& Solver() const override { return step_.Solver(); }

 private:
  mech::MechStressStep step_;
};

}  // namespace

std::unique_ptr<StressStepper> MakeStressStepper(RunData& d, WorkingCallback working) {
  return std::make_unique<MechanicalStressStepper>(d, working);
}

}  // namespace vemto::engine
