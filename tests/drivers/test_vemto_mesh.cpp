// The mesher driver: conversion of a project document into the mesher's
// arguments, and runs of the mesher library.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "VemtoFile.h"
#include "VemtoMesh.h"
#include "test_datafile_model.h"

namespace vemto {
namespace {

/// A small model: a rectangle of two surfaces side by side (nodes 1..6),
///   4 --- 3 --- 6
///   |  S1 |  S2 |
///   1 --- 2 --- 5
struct TestDoc {
  TVemtoFile doc;
  std::vector<TNode*> n;
  std::vector<TEdge*> e;

  TNode* Node(double x, double y) {
    doc.Nodes.push_back(std::make_unique<TNode>(x, y));
    return doc.Nodes.back().get();
  }
  TEdge* Line(TNode* a, TNode* b, int divisions = 1) {
    doc.Edges.push_back(std::make_unique<TEdgeLine>(a, b));
    doc.Edges.back()->Divisions = divisions;
    return doc.Edges.back().get();
  }
  TVemtoSurface* Surface(TEdge* a, TEdge* b, TEdge* c, TEdge* d, TVemtoMaterial* m) {
    doc.Surfaces.push_back(std::make_unique<TVemtoSurface>(a, b, c, d));
    doc.Surfaces.back()->SetMaterial(m);
    return doc.Surfaces.back().get();
  }
  TVemtoMaterial* Material(const std::string& name) {
    auto m = std::make_unique<TVemtoMaterial>();
    m->Name = name;
    for (int k = 1; k <= 68; ++k) m->P(k) = k;
    m->Options = {1, 0, 1, 0, 1, 0, 1};
    return doc.Materials.Add(std::move(m));
  }
  template <class C>
  C* Condition(const std::string& name, std::vector<TVemtoEventPos> history = {}) {
    auto c = std::make_unique<C>(name);
    c->History = std::move(history);
    return static_cast<C*>(doc.Conditions.Add(std::move(c)));
  }
  template <class P, class... A>
  P* Position(TVemtoCondition* c, A... a) {
    auto p = std::make_unique<P>(a...);
    p->Condition = c;
    P* raw = p.get();
    doc.Positions.push_back(std::move(p));
    return raw;
  }

  TVemtoSurface* s1 = nullptr;
  TVemtoSurface* s2 = nullptr;
  TVemtoMaterial* concrete = nullptr;
  TVemtoMaterial* rock = nullptr;

  TestDoc() {
    n = {Node(0, 0), Node(1, 0), Node(1, 1), Node(0, 1), Node(2, 0), Node(2, 1)};
    e = {Line(n[0], n[1], 2), Line(n[1], n[2], 3), Line(n[2], n[3], 2), Line(n[3], n[0], 3),
         Line(n[1], n[4], 1), Line(n[4], n[5], 3), Line(n[5], n[2], 1)};
    rock = Material("rock");
    concrete = Material("concrete");
    s1 = Surface(e[0], e[1], e[2], e[3], concrete);
    s2 = Surface(e[4], e[5], e[6], e[1], rock);
    s2->ElementType = 1;
    s2->Thickness = -1.0;
    doc.GeneralInfo.InitialTime = 1.0;
    doc.Intervals.front()->EndTime = 6.0;
    doc.Intervals.front()->TimeStep = 2.0;  // 2.5 steps: halves to even gives 2
    doc.Intervals.front()->StoreStep = 4.0;
  }
};

std::vector<std::int32_t> Slice(const std::vector<std::int32_t>& v, std::size_t from,
                                std::size_t n) {
  return {v.begin() + static_cast<std::ptrdiff_t>(from),
          v.begin() + static_cast<std::ptrdiff_t>(from + n)};
}

TEST(VemtoMeshConvert, ControlDataNodesAndSurfaces) {
  TestDoc t;
  for (auto& node : t.doc.Nodes) node->Number = 0;  // never drawn
  TVemtoMesh mesh;
  mesh.Convert(t.doc);
  ASSERT_FALSE(mesh.Failed) << mesh.ErrorText();
  const MeshArrays& a = mesh.Arrays();
  EXPECT_EQ(a.generalDefined, 1);
  EXPECT_EQ(a.analysisInts[0], 2);
  EXPECT_EQ(a.analysisInts[1], 2);
  EXPECT_EQ(a.analysisInts[2], 0);
  EXPECT_EQ(a.analysisInts[3], 0);
  EXPECT_DOUBLE_EQ(a.timeReals[0], 3600.0);
  EXPECT_DOUBLE_EQ(a.timeReals[1], 7200.0);
  EXPECT_DOUBLE_EQ(a.timeReals[2], 14400.0);
  EXPECT_DOUBLE_EQ(a.timeReals[3], 1.0);
  EXPECT_EQ(a.superNodeX, (std::vector<double>{0, 1, 1, 0, 2, 2}));
  EXPECT_EQ(t.doc.Nodes[4]->Number, 5);
  // Straight edges: four super nodes, mid-side entries 0; rows from edge 1,
  // columns from edge 0.
  EXPECT_EQ(a.superNodeCode, (std::vector<std::int32_t>{2, 2}));
  EXPECT_EQ(Slice(a.superElementNodes, 0, 8), (std::vector<std::int32_t>{1, 0, 2, 0, 3, 0, 4, 0}));
  EXPECT_EQ(Slice(a.superElementNodes, 8, 8), (std::vector<std::int32_t>{2, 0, 5, 0, 6, 0, 3, 0}));
  EXPECT_EQ(a.elementRows, (std::vector<std::int32_t>{3, 3}));
  EXPECT_EQ(a.elementColumns, (std::vector<std::int32_t>{2, 1}));
  EXPECT_EQ(a.materialNumber, (std::vector<std::int32_t>{2, 1}));
  EXPECT_EQ(a.elementType, (std::vector<std::int32_t>{5, 2}));
  EXPECT_EQ(a.superThickness, (std::vector<double>{1.0, -1.0}));
  EXPECT_EQ(a.nMaterials, 0);  // materials are added separately
  t.s2->ElementType = 2;       // a three-node infinite surface
  t.s2->Thickness = -0.25;     // any thickness <= 0: the section's
  mesh.Convert(t.doc);
  EXPECT_EQ(mesh.Arrays().elementType, (std::vector<std::int32_t>{5, 1}));
  EXPECT_EQ(mesh.Arrays().superThickness, (std::vector<double>{1.0, -1.0}));
  mesh.AddMaterial(*t.rock);
  EXPECT_EQ(mesh.Arrays().nMaterials, 1);
  EXPECT_EQ(mesh.Arrays().materialProperties.size(), 68u);
  EXPECT_EQ(mesh.Arrays().materialOptions, (std::vector<std::int32_t>{1, 0, 1, 0, 1, 0, 1}));
}

TEST(VemtoMeshConvert, ClockwiseSurfaceIsPassedCounterClockwise) {
  TestDoc t;
  // Surface 1 picked the other way round: edges 3, 2, 1, 0 reversed.
  TEdge* r0 = t.Line(t.n[0], t.n[3], 3);
  TEdge* r1 = t.Line(t.n[3], t.n[2], 2);
  TEdge* r2 = t.Line(t.n[2], t.n[1], 3);
  TEdge* r3 = t.Line(t.n[1], t.n[0], 2);
  TVemtoSurface* cw = t.Surface(r0, r1, r2, r3, t.concrete);
  t.Position<TVemtoSurfacePos>(t.Condition<TVemtoTempCondition>("air"), cw);
  TVemtoMesh mesh;
  mesh.Convert(t.doc);
  ASSERT_FALSE(mesh.Failed) << mesh.ErrorText();
  const MeshArrays& a = mesh.Arrays();
  ASSERT_EQ(a.elementRows.size(), 3u);
  // Clockwise 1, 4, 3, 2 becomes 1, 2, 3, 4; rows (between sides 1 and 3) are
  // now the divisions of the edges along y.
  EXPECT_EQ(Slice(a.superElementNodes, 16, 8), (std::vector<std::int32_t>{1, 0, 2, 0, 3, 0, 4, 0}));
  EXPECT_EQ(a.elementRows[2], 3);
  EXPECT_EQ(a.elementColumns[2], 2);
  EXPECT_EQ(a.areaTemp.pos, (std::vector<std::int32_t>{1, 2, 3, 4, 1}));
}

TEST(VemtoMeshConvert, ConditionsSharedByPositionsOfTwoKinds) {
  TestDoc t;
  auto* air = t.Condition<TVemtoTempCondition>("air", {{0, 20, 0, 0}, {0, 25, 0, 24}});
  air->TransferCoefficient = 12.5;
  auto* flow = t.Condition<TVemtoFlowCondition>("flow", {{0, -5, 0, 1}});
  t.Position<TVemtoEdgePos>(air, t.e[0]);
  t.Position<TVemtoEdgePos>(flow, t.e[2]);
  t.Position<TVemtoEdgePos>(air, t.e[3]);
  t.Position<TVemtoNodalPos>(air, 0.5, 0.5);
  TVemtoMesh mesh;
  mesh.Convert(t.doc);
  ASSERT_FALSE(mesh.Failed);
  const MeshArrays& a = mesh.Arrays();
  EXPECT_EQ(a.edgeTemp.nConds, 1);
  EXPECT_EQ(a.edgeTemp.nPos, 2);
  EXPECT_EQ(a.edgeTemp.pos, (std::vector<std::int32_t>{1, 2, 1, 4, 1, 1}));
  EXPECT_EQ(a.nodalTemp.nConds, 1);
  EXPECT_EQ(a.nodalTemp.pos, (std::vector<std::int32_t>{1}));
  EXPECT_EQ(a.nodalTemp.xy, (std::vector<double>{0.5, 0.5}));
  EXPECT_EQ(a.edgeFlow.pos, (std::vector<std::int32_t>{3, 4, 1}));
  // Temperature item: n, coefficient, then (time s, value) pairs; the rest 0.
  ASSERT_EQ(a.edgeTemp.conds.size(), static_cast<std::size_t>(MESHGEN_TEMP_RECORD));
  EXPECT_EQ(std::vector<double>(a.edgeTemp.conds.begin(), a.edgeTemp.conds.begin() + 7),
            (std::vector<double>{2, 12.5, 0, 20, 86400, 25, 0}));
  EXPECT_EQ(std::vector<double>(a.edgeFlow.conds.begin(), a.edgeFlow.conds.begin() + 4),
            (std::vector<double>{1, 3600, -5, 0}));
}

TEST(VemtoMeshConvert, StructuralConditionsAndDirectionFlags) {
  TestDoc t;
  auto* dx = t.Condition<TVemtoDisplCondition>("dx", {{0, 1e-3, 2e-3, 2}});
  dx->Direction = 1;
  auto* dy = t.Condition<TVemtoDisplCondition>("dy");
  dy->Direction = 2;
  auto* dxy = t.Condition<TVemtoDisplCondition>("dxy");
  dxy->Direction = 3;
  auto* spring = t.Condition<TVemtoSpringCondition>("spring", {{0, 1, 2, 3}});
  spring->StiffnessX = 1e6, spring->StiffnessY = 2e6;
  auto* load = t.Condition<TVemtoLoadCondition>("load", {{0, 7, 8, 9}});
  t.Position<TVemtoEdgePos>(dx, t.e[0]);
  t.Position<TVemtoEdgePos>(dy, t.e[3]);
  t.Position<TVemtoNodalPos>(dxy, 0.0, 0.0);
  t.Position<TVemtoNodalPos>(spring, 1.0, 1.0);
  t.Position<TVemtoNodalPos>(spring, 0.0, 1.0);
  t.Position<TVemtoEdgePos>(load, t.e[2]);
  t.Position<TVemtoSurfacePos>(load, t.s1);  // not converted on surfaces
  TVemtoMesh mesh;
  mesh.Convert(t.doc);
  ASSERT_FALSE(mesh.Failed);
  const MeshArrays& a = mesh.Arrays();
  EXPECT_EQ(a.edgeDisp.dirs, (std::vector<std::int32_t>{1, 0, 0, 1}));
  EXPECT_EQ(a.nodalDisp.dirs, (std::vector<std::int32_t>{1, 1}));
  EXPECT_EQ(a.edgeDisp.pos, (std::vector<std::int32_t>{1, 2, 1, 4, 1, 2}));
  EXPECT_EQ(std::vector<double>(a.edgeDisp.conds.begin(), a.edgeDisp.conds.begin() + 5),
            (std::vector<double>{1, 7200, 1e-3, 2e-3, 0}));
  EXPECT_EQ(a.nodalSpring.nPos, 2);
  EXPECT_EQ(a.nodalSpring.nConds, 1);
  EXPECT_EQ(std::vector<double>(a.nodalSpring.conds.begin(), a.nodalSpring.conds.begin() + 6),
            (std::vector<double>{1, 1e6, 2e6, 10800, 1, 2}));
  EXPECT_EQ(a.edgeLoad.nPos, 1);
  EXPECT_EQ(a.areaTemp.nPos + a.areaFlow.nPos, 0);
}

TEST(VemtoMeshConvert, PipesNumberTheirPointsAlongThePipe) {
  TestDoc t;
  auto* pc = t.Condition<TVemtoPipeCondition>("water", {{0, 10, 0.5, 0}});
  pc->TransferCoefficient = 978, pc->PipeDiameter = 0.025, pc->SpecificHeat = 4200;
  pc->PipeConditionType = 1;
  auto pipe = std::make_unique<TVemtoPipe>("pipe");
  pipe->Condition = pc;
  pipe->PartLength = 0.75;
  TVemtoPipe* p = t.doc.Pipes.Add(std::move(pipe));
  // Orders 5, -1 (never set) and 2: the points become parts 3, 1 and 2.
  for (auto [x, order] :
       std::initializer_list<std::pair<double, int>>{{0.1, 5}, {0.2, -1}, {0.3, 2}}) {
    auto* q = t.Position<TVemtoPipePos>(nullptr, x, 0.5, p);
    q->PipeOrder = order;
  }
  TVemtoMesh mesh;
  mesh.Convert(t.doc);
  ASSERT_FALSE(mesh.Failed);
  const MeshArrays& a = mesh.Arrays();
  EXPECT_EQ(a.pipe.nConds, 1);
  EXPECT_EQ(a.pipe.nPos, 3);
  EXPECT_EQ(a.pipe.pos, (std::vector<std::int32_t>{1, 3, 1, 1, 1, 2}));
  EXPECT_EQ(a.pipe.xy, (std::vector<double>{0.1, 0.5, 0.2, 0.5, 0.3, 0.5}));
  EXPECT_EQ(std::vector<double>(a.pipe.conds.begin(), a.pipe.conds.begin() + 9),
            (std::vector<double>{1, 978, 0.025, 0.75, 4200, 1, 0, 10, 0.5}));

  for (int k = 0; k < 73; ++k) t.Position<TVemtoPipePos>(nullptr, 0.5, 0.5, p);
  std::string shown;
  mesh.OnMessage = [&](const std::string& m) { shown = m; };
  mesh.Convert(t.doc);
  EXPECT_TRUE(mesh.Failed);
  EXPECT_EQ(shown, "Pipe \"pipe\" has 76 points; at most 75 are allowed.");
}

TEST(VemtoMeshConvert, StopsOnMixedEdgesAndMissingMaterials) {
  std::string shown;
  {
    TestDoc t;
    TNode* m = t.Node(0.5, -0.1);
    t.doc.Edges.push_back(std::make_unique<TEdgeCurve>(t.n[0], m, t.n[1]));
    t.s1->SetEdge(0, t.doc.Edges.back().get());
    TVemtoMesh mesh;
    mesh.OnMessage = [&](const std::string& s) { shown = s; };
    mesh.Convert(t.doc);
    EXPECT_TRUE(mesh.Failed);
    EXPECT_EQ(shown, "The superelement can not have mixed edge types!");
  }
  {
    TestDoc t;
    t.s2->SetMaterial(nullptr);
    TVemtoMesh mesh;
    mesh.OnMessage = [&](const std::string& s) { shown = s; };
    mesh.Convert(t.doc);
    EXPECT_TRUE(mesh.Failed);
    EXPECT_EQ(shown, "Element 2 has not been assigned a material.");
    // Corrected, the next conversion starts afresh.
    t.s2->SetMaterial(t.rock);
    mesh.Convert(t.doc);
    EXPECT_FALSE(mesh.Failed);
    EXPECT_EQ(mesh.Arrays().elementRows.size(), 2u);
  }
}

TEST(VemtoMeshConvert, TooLargeHistoryReportsErrorNumber2001) {
  TestDoc t;
  auto* air = t.Condition<TVemtoTempCondition>("air", std::vector<TVemtoEventPos>(1001));
  t.Position<TVemtoEdgePos>(air, t.e[0]);
  TVemtoMesh mesh;
  std::int32_t reported = 0;
  mesh.OnError = [&](TVemtoMesh& sender, std::int32_t number) {
    EXPECT_EQ(&sender, &mesh);
    reported = number;
  };
  mesh.Convert(t.doc);
  EXPECT_TRUE(mesh.Failed);
  EXPECT_EQ(reported, 2001);
  air->History.resize(1000);
  mesh.Convert(t.doc);
  EXPECT_FALSE(mesh.Failed);
  EXPECT_EQ(mesh.Arrays().edgeTemp.conds[0], 1000.0);
}

TEST(VemtoMeshConvert, ConvertingTwiceGivesIdenticalArguments) {
  TestDoc t;
  auto* spring = t.Condition<TVemtoSpringCondition>("spring", {{0, 1, 2, 3}});
  t.Position<TVemtoNodalPos>(spring, 1.0, 1.0);
  t.Position<TVemtoEdgePos>(t.Condition<TVemtoTempCondition>("air"), t.e[0]);
  TVemtoMesh mesh;
  mesh.Convert(t.doc);
  const MeshArrays first = mesh.Arrays();
  mesh.Convert(t.doc);
  const MeshArrays& second = mesh.Arrays();
  EXPECT_EQ(second.nodalSpring.nPos, 1);
  EXPECT_EQ(second.nodalSpring.pos, first.nodalSpring.pos);
  EXPECT_EQ(second.nodalSpring.conds, first.nodalSpring.conds);
  EXPECT_EQ(second.edgeTemp.pos, first.edgeTemp.pos);
  EXPECT_EQ(second.superElementNodes, first.superElementNodes);
  EXPECT_EQ(second.superNodeX, first.superNodeX);
  mesh.ResetArrays();
  EXPECT_EQ(mesh.Arrays().generalDefined, -1);
  EXPECT_EQ(mesh.Arrays().nodalSpring.nPos, 0);
}

std::string LibraryPath() {
  return std::string(VEMTO_BIN_DIR) + "/libmeshgen.so";
}

TEST(VemtoMeshExecute, MeshesAModelThroughTheLibrary) {
  if (!std::filesystem::exists(LibraryPath())) GTEST_SKIP() << "no mesher library";
  TestDoc t;
  t.Position<TVemtoEdgePos>(t.Condition<TVemtoTempCondition>("air", {{0, 20, 0, 0}}), t.e[0]);
  const auto dir = std::filesystem::temp_directory_path() / "vemto_mesh_driver_test";
  std::filesystem::create_directories(dir);
  TVemtoMesh mesh;
  mesh.LibraryPath = LibraryPath();
  mesh.FileName = (dir / "model.dat").string();
  mesh.InputDataName = (dir / "model.lst").string();
  mesh.Title = "Driver test";
  std::vector<std::string> phases;
  std::string finished;
  mesh.OnProgress = [&](const std::string& s) { phases.push_back(s); };
  mesh.OnFinished = [&](const std::string& s) { finished = s; };
  mesh.Convert(t.doc);
  for (const auto& m : t.doc.Materials) mesh.AddMaterial(*m);
  mesh.Execute();
  EXPECT_FALSE(mesh.Failed) << mesh.ErrorText();
  EXPECT_EQ(finished, "MESHING FINISHED.");
  EXPECT_FALSE(phases.empty());
  EXPECT_TRUE(std::filesystem::exists(dir / "model.dat"));
  EXPECT_TRUE(std::filesystem::exists(dir / "model.lst"));

  // A mesher error arrives with its number and text.
  std::int32_t reported = 0;
  mesh.OnError = [&](TVemtoMesh&, std::int32_t number) { reported = number; };
  mesh.ResetArrays();
  mesh.Execute();
  EXPECT_TRUE(mesh.Failed);
  EXPECT_EQ(reported, 1000);
  // generalDefined is -1 after the reset: the first check that fails is the next one.
  EXPECT_EQ(mesh.ErrorText(), "NO SUPER ELEMENT COORDINATES DEFINED");
  std::filesystem::remove_all(dir);
}

TEST(VemtoMeshExecute, MissingLibraryFails) {
  TVemtoMesh mesh;
  mesh.LibraryPath = "/nonexistent/libmeshgen.so";
  mesh.Execute();
  EXPECT_TRUE(mesh.Failed);
  EXPECT_NE(mesh.ErrorText().find("could not be loaded"), std::string::npos);
}

std::string Slurp(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

/// Runs vemto-cli with `args`; returns the exit status, output in `log`.
int RunCli(const std::string& args, const std::filesystem::path& log) {
  const std::string command = std::string("\"") + VEMTO_BIN_DIR + "/vemto-cli\" " + args + " > \"" +
                              log.string() + "\" 2>&1";
  const int rc = std::system(command.c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

TEST(VemtoCliMesh, WritesTheDataFileAndTheListingOfAProject) {
  if (!std::filesystem::exists(std::string(VEMTO_BIN_DIR) + "/vemto-cli") ||
      !std::filesystem::exists(LibraryPath()))
    GTEST_SKIP() << "no vemto-cli or mesher library";
  const auto dir = std::filesystem::temp_directory_path() / "vemto_cli_mesh_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  TestDoc t;
  t.Position<TVemtoEdgePos>(t.Condition<TVemtoTempCondition>("air", {{0, 20, 0, 0}}), t.e[0]);
  t.doc.SetFileName((dir / "model.v3").string());
  t.doc.Save();

  ASSERT_EQ(RunCli("mesh \"" + (dir / "model.v3").string() + "\"", dir / "log.txt"), 0)
      << Slurp(dir / "log.txt");
  EXPECT_NE(Slurp(dir / "log.txt").find("MESHING FINISHED."), std::string::npos);
  ASSERT_TRUE(std::filesystem::exists(dir / "model.lst"));
  const auto r = meshgen::testing::ReadAnalysisData(Slurp(dir / "model.dat"));
  // Surface 1: 2 x 3 eight-node elements, (5 x 7) - 6 = 29 nodes; surface 2: a strip
  // of three five-node elements adding 4 nodes outside.
  EXPECT_EQ(r.general, (std::vector<int>{2, 2, 33, 6, 2, 0}));
  EXPECT_EQ(r.counts4[0], 3);
  EXPECT_EQ(r.counts4[2], 2);  // two element edges along edge 0
  EXPECT_EQ(r.counts4[3], 1);
  for (const auto& e : r.el5) EXPECT_EQ(e.size(), 6u);
  double xmax = 0.0;
  for (const auto& c : r.coords) xmax = std::max(xmax, c[0]);
  EXPECT_DOUBLE_EQ(xmax, 2.0);

  // A project that cannot be meshed: non-zero status and the reason.
  t.s2->SetMaterial(nullptr);
  t.doc.Save();
  EXPECT_NE(RunCli("mesh \"" + (dir / "model.v3").string() + "\"", dir / "log.txt"), 0);
  EXPECT_NE(Slurp(dir / "log.txt").find("Element 2 has not been assigned a material."),
            std::string::npos);
  EXPECT_NE(RunCli("mesh \"" + (dir / "missing.v3").string() + "\"", dir / "log.txt"), 0);
  std::filesystem::remove_all(dir);
}

TEST(VemtoCliMesh, MeshesEveryExampleProject) {
  if (!std::filesystem::exists(std::string(VEMTO_BIN_DIR) + "/vemto-cli") ||
      !std::filesystem::exists(LibraryPath()))
    GTEST_SKIP() << "no vemto-cli or mesher library";
  const auto examples = std::filesystem::path(VEMTO_SOURCE_DIR) / "examples";
  const auto dir = std::filesystem::temp_directory_path() / "vemto_cli_mesh_examples";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  int meshed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(examples)) {
    if (entry.path().extension() != ".v3") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const auto project = dir / entry.path().filename();
    std::filesystem::copy_file(entry.path(), project);
    ASSERT_EQ(RunCli("mesh \"" + project.string() + "\"", dir / "log.txt"), 0)
        << Slurp(dir / "log.txt");
    auto data = project;
    const auto r = meshgen::testing::ReadAnalysisData(Slurp(data.replace_extension(".dat")));

    // Expected counts from the project itself.
    TVemtoFile doc;
    doc.SetFileName(project.string());
    doc.Load();
    TVemtoMesh mesh;
    mesh.Convert(doc);
    ASSERT_FALSE(mesh.Failed);
    const MeshArrays& a = mesh.Arrays();
    int el8 = 0, el5 = 0, el3 = 0;
    for (std::size_t s = 0; s < a.elementType.size(); ++s) {
      const int cells = a.elementRows[s] * a.elementColumns[s];
      (a.elementType[s] == 5 ? el8 : a.elementType[s] == 2 ? el5 : el3) += cells;
    }
    const int nNodes = r.general[2];
    EXPECT_EQ(r.general[0], doc.GeneralInfo.AnalysisType);
    EXPECT_EQ(r.general[3], el8);
    EXPECT_EQ(r.general[4], static_cast<int>(doc.Materials.Count()));
    EXPECT_EQ(r.counts4[0], el5);
    EXPECT_EQ(r.counts4[1], el3);
    EXPECT_EQ(r.counts4[14], a.pipe.nConds);
    EXPECT_EQ(r.counts5[5], a.nodalDisp.nConds + a.edgeDisp.nConds);

    // Every node is used by an element, and every element node exists.
    std::vector<bool> used(static_cast<std::size_t>(nNodes) + 1, false);
    auto use = [&](const std::vector<int>& line, std::size_t nodes) {
      for (std::size_t k = 0; k < nodes; ++k) {
        ASSERT_GE(line[k], 1);
        ASSERT_LE(line[k], nNodes);
        used[static_cast<std::size_t>(line[k])] = true;
      }
    };
    for (const auto& e : r.el8) {
      use(e, 8);
      EXPECT_TRUE(e[9] == 0 ||
                  (e[10] >= 1 && e[10] <= a.pipe.nConds && e[11] >= 1 && e[11] <= kMaxPipePoints));
    }
    for (const auto& e : r.el5) use(e, 5);
    for (const auto& e : r.el3) use(e, 3);
    EXPECT_EQ(std::count(used.begin() + 1, used.end(), false), 0);
    // Every super node of a surface is a node of the mesh.
    for (std::size_t s = 0; s < a.superElementNodes.size(); ++s) {
      const int sn = a.superElementNodes[s];
      if (sn == 0) continue;
      const double x = a.superNodeX[static_cast<std::size_t>(sn - 1)];
      const double y = a.superNodeY[static_cast<std::size_t>(sn - 1)];
      const bool found = std::any_of(r.coords.begin(), r.coords.end(), [&](const auto& c) {
        return std::fabs(c[0] - x) <= 1e-9 * (1 + std::fabs(x)) &&
               std::fabs(c[1] - y) <= 1e-9 * (1 + std::fabs(y));
      });
      EXPECT_TRUE(found) << "super node " << sn;
    }
    ++meshed;
  }
  EXPECT_GE(meshed, 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vemto
