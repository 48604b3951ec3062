// The wall-on-slab section of the bundled example drawn from an empty model in the
// geometry window: nodes, edges and surfaces by mouse clicks on a schematic layout,
// divisions and element kinds through the "New surface" answers, exact coordinates typed
// into the node table. The drawing must save to the example's geometry, mesh to the
// example's nodes and elements, and undo to the empty model and redo to the same file.
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <algorithm>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "MaterialCommands.h"
#include "RunFileNames.h"
#include "TfrmGeometry.h"
#include "TfrmSurfProp.h"
#include "TfrmTopology.h"

namespace vemto::test {
namespace {

namespace fs = std::filesystem;

const char* const kExample = VEMTO_SOURCE_DIR "/examples/wall_on_slab.v3";

// Lines of an analysis data file.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Meshes the project `model` with the mesher step; returns the node count, the element
// counts of the three kinds, and the lines of coordinates and elements.
struct MeshSummary {
  std::vector<int> counts;  // nodes, eight-node, five-node, three-node elements
  std::vector<std::string> body;
};
MeshSummary Mesh(const fs::path& model) {
  auto doc = ProjectDocument::Open(QString::fromStdString(model.string()));
  const TRunFileNames files = DeriveRunFileNames(model.string());
  const TRunMeshOutcome outcome =
      MeshModelStep(doc->Model(), files, {}, VEMTO_BIN_DIR "/libmeshgen.so");
  EXPECT_FALSE(outcome.Failed) << outcome.ErrorText;
  const auto lines = Lines(ReadBytes(files.DataFile));
  if (lines.size() < 5) return {};
  int analysis = 0, steps = 0, nodes = 0, el8 = 0, el5 = 0, el3 = 0;
  std::istringstream(lines[1]) >> analysis >> steps >> nodes >> el8;
  std::istringstream(lines[3]) >> el5 >> el3;
  const std::size_t end = std::min(lines.size(), std::size_t(5 + nodes + el8 + el5 + el3));
  return {{nodes, el8, el5, el3}, {lines.begin() + 5, lines.begin() + std::ptrdiff_t(end)}};
}

class DrawSection : public ::testing::Test {
 protected:
  void SetUp() override {
    frm.resize(453, 355);
    frm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    // The schematic layout: the k-th distinct x (y) of the example is drawn at k m.
    for (const auto& n : example->Model().Nodes) {
      xs.push_back(n->Coord->X);
      ys.push_back(n->Coord->Y);
    }
    for (auto* v : {&xs, &ys}) {
      std::sort(v->begin(), v->end());
      v->erase(std::unique(v->begin(), v->end()), v->end());
    }
  }
  static double Place(const std::vector<double>& values, double v) {
    return double(std::lower_bound(values.begin(), values.end(), v) - values.begin());
  }
  // Clicks the drawn place of the example's node.
  void ClickNode(const TNode& n) { Click(Place(xs, n.Coord->X), Place(ys, n.Coord->Y)); }
  // Clicks the middle of our edge `k` as drawn.
  void ClickEdge(std::size_t k) {
    TVector p;
    doc.Model().Edges[k]->PointAt(p, 0.5);
    Click(p.X, p.Y);
  }
  void Click(double x, double y) {
    QTest::mouseClick(&view, Qt::LeftButton, {}, view.WorldToScreen(x, y));
  }
  template <class T>
  static std::size_t IndexOf(const std::vector<std::unique_ptr<T>>& list, const void* object) {
    for (std::size_t i = 0; i < list.size(); ++i)
      if (list[i].get() == object) return i;
    ADD_FAILURE() << "not in its list";
    return 0;
  }
  // The stored node, curve, surface and material records.
  static std::map<std::string, std::vector<std::uint8_t>> Geometry(TVemtoFile& model) {
    std::map<std::string, std::vector<std::uint8_t>> records;
    for (const auto& storage : model.BuildImage().Storages)
      if (storage.Name == "Nodes" || storage.Name == "Curves" || storage.Name == "Surfaces" ||
          storage.Name == "Materials")
        records[storage.Name] = storage.Find("Data")->Bytes;
    return records;
  }

  ScratchFolder folder;
  std::shared_ptr<DialogScript> script = std::make_shared<DialogScript>();
  ScriptedDialogs dialogs{script};
  std::unique_ptr<ProjectDocument> example = GeometryOnly(kExample);
  ProjectDocument doc;
  TfrmGeometry frm{doc, dialogs};
  TFemView2D& view = *frm.View();
  std::vector<double> xs, ys;
};

TEST_F(DrawSection, TheWallOnSlabDrawnByHandMeshesAsTheExampleAndUndoesToEmpty) {
  const TVemtoFile& ex = example->Model();
  script->texts.push_back(QStringLiteral("0.5"));  // "Set grid size": edge middles on the grid
  frm.ShowGridProperties();
  ASSERT_EQ(view.GridSize(), 0.5);

  frm.SetEditMode(emCreateNode);
  for (const auto& n : ex.Nodes) ClickNode(*n);
  ASSERT_EQ(doc.Model().Nodes.size(), ex.Nodes.size());
  for (const auto& e : ex.Edges) {
    frm.SetEditMode(e->NodeCount() == 3 ? emCreateCurve : emCreateLine);
    for (int k = 0; k < e->NodeCount(); ++k) ClickNode(*e->GetNode(k));
  }
  ASSERT_EQ(doc.Model().Edges.size(), ex.Edges.size());
  frm.SetEditMode(emCreateSurface);
  for (const auto& s : ex.Surfaces) {
    script->newSurfaces.push_back(
        {s->GetEdge(1)->Divisions, s->GetEdge(0)->Divisions, s->ElementType});
    for (int k = 0; k < 4; ++k) ClickEdge(IndexOf(ex.Edges, s->GetEdge(k)));
  }
  EXPECT_TRUE(script->messages.isEmpty()) << script->messages.join('\n').toStdString();
  ASSERT_EQ(doc.Model().Surfaces.size(), ex.Surfaces.size());

  // A shared edge keeps one count: more columns in the wall reach the slab, the soil
  // and the infinite elements below it; undo takes all of them back.
  TVemtoSurface* wall = nullptr;
  for (const auto& s : ex.Surfaces)
    if (s->GetEdge(0)->Divisions == 6 && s->GetEdge(1)->Divisions == 10)
      wall = doc.Model().Surfaces[IndexOf(ex.Surfaces, s.get())].get();
  ASSERT_NE(wall, nullptr);
  frm.SetEditMode(emSelect);
  TVector inside;
  wall->PointAt(inside, 0.5, 0.5);
  Click(inside.X, inside.Y);
  TfrmSurfProp& props = *frm.SurfaceProperties();
  ASSERT_EQ(props.Surface(), wall);
  props.findChild<QSpinBox*>(QStringLiteral("edtColumns"))->setValue(8);
  QTest::mouseClick(props.findChild<QPushButton*>(QStringLiteral("btnApply")), Qt::LeftButton);
  int eights = 0;
  for (const auto& s : doc.Model().Surfaces) {
    EXPECT_EQ(s->GetEdge(0)->Divisions, s->GetEdge(2)->Divisions);
    EXPECT_EQ(s->GetEdge(1)->Divisions, s->GetEdge(3)->Divisions);
    eights += s->GetEdge(0)->Divisions == 8 ? 1 : 0;
  }
  EXPECT_EQ(eights, 4);  // wall, slab, soil, ground
  doc.UndoStack().undo();
  EXPECT_EQ(wall->GetEdge(2)->Divisions, 6);

  // The example's materials, then the exact coordinates through the node table.
  for (const auto& m : ex.Materials) {
    auto copy = std::make_unique<TVemtoMaterial>();
    copy->CopyFromMaterial(*m);
    doc.Push(new AddMaterialCommand(doc, std::move(copy)));
  }
  for (std::size_t i = 0; i < ex.Surfaces.size(); ++i)
    doc.Push(new AssignMaterialCommand(
        doc, doc.Model().Surfaces[i].get(),
        doc.Model().Materials[std::size_t(ex.Materials.IndexOf(ex.Surfaces[i]->Material))]));
  TfrmTopology table(doc, TopologyTable::Nodes, dialogs);
  TTopologyModel& nodes = table.Model();
  for (int row = 0; row < nodes.rowCount(); ++row) {
    const TVector& c = *ex.Nodes[std::size_t(row)]->Coord;
    ASSERT_TRUE(nodes.setData(nodes.index(row, 1), QString::number(c.X, 'g', 17)));
    ASSERT_TRUE(nodes.setData(nodes.index(row, 2), QString::number(c.Y, 'g', 17)));
  }
  auto mine = Geometry(doc.Model());
  for (const auto& [name, bytes] : Geometry(example->Model()))
    EXPECT_TRUE(mine[name] == bytes) << name << " differ from the example's";

  const fs::path drawn = folder.Path() / "drawn.v3", again = folder.Path() / "again.v3";
  doc.SaveAs(QString::fromStdString(drawn.string()));
  const fs::path original = folder.Path() / "example.v3";
  fs::copy_file(kExample, original);
  const MeshSummary ours = Mesh(drawn), theirs = Mesh(original);
  EXPECT_EQ(ours.counts, theirs.counts);
  ASSERT_EQ(theirs.counts.size(), 4u);
  EXPECT_GT(theirs.counts[1], 0);  // eight-node elements
  EXPECT_GT(theirs.counts[2], 0);  // five-node infinite elements
  EXPECT_TRUE(ours.body == theirs.body);

  while (doc.UndoStack().canUndo()) doc.UndoStack().undo();
  const TVemtoFile& empty = doc.Model();
  EXPECT_TRUE(empty.Nodes.empty() && empty.Edges.empty() && empty.Surfaces.empty() &&
              empty.Materials.Count() == 0);
  while (doc.UndoStack().canRedo()) doc.UndoStack().redo();
  doc.SaveAs(QString::fromStdString(again.string()));
  const std::string first = ReadBytes(drawn), second = ReadBytes(again);
  ASSERT_FALSE(first.empty());
  EXPECT_TRUE(first == second);
}

}  // namespace
}  // namespace vemto::test
