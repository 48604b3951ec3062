// A stand-in for the engine library: exports `execute` and the progress channel and
// behaves as its analysis data file tells it. The file holds one line:
//   run STEPS [DELAY_MS]   CREATING MATRICES, writes the result file, STEPS time steps
//                          (cancellation checked after each), COMPUTATION FINISHED
//   error                  error 1000 with an element error text, then " COMPUTATION FINISHED"
//   stubborn               time steps every millisecond, ignoring cancellation
// A missing data file gives error 1003 "COULD NOT OPEN INPUT FILE." as the engine does.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ModuleState.h"

namespace {

struct LastCall {
  std::int32_t intervalCount = -1;
  std::vector<double> intervals;
  std::int32_t memory = 0;
  std::string files[3];
};

LastCall& Last() {
  static LastCall last;
  return last;
}

std::atomic<std::int32_t> messagesBegun{0};  // time-step and working messages

}  // namespace

extern "C" {

VEMTO_EXPORT void execute(VemtoWindowHandle window, const std::int32_t* nInt,
                          const double* intervals, const std::int32_t* words, const char* dataFile,
                          const char* resultFile, const char* tmFile) {
  numlib::ProgressChannel& channel = numlib::Module().channel;
  channel.Init(window);
  LastCall& last = Last();
  last.intervalCount = *nInt;
  last.intervals.assign(intervals, intervals + 3 * std::max(*nInt, 0));
  last.memory = *words;
  last.files[0] = numlib::FieldText(dataFile);
  last.files[1] = numlib::FieldText(resultFile);
  last.files[2] = numlib::FieldText(tmFile);

  std::ifstream in(last.files[0]);
  if (!in) {
    channel.SendError(VEMTO_ERROR_INPUT_FILE, "COULD NOT OPEN INPUT FILE.");
    return;
  }
  std::string mode;
  int steps = 0;
  int delayMs = 0;
  in >> mode >> steps >> delayMs;
  channel.SendInfo(" CREATING MATRICES");
  if (mode == "error") {
    channel.SendError(VEMTO_ERROR_GENERAL, " ELEMENT     3 HAS A NON-POSITIVE JACOBIAN");
    channel.SendFinished(" COMPUTATION FINISHED");
    return;
  }
  std::ofstream(last.files[1]) << "results\n";
  if (mode == "stubborn") {
    for (;;) {
      ++messagesBegun;
      channel.SendTimeStep();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  for (int step = 1; step <= steps; ++step) {
    ++messagesBegun;
    channel.SendTimeStep();
    if (channel.BreakRequested()) return;
    ++messagesBegun;
    channel.SendWorking();
    if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
  }
  channel.SendFinished("COMPUTATION FINISHED");
}

/// Time-step and working messages begun since the last reset (counted before each is
/// sent, so a message held by the receiver is counted).
VEMTO_EXPORT std::int32_t standin_messages_begun(void) {
  return messagesBegun.load();
}
/// Sets the message count to 0 (call before a run is started).
VEMTO_EXPORT void standin_reset(void) {
  messagesBegun = 0;
}

/// The arguments of the last `execute`: count, intervals (3 × count), memory, and the
/// three file names (fileIndex 0, 1, 2) copied into a 256-byte buffer.
VEMTO_EXPORT std::int32_t standin_interval_count(void) {
  return Last().intervalCount;
}
VEMTO_EXPORT double standin_interval(std::int32_t index) {
  return Last().intervals.at(index);
}
VEMTO_EXPORT std::int32_t standin_memory(void) {
  return Last().memory;
}
VEMTO_EXPORT void standin_file(std::int32_t fileIndex, char* buffer) {
  std::memset(buffer, 0, 256);
  std::strncpy(buffer, Last().files[fileIndex].c_str(), 255);
}
}
