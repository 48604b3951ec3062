// The exported computational entry point of the engine library.
#include <cstdint>

#include "EngineRun.h"
#include "ProgressChannel.h"

extern "C" {

/// Runs one simulation. window: listener receiving the progress messages (by
/// value); nInt: number of intervals; intervals: nInt × 3 reals (end time, time
/// step, storage increment; s); words: work-array size in 8-byte words; dataFile,
/// resultFile, tmFile: 256-byte file name fields. Everything the caller learns
/// comes through the progress messages and the files written.
VEMTO_EXPORT void execute(VemtoWindowHandle window, const std::int32_t* nInt,
                          const double* intervals, const std::int32_t* words, const char* dataFile,
                          const char* resultFile, const char* tmFile) {
  vemto::engine::Execute(window, nInt, intervals, words, dataFile, resultFile, tmFile);
}

}  // extern "C"
