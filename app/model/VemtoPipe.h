// A cooling pipe: a named chain of pipe positions that share one pipe condition.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "VemtoObject.h"

namespace vemto {

class TVemtoCondition;
class TVemtoPipeCondition;

/// Cooling pipe. `RefCount` counts the pipe positions using it. Record: Name, RefCount
/// (int32), ConditionIndex (int32), PartLength (real64).
class TVemtoPipe : public TVemtoCountedObject {
 public:
  TVemtoPipe() = default;
  explicit TVemtoPipe(std::string name) : Name(std::move(name)) {}

  const char* ClassName() const override { return "TVemtoPipe"; }
  void SaveToStream(TStream& stream) const override;
  /// Reads the record; the pipe changes only when the whole record was read.
  void LoadFromStream(TStream& stream) override;

  /// Sets Condition from ConditionIndex into `conditions` without reference counting:
  /// -1 gives none; an index outside the list, or one naming a condition that is not a
  /// pipe condition, throws StreamError and leaves Condition unchanged.
  void ResolveConditionIndex(std::span<TVemtoCondition* const> conditions);
  /// Sets ConditionIndex to the list position of Condition (-1 when not in the list).
  void RefreshConditionIndex(std::span<TVemtoCondition* const> conditions);

  std::string Name;                          ///< unique within the pipe list
  TVemtoPipeCondition* Condition = nullptr;  ///< pipe condition, not owned
  std::int32_t ConditionIndex = -1;          ///< zero-based list position of Condition
  double PartLength = 0.0;                   ///< length of pipe parts, m (editor: 1.0)
};

}  // namespace vemto
