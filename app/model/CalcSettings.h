// The calculation settings of a model as one value: what the "Calculation settings"
// dialog edits and what one undoable change writes back.
#pragma once

#include <cstdint>
#include <vector>

#include "VemtoInfo.h"
#include "VemtoInterval.h"

namespace vemto {

class TVemtoFile;

/// Copies of the general settings, the intervals and the three work-array sizes.
struct TCalcSettings {
  TVemtoGeneralInfo General;              ///< analysis and simulation type, times, thickness
  std::vector<TVemtoInterval> Intervals;  ///< in order; times in h
  std::int32_t MeshMemory = 0;            ///< mesher work array, 8-byte words
  std::int32_t EngineMemory = 0;          ///< engine work array, 8-byte words
  std::int32_t PostMemory = 0;            ///< result access work array, 8-byte words

  /// Copies the settings of `document`.
  static TCalcSettings Of(const TVemtoFile& document);
  /// Writes every value into `document`; its intervals are replaced by copies of these.
  void WriteTo(TVemtoFile& document) const;
};

/// Equal values (exact comparison: the dialog copies, it does not compute them anew).
bool operator==(const TCalcSettings& a, const TCalcSettings& b);

/// The six project texts as one value.
bool operator==(const TVemtoProjectInfo& a, const TVemtoProjectInfo& b);

}  // namespace vemto
