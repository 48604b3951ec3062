#include "VemtoCondition.h"

#include <fmt/format.h>

namespace vemto {
namespace {

constexpr std::size_t kEventPosRecord = 24;  // three real64

// Rewinds the stream when a record could not be read completely.
class RecordGuard {
 public:
  explicit RecordGuard(TStream& s) : stream_(s), start_(s.Position()) {}
  ~RecordGuard() {
    if (!done_) stream_.Seek(start_);
  }
  void Done() { done_ = true; }

 private:
  TStream& stream_;
  std::size_t start_;
  bool done_ = false;
};

}  // namespace

void TVemtoEventPos::SaveToStream(TStream& stream) const {
  stream.WriteDouble(Value1);
  stream.WriteDouble(Value2);
  stream.WriteDouble(Time);
}

void TVemtoEventPos::LoadFromStream(TStream& stream) {
  const double v1 = stream.ReadDouble();
  const double v2 = stream.ReadDouble();
  const double t = stream.ReadDouble();
  Value1 = v1;
  Value2 = v2;
  Time = t;
}

void TVemtoCondition::SaveToStream(TStream& stream) const {
  CheckRecordText(Name, "condition name");
  stream.WriteText(Name);
  stream.WriteInt32(RefCount);
  stream.WriteInt32(static_cast<std::int32_t>(History.size()));
  for (const auto& p : History) p.SaveToStream(stream);
  SaveFields(stream);
}

void TVemtoCondition::LoadFromStream(TStream& stream) {
  RecordGuard guard(stream);
  std::string name = ReadRecordText(stream);
  const std::int32_t refCount = stream.ReadInt32();
  if (refCount < 0)
    throw StreamError(
        fmt::format("condition \"{}\" has a negative reference count {}", name, refCount));
  const std::int32_t count = stream.ReadInt32();
  if (count < 0 || static_cast<std::size_t>(count) > stream.Remaining() / kEventPosRecord)
    throw StreamError(
        fmt::format("condition \"{}\" announces {} history points; the record holds at most {}",
                    name, count, stream.Remaining() / kEventPosRecord));
  std::vector<TVemtoEventPos> history(static_cast<std::size_t>(count));
  for (auto& p : history) p.LoadFromStream(stream);
  LoadFields(stream);
  Name = std::move(name);
  RefCount = refCount;
  History = std::move(history);
  guard.Done();
}

// ---------------------------------------------------------------------------------------

void TVemtoTempCondition::SetEditorDefaults() {
  InsulationType = static_cast<std::uint8_t>(InsulationKind::None);
  ThermalConductivity = 45.0;
  InsulationThickness = 0.005;
  WindVelocity = 5.0;
  TransferCoefficient = 10.0;
}

void TVemtoTempCondition::SaveFields(TStream& stream) const {
  stream.WriteUInt8(InsulationType);
  stream.WriteDouble(ThermalConductivity);
  stream.WriteDouble(InsulationThickness);
  stream.WriteDouble(WindVelocity);
  stream.WriteDouble(TransferCoefficient);
}

void TVemtoTempCondition::LoadFields(TStream& stream) {
  const std::uint8_t type = stream.ReadUInt8();
  if (type > static_cast<std::uint8_t>(InsulationKind::Plastic))
    throw StreamError(fmt::format("insulation type {} is outside 0..7", type));
  const double conductivity = stream.ReadDouble();
  const double thickness = stream.ReadDouble();
  const double wind = stream.ReadDouble();
  const double transfer = stream.ReadDouble();
  InsulationType = type;
  ThermalConductivity = conductivity;
  InsulationThickness = thickness;
  WindVelocity = wind;
  TransferCoefficient = transfer;
}

void TVemtoPipeCondition::SetEditorDefaults() {
  TransferCoefficient = 978.0;
  PipeDiameter = 0.025;
  PipeAux = 0.0;
  SpecificHeat = 4200.0;
  PipeConditionType = 1;
}

void TVemtoPipeCondition::SaveFields(TStream& stream) const {
  stream.WriteDouble(TransferCoefficient);
  stream.WriteDouble(PipeDiameter);
  stream.WriteDouble(PipeAux);
  stream.WriteDouble(SpecificHeat);
  stream.WriteInt32(PipeConditionType);
}

void TVemtoPipeCondition::LoadFields(TStream& stream) {
  const double transfer = stream.ReadDouble();
  const double diameter = stream.ReadDouble();
  const double aux = stream.ReadDouble();
  const double heat = stream.ReadDouble();
  const std::int32_t type = stream.ReadInt32();
  if (type != 0 && type != 1)
    throw StreamError(fmt::format("pipe condition type {} is neither 0 nor 1", type));
  TransferCoefficient = transfer;
  PipeDiameter = diameter;
  PipeAux = aux;
  SpecificHeat = heat;
  PipeConditionType = type;
}

void TVemtoDisplCondition::SaveFields(TStream& stream) const {
  stream.WriteInt32(Direction);
}

void TVemtoDisplCondition::LoadFields(TStream& stream) {
  const std::int32_t direction = stream.ReadInt32();
  if (direction < 1 || direction > 3)
    throw StreamError(fmt::format("displacement direction {} is outside 1..3", direction));
  Direction = direction;
}

void TVemtoSpringCondition::SaveFields(TStream& stream) const {
  stream.WriteDouble(StiffnessX);
  stream.WriteDouble(StiffnessY);
}

void TVemtoSpringCondition::LoadFields(TStream& stream) {
  const double kx = stream.ReadDouble();
  const double ky = stream.ReadDouble();
  StiffnessX = kx;
  StiffnessY = ky;
}

std::unique_ptr<TVemtoCondition> MakeCondition(std::string_view className) {
  if (className == "TVemtoTempCondition") return std::make_unique<TVemtoTempCondition>();
  if (className == "TVemtoFlowCondition") return std::make_unique<TVemtoFlowCondition>();
  if (className == "TVemtoPipeCondition") return std::make_unique<TVemtoPipeCondition>();
  if (className == "TVemtoDisplCondition") return std::make_unique<TVemtoDisplCondition>();
  if (className == "TVemtoLoadCondition") return std::make_unique<TVemtoLoadCondition>();
  if (className == "TVemtoSpringCondition") return std::make_unique<TVemtoSpringCondition>();
  return nullptr;
}

}  // namespace vemto
