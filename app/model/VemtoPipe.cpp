#include "VemtoPipe.h"

#include <algorithm>

#include <fmt/format.h>

#include "VemtoCondition.h"

namespace vemto {

void TVemtoPipe::SaveToStream(TStream& stream) const {
  CheckRecordText(Name, "pipe name");
  stream.WriteText(Name);
  stream.WriteInt32(RefCount);
  stream.WriteInt32(ConditionIndex);
  stream.WriteDouble(PartLength);
}

void TVemtoPipe::LoadFromStream(TStream& stream) {
  const std::size_t start = stream.Position();
  try {
    std::string name = ReadRecordText(stream);
    const std::int32_t refCount = stream.ReadInt32();
    const std::int32_t conditionIndex = stream.ReadInt32();
    const double partLength = stream.ReadDouble();
    if (refCount < 0)
      throw StreamError(
          fmt::format("pipe \"{}\" has a negative reference count {}", name, refCount));
    Name = std::move(name);
    RefCount = refCount;
    ConditionIndex = conditionIndex;
    PartLength = partLength;
  } catch (const StreamError&) {
    stream.Seek(start);
    throw;
  }
}

void TVemtoPipe::ResolveConditionIndex(std::span<TVemtoCondition* const> conditions) {
  if (ConditionIndex == -1) {
    Condition = nullptr;
    return;
  }
  if (ConditionIndex < 0 || static_cast<std::size_t>(ConditionIndex) >= conditions.size())
    throw StreamError(fmt::format("pipe \"{}\": condition index {} is outside 0..{}", Name,
                                  ConditionIndex, static_cast<long>(conditions.size()) - 1));
  auto* condition =
      dynamic_cast<TVemtoPipeCondition*>(conditions[static_cast<std::size_t>(ConditionIndex)]);
  if (condition == nullptr)
    throw StreamError(
        fmt::format("pipe \"{}\": condition {} is not a pipe condition", Name, ConditionIndex));
  Condition = condition;
}

void TVemtoPipe::RefreshConditionIndex(std::span<TVemtoCondition* const> conditions) {
  const auto it =
      std::find(conditions.begin(), conditions.end(), static_cast<TVemtoCondition*>(Condition));
  ConditionIndex = (Condition == nullptr || it == conditions.end())
                       ? -1
                       : static_cast<std::int32_t>(it - conditions.begin());
}

}  // namespace vemto
