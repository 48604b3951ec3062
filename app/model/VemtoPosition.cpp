#include "VemtoPosition.h"

#include <algorithm>

#include <fmt/format.h>

#include "Edge.h"
#include "VemtoCondition.h"
#include "VemtoPipe.h"
#include "VemtoSurface.h"

namespace vemto {
namespace {

template <class T>
std::int32_t IndexIn(std::span<T* const> list, const T* item) {
  if (item == nullptr) return -1;
  const auto it = std::find(list.begin(), list.end(), item);
  return it == list.end() ? -1 : static_cast<std::int32_t>(it - list.begin());
}

// Pointer for a stored index; -1 gives null, any other index outside the list throws.
template <class T>
T* Resolve(std::span<T* const> list, std::int32_t index, const char* what) {
  if (index == -1) return nullptr;
  if (index < 0 || static_cast<std::size_t>(index) >= list.size())
    throw StreamError(fmt::format("position: {} index {} is outside 0..{}", what, index,
                                  static_cast<long>(list.size()) - 1));
  return list[static_cast<std::size_t>(index)];
}

// Reads n int32 values, leaving the stream where it was when they are not all there.
template <std::size_t N>
std::array<std::int32_t, N> ReadInts(TStream& stream) {
  if (stream.Remaining() < 4 * N)
    throw StreamError(
        fmt::format("truncated position record: {} bytes needed at offset {}, {} left", 4 * N,
                    stream.Position(), stream.Remaining()));
  std::array<std::int32_t, N> v{};
  for (auto& x : v) x = stream.ReadInt32();
  return v;
}

void AddRefTo(TRefCounted* target) {
  if (target != nullptr) target->AddRef();
}
void ReleaseOf(TRefCounted* target) {
  if (target != nullptr) target->Release();
}

}  // namespace

// ----------------------------------------------------------------------------- base

void TVemtoPosition::SaveToStream(TStream& stream) const {
  stream.WriteInt32(ConditionIndex);
}

void TVemtoPosition::LoadFromStream(TStream& stream) {
  ConditionIndex = stream.ReadInt32();
}

void TVemtoPosition::AddReferences() {
  AddRefTo(Condition);
}
void TVemtoPosition::ReleaseReferences() {
  ReleaseOf(Condition);
}

void TVemtoPosition::RefreshIndices(const PositionTargets& targets) {
  ConditionIndex = IndexIn(targets.Conditions, Condition);
}

void TVemtoPosition::ResolveIndices(const PositionTargets& targets) {
  Condition = Resolve(targets.Conditions, ConditionIndex, "condition");
}

// -------------------------------------------------------------------------- nodal

void TVemtoNodalPos::SaveToStream(TStream& stream) const {
  TVemtoPosition::SaveToStream(stream);
  stream.WriteDouble(X);
  stream.WriteDouble(Y);
}

void TVemtoNodalPos::LoadFromStream(TStream& stream) {
  if (stream.Remaining() < 20)
    throw StreamError(fmt::format("truncated nodal position record at offset {}: {} bytes left",
                                  stream.Position(), stream.Remaining()));
  TVemtoPosition::LoadFromStream(stream);
  X = stream.ReadDouble();
  Y = stream.ReadDouble();
}

// --------------------------------------------------------------------------- edge

void TVemtoEdgePos::SaveToStream(TStream& stream) const {
  TVemtoPosition::SaveToStream(stream);
  stream.WriteInt32(EdgeIndex);
}

void TVemtoEdgePos::LoadFromStream(TStream& stream) {
  const auto v = ReadInts<2>(stream);
  ConditionIndex = v[0];
  EdgeIndex = v[1];
}

void TVemtoEdgePos::AddReferences() {
  TVemtoPosition::AddReferences();
  AddRefTo(Edge);
}

void TVemtoEdgePos::ReleaseReferences() {
  TVemtoPosition::ReleaseReferences();
  ReleaseOf(Edge);
}

void TVemtoEdgePos::RefreshIndices(const PositionTargets& targets) {
  TVemtoPosition::RefreshIndices(targets);
  EdgeIndex = IndexIn(targets.Edges, Edge);
}

void TVemtoEdgePos::ResolveIndices(const PositionTargets& targets) {
  TVemtoCondition* condition = Resolve(targets.Conditions, ConditionIndex, "condition");
  TEdge* edge = Resolve(targets.Edges, EdgeIndex, "edge");
  Condition = condition;
  Edge = edge;
}

// ------------------------------------------------------------------------ surface

void TVemtoSurfacePos::SaveToStream(TStream& stream) const {
  TVemtoPosition::SaveToStream(stream);
  stream.WriteInt32(SurfaceIndex);
}

void TVemtoSurfacePos::LoadFromStream(TStream& stream) {
  const auto v = ReadInts<2>(stream);
  ConditionIndex = v[0];
  SurfaceIndex = v[1];
}

void TVemtoSurfacePos::AddReferences() {
  TVemtoPosition::AddReferences();
  AddRefTo(Surface);
}

void TVemtoSurfacePos::ReleaseReferences() {
  TVemtoPosition::ReleaseReferences();
  ReleaseOf(Surface);
}

void TVemtoSurfacePos::RefreshIndices(const PositionTargets& targets) {
  TVemtoPosition::RefreshIndices(targets);
  SurfaceIndex = IndexIn(targets.Surfaces, Surface);
}

void TVemtoSurfacePos::ResolveIndices(const PositionTargets& targets) {
  TVemtoCondition* condition = Resolve(targets.Conditions, ConditionIndex, "condition");
  TVemtoSurface* surface = Resolve(targets.Surfaces, SurfaceIndex, "surface");
  Condition = condition;
  Surface = surface;
}

// --------------------------------------------------------------------------- pipe

void TVemtoPipePos::SaveToStream(TStream& stream) const {
  TVemtoNodalPos::SaveToStream(stream);
  stream.WriteInt32(PipeIndex);
  stream.WriteInt32(PipeOrder);
  stream.WriteInt32(PipeAux2);
}

void TVemtoPipePos::LoadFromStream(TStream& stream) {
  if (stream.Remaining() < 32)
    throw StreamError(fmt::format("truncated pipe position record at offset {}: {} bytes left",
                                  stream.Position(), stream.Remaining()));
  TVemtoNodalPos::LoadFromStream(stream);
  PipeIndex = stream.ReadInt32();
  PipeOrder = stream.ReadInt32();
  PipeAux2 = stream.ReadInt32();
}

void TVemtoPipePos::AddReferences() {
  AddRefTo(Pipe);
}
void TVemtoPipePos::ReleaseReferences() {
  ReleaseOf(Pipe);
}

void TVemtoPipePos::RefreshIndices(const PositionTargets& targets) {
  PipeIndex = IndexIn(targets.Pipes, Pipe);
}

void TVemtoPipePos::ResolveIndices(const PositionTargets& targets) {
  Pipe = Resolve(targets.Pipes, PipeIndex, "pipe");
}

std::unique_ptr<TVemtoPosition> MakePosition(std::string_view className) {
  if (className == "TVemtoNodalPos") return std::make_unique<TVemtoNodalPos>();
  if (className == "TVemtoEdgePos") return std::make_unique<TVemtoEdgePos>();
  if (className == "TVemtoSurfacePos") return std::make_unique<TVemtoSurfacePos>();
  if (className == "TVemtoPipePos") return std::make_unique<TVemtoPipePos>();
  return nullptr;
}

}  // namespace vemto
