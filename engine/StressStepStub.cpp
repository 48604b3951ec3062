// Placeholder of the stress step until the mechanical model is built in: a run
// that asks for stresses ends with a clear error instead of storing zero stresses.
// Delete this file when the real RunStressStep is added.
#include "StressStep.h"

namespace vemto::engine {

void RunStressStep(RunData&, double, double, numlib::ProgressChannel& channel, WorkingCallback) {
  channel.SendError(1000, " STRESS ANALYSIS NOT AVAILABLE IN THIS VERSION");
}

}  // namespace vemto::engine
