// Super-element mesh generation: node and element orders, rearranging, connectivity,
// shared sides, finite/infinite boundaries, the 1e-6 node test and the renumbering.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "FatalStop.h"
#include "MeshGeneration.h"
#include "NodeFinder.h"
#include "mesh_test_model.h"

namespace meshgen {
namespace {

using test::Quad;
using test::TestModel;

// All tables of one meshing run in owned vectors.
struct MeshRun {
  std::vector<std::vector<std::int32_t>> ints;
  std::vector<std::vector<double>> reals;
  SuperElementTables se;
  MeshTables mesh;
  std::vector<std::string> infos;

  IntegerMatrix Int(std::int64_t rows, std::int64_t columns) {
    ints.emplace_back(static_cast<std::size_t>(std::max<std::int64_t>(rows * columns, 1)), -7);
    return {ints.back().data(), rows, columns};
  }
  RealMatrix Real(std::int64_t rows) {
    reals.emplace_back(static_cast<std::size_t>(std::max<std::int64_t>(rows, 1)), -7.0);
    return {reals.back().data(), rows, 1};
  }

  // Rearranges and defines the tables; sizes may be overridden before Generate().
  explicit MeshRun(const MeshgenArgs& args) {
    ints.reserve(64);
    reals.reserve(8);
    const std::int32_t n = args.nSuperElements;
    se.order = Int(n, 1);
    se.nodes = Int(8, n);
    se.rows = Int(1, n);
    se.columns = Int(1, n);
    se.nodeCode = Int(1, n);
    se.material = Int(1, n);
    se.type = Int(1, n);
    se.used = Int(1, n);
    const MeshSizes sizes = EstimateMeshSizes(args);
    mesh.sizes = sizes;
    const std::int64_t nn = sizes.maxSidePoints, nt = sizes.nodeCapacity,
                       ne = sizes.elementCapacity;
    mesh.grid = Int(nn * nn, 1);
    mesh.x = Real(nt);
    mesh.y = Real(nt);
    mesh.ncon = Int(8, ne);
    mesh.ncn = Int(ne, 1);
    mesh.material = Int(ne, 1);
    mesh.region = Int(ne, 1);
    mesh.jnt = Int(nt, 1);
    mesh.jmem = Int(nt, 1);
    mesh.newjt = Int(nt, 1);
    mesh.joint = Int(nt, 1);
    mesh.jte = Int(ne, 1);
    mesh.ity = Int(ne, 1);
    mesh.sideNodes = Int(nn * 4 * n, 1);
    mesh.neighbour = Int(4, n);
    mesh.interfaceSide = Int(4, n);
  }

  void Rearrange(const MeshgenArgs& args) {
    RearrangeSuperElements(args, se, [this](const char* t) { infos.emplace_back(t); });
  }
  void Generate(const MeshgenArgs& args) {
    Rearrange(args);
    GenerateMesh(
        args, se, mesh, [this](const char* t) { infos.emplace_back(t); }, nullptr);
  }

  std::vector<int> Ncon(int e) const {
    std::vector<int> v;
    for (int p = 1; p <= mesh.ncn(e); ++p) v.push_back(mesh.ncon(p, e));
    return v;
  }
  double X(int n) const { return mesh.x(n); }
  double Y(int n) const { return mesh.y(n); }
};

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const numlib::FatalStop& e) {
    return e.what();
  }
  return "";
}

// Unit square with corners 1 (0,0), 2 (1,0), 3 (1,1), 4 (0,1).
TestModel UnitSquare(int type, int rows = 1, int columns = 1) {
  TestModel m;
  m.AddNode(0, 0);
  m.AddNode(1, 0);
  m.AddNode(1, 1);
  m.AddNode(0, 1);
  m.elements.push_back(Quad(1, 2, 3, 4, rows, columns, type));
  return m;
}

constexpr double kTol = 1e-12;  // coordinates from the serendipity interpolation, m

TEST(MeshGeneration, OneEightNodeElementHasTheDocumentedNodesAndOrder) {
  TestModel model = UnitSquare(MESHGEN_TYPE_FINITE);
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Generate(args);
  ASSERT_EQ(run.mesh.nodeCount, 8);
  ASSERT_EQ(run.mesh.elementCount, 1);
  const double expected[8][2] = {{0, 1},   {0.5, 1}, {1, 1},   {0, 0.5},
                                 {1, 0.5}, {0, 0},   {0.5, 0}, {1, 0}};
  for (int n = 1; n <= 8; ++n) {
    EXPECT_NEAR(run.X(n), expected[n - 1][0], kTol) << "node " << n;
    EXPECT_NEAR(run.Y(n), expected[n - 1][1], kTol) << "node " << n;
  }
  EXPECT_EQ(run.Ncon(1), (std::vector<int>{6, 7, 8, 5, 3, 2, 1, 4}));
  EXPECT_EQ(run.mesh.ncn(1), 8);
  EXPECT_EQ(run.mesh.ity(1), 5);
  EXPECT_EQ(run.mesh.material(1), 1);
  EXPECT_EQ(run.mesh.region(1), 1);
  EXPECT_EQ(run.mesh.jte(1), 0);
  EXPECT_EQ(run.mesh.bandwidth, 7);
  EXPECT_FALSE(run.mesh.renumbered);
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(run.mesh.jnt(n), n);
}

TEST(MeshGeneration, InfiniteElementNodeOrders) {
  {
    TestModel model = UnitSquare(MESHGEN_TYPE_INFINITE_SURFACE);
    const MeshgenArgs args = model.Args();
    MeshRun run(args);
    run.Generate(args);
    ASSERT_EQ(run.mesh.nodeCount, 4);
    // TL = 1, TR = 2, BL = 3, BR = 4.
    EXPECT_NEAR(run.X(1), 0.0, kTol);
    EXPECT_NEAR(run.Y(1), 1.0, kTol);
    EXPECT_NEAR(run.X(2), 1.0, kTol);
    EXPECT_NEAR(run.Y(3), 0.0, kTol);
    EXPECT_NEAR(run.X(4), 1.0, kTol);
    EXPECT_EQ(run.Ncon(1), (std::vector<int>{3, 4, 2, 1}));
  }
  {
    TestModel model = UnitSquare(MESHGEN_TYPE_INFINITE_CORNER);
    const MeshgenArgs args = model.Args();
    MeshRun run(args);
    run.Generate(args);
    ASSERT_EQ(run.mesh.nodeCount, 3);
    // TL = 1, BL = 2, BR = 3; the top-right point has no node.
    EXPECT_NEAR(run.Y(1), 1.0, kTol);
    EXPECT_NEAR(run.X(2), 0.0, kTol);
    EXPECT_NEAR(run.Y(2), 0.0, kTol);
    EXPECT_NEAR(run.X(3), 1.0, kTol);
    EXPECT_EQ(run.Ncon(1), (std::vector<int>{2, 3, 1}));
    EXPECT_EQ(run.mesh.ncn(1), 3);
  }
}

TEST(MeshGeneration, SizingEstimates) {
  // Two 2 x 2 eight-node super elements sharing a side.
  TestModel model;
  for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, 0.0);  // 1 2 3
  for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, 1.0);  // 4 5 6
  model.elements.push_back(Quad(1, 2, 5, 4, 2, 2));
  model.elements.push_back(Quad(2, 3, 6, 5, 2, 2));
  MeshgenArgs args = model.Args();
  MeshSizes sizes = EstimateMeshSizes(args);
  EXPECT_EQ(sizes.nodeCapacity, 42);
  EXPECT_EQ(sizes.elementCapacity, 8);
  EXPECT_EQ(sizes.maxSidePoints, 5);
  EXPECT_FALSE(sizes.mixed);

  MeshRun run(args);
  run.Generate(args);
  EXPECT_EQ(run.mesh.nodeCount, 37);
  EXPECT_EQ(run.mesh.elementCount, 8);

  model.elements[0].type = model.elements[1].type = MESHGEN_TYPE_INFINITE_SURFACE;
  args = model.Args();
  sizes = EstimateMeshSizes(args);
  EXPECT_EQ(sizes.nodeCapacity, 18);
  EXPECT_EQ(sizes.maxSidePoints, 3);

  model.elements[1].type = MESHGEN_TYPE_FINITE;
  args = model.Args();
  sizes = EstimateMeshSizes(args);
  EXPECT_TRUE(sizes.mixed);
}

TEST(MeshGeneration, SharedSideNodesAreTakenOverInTheRightDirection) {
  TestModel model;
  for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, 0.0);  // 1 2 3
  for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, 1.0);  // 4 5 6
  model.elements.push_back(Quad(1, 2, 5, 4, 2, 2));
  // The second super element starts at another corner: its side 1 is the shared one.
  model.elements.push_back(Quad(5, 2, 3, 6, 2, 2));
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Generate(args);
  EXPECT_EQ(run.mesh.neighbour(2, 1), 2);
  EXPECT_EQ(run.mesh.neighbour(1, 2), 1);
  EXPECT_EQ(run.mesh.nodeCount, 37);
  // Every node on x = 1 appears once, with its coordinates in order along the side.
  std::vector<double> ys;
  for (int n = 1; n <= run.mesh.nodeCount; ++n)
    if (std::fabs(run.X(n) - 1.0) <= kTol) ys.push_back(run.Y(n));
  std::sort(ys.begin(), ys.end());
  EXPECT_EQ(ys, (std::vector<double>{0.0, 0.25, 0.5, 0.75, 1.0}));
  // Side 1 of super element 2 runs from (1, 1) to (1, 0), as side 2 of super element 1
  // (copy direction +1): the same nodes in the same order.
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(run.mesh.SideNode(2, 1, i), run.mesh.SideNode(1, 2, i));
    EXPECT_NEAR(run.Y(run.mesh.SideNode(2, 1, i)), 1.0 - 0.25 * (i - 1), kTol);
  }
  // No two nodes share a position.
  for (int a = 1; a <= run.mesh.nodeCount; ++a)
    for (int b = a + 1; b <= run.mesh.nodeCount; ++b)
      EXPECT_FALSE(std::fabs(run.X(a) - run.X(b)) <= 1e-6 &&
                   std::fabs(run.Y(a) - run.Y(b)) <= 1e-6);
}

TEST(MeshGeneration, SharedSideCopiedInReverseWhenTheListsRunOppositeWays) {
  TestModel model;
  for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, 0.0);  // 1 2 3
  for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, 1.0);  // 4 5 6
  model.elements.push_back(Quad(1, 2, 5, 4, 2, 2));
  // Turned by half a turn: its side 2 runs from (1, 1) down to (1, 0), listed upwards.
  model.elements.push_back(Quad(6, 5, 2, 3, 2, 2));
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Generate(args);
  EXPECT_EQ(run.mesh.neighbour(2, 2), 1);
  EXPECT_EQ(run.mesh.nodeCount, 37);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(run.mesh.SideNode(2, 2, i), run.mesh.SideNode(1, 2, 6 - i));
    EXPECT_NEAR(run.Y(run.mesh.SideNode(2, 2, i)), 0.25 * (i - 1), kTol);
  }
}

TEST(MeshGeneration, RearrangingFollowsSharedCornersInIndexOrder) {
  // 1 touches only 3, 3 touches 2: the new order is 1, 3, 2.
  TestModel model;
  for (double x : {0.0, 1.0, 2.0, 3.0}) model.AddNode(x, 0.0);  // 1 2 3 4
  for (double x : {0.0, 1.0, 2.0, 3.0}) model.AddNode(x, 1.0);  // 5 6 7 8
  model.elements.push_back(Quad(1, 2, 6, 5));
  model.elements.push_back(Quad(3, 4, 8, 7, 1, 1));
  model.elements.push_back(Quad(2, 3, 7, 6, 1, 1));
  MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Rearrange(args);
  EXPECT_EQ(run.se.order(1), 1);
  EXPECT_EQ(run.se.order(2), 3);
  EXPECT_EQ(run.se.order(3), 2);
  EXPECT_EQ(run.se.nodes(1, 2), 2);
  EXPECT_EQ(run.se.nodes(1, 3), 3);
  EXPECT_EQ(std::count(run.infos.begin(), run.infos.end(), kTextRearranging), 3);

  // Without the middle one, super element 2 touches nothing.
  model.elements.pop_back();
  args = model.Args();
  MeshRun broken(args);
  EXPECT_EQ(ErrorOf([&] { broken.Rearrange(args); }), " SOME ELEMENTS ARE NOT CONNECTED.");
}

TEST(MeshGeneration, CornerContactConnectsButIsNoNeighbour) {
  TestModel model;
  model.AddNode(0, 0);
  model.AddNode(1, 0);
  model.AddNode(1, 1);
  model.AddNode(0, 1);
  model.AddNode(2, 1);
  model.AddNode(2, 2);
  model.AddNode(1, 2);
  model.elements.push_back(Quad(1, 2, 3, 4));
  model.elements.push_back(Quad(3, 5, 6, 7));
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Generate(args);
  for (int s = 1; s <= 2; ++s)
    for (int k = 1; k <= 4; ++k) EXPECT_EQ(run.mesh.neighbour(k, s), 0);
  EXPECT_EQ(run.mesh.nodeCount, 15);  // the common corner is one node
}

TEST(MeshGeneration, FiniteInfiniteBoundaryGivesFiveNodeElements) {
  TestModel model;
  model.AddNode(0, 0);  // 1
  model.AddNode(1, 0);  // 2
  model.AddNode(1, 1);  // 3
  model.AddNode(0, 1);  // 4
  model.AddNode(2, 0);  // 5
  model.AddNode(2, 1);  // 6
  model.elements.push_back(Quad(1, 2, 3, 4, 2, 1));
  model.elements.push_back(Quad(2, 5, 6, 3, 2, 1, MESHGEN_TYPE_INFINITE_SURFACE));
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Generate(args);
  EXPECT_EQ(run.mesh.interfaceSide(2, 1), 2);
  EXPECT_EQ(run.mesh.interfaceSide(4, 2), 4);
  ASSERT_EQ(run.mesh.elementCount, 4);
  EXPECT_EQ(run.mesh.nodeCount, 13 + 6 - 3);
  EXPECT_EQ(run.mesh.jte(1), 2);
  EXPECT_EQ(run.mesh.jte(2), 2);
  for (int f = 3; f <= 4; ++f) {
    EXPECT_EQ(run.mesh.jte(f), 4);
    ASSERT_EQ(run.mesh.ncn(f), 5) << "element " << f;
    const std::vector<int> nodes = run.Ncon(f);
    // Starts with the finite side (b, mid, a): all three on x = 1, the middle one halfway.
    for (int p = 0; p < 3; ++p) EXPECT_NEAR(run.X(nodes[p]), 1.0, kTol);
    EXPECT_NEAR(run.Y(nodes[1]), (run.Y(nodes[0]) + run.Y(nodes[2])) / 2, kTol);
    EXPECT_GT(run.Y(nodes[0]), run.Y(nodes[2]));  // b above a: counter-clockwise in f
    // The finite element across has (a, mid, b) as its right side.
    const int e = f - 2;
    EXPECT_EQ(run.mesh.ncon(3, e), nodes[2]);
    EXPECT_EQ(run.mesh.ncon(4, e), nodes[1]);
    EXPECT_EQ(run.mesh.ncon(5, e), nodes[0]);
    // The remaining corners run outwards.
    EXPECT_NEAR(run.X(nodes[3]), 2.0, kTol);
    EXPECT_NEAR(run.X(nodes[4]), 2.0, kTol);
  }
}

TEST(MeshGeneration, PointsWithinOneMicrometreBecomeOneNodeWithTheLaterCoordinates) {
  TestModel model;
  model.AddNode(0, 0);         // 1
  model.AddNode(1, 0);         // 2
  model.AddNode(1, 1);         // 3
  model.AddNode(0, 1);         // 4
  model.AddNode(2, 0);         // 5
  model.AddNode(2, 1);         // 6
  model.AddNode(1 + 5e-7, 1);  // 7, within 1e-6 of node 3
  model.elements.push_back(Quad(1, 2, 3, 4));
  model.elements.push_back(Quad(2, 5, 6, 7));
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Generate(args);
  EXPECT_EQ(run.mesh.neighbour(2, 1), 0);  // no common super nodes on that side
  EXPECT_EQ(run.mesh.nodeCount, 13);
  EXPECT_EQ(run.mesh.ncon(5, 1), run.mesh.ncon(7, 2));  // top-right of 1 = top-left of 2
  EXPECT_EQ(run.X(run.mesh.ncon(5, 1)), 1 + 5e-7);
  EXPECT_EQ(run.X(run.mesh.ncon(4, 1)), 1 + 2.5e-7);
}

TEST(MeshGeneration, UnequalDivisionsOnASharedSideAreAnError) {
  TestModel model;
  for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, 0.0);
  for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, 1.0);
  model.elements.push_back(Quad(1, 2, 5, 4, 2, 2));
  model.elements.push_back(Quad(2, 3, 6, 5, 3, 2));
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Rearrange(args);
  EXPECT_EQ(ErrorOf([&] { GenerateMesh(args, run.se, run.mesh, nullptr, nullptr); }),
            " SUPER ELEMENTS    1 AND    2 HAVE DIFFERENT DIVISIONS ON THEIR COMMON SIDE");
}

TEST(MeshGeneration, SidesMeetingWithoutCommonNodesAreAnError) {
  // Super element 1 (x in [0, 1]) meets 2 and 3 (y in [0, 0.5] and [0.5, 1]) along x = 1.
  TestModel model;
  for (double y : {0.0, 0.5, 1.0})
    for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, y);  // 1 2 3 / 4 5 6 / 7 8 9
  model.elements.push_back(Quad(1, 2, 8, 7, 3, 1));
  model.elements.push_back(Quad(2, 3, 6, 5));
  model.elements.push_back(Quad(5, 6, 9, 8));
  auto error = [&model] {
    const MeshgenArgs args = model.Args();
    MeshRun run(args);
    return ErrorOf([&] { run.Generate(args); });
  };
  // Three rows against one each: the nodes at y = 1/4 and 3/4 would hang.
  EXPECT_EQ(error(), " SUPER ELEMENTS    1 AND    2 DO NOT SHARE THEIR NODES ALONG A COMMON SIDE");
  // Two rows put a node of 1 at every node of 2 and 3 in the same role: a valid mesh.
  model.elements[0].rows = 2;
  EXPECT_EQ(error(), "");
  // Four rows: the same nodes, but y = 1/4 is a corner in 1 and a mid-side node in 2.
  model.elements[0].rows = 4;
  EXPECT_EQ(error(), " SUPER ELEMENTS    1 AND    2 DO NOT SHARE THEIR NODES ALONG A COMMON SIDE");
}

TEST(MeshGeneration, CornerElementStartsAtTheFiniteCornerInEitherOrder) {
  // Finite square 1 2 3 4, strips to the right and on top, the corner element beyond 3.
  TestModel model;
  for (auto [x, y] :
       {std::pair{0, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 0}, {2, 1}, {1, 2}, {0, 2}, {2, 2}})
    model.AddNode(x, y);
  model.elements.push_back(Quad(1, 2, 3, 4));
  model.elements.push_back(Quad(2, 5, 6, 3, 1, 1, MESHGEN_TYPE_INFINITE_SURFACE));
  model.elements.push_back(Quad(4, 3, 7, 8, 1, 1, MESHGEN_TYPE_INFINITE_SURFACE));
  for (const auto& corners : {std::array{3, 6, 9, 7}, std::array{9, 7, 3, 6}}) {
    model.elements.resize(3);
    model.elements.push_back(
        Quad(corners[0], corners[1], corners[2], corners[3], 1, 1, MESHGEN_TYPE_INFINITE_CORNER));
    const MeshgenArgs args = model.Args();
    MeshRun run(args);
    run.Generate(args);
    ASSERT_EQ(run.mesh.elementCount, 4);
    const std::vector<int> nodes = run.Ncon(4);
    ASSERT_EQ(nodes.size(), 3u);
    const double expected[3][2] = {{1, 1}, {2, 1}, {1, 2}};
    for (int p = 0; p < 3; ++p) {
      EXPECT_NEAR(run.X(nodes[p]), expected[p][0], kTol) << corners[0] << " node " << p;
      EXPECT_NEAR(run.Y(nodes[p]), expected[p][1], kTol) << corners[0] << " node " << p;
    }
  }
  // A corner element away from the finite mesh is refused.
  model.elements.back() = Quad(6, 10, 11, 9, 1, 1, MESHGEN_TYPE_INFINITE_CORNER);
  model.AddNode(3, 1);
  model.AddNode(3, 2);
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  EXPECT_EQ(ErrorOf([&] { run.Generate(args); }),
            " CORNER SUPER ELEMENT    4 MUST TOUCH THE FINITE MESH AT EXACTLY ONE CORNER");
}

TEST(MeshGeneration, CornerElementsSharingASideAreAConnectivityError) {
  // The first one has no node at its top-right point, which the second would take over.
  TestModel model;
  for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, 0.0);  // 1 2 3
  for (double x : {0.0, 1.0, 2.0}) model.AddNode(x, 1.0);  // 4 5 6
  model.elements.push_back(Quad(1, 2, 5, 4, 1, 1, MESHGEN_TYPE_INFINITE_CORNER));
  model.elements.push_back(Quad(2, 3, 6, 5, 1, 1, MESHGEN_TYPE_INFINITE_CORNER));
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Rearrange(args);
  EXPECT_EQ(ErrorOf([&] { GenerateMesh(args, run.se, run.mesh, nullptr, nullptr); }),
            "               INPUT ERROR IN CONNECTIVITY, PROGRAM TERMINATED");
}

TEST(MeshGeneration, CapacityGuards) {
  TestModel model = UnitSquare(MESHGEN_TYPE_FINITE, 2, 2);
  const MeshgenArgs args = model.Args();
  {
    MeshRun run(args);
    run.mesh.sizes.nodeCapacity = 20;
    run.Rearrange(args);
    EXPECT_EQ(ErrorOf([&] { GenerateMesh(args, run.se, run.mesh, nullptr, nullptr); }),
              "               NUMBER OF GENERATED NODES EXCEEDS ALLOWABLE"
              "               PROGRAM TERMINATED");
  }
  {
    MeshRun run(args);
    run.mesh.sizes.elementCapacity = 3;
    run.Rearrange(args);
    EXPECT_EQ(ErrorOf([&] { GenerateMesh(args, run.se, run.mesh, nullptr, nullptr); }),
              "               NUMBER OF GENERATED ELEMENTS EXCEEDS ALLOWABLE"
              "               PROGRAM TERMINATED");
  }
}

TEST(MeshGeneration, ProgressTextsPerSideAndRow) {
  TestModel model = UnitSquare(MESHGEN_TYPE_FINITE, 2, 3);
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Generate(args);
  auto count = [&](const char* t) { return std::count(run.infos.begin(), run.infos.end(), t); };
  EXPECT_EQ(count(kTextConnectivity), 4);
  EXPECT_EQ(count(kTextMeshing), 1);
  EXPECT_EQ(count(kTextCreatingNodes), 5);
  EXPECT_EQ(count(kTextCommonBoundaries), 0);
}

// The renumbering as written: every start, lists in order of first appearance,
// abandoned trials, first best kept.
struct Reference {
  bool renumbered = false;
  int bandwidth = 0;
  std::vector<int> jnt;
};
Reference ReferenceRenumbering(const MeshTables& mesh) {
  const int n = mesh.nodeCount;
  std::vector<std::vector<int>> adj(n + 1);
  int b0 = 0;
  for (int e = 1; e <= mesh.elementCount; ++e)
    for (int p = 1; p <= mesh.ncn(e); ++p)
      for (int q = 1; q <= mesh.ncn(e); ++q) {
        const int u = mesh.ncon(p, e), v = mesh.ncon(q, e);
        if (p == q || u == v) continue;
        if (std::find(adj[u].begin(), adj[u].end(), v) == adj[u].end()) adj[u].push_back(v);
        b0 = std::max(b0, std::abs(u - v));
      }
  Reference ref;
  int best = b0;
  std::vector<int> bestNumbers;
  for (int r = 1; r <= n; ++r) {
    std::vector<int> num(n + 1, 0), order{r};
    num[r] = 1;
    bool ok = true;
    int width = 0;
    for (std::size_t h = 0; h < order.size() && ok; ++h)
      for (int v : adj[order[h]]) {
        if (num[v] != 0) continue;
        const int number = static_cast<int>(order.size()) + 1;
        if (number - num[order[h]] >= best) {
          ok = false;
          break;
        }
        num[v] = number;
        order.push_back(v);
        width = std::max(width, number - num[order[h]]);
      }
    if (ok && static_cast<int>(order.size()) == n) {
      best = width;
      bestNumbers = num;
    }
  }
  ref.renumbered = best < b0;
  ref.bandwidth = ref.renumbered ? best : b0;
  if (ref.renumbered) ref.jnt.assign(bestNumbers.begin() + 1, bestNumbers.end());
  return ref;
}

void ExpectSameAsReference(TestModel& model, int threads) {
  SCOPED_TRACE(threads);
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Generate(args);
  ReduceBandwidth(run.mesh, threads);
  const Reference ref = ReferenceRenumbering(run.mesh);
  EXPECT_EQ(run.mesh.renumbered, ref.renumbered);
  EXPECT_EQ(run.mesh.bandwidth, ref.bandwidth);
  if (!ref.renumbered) return;
  for (int n = 1; n <= run.mesh.nodeCount; ++n) {
    ASSERT_EQ(run.mesh.jnt(n), ref.jnt[n - 1]) << "node " << n;
    EXPECT_EQ(run.mesh.jmem(run.mesh.jnt(n)), n);
  }
  // The bandwidth is the real one of the new numbering.
  int width = 0;
  for (int e = 1; e <= run.mesh.elementCount; ++e)
    for (int p = 1; p <= run.mesh.ncn(e); ++p)
      for (int q = 1; q <= run.mesh.ncn(e); ++q)
        width = std::max(
            width, std::abs(run.mesh.jnt(run.mesh.ncon(p, e)) - run.mesh.jnt(run.mesh.ncon(q, e))));
  EXPECT_EQ(width, run.mesh.bandwidth);
}

TEST(MeshGeneration, RenumberingMatchesTheTrialRuleOnSeveralMeshes) {
  {
    TestModel strip = UnitSquare(MESHGEN_TYPE_FINITE, 1, 12);  // long row: renumbering helps
    for (int threads : {1, 3}) ExpectSameAsReference(strip, threads);
    const MeshgenArgs args = strip.Args();
    MeshRun run(args);
    run.Generate(args);
    EXPECT_TRUE(run.mesh.renumbered);
  }
  {
    TestModel block = UnitSquare(MESHGEN_TYPE_FINITE, 5, 4);
    for (int threads : {1, 4}) ExpectSameAsReference(block, threads);
    TestModel big = UnitSquare(MESHGEN_TYPE_FINITE, 12, 14);
    for (int threads : {1, 2}) ExpectSameAsReference(big, threads);
  }
  {
    TestModel mixed;
    mixed.AddNode(0, 0);
    mixed.AddNode(1, 0);
    mixed.AddNode(1, 1);
    mixed.AddNode(0, 1);
    mixed.AddNode(2, 0);
    mixed.AddNode(2, 1);
    mixed.AddNode(0, 2);
    mixed.AddNode(1, 2);
    mixed.AddNode(2, 2);
    mixed.elements.push_back(Quad(1, 2, 3, 4, 3, 4));
    mixed.elements.push_back(Quad(2, 5, 6, 3, 3, 1, MESHGEN_TYPE_INFINITE_SURFACE));
    mixed.elements.push_back(Quad(4, 3, 8, 7, 1, 4, MESHGEN_TYPE_INFINITE_SURFACE));
    mixed.elements.push_back(Quad(3, 6, 9, 8, 1, 1, MESHGEN_TYPE_INFINITE_CORNER));
    for (int threads : {1, 2}) ExpectSameAsReference(mixed, threads);
  }
}

TEST(MeshGeneration, RenumberingOfAMeshInPiecesFails) {
  // Two elements without a common node: no trial numbers every node.
  std::vector<std::int32_t> ncon{1, 3, 5, 7, 0, 0, 0, 0, 2, 4, 6, 8, 0, 0, 0, 0};
  std::vector<std::int32_t> ncn{4, 4}, work(6 * 8, 0);
  MeshTables mesh;
  mesh.ncon = {ncon.data(), 8, 2};
  mesh.ncn = {ncn.data(), 2, 1};
  mesh.jnt = {work.data(), 8, 1};
  mesh.jmem = {work.data() + 8, 8, 1};
  mesh.newjt = {work.data() + 16, 8, 1};
  mesh.joint = {work.data() + 24, 8, 1};
  mesh.nodeCount = 8;
  mesh.elementCount = 2;
  ReduceBandwidth(mesh);
  EXPECT_FALSE(mesh.renumbered);
  EXPECT_EQ(mesh.bandwidth, 6);
  for (int n = 1; n <= 8; ++n) EXPECT_EQ(mesh.jnt(n), n);
}

// A wall on ground, the ground bounded by infinite elements at the sides and below and
// a corner element: the kind of section the program meshes every day.
TestModel WallOnGround() {
  TestModel m;
  const int n1 = m.AddNode(0, 0), n2 = m.AddNode(1.5, 0), n3 = m.AddNode(2.5, 0),
            n4 = m.AddNode(4, 0);
  const int n5 = m.AddNode(0, 2), n6 = m.AddNode(1.5, 2), n7 = m.AddNode(2.5, 2),
            n8 = m.AddNode(4, 2);
  const int n9 = m.AddNode(1.5, 4), n10 = m.AddNode(2.5, 4);
  const int n11 = m.AddNode(6, 0), n12 = m.AddNode(6, 2);
  const int n13 = m.AddNode(-2, 0), n14 = m.AddNode(-2, 2);
  const int n15 = m.AddNode(0, -2), n16 = m.AddNode(1.5, -2), n17 = m.AddNode(2.5, -2),
            n18 = m.AddNode(4, -2), n19 = m.AddNode(6, -2);
  constexpr int kStrip = MESHGEN_TYPE_INFINITE_SURFACE;
  m.elements.push_back(Quad(n1, n2, n6, n5, 2, 3));            // ground, left
  m.elements.push_back(Quad(n2, n3, n7, n6, 2, 2));            // ground, middle
  m.elements.push_back(Quad(n3, n4, n8, n7, 2, 3));            // ground, right
  m.elements.push_back(Quad(n6, n7, n10, n9, 4, 2));           // wall
  m.elements.push_back(Quad(n4, n11, n12, n8, 2, 1, kStrip));  // right side
  m.elements.push_back(Quad(n13, n1, n5, n14, 2, 1, kStrip));  // left side
  m.elements.push_back(Quad(n15, n16, n2, n1, 1, 3, kStrip));  // below
  m.elements.push_back(Quad(n16, n17, n3, n2, 1, 2, kStrip));
  m.elements.push_back(Quad(n17, n18, n4, n3, 1, 3, kStrip));
  m.elements.push_back(Quad(n18, n19, n11, n4, 1, 1, MESHGEN_TYPE_INFINITE_CORNER));
  return m;
}

TEST(MeshGeneration, WallOnGroundGivesAValidMesh) {
  TestModel model = WallOnGround();
  const MeshgenArgs args = model.Args();
  MeshRun run(args);
  run.Generate(args);
  const MeshTables& mesh = run.mesh;
  // The corner element is given from its far corner; turned, it starts at the ground's
  // corner (4, 0) and its far corner (6, -2) gets no node.
  EXPECT_EQ(mesh.nodeCount, 116);
  ASSERT_EQ(mesh.elementCount, 37);
  int counts[9] = {};
  std::vector<int> used(mesh.nodeCount + 1, 0);
  for (int e = 1; e <= mesh.elementCount; ++e) {
    const std::vector<int> nodes = run.Ncon(e);
    ++counts[nodes.size()];
    for (int n : nodes) {
      ASSERT_GE(n, 1);
      ASSERT_LE(n, mesh.nodeCount);
      ++used[n];
    }
    // Counter-clockwise: positive area of the boundary polygon (corners of infinite
    // elements, all eight nodes of finite ones).
    double area = 0.0;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
      const int a = nodes[i], b = nodes[(i + 1) % nodes.size()];
      area += run.X(a) * run.Y(b) - run.X(b) * run.Y(a);
    }
    EXPECT_GT(area, 0.0) << "element " << e;
    if (nodes.size() == 5) {
      // Starts with a finite element's side: the middle node halfway between the ends.
      EXPECT_NEAR(run.X(nodes[1]), (run.X(nodes[0]) + run.X(nodes[2])) / 2, kTol);
      EXPECT_NEAR(run.Y(nodes[1]), (run.Y(nodes[0]) + run.Y(nodes[2])) / 2, kTol);
    }
  }
  EXPECT_EQ(counts[8], 24);
  EXPECT_EQ(counts[5], 12);  // every infinite strip element borders the ground
  EXPECT_EQ(counts[4], 0);
  EXPECT_EQ(counts[3], 1);
  for (int n = 1; n <= mesh.nodeCount; ++n) EXPECT_GT(used[n], 0) << "node " << n;
  for (int a = 1; a <= mesh.nodeCount; ++a)
    for (int b = a + 1; b <= mesh.nodeCount; ++b)
      ASSERT_FALSE(std::fabs(run.X(a) - run.X(b)) <= 1e-6 && std::fabs(run.Y(a) - run.Y(b)) <= 1e-6)
          << a << " " << b;
  int interfaceElements = 0;
  for (int e = 1; e <= mesh.elementCount; ++e)
    if (IsFinite(mesh.ity(e)) && mesh.jte(e) != 0) ++interfaceElements;
  EXPECT_EQ(interfaceElements, 10);  // 3 + 2 + 3 along the bottom, 1 on each side
  EXPECT_EQ(std::count(run.infos.begin(), run.infos.end(), kTextCommonBoundaries),
            4 * interfaceElements);
  ExpectSameAsReference(model, 2);
}

TEST(NodeFinder, AnswersLikeTheLinearSearch) {
  std::mt19937 random(12345);
  std::uniform_real_distribution<double> coordinate(-1e-5, 1e-5);
  std::vector<double> xs, ys;
  NodeFinder finder;
  auto linear = [&](double x, double y) {
    for (std::size_t n = 0; n < xs.size(); ++n)
      if (std::fabs(x - xs[n]) <= 1e-6 && std::fabs(y - ys[n]) <= 1e-6)
        return static_cast<int>(n + 1);
    return 0;
  };
  int reused = 0;
  for (int i = 0; i < 3000; ++i) {
    const double x = coordinate(random) + 12.5, y = coordinate(random) - 3.0;
    const int expected = linear(x, y);
    ASSERT_EQ(finder.Find(x, y, xs.data(), ys.data()), expected) << i;
    if (expected != 0) {
      finder.Move(expected, xs[expected - 1], ys[expected - 1], x, y);
      xs[expected - 1] = x;
      ys[expected - 1] = y;
      ++reused;
    } else {
      xs.push_back(x);
      ys.push_back(y);
      finder.Insert(static_cast<int>(xs.size()), x, y);
    }
  }
  EXPECT_GT(reused, 100);
  // Exactly 1e-6 apart is still one node; non-finite points are never found.
  for (const double d : {1e-6, -1e-6, 1.0000001e-6}) {
    EXPECT_EQ(finder.Find(xs[0] + d, ys[0], xs.data(), ys.data()), linear(xs[0] + d, ys[0]));
  }
  EXPECT_EQ(finder.Find(NAN, 0.0, xs.data(), ys.data()), 0);
}

}  // namespace
}  // namespace meshgen
