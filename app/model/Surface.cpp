#include "Surface.h"

#include <cmath>
#include <limits>

#include <fmt/format.h>

namespace vemto {

namespace {

bool ValidSide(int i) {
  return i >= 0 && i < 4;
}

/// One bounding edge run in the direction of the patch: from `start` to `end`, through
/// `middle` for a curve (null for a straight edge).
struct OrientedEdge {
  const TNode* start = nullptr;
  const TNode* middle = nullptr;
  const TNode* end = nullptr;

  void PointAt(TVector& point, double t) const {
    if (middle != nullptr)
      TEdgeCurve::Interpolate(*start->Coord, *middle->Coord, *end->Coord, t, point);
    else
      TEdgeLine::Interpolate(*start->Coord, *end->Coord, t, point);
  }
};

/// The four edges oriented around the patch and its corners P0..P3.
struct Orientation {
  std::array<OrientedEdge, 4> edges;
  std::array<const TNode*, 4> corners{};
  std::array<std::int32_t, 4> midNumbers{};
};

const TEdgeCurve* AsCurve(const TEdge* edge) {
  return dynamic_cast<const TEdgeCurve*>(edge);
}

/// Orients the four edges: P0 is the end of edge 0 not shared with edge 1, and each
/// following edge runs away from the corner reached by the one before. Returns false
/// when an edge or a node is missing.
bool Orient(const std::array<TEdge*, 4>& e, Orientation& o) {
  for (int k = 0; k < 4; ++k) {
    if (e[k] == nullptr || e[k]->FirstNode() == nullptr || e[k]->LastNode() == nullptr)
      return false;
    const TEdgeCurve* curve = AsCurve(e[k]);
    if (curve != nullptr && curve->MiddleNode == nullptr) return false;
    o.midNumbers[k] = curve != nullptr ? curve->MiddleNode->Number : -1;
    o.edges[k].middle = curve != nullptr ? curve->MiddleNode : nullptr;
  }
  // Edge 0 runs forward when its last node is shared with edge 1.
  const bool forward0 =
      e[0]->LastNode() == e[1]->LastNode() || e[0]->LastNode() == e[1]->FirstNode();
  o.corners[0] = forward0 ? e[0]->FirstNode() : e[0]->LastNode();
  o.corners[1] = forward0 ? e[0]->LastNode() : e[0]->FirstNode();
  o.edges[0].start = o.corners[0];
  o.edges[0].end = o.corners[1];
  // Edges 1, 2 and 3 each run forward when they start at the corner where the previous
  // one ends (the same node, hence the same coordinate object), else backward.
  const TNode* from = o.corners[1];
  for (int k = 1; k < 4; ++k) {
    const bool forward = e[k]->FirstNode()->Coord.get() == from->Coord.get();
    o.edges[k].start = forward ? e[k]->FirstNode() : e[k]->LastNode();
    o.edges[k].end = forward ? e[k]->LastNode() : e[k]->FirstNode();
    from = o.edges[k].end;
    if (k < 3) o.corners[k + 1] = from;
  }
  return true;
}

}  // namespace

// ------------------------------------------------------------------------- TSurface

void TSurface::SaveToStream(TStream& stream) const {
  stream.WriteInt32(RefCount);
}

void TSurface::LoadFromStream(TStream& stream) {
  const std::size_t start = stream.Position();
  const std::int32_t refCount = stream.ReadInt32();
  if (refCount < 0) {
    stream.Seek(start);
    throw StreamError(fmt::format("surface record: negative reference count {}", refCount));
  }
  RefCount = refCount;
}

// --------------------------------------------------------------------- TCoonSurface

TCoonSurface::TCoonSurface(TEdge* e0, TEdge* e1, TEdge* e2, TEdge* e3) : Edges{e0, e1, e2, e3} {
  for (TEdge* e : Edges)
    if (e != nullptr) e->AddRef();
}

TCoonSurface::~TCoonSurface() {
  for (TEdge* e : Edges)
    if (e != nullptr) e->Release();
}

TEdge* TCoonSurface::GetEdge(int i) const {
  return ValidSide(i) ? Edges[i] : nullptr;
}

void TCoonSurface::SetEdge(int i, TEdge* edge) {
  if (ValidSide(i)) Edges[i] = edge;
}

std::int32_t TCoonSurface::GetEdgeIndex(int i) const {
  return ValidSide(i) ? EdgeIndex[i] : -1;
}

void TCoonSurface::SetEdgeIndex(int i, std::int32_t n) {
  if (ValidSide(i)) EdgeIndex[i] = n;
}

std::int32_t TCoonSurface::CornerNumber(int i) const {
  return ValidSide(i) ? CornerNumbers[i] : -1;
}

std::int32_t TCoonSurface::MidNumber(int i) const {
  return ValidSide(i) ? MidNumbers[i] : -1;
}

std::int32_t TCoonSurface::DivisionsV() const {
  return Edges[1] != nullptr ? Edges[1]->Divisions : -1;
}

std::int32_t TCoonSurface::DivisionsU() const {
  return Edges[0] != nullptr ? Edges[0]->Divisions : -1;
}

bool TCoonSurface::RefreshNumbers() {
  Orientation o;
  if (!Orient(Edges, o)) return false;
  MidNumbers = o.midNumbers;
  for (int k = 0; k < 4; ++k) CornerNumbers[k] = o.corners[k]->Number;
  return true;
}

void TCoonSurface::PointAt(TVector& point, double s, double t) {
  Orientation o;
  if (!Orient(Edges, o)) return;
  MidNumbers = o.midNumbers;
  for (int k = 0; k < 4; ++k) CornerNumbers[k] = o.corners[k]->Number;

  TVector b, r, top, l;
  o.edges[0].PointAt(b, s);          // bottom, P0 -> P1
  o.edges[1].PointAt(r, t);          // right, P1 -> P2
  o.edges[2].PointAt(top, 1.0 - s);  // top, P2 -> P3, read from P3 at s = 0
  o.edges[3].PointAt(l, 1.0 - t);    // left, P3 -> P0, read from P0 at t = 0

  const long double S = s;
  const long double T = t;
  const TCoord& p0 = *o.corners[0]->Coord;
  const TCoord& p1 = *o.corners[1]->Coord;
  const TCoord& p2 = *o.corners[2]->Coord;
  const TCoord& p3 = *o.corners[3]->Coord;
  auto blend = [&](long double vb, long double vt, long double vl, long double vr, long double c0,
                   long double c1, long double c2, long double c3) {
    return (1.0L - T) * vb + T * vt + (1.0L - S) * vl + S * vr - (1.0L - S) * (1.0L - T) * c0 -
           S * (1.0L - T) * c1 - S * T * c2 - (1.0L - S) * T * c3;
  };
  point.X = static_cast<double>(blend(b.X, top.X, l.X, r.X, p0.X, p1.X, p2.X, p3.X));
  point.Y = static_cast<double>(blend(b.Y, top.Y, l.Y, r.Y, p0.Y, p1.Y, p2.Y, p3.Y));
}

std::string SurfaceChainProblem(const TCoonSurface& surface) {
  return EdgeChainProblem(surface.Edges);
}

std::string EdgeChainProblem(const std::array<TEdge*, 4>& e) {
  // Sides are numbered 1..4 as in the surface table (Edges[0..3]).
  for (int i = 0; i < 4; ++i) {
    if (!e[i]) return fmt::format("side {} has no edge", i + 1);
    if (!e[i]->FirstNode() || !e[i]->LastNode())
      return fmt::format("the edge of side {} lacks a node", i + 1);
    if (e[i]->FirstNode() == e[i]->LastNode())
      return fmt::format("the edge of side {} starts and ends at the same node", i + 1);
    for (int j = 0; j < i; ++j)
      if (e[j] == e[i])
        return fmt::format(
            "sides {} and {} use the same edge; the edges do not form a closed chain", j + 1,
            i + 1);
  }
  // Walk the chain from the end of side 1 that it does not share with side 2.
  const TNode* p0 = e[0]->FirstNode();
  const TNode* p1 = e[0]->LastNode();
  auto touches = [](const TEdge* edge, const TNode* n) {
    return edge->FirstNode() == n || edge->LastNode() == n;
  };
  if (!touches(e[1], p1)) std::swap(p0, p1);
  std::array<const TNode*, 4> corners{p0, p1, nullptr, nullptr};
  const TNode* at = p1;
  for (int i = 1; i < 4; ++i) {
    if (!touches(e[i], at))
      return fmt::format("sides {} and {} share no node; the edges do not form a closed chain", i,
                         i + 1);
    at = (at == e[i]->FirstNode()) ? e[i]->LastNode() : e[i]->FirstNode();
    if (i < 3) corners[static_cast<std::size_t>(i + 1)] = at;
  }
  if (at != p0) return "sides 4 and 1 share no node; the edges do not form a closed chain";
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (corners[i] == corners[j])
        return fmt::format("corners {} and {} are the same node", j + 1, i + 1);
  return {};
}

void TCoonSurface::PointAtDivision(int i, int j, TVector& point) {
  const std::int32_t nu = DivisionsU();
  const std::int32_t nv = DivisionsV();
  if (nu <= 0 || nv <= 0 || i < 0 || i > nu || j < 0 || j > nv) return;
  PointAt(point, static_cast<double>(i) / nu, static_cast<double>(j) / nv);
}

void TCoonSurface::ResolveEdgeIndices(std::span<TEdge* const> edges) {
  for (const std::int32_t index : EdgeIndex) {
    if (index < -1 || (index >= 0 && static_cast<std::size_t>(index) >= edges.size()))
      throw StreamError(
          fmt::format("surface refers to edge index {}, but the edge list holds {} edges", index,
                      edges.size()));
  }
  for (int k = 0; k < 4; ++k) Edges[k] = EdgeIndex[k] < 0 ? nullptr : edges[EdgeIndex[k]];
}

void TCoonSurface::SaveToStream(TStream& stream) const {
  TSurface::SaveToStream(stream);
  stream.WriteInt32(Number);
  stream.WriteInt32(SurfaceAux);
  for (const std::int32_t index : EdgeIndex) stream.WriteInt32(index);
}

void TCoonSurface::LoadFromStream(TStream& stream) {
  const std::size_t start = stream.Position();
  try {
    const std::int32_t refCount = stream.ReadInt32();
    const std::int32_t number = stream.ReadInt32();
    const std::int32_t aux = stream.ReadInt32();
    std::array<std::int32_t, 4> indices{};
    for (auto& index : indices) index = stream.ReadInt32();
    if (refCount < 0)
      throw StreamError(fmt::format("surface record: negative reference count {}", refCount));
    for (const std::int32_t index : indices)
      if (index < -1)
        throw StreamError(fmt::format("surface record: invalid edge index {}", index));
    RefCount = refCount;
    Number = number;
    SurfaceAux = aux;
    EdgeIndex = indices;
  } catch (const StreamError&) {
    stream.Seek(start);
    throw;
  }
}

// ------------------------------------------------------------------------- helpers

void NearestDivisionPoint(TSurface& surface, double x, double y, double& px, double& py) {
  double best = 1e300;
  const std::int32_t nu = surface.DivisionsU();
  const std::int32_t nv = surface.DivisionsV();
  TVector p;
  for (std::int64_t i = 0; i <= nu; ++i) {
    for (std::int64_t j = 0; j <= nv; ++j) {
      // A point the surface cannot evaluate stays NaN and never wins.
      p.X = std::numeric_limits<double>::quiet_NaN();
      p.Y = std::numeric_limits<double>::quiet_NaN();
      surface.PointAtDivision(static_cast<int>(i), static_cast<int>(j), p);
      const double dx = p.X - x;
      const double dy = p.Y - y;
      const double d = std::sqrt(dx * dx + dy * dy);
      if (d < best) {
        best = d;
        px = p.X;
        py = p.Y;
      }
    }
  }
}

}  // namespace vemto
