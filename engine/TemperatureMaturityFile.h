// Reader of the temperature-and-maturity file of another model: blocks of one time
// line (s) followed by one line per 8-node element with its temperature (°C) and
// maturity. Two blocks are kept in `AT`/`AM` (slot 1 and slot 2).
#pragma once

#include <fstream>
#include <memory>
#include <string>

#include "FreeFormatReader.h"
#include "RunData.h"

namespace vemto::engine {

class TemperatureMaturityFile {
 public:
  /// Opens the file and reads the first two blocks into slots 1 and 2 (a file of
  /// one block gives t_b = 1e50 and slot 2 = slot 1). False when the data are not
  /// available (missing file, read error, premature end).
  bool Open(const std::string& fileName, RunData& d);
  /// Before a step ending at `time`: while time > t_b, slot 1 := slot 2 and the
  /// next block is read into slot 2. False when the data run out or are damaged.
  bool Advance(double time, RunData& d);
  /// Text of the last defect (for diagnostics), empty if none.
  const std::string& Defect() const { return defect_; }

 private:
  bool ReadBlock(RunData& d, int slot, double& time);

  std::ifstream in_;
  std::unique_ptr<FreeFormatReader> reader_;
  std::string defect_;
};

}  // namespace vemto::engine
