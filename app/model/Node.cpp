#include "Node.h"

#include <stdexcept>

#include <fmt/format.h>

namespace vemto {

TNode::TNode(std::unique_ptr<TCoord> coord)
    : Coord(coord ? std::move(coord) : std::make_unique<TCoord>()) {}

void TNode::Assign(const TFemObject& source) {
  const auto* n = dynamic_cast<const TNode*>(&source);
  if (n == nullptr)
    throw std::invalid_argument(
        fmt::format("Cannot assign a {} to a {}", source.ClassName(), ClassName()));
  if (n == this) return;
  TFemObject::Assign(source);
  Coord->Assign(*n->Coord);
  RefCount = n->RefCount;
  Number = n->Number;
}

void TNode::SaveToStream(TStream& stream) const {
  stream.WriteInt32(Number);
  Coord->SaveToStream(stream);
  stream.WriteInt32(RefCount);
}

void TNode::LoadFromStream(TStream& stream) {
  const std::size_t start = stream.Position();
  try {
    const std::int32_t number = stream.ReadInt32();
    TCoord coord;
    coord.LoadFromStream(stream);
    const std::int32_t refCount = stream.ReadInt32();
    if (refCount < 0)
      throw StreamError(fmt::format("node record: negative reference count {}", refCount));
    Number = number;
    Coord->X = coord.X;
    Coord->Y = coord.Y;
    Coord->Z = coord.Z;
    RefCount = refCount;
  } catch (const StreamError&) {
    stream.Seek(start);
    throw;
  }
}

void TNode::SaveToFile(std::FILE* file) const {
  TStream record;
  SaveToStream(record);
  WriteRecordToFile(file, record);
}

void TNode::LoadFromFile(std::FILE* file) {
  TStream record = ReadRecordFromFile(file, kRecordSize);
  LoadFromStream(record);
}

}  // namespace vemto
