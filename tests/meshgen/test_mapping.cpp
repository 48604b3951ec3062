// Boundary conditions onto the mesh: tying positions to super elements,
// expanding them over the element grid, nodal and pipe positions.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "Mapping.h"

namespace meshgen {
namespace {

/// Owning storage for a SuperElementTable.
struct SuperElements {
  std::vector<int> nodes, rows, columns, type;
  void Add(std::array<int, 8> n, int r, int c, int t) {
    nodes.insert(nodes.end(), n.begin(), n.end());
    rows.push_back(r);
    columns.push_back(c);
    type.push_back(t);
  }
  SuperElementTable Table() const { return {nodes, rows, columns, type}; }
};

/// Super nodes of a strip of three super elements:
///   13 --- 14 --- 15 --- 16      (row y = 1)
///    |  1   |  2   |  3 (inf) |
///    9 --- 10 --- 11 --- 12      (row y = 0)
/// Mid-side super nodes are 21.. (not used by the tying).
SuperElements ThreeSuperElements() {
  SuperElements se;
  se.Add({9, 21, 10, 22, 14, 23, 13, 24}, 1, 2, 5);   // 1: R = 1, C = 2
  se.Add({10, 25, 11, 26, 15, 27, 14, 22}, 3, 1, 5);  // 2: R = 3, C = 1
  se.Add({11, 28, 12, 29, 16, 30, 15, 26}, 1, 1, 2);  // 3: infinite strip
  return se;
}

std::string ErrorOf(auto&& f) {
  try {
    f();
  } catch (const MappingError& e) {
    return e.what();
  }
  return "no error";
}

TEST(TieEdgePositions, TiesSidesInEitherDirectionAndCountsEdgesOrNodes) {
  const SuperElements se = ThreeSuperElements();
  // Side 1 of SE 1 given forward, side 2 of SE 1 (shared with SE 2) given
  // reversed, side 3 of SE 2 forward.
  const std::vector<int> pos = {9, 10, 1, 14, 10, 2, 15, 14, 1};
  std::vector<int> tied(9, -7);
  int count = -1;
  TieEdgePositions(pos, 3, se.Table(), tied, count, 2, EdgeCount::kEdges);
  // The shared side goes to SE 1, which comes first in the order.
  EXPECT_EQ(tied, (std::vector<int>{1, 1, 1, 1, 2, 2, 2, 3, 1}));
  EXPECT_EQ(count, 2 + 1 + 1);  // C of SE 1, R of SE 1, C of SE 2

  TieEdgePositions(pos, 3, se.Table(), tied, count, 2, EdgeCount::kNodes);
  EXPECT_EQ(count, 5 + 3 + 3);
  // The count is reset on every call.
  TieEdgePositions(pos, 1, se.Table(), tied, count, 2, EdgeCount::kEdges);
  EXPECT_EQ(count, 2);
}

TEST(TieEdgePositions, SidesTwoAndFourCountRows) {
  const SuperElements se = ThreeSuperElements();
  // Side 2 of SE 2, side 2 of SE 1, side 4 of SE 1.
  const std::vector<int> pos = {11, 15, 1, 10, 14, 1, 13, 9, 1};
  std::vector<int> tied(9);
  int count = 0;
  TieEdgePositions(pos, 3, se.Table(), tied, count, 1, EdgeCount::kEdges);
  EXPECT_EQ(tied, (std::vector<int>{2, 2, 1, 1, 2, 1, 1, 4, 1}));
  EXPECT_EQ(count, 3 + 1 + 1);
}

TEST(TieEdgePositions, FailsWithoutAFiniteSide) {
  const SuperElements se = ThreeSuperElements();
  std::vector<int> tied(3);
  int count = 0;
  // A side of the infinite strip only.
  std::vector<int> pos = {11, 12, 1};
  EXPECT_EQ(
      ErrorOf([&] { TieEdgePositions(pos, 1, se.Table(), tied, count, 1, EdgeCount::kEdges); }),
      " NO SUPER ELEMENT SIDE IS CONNECTED TO THE NODES   11 AND   12");
  // Two corners of one super element that do not bound one side (diagonal).
  pos = {9, 14, 1};
  EXPECT_EQ(
      ErrorOf([&] { TieEdgePositions(pos, 1, se.Table(), tied, count, 1, EdgeCount::kEdges); }),
      " NO SUPER ELEMENT SIDE IS CONNECTED TO THE NODES    9 AND   14");
}

TEST(TieEdgePositions, RejectsConditionNumbersOutsideTheList) {
  const SuperElements se = ThreeSuperElements();
  std::vector<int> tied(6);
  int count = 0;
  for (int c : {3, 0, -1}) {
    const std::vector<int> pos = {9, 10, 1, 10, 11, c};
    EXPECT_EQ(
        ErrorOf([&] { TieEdgePositions(pos, 2, se.Table(), tied, count, 2, EdgeCount::kEdges); }),
        c == 3 ? " CONDITION NUMBER    3 NOT DEFINED"
               : (c == 0 ? " CONDITION NUMBER    0 NOT DEFINED"
                         : " CONDITION NUMBER   -1 NOT DEFINED"));
  }
  // The condition is checked before the side: a bad condition on an
  // unconnected position reports the condition.
  const std::vector<int> pos = {1, 2, 9};
  EXPECT_EQ(
      ErrorOf([&] { TieEdgePositions(pos, 1, se.Table(), tied, count, 2, EdgeCount::kEdges); }),
      " CONDITION NUMBER    9 NOT DEFINED");
}

TEST(TieAreaPositions, MatchesCounterClockwiseFromAnyCornerOnly) {
  const SuperElements se = ThreeSuperElements();
  std::vector<int> tied(4);
  int count = 0;
  const std::vector<int> pos = {14, 13, 9, 10, 2, 15, 14, 10, 11, 1};
  TieAreaPositions(pos, 2, se.Table(), tied, count, 2);
  EXPECT_EQ(tied, (std::vector<int>{1, 2, 2, 1}));
  EXPECT_EQ(count, 2 + 3);

  const std::vector<int> clockwise = {9, 13, 14, 10, 1};
  EXPECT_EQ(ErrorOf([&] { TieAreaPositions(clockwise, 1, se.Table(), tied, count, 2); }),
            " NO SUPER ELEMENT SIDE IS CONNECTED TO THE NODES    9,   13,   14 AND   10");
  // The infinite strip's corners never match.
  const std::vector<int> strip = {11, 12, 16, 15, 1};
  EXPECT_EQ(ErrorOf([&] { TieAreaPositions(strip, 1, se.Table(), tied, count, 2); }),
            " NO SUPER ELEMENT SIDE IS CONNECTED TO THE NODES   11,   12,   16 AND   15");
  const std::vector<int> badCond = {9, 10, 14, 13, 3};
  EXPECT_EQ(ErrorOf([&] { TieAreaPositions(badCond, 1, se.Table(), tied, count, 2); }),
            " CONDITION NUMBER    3 NOT DEFINED");
}

/// Grid of an eight-node super element with R rows and C columns: points
/// numbered row by row from the top, element centres (even row and column)
/// left without a node, as the mesher creates them.
struct Grid {
  int R, C;
  std::vector<int> nodes;
  Grid(int r, int c) : R(r), C(c) {
    int next = 0;
    for (int j = 1; j <= 2 * R + 1; ++j)
      for (int i = 1; i <= 2 * C + 1; ++i) nodes.push_back(j % 2 == 0 && i % 2 == 0 ? 0 : ++next);
  }
  NodeGrid View() const { return {nodes, 2 * R + 1, 2 * C + 1}; }
  int At(int j, int i) const {
    return nodes[static_cast<std::size_t>((j - 1) * (2 * C + 1) + i - 1)];
  }
};

TEST(ExpandEdges, FollowsTheCounterClockwiseDirectionOnEverySide) {
  const Grid g(1, 2);  // rows: 1..5 top, 6..8 middle, 9..13 bottom
  ASSERT_EQ(g.At(3, 5), 13);
  // Tied positions: SE 4 side 1, SE 9 (other) side 3, SE 4 sides 2, 3, 4.
  const std::vector<int> tied = {4, 1, 7, 9, 3, 1, 4, 2, 8, 4, 3, 5, 4, 4, 6};
  std::vector<int> out(4 * 20, 0);
  int count = 1;  // appends after what is there
  ExpandEdges(tied, 5, g.View(), 4, out, count);
  ASSERT_EQ(count, 1 + 2 + 1 + 2 + 1);
  const std::vector<int> expect = {
      0,  0,  0,  0,                 // the earlier record
      9,  10, 11, 7, 11, 12, 13, 7,  // side 1: bottom row, left to right
      13, 8,  5,  8,                 // side 2: last column, bottom to top
      3,  2,  1,  5, 5,  4,  3,  5,  // side 3: edges from the left, each right to left
      1,  6,  9,  6};                // side 4: first column, top to bottom
  EXPECT_EQ(std::vector<int>(out.begin(), out.begin() + 4 * count), expect);
}

TEST(ExpandEdges, GuardsTheListCapacity) {
  const Grid g(1, 2);
  const std::vector<int> tied = {1, 1, 1};
  std::vector<int> out(4);  // room for one record, two needed
  int count = 0;
  EXPECT_THROW(ExpandEdges(tied, 1, g.View(), 1, out, count), MappingError);
}

TEST(ExpandAreas, ListsElementsFromTheTopLeftInElementNodeOrder) {
  const Grid g(2, 2);  // 5 x 5 points, 21 nodes
  const std::vector<int> tied = {1, 3, 2, 1};
  std::vector<int> out(9 * 4);
  int count = 0;
  ExpandAreas(tied, 2, g.View(), 1, out, count);
  ASSERT_EQ(count, 4);
  // Element 1 (top left): BL = (3,1), BM = (3,2), BR = (3,3), RM = (2,3),
  // TR = (1,3), TM = (1,2), TL = (1,1), LM = (2,1).
  EXPECT_EQ(std::vector<int>(out.begin(), out.begin() + 9),
            (std::vector<int>{9, 10, 11, 7, 3, 2, 1, 6, 3}));
  // Element 2: top right; element 3: bottom left.
  EXPECT_EQ(std::vector<int>(out.begin() + 9, out.begin() + 18),
            (std::vector<int>{11, 12, 13, 8, 5, 4, 3, 7, 3}));
  EXPECT_EQ(std::vector<int>(out.begin() + 18, out.begin() + 27),
            (std::vector<int>{17, 18, 19, 15, 11, 10, 9, 14, 3}));
}

TEST(ExpandEdgeNodes, ListsEveryGridNodeOfTheSide) {
  const Grid g(1, 2);
  // Side 1 with C = 2 gives five records; side 2 with R = 1 gives three.
  const std::vector<int> tied = {1, 1, 2, 1, 2, 4};
  std::vector<int> out(2 * 8);
  int count = 0;
  ExpandEdgeNodes(tied, 2, g.View(), 1, out, count);
  ASSERT_EQ(count, 8);
  EXPECT_EQ(out, (std::vector<int>{9, 2, 10, 2, 11, 2, 12, 2, 13, 2, 5, 4, 8, 4, 13, 4}));
}

/// A mesh of eight-node unit squares, nx by ny, made like the mesher makes one
/// super element; optional infinite elements are appended after it.
struct Mesh {
  std::vector<double> x, y;
  std::vector<int> ncon, type;
  Mesh(int nx, int ny) {
    const Grid g(ny, nx);
    for (int j = 1; j <= 2 * ny + 1; ++j)
      for (int i = 1; i <= 2 * nx + 1; ++i)
        if (g.At(j, i) != 0) {
          x.push_back(0.5 * (i - 1));
          y.push_back(0.5 * (2 * ny + 1 - j));
        }
    for (int r = 1; r <= ny; ++r)
      for (int l = 1; l <= nx; ++l) {
        const int t = 2 * r - 1, m = 2 * r, b = 2 * r + 1, le = 2 * l - 1, c = 2 * l,
                  ri = 2 * l + 1;
        for (auto [j, i] : std::initializer_list<std::pair<int, int>>{
                 {b, le}, {b, c}, {b, ri}, {m, ri}, {t, ri}, {t, c}, {t, le}, {m, le}})
          ncon.push_back(g.At(j, i));
        type.push_back(5);
      }
  }
  MeshTable View() const {
    return {static_cast<int>(x.size()), x, y, static_cast<int>(type.size()), ncon, type};
  }
};

TEST(MapNodalPositions, TakesTheNearestCornerAndTheFirstOnATie) {
  const Mesh mesh(2, 1);  // corners at x = 0, 1, 2 and y = 0, 1
  // Node numbers: top row 1..5, middle 6..8, bottom 9..13.
  const std::vector<int> cond = {1, 2, 1};
  // (0.9, 0.2) is nearest to (1, 0) = node 11; (0.5, 0.1): halfway between
  // corners 9 and 11, the mid-side node 10 is not a candidate; element 1 meets
  // node 9 first. (1.5, 1) is halfway between 3 and 5, both corners of element
  // 2, but element 1 has 3 as its top-right corner and comes first.
  const std::vector<double> xy = {0.9, 0.2, 0.5, 0.1, 1.5, 1.0};
  std::vector<int> out(6);
  MapNodalPositions(3, cond, xy, 2, mesh.View(), out);
  EXPECT_EQ(out, (std::vector<int>{11, 1, 9, 2, 3, 1}));
}

TEST(MapNodalPositions, RejectsBadConditionsCoordinatesAndMeshesWithoutFiniteElements) {
  Mesh mesh(1, 1);
  std::vector<int> out(2);
  const std::vector<double> xy = {0.0, 0.0};
  EXPECT_EQ(ErrorOf([&] { MapNodalPositions(1, std::vector<int>{2}, xy, 1, mesh.View(), out); }),
            " CONDITION NUMBER    2 NOT DEFINED");
  EXPECT_EQ(ErrorOf([&] { MapNodalPositions(1, std::vector<int>{0}, xy, 1, mesh.View(), out); }),
            " CONDITION NUMBER    0 NOT DEFINED");
  const std::vector<double> nan = {std::nan(""), 0.0};
  EXPECT_EQ(ErrorOf([&] { MapNodalPositions(1, std::vector<int>{1}, nan, 1, mesh.View(), out); }),
            " INVALID COORDINATES OF NODAL POSITION    1");
  // Far away positions still find a node: all squared distances round to
  // 2e60 here, so the first corner (bottom left, node 6) is kept.
  const std::vector<double> far = {1e30, -1e30};
  MapNodalPositions(1, std::vector<int>{1}, far, 1, mesh.View(), out);
  EXPECT_EQ(out, (std::vector<int>{6, 1}));
  mesh.type = {2};  // no eight-node element left
  EXPECT_EQ(ErrorOf([&] { MapNodalPositions(1, std::vector<int>{1}, xy, 1, mesh.View(), out); }),
            " NO EIGHT-NODE ELEMENTS FOR THE NODAL POSITIONS");
  // No positions: nothing to do, even without finite elements.
  MapNodalPositions(0, {}, {}, 0, mesh.View(), out);
}

TEST(MapPipePositions, MarksEveryElementAroundTheNearestCorner) {
  Mesh mesh(2, 2);         // inner corner (1, 1) is shared by all four elements
  mesh.type.push_back(2);  // an infinite element keeps its record untouched
  mesh.ncon.insert(mesh.ncon.end(), {1, 2, 3, 4, 0, 0, 0, 0});
  std::vector<int> mwt(3 * 5, 9);
  const std::vector<int> condPart = {1, 4};
  const std::vector<double> xy = {1.1, 0.95};
  MapPipePositions(1, condPart, xy, 1, mesh.View(), mwt);
  // Element 1 (top left) has the point as BR (3), element 2 (top right) as
  // BL (1), element 3 (bottom left) as TR (5), element 4 as TL (7).
  EXPECT_EQ(mwt, (std::vector<int>{3, 1, 4, 1, 1, 4, 5, 1, 4, 7, 1, 4, 9, 9, 9}));

  // A later position overwrites; the others are cleared by the next call.
  const std::vector<int> two = {1, 1, 2, 2};
  const std::vector<double> xy2 = {0.0, 2.0, 1.0, 2.0};
  MapPipePositions(2, two, xy2, 2, mesh.View(), mwt);
  EXPECT_EQ(mwt, (std::vector<int>{5, 2, 2, 7, 2, 2, 0, 0, 0, 0, 0, 0, 9, 9, 9}));
}

TEST(MapPipePositions, RejectsBadConditionsAndParts) {
  const Mesh mesh(1, 1);
  std::vector<int> mwt(3);
  const std::vector<double> xy = {0.0, 0.0};
  EXPECT_EQ(ErrorOf([&] {
              MapPipePositions(1, std::vector<int>{2, 1}, xy, 1, mesh.View(), mwt);
            }),
            " CONDITION NUMBER    2 NOT DEFINED");
  EXPECT_EQ(ErrorOf([&] {
              MapPipePositions(1, std::vector<int>{1, 0}, xy, 1, mesh.View(), mwt);
            }),
            " PIPE PART NUMBER    0 NOT ALLOWED");
  EXPECT_EQ(ErrorOf([&] {
              MapPipePositions(1, std::vector<int>{1, 76}, xy, 1, mesh.View(), mwt);
            }),
            " PIPE PART NUMBER   76 NOT ALLOWED");
  MapPipePositions(1, std::vector<int>{1, 75}, xy, 1, mesh.View(), mwt);
  EXPECT_EQ(mwt, (std::vector<int>{1, 1, 75}));
}

}  // namespace
TEST(CheckPipeRoom, NamesThePipeWhoseElementsCannotHoldIt) {
  const Mesh mesh(2, 2);  // unit elements: mid-side nodes 0.5 m from the pipe's corner
  std::vector<int> mwt(3 * 4);
  MapPipePositions(1, std::vector<int>{1, 4}, std::vector<double>{1.0, 1.0}, 1, mesh.View(), mwt);
  std::vector<double> pipe(3006);
  for (const double diameter : {0.025, 0.5, 0.9}) {
    pipe[2] = diameter;
    CheckPipeRoom(pipe, 1, mesh.View(), mwt);
  }
  for (const double diameter : {0.96, 1.0, 2.5}) {
    pipe[2] = diameter;
    EXPECT_EQ(ErrorOf([&] { CheckPipeRoom(pipe, 1, mesh.View(), mwt); }).substr(0, 46),
              " PIPE    1 PART    4: ELEMENT      1 TOO SMALL")
        << diameter;
  }
}

}  // namespace meshgen
