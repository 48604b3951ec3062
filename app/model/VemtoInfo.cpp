#include "VemtoInfo.h"

#include <array>

#include <fmt/format.h>

namespace vemto {

void TVemtoGeneralInfo::SaveToStream(TStream& stream) const {
  stream.WriteInt32(AnalysisType);
  stream.WriteInt32(SimulationType);
  stream.WriteInt32(LegacySteps);
  stream.WriteInt32(LegacyStep);
  stream.WriteDouble(LegacyStore);
  stream.WriteDouble(InitialTime);
  stream.WriteDouble(Thickness);
}

void TVemtoGeneralInfo::LoadFromStream(TStream& stream) {
  const std::size_t start = stream.Position();
  try {
    const std::int32_t analysis = stream.ReadInt32();
    const std::int32_t simulation = stream.ReadInt32();
    const std::int32_t steps = stream.ReadInt32();
    const std::int32_t step = stream.ReadInt32();
    const double store = stream.ReadDouble();
    const double initial = stream.ReadDouble();
    const double thickness = stream.ReadDouble();
    if (analysis < 1 || analysis > 3)
      throw StreamError(
          fmt::format("general settings: analysis type {} is outside 1..3", analysis));
    if (!((simulation >= 0 && simulation <= 2) || (simulation >= 10 && simulation <= 12)))
      throw StreamError(fmt::format(
          "general settings: simulation type {} is not one of 0, 1, 2, 10, 11, 12", simulation));
    AnalysisType = analysis;
    SimulationType = simulation;
    LegacySteps = steps;
    LegacyStep = step;
    LegacyStore = store;
    InitialTime = initial;
    Thickness = thickness;
  } catch (const StreamError&) {
    stream.Seek(start);
    throw;
  }
}

void TVemtoProjectInfo::SaveToStream(TStream& stream) const {
  const std::array<std::pair<const std::string*, const char*>, 6> texts{{
      {&Title, "project title"},
      {&Subject, "project subject"},
      {&Author, "project author"},
      {&Manager, "project manager"},
      {&Company, "project company"},
      {&Description, "project description"},
  }};
  for (const auto& [text, what] : texts) CheckRecordText(*text, what);
  for (const auto& [text, what] : texts) stream.WriteText(*text);
}

void TVemtoProjectInfo::LoadFromStream(TStream& stream) {
  const std::size_t start = stream.Position();
  try {
    std::array<std::string, 6> t;
    for (auto& s : t) s = ReadRecordText(stream);
    Title = std::move(t[0]);
    Subject = std::move(t[1]);
    Author = std::move(t[2]);
    Manager = std::move(t[3]);
    Company = std::move(t[4]);
    Description = std::move(t[5]);
  } catch (const StreamError&) {
    stream.Seek(start);
    throw;
  }
}

}  // namespace vemto
