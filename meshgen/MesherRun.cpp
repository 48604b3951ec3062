#include "MesherRun.h"

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "DataFile.h"
#include "FatalStop.h"
#include "Fgraph.h"
#include "InputCheck.h"
#include "InputListing.h"
#include "Mapping.h"
#include "MeshGeneration.h"
#include "VemtoListener.h"

namespace meshgen {

namespace {

constexpr const char* kErrTooLarge = " PROBLEM TOO LARGE.";

// Defines matrices in order and deletes them in reverse order at the end of a run.
class MatrixLedger {
 public:
  explicit MatrixLedger(numlib::WorkStorage& storage) : storage_(storage) {}

  void Define(const char* name, std::int64_t rows, std::int64_t columns, numlib::MatrixType type) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (rows < 0 || columns < 0 || rows > kMax || columns > kMax || rows * columns > kMax)
      throw numlib::FatalStop(kErrTooLarge);
    if (storage_.DefineMatrix(name, static_cast<std::int32_t>(rows),
                              static_cast<std::int32_t>(columns), type) == 0)
      throw numlib::FatalStop(kErrTooLarge);
    names_.emplace_back(name);
  }
  void Int(const char* name, std::int64_t rows, std::int64_t columns) {
    Define(name, rows, columns, numlib::MatrixType::Integer);
  }
  void Real(const char* name, std::int64_t rows, std::int64_t columns) {
    Define(name, rows, columns, numlib::MatrixType::Real);
  }
  numlib::IntegerMatrix Ints(const char* name) { return storage_.Integers(name); }
  numlib::RealMatrix Reals(const char* name) { return storage_.Reals(name); }

  void DeleteAll() {
    for (auto it = names_.rbegin(); it != names_.rend(); ++it) storage_.DeleteMatrix(*it);
    names_.clear();
  }

 private:
  numlib::WorkStorage& storage_;
  std::vector<std::string> names_;
};

std::span<int> Span(const numlib::IntegerMatrix& m) {
  return {m.Data(), static_cast<std::size_t>(m.Size())};
}
std::span<const int> ConstSpan(const numlib::IntegerMatrix& m) {
  return {m.Data(), static_cast<std::size_t>(m.Size())};
}
template <typename T>
std::span<const T> Args(const T* data, std::int64_t count) {
  return data == nullptr || count <= 0 ? std::span<const T>()
                                       : std::span<const T>(data, static_cast<std::size_t>(count));
}

}  // namespace

void RunMesher(const MeshgenArgs& args, numlib::ModuleState& module) {
  // 1. Work array.
  module.storage.Allocate(args.memoryWords);
  module.storage.Control().PrintLevel = 2;
  MatrixLedger ledger(module.storage);
  numlib::ProgressChannel& channel = module.channel;
  const InfoSink info = [&channel](const char* text) { channel.SendInfo(text); };

  // 2. Input checks.
  CheckRequiredInput(args);
  CheckArrayLayout(args);

  // 3. Input listing.
  channel.SendInfo(kTextWritingInput);
  WriteInputListing(numlib::FieldText(args.listFileName), args);

  // 4. Super-element tables and tied position lists.
  channel.SendInfo(kTextRearranging);
  const std::int32_t nse = args.nSuperElements;
  ledger.Int("ICROSS", nse, 1);
  ledger.Int("DUM1", 8, nse);
  ledger.Int("DUM2", 1, nse);
  ledger.Int("DUM3", 1, nse);
  ledger.Int("DUM4", 1, nse);
  ledger.Int("DUM5", 1, nse);
  ledger.Int("DUM6", 1, nse);
  ledger.Int("IUSED", 1, nse);
  ledger.Int("LPET", 3, args.nEdgeTempPos);
  ledger.Int("LPSH", 3, args.nEdgeFlowPos);
  ledger.Int("LPAT", 2, args.nAreaTempPos);
  ledger.Int("LPAH", 2, args.nAreaFlowPos);
  ledger.Int("LSDS", 3, args.nEdgeDispPos);
  ledger.Int("LSES", 3, args.nEdgeSpringPos);
  ledger.Int("LSFS", 3, args.nEdgeLoadPos);

  // 5. Sizing (after the checks meshing relies on).
  CheckSuperElements(args);
  const MeshSizes sizes = EstimateMeshSizes(args);

  // 6. Rearranging.
  SuperElementTables se;
  se.order = ledger.Ints("ICROSS");
  se.nodes = ledger.Ints("DUM1");
  se.rows = ledger.Ints("DUM2");
  se.columns = ledger.Ints("DUM3");
  se.nodeCode = ledger.Ints("DUM4");
  se.material = ledger.Ints("DUM5");
  se.type = ledger.Ints("DUM6");
  se.used = ledger.Ints("IUSED");
  RearrangeSuperElements(args, se, info);

  // 7. Edge and area positions onto super-element sides.
  const SuperElementTable table{ConstSpan(se.nodes), ConstSpan(se.rows), ConstSpan(se.columns),
                                ConstSpan(se.type)};
  int nEdgeTemp = 0, nEdgeFlow = 0, nAreaTemp = 0, nAreaFlow = 0, nEdgeDisp = 0, nEdgeSpring = 0,
      nEdgeLoad = 0;
  TieEdgePositions(Args(args.edgeTempPos, 3LL * args.nEdgeTempPos), args.nEdgeTempPos, table,
                   Span(ledger.Ints("LPET")), nEdgeTemp, args.nEdgeTempConds, EdgeCount::kEdges);
  TieEdgePositions(Args(args.edgeFlowPos, 3LL * args.nEdgeFlowPos), args.nEdgeFlowPos, table,
                   Span(ledger.Ints("LPSH")), nEdgeFlow, args.nEdgeFlowConds, EdgeCount::kEdges);
  TieAreaPositions(Args(args.areaTempPos, 5LL * args.nAreaTempPos), args.nAreaTempPos, table,
                   Span(ledger.Ints("LPAT")), nAreaTemp, args.nAreaTempConds);
  TieAreaPositions(Args(args.areaFlowPos, 5LL * args.nAreaFlowPos), args.nAreaFlowPos, table,
                   Span(ledger.Ints("LPAH")), nAreaFlow, args.nAreaFlowConds);
  TieEdgePositions(Args(args.edgeDispPos, 3LL * args.nEdgeDispPos), args.nEdgeDispPos, table,
                   Span(ledger.Ints("LSDS")), nEdgeDisp, args.nEdgeDispConds, EdgeCount::kNodes);
  TieEdgePositions(Args(args.edgeSpringPos, 3LL * args.nEdgeSpringPos), args.nEdgeSpringPos, table,
                   Span(ledger.Ints("LSES")), nEdgeSpring, args.nEdgeSpringConds,
                   EdgeCount::kEdges);
  TieEdgePositions(Args(args.edgeLoadPos, 3LL * args.nEdgeLoadPos), args.nEdgeLoadPos, table,
                   Span(ledger.Ints("LSFS")), nEdgeLoad, args.nEdgeLoadConds, EdgeCount::kEdges);

  // 8. Mesh tables.
  const std::int64_t nn = sizes.maxSidePoints;
  const std::int64_t nt = sizes.nodeCapacity;
  const std::int64_t ne = sizes.elementCapacity;
  ledger.Real("XC", 1, 1);
  ledger.Real("YC", 1, 1);
  ledger.Int("NN", nn * nn, 1);
  ledger.Real("XNOD", nt, 1);
  ledger.Real("YNOD", nt, 1);
  ledger.Int("NCON", 8, ne);
  ledger.Int("NCN", ne, 1);
  ledger.Int("MAT", ne, 1);
  ledger.Int("REGION", ne, 1);
  ledger.Int("JNT", nt, 1);
  ledger.Int("JMEM", nt, 1);
  ledger.Int("NEWJT", nt, 1);
  ledger.Int("JOINT", nt, 1);
  ledger.Int("JTE", ne, 1);
  ledger.Int("ITY", ne, 1);
  ledger.Int("NNRB", nn * 4 * nse, 1);
  ledger.Int("JT1", 4, nse);
  ledger.Int("JTIK", 4, nse);
  ledger.Int("MPET", 4, nEdgeTemp);
  ledger.Int("MPSH", 4, nEdgeFlow);
  ledger.Int("MPAT", 9, nAreaTemp);
  ledger.Int("MPAH", 9, nAreaFlow);
  ledger.Int("MSDS", 2, nEdgeDisp);
  ledger.Int("MSES", 4, nEdgeSpring);
  ledger.Int("MSFS", 4, nEdgeLoad);

  MeshTables mesh;
  mesh.sizes = sizes;
  mesh.grid = ledger.Ints("NN");
  mesh.x = ledger.Reals("XNOD");
  mesh.y = ledger.Reals("YNOD");
  mesh.ncon = ledger.Ints("NCON");
  mesh.ncn = ledger.Ints("NCN");
  mesh.material = ledger.Ints("MAT");
  mesh.region = ledger.Ints("REGION");
  mesh.jnt = ledger.Ints("JNT");
  mesh.jmem = ledger.Ints("JMEM");
  mesh.newjt = ledger.Ints("NEWJT");
  mesh.joint = ledger.Ints("JOINT");
  mesh.jte = ledger.Ints("JTE");
  mesh.ity = ledger.Ints("ITY");
  mesh.sideNodes = ledger.Ints("NNRB");
  mesh.neighbour = ledger.Ints("JT1");
  mesh.interfaceSide = ledger.Ints("JTIK");

  // 9. Mesh, with the conditions of every super element expanded onto it.
  const auto lpet = ConstSpan(ledger.Ints("LPET")), lpsh = ConstSpan(ledger.Ints("LPSH")),
             lpat = ConstSpan(ledger.Ints("LPAT")), lpah = ConstSpan(ledger.Ints("LPAH")),
             lsds = ConstSpan(ledger.Ints("LSDS")), lses = ConstSpan(ledger.Ints("LSES")),
             lsfs = ConstSpan(ledger.Ints("LSFS"));
  const auto mpet = Span(ledger.Ints("MPET")), mpsh = Span(ledger.Ints("MPSH")),
             mpat = Span(ledger.Ints("MPAT")), mpah = Span(ledger.Ints("MPAH")),
             msds = Span(ledger.Ints("MSDS")), mses = Span(ledger.Ints("MSES")),
             msfs = Span(ledger.Ints("MSFS"));
  int cEdgeTemp = 0, cEdgeFlow = 0, cAreaTemp = 0, cAreaFlow = 0, cEdgeDisp = 0, cEdgeSpring = 0,
      cEdgeLoad = 0;
  const SuperElementHook hook = [&](std::int32_t s, const MeshTables& m) {
    // Conditions are tied to eight-node super elements only.
    if (se.type(s) != kTypeFinite) return;
    const NodeGrid grid{
        std::span<const int>(m.grid.Data(), static_cast<std::size_t>(m.gridRows * m.gridColumns)),
        m.gridRows, m.gridColumns};
    ExpandEdges(lpet, args.nEdgeTempPos, grid, s, mpet, cEdgeTemp);
    ExpandEdges(lpsh, args.nEdgeFlowPos, grid, s, mpsh, cEdgeFlow);
    ExpandAreas(lpat, args.nAreaTempPos, grid, s, mpat, cAreaTemp);
    ExpandAreas(lpah, args.nAreaFlowPos, grid, s, mpah, cAreaFlow);
    ExpandEdgeNodes(lsds, args.nEdgeDispPos, grid, s, msds, cEdgeDisp);
    ExpandEdges(lses, args.nEdgeSpringPos, grid, s, mses, cEdgeSpring);
    ExpandEdges(lsfs, args.nEdgeLoadPos, grid, s, msfs, cEdgeLoad);
  };
  GenerateMesh(args, se, mesh, info, hook);

  // 10. Nodal and pipe positions onto the mesh.
  const std::size_t nodes = static_cast<std::size_t>(mesh.nodeCount);
  const std::size_t elements = static_cast<std::size_t>(mesh.elementCount);
  const MeshTable meshTable{mesh.nodeCount,
                            std::span<const double>(mesh.x.Data(), nodes),
                            std::span<const double>(mesh.y.Data(), nodes),
                            mesh.elementCount,
                            std::span<const int>(mesh.ncon.Data(), 8 * elements),
                            std::span<const int>(mesh.ity.Data(), elements)};
  ledger.Int("MPV", 2, args.nNodalTempPos);
  MapNodalPositions(args.nNodalTempPos, Args(args.nodalTempPosCond, args.nNodalTempPos),
                    Args(args.nodalTempPosXY, 2LL * args.nNodalTempPos), args.nNodalTempConds,
                    meshTable, Span(ledger.Ints("MPV")));
  ledger.Int("MNL", 2, args.nNodalFlowPos);
  MapNodalPositions(args.nNodalFlowPos, Args(args.nodalFlowPosCond, args.nNodalFlowPos),
                    Args(args.nodalFlowPosXY, 2LL * args.nNodalFlowPos), args.nNodalFlowConds,
                    meshTable, Span(ledger.Ints("MNL")));
  ledger.Int("MWT", 3, mesh.elementCount);
  MapPipePositions(args.nPipePos, Args(args.pipePosCondPart, 2LL * args.nPipePos),
                   Args(args.pipePosXY, 2LL * args.nPipePos), args.nPipeConds, meshTable,
                   Span(ledger.Ints("MWT")));
  CheckPipeRoom(Args(args.pipeConds, std::int64_t{MESHGEN_PIPE_RECORD} * args.nPipeConds),
                args.nPipeConds, meshTable, ConstSpan(ledger.Ints("MWT")));
  std::vector<std::string> notes;
  for (const int i :
       PipePositionsWithoutElements(args.nPipePos, Args(args.pipePosCondPart, 2LL * args.nPipePos),
                                    meshTable, ConstSpan(ledger.Ints("MWT"))))
    notes.push_back(
        fmt::format("PIPE CONDITION{:5d} PART{:5d} (PIPE POSITION{:5d}) HAS NO ELEMENT: LATER PIPE "
                    "POSITIONS TOOK ALL ITS ELEMENTS",
                    args.pipePosCondPart[2 * (i - 1)], args.pipePosCondPart[2 * (i - 1) + 1], i));
  AppendToInputListing(numlib::FieldText(args.listFileName), notes);
  ledger.Int("MPVS", 2, args.nNodalDispPos);
  MapNodalPositions(args.nNodalDispPos, Args(args.nodalDispPosCond, args.nNodalDispPos),
                    Args(args.nodalDispPosXY, 2LL * args.nNodalDispPos), args.nNodalDispConds,
                    meshTable, Span(ledger.Ints("MPVS")));
  ledger.Int("MNES", 2, args.nNodalSpringPos);
  MapNodalPositions(args.nNodalSpringPos, Args(args.nodalSpringPosCond, args.nNodalSpringPos),
                    Args(args.nodalSpringPosXY, 2LL * args.nNodalSpringPos), args.nNodalSpringConds,
                    meshTable, Span(ledger.Ints("MNES")));
  ledger.Int("MNLS", 2, args.nNodalLoadPos);
  MapNodalPositions(args.nNodalLoadPos, Args(args.nodalLoadPosCond, args.nNodalLoadPos),
                    Args(args.nodalLoadPosXY, 2LL * args.nNodalLoadPos), args.nNodalLoadConds,
                    meshTable, Span(ledger.Ints("MNLS")));

  // 11. Analysis data file.
  channel.SendInfo(kTextWritingOutput);
  AnalysisMesh out;
  out.nodeCount = mesh.nodeCount;
  out.x = meshTable.x;
  out.y = meshTable.y;
  out.elementCount = mesh.elementCount;
  out.ncon = meshTable.ncon;
  out.ncn = std::span<const int>(mesh.ncn.Data(), elements);
  out.mat = std::span<const int>(mesh.material.Data(), elements);
  out.region = std::span<const int>(mesh.region.Data(), elements);
  out.type = meshTable.type;
  out.mwt = std::span<const int>(ledger.Ints("MWT").Data(), 3 * elements);
  out.icross = ConstSpan(se.order);
  out.renumbered = mesh.renumbered;
  out.jnt = std::span<const int>(mesh.jnt.Data(), nodes);
  out.edgeTemp = {mpet, cEdgeTemp};
  out.edgeFlow = {mpsh, cEdgeFlow};
  out.areaTemp = {mpat, cAreaTemp};
  out.areaFlow = {mpah, cAreaFlow};
  out.edgeDisp = {msds, cEdgeDisp};
  out.edgeSpring = {mses, cEdgeSpring};
  out.edgeLoad = {msfs, cEdgeLoad};
  out.nodalTemp = ConstSpan(ledger.Ints("MPV"));
  out.nodalFlow = ConstSpan(ledger.Ints("MNL"));
  out.nodalDisp = ConstSpan(ledger.Ints("MPVS"));
  out.nodalSpring = ConstSpan(ledger.Ints("MNES"));
  out.nodalLoad = ConstSpan(ledger.Ints("MNLS"));
  WriteAnalysisData(numlib::FieldText(args.datFileName), args, out);

  // 12. The mesh drawing, when switched on.
  if (fgraph::MeshDrawingOn())
    fgraph::DrawMesh({mesh.nodeCount, meshTable.x, meshTable.y, mesh.elementCount, meshTable.ncon,
                      out.ncn, meshTable.type},
                     fgraph::TitleText(args.titleWords));

  // 13. Clean up and report.
  ledger.DeleteAll();
  module.storage.Release();
  channel.SendFinished(kTextFinished);
}

bool ExecuteMesher(const MeshgenArgs* args) {
  return numlib::RunGuarded(VEMTO_ERROR_GENERAL, VEMTO_ERROR_GENERAL,
                            [args](numlib::ModuleState& module) {
                              if (args == nullptr) throw numlib::FatalStop(" NO ARGUMENTS GIVEN");
                              RunMesher(*args, module);
                            });
}

}  // namespace meshgen
