// A small model with every kind of object, and comparisons of whole documents.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "VemtoFile.h"

namespace vemto::test {

/// Folder of the committed "cempropt" and "conpropt".
inline std::string PropertyDataFolder() {
  return std::string(VEMTO_SOURCE_DIR) + "/data";
}

/// Two surfaces side by side (one with a curved edge), two materials, all six condition
/// kinds, one pipe, every kind of position, two intervals, project texts and memory
/// sizes. Reference counts are kept by the constructors as the editors keep them.
inline void MakeSampleModel(TVemtoFile& doc) {
  doc.PropertyFolder = PropertyDataFolder();
  const double xy[7][2] = {{0, 0}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}, {1.5, 1.25}};
  for (int i = 0; i < 7; ++i) {
    auto n = std::make_unique<TNode>(xy[i][0], xy[i][1]);
    n->Number = i + 1;
    doc.Nodes.push_back(std::move(n));
  }
  auto N = [&](int i) { return doc.Nodes[static_cast<std::size_t>(i)].get(); };
  doc.Edges.push_back(std::make_unique<TEdgeLine>(N(0), N(1)));
  doc.Edges.push_back(std::make_unique<TEdgeLine>(N(1), N(4)));
  doc.Edges.push_back(std::make_unique<TEdgeLine>(N(4), N(3)));
  doc.Edges.push_back(std::make_unique<TEdgeLine>(N(3), N(0)));
  doc.Edges.push_back(std::make_unique<TEdgeLine>(N(1), N(2)));
  doc.Edges.push_back(std::make_unique<TEdgeLine>(N(2), N(5)));
  doc.Edges.push_back(std::make_unique<TEdgeCurve>(N(5), N(6), N(4)));
  const int divisions[7] = {4, 3, 4, 3, 5, 3, 5};
  for (int i = 0; i < 7; ++i) doc.Edges[static_cast<std::size_t>(i)]->Divisions = divisions[i];
  doc.Edges[2]->EdgeFlag = 7;
  auto E = [&](int i) { return doc.Edges[static_cast<std::size_t>(i)].get(); };

  auto* concrete = doc.Materials.Add(
      std::make_unique<TVemtoMaterial>("Concrete", 1, 1, 350.0, 0.5, PropertyDataFolder()));
  auto* rock = doc.Materials.Add(
      std::make_unique<TVemtoMaterial>("Rock", 0, 1, 0.0, 0.5, PropertyDataFolder()));
  rock->P(1) = -3.6e6;

  doc.Surfaces.push_back(std::make_unique<TVemtoSurface>(E(0), E(1), E(2), E(3)));
  doc.Surfaces.push_back(std::make_unique<TVemtoSurface>(E(4), E(5), E(6), E(1)));
  doc.Surfaces[0]->SetMaterial(concrete);
  doc.Surfaces[0]->Number = 1;
  doc.Surfaces[0]->Thickness = -1.0;
  doc.Surfaces[1]->SetMaterial(rock);
  doc.Surfaces[1]->Number = 2;
  doc.Surfaces[1]->SurfaceAux = 11;
  doc.Surfaces[1]->Thickness = 0.75;

  auto* air = static_cast<TVemtoTempCondition*>(
      doc.Conditions.Add(std::make_unique<TVemtoTempCondition>("Air")));
  air->SetEditorDefaults();
  air->InsulationType = 3;
  air->History = {{0, 15.0, 0, 0.0}, {0, 20.0, 0, 24.0}, {0, 12.5, 0, 168.0}};
  auto* fixed = static_cast<TVemtoDisplCondition*>(
      doc.Conditions.Add(std::make_unique<TVemtoDisplCondition>("Fixed")));
  fixed->Direction = 3;
  fixed->History = {{0, 0.0, 0.0, 0.0}};
  auto* cooling = static_cast<TVemtoPipeCondition*>(
      doc.Conditions.Add(std::make_unique<TVemtoPipeCondition>("Cooling")));
  cooling->SetEditorDefaults();
  cooling->History = {{0, 10.0, 0.3, 0.0}, {0, 12.0, 0.3, 72.0}};
  auto* flow = doc.Conditions.Add(std::make_unique<TVemtoFlowCondition>("Sun"));
  flow->History = {{0, 150.0, 0, 0.0}};
  auto* load = doc.Conditions.Add(std::make_unique<TVemtoLoadCondition>("Load"));
  load->History = {{0, 0.0, -1000.0, 0.0}};
  auto* spring = static_cast<TVemtoSpringCondition*>(
      doc.Conditions.Add(std::make_unique<TVemtoSpringCondition>("Spring")));
  spring->StiffnessX = 1e7;
  spring->StiffnessY = 2e7;

  auto* pipe = doc.Pipes.Add(std::make_unique<TVemtoPipe>("Pipe"));
  pipe->Condition = cooling;
  pipe->PartLength = 1.0;
  static_cast<TVemtoCondition*>(cooling)->AddRef();

  auto add = [&](std::unique_ptr<TVemtoPosition> pos, TVemtoCondition* c) {
    pos->Condition = c;
    pos->AddReferences();
    doc.Positions.push_back(std::move(pos));
  };
  add(std::make_unique<TVemtoEdgePos>(E(2)), air);
  add(std::make_unique<TVemtoEdgePos>(E(0)), fixed);
  add(std::make_unique<TVemtoEdgePos>(E(4)), spring);
  add(std::make_unique<TVemtoSurfacePos>(doc.Surfaces[1].get()), flow);
  add(std::make_unique<TVemtoNodalPos>(0.5, 1.0), load);
  for (int k = 0; k < 2; ++k) {
    auto pp = std::make_unique<TVemtoPipePos>(0.25 + 0.5 * k, 0.5, pipe);
    pp->PipeOrder = k;
    pp->PipeAux2 = k;
    add(std::move(pp), nullptr);
  }

  doc.Intervals.clear();
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(168.0, 2.0, 24.0));
  doc.Intervals.push_back(std::make_unique<TVemtoInterval>(336.0, 4.0, 24.0));
  doc.GeneralInfo.AnalysisType = 2;
  doc.GeneralInfo.Thickness = 1.5;
  doc.ProjectInfo.Title = "Sample";
  doc.ProjectInfo.Subject = "Every kind of object";
  doc.ProjectInfo.Author = "Test";
  doc.ProjectInfo.Description = "Two surfaces, a pipe";
  doc.MeshMemory = 100000;
  doc.PostMemory = 200000;
  doc.EngineMemory = 300000;
}

/// Every stored field of two documents is equal: both are written to images and the
/// images compared stream by stream.
inline void ExpectSameModel(TVemtoFile& a, TVemtoFile& b) {
  const TCompoundImage ia = a.BuildImage();
  const TCompoundImage ib = b.BuildImage();
  ASSERT_EQ(ia.Storages.size(), ib.Storages.size());
  for (const auto& st : ia.Storages)
    for (const auto& s : st.Streams) {
      const TCompoundStream* other = ib.Find(st.Name, s.Name);
      ASSERT_NE(other, nullptr) << st.Name << "/" << s.Name;
      EXPECT_EQ(other->Bytes, s.Bytes) << st.Name << "/" << s.Name;
    }
}

}  // namespace vemto::test
