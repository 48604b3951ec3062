// The model check: every warning and error text and when it appears.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "VemtoFile.h"
#include "VemtoLogic.h"
#include "test_file_model.h"

namespace vemto {
namespace {

using test::MakeSampleModel;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

bool Has(const std::vector<std::string>& list, const std::string& text) {
  return std::find(list.begin(), list.end(), text) != list.end();
}

TEST(CheckModel, SampleModelIsClean) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  TVemtoLogic logic;
  logic.Warnings = {"stale"};
  logic.Errors = {"stale"};
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Warnings, IsEmpty());
  EXPECT_THAT(logic.Errors, IsEmpty());
}

TEST(CheckModel, EmptyModel) {
  TVemtoFile doc;
  TVemtoLogic logic;
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, ElementsAre("No surfaces defined."));
  EXPECT_THAT(logic.Warnings, ElementsAre("No boundary conditions defined."));
}

TEST(CheckModel, SurfacesWithoutMaterial) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  doc.Surfaces[1]->SetMaterial(nullptr);
  TVemtoLogic logic;
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, ElementsAre("No material assigned to surface 2"));
}

TEST(CheckModel, MissingTemperatureAndDisplacementConditions) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  auto* fixed = static_cast<TVemtoDisplCondition*>(doc.Conditions[1]);
  TVemtoLogic logic;

  fixed->Direction = 1;
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Warnings,
              ElementsAre("No displacement conditions defined in the Y direction."));
  fixed->Direction = 2;
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Warnings,
              ElementsAre("No displacement conditions defined in the X direction."));

  // Without the temperature and displacement positions (the first two).
  doc.Positions.erase(doc.Positions.begin(), doc.Positions.begin() + 2);
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Warnings, ElementsAre("No temperature conditions defined.",
                                          "No displacement conditions defined."));
  EXPECT_THAT(logic.Errors, IsEmpty());
}

TEST(CheckModel, IntervalsAndThickness) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  doc.Intervals[0]->StoreStep = 1.0;  // below the time step 2
  doc.Intervals[1]->StoreStep = 2.0;  // below the time step 4
  doc.GeneralInfo.Thickness = 0.0;
  TVemtoLogic logic;
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, ElementsAre("Storage step less than the timestep.",
                                        "Storage step less than the timestep.",
                                        "Thickness = 0 or negative value."));
}

TEST(CheckModel, StepsThatWouldFailLater) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  TVemtoLogic logic;

  doc.Intervals[0]->TimeStep = 0.0;
  logic.CheckModel(doc);
  EXPECT_TRUE(Has(logic.Errors, "Time step = 0 or negative value in interval 1."))
      << logic.Errors.size();

  doc.Intervals[0]->TimeStep = 2.0;
  doc.Intervals[1]->TimeStep = -1.0;
  doc.Intervals[1]->StoreStep = -1.0;
  logic.CheckModel(doc);
  EXPECT_TRUE(Has(logic.Errors, "Time step = 0 or negative value in interval 2."));
  EXPECT_TRUE(Has(logic.Errors, "Storage step = 0 or negative value in interval 2."));

  doc.Intervals[1]->TimeStep = 4.0;
  doc.Intervals[1]->StoreStep = 24.0;
  doc.Intervals[1]->EndTime = 168.0;  // the second interval ends where it starts
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, ElementsAre("End time of interval 2 not after its start."));

  doc.Intervals[1]->EndTime = 180.0;  // 12 h long, storage step 24 h
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, ElementsAre("Storage step longer than interval 2."));

  doc.Intervals.clear();
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, ElementsAre("No time intervals defined."));
}

TEST(CheckModel, SharedEdgeNeedingDifferentDivisions) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  TVemtoLogic logic;
  // Edge 2 is edge 1 of surface 1 (3 divisions, its own count) and edge 3 of surface 2,
  // which is meshed with the count of its edge 1 (edge 6, 3 divisions).
  doc.Edges[5]->Divisions = 6;
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors,
              ElementsAre("Surfaces 1 and 2 need different numbers of divisions (3 and 6) on "
                          "their common edge."));
  // Opposite edges of one surface may differ when not shared.
  doc.Edges[5]->Divisions = 3;
  doc.Edges[6]->Divisions = 9;
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, IsEmpty());
}

TEST(CheckModel, ASurfaceThicknessAtOrBelowZeroIsTheSections) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  TVemtoLogic logic;
  doc.Surfaces[0]->Thickness = -1.0;
  doc.Surfaces[1]->Thickness = 0.0;
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, IsEmpty());
  doc.Surfaces[1]->Thickness = -0.5;
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, IsEmpty());
}

TEST(CheckModel, ReferencesTheMesherNeeds) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  TVemtoLogic logic;
  doc.Positions[4]->Condition = nullptr;                                // nodal load
  static_cast<TVemtoPipePos*>(doc.Positions[5].get())->Pipe = nullptr;  // pipe point
  doc.Pipes[0]->Condition = nullptr;
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, ElementsAre("No condition assigned to boundary condition 5.",
                                        "No pipe assigned to pipe point 6.",
                                        "No pipe condition assigned to pipe Pipe."));
}

TEST(CheckModel, PositionsTheMesherWouldIgnore) {
  TVemtoFile doc;
  MakeSampleModel(doc);
  TVemtoLogic logic;
  TEdgeLine removed(doc.Nodes[0].get(), doc.Nodes[1].get());  // not in the model's edges
  auto* onEdge = static_cast<TVemtoEdgePos*>(doc.Positions[0].get());
  TEdge* const kept = onEdge->Edge;
  onEdge->Edge = &removed;
  doc.Positions[3]->Condition = doc.Conditions[4];  // a load on a surface
  doc.Positions[4]->Condition = doc.Conditions[2];  // a pipe condition at a point
  logic.CheckModel(doc);
  EXPECT_THAT(logic.Errors, IsEmpty());
  EXPECT_THAT(
      logic.Warnings,
      ElementsAre(
          "The edge of boundary condition 1 (\"Air\") no longer exists; it is ignored.",
          "Boundary condition 4 puts \"Load\" on a surface, where only temperature and heat "
          "flow conditions act; it is ignored.",
          "Boundary condition 5 uses the pipe condition \"Cooling\", which acts only through a "
          "pipe; it is ignored."));
  onEdge->Edge = kept;  // before `removed` goes
}

// Each of these models passed the check before and was then refused by the mesher or the
// engine; the check names the problem first.
TEST(CheckModel, FindsWhatTheRunWouldReject) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    std::function<void(TVemtoFile&)> change;
    std::string error;
  };
  const std::vector<Case> cases = {
      {[&](TVemtoFile& d) { d.Conditions[0]->History[1].Value1 = inf; },
       "Condition \"Air\": history point 2 holds a number that is not finite."},
      {[&](TVemtoFile& d) {
         static_cast<TVemtoTempCondition*>(d.Conditions[0])->TransferCoefficient = nan;
       },
       "Condition \"Air\": a transfer coefficient or constant is not a finite number."},
      {[&](TVemtoFile& d) { d.Materials[1]->P(23) = inf; },
       "Material \"Rock\": property 23 is not a finite number."},
      {[&](TVemtoFile& d) { static_cast<TVemtoNodalPos*>(d.Positions[4].get())->X = nan; },
       "Boundary condition 5 lies at a point whose coordinates are not finite numbers."},
      {[&](TVemtoFile& d) {
         d.Conditions[3]->History.resize(1001, {0, 1.0, 0, 0.0});
       },
       "Condition \"Sun\" has 1001 history points; at most 1000 are allowed."},
      {[&](TVemtoFile& d) {
         d.Surfaces[1]->ElementType = 1;
         d.Surfaces[1]->InfiniteFlag = 1;
       },
       "Surface 2 has five-node infinite elements and 3 divisions across (along its second edge); "
       "one row is needed."},
      {[&](TVemtoFile& d) { static_cast<TEdgeLine&>(*d.Edges[4]).EndNode = d.Nodes[1].get(); },
       "Edge 5 starts and ends at node 2."},
      {[&](TVemtoFile& d) { d.EngineMemory = 5000; },
       "The model is too large for the engine memory: it needs 201952 bytes, 40000 are set."},
      {[&](TVemtoFile& d) { d.Intervals[1]->TimeStep = 1e-8; },
       "The intervals give 16800000084 time steps; at most 2147483647 can be counted. Choose "
       "longer time steps."},
  };
  for (const Case& c : cases) {
    TVemtoFile doc;
    MakeSampleModel(doc);
    c.change(doc);
    TVemtoLogic logic;
    logic.CheckModel(doc);
    EXPECT_TRUE(Has(logic.Errors, c.error))
        << c.error << "\n got: " << ::testing::PrintToString(logic.Errors);
  }
}

}  // namespace
}  // namespace vemto
