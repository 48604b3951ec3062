// The boundary-condition window on the wall-on-slab section with its conditions taken
// away: conditions made in the condition list, positions placed by clicks on the view,
// labels, deleting, renaming, pipes and their order, exposed faces, and the whole
// example rebuilt by clicks meshing to the example's own analysis data file.
#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QToolBar>
#include <QToolTip>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "ConditionCommands.h"
#include "HistoryCommands.h"
#include "HistoryTableModel.h"
#include "TfrmBoundaryConds.h"
#include "TfrmConditions.h"
#include "VemtoLogic.h"

namespace vemto::test {
namespace {

namespace fs = std::filesystem;

const char* const kExample = VEMTO_SOURCE_DIR "/examples/wall_on_slab.v3";

class BoundaryConds : public ::testing::Test {
 protected:
  void SetUp() override {
    frm.resize(640, 440);
    frm.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
    view.ZoomExtents();
  }
  TVemtoFile& Model() { return doc->Model(); }
  QPoint At(double x, double y) const { return view.WorldToScreen(x, y); }
  void Click(double x, double y) { QTest::mouseClick(&view, Qt::LeftButton, {}, At(x, y)); }
  // Zooms close to the middle of the edge from (xa, ya) to (xb, yb) and clicks there.
  void ClickEdge(double xa, double ya, double xb, double yb) {
    const double x = (xa + xb) / 2, y = (ya + yb) / 2, r = 0.01;  // m
    view.ZoomWindow(x - r, y - r, x + r, y + r);
    Click(x, y);
  }
  // A new condition of the current type named `name` (through the list's Add).
  TVemtoCondition* AddCondition(const QString& name) {
    script->texts.push_back(name);
    list.AddCondition();
    return list.Shown().back();
  }
  void Choose(TVemtoCondition* c) { list.ChooseRow(int(list.Shown().indexOf(c))); }

  std::shared_ptr<DialogScript> script = std::make_shared<DialogScript>();
  ScriptedDialogs dialogs{script};
  std::unique_ptr<ProjectDocument> doc = GeometryOnly(kExample);
  TfrmBoundaryConds frm{*doc, dialogs};
  TFemView2D& view = *frm.View();
  TfrmConditions& list = *frm.ConditionList();
};

TEST_F(BoundaryConds, ClicksPlaceStackedLabelsAndSelectedLabelsAreDeletedOnce) {
  Click(2.0, 2.0);
  EXPECT_EQ(script->messages.value(0),
            QStringLiteral("A Condition must be selected to create a position."));
  TVemtoCondition* t = AddCondition(QStringLiteral("T"));
  Choose(t);
  TEdge* top = Model().Edges[0].get();
  for (auto& e : Model().Edges)  // the wall top, from (1.5, 3.5) to (2.5, 3.5)
    if (std::abs(e->FirstNode()->Coord->Y - 3.5) < 1e-9 &&
        std::abs(e->LastNode()->Coord->Y - 3.5) < 1e-9 &&
        std::abs(e->FirstNode()->Coord->X + e->LastNode()->Coord->X - 4.0) < 1e-9)
      top = e.get();
  const int edgeRefs = top->RefCount;
  for (int k = 0; k < 3; ++k) Click(2.0, 3.5);
  Click(1.5, 3.5);  // on a node: no edge position
  ASSERT_EQ(Model().Positions.size(), 3u);
  EXPECT_EQ(t->RefCount, 3);
  EXPECT_EQ(top->RefCount, edgeRefs + 3);
  view.grab();
  ASSERT_EQ(frm.LabelTexts(), QStringList({"T", "T", "T"}));
  const auto& labels = frm.Labels();
  EXPECT_EQ(labels[1].Polygon[0].y() - labels[0].Polygon[0].y(), 18);
  EXPECT_EQ(labels[2].Polygon[0].y() - labels[1].Polygon[0].y(), 18);

  // Select the middle label twice: one entry; Delete removes that position once.
  frm.SelectLabels();
  EXPECT_FALSE(frm.Placing());
  const QPoint inside = labels[1].Polygon.boundingRect().center();
  TVemtoPosition* middle = labels[1].Position;
  for (int k = 0; k < 2; ++k) QTest::mouseClick(&view, Qt::LeftButton, {}, inside);
  ASSERT_EQ(frm.SelectedPositions(), QList<TVemtoPosition*>{middle});
  QTest::keyClick(&view, Qt::Key_Delete);
  EXPECT_EQ(Model().Positions.size(), 2u);
  EXPECT_EQ(t->RefCount, 2);
  EXPECT_EQ(top->RefCount, edgeRefs + 2);
  EXPECT_TRUE(frm.SelectedPositions().isEmpty());
  doc->UndoStack().undo();
  EXPECT_EQ(Model().Positions[1].get(), middle);
  EXPECT_EQ(t->RefCount, 3);
  doc->UndoStack().setIndex(1);  // back to the condition alone
  EXPECT_EQ(t->RefCount, 0);
  EXPECT_EQ(top->RefCount, edgeRefs);
}

TEST_F(BoundaryConds, SurfaceAndNodalPositionsSitOnTheSectionAndSnapToDivisionPoints) {
  TVemtoCondition* sun = AddCondition(QStringLiteral("Sunlit"));
  Choose(sun);
  frm.SetPositionKind(pkSurface);
  Click(2.0, 2.0);
  frm.SetPositionKind(pkNodal);
  Click(2.02, 1.98);
  Click(0.0, 4.5);  // no surface there: nothing
  ASSERT_EQ(Model().Positions.size(), 2u);
  auto* surface = dynamic_cast<TVemtoSurfacePos*>(Model().Positions[0].get());
  ASSERT_NE(surface, nullptr);
  EXPECT_EQ(surface->Surface, view.SurfaceAt(2.0, 2.0));
  EXPECT_EQ(surface->Surface->RefCount, 1);
  auto* nodal = dynamic_cast<TVemtoNodalPos*>(Model().Positions[1].get());
  ASSERT_NE(nodal, nullptr);
  EXPECT_NEAR(nodal->X, 2.0, 1e-12);
  EXPECT_NEAR(nodal->Y, 2.0, 1e-12);

  // A nodal position off the division grid, picked by its label and snapped.
  auto off = std::make_unique<TVemtoNodalPos>(1.55, 3.3);
  off->Condition = sun;
  doc->Push(new PlacePositionCommand(*doc, std::move(off)));
  view.grab();
  ASSERT_EQ(frm.LabelTexts(), QStringList({"Sunlit", "Sunlit", "Sunlit"}));
  frm.SelectLabels();
  QTest::mouseClick(&view, Qt::LeftButton, {}, frm.Labels()[1].Polygon.boundingRect().center());
  ASSERT_EQ(frm.SelectedPositions().size(), 1);
  frm.SnapSelectedPositions();
  auto* snapped = static_cast<TVemtoNodalPos*>(Model().Positions[2].get());
  EXPECT_NEAR(snapped->X, 1.5, 1e-12);
  EXPECT_NEAR(snapped->Y, 3.2, 1e-12);
  doc->UndoStack().undo();
  EXPECT_EQ(snapped->X, 1.55);
  // The printed and copied picture carries the labels.
  EXPECT_TRUE(view.GeometrySvg().contains("Sunlit"));
}

TEST_F(BoundaryConds, NamesStayUniqueAndUsedConditionsStay) {
  TVemtoCondition* t = AddCondition(QStringLiteral("T"));
  AddCondition(QStringLiteral("F"));
  EXPECT_EQ(AddCondition(QStringLiteral("F"))->Name, "F1");
  Choose(t);
  script->texts.push_back(QStringLiteral("F"));
  list.RenameCondition();
  EXPECT_EQ(t->Name, "F2");
  EXPECT_EQ(list.Shown().back(), t);  // moved to the end
  Click(2.0, 3.5);
  list.RemoveCondition();
  EXPECT_EQ(script->messages.value(0),
            QStringLiteral("Condition connected to a position. Remove position first."));
  EXPECT_EQ(Model().Conditions.IndexOf(t), 2);
  doc->UndoStack().undo();  // the position
  Choose(t);
  list.RemoveCondition();
  EXPECT_EQ(Model().Conditions.IndexOf(t), -1);
  EXPECT_EQ(frm.ChosenCondition(), nullptr);
  doc->UndoStack().undo();
  EXPECT_EQ(Model().Conditions.IndexOf(t), 2);
  // Undoing the condition's creation while it is chosen: the window forgets it.
  Choose(t);
  doc->UndoStack().setIndex(0);
  EXPECT_EQ(frm.ChosenCondition(), nullptr);
  EXPECT_TRUE(list.Shown().isEmpty());
  Click(2.0, 3.5);
  EXPECT_TRUE(Model().Positions.empty());
}

TEST_F(BoundaryConds, PipePointsAreNumberedAndReorderedByThePipeProperties) {
  frm.SetConditionType(ctPipe);
  EXPECT_EQ(frm.windowTitle(), QStringLiteral("Boundary conditions - Pipeflow"));
  EXPECT_EQ(frm.PositionKind(), pkNodal);
  TfrmPipes& pipes = *frm.PipeArrangement();
  pipes.AddPipe();
  EXPECT_EQ(script->messages.value(0),
            QStringLiteral("A pipe must be connected to a condition. Select a condition to "
                           "connect to new pipe."));
  TVemtoCondition* water = AddCondition(QStringLiteral("Water"));
  Choose(water);
  Click(2.0, 2.0);
  EXPECT_EQ(script->messages.value(1), QStringLiteral("No pipe selected"));
  script->texts.push_back(QStringLiteral("P"));
  pipes.AddPipe();
  ASSERT_EQ(pipes.Shown().size(), 1);
  TVemtoPipe* pipe = pipes.Shown()[0];
  EXPECT_EQ(pipe->PartLength, 1.0);
  EXPECT_EQ(water->RefCount, 1);
  pipes.ChooseRow(0);
  for (auto [x, y] : {std::pair{1.8, 1.1}, {2.02, 1.98}, {2.2, 2.9}}) Click(x, y);
  Click(0.0, 4.5);  // outside the section: nothing
  const std::vector<TVemtoPipePos*> points = PipePoints(Model(), pipe);
  ASSERT_EQ(points.size(), 3u);
  EXPECT_NEAR(points[1]->X, 2.0, 1e-12);
  EXPECT_NEAR(points[1]->Y, 2.0, 1e-12);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(points[std::size_t(k)]->PipeOrder, k);
  EXPECT_EQ(pipe->RefCount, 3);
  view.grab();
  EXPECT_EQ(frm.LabelTexts(), QStringList({"P 1", "P 2", "P 3"}));
  list.RemoveCondition();
  EXPECT_EQ(Model().Conditions.IndexOf(water), 0);  // its pipe holds it

  pipes.ViewPipe();
  TfrmPipeProp* prop = pipes.PipeProperties();
  ASSERT_NE(prop, nullptr);
  EXPECT_EQ(prop->Rows(), QStringList({"P 1", "P 2", "P 3"}));
  prop->findChild<QListWidget*>(QStringLiteral("lbPipeOrder"))->setCurrentRow(2);
  prop->MoveUp();
  prop->findChild<QLineEdit*>(QStringLiteral("edtPartLength"))->setText(QStringLiteral("2.5"));
  prop->accept();
  EXPECT_EQ(points[1]->PipeOrder, 2);
  EXPECT_EQ(points[2]->PipeOrder, 1);
  EXPECT_EQ(pipe->PartLength, 2.5);

  // A dialog whose pipe leaves the model closes and stores nothing.
  pipes.ViewPipe();
  QPointer<TfrmPipeProp> open = pipes.PipeProperties();
  ASSERT_TRUE(open->isVisible());
  while (Model().Pipes.Count() > 0) doc->UndoStack().undo();
  EXPECT_TRUE(open == nullptr || !open->isVisible());

  frm.SetConditionType(ctTemperature);
  EXPECT_FALSE(frm.PipeArrangement()->isVisible());
}

// Weather files read through the list's button: hours with wind, date-times without;
// damaged, truncated and missing files change nothing; each import is one undo step.
TEST_F(BoundaryConds, WeatherSeriesImportIsOneUndoStepAndBadFilesChangeNothing) {
  auto* button = list.findChild<QPushButton*>(QStringLiteral("btnImportWeather"));
  auto* air = static_cast<TVemtoTempCondition*>(AddCondition(QStringLiteral("Air")));
  EXPECT_FALSE(button->isEnabled());  // no condition chosen
  Choose(air);
  doc->Push(new ConditionEditCommand(*doc, air, QStringLiteral("Wood"), [](TVemtoCondition& c) {
    auto& t = static_cast<TVemtoTempCondition&>(c);
    t.InsulationType = std::uint8_t(InsulationKind::Wood);
    t.ThermalConductivity = 0.14;
    t.InsulationThickness = 0.02;
  }));
  ScratchFolder folder;
  auto write = [&folder](const char* name, const char* text) {
    std::ofstream(folder.Path() / name, std::ios::binary) << text;
    return folder.File(name);
  };
  auto import = [&](const QString& file) {
    script->messages.clear();
    script->weatherFiles.push_back(file);
    button->click();
    return script->messages.join('\n');
  };
  const int steps = doc->UndoStack().count();
  EXPECT_EQ(import(write("h.txt",
                         "t (h)\tair (C)\twind (m/s)\r\n0\t12\t2\r\n12\t15.5\t4\r\n24\t9\t2"
                         "\r\n")),
            QString());
  const double k = 1.0 / (1.0 / (5.6 + 3.95 * 3.0) + 0.02 / 0.14);  // mean wind 3 m/s
  EXPECT_NEAR(air->TransferCoefficient, k, 1e-12 * k);
  EXPECT_EQ(import(write("d.csv", "time,air\n2026-05-01 06:00,4\n2026-05-01T18:30,7\n")),
            QString());
  ASSERT_EQ(air->History.size(), 2u);
  EXPECT_EQ(air->History[1].Time, 12.5);
  EXPECT_EQ(air->History[1].Value1, 7.0);
  EXPECT_NEAR(air->TransferCoefficient, k, 1e-12 * k);  // no wind: kept
  for (const auto& [file, where] :
       {std::pair{write("bad.csv", "h;T;v\n0;1;2\n6;x;2\n"), QStringLiteral("bad.csv, line 3")},
        {write("cut.txt", "h\tT\tv\n0\t1\t2\n6\t1"), "cut.txt, line 3"},
        {folder.File("none.csv"), "none.csv: the file cannot be read"}})
    EXPECT_TRUE(import(file).contains(where)) << where.toStdString();
  EXPECT_EQ(doc->UndoStack().count(), steps + 2);
  EXPECT_EQ(air->History[1].Time, 12.5);
  doc->UndoStack().setIndex(steps);
  EXPECT_TRUE(air->History.empty());
  EXPECT_EQ(air->TransferCoefficient, 10.0);
}

TEST_F(BoundaryConds, FacesLaidOpenByARemovalAreHighlightedWithTheCheckWarning) {
  // The hint holds the check's warnings about exposed faces, one a line, and no other.
  TVemtoLogic logic;
  logic.CheckModel(Model());
  QStringList warnings;
  for (const std::string& w : logic.Warnings)
    if (w.find("exposed without a temperature condition") != w.npos)
      warnings << QString::fromStdString(w);
  EXPECT_EQ(warnings.size(), 4);  // wall and slab strip, on either side
  EXPECT_EQ(frm.ExposedHint().split(QLatin1Char('\n')), warnings);
  EXPECT_TRUE(frm.findChild<QLabel*>(QStringLiteral("lblExposed"))->isVisible());

  // Pointing at a highlighted face shows its warning; elsewhere no hint.
  const std::vector<TExposedFaces> faces = FindExposedFaces(Model());
  ASSERT_FALSE(faces.empty());
  const TEdge& edge = *faces[0].Edges[0];
  const QPoint on = At((edge.FirstNode()->Coord->X + edge.LastNode()->Coord->X) / 2,
                       (edge.FirstNode()->Coord->Y + edge.LastNode()->Coord->Y) / 2);
  QHelpEvent help(QEvent::ToolTip, on, view.mapToGlobal(on));
  QApplication::sendEvent(&view, &help);
  EXPECT_TRUE(QToolTip::text().startsWith(warnings[0])) << QToolTip::text().toStdString();
  EXPECT_TRUE(frm.ExposedHintAt(At(0.0, 4.5)).isEmpty());
}

// Spreadsheet text of a history: "time TAB value" rows with CR LF line ends.
QString SheetRows(double from, double to, double step, const std::function<double(double)>& v) {
  QString text;
  for (double t = from; t <= to + 1e-9; t += step)  // tolerance 1e-9 h
    text += QStringLiteral("%1\t%2\r\n").arg(t).arg(v(t));
  return text;
}

// The example's conditions rebuilt through the window: the list's handlers make them,
// the constants are set as their dialogs store them, the histories are pasted as
// spreadsheet text, and clicks place every position in the example's order. The saved
// model meshes to the example's analysis data file, byte for byte.
TEST_F(BoundaryConds, TheExampleRebuiltByClicksMeshesToTheSameAnalysisData) {
  TVemtoFile example;
  example.SetFileName(kExample);
  example.Load();
  // The daily air cycle around 15 C, lowest at 06:00, every 6 h.
  const double cycle[] = {15, 10, 15, 20};
  auto air = [&cycle](double t) { return cycle[int(std::lround(t / 6.0)) % 4]; };
  const std::map<std::string, QString> sheets = {
      {"Air", SheetRows(0, 336, 6, air)},
      {"Air after stripping", SheetRows(72, 336, 6, air)},
      {"Ground support", QStringLiteral("Time (h)\tDispl Y (m)\r\n0\t0\r\n87600\t0\r\n")},
      {"Lateral support", QStringLiteral("0\t0\r\n87600\t0\r\n")}};
  std::map<const TVemtoCondition*, TVemtoCondition*> made;  // example's -> rebuilt
  for (const auto& c : example.Conditions) {
    frm.SetConditionType(ConditionTypeOf(c.get()));
    TVemtoCondition* mine = AddCondition(QString::fromStdString(c->Name));
    ASSERT_EQ(mine->Name, c->Name);
    // "Transfer coefficient": no insulation, wind 5 m/s; "Displacement type".
    doc->Push(new ConditionEditCommand(
        *doc, mine, QStringLiteral("Constants"), [from = c.get()](TVemtoCondition& to) {
          if (auto* t = dynamic_cast<TVemtoTempCondition*>(&to)) {
            t->InsulationType = std::uint8_t(InsulationKind::None);
            t->WindVelocity = 5.0;
            t->TransferCoefficient =
                *InsulatedCoefficient(InsulationKind::None, t->ThermalConductivity,
                                      t->InsulationThickness, t->WindVelocity);
          }
          if (auto* d = dynamic_cast<TVemtoDisplCondition*>(&to))
            d->Direction = static_cast<const TVemtoDisplCondition*>(from)->Direction;
        }));
    HistoryTableModel table(*doc, mine);
    ASSERT_EQ(table.Paste(sheets.at(c->Name)), QString());
    ASSERT_EQ(mine->History.size(), c->History.size()) << c->Name;
    made[c.get()] = mine;
  }
  for (const auto& p : example.Positions) {
    const auto* e = dynamic_cast<const TVemtoEdgePos*>(p.get());
    ASSERT_NE(e, nullptr);
    TVemtoCondition* c = made[e->Condition];
    if (frm.ConditionType() != ConditionTypeOf(c)) frm.SetConditionType(ConditionTypeOf(c));
    Choose(c);
    const TNode& a = *e->Edge->FirstNode();
    const TNode& b = *e->Edge->LastNode();
    ClickEdge(a.Coord->X, a.Coord->Y, b.Coord->X, b.Coord->Y);
  }
  EXPECT_TRUE(script->messages.isEmpty()) << script->messages.join('\n').toStdString();
  ASSERT_EQ(Model().Positions.size(), example.Positions.size());
  EXPECT_TRUE(frm.ExposedHint().isEmpty());

  // Seen whole, the labels of the air conditions do not cover one another.
  frm.SetConditionType(ctTemperature);
  view.ZoomExtents();
  view.grab();
  ASSERT_EQ(frm.Labels().size(), 13u);
  for (std::size_t i = 0; i < frm.Labels().size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      EXPECT_FALSE(frm.Labels()[i]
                       .Polygon.boundingRect()
                       .adjusted(2, 2, -2, -2)
                       .intersects(frm.Labels()[j].Polygon.boundingRect()))
          << frm.LabelTexts()[int(i)].toStdString() << " over "
          << frm.LabelTexts()[int(j)].toStdString();

  ScratchFolder folder;
  const fs::path built = folder.Path() / "built.v3", original = folder.Path() / "example.v3";
  doc->SaveAs(QString::fromStdString(built.string()));
  fs::copy_file(kExample, original);
  for (const fs::path& model : {built, original}) {
    const std::string mesh = std::string(VEMTO_BIN_DIR) + "/vemto-cli mesh " + model.string() +
                             " > " + (folder.Path() / "mesh.log").string() + " 2>&1";
    ASSERT_EQ(std::system(mesh.c_str()), 0) << ReadBytes(folder.Path() / "mesh.log");
  }
  const std::string ours = ReadBytes(folder.Path() / "built.dat");
  ASSERT_FALSE(ours.empty());
  EXPECT_TRUE(ours == ReadBytes(folder.Path() / "example.dat"));
}

}  // namespace
}  // namespace vemto::test

namespace vemto::test {
namespace {

// The main window's "Boundary conditions" button opens the window bound to the model;
// the toolbar's type buttons set caption, kind and the kind buttons; the view state
// is kept from one opening to the next.
TEST(BoundaryCondsInMainWindow, ToolbarDrivesTheWindowAndTheViewIsKept) {
  ScratchFolder folder;
  Harness h{folder.Path()};
  TfrmMain& frm = *h.frm;
  frm.show();
  ASSERT_TRUE(frm.OpenModel(QString::fromLatin1(kExample)));
  auto act = [&frm](const char* name) {
    return frm.findChild<QAction*>(QString::fromLatin1(name));
  };
  act("btnBoundaryConds")->trigger();
  auto* window = qobject_cast<TfrmBoundaryConds*>(frm.ActiveDocumentWindow());
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->ConditionList()->isVisible());
  EXPECT_EQ(window->ConditionList()->Shown().size(), 2);  // the two air conditions
  act("btnPipe")->trigger();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Boundary conditions - Pipeflow"));
  EXPECT_TRUE(act("btnNodal")->isChecked());
  EXPECT_FALSE(act("btnEdge")->isEnabled());
  act("btnDisplacement")->trigger();
  EXPECT_EQ(window->PositionKind(), pkEdge);
  EXPECT_TRUE(act("btnEdge")->isEnabled());
  EXPECT_FALSE(act("btnSurface")->isEnabled());
  EXPECT_EQ(window->ConditionList()->windowTitle(), QStringLiteral("Conditions - Displacement"));
  window->View()->SetScale(123.0);
  act("btnBoundaryConds")->trigger();  // off
  EXPECT_TRUE(WaitUntil([&frm] {
    return frm.ActiveDocumentWindow() == nullptr ||
           !qobject_cast<TfrmBoundaryConds*>(frm.ActiveDocumentWindow());
  }));
  act("btnBoundaryConds")->trigger();  // on again by the button: the saved view
  window = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    window = qobject_cast<TfrmBoundaryConds*>(frm.ActiveDocumentWindow());
    return window != nullptr;
  }));
  EXPECT_EQ(window->View()->Scale(), 123.0);
  EXPECT_EQ(window->ConditionType(), ctDisplacement);  // the toolbar's type
  h.dialogs->saveChanges.push_back(TAnswer::No);
  EXPECT_TRUE(frm.CloseModel());
}

}  // namespace
}  // namespace vemto::test
