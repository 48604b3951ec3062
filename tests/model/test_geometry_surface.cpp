// Coons-patch surfaces: orientation, evaluation, division grid, records.
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "Surface.h"

namespace vemto {
namespace {

constexpr double kTol = 1e-14;  // m, coordinates of unit size

/// Four numbered nodes of a quadrilateral and its four straight edges, drawn as
/// given: edge k from corner k to corner k+1 unless reversed.
struct Quad {
  std::array<std::unique_ptr<TNode>, 4> nodes;
  std::array<std::unique_ptr<TEdge>, 4> edges;

  Quad(std::array<std::array<double, 2>, 4> xy, std::array<bool, 4> reversed = {}) {
    for (int k = 0; k < 4; ++k) {
      nodes[k] = std::make_unique<TNode>(xy[k][0], xy[k][1]);
      nodes[k]->Number = 10 + k;
    }
    for (int k = 0; k < 4; ++k) {
      TNode* a = nodes[k].get();
      TNode* b = nodes[(k + 1) % 4].get();
      edges[k] =
          reversed[k] ? std::make_unique<TEdgeLine>(b, a) : std::make_unique<TEdgeLine>(a, b);
    }
  }
  ~Quad() {
    for (auto& e : edges) e.reset();  // edges go before the nodes they use
  }
  TCoonSurface Surface() {
    return {edges[0].get(), edges[1].get(), edges[2].get(), edges[3].get()};
  }
};

using XY = std::array<std::array<double, 2>, 4>;
const XY kUnit{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
const XY kSkew{{{0, 0}, {4, 0.5}, {3, 3}, {-0.5, 2}}};

TEST(GeometrySurface, UnitSquareIsTheBilinearInterpolationOfItsCorners) {
  Quad q(kSkew);
  TCoonSurface surf(q.edges[0].get(), q.edges[1].get(), q.edges[2].get(), q.edges[3].get());
  TVector p;
  const auto& c = kSkew;
  for (double s : {0.0, 0.1, 0.5, 0.75, 1.0}) {
    for (double t : {0.0, 0.3, 0.5, 1.0}) {
      surf.PointAt(p, s, t);
      for (int d = 0; d < 2; ++d) {
        const double expected = (1 - s) * (1 - t) * c[0][d] + s * (1 - t) * c[1][d] +
                                s * t * c[2][d] + (1 - s) * t * c[3][d];
        EXPECT_NEAR(d == 0 ? p.X : p.Y, expected, 1e-13) << s << " " << t;
      }
    }
  }
  Quad u(kUnit);
  TCoonSurface unit(u.edges[0].get(), u.edges[1].get(), u.edges[2].get(), u.edges[3].get());
  const std::array<std::array<double, 2>, 4> st{{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
  for (int k = 0; k < 4; ++k) {
    unit.PointAt(p, st[k][0], st[k][1]);
    EXPECT_EQ(p.X, kUnit[k][0]) << k;  // corners P0..P3 exactly
    EXPECT_EQ(p.Y, kUnit[k][1]) << k;
  }
  unit.PointAt(p, 0.25, 0.625);
  EXPECT_NEAR(p.X, 0.25, kTol);
  EXPECT_NEAR(p.Y, 0.625, kTol);
}

TEST(GeometrySurface, EvaluationFillsCornerAndMidNumbers) {
  Quad q(kUnit);
  TCoonSurface surf(q.edges[0].get(), q.edges[1].get(), q.edges[2].get(), q.edges[3].get());
  TVector p;
  surf.PointAt(p, 0.3, 0.4);
  EXPECT_EQ(surf.CornerNumbers, (std::array<std::int32_t, 4>{10, 11, 12, 13}));
  EXPECT_EQ(surf.MidNumbers, (std::array<std::int32_t, 4>{-1, -1, -1, -1}));
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(surf.CornerNumber(k), 10 + k);
    EXPECT_EQ(surf.MidNumber(k), -1);
  }
  EXPECT_EQ(surf.CornerNumber(4), -1);
  EXPECT_EQ(surf.MidNumber(-1), -1);
  q.nodes[2]->Number = 50;
  EXPECT_EQ(surf.CornerNumber(2), 12);  // only refreshed by evaluation
  EXPECT_TRUE(surf.RefreshNumbers());
  EXPECT_EQ(surf.CornerNumber(2), 50);
}

TEST(GeometrySurface, DrawingDirectionOfTheEdgesDoesNotMatter) {
  Quad ref(kSkew);
  TCoonSurface refSurf(ref.edges[0].get(), ref.edges[1].get(), ref.edges[2].get(),
                       ref.edges[3].get());
  for (int mask = 1; mask < 16; ++mask) {
    Quad q(kSkew, {bool(mask & 1), bool(mask & 2), bool(mask & 4), bool(mask & 8)});
    TCoonSurface surf(q.edges[0].get(), q.edges[1].get(), q.edges[2].get(), q.edges[3].get());
    TVector a, b;
    for (double s : {0.0, 0.2, 0.7, 1.0}) {
      for (double t : {0.0, 0.4, 1.0}) {
        refSurf.PointAt(a, s, t);
        surf.PointAt(b, s, t);
        EXPECT_NEAR(a.X, b.X, 1e-13) << mask;
        EXPECT_NEAR(a.Y, b.Y, 1e-13) << mask;
      }
    }
    // P0 is the free end of edge 0 whichever way it was drawn.
    EXPECT_EQ(surf.CornerNumbers, (std::array<std::int32_t, 4>{10, 11, 12, 13})) << mask;
  }
}

TEST(GeometrySurface, CornerSharedWithEdgeOneIsP1) {
  // Edge 0 drawn from the corner shared with edge 1 towards the free corner.
  TNode a(0, 0), b(2, 0), c(2, 1), d(0, 1);
  a.Number = 1;
  b.Number = 2;
  c.Number = 3;
  d.Number = 4;
  {
    TEdgeLine e0(&b, &a), e1(&b, &c), e2(&c, &d), e3(&d, &a);
    TCoonSurface surf(&e0, &e1, &e2, &e3);
    TVector p;
    surf.PointAt(p, 0.0, 0.0);
    EXPECT_EQ(p.X, 0.0);
    EXPECT_EQ(p.Y, 0.0);
    surf.PointAt(p, 1.0, 0.0);
    EXPECT_EQ(p.X, 2.0);
    EXPECT_EQ(surf.CornerNumbers, (std::array<std::int32_t, 4>{1, 2, 3, 4}));
  }
}

TEST(GeometrySurface, CurvedEdgeBendsThePatchAsTheClosedFormSays) {
  // Unit square whose top edge bulges: T(s) = (s, 1 + 4 h s (1 - s)). The Coons patch
  // is then x = s, y = t + 4 h t s (1 - s).
  const double h = 0.3;
  TNode p0(0, 0), p1(1, 0), p2(1, 1), p3(0, 1), mid(0.5, 1 + h);
  p0.Number = 1;
  p1.Number = 2;
  p2.Number = 3;
  p3.Number = 4;
  mid.Number = 77;
  {
    TEdgeLine e0(&p0, &p1), e1(&p1, &p2), e3(&p0, &p3);
    TEdgeCurve e2(&p2, &mid, &p3);
    TCoonSurface surf(&e0, &e1, &e2, &e3);
    TVector p;
    for (double s : {0.0, 0.25, 0.5, 0.9, 1.0}) {
      for (double t : {0.0, 0.5, 0.8, 1.0}) {
        surf.PointAt(p, s, t);
        EXPECT_NEAR(p.X, s, kTol);
        EXPECT_NEAR(p.Y, t + 4 * h * t * s * (1 - s), kTol);
      }
    }
    EXPECT_EQ(surf.MidNumbers, (std::array<std::int32_t, 4>{-1, -1, 77, -1}));
    EXPECT_EQ(mid.RefCount, 1);
  }
  EXPECT_EQ(mid.RefCount, 0);
}

TEST(GeometrySurface, FarFromTheOriginTheCornersStayExact) {
  const double x0 = 1.0e7 + 0.1, y0 = -3.0e6 + 0.7;
  Quad q(XY{{{x0, y0}, {x0 + 1, y0}, {x0 + 1, y0 + 1}, {x0, y0 + 1}}});
  TCoonSurface surf(q.edges[0].get(), q.edges[1].get(), q.edges[2].get(), q.edges[3].get());
  TVector p;
  surf.PointAt(p, 1.0, 1.0);
  EXPECT_EQ(p.X, x0 + 1);
  EXPECT_EQ(p.Y, y0 + 1);
  surf.PointAt(p, 0.5, 0.5);
  EXPECT_NEAR(p.X, x0 + 0.5, 1e-8);  // m, a few ulps of 1e7
  EXPECT_NEAR(p.Y, y0 + 0.5, 1e-8);
}

TEST(GeometrySurface, DivisionGridFollowsEdgesZeroAndOne) {
  Quad q(XY{{{0, 0}, {4, 0}, {4, 2}, {0, 2}}});
  q.edges[0]->Divisions = 4;
  q.edges[1]->Divisions = 2;
  TCoonSurface surf(q.edges[0].get(), q.edges[1].get(), q.edges[2].get(), q.edges[3].get());
  EXPECT_EQ(surf.DivisionsU(), 4);
  EXPECT_EQ(surf.DivisionsV(), 2);
  TVector p;
  surf.PointAtDivision(3, 1, p);
  EXPECT_NEAR(p.X, 3.0, kTol);
  EXPECT_NEAR(p.Y, 1.0, kTol);
  p.X = p.Y = -9;
  surf.PointAtDivision(5, 0, p);
  surf.PointAtDivision(0, 3, p);
  surf.PointAtDivision(-1, 0, p);
  surf.PointAtDivision(0, -1, p);
  EXPECT_EQ(p.X, -9);
  EXPECT_EQ(p.Y, -9);
  q.edges[1]->Divisions = 0;
  surf.PointAtDivision(0, 0, p);
  EXPECT_EQ(p.X, -9);
}

TEST(GeometrySurface, MissingEdgesOrNodesLeaveThePoint) {
  Quad q(kUnit);
  TCoonSurface surf(q.edges[0].get(), nullptr, q.edges[2].get(), q.edges[3].get());
  surf.CornerNumbers = {1, 2, 3, 4};
  TVector p(-5, -5, 0);
  surf.PointAt(p, 0.5, 0.5);
  surf.PointAtDivision(0, 0, p);
  EXPECT_EQ(p.X, -5);
  EXPECT_EQ(p.Y, -5);
  EXPECT_EQ(surf.DivisionsV(), -1);
  EXPECT_FALSE(surf.RefreshNumbers());
  EXPECT_EQ(surf.CornerNumbers, (std::array<std::int32_t, 4>{1, 2, 3, 4}));
  TNode a(0, 0), b(1, 1);
  {
    TEdgeCurve broken(&a, nullptr, &b);
    TCoonSurface s2(q.edges[0].get(), q.edges[1].get(), &broken, q.edges[3].get());
    s2.PointAt(p, 0.5, 0.5);
    EXPECT_EQ(p.X, -5);
  }
}

TEST(GeometrySurface, SurfaceCountsItsEdgesAndReleasesThem) {
  Quad q(kUnit);
  {
    auto surf = q.Surface();
    for (auto& e : q.edges) EXPECT_EQ(e->RefCount, 1);
    surf.SetEdge(0, nullptr);  // replacing an edge counts nothing
    EXPECT_EQ(q.edges[0]->RefCount, 1);
    surf.SetEdge(0, q.edges[0].get());
    surf.SetEdge(7, nullptr);  // out of range: ignored
    EXPECT_EQ(surf.GetEdge(7), nullptr);
    EXPECT_EQ(surf.GetEdge(2), q.edges[2].get());
  }
  for (auto& e : q.edges) EXPECT_EQ(e->RefCount, 0);
  TCoonSurface loaded(ForLoading);
  EXPECT_EQ(loaded.EdgeIndex, (std::array<std::int32_t, 4>{0, 0, 0, 0}));
  EXPECT_EQ(loaded.RefCount, 0);
  EXPECT_EQ(loaded.InfiniteFlag, 0);
  TCoonSurface fresh(nullptr, nullptr, nullptr, nullptr);
  EXPECT_EQ(fresh.EdgeIndex, (std::array<std::int32_t, 4>{-1, -1, -1, -1}));
  EXPECT_EQ(fresh.DivisionsU(), -1);
}

TEST(GeometrySurface, RecordIs28BytesInFieldOrder) {
  TCoonSurface surf(nullptr, nullptr, nullptr, nullptr);
  surf.RefCount = 2;
  surf.Number = 5;
  surf.SurfaceAux = -2;
  surf.InfiniteFlag = 1;  // not stored
  surf.EdgeIndex = {0, 1, 258, -1};
  TStream s;
  surf.SaveToStream(s);
  ASSERT_EQ(s.Size(), 28u);
  ASSERT_EQ(TCoonSurface::kRecordSize, 28u);
  const std::vector<std::uint8_t> golden{2, 0, 0, 0, 5, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 0,   0, 0,
                                         0, 1, 0, 0, 0, 2, 1, 0, 0,    0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(s.Bytes(), golden);
  TCoonSurface back(ForLoading);
  back.LoadFromStream(s);
  EXPECT_EQ(back.RefCount, 2);
  EXPECT_EQ(back.Number, 5);
  EXPECT_EQ(back.SurfaceAux, -2);
  EXPECT_EQ(back.InfiniteFlag, 0);
  EXPECT_EQ(back.EdgeIndex, surf.EdgeIndex);
  EXPECT_EQ(back.GetEdgeIndex(2), 258);
  EXPECT_EQ(back.GetEdgeIndex(4), -1);
  back.SetEdgeIndex(2, 3);
  back.SetEdgeIndex(-1, 3);
  EXPECT_EQ(back.EdgeIndex, (std::array<std::int32_t, 4>{0, 1, 3, -1}));
}

TEST(GeometrySurface, DamagedRecordsAreRejectedAndChangeNothing) {
  TCoonSurface surf(nullptr, nullptr, nullptr, nullptr);
  surf.Number = 3;
  surf.EdgeIndex = {0, 1, 2, 3};
  TStream full;
  surf.SaveToStream(full);
  for (std::size_t len = 0; len < 28; ++len) {
    TStream cut(std::vector<std::uint8_t>(full.Bytes().begin(), full.Bytes().begin() + len));
    TCoonSurface t(ForLoading);
    EXPECT_THROW(t.LoadFromStream(cut), StreamError) << len;
    EXPECT_EQ(t.Number, 0);
    EXPECT_EQ(t.EdgeIndex, (std::array<std::int32_t, 4>{}));
    EXPECT_EQ(cut.Position(), 0u);
  }
  for (int bad : {0, 3}) {
    TStream s;
    s.WriteInt32(bad == 0 ? -1 : 0);  // RefCount
    s.WriteInt32(1);
    s.WriteInt32(0);
    for (int k = 0; k < 4; ++k) s.WriteInt32(k == bad ? -5 : k);
    TCoonSurface t(ForLoading);
    EXPECT_THROW(t.LoadFromStream(s), StreamError);
    EXPECT_EQ(t.Number, 0);
  }
}

TEST(GeometrySurface, ResolveEdgeIndicesChecksTheRange) {
  Quad q(kUnit);
  std::vector<TEdge*> edges{q.edges[0].get(), q.edges[1].get(), q.edges[2].get(), q.edges[3].get()};
  TCoonSurface s(ForLoading);
  s.EdgeIndex = {3, 2, 1, 0};
  s.ResolveEdgeIndices(edges);
  EXPECT_EQ(s.Edges[0], q.edges[3].get());
  EXPECT_EQ(s.Edges[3], q.edges[0].get());
  for (auto& e : q.edges) EXPECT_EQ(e->RefCount, 0);  // linking counts nothing
  s.EdgeIndex = {0, 1, 2, 4};
  EXPECT_THROW(s.ResolveEdgeIndices(edges), StreamError);
  EXPECT_EQ(s.Edges[0], q.edges[3].get());  // unchanged
  s.EdgeIndex = {-1, -1, -1, -1};
  s.ResolveEdgeIndices(edges);
  EXPECT_EQ(s.Edges[0], nullptr);
}

// A surface class that overrides nothing shows the base behaviour.
class BareSurface : public TSurface {};

TEST(GeometrySurface, BaseSurfaceOperationsAnswerNothing) {
  BareSurface s;
  EXPECT_EQ(s.GetEdge(0), nullptr);
  EXPECT_EQ(s.GetEdgeIndex(0), -1);
  EXPECT_EQ(s.CornerNumber(0), -1);
  EXPECT_EQ(s.MidNumber(0), -1);
  EXPECT_EQ(s.DivisionsU(), -1);
  EXPECT_EQ(s.DivisionsV(), -1);
  TVector p(1, 2, 0);
  s.PointAt(p, 0.5, 0.5);
  s.PointAtDivision(0, 0, p);
  EXPECT_EQ(p.X, 1);
  EXPECT_EQ(p.Y, 2);
  s.RefCount = 6;
  TStream st;
  s.SaveToStream(st);
  EXPECT_EQ(st.Size(), 4u);
  BareSurface back;
  back.LoadFromStream(st);
  EXPECT_EQ(back.RefCount, 6);
  double px = 7, py = 8;
  NearestDivisionPoint(s, 0, 0, px, py);
  EXPECT_EQ(px, 7);
  EXPECT_EQ(py, 8);
}

TEST(GeometrySurface, NearestDivisionPointTakesTheFirstClosestGridPoint) {
  Quad q(kUnit);
  q.edges[0]->Divisions = 2;
  q.edges[1]->Divisions = 2;
  TCoonSurface surf(q.edges[0].get(), q.edges[1].get(), q.edges[2].get(), q.edges[3].get());
  double px = -1, py = -1;
  NearestDivisionPoint(surf, 0.9, 0.6, px, py);
  EXPECT_NEAR(px, 1.0, kTol);
  EXPECT_NEAR(py, 0.5, kTol);
  // (0.25, 0) lies halfway between grid points (0, 0) and (0.5, 0): the first visited
  // (i = 0) wins.
  NearestDivisionPoint(surf, 0.25, 0.0, px, py);
  EXPECT_EQ(px, 0.0);
  EXPECT_EQ(py, 0.0);
  // Halfway between (0.5, 0) [i = 1, j = 0] and (0.5, 0.5) [i = 1, j = 1]: j = 0 first.
  NearestDivisionPoint(surf, 0.5, 0.25, px, py);
  EXPECT_NEAR(px, 0.5, kTol);
  EXPECT_EQ(py, 0.0);
  // Nothing closer than 1e300: the input values stay.
  px = 3;
  py = 4;
  NearestDivisionPoint(surf, 2e300, 0.0, px, py);
  EXPECT_EQ(px, 3);
  EXPECT_EQ(py, 4);
}

TEST(GeometrySurface, NearestDivisionPointOnAnIncompleteSurfaceKeepsTheInput) {
  Quad q(kUnit);
  TCoonSurface surf(q.edges[0].get(), q.edges[1].get(), nullptr, q.edges[3].get());
  double px = 3, py = 4;
  NearestDivisionPoint(surf, 0.0, 0.0, px, py);
  EXPECT_EQ(px, 3);
  EXPECT_EQ(py, 4);
}

}  // namespace
}  // namespace vemto

namespace vemto {
namespace {

TEST(GeometrySurface, RecountRebuildsCountsFromTheReferences) {
  std::vector<std::unique_ptr<TNode>> nodes;
  for (int k = 0; k < 5; ++k) nodes.push_back(std::make_unique<TNode>(k, k * k));
  std::vector<std::unique_ptr<TEdge>> edges;
  for (int k = 0; k < 4; ++k)
    edges.push_back(std::make_unique<TEdgeLine>(nodes[k].get(), nodes[(k + 1) % 4].get()));
  edges.push_back(std::make_unique<TEdgeCurve>(nodes[0].get(), nodes[4].get(), nodes[2].get()));
  std::vector<std::unique_ptr<TCoonSurface>> surfaces;
  surfaces.push_back(std::make_unique<TCoonSurface>(edges[0].get(), edges[1].get(), edges[2].get(),
                                                    edges[3].get()));
  surfaces.push_back(
      std::make_unique<TCoonSurface>(edges[0].get(), edges[1].get(), edges[4].get(), nullptr));
  std::vector<std::int32_t> before;
  for (auto& n : nodes) before.push_back(n->RefCount);
  for (auto& e : edges) before.push_back(e->RefCount);
  // Counts as a damaged file might hold them.
  for (auto& n : nodes) n->RefCount = 9;
  for (auto& e : edges) e->RefCount = 0;
  surfaces[0]->RefCount = 4;
  RecountGeometryReferences(nodes, edges, surfaces);
  std::vector<std::int32_t> after;
  for (auto& n : nodes) after.push_back(n->RefCount);
  for (auto& e : edges) after.push_back(e->RefCount);
  EXPECT_EQ(after, before);
  EXPECT_EQ(after, (std::vector<std::int32_t>{3, 2, 3, 2, 1, 2, 2, 1, 1, 1}));
  EXPECT_EQ(surfaces[0]->RefCount, 0);
  surfaces.clear();
  edges.clear();
  for (auto& n : nodes) EXPECT_EQ(n->RefCount, 0);
}

}  // namespace
}  // namespace vemto
