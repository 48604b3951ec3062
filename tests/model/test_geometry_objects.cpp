// Nodes, vectors, edges and reference counts of the geometry model.
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "Edge.h"
#include "Node.h"
#include "Vector.h"

namespace vemto {
namespace {

constexpr double kExact = 0.0;  // values that must be reproduced bit for bit
constexpr double kTol = 1e-14;  // m, interpolated coordinates of unit size

std::vector<std::uint8_t> Bytes(std::initializer_list<int> b) {
  return std::vector<std::uint8_t>(b.begin(), b.end());
}

// ------------------------------------------------------------------ reference counts

TEST(GeometryRefCount, ReleaseNeverGoesBelowZeroAndAddRefSaturates) {
  TNode n;
  EXPECT_FALSE(n.InUse());
  n.Release();
  EXPECT_EQ(n.RefCount, 0);
  n.AddRef();
  n.AddRef();
  EXPECT_TRUE(n.InUse());
  n.Release();
  n.Release();
  n.Release();
  EXPECT_EQ(n.RefCount, 0);
  EXPECT_FALSE(n.InUse());
  n.RefCount = std::numeric_limits<std::int32_t>::max();
  n.AddRef();
  EXPECT_EQ(n.RefCount, std::numeric_limits<std::int32_t>::max());
}

// -------------------------------------------------------------------- vector, coord

TEST(GeometryVector, AssignCopiesComponentsAndRejectsOtherClasses) {
  TVector a(1.5, -2.25, 0.0);
  TCoord c;
  c.Assign(a);
  EXPECT_EQ(c.X, 1.5);
  EXPECT_EQ(c.Y, -2.25);
  EXPECT_EQ(c.Z, 0.0);
  TNode n;
  EXPECT_THROW(c.Assign(n), std::invalid_argument);
}

TEST(GeometryVector, RecordIsThreeLittleEndianReals) {
  TVector v(1.0, -2.0, 0.5);
  TStream s;
  v.SaveToStream(s);
  ASSERT_EQ(s.Size(), TVector::kRecordSize);
  EXPECT_EQ(s.Bytes(), Bytes({0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0xC0,  //
                              0, 0, 0, 0, 0, 0, 0xE0, 0x3F}));
  TVector back;
  back.LoadFromStream(s);
  EXPECT_EQ(back.X, 1.0);
  EXPECT_EQ(back.Y, -2.0);
  EXPECT_EQ(back.Z, 0.5);
}

TEST(GeometryVector, NonFiniteCoordinateIsRejected) {
  TStream s;
  s.WriteDouble(1.0);
  s.WriteDouble(std::numeric_limits<double>::quiet_NaN());
  s.WriteDouble(0.0);
  TVector v(3.0, 4.0, 0.0);
  EXPECT_THROW(v.LoadFromStream(s), StreamError);
  EXPECT_EQ(v.X, 3.0);
  EXPECT_EQ(v.Y, 4.0);
  EXPECT_EQ(s.Position(), 0u);
}

// --------------------------------------------------------------------------- node

TEST(GeometryNode, ConstructionOwnsCoordinate) {
  auto coord = std::make_unique<TCoord>(2.0, 3.0, 0.0);
  TCoord* raw = coord.get();
  TNode n(std::move(coord));
  EXPECT_EQ(n.Coord.get(), raw);
  EXPECT_EQ(n.RefCount, 0);
  EXPECT_EQ(n.Number, 0);
  TNode empty(std::unique_ptr<TCoord>{});
  ASSERT_NE(empty.Coord, nullptr);
  EXPECT_EQ(empty.Coord->X, 0.0);
}

TEST(GeometryNode, AssignCopiesValuesNotTheCoordinateObject) {
  TNode a(1.0, 2.0);
  a.Number = 9;
  a.RefCount = 3;
  TNode b(7.0, 8.0);
  TCoord* own = b.Coord.get();
  b.Assign(a);
  EXPECT_EQ(b.Coord.get(), own);
  EXPECT_EQ(b.Coord->X, 1.0);
  EXPECT_EQ(b.Coord->Y, 2.0);
  EXPECT_EQ(b.Number, 9);
  EXPECT_EQ(b.RefCount, 3);
  TVector v;
  EXPECT_THROW(b.Assign(v), std::invalid_argument);
}

TEST(GeometryNode, RecordIs32BytesInFieldOrder) {
  TNode n(1.0, -2.0);
  n.Number = 3;
  n.RefCount = 2;
  TStream s;
  n.SaveToStream(s);
  ASSERT_EQ(s.Size(), 32u);
  ASSERT_EQ(TNode::kRecordSize, 32u);
  EXPECT_EQ(s.Bytes(), Bytes({3, 0, 0, 0,                    //
                              0, 0, 0, 0, 0, 0, 0xF0, 0x3F,  //
                              0, 0, 0, 0, 0, 0, 0,    0xC0,  //
                              0, 0, 0, 0, 0, 0, 0,    0,     //
                              2, 0, 0, 0}));
  TNode back(ForLoading);
  TCoord* own = back.Coord.get();
  back.LoadFromStream(s);
  EXPECT_EQ(back.Coord.get(), own);
  EXPECT_EQ(back.Number, 3);
  EXPECT_EQ(back.Coord->X, 1.0);
  EXPECT_EQ(back.Coord->Y, -2.0);
  EXPECT_EQ(back.RefCount, 2);
  EXPECT_EQ(s.Remaining(), 0u);
}

TEST(GeometryNode, TruncatedOrDamagedRecordLeavesNodeUnchanged) {
  TNode n(1.0, -2.0);
  n.Number = 3;
  n.RefCount = 2;
  TStream full;
  n.SaveToStream(full);
  for (std::size_t len = 0; len < 32; ++len) {
    TStream cut(std::vector<std::uint8_t>(full.Bytes().begin(), full.Bytes().begin() + len));
    TNode target(5.0, 6.0);
    target.Number = 7;
    EXPECT_THROW(target.LoadFromStream(cut), StreamError) << len;
    EXPECT_EQ(cut.Position(), 0u);
    EXPECT_EQ(target.Number, 7);
    EXPECT_EQ(target.Coord->X, 5.0);
    EXPECT_EQ(target.RefCount, 0);
  }
  TStream neg;
  neg.WriteInt32(1);
  neg.WriteDouble(0.0);
  neg.WriteDouble(0.0);
  neg.WriteDouble(0.0);
  neg.WriteInt32(-4);
  TNode target;
  EXPECT_THROW(target.LoadFromStream(neg), StreamError);
  EXPECT_EQ(target.RefCount, 0);
}

TEST(GeometryNode, FileFormMatchesStreamForm) {
  TNode n(0.25, 4.0);
  n.Number = 12;
  n.RefCount = 1;
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  n.SaveToFile(f);
  EXPECT_EQ(std::ftell(f), 32);
  std::rewind(f);
  TNode back;
  back.LoadFromFile(f);
  EXPECT_EQ(back.Number, 12);
  EXPECT_EQ(back.Coord->X, 0.25);
  EXPECT_EQ(back.Coord->Y, 4.0);
  EXPECT_EQ(back.RefCount, 1);
  // The file now ends: a second record is truncated.
  EXPECT_THROW(back.LoadFromFile(f), StreamError);
  std::fclose(f);
  EXPECT_THROW(back.LoadFromFile(nullptr), StreamError);
  EXPECT_THROW(n.SaveToFile(nullptr), StreamError);
}

// -------------------------------------------------------------------------- edges

TEST(GeometryEdge, ConstructionCountsNodesAndDestructionReleasesThem) {
  TNode a(0, 0), b(1, 0), m(0.5, 0.5);
  {
    TEdgeLine line(&a, &b);
    EXPECT_EQ(line.Divisions, 1);
    EXPECT_EQ(line.RefCount, 0);
    EXPECT_EQ(line.NodeIndex[0], -1);
    EXPECT_EQ(line.NodeIndex[1], -1);
    TEdgeCurve curve(&a, &m, &b);
    EXPECT_EQ(curve.NodeIndex[2], -1);
    EXPECT_EQ(a.RefCount, 2);
    EXPECT_EQ(b.RefCount, 2);
    EXPECT_EQ(m.RefCount, 1);
    TEdgeLine half(&a, nullptr);  // a missing node is skipped
    EXPECT_EQ(a.RefCount, 3);
  }
  EXPECT_EQ(a.RefCount, 0);
  EXPECT_EQ(b.RefCount, 0);
  EXPECT_EQ(m.RefCount, 0);
}

TEST(GeometryEdge, DeletingAnEdgeNeverMakesANodeCountNegative) {
  TNode a(0, 0), b(1, 0);
  auto line = std::make_unique<TEdgeLine>(&a, &b);
  a.RefCount = 0;  // e.g. a count taken from a file
  line.reset();
  EXPECT_EQ(a.RefCount, 0);
  EXPECT_EQ(b.RefCount, 0);
}

TEST(GeometryEdge, LoaderConstructionCountsNothing) {
  TNode a(0, 0), b(1, 0);
  {
    auto e = TEdge::CreateForLoading("TEdgeLine");
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->ClassName(), "TEdgeLine");
    EXPECT_EQ(e->Divisions, 0);
    EXPECT_EQ(e->NodeCount(), 2);
    EXPECT_EQ(e->FirstNode(), nullptr);
    auto c = TEdge::CreateForLoading("TEdgeCurve");
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(c->ClassName(), "TEdgeCurve");
    EXPECT_EQ(c->NodeCount(), 3);
    EXPECT_EQ(TEdge::CreateForLoading("TEdge"), nullptr);
    EXPECT_EQ(TEdge::CreateForLoading("TNode"), nullptr);
    EXPECT_EQ(TEdge::CreateForLoading(""), nullptr);
    e->SetNode(0, &a);
    e->SetNode(1, &b);
    e->SetNode(2, &b);  // out of range: ignored
    EXPECT_EQ(a.RefCount, 0);
    EXPECT_EQ(e->GetNode(0), &a);
    EXPECT_EQ(e->GetNode(1), &b);
    EXPECT_EQ(e->GetNode(2), nullptr);
    a.RefCount = 1;  // as restored from the file
    b.RefCount = 1;
  }
  EXPECT_EQ(a.RefCount, 0);
  EXPECT_EQ(b.RefCount, 0);
}

TEST(GeometryEdge, ReverseSwapsEndsAndKeepsTheMiddle) {
  TNode a(0, 0), b(1, 0), m(0.5, 0.5);
  TEdgeLine line(&a, &b);
  line.Reverse();
  EXPECT_EQ(line.FirstNode(), &b);
  EXPECT_EQ(line.LastNode(), &a);
  TEdgeCurve curve(&a, &m, &b);
  curve.Reverse();
  EXPECT_EQ(curve.FirstNode(), &b);
  EXPECT_EQ(curve.MiddleNode, &m);
  EXPECT_EQ(curve.LastNode(), &a);
  EXPECT_EQ(a.RefCount, 2);
}

TEST(GeometryEdge, CopyFromCopiesFieldsAndKeepsNodeCountsBalanced) {
  TNode a(0, 0), b(1, 0), c(2, 0), d(3, 0), m(1, 1);
  TEdgeCurve source(&c, &m, &d);
  source.Divisions = 6;
  source.EdgeFlag = 3;
  source.RefCount = 2;
  source.EdgeExtra = 41;
  {
    TEdgeLine copy(&a, &b);
    TEdge& r = copy.CopyFrom(source);
    EXPECT_EQ(&r, &copy);
    EXPECT_EQ(copy.Divisions, 6);
    EXPECT_EQ(copy.EdgeFlag, 3);
    EXPECT_EQ(copy.RefCount, 2);
    EXPECT_EQ(copy.EdgeExtra, 41);
    EXPECT_EQ(copy.StartNode, &c);
    EXPECT_EQ(copy.EndNode, &d);
    EXPECT_EQ(a.RefCount, 0);
    EXPECT_EQ(b.RefCount, 0);
    EXPECT_EQ(c.RefCount, 2);
    EXPECT_EQ(d.RefCount, 2);
    TEdgeCurve curveCopy(&a, &b, &a);
    curveCopy.CopyFrom(source);
    EXPECT_EQ(curveCopy.MiddleNode, &m);
    EXPECT_EQ(m.RefCount, 2);
    EXPECT_EQ(a.RefCount, 0);
    curveCopy.CopyFrom(curveCopy);  // self-copy changes nothing
    EXPECT_EQ(m.RefCount, 2);
    TEdgeLine straight(&a, &b);
    curveCopy.CopyFrom(straight);  // the middle node stays
    EXPECT_EQ(curveCopy.MiddleNode, &m);
    EXPECT_EQ(curveCopy.StartNode, &a);
  }
  EXPECT_EQ(a.RefCount, 0);
  EXPECT_EQ(b.RefCount, 0);
  EXPECT_EQ(c.RefCount, 1);
  EXPECT_EQ(d.RefCount, 1);
  EXPECT_EQ(m.RefCount, 1);
}

TEST(GeometryEdge, StraightEdgeClampsItsParameter) {
  TNode a(1.0, 2.0), b(3.0, -2.0);
  TEdgeLine line(&a, &b);
  TVector p(0, 0, 9.0);
  line.PointAt(p, -0.5);
  EXPECT_EQ(p.X, 1.0);
  EXPECT_EQ(p.Y, 2.0);
  line.PointAt(p, 1.5);
  EXPECT_EQ(p.X, 3.0);
  EXPECT_EQ(p.Y, -2.0);
  line.PointAt(p, 0.25);
  EXPECT_NEAR(p.X, 1.5, kTol);
  EXPECT_NEAR(p.Y, 1.0, kTol);
  EXPECT_EQ(p.Z, 9.0);  // untouched
}

TEST(GeometryEdge, CurvedEdgeInterpolatesAndExtrapolatesTheParabola) {
  // y = x^2 through (-1, 1), (0, 0), (1, 1) with x = 2t - 1.
  TNode a(-1.0, 1.0), m(0.0, 0.0), b(1.0, 1.0);
  TEdgeCurve curve(&a, &m, &b);
  TVector p;
  for (double t : {-0.5, 0.0, 0.2, 0.5, 0.9, 1.0, 1.5, 2.0}) {
    curve.PointAt(p, t);
    const double x = 2.0 * t - 1.0;
    EXPECT_NEAR(p.X, x, kTol) << t;
    EXPECT_NEAR(p.Y, x * x, kTol) << t;
  }
  curve.PointAt(p, 0.5);
  EXPECT_EQ(p.X, 0.0);
  EXPECT_EQ(p.Y, 0.0);
}

TEST(GeometryEdge, PointAtDivisionOutsideTheRangeLeavesThePoint) {
  TNode a(0.0, 0.0), b(4.0, 8.0);
  TEdgeLine line(&a, &b);
  line.Divisions = 4;
  TVector p(-7.0, -7.0, 0.0);
  line.PointAtDivision(5, p);
  EXPECT_EQ(p.X, -7.0);
  line.PointAtDivision(-1, p);
  EXPECT_EQ(p.Y, -7.0);
  line.PointAtDivision(3, p);
  EXPECT_NEAR(p.X, 3.0, kTol);
  EXPECT_NEAR(p.Y, 6.0, kTol);
  line.PointAtDivision(4, p);
  EXPECT_NEAR(p.X, 4.0, kExact);
  line.Divisions = 0;  // an edge without divisions has no division points
  p.X = -7.0;
  line.PointAtDivision(0, p);
  EXPECT_EQ(p.X, -7.0);
}

TEST(GeometryEdge, MissingNodesLeaveThePoint) {
  TNode a(1.0, 1.0);
  TEdgeLine line(&a, nullptr);
  TEdgeCurve curve(&a, nullptr, &a);
  TVector p(-3.0, -3.0, 0.0);
  line.PointAt(p, 0.5);
  curve.PointAt(p, 0.5);
  line.PointAtDivision(0, p);
  EXPECT_EQ(p.X, -3.0);
  EXPECT_EQ(p.Y, -3.0);
}

TEST(GeometryEdge, RecordsHaveTheirExactLayout) {
  TNode a, b, m;
  TEdgeLine line(&a, &b);
  line.Divisions = 7;
  line.EdgeFlag = 0xAB;
  line.RefCount = 2;
  line.EdgeExtra = 99;  // not stored
  line.NodeIndex = {4, 1};
  TStream s;
  line.SaveToStream(s);
  ASSERT_EQ(s.Size(), 17u);
  EXPECT_EQ(line.RecordSize(), 17u);
  EXPECT_EQ(s.Bytes(), Bytes({7, 0, 0, 0, 0xAB, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0}));

  TEdgeCurve curve(&a, &m, &b);
  curve.Divisions = 258;
  curve.NodeIndex = {0, -1, 2};
  TStream c;
  curve.SaveToStream(c);
  ASSERT_EQ(c.Size(), 21u);
  EXPECT_EQ(curve.RecordSize(), 21u);
  EXPECT_EQ(c.Bytes(), Bytes({2,    1,    0,    0,    0, 0, 0, 0, 0, 0, 0, 0, 0,  //
                              0xFF, 0xFF, 0xFF, 0xFF, 2, 0, 0, 0}));

  auto back = TEdge::CreateForLoading("TEdgeLine");
  back->LoadFromStream(s);
  EXPECT_EQ(back->Divisions, 7);
  EXPECT_EQ(back->EdgeFlag, 0xAB);
  EXPECT_EQ(back->RefCount, 2);
  EXPECT_EQ(back->EdgeExtra, 0);
  EXPECT_EQ(back->NodeIndices()[0], 4);
  EXPECT_EQ(back->NodeIndices()[1], 1);
  auto backCurve = TEdge::CreateForLoading("TEdgeCurve");
  backCurve->LoadFromStream(c);
  EXPECT_EQ(backCurve->Divisions, 258);
  EXPECT_EQ(backCurve->NodeIndices()[1], -1);
  EXPECT_EQ(backCurve->NodeIndices()[2], 2);
}

TStream EdgeRecord(std::int32_t divisions, std::int32_t refCount, std::int32_t i0,
                   std::int32_t i1) {
  TStream s;
  s.WriteInt32(divisions);
  s.WriteUInt8(0);
  s.WriteInt32(refCount);
  s.WriteInt32(i0);
  s.WriteInt32(i1);
  return s;
}

TEST(GeometryEdge, DamagedRecordsAreRejectedAndChangeNothing) {
  struct Case {
    std::int32_t divisions, refCount, i0, i1;
  };
  for (const Case& k : {Case{0, 0, 0, 1}, Case{-3, 0, 0, 1}, Case{kMaxEdgeDivisions + 1, 0, 0, 1},
                        Case{4, -1, 0, 1}, Case{4, 0, -2, 1}, Case{4, 0, 0, -100}}) {
    TStream s = EdgeRecord(k.divisions, k.refCount, k.i0, k.i1);
    TEdgeLine e(ForLoading);
    EXPECT_THROW(e.LoadFromStream(s), StreamError) << k.divisions << " " << k.i0;
    EXPECT_EQ(e.Divisions, 0);
    EXPECT_EQ(e.NodeIndex[0], 0);
    EXPECT_EQ(s.Position(), 0u);
  }
  TStream ok = EdgeRecord(kMaxEdgeDivisions, 0, -1, 0);
  TEdgeLine e(ForLoading);
  EXPECT_NO_THROW(e.LoadFromStream(ok));
  EXPECT_EQ(e.Divisions, kMaxEdgeDivisions);

  TStream full = EdgeRecord(3, 1, 0, 1);
  for (std::size_t len = 0; len < 17; ++len) {
    TStream cut(std::vector<std::uint8_t>(full.Bytes().begin(), full.Bytes().begin() + len));
    TEdgeLine t(ForLoading);
    EXPECT_THROW(t.LoadFromStream(cut), StreamError) << len;
    EXPECT_EQ(t.Divisions, 0);
    EXPECT_EQ(t.RefCount, 0);
  }
}

TEST(GeometryEdge, ResolveNodeIndicesChecksTheRange) {
  TNode n0, n1, n2;
  std::vector<TNode*> nodes{&n0, &n1, &n2};
  TEdgeCurve c(ForLoading);
  c.NodeIndex = {2, -1, 0};
  c.ResolveNodeIndices(nodes);
  EXPECT_EQ(c.StartNode, &n2);
  EXPECT_EQ(c.MiddleNode, nullptr);
  EXPECT_EQ(c.EndNode, &n0);
  EXPECT_EQ(n0.RefCount, 0);  // linking counts nothing
  EXPECT_EQ(n2.RefCount, 0);
  c.NodeIndex = {1, 3, 0};
  EXPECT_THROW(c.ResolveNodeIndices(nodes), StreamError);
  EXPECT_EQ(c.StartNode, &n2);  // unchanged
  c.NodeIndex = {1, -2, 0};
  EXPECT_THROW(c.ResolveNodeIndices(nodes), StreamError);
  c.NodeIndex = {0, 0, 0};
  EXPECT_THROW(c.ResolveNodeIndices({}), StreamError);
  c.SetNode(0, nullptr);
  c.SetNode(2, nullptr);
}

// An edge class that overrides nothing shows the base behaviour.
class BareEdge : public TEdge {};

TEST(GeometryEdge, BaseEdgeOperationsDoNothing) {
  BareEdge e;
  EXPECT_EQ(e.Divisions, 1);
  EXPECT_EQ(e.FirstNode(), nullptr);
  EXPECT_EQ(e.LastNode(), nullptr);
  EXPECT_EQ(e.NodeCount(), 0);
  EXPECT_EQ(e.GetNode(0), nullptr);
  TVector p(5.0, 6.0, 0.0);
  e.PointAt(p, 0.5);
  e.PointAtDivision(0, p);
  e.Reverse();
  EXPECT_EQ(p.X, 5.0);
  EXPECT_EQ(p.Y, 6.0);
  TStream s;
  e.SaveToStream(s);
  EXPECT_EQ(s.Size(), 9u);
}

}  // namespace
}  // namespace vemto
