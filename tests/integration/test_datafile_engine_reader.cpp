// Writer and reader of the analysis data file kept in step: files written by the
// mesher (the golden example, a model with extreme values, every example project
// meshed in-process) are read with the engine's own reader, and every count and
// value it stores is compared with what was written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "AnalysisData.h"
#include "DataFile.h"
#include "FreeFormatReader.h"
#include "MesherRun.h"
#include "RunData.h"
#include "VemtoFile.h"
#include "VemtoMesh.h"
#include "WorkStorage.h"
#include "test_datafile_model.h"

namespace {

namespace fs = std::filesystem;
using meshgen::testing::History;
using meshgen::testing::ReadBack;
using meshgen::testing::Record;
using vemto::engine::FreeFormatReader;
using vemto::engine::RunData;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A file as the engine reads it: header and body into the run's matrices.
struct EngineRead {
  numlib::WorkStorage storage{4000000};
  RunData d;
  std::string title;
  long linesLeft = 0;  ///< lines after the last one the engine read
};

std::unique_ptr<EngineRead> ReadWithEngine(const std::string& text, const std::string& name) {
  auto r = std::make_unique<EngineRead>();
  std::istringstream stream(text);
  FreeFormatReader in(stream, name);
  if (!vemto::engine::DefineHeaderMatrices(r->storage, r->d.m)) return nullptr;
  vemto::engine::ReadAnalysisHeader(in, r->d.header, r->title);
  vemto::engine::FillHeaderMatrices(r->d.header, r->title, r->d.m);
  r->d.nSteps = 1;
  r->d.nStore = 1;
  if (!vemto::engine::DefineRunMatrices(r->storage, r->d)) return nullptr;
  vemto::engine::ReadAnalysisBody(in, r->d);
  const long lines = static_cast<long>(std::count(text.begin(), text.end(), '\n'));
  r->linesLeft = lines - in.Line();
  return r;
}

// Item lines (nodes, then the condition) against the engine's node and condition tables.
void ExpectItems(const std::vector<std::vector<int>>& items, const numlib::IntegerMatrix& top,
                 const numlib::IntegerMatrix& cond, int nodes, const char* what) {
  SCOPED_TRACE(what);
  for (std::size_t i = 0; i < items.size(); ++i) {
    const auto col = static_cast<std::int64_t>(i + 1);
    for (int k = 0; k < nodes; ++k) EXPECT_EQ(top(k + 1, col), items[i][k]) << "item " << i + 1;
    EXPECT_EQ(cond(col), items[i][static_cast<std::size_t>(nodes)]) << "item " << i + 1;
  }
}

// Histories against their columns: n, the coefficients, then the points from `firstPointRow`.
void ExpectHistories(const std::vector<History>& h, const numlib::RealMatrix& col,
                     std::int64_t firstPointRow, const char* what) {
  SCOPED_TRACE(what);
  for (std::size_t j = 0; j < h.size(); ++j) {
    const auto c = static_cast<std::int64_t>(j + 1);
    for (std::size_t k = 0; k < h[j].header.size(); ++k)
      EXPECT_EQ(col(static_cast<std::int64_t>(k + 1), c), h[j].header[k]) << "condition " << c;
    std::int64_t row = firstPointRow;
    for (const auto& point : h[j].points)
      for (double v : point) EXPECT_EQ(col(row++, c), v) << "condition " << c;
  }
}

// Every value the engine stored equals the one the reference reading found (both
// read the same text, so the values agree exactly: tolerance 0).
void ExpectSameReading(const ReadBack& r, const EngineRead& e) {
  const auto& h = e.d.header;
  const auto& m = e.d.m;
  // What the engine leaves unread: the thickness lines of the infinite elements.
  EXPECT_EQ(e.linesLeft, h.nEl5 + h.nEl3);
  EXPECT_EQ(e.title, r.title.substr(0, 80) +
                         std::string(80 - std::min<std::size_t>(80, r.title.size()), ' '));
  EXPECT_EQ(
      (std::vector<int>{h.analysisType, h.nTimeSteps, h.nNodes, h.nEl8, h.nMaterials, h.tempMode}),
      r.general);
  EXPECT_EQ((std::vector<double>{h.initialTime, h.timeStep, h.storeIncrement, h.thickness}),
            r.times);
  EXPECT_EQ((std::vector<int>{h.nEl5, h.nEl3, h.nEdgeTempEdges, h.nEdgeTempConds, h.nEdgeFlowEdges,
                              h.nEdgeFlowConds, h.nSurfTempEls, h.nSurfTempConds, h.nSurfFlowEls,
                              h.nSurfFlowConds, h.nNodalTempPos, h.nNodalTempConds, h.nNodalFlowPos,
                              h.nNodalFlowConds, h.nPipeConds}),
            r.counts4);
  EXPECT_EQ((std::vector<int>{h.nSpringEdges, h.nSpringConds, h.nLoadEdges, h.nLoadConds,
                              h.nDispNodes, h.nDispConds, h.nNodalSpringPos, h.nNodalSpringConds,
                              h.nNodalLoadPos, h.nNodalLoadConds}),
            r.counts5);

  for (std::size_t i = 0; i < r.coords.size(); ++i) {
    const auto n = static_cast<std::int64_t>(i + 1);
    EXPECT_EQ(m.COOR(1, n), r.coords[i][0]) << "node " << n;
    EXPECT_EQ(m.COOR(2, n), r.coords[i][1]) << "node " << n;
  }
  for (std::size_t i = 0; i < r.el8.size(); ++i) {
    const auto e = static_cast<std::int64_t>(i + 1);
    for (int k = 0; k < 8; ++k) EXPECT_EQ(m.ITOP(k + 1, e), r.el8[i][k]) << "element " << e;
    EXPECT_EQ(m.LEL(e), r.el8[i][8]);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(m.LWT(k + 1, e), r.el8[i][9 + k]) << "element " << e;
  }
  for (std::size_t i = 0; i < r.el5.size(); ++i) {
    const auto e = static_cast<std::int64_t>(i + 1);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(m.ITOPI1(k + 1, e), r.el5[i][k]);
    EXPECT_EQ(m.LI1(e), r.el5[i][5]);
  }
  for (std::size_t i = 0; i < r.el3.size(); ++i) {
    const auto e = static_cast<std::int64_t>(i + 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(m.ITOPI2(k + 1, e), r.el3[i][k]);
    EXPECT_EQ(m.LI2(e), r.el3[i][3]);
  }

  // Materials: kind and P1 ... P15 in PEL, P16 ... P68 in PELS rows 5 ..., O2 ... O6 in IPELS.
  for (std::size_t j = 0; j < r.materials.size(); ++j) {
    const auto c = static_cast<std::int64_t>(j + 1);
    const auto& p = r.materials[j];
    ASSERT_EQ(p.size(), 68u);
    EXPECT_EQ(m.PEL(1, c), r.options[j][0]);
    for (int k = 0; k < 15; ++k) EXPECT_EQ(m.PEL(k + 2, c), p[k]) << "P" << k + 1;
    for (int k = 15; k < 68; ++k) EXPECT_EQ(m.PELS(k - 10, c), p[k]) << "P" << k + 1;
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(m.IPELS(k, c), r.options[j][k]) << "O" << k + 1;
  }

  ExpectItems(r.edgeTemp, m.ITOPSE, m.LSE, 3, "edge temperature");
  ExpectHistories(r.edgeTempH, m.PSE, 3, "edge temperature");
  ExpectItems(r.edgeFlow, m.ITOPF, m.LSF, 3, "edge heat flow");
  ExpectHistories(r.edgeFlowH, m.PSF, 2, "edge heat flow");
  ExpectItems(r.surfTemp, m.ITOPA, m.LSA, 8, "surface temperature");
  ExpectHistories(r.surfTempH, m.PSA, 3, "surface temperature");
  ExpectItems(r.surfFlow, m.ITOPG, m.LSG, 8, "surface heat flow");
  ExpectHistories(r.surfFlowH, m.PSG, 2, "surface heat flow");
  ExpectItems(r.nodalTemp, m.ITOPP, m.LLPV, 1, "nodal temperature");
  ExpectHistories(r.nodalTempH, m.PPV, 3, "nodal temperature");
  ExpectItems(r.nodalFlow, m.ITOPN, m.LNL, 1, "nodal heat flow");
  ExpectHistories(r.nodalFlowH, m.PNL, 2, "nodal heat flow");
  ExpectHistories(r.pipeH, m.PWT, 8, "pipe");  // row 7: the passes found in the elements
  ExpectItems(r.spring, m.ITPSES, m.LSES, 3, "edge spring");
  ExpectHistories(r.springH, m.PSES, 4, "edge spring");
  ExpectItems(r.load, m.ITPSFS, m.LSFS, 3, "edge load");
  ExpectHistories(r.loadH, m.PSFS, 2, "edge load");
  ExpectItems(r.disp, m.ITPPPS, m.LPVS, 1, "displacement");
  ExpectHistories(r.dispH, m.PPVS, 2, "displacement");
  for (std::size_t j = 0; j < r.dispH.size(); ++j) {
    const auto c = static_cast<std::int64_t>(j + 1);
    EXPECT_EQ(m.IPPVS(1, c), r.dispH[j].flags[0]);
    EXPECT_EQ(m.IPPVS(2, c), r.dispH[j].flags[1]);
  }
  ExpectItems(r.nodalSpring, m.ITPNES, m.LNES, 1, "nodal spring");
  ExpectHistories(r.nodalSpringH, m.PNES, 4, "nodal spring");
  ExpectItems(r.nodalLoad, m.ITPNLS, m.LNLS, 1, "nodal load");
  ExpectHistories(r.nodalLoadH, m.PNLS, 2, "nodal load");
  for (std::size_t i = 0; i < r.thickness.size(); ++i)
    EXPECT_EQ(m.THCKN(static_cast<std::int64_t>(i + 1)), r.thickness[i].second);
}

TEST(DataFileEngineReader, GoldenExampleReadsInTheEngine) {
  const std::string text = Slurp(fs::path(VEMTO_MESHGEN_TEST_DATA_DIR) / "dat_golden_example.dat");
  ASSERT_FALSE(text.empty());
  const ReadBack r = meshgen::testing::ReadAnalysisData(text);
  const auto e = ReadWithEngine(text, "dat_golden_example.dat");
  ASSERT_NE(e, nullptr);
  ExpectSameReading(r, *e);
  // A few values by hand: node 9 at (2, 1), the strip's five nodes, the pipe at
  // corner 5 in pass 1, the eight-node element's own thickness.
  const auto& m = e->d.m;
  EXPECT_EQ(m.COOR(1, 9), 2.0);
  EXPECT_EQ(m.COOR(2, 9), 1.0);
  EXPECT_EQ(m.ITOPI1(1, 1), 3);
  EXPECT_EQ(m.ITOPI1(5, 1), 9);
  EXPECT_EQ(m.LWT(1, 1), 5);
  EXPECT_EQ(m.PWT(7, 1), 1.0);
  EXPECT_EQ(m.PWT(6, 1), 1.0);  // pipe type 1
  EXPECT_EQ(m.THCKN(1), 0.25);
  EXPECT_EQ(e->d.header.nDispConds, 2);
  EXPECT_EQ(m.PSFS(1, 1), 3.0);  // the stored count 2.6 is written as three points
  EXPECT_EQ(m.PSFS(2 + 3 * 2 + 2, 1), -2500.0);
}

// One 2 x 1 finite block and conditions of every kind, with negative values and
// three-digit exponents wherever a count meets a value. Every value has at most
// nine significant digits, so it reads back exactly (tolerance 0).
TEST(DataFileEngineReader, ExtremeValuesReadBackExactly) {
  constexpr int T = MESHGEN_TEMP_RECORD, F = MESHGEN_FLOW_RECORD, D = MESHGEN_DISP_RECORD,
                S = MESHGEN_SPRING_RECORD, L = MESHGEN_LOAD_RECORD, P = MESHGEN_PIPE_RECORD;
  meshgen::testing::Model model;
  std::memset(model.title, ' ', sizeof model.title);
  std::memcpy(model.title, "EXTREMES", 8);
  model.analysis[0] = 1;
  model.times[0] = -3600.0;
  model.times[3] = -2.5e-250;
  model.thickness = {-1.25e-120};
  std::vector<double> props;
  for (int k = 1; k <= 68; ++k) {  // "-k.25E+(100+k)" and "-k.75E-(100+k)", parsed exactly
    const std::string t =
        "-" + std::to_string(k) + (k % 2 == 0 ? ".25E+" : ".75E-") + std::to_string(100 + k);
    double v = 0.0;
    std::from_chars(t.data(), t.data() + t.size(), v);
    props.push_back(v);
  }
  model.AddMaterial(props, {1, 0, 1, 0, 1, 0, 0});
  model.edgeTemp.Add(Record(T, 1, {-1e-200}, {-5.0, -6.25e150}));
  model.edgeFlow.Add(Record(F, 2, {}, {-1e-300, -2.0, 3.5e299, -4.0}));
  model.areaTemp.Add(Record(T, 1, {-7.5e101}, {0.0, -1e-101}));
  model.areaFlow.Add(Record(F, 1, {}, {-3.0, -4.5e-5}));
  model.nodalTemp.Add(Record(T, 1, {-2e-9}, {-1.0, -2.0}));
  model.nNodalTempPos = 1;
  model.nodalFlow.Add(Record(F, 1, {}, {-9e9, -8e-8}));
  model.nNodalFlowPos = 1;
  model.pipe.Add(Record(P, 1, {-4e-5, -2.5e120, -0.5, -4180.0, 0.0}, {-1e-100, -12.0, -18.5}));
  model.edgeSpring.Add(Record(S, 1, {-1.5e-3, -2e-300}, {-1.0, -2.0, -3.0}));
  model.edgeLoad.Add(Record(L, 1, {}, {-1e105, -2e-105, -3.0}));
  model.nodalDisp.Add(Record(D, 1, {}, {-1.0, -1e-200, -2e200}));
  model.nodalDispDirs = {1, 0};
  model.nNodalDispPos = 1;
  model.edgeDisp.Add(Record(D, 1, {}, {-5.0, -6.0, -7.0}));
  model.edgeDispDirs = {1, 1};
  model.nodalSpring.Add(Record(S, 1, {-3.5e-9, -4e6}, {-5.0, -6.0, -7.0}));
  model.nNodalSpringPos = 1;
  model.nodalLoad.Add(Record(L, 1, {}, {-8.0, -9e-150, -1e150}));
  model.nNodalLoadPos = 1;

  meshgen::testing::Mesh mesh;
  meshgen::testing::AddFiniteBlock(mesh, 1, 2, 1, 1);
  for (double& v : mesh.x) v = -1e-110 - v;  // negative, tiny coordinates...
  mesh.y[0] = -7.5e110;                      // ...and one huge one
  mesh.mwt = {3, 1, 75, 0, 0, 0};            // the last pass a pipe may have
  mesh.icross = {1};
  const auto& e1 = mesh.ncon;
  mesh.edgeTemp = {e1[0], e1[1], e1[2], 1};
  mesh.edgeFlow = {e1[2], e1[3], e1[4], 1};
  mesh.areaTemp.assign(e1.begin(), e1.begin() + 8);
  mesh.areaTemp.push_back(1);
  mesh.areaFlow.assign(e1.begin() + 8, e1.begin() + 16);
  mesh.areaFlow.push_back(1);
  mesh.nodalTemp = {1, 1};
  mesh.nodalFlow = {2, 1};
  mesh.edgeSpring = {e1[4], e1[5], e1[6], 1};
  mesh.edgeLoad = {e1[6], e1[7], e1[0], 1};
  mesh.edgeDisp = {e1[0], 1, e1[1], 1};
  mesh.nodalDisp = {3, 1};
  mesh.nodalSpring = {4, 1};
  mesh.nodalLoad = {5, 1};

  const std::string text = meshgen::FormatAnalysisData(model.Args(), mesh.View());
  const auto e = ReadWithEngine(text, "extremes.dat");
  ASSERT_NE(e, nullptr);
  ExpectSameReading(meshgen::testing::ReadAnalysisData(text), *e);

  // And against the values written.
  const auto& m = e->d.m;
  const auto& h = e->d.header;
  EXPECT_EQ(h.initialTime, -3600.0);
  EXPECT_EQ(h.thickness, -2.5e-250);
  EXPECT_EQ(m.COOR(2, 1), -7.5e110);
  EXPECT_EQ(m.COOR(1, 3), -1e-110 - 1.0);
  for (int k = 0; k < 15; ++k) EXPECT_EQ(m.PEL(k + 2, 1), props[k]) << "P" << k + 1;
  for (int k = 15; k < 68; ++k) EXPECT_EQ(m.PELS(k - 10, 1), props[k]) << "P" << k + 1;
  EXPECT_EQ(m.PSE(2, 1), -1e-200);
  EXPECT_EQ(m.PSE(4, 1), -6.25e150);
  EXPECT_EQ(m.PSF(4, 1), 3.5e299);
  EXPECT_EQ(m.PSA(2, 1), -7.5e101);
  EXPECT_EQ(m.PPV(2, 1), -2e-9);
  EXPECT_EQ(m.PNL(2, 1), -9e9);
  for (int r = 2; r <= 6; ++r)
    EXPECT_EQ(m.PWT(r, 1), (std::vector<double>{-4e-5, -2.5e120, -0.5, -4180.0, 0.0}[r - 2]));
  EXPECT_EQ(m.PWT(7, 1), 75.0);
  EXPECT_EQ(m.PWT(8, 1), -1e-100);
  EXPECT_EQ(m.PSES(2, 1), -1.5e-3);
  EXPECT_EQ(m.PSES(3, 1), -2e-300);
  EXPECT_EQ(m.PSFS(2, 1), -1e105);
  EXPECT_EQ(m.PNES(2, 1), -3.5e-9);
  EXPECT_EQ(m.PNES(3, 1), -4e6);
  EXPECT_EQ(m.PNLS(3, 1), -9e-150);
  EXPECT_EQ(h.nDispConds, 2);  // nodal first, then the edge condition
  EXPECT_EQ(m.IPPVS(1, 1), 1);
  EXPECT_EQ(m.IPPVS(2, 1), 0);
  EXPECT_EQ(m.PPVS(3, 1), -1e-200);
  EXPECT_EQ(m.PPVS(4, 1), -2e200);
  EXPECT_EQ(m.LPVS(2), 2);  // the edge nodes take the second condition
  EXPECT_EQ(m.THCKN(1), -1.25e-120);
  EXPECT_EQ(m.THCKN(2), -1.25e-120);
}

// Every example project, converted by the mesher driver and meshed in-process.
TEST(DataFileEngineReader, ExampleProjectsReadInTheEngine) {
  const fs::path examples = fs::path(VEMTO_SOURCE_DIR) / "examples";
  const fs::path dir =
      fs::temp_directory_path() / ("vemto_dat_engine_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  int read = 0;
  for (const auto& entry : fs::directory_iterator(examples)) {
    if (entry.path().extension() != ".v3") continue;
    SCOPED_TRACE(entry.path().filename().string());
    vemto::TVemtoFile doc;
    doc.SetFileName(entry.path().string());
    doc.Load();
    vemto::TVemtoMesh driver;
    driver.Convert(doc);
    ASSERT_FALSE(driver.Failed);
    for (const auto& material : doc.Materials) driver.AddMaterial(*material);
    MeshgenArgs args = driver.Arrays().Build();
    const std::string dat = (dir / entry.path().stem()).string() + ".dat";
    const std::string lst = (dir / entry.path().stem()).string() + ".lst";
    std::memcpy(args.datFileName, dat.c_str(), dat.size() + 1);
    std::memcpy(args.listFileName, lst.c_str(), lst.size() + 1);
    args.memoryWords = doc.MeshMemory;
    ASSERT_TRUE(meshgen::ExecuteMesher(&args));

    const std::string text = Slurp(dat);
    const auto e = ReadWithEngine(text, dat);
    ASSERT_NE(e, nullptr);
    ExpectSameReading(meshgen::testing::ReadAnalysisData(text), *e);

    // Counts and values against the converted model.
    const auto& h = e->d.header;
    const auto& m = e->d.m;
    const vemto::MeshArrays& a = driver.Arrays();
    int el8 = 0, el5 = 0, el3 = 0;
    for (std::size_t s = 0; s < a.elementType.size(); ++s)
      (a.elementType[s] == 5   ? el8
       : a.elementType[s] == 2 ? el5
                               : el3) += a.elementRows[s] * a.elementColumns[s];
    EXPECT_EQ(h.nEl8, el8);
    EXPECT_EQ(h.nEl5, el5);
    EXPECT_EQ(h.nEl3, el3);
    EXPECT_EQ(h.nMaterials, args.nMaterials);
    EXPECT_EQ(h.nPipeConds, args.nPipeConds);
    EXPECT_EQ(h.nDispConds, args.nNodalDispConds + args.nEdgeDispConds);
    EXPECT_EQ(h.analysisType, args.analysisInts[0]);
    EXPECT_EQ(h.initialTime, args.timeReals[0]);
    // Material properties with the nine or ten digits of the file.
    for (int j = 0; j < args.nMaterials; ++j)
      for (int k = 0; k < 15; ++k) {
        const double p = args.materialProperties[68 * j + k];
        EXPECT_NEAR(m.PEL(k + 2, j + 1), p, 1e-9 * std::fabs(p)) << "material " << j + 1;
      }
    // Every super node is a node of the mesh (to the file's nine digits).
    for (int s = 0; s < args.nSuperNodes; ++s) {
      const double x = args.superNodeX[s], y = args.superNodeY[s];
      bool found = false;
      for (std::int32_t n = 1; n <= h.nNodes && !found; ++n)
        found = std::fabs(m.COOR(1, n) - x) <= 1e-9 * (1 + std::fabs(x)) &&
                std::fabs(m.COOR(2, n) - y) <= 1e-9 * (1 + std::fabs(y));
      EXPECT_TRUE(found) << "super node " << s + 1;
    }
    // The histories of the first condition of each thermal kind as converted.
    if (args.nEdgeTempConds > 0) {
      const long n = std::lround(args.edgeTempConds[0]);
      for (long k = 0; k < 2 * n + 1; ++k) {
        const double v = args.edgeTempConds[1 + k];
        EXPECT_NEAR(m.PSE(2 + k, 1), v, 1e-9 * std::fabs(v)) << "entry " << k;
      }
    }
    ++read;
  }
  EXPECT_GE(read, 1);
  fs::remove_all(dir);
}

}  // namespace
