#include "VemtoSurface.h"

#include <fmt/format.h>

#include "VemtoMaterial.h"

namespace vemto {

TVemtoSurface::TVemtoSurface(TLoading) : TCoonSurface(ForLoading), Thickness(-1.0) {}

TVemtoSurface::TVemtoSurface(TEdge* e0, TEdge* e1, TEdge* e2, TEdge* e3)
    : TCoonSurface(e0, e1, e2, e3) {}

TVemtoSurface::~TVemtoSurface() {
  if (Material != nullptr) Material->Release();
}

void TVemtoSurface::SetMaterial(TVemtoMaterial* material) {
  if (material == Material) return;
  if (Material != nullptr) Material->Release();
  Material = material;
  if (Material != nullptr) Material->AddRef();
}

void TVemtoSurface::ResolveMaterialIndex(std::span<TVemtoMaterial* const> materials) {
  if (MaterialIndex == -1) {
    Material = nullptr;
    return;
  }
  if (MaterialIndex < 0 || static_cast<std::size_t>(MaterialIndex) >= materials.size())
    throw StreamError(fmt::format("surface {}: material index {} is outside 0..{}", Number,
                                  MaterialIndex, static_cast<long>(materials.size()) - 1));
  Material = materials[static_cast<std::size_t>(MaterialIndex)];
}

std::size_t TVemtoSurface::RecordSize(std::int32_t major, std::int32_t minor) {
  return kRecordSize + 4 + 1 + ((major == 3 && minor == 1) ? 8 : 0);
}

void TVemtoSurface::SaveToStream(TStream& stream) const {
  TCoonSurface::SaveToStream(stream);
  stream.WriteInt32(MaterialIndex);
  stream.WriteUInt8(ElementType);
  if (VersionMajor == 3 && VersionMinor == 1) stream.WriteDouble(Thickness);
}

void TVemtoSurface::LoadFromStream(TStream& stream) {
  const std::size_t start = stream.Position();
  const bool withThickness = VersionMajor == 3 && VersionMinor == 1;
  const std::size_t size = RecordSize(VersionMajor, VersionMinor);
  if (stream.Remaining() < size)
    throw StreamError(fmt::format("truncated surface record: {} bytes needed at offset {}, {} left",
                                  size, start, stream.Remaining()));
  // Check this class's fields before the base changes anything.
  TStream peek(
      std::vector<std::uint8_t>(stream.Bytes().begin() + static_cast<long>(start + kRecordSize),
                                stream.Bytes().begin() + static_cast<long>(start + size)));
  const std::int32_t materialIndex = peek.ReadInt32();
  const std::uint8_t elementType = peek.ReadUInt8();
  const double thickness = withThickness ? peek.ReadDouble() : -1.0;
  if (materialIndex < -1)
    throw StreamError(fmt::format("surface record: invalid material index {}", materialIndex));
  if (elementType > static_cast<std::uint8_t>(ElementKind::ThreeNodeInfinite))
    throw StreamError(fmt::format("surface record: element type {} is outside 0..2", elementType));
  TCoonSurface::LoadFromStream(stream);
  stream.Seek(start + size);
  MaterialIndex = materialIndex;
  ElementType = elementType;
  Thickness = thickness;
}

}  // namespace vemto
