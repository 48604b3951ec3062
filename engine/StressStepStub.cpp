// Placeholder of the stress step until the mechanical model is built in: a run
// that asks for stresses ends with a clear error instead of storing zero stresses.
// Replace this file by the adapter of the real stress step.
#include "StressStep.h"

namespace vemto::engine {

namespace {

class UnavailableStressStep final : public StressStepper {
 public:
  bool Run(double, double, numlib::ProgressChannel& channel) override {
    channel.SendError(1000, " STRESS ANALYSIS NOT AVAILABLE IN THIS VERSION");
    return false;
  }
};

}  // namespace

std::unique_ptr<StressStepper> MakeStressStepper(RunData&, WorkingCallback) {
  return std::make_unique<UnavailableStressStep>();
}

}  // namespace vemto::engine
