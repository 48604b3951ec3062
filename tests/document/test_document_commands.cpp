// The project document's commands: each does, undoes and redoes to the same project
// file image with consistent reference counts; the modified state follows the undo
// stack; observers hear of every change.
#include <QTemporaryDir>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DocumentCommands.h"
#include "DocumentTestSupport.h"
#include "GeometryCommands.h"
#include "ProjectDocument.h"

namespace vemto {
namespace {

using test::CountsConsistent;
using test::Image;

// The wall-on-slab example with a free node, a line and a curve added: nodes that no
// edge uses, edges used by surfaces and by edge positions.
class DocumentCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    doc = ProjectDocument::Open(QStringLiteral(VEMTO_SOURCE_DIR "/examples/wall_on_slab.v3"));
    ASSERT_GE(doc->Model().Nodes.size(), 4u);
    ASSERT_GE(doc->Model().Surfaces.size(), 1u);
    QObject::connect(doc.get(), &ProjectDocument::objectsAdded, [this](ObjectKind k, auto& o) {
      log.push_back("added " + std::to_string(int(k)) + " " + std::to_string(o.size()));
    });
    QObject::connect(doc.get(), &ProjectDocument::objectsRemoved, [this](ObjectKind k, auto& o) {
      log.push_back("removed " + std::to_string(int(k)) + " " + std::to_string(o.size()));
    });
  }
  TNode* N(std::size_t i) { return doc->Model().Nodes.at(i).get(); }
  TEdge* E(std::size_t i) { return doc->Model().Edges.at(i).get(); }
  TVemtoSurface* S(std::size_t i) { return doc->Model().Surfaces.at(i).get(); }
  TNode* AddNode(double x, double y) {
    auto* c = new CreateNodeCommand(*doc, x, y);
    doc->Push(c);
    return c->Node();
  }
  TEdge* AddLine(TNode* a, TNode* b) {
    auto* c = new CreateEdgeCommand(*doc, std::make_unique<TEdgeLine>(a, b));
    doc->Push(c);
    return c->Edge();
  }

  std::unique_ptr<ProjectDocument> doc;
  std::vector<std::string> log;
};

TEST_F(DocumentCommands, EveryCommandUndoesAndRedoesToTheSameFileImage) {
  // A small square of its own beside the example, so that every command has work.
  TNode* a = AddNode(10, 0);
  TNode* b = AddNode(11, 0);
  TNode* c = AddNode(11, 1);
  TNode* d = AddNode(10, 1);
  TEdge* ab = AddLine(a, b);
  TEdge* bc = AddLine(b, c);
  TEdge* cd = AddLine(c, d);
  TEdge* da = AddLine(d, a);
  doc->UndoStack().clear();

  using Make = std::function<QUndoCommand*()>;
  const std::vector<std::pair<const char*, Make>> cases = {
      {"node", [&] { return new CreateNodeCommand(*doc, 5.5, -2.25); }},
      {"line", [&] { return new CreateEdgeCommand(*doc, std::make_unique<TEdgeLine>(a, c)); }},
      {"curve",
       [&] { return new CreateEdgeCommand(*doc, std::make_unique<TEdgeCurve>(a, N(0), d)); }},
      {"surface",
       [&] {
         return new CreateSurfaceCommand(*doc, std::make_unique<TVemtoSurface>(ab, bc, cd, da), 4,
                                         10);
       }},
      {"move", [&] { return new MoveNodeCommand(*doc, N(1), 0.125, 7.5); }},
      {"delete used and unused",
       [&] {
         return new DeleteObjectsCommand(*doc, {a, N(0), a}, {ab, E(0)}, {S(0)});
       }},
      {"delete square",
       [&] {
         return new DeleteObjectsCommand(*doc, {}, {ab, bc, cd, da}, {});
       }},
      {"thickness",
       [&] {
         return new SetValueCommand<double>(*doc, S(0)->Thickness, 0.75, ObjectKind::Surface, S(0),
                                            QStringLiteral("Thickness"));
       }},
  };
  for (const auto& [name, make] : cases) {
    SCOPED_TRACE(name);
    const auto before = Image(*doc);
    const int index = doc->UndoStack().index();
    doc->Push(make());
    const auto after = Image(*doc);
    EXPECT_TRUE(after != before);
    EXPECT_TRUE(CountsConsistent(*doc));
    EXPECT_TRUE(doc->IsModified());
    doc->UndoStack().undo();
    EXPECT_TRUE(Image(*doc) == before);
    EXPECT_TRUE(CountsConsistent(*doc));
    EXPECT_FALSE(doc->IsModified());
    doc->UndoStack().redo();
    EXPECT_TRUE(Image(*doc) == after);
    doc->UndoStack().undo();
    EXPECT_TRUE(Image(*doc) == before);
    EXPECT_EQ(doc->UndoStack().index(), index);
  }
}

TEST_F(DocumentCommands, SurfaceSetsTheDivisionsOfItsEdgesAndUndoRestoresThem) {
  TNode* a = AddNode(10, 0);
  TNode* b = AddNode(11, 0);
  TNode* c = AddNode(11, 1);
  TNode* d = AddNode(10, 1);
  std::array<TEdge*, 4> e{AddLine(a, b), AddLine(b, c), AddLine(c, d), AddLine(d, a)};
  for (TEdge* edge : e) edge->Divisions = 7;
  auto* create = new CreateSurfaceCommand(
      *doc, std::make_unique<TVemtoSurface>(e[0], e[1], e[2], e[3]), 4, 10);
  doc->Push(create);
  EXPECT_EQ(e[0]->Divisions, 4);
  EXPECT_EQ(e[2]->Divisions, 4);
  EXPECT_EQ(e[1]->Divisions, 10);
  EXPECT_EQ(e[3]->Divisions, 10);
  for (TEdge* edge : e) EXPECT_EQ(edge->RefCount, 1);
  doc->UndoStack().undo();
  for (TEdge* edge : e) {
    EXPECT_EQ(edge->Divisions, 7);
    EXPECT_EQ(edge->RefCount, 0);
  }
}

// New counts spread from an edge to the opposite one and on through the neighbours, so
// no surface is left with unequal opposite edges; demands that would give one edge two
// counts are refused.
TEST_F(DocumentCommands, DivisionCountsSpreadAcrossSharedEdgesOrAreRefused) {
  const TVemtoFile& m = doc->Model();
  const auto before = Image(*doc);
  TEdge* bottom = S(0)->GetEdge(0);
  const auto plan = PlanDivisions(m, {{bottom, 9}});
  ASSERT_TRUE(plan.has_value());
  EXPECT_GE(plan->size(), 4u);  // the soil's bottom and top, the ground's edge, the slab's
  doc->Push(new SetDivisionsCommand(*doc, *plan));
  EXPECT_EQ(S(0)->GetEdge(2)->Divisions, 9);
  for (const auto& s : m.Surfaces) {
    EXPECT_EQ(s->GetEdge(0)->Divisions, s->GetEdge(2)->Divisions);
    EXPECT_EQ(s->GetEdge(1)->Divisions, s->GetEdge(3)->Divisions);
  }
  EXPECT_FALSE(PlanDivisions(m, {{bottom, 9}, {S(0)->GetEdge(2), 5}}).has_value());
  doc->UndoStack().undo();
  EXPECT_TRUE(Image(*doc) == before);
}

TEST_F(DocumentCommands, DeleteKeepsWhatIsUsedIncludingEdgesOfPositionsAndRenumbersNodes) {
  // An edge that carries a condition but bounds no surface is in use.
  TEdge* positioned = nullptr;
  for (auto& p : doc->Model().Positions)
    if (auto* edgePos = dynamic_cast<TVemtoEdgePos*>(p.get())) positioned = edgePos->Edge;
  ASSERT_NE(positioned, nullptr);
  TNode* free = AddNode(-3, -3);
  TNode* end = AddNode(-4, -3);
  TEdge* line = AddLine(free, end);
  const std::size_t nodeCount = doc->Model().Nodes.size();

  // The node's only edge is deleted in the same command: the node stays.
  DeleteObjectsCommand first(*doc, {free}, {line, positioned}, {});
  EXPECT_TRUE(first.Refused());
  auto* del = new DeleteObjectsCommand(*doc, {free, N(0)}, {line, positioned}, {});
  doc->Push(del);
  EXPECT_EQ(doc->Model().Edges.back().get() == line, false);
  EXPECT_EQ(doc->Model().Nodes.size(), nodeCount);
  EXPECT_EQ(free->RefCount, 0);
  EXPECT_TRUE(positioned->InUse());

  auto* again = new DeleteObjectsCommand(*doc, {free, free}, {}, {});
  EXPECT_FALSE(again->Refused());
  doc->Push(again);
  ASSERT_EQ(doc->Model().Nodes.size(), nodeCount - 1);
  for (std::size_t i = 0; i < doc->Model().Nodes.size(); ++i)
    EXPECT_EQ(N(i)->Number, static_cast<std::int32_t>(i + 1));
  EXPECT_EQ(log.back(), "removed 0 1");
  doc->UndoStack().undo();
  EXPECT_EQ(log.back(), "added 0 1");
  EXPECT_EQ(N(nodeCount - 2), free);
}

TEST_F(DocumentCommands, OneDragIsOneUndoStep) {
  TNode* node = N(2);
  const double x = node->Coord->X, y = node->Coord->Y;
  for (int k = 1; k <= 5; ++k) doc->Push(new MoveNodeCommand(*doc, node, x + k, y - k, 7));
  doc->Push(new MoveNodeCommand(*doc, node, 1.0, 2.0, 8));
  EXPECT_EQ(doc->UndoStack().count(), 2);
  doc->UndoStack().undo();
  EXPECT_EQ(node->Coord->X, x + 5);  // exact: stored values, no arithmetic
  doc->UndoStack().undo();
  EXPECT_EQ(node->Coord->X, x);
  EXPECT_EQ(node->Coord->Y, y);
}

TEST_F(DocumentCommands, SelectionIsSharedViewStateThatRemovalsEmpty) {
  std::vector<std::pair<ObjectKind, QObject*>> heard;
  QObject::connect(doc.get(), &ProjectDocument::selectionChanged,
                   [&](ObjectKind k, QObject* s) { heard.emplace_back(k, s); });
  TNode* free = AddNode(-3, -3);
  QObject window;
  doc->SetSelection(ObjectKind::Node, {free, N(0)}, &window);
  doc->SetSelection(ObjectKind::Node, {free, N(0)}, &window);  // same: no signal
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].second, &window);
  const bool modified = doc->IsModified();
  doc->UndoStack().undo();  // the node leaves the model and the selection
  EXPECT_EQ(doc->Selection(ObjectKind::Node), ObjectList{N(0)});
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[1].second, nullptr);
  EXPECT_NE(doc->IsModified(), modified);  // the undo, not the selection, changed it
  doc->ClearSelection();
  EXPECT_TRUE(doc->Selection(ObjectKind::Node).isEmpty());
  EXPECT_EQ(heard.size(), 3u);
}

TEST_F(DocumentCommands, ModifiedStateFollowsTheStackAndSaving) {
  EXPECT_FALSE(doc->IsModified());
  std::vector<bool> modified;
  QObject::connect(doc.get(), &ProjectDocument::modifiedChanged,
                   [&](bool m) { modified.push_back(m); });
  AddNode(1, 1);
  EXPECT_TRUE(doc->IsModified());
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("saved.v3"));
  doc->SaveAs(name);
  EXPECT_FALSE(doc->IsModified());
  EXPECT_EQ(doc->FileName(), name);
  doc->UndoStack().undo();  // before the save point: modified again
  EXPECT_TRUE(doc->IsModified());
  EXPECT_EQ(modified, (std::vector<bool>{true, false, true}));

  // A failed save keeps the name and the modified state.
  EXPECT_THROW(doc->SaveAs(dir.filePath(QStringLiteral("no/such/folder/x.v3"))), FileError);
  EXPECT_EQ(doc->FileName(), name);
  EXPECT_TRUE(doc->IsModified());

  // The saved file reads back as the model that was saved.
  doc->UndoStack().redo();
  const auto saved = Image(*doc);
  EXPECT_TRUE(Image(*ProjectDocument::Open(name)) == saved);
}

}  // namespace
}  // namespace vemto
