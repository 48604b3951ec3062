// The workspace view in the geometry window, driven with mouse events at model
// coordinates on a fixed-size view: drawing, moving, deleting, undoing; the transform
// and the grid guard by rendered pictures; Copy.
#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableView>
#include "AppTestSupport.h"
#include "DocumentCommands.h"
#include "TfrmGeometry.h"
#include "TfrmSurfProp.h"
#include "TfrmTopology.h"

namespace vemto::test {
namespace {

class GeometryView : public ::testing::Test {
 protected:
  void SetUp() override {
    frm.resize(453, 355);
    frm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    ASSERT_EQ(view.size(), QSize(453, 355));
    TViewOptions o = view.Options();
    o.DragTime = 21;  // the shortest press that counts as a drag
    view.SetOptions(o);
  }
  QPoint At(double x, double y) const { return view.WorldToScreen(x, y); }
  void Click(double x, double y) { QTest::mouseClick(&view, Qt::LeftButton, {}, At(x, y)); }
  void Drag(double x1, double y1, double x2, double y2) {
    QTest::mousePress(&view, Qt::LeftButton, {}, At(x1, y1));
    ASSERT_TRUE(WaitUntil([this] { return view.LongPress(); }));
    QTest::mouseMove(&view, At(x2, y2));
    QTest::mouseRelease(&view, Qt::LeftButton, {}, At(x2, y2));
  }
  void Mode(TEditMode mode) { frm.SetEditMode(mode); }
  // A 2 m x 1 m rectangle by clicks: nodes, lines counter-clockwise from (0, 0), and
  // the surface of 3 rows and 4 columns.
  TVemtoSurface* DrawRectangle() {
    Mode(emCreateNode);
    for (auto [x, y] : {std::pair{0.0, 0.0}, {2.0, 0.0}, {2.0, 1.0}, {0.0, 1.0}}) Click(x, y);
    Mode(emCreateLine);
    const double corners[5][2] = {{0, 0}, {2, 0}, {2, 1}, {0, 1}, {0, 0}};
    for (int k = 0; k < 4; ++k) {
      Click(corners[k][0], corners[k][1]);
      Click(corners[k + 1][0], corners[k + 1][1]);
    }
    Mode(emCreateSurface);
    script->newSurfaces.push_back({3, 4, 0});
    for (auto [x, y] : {std::pair{1.0, 0.0}, {2.0, 0.5}, {1.0, 1.0}, {0.0, 0.5}}) Click(x, y);
    return Model().Surfaces.empty() ? nullptr : Model().Surfaces.back().get();
  }
  TVemtoFile& Model() { return doc.Model(); }
  int Index() { return doc.UndoStack().index(); }

  std::shared_ptr<DialogScript> script = std::make_shared<DialogScript>();
  ScriptedDialogs dialogs{script};
  ProjectDocument doc;
  TfrmGeometry frm{doc, dialogs};
  TFemView2D& view = *frm.View();
};

TEST_F(GeometryView, ARectangleDrawnByClicksIsOneSurfaceAndUndoRemovesEveryStep) {
  Mode(emCreateNode);
  for (auto [x, y] : {std::pair{0.0, 0.0}, {2.0, 0.0}, {2.0, 1.0}, {0.0, 1.0}}) Click(x, y);
  Click(2.0, 1.0);  // a node is there already: nothing happens
  ASSERT_EQ(Model().Nodes.size(), 4u);
  EXPECT_EQ(Index(), 4);
  EXPECT_EQ(Model().Nodes[2]->Number, 3);

  Mode(emCreateLine);
  const double corners[5][2] = {{0, 0}, {2, 0}, {2, 1}, {0, 1}, {0, 0}};
  for (int k = 0; k < 4; ++k) {
    Click(corners[k][0], corners[k][1]);
    Click(corners[k + 1][0], corners[k + 1][1]);
  }
  ASSERT_EQ(Model().Edges.size(), 4u);
  EXPECT_EQ(Index(), 8);
  EXPECT_EQ(Model().Edges[0]->Divisions, 7);
  for (auto& node : Model().Nodes) EXPECT_EQ(node->RefCount, 2);

  // Two opposite edges in succession do not close: the message and no surface.
  Mode(emCreateSurface);
  for (auto [x, y] : {std::pair{1.0, 0.0}, {1.0, 1.0}, {2.0, 0.5}, {0.0, 0.5}}) Click(x, y);
  // Bottom, right, bottom, right: each shares a node with the next, yet no quadrilateral.
  for (auto [x, y] : {std::pair{1.0, 0.0}, {2.0, 0.5}, {1.0, 0.0}, {2.0, 0.5}}) Click(x, y);
  EXPECT_EQ(script->messages, QStringList(2, QStringLiteral("Curves must be entered in order.")));
  EXPECT_TRUE(view.PickedEdges().isEmpty());
  EXPECT_TRUE(Model().Surfaces.empty());
  script->newSurfaces.push_back({3, 4, 0});
  for (auto [x, y] : {std::pair{1.0, 0.0}, {2.0, 0.5}, {1.0, 1.0}, {0.0, 0.5}}) Click(x, y);
  ASSERT_EQ(Model().Surfaces.size(), 1u);
  EXPECT_EQ(Index(), 9);
  EXPECT_EQ(Model().Edges[0]->Divisions, 4);  // columns
  EXPECT_EQ(Model().Edges[1]->Divisions, 3);  // rows
  EXPECT_EQ(Model().Surfaces[0]->Thickness, -1.0);
  for (auto& edge : Model().Edges) EXPECT_EQ(edge->RefCount, 1);
  const auto drawn = Model().BuildImage().Storages;

  while (doc.UndoStack().canUndo()) doc.UndoStack().undo();
  EXPECT_TRUE(Model().Nodes.empty());
  EXPECT_TRUE(Model().Edges.empty());
  EXPECT_TRUE(Model().Surfaces.empty());
  EXPECT_FALSE(doc.IsModified());
  while (doc.UndoStack().canRedo()) doc.UndoStack().redo();
  const auto redone = Model().BuildImage().Storages;
  ASSERT_EQ(redone.size(), drawn.size());
  for (std::size_t i = 0; i < drawn.size(); ++i)
    for (std::size_t j = 0; j < drawn[i].Streams.size(); ++j)
      EXPECT_TRUE(redone[i].Streams[j].Bytes == drawn[i].Streams[j].Bytes) << drawn[i].Name;
}

TEST_F(GeometryView, CurvesNeedThreePicksAndAClickOnEmptySpaceRestarts) {
  Mode(emCreateNode);
  for (auto [x, y] : {std::pair{0.0, 0.0}, {1.0, 1.0}, {2.0, 0.0}}) Click(x, y);
  Mode(emCreateCurve);
  Click(0.0, 0.0);
  Click(1.0, 1.0);
  Click(3.0, 3.0);  // nothing there
  EXPECT_TRUE(view.PickedNodes().isEmpty());
  Click(0.0, 0.0);
  Click(1.0, 1.0);
  Click(2.0, 0.0);
  ASSERT_EQ(Model().Edges.size(), 1u);
  auto* curve = dynamic_cast<TEdgeCurve*>(Model().Edges[0].get());
  ASSERT_NE(curve, nullptr);
  EXPECT_EQ(curve->MiddleNode, Model().Nodes[1].get());
  EXPECT_TRUE(view.PickedNodes().isEmpty());
}

TEST_F(GeometryView, ADragMovesANodeToTheGridAndDeleteKeepsWhatIsUsed) {
  Mode(emCreateNode);
  Click(0.0, 0.0);
  Click(2.0, 0.0);
  Click(4.0, 4.0);
  Mode(emCreateLine);
  Click(0.0, 0.0);
  Click(2.0, 0.0);
  const int before = Index();
  Mode(emSelect);
  Drag(2.0, 0.0, 2.43, 1.01);  // snapped to the 0.2 m grid
  EXPECT_EQ(Index(), before + 1);
  TNode* moved = Model().Nodes[1].get();
  EXPECT_NEAR(moved->Coord->X, 2.4, 1e-12);  // grid rounding: a multiple of 0.2 m
  EXPECT_NEAR(moved->Coord->Y, 1.0, 1e-12);
  ASSERT_EQ(view.SelectedNodes().size(), 1);
  EXPECT_EQ(view.SelectedNodes()[0], moved);

  // A used node stays (with the message); the free node goes and the others renumber.
  Click(4.0, 4.0);
  frm.DeleteSelection();
  EXPECT_EQ(script->messages.value(0),
            QStringLiteral("Some of the entities where connected and was not deleted!"));
  ASSERT_EQ(Model().Nodes.size(), 2u);
  EXPECT_EQ(Model().Nodes[1]->Number, 2);
  doc.UndoStack().undo();
  EXPECT_EQ(Model().Nodes.size(), 3u);
  doc.UndoStack().undo();
  EXPECT_NEAR(moved->Coord->X, 2.0, 1e-12);
}

TEST_F(GeometryView, ClicksOnAnEmptyModelSelectNothingAndCreateNothing) {
  for (TEditMode mode : {emSelect, emCreateLine, emCreateCurve, emCreateSurface, emSelectArea}) {
    Mode(mode);
    Click(1.0, 1.0);
    Drag(0.0, 0.0, 1.0, 1.0);
  }
  EXPECT_TRUE(view.SelectedNodes().isEmpty());
  EXPECT_TRUE(view.SelectedEdges().isEmpty());
  EXPECT_TRUE(view.SelectedSurfaces().isEmpty());
  EXPECT_EQ(doc.UndoStack().count(), 0);
}

TEST_F(GeometryView, TheModelOriginIsAtPixel50And305AndZoomWindowFitsItsRectangle) {
  TViewOptions o = view.Options();
  o.DrawGrid = false;
  o.AxisColor = QColor(0, 160, 0);
  view.SetOptions(o);
  Mode(emCreateNode);
  Click(0.0, 0.0);
  EXPECT_EQ(At(0.0, 0.0), QPoint(50, 305));
  const QImage picture = view.Picture();
  EXPECT_EQ(picture.pixelColor(50, 305), QColor(255, 0, 0));  // the node
  EXPECT_EQ(picture.pixelColor(50, 100), QColor(0, 160, 0));  // the y axis
  EXPECT_EQ(picture.pixelColor(300, 305), QColor(0, 160, 0));
  EXPECT_EQ(picture.pixelColor(51, 100), QColor(255, 255, 255));
  EXPECT_EQ(picture.pixelColor(300, 304), QColor(255, 255, 255));

  // A rubber band in zoom-window mode: the rectangle's height fills the view.
  Mode(emZoomWindow);
  Drag(0.0, 0.0, 1.0, 2.0);
  EXPECT_NEAR(view.Scale(), 355.0 / 2.0, 1e-9);
  EXPECT_NEAR(view.OrigoX(), 0.0, 1e-12);
  EXPECT_NEAR(view.OrigoY(), 0.0, 1e-12);
}

TEST_F(GeometryView, AGridStepBelowTheSpacingOfDoublesIsNotDrawnAndPaintingEnds) {
  view.SetOrigo(1e12, 1e12);
  view.SetScale(1e10);
  view.SetGridSize(1e-9);  // 10 pixels, but x + step == x at 1e12
  for (TGridMode mode : {gmLines, gmStandard}) {
    TViewOptions o = view.Options();
    o.GridMode = mode;
    view.SetOptions(o);
    const QImage picture = view.Picture();
    EXPECT_EQ(picture.pixelColor(200, 200), QColor(255, 255, 255));
  }
}

TEST_F(GeometryView, InfiniteSurfacesAreBandsAlongTheirFiniteSides) {
  // A 2 m square with A at the lower left: pixels (50, 305) to (150, 205).
  TNode* n[4];
  const double xy[4][2] = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};
  for (int k = 0; k < 4; ++k) {
    auto* c = new CreateNodeCommand(doc, xy[k][0], xy[k][1]);
    doc.Push(c);
    n[k] = c->Node();
  }
  TEdge* e[4];
  for (int k = 0; k < 4; ++k) {
    auto* c = new CreateEdgeCommand(doc, std::make_unique<TEdgeLine>(n[k], n[(k + 1) % 4]));
    doc.Push(c);
    e[k] = c->Edge();
  }
  auto surface = std::make_unique<TVemtoSurface>(e[0], e[1], e[2], e[3]);
  TVemtoSurface* s = surface.get();
  s->InfiniteFlag = 1;
  doc.Push(new CreateSurfaceCommand(doc, std::move(surface), 1, 1));
  TViewOptions o = view.Options();
  o.DrawGrid = o.DrawAxis = o.DrawElementText = o.DrawNodeText = false;
  view.SetOptions(o);
  const QColor silver(192, 192, 192), white(255, 255, 255);
  struct Case {
    int type;
    QColor bottom, right, left, top;
  };
  for (const Case& c : {Case{1, silver, silver, silver, white},    // a U open at the top
                        Case{2, silver, white, silver, white}}) {  // an L at A
    s->ElementType = static_cast<std::uint8_t>(c.type);
    view.Invalidate();
    const QImage picture = view.Picture();
    SCOPED_TRACE(c.type);
    EXPECT_EQ(picture.pixelColor(100, 302), c.bottom);
    EXPECT_EQ(picture.pixelColor(147, 255), c.right);
    EXPECT_EQ(picture.pixelColor(53, 255), c.left);
    EXPECT_EQ(picture.pixelColor(100, 208), c.top);
    EXPECT_EQ(picture.pixelColor(100, 255), white);
  }
}

TEST_F(GeometryView, CopyPutsSvgAndABitmapOnTheClipboard) {
  Mode(emCreateNode);
  Click(0.0, 0.0);
  Click(1.0, 1.0);
  frm.Copy();
  const QMimeData* data = QApplication::clipboard()->mimeData();
  ASSERT_NE(data, nullptr);
  EXPECT_TRUE(data->data(QStringLiteral("image/svg+xml")).contains("<svg"));
  EXPECT_TRUE(data->hasImage());
}

TEST_F(GeometryView, TheViewStateRoundTripsThroughItsThirtySixBytes) {
  view.SetOrigo(-3.5, 2.25);
  view.SetScale(37.5);
  view.SetGridSize(0.25);
  TViewOptions o = view.Options();
  o.SnapToGrid = false;
  o.DrawNodeText = false;
  view.SetOptions(o);
  const TGeometryViewState state = frm.SaveViewState();
  ProjectDocument other;
  TfrmGeometry again(other, dialogs);
  again.RestoreViewState(state);
  const TFemView2D& v = *again.View();
  EXPECT_EQ(v.OrigoX(), -3.5);  // exact: the bytes of the doubles
  EXPECT_EQ(v.OrigoY(), 2.25);
  EXPECT_EQ(v.Scale(), 37.5);
  EXPECT_EQ(v.GridSize(), 0.25);
  EXPECT_FALSE(v.Options().SnapToGrid);
  EXPECT_TRUE(v.Options().DrawGrid);
  EXPECT_FALSE(v.Options().DrawNodeText);
}

}  // namespace
}  // namespace vemto::test

namespace vemto::test {
namespace {

TEST_F(GeometryView, TheSelectionIsTheDocumentsAndSurfacePropertiesFollowIt) {
  TVemtoSurface* s = DrawRectangle();
  ASSERT_NE(s, nullptr);

  Mode(emSelect);
  Click(0.7, 0.6);
  ASSERT_EQ(doc.Selection(ObjectKind::Surface), ObjectList{s});
  TfrmSurfProp& props = *frm.SurfaceProperties();
  EXPECT_EQ(props.Surface(), s);
  doc.ClearSelection();  // another window empties it
  EXPECT_TRUE(view.SelectedSurfaces().isEmpty());
  EXPECT_EQ(props.Surface(), nullptr);

  props.SetSurface(s);
  auto* curve2 = props.findChild<QComboBox*>(QStringLiteral("cboCurve2"));
  auto* thickness = props.findChild<QLineEdit*>(QStringLiteral("edtThickness"));
  auto* rows = props.findChild<QSpinBox*>(QStringLiteral("edtRows"));
  ASSERT_TRUE(curve2 && thickness && rows);
  for (int k = 0; k < 4; ++k) props.btnRotateClick();
  EXPECT_EQ(curve2->currentIndex(), 1);
  curve2->setCurrentIndex(0);
  thickness->setText(QStringLiteral("0"));  // <= 0: the section's thickness
  props.btnApplyClick();
  EXPECT_EQ(script->messages.value(0), QStringLiteral("Duplicate curves in topology!"));
  EXPECT_EQ(curve2->currentIndex(), 1);
  EXPECT_EQ(s->Thickness, -1.0);
  rows->setValue(5);
  thickness->setText(QStringLiteral("0.4"));
  props.btnApplyClick();
  EXPECT_EQ(s->Thickness, 0.4);
  EXPECT_EQ(Model().Edges[1]->Divisions, 5);
  EXPECT_EQ(Model().Edges[3]->Divisions, 5);
  doc.UndoStack().undo();
  EXPECT_EQ(Model().Edges[3]->Divisions, 3);
  EXPECT_EQ(s->Thickness, -1.0);
}

}  // namespace
}  // namespace vemto::test

namespace vemto::test {
namespace {

// Rows chosen in the curve table light up in the view; a click in the view chooses the
// rows in the curve and surface tables.
TEST_F(GeometryView, TableRowsAndTheViewShareOneSelection) {
  TVemtoSurface* s = DrawRectangle();
  ASSERT_NE(s, nullptr);
  Mode(emSelect);
  TfrmTopology curves(doc, TopologyTable::Curves, dialogs);
  TfrmTopology surfaces(doc, TopologyTable::Surfaces, dialogs);
  curves.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&curves));
  QTableView& grid = *curves.View();
  auto clickRow = [&grid](int row, Qt::KeyboardModifiers keys) {
    const QRect cell = grid.visualRect(grid.model()->index(row, 0));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, keys, cell.center());
  };
  clickRow(1, {});
  clickRow(3, Qt::ControlModifier);
  TEdge* right = Model().Edges[1].get();
  TEdge* left = Model().Edges[3].get();
  EXPECT_EQ(view.SelectedEdges(), (QList<TEdge*>{right, left}));
  const QImage picture = view.Picture();
  const QColor blue(0, 0, 255), red(255, 0, 0);
  EXPECT_EQ(picture.pixelColor(At(2.0, 0.25)), blue);
  EXPECT_EQ(picture.pixelColor(At(0.0, 0.75)), blue);
  EXPECT_EQ(picture.pixelColor(At(0.5, 0.0)), red);  // edge 1 is not chosen

  auto rows = [](const TfrmTopology& table) {
    QList<int> out;
    for (const QModelIndex& i : table.View()->selectionModel()->selectedRows()) out << i.row();
    std::sort(out.begin(), out.end());
    return out;
  };
  Click(5.0, 5.0);  // empty space: nothing chosen anywhere
  EXPECT_TRUE(rows(curves).isEmpty());
  Click(0.5, 0.0);
  EXPECT_EQ(rows(curves), QList<int>{0});
  EXPECT_TRUE(rows(surfaces).isEmpty());
  Click(1.3, 0.6);
  EXPECT_EQ(rows(surfaces), QList<int>{0});
  EXPECT_EQ(doc.Selection(ObjectKind::Surface), ObjectList{s});
  EXPECT_EQ(frm.SurfaceProperties()->Surface(), s);
}

}  // namespace
}  // namespace vemto::test
