#include "VemtoInterval.h"

#include <fmt/format.h>

namespace vemto {

void TVemtoInterval::SaveToStream(TStream& stream) const {
  stream.WriteDouble(EndTime);
  stream.WriteDouble(TimeStep);
  stream.WriteDouble(StoreStep);
}

void TVemtoInterval::LoadFromStream(TStream& stream) {
  if (stream.Remaining() < 24)
    throw StreamError(fmt::format("truncated interval record at offset {}: {} bytes left",
                                  stream.Position(), stream.Remaining()));
  EndTime = stream.ReadDouble();
  TimeStep = stream.ReadDouble();
  StoreStep = stream.ReadDouble();
}

}  // namespace vemto
