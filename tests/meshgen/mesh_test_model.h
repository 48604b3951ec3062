// A small model builder for the mesher tests: super nodes, super elements, materials
// and conditions in owned vectors behind one MeshgenArgs.
#pragma once

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "MeshgenArgs.h"

namespace meshgen::test {

struct SuperElementSpec {
  std::array<int, 8> nodes{};  // 1-based super nodes; corners at 0, 2, 4, 6
  int rows = 1;
  int columns = 1;
  int code = 2;  // 2: four super nodes, 1: eight
  int material = 1;
  int type = MESHGEN_TYPE_FINITE;
  double thickness = -1.0;
};

/// Four-node super element from its corners (counter-clockwise).
inline SuperElementSpec Quad(int a, int b, int c, int d, int rows = 1, int columns = 1,
                             int type = MESHGEN_TYPE_FINITE) {
  SuperElementSpec s;
  s.nodes = {a, 0, b, 0, c, 0, d, 0};
  s.rows = rows;
  s.columns = columns;
  s.type = type;
  return s;
}

struct TestModel {
  std::vector<double> x, y;
  std::vector<SuperElementSpec> elements;
  std::vector<double> properties;  // 68 per material
  std::vector<int> options;        // 7 per material
  int memoryWords = 800000;
  int generalDefined = 1;
  std::array<int, 3> analysis{2, 10, 0};
  std::array<double, 4> times{0.0, 3600.0, 7200.0, 1.0};
  std::string listFile, datFile;

  // Conditions (records of the sizes in MeshgenArgs.h) and positions.
  std::vector<double> edgeTempConds, edgeFlowConds, areaTempConds, areaFlowConds, edgeDispConds,
      edgeSpringConds, edgeLoadConds, nodalTempConds, nodalFlowConds, pipeConds, nodalDispConds,
      nodalSpringConds, nodalLoadConds;
  std::vector<int> edgeTempPos, edgeFlowPos, areaTempPos, areaFlowPos, edgeDispPos, edgeSpringPos,
      edgeLoadPos, edgeDispDirs, nodalDispDirs;
  std::vector<int> nodalTempCond, nodalFlowCond, pipeCondPart, nodalDispCond, nodalSpringCond,
      nodalLoadCond;
  std::vector<double> nodalTempXY, nodalFlowXY, pipeXY, nodalDispXY, nodalSpringXY, nodalLoadXY;
  std::string title = "Test model";

  // Owned storage of the flattened super elements (filled by Args()).
  std::vector<int> rows_, columns_, codes_, nodes_, materials_, types_;
  std::vector<double> thickness_;

  int AddNode(double nx, double ny) {
    x.push_back(nx);
    y.push_back(ny);
    return static_cast<int>(x.size());
  }
  void AddMaterial(bool young = false) {
    for (int k = 1; k <= 68; ++k) properties.push_back(k * 1.5);
    for (int k = 1; k <= 7; ++k) options.push_back(young && k == 1 ? 1 : 0);
  }

  MeshgenArgs Args() {
    if (properties.empty()) AddMaterial();
    rows_.clear(), columns_.clear(), codes_.clear(), nodes_.clear(), materials_.clear();
    types_.clear(), thickness_.clear();
    for (const auto& e : elements) {
      rows_.push_back(e.rows);
      columns_.push_back(e.columns);
      codes_.push_back(e.code);
      nodes_.insert(nodes_.end(), e.nodes.begin(), e.nodes.end());
      materials_.push_back(e.material);
      types_.push_back(e.type);
      thickness_.push_back(e.thickness);
    }
    MeshgenArgs a;
    std::memset(&a, 0, sizeof a);
    std::memset(a.projectTitle, ' ', sizeof a.projectTitle);
    std::memcpy(a.projectTitle, title.c_str(), title.size() + 1);
    for (char* t : {a.projectSubject, a.projectAuthor, a.projectManager, a.projectCompany,
                    a.projectDescription}) {
      std::memset(t, ' ', MESHGEN_TEXT_LENGTH);
      t[0] = '\0';
    }
    std::memcpy(a.datFileName, datFile.c_str(), datFile.size());
    std::memcpy(a.listFileName, listFile.c_str(), listFile.size());
    a.generalDefined = generalDefined;
    for (int i = 0; i < 3; ++i) a.analysisInts[i] = analysis[i];
    for (int i = 0; i < 4; ++i) a.timeReals[i] = times[i];
    a.nSuperNodes = static_cast<int>(x.size());
    a.superNodeX = x.data();
    a.superNodeY = y.data();
    a.nSuperElements = static_cast<int>(elements.size());
    a.elementRows = rows_.data();
    a.elementColumns = columns_.data();
    a.superNodeCode = codes_.data();
    a.superElementNodes = nodes_.data();
    a.materialNumber = materials_.data();
    a.elementType = types_.data();
    a.superThickness = thickness_.data();
    a.nMaterials = static_cast<int>(properties.size() / 68);
    a.materialProperties = properties.data();
    a.materialOptions = options.data();

    a.nEdgeTempConds = static_cast<int>(edgeTempConds.size() / MESHGEN_TEMP_RECORD);
    a.edgeTempConds = edgeTempConds.data();
    a.nEdgeTempPos = static_cast<int>(edgeTempPos.size() / 3);
    a.edgeTempPos = edgeTempPos.data();
    a.nEdgeFlowConds = static_cast<int>(edgeFlowConds.size() / MESHGEN_FLOW_RECORD);
    a.edgeFlowConds = edgeFlowConds.data();
    a.nEdgeFlowPos = static_cast<int>(edgeFlowPos.size() / 3);
    a.edgeFlowPos = edgeFlowPos.data();
    a.nAreaTempConds = static_cast<int>(areaTempConds.size() / MESHGEN_TEMP_RECORD);
    a.areaTempConds = areaTempConds.data();
    a.nAreaTempPos = static_cast<int>(areaTempPos.size() / 5);
    a.areaTempPos = areaTempPos.data();
    a.nAreaFlowConds = static_cast<int>(areaFlowConds.size() / MESHGEN_FLOW_RECORD);
    a.areaFlowConds = areaFlowConds.data();
    a.nAreaFlowPos = static_cast<int>(areaFlowPos.size() / 5);
    a.areaFlowPos = areaFlowPos.data();
    a.nEdgeDispConds = static_cast<int>(edgeDispConds.size() / MESHGEN_DISP_RECORD);
    a.edgeDispConds = edgeDispConds.data();
    a.nEdgeDispPos = static_cast<int>(edgeDispPos.size() / 3);
    a.edgeDispPos = edgeDispPos.data();
    a.edgeDispDirs = edgeDispDirs.data();
    a.nEdgeSpringConds = static_cast<int>(edgeSpringConds.size() / MESHGEN_SPRING_RECORD);
    a.edgeSpringConds = edgeSpringConds.data();
    a.nEdgeSpringPos = static_cast<int>(edgeSpringPos.size() / 3);
    a.edgeSpringPos = edgeSpringPos.data();
    a.nEdgeLoadConds = static_cast<int>(edgeLoadConds.size() / MESHGEN_LOAD_RECORD);
    a.edgeLoadConds = edgeLoadConds.data();
    a.nEdgeLoadPos = static_cast<int>(edgeLoadPos.size() / 3);
    a.edgeLoadPos = edgeLoadPos.data();

    a.nNodalTempConds = static_cast<int>(nodalTempConds.size() / MESHGEN_TEMP_RECORD);
    a.nodalTempConds = nodalTempConds.data();
    a.nNodalTempPos = static_cast<int>(nodalTempCond.size());
    a.nodalTempPosCond = nodalTempCond.data();
    a.nodalTempPosXY = nodalTempXY.data();
    a.nNodalFlowConds = static_cast<int>(nodalFlowConds.size() / MESHGEN_FLOW_RECORD);
    a.nodalFlowConds = nodalFlowConds.data();
    a.nNodalFlowPos = static_cast<int>(nodalFlowCond.size());
    a.nodalFlowPosCond = nodalFlowCond.data();
    a.nodalFlowPosXY = nodalFlowXY.data();
    a.nPipeConds = static_cast<int>(pipeConds.size() / MESHGEN_PIPE_RECORD);
    a.pipeConds = pipeConds.data();
    a.nPipePos = static_cast<int>(pipeCondPart.size() / 2);
    a.pipePosCondPart = pipeCondPart.data();
    a.pipePosXY = pipeXY.data();
    a.nNodalDispConds = static_cast<int>(nodalDispConds.size() / MESHGEN_DISP_RECORD);
    a.nodalDispConds = nodalDispConds.data();
    a.nodalDispDirs = nodalDispDirs.data();
    a.nNodalDispPos = static_cast<int>(nodalDispCond.size());
    a.nodalDispPosCond = nodalDispCond.data();
    a.nodalDispPosXY = nodalDispXY.data();
    a.nNodalSpringConds = static_cast<int>(nodalSpringConds.size() / MESHGEN_SPRING_RECORD);
    a.nodalSpringConds = nodalSpringConds.data();
    a.nNodalSpringPos = static_cast<int>(nodalSpringCond.size());
    a.nodalSpringPosCond = nodalSpringCond.data();
    a.nodalSpringPosXY = nodalSpringXY.data();
    a.nNodalLoadConds = static_cast<int>(nodalLoadConds.size() / MESHGEN_LOAD_RECORD);
    a.nodalLoadConds = nodalLoadConds.data();
    a.nNodalLoadPos = static_cast<int>(nodalLoadCond.size());
    a.nodalLoadPosCond = nodalLoadCond.data();
    a.nodalLoadPosXY = nodalLoadXY.data();
    a.memoryWords = memoryWords;
    return a;
  }
};

/// Appends one condition record of `length` reals: n, the coefficients, then points.
inline void AddRecord(std::vector<double>& list, int length, double n,
                      std::initializer_list<double> coefficients,
                      std::initializer_list<double> points) {
  std::vector<double> r(static_cast<std::size_t>(length), 0.0);
  r[0] = n;
  std::size_t i = 1;
  for (double c : coefficients) r[i++] = c;
  for (double p : points) r[i++] = p;
  list.insert(list.end(), r.begin(), r.end());
}

}  // namespace meshgen::test
