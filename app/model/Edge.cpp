#include "Edge.h"

#include <vector>

#include <fmt/format.h>

namespace vemto {

// ---------------------------------------------------------------------------- TEdge

std::unique_ptr<TEdge> TEdge::CreateForLoading(std::string_view className) {
  if (className == "TEdgeLine") return std::make_unique<TEdgeLine>(ForLoading);
  if (className == "TEdgeCurve") return std::make_unique<TEdgeCurve>(ForLoading);
  return nullptr;
}

void TEdge::Rebind(TNode*& slot, TNode* node) {
  if (slot == node) return;
  if (node != nullptr) node->AddRef();
  if (slot != nullptr) slot->Release();
  slot = node;
}

TEdge& TEdge::CopyFrom(const TEdge& source) {
  Divisions = source.Divisions;
  EdgeFlag = source.EdgeFlag;
  RefCount = source.RefCount;
  EdgeExtra = source.EdgeExtra;
  return *this;
}

void TEdge::PointAtDivision(int i, TVector& point) const {
  if (Divisions <= 0 || i < 0 || i > Divisions) return;
  PointAt(point, i * (1.0 / Divisions));
}

void TEdge::ResolveNodeIndices(std::span<TNode* const> nodes) {
  const auto indices = NodeIndices();
  for (const std::int32_t index : indices) {
    if (index < -1 || (index >= 0 && static_cast<std::size_t>(index) >= nodes.size()))
      throw StreamError(
          fmt::format("edge refers to node index {}, but the node list holds {} "
                      "nodes",
                      index, nodes.size()));
  }
  for (std::size_t k = 0; k < indices.size(); ++k)
    SetNode(static_cast<int>(k), indices[k] < 0 ? nullptr : nodes[indices[k]]);
}

void TEdge::SaveToStream(TStream& stream) const {
  stream.WriteInt32(Divisions);
  stream.WriteUInt8(EdgeFlag);
  stream.WriteInt32(RefCount);
  for (const std::int32_t index : NodeIndices()) stream.WriteInt32(index);
}

void TEdge::LoadFromStream(TStream& stream) {
  const std::size_t start = stream.Position();
  try {
    const std::int32_t divisions = stream.ReadInt32();
    const std::uint8_t flag = stream.ReadUInt8();
    const std::int32_t refCount = stream.ReadInt32();
    const auto indices = NodeIndices();
    std::vector<std::int32_t> read(indices.size());
    for (auto& index : read) index = stream.ReadInt32();
    if (divisions < 1 || divisions > kMaxEdgeDivisions)
      throw StreamError(fmt::format("edge record: division count {} is outside 1..{}", divisions,
                                    kMaxEdgeDivisions));
    if (refCount < 0)
      throw StreamError(fmt::format("edge record: negative reference count {}", refCount));
    for (const std::int32_t index : read)
      if (index < -1) throw StreamError(fmt::format("edge record: invalid node index {}", index));
    Divisions = divisions;
    EdgeFlag = flag;
    RefCount = refCount;
    for (std::size_t k = 0; k < read.size(); ++k) indices[k] = read[k];
  } catch (const StreamError&) {
    stream.Seek(start);
    throw;
  }
}

// ------------------------------------------------------------------------ TEdgeLine

TEdgeLine::TEdgeLine(TNode* start, TNode* end) : StartNode(start), EndNode(end) {
  if (StartNode != nullptr) StartNode->AddRef();
  if (EndNode != nullptr) EndNode->AddRef();
}

TEdgeLine::~TEdgeLine() {
  if (StartNode != nullptr) StartNode->Release();
  if (EndNode != nullptr) EndNode->Release();
}

TEdge& TEdgeLine::CopyFrom(const TEdge& source) {
  TEdge::CopyFrom(source);
  Rebind(StartNode, source.FirstNode());
  Rebind(EndNode, source.LastNode());
  return *this;
}

void TEdgeLine::Interpolate(const TVector& a, const TVector& b, double t, TVector& out) {
  double n1;
  if (t <= 0.0)
    n1 = 0.0;
  else if (t < 1.0)
    n1 = t;
  else
    n1 = 1.0;
  const double n0 = 1.0 - n1;
  out.X = a.X * n0 + b.X * n1;
  out.Y = a.Y * n0 + b.Y * n1;
}

void TEdgeLine::PointAt(TVector& point, double t) const {
  if (StartNode == nullptr || EndNode == nullptr) return;
  Interpolate(*StartNode->Coord, *EndNode->Coord, t, point);
}

void TEdgeLine::Reverse() {
  std::swap(StartNode, EndNode);
}

TNode* TEdgeLine::GetNode(int k) const {
  switch (k) {
    case 0:
      return StartNode;
    case 1:
      return EndNode;
    default:
      return nullptr;
  }
}

void TEdgeLine::SetNode(int k, TNode* node) {
  if (k == 0) StartNode = node;
  if (k == 1) EndNode = node;
}

// ----------------------------------------------------------------------- TEdgeCurve

TEdgeCurve::TEdgeCurve(TNode* start, TNode* middle, TNode* end)
    : StartNode(start), MiddleNode(middle), EndNode(end) {
  for (TNode* n : {StartNode, MiddleNode, EndNode})
    if (n != nullptr) n->AddRef();
}

TEdgeCurve::~TEdgeCurve() {
  for (TNode* n : {StartNode, MiddleNode, EndNode})
    if (n != nullptr) n->Release();
}

TEdge& TEdgeCurve::CopyFrom(const TEdge& source) {
  TEdge::CopyFrom(source);
  Rebind(StartNode, source.FirstNode());
  if (const auto* curve = dynamic_cast<const TEdgeCurve*>(&source))
    Rebind(MiddleNode, curve->MiddleNode);
  Rebind(EndNode, source.LastNode());
  return *this;
}

void TEdgeCurve::Interpolate(const TVector& a, const TVector& m, const TVector& b, double t,
                             TVector& out) {
  const double na = 2.0 * (t - 0.5) * (t - 1.0);
  const double nm = 4.0 * t * (1.0 - t);
  const double nb = 2.0 * t * (t - 0.5);
  out.X = a.X * na + m.X * nm + b.X * nb;
  out.Y = a.Y * na + m.Y * nm + b.Y * nb;
}

void TEdgeCurve::PointAt(TVector& point, double t) const {
  if (StartNode == nullptr || MiddleNode == nullptr || EndNode == nullptr) return;
  Interpolate(*StartNode->Coord, *MiddleNode->Coord, *EndNode->Coord, t, point);
}

void TEdgeCurve::Reverse() {
  std::swap(StartNode, EndNode);
}

TNode* TEdgeCurve::GetNode(int k) const {
  switch (k) {
    case 0:
      return StartNode;
    case 1:
      return MiddleNode;
    case 2:
      return EndNode;
    default:
      return nullptr;
  }
}

void TEdgeCurve::SetNode(int k, TNode* node) {
  if (k == 0) StartNode = node;
  if (k == 1) MiddleNode = node;
  if (k == 2) EndNode = node;
}

}  // namespace vemto
