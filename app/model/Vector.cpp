#include "Vector.h"

#include <cmath>
#include <stdexcept>

#include <fmt/format.h>

namespace vemto {

void TVector::Assign(const TFemObject& source) {
  const auto* v = dynamic_cast<const TVector*>(&source);
  if (v == nullptr)
    throw std::invalid_argument(
        fmt::format("Cannot assign a {} to a {}", source.ClassName(), ClassName()));
  TFemObject::Assign(source);
  X = v->X;
  Y = v->Y;
  Z = v->Z;
}

void TVector::SaveToStream(TStream& stream) const {
  stream.WriteDouble(X);
  stream.WriteDouble(Y);
  stream.WriteDouble(Z);
}

void TVector::LoadFromStream(TStream& stream) {
  const std::size_t start = stream.Position();
  const double x = stream.ReadDouble();
  const double y = stream.ReadDouble();
  const double z = stream.ReadDouble();
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) {
    stream.Seek(start);
    throw StreamError(
        fmt::format("coordinate record at offset {} holds a value that is not a "
                    "finite number ({}, {}, {})",
                    start, x, y, z));
  }
  X = x;
  Y = y;
  Z = z;
}

void TVector::SaveToFile(std::FILE* file) const {
  TStream record;
  SaveToStream(record);
  WriteRecordToFile(file, record);
}

void TVector::LoadFromFile(std::FILE* file) {
  TStream record = ReadRecordFromFile(file, kRecordSize);
  LoadFromStream(record);
}

}  // namespace vemto
