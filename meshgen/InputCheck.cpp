#include "InputCheck.h"

#include <cmath>
#include <string>

#include <fmt/format.h>

#include "FatalStop.h"

namespace meshgen {

namespace {

[[noreturn]] void Fail(const std::string& text) {
  throw numlib::FatalStop(text);
}

void CheckCount(std::int32_t count, const char* what) {
  if (count < 0) Fail(fmt::format(" NEGATIVE NUMBER OF {}:{:8d}", what, count));
}

template <typename T>
void CheckArray(std::int32_t count, const T* data, const char* what) {
  CheckCount(count, what);
  if (count > 0 && data == nullptr) Fail(fmt::format(" NO DATA GIVEN FOR {}", what));
}

// Condition records: the first real is the number of history points.
void CheckHistories(std::int32_t count, const double* records, int recordLength, const char* what) {
  CheckArray(count, records, what);
  for (std::int32_t k = 0; k < count; ++k) {
    const double n = records[static_cast<std::int64_t>(k) * recordLength];
    // The nearest integer (halves away from zero) must lie within 0 ... 1000.
    if (!(n >= 0.0 && n < MESHGEN_HISTORY_POINTS + 0.5))
      Fail(fmt::format(" NUMBER OF TIMES OUT OF RANGE IN CONDITION{:5d} OF {}", k + 1, what));
  }
}

}  // namespace

void CheckRequiredInput(const MeshgenArgs& args) {
  if (args.generalDefined == 0) Fail(" GENERAL INFORMATION NOT DEFINED");
  if (args.nSuperNodes <= 0) Fail(" NO SUPER ELEMENT COORDINATES DEFINED");
  if (args.nSuperElements <= 0) Fail(" NO SUPER ELEMENTS DEFINED");
}

void CheckArrayLayout(const MeshgenArgs& a) {
  CheckArray(a.nSuperNodes, a.superNodeX, "SUPER ELEMENT NODES");
  CheckArray(a.nSuperNodes, a.superNodeY, "SUPER ELEMENT NODES");
  const std::int32_t n = a.nSuperElements;
  for (const void* p :
       {static_cast<const void*>(a.elementRows), static_cast<const void*>(a.elementColumns),
        static_cast<const void*>(a.superNodeCode), static_cast<const void*>(a.superElementNodes),
        static_cast<const void*>(a.materialNumber), static_cast<const void*>(a.elementType),
        static_cast<const void*>(a.superThickness)})
    CheckArray(n, p, "SUPER ELEMENTS");
  CheckArray(a.nMaterials, a.materialProperties, "MATERIALS");
  CheckArray(a.nMaterials, a.materialOptions, "MATERIALS");

  CheckHistories(a.nEdgeTempConds, a.edgeTempConds, MESHGEN_TEMP_RECORD,
                 "EDGE TEMPERATURE CONDITIONS");
  CheckArray(a.nEdgeTempPos, a.edgeTempPos, "EDGE TEMPERATURE POSITIONS");
  CheckHistories(a.nEdgeFlowConds, a.edgeFlowConds, MESHGEN_FLOW_RECORD,
                 "EDGE HEAT FLOW CONDITIONS");
  CheckArray(a.nEdgeFlowPos, a.edgeFlowPos, "EDGE HEAT FLOW POSITIONS");
  CheckHistories(a.nAreaTempConds, a.areaTempConds, MESHGEN_TEMP_RECORD,
                 "SURFACE TEMPERATURE CONDITIONS");
  CheckArray(a.nAreaTempPos, a.areaTempPos, "SURFACE TEMPERATURE POSITIONS");
  CheckHistories(a.nAreaFlowConds, a.areaFlowConds, MESHGEN_FLOW_RECORD,
                 "SURFACE HEAT FLOW CONDITIONS");
  CheckArray(a.nAreaFlowPos, a.areaFlowPos, "SURFACE HEAT FLOW POSITIONS");
  CheckHistories(a.nEdgeDispConds, a.edgeDispConds, MESHGEN_DISP_RECORD,
                 "EDGE DISPLACEMENT CONDITIONS");
  CheckArray(a.nEdgeDispConds, a.edgeDispDirs, "EDGE DISPLACEMENT CONDITIONS");
  CheckArray(a.nEdgeDispPos, a.edgeDispPos, "EDGE DISPLACEMENT POSITIONS");
  CheckHistories(a.nEdgeSpringConds, a.edgeSpringConds, MESHGEN_SPRING_RECORD,
                 "EDGE SPRING CONDITIONS");
  CheckArray(a.nEdgeSpringPos, a.edgeSpringPos, "EDGE SPRING POSITIONS");
  CheckHistories(a.nEdgeLoadConds, a.edgeLoadConds, MESHGEN_LOAD_RECORD, "EDGE LOAD CONDITIONS");
  CheckArray(a.nEdgeLoadPos, a.edgeLoadPos, "EDGE LOAD POSITIONS");

  CheckHistories(a.nNodalTempConds, a.nodalTempConds, MESHGEN_TEMP_RECORD,
                 "NODAL TEMPERATURE CONDITIONS");
  CheckArray(a.nNodalTempPos, a.nodalTempPosCond, "NODAL TEMPERATURE POSITIONS");
  CheckArray(a.nNodalTempPos, a.nodalTempPosXY, "NODAL TEMPERATURE POSITIONS");
  CheckHistories(a.nNodalFlowConds, a.nodalFlowConds, MESHGEN_FLOW_RECORD,
                 "NODAL HEAT FLOW CONDITIONS");
  CheckArray(a.nNodalFlowPos, a.nodalFlowPosCond, "NODAL HEAT FLOW POSITIONS");
  CheckArray(a.nNodalFlowPos, a.nodalFlowPosXY, "NODAL HEAT FLOW POSITIONS");
  CheckHistories(a.nPipeConds, a.pipeConds, MESHGEN_PIPE_RECORD, "PIPE CONDITIONS");
  CheckArray(a.nPipePos, a.pipePosCondPart, "PIPE POSITIONS");
  CheckArray(a.nPipePos, a.pipePosXY, "PIPE POSITIONS");
  CheckHistories(a.nNodalDispConds, a.nodalDispConds, MESHGEN_DISP_RECORD,
                 "NODAL DISPLACEMENT CONDITIONS");
  CheckArray(a.nNodalDispConds, a.nodalDispDirs, "NODAL DISPLACEMENT CONDITIONS");
  CheckArray(a.nNodalDispPos, a.nodalDispPosCond, "NODAL DISPLACEMENT POSITIONS");
  CheckArray(a.nNodalDispPos, a.nodalDispPosXY, "NODAL DISPLACEMENT POSITIONS");
  CheckHistories(a.nNodalSpringConds, a.nodalSpringConds, MESHGEN_SPRING_RECORD,
                 "NODAL SPRING CONDITIONS");
  CheckArray(a.nNodalSpringPos, a.nodalSpringPosCond, "NODAL SPRING POSITIONS");
  CheckArray(a.nNodalSpringPos, a.nodalSpringPosXY, "NODAL SPRING POSITIONS");
  CheckHistories(a.nNodalLoadConds, a.nodalLoadConds, MESHGEN_LOAD_RECORD, "NODAL LOAD CONDITIONS");
  CheckArray(a.nNodalLoadPos, a.nodalLoadPosCond, "NODAL LOAD POSITIONS");
  CheckArray(a.nNodalLoadPos, a.nodalLoadPosXY, "NODAL LOAD POSITIONS");
}

void CheckSuperElements(const MeshgenArgs& a) {
  for (std::int32_t i = 0; i < a.nSuperNodes; ++i) {
    if (!std::isfinite(a.superNodeX[i]) || !std::isfinite(a.superNodeY[i]))
      Fail(fmt::format(" INVALID COORDINATES OF SUPER NODE{:5d}", i + 1));
  }
  for (std::int32_t i = 0; i < a.nSuperElements; ++i) {
    const std::int32_t number = i + 1;
    const std::int32_t code = a.superNodeCode[i];
    if (code != 1 && code != 2)
      Fail(fmt::format(" INVALID SUPER NODE CODE{:5d} OF SUPER ELEMENT{:5d}", code, number));
    for (int p = 0; p < 8; ++p) {
      if (code == 2 && p % 2 == 1) continue;  // mid-side entries are not used
      const std::int32_t node = a.superElementNodes[8 * static_cast<std::int64_t>(i) + p];
      if (node < 1 || node > a.nSuperNodes)
        Fail(fmt::format(" SUPER ELEMENT{:5d} REFERS TO UNDEFINED SUPER NODE{:8d}", number, node));
    }
    const std::int32_t type = a.elementType[i];
    if (type != MESHGEN_TYPE_FINITE && type != MESHGEN_TYPE_INFINITE_SURFACE &&
        type != MESHGEN_TYPE_INFINITE_CORNER)
      Fail(fmt::format(" INVALID ELEMENT TYPE{:5d} OF SUPER ELEMENT{:5d}", type, number));
    const std::int32_t rows = a.elementRows[i];
    const std::int32_t columns = a.elementColumns[i];
    if (rows < 1 || columns < 1)
      Fail(fmt::format(" INVALID NUMBER OF ELEMENT ROWS OR COLUMNS IN SUPER ELEMENT{:5d}", number));
    if (type == MESHGEN_TYPE_INFINITE_CORNER && (rows != 1 || columns != 1))
      Fail(fmt::format(" CORNER SUPER ELEMENT{:5d} MUST HAVE ONE ROW AND ONE COLUMN", number));
    const std::int32_t material = a.materialNumber[i];
    if (material < 1 || material > a.nMaterials)
      Fail(fmt::format(" MATERIAL{:5d} OF SUPER ELEMENT{:5d} NOT DEFINED", material, number));
  }
}

}  // namespace meshgen
