// The main window's command flow: new, open, save, save as, close and exit with the
// save question, the enabled states, the status panels, the material library and the
// toolbar layout.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTableView>
#include <QToolBar>
#include <clocale>
#include <cstring>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "DocumentCommands.h"
#include "NumberLocale.h"
#include "TfrmGeometry.h"
#include "VemtoFile.h"

namespace vemto::test {
namespace {

QAction* Act(TfrmMain& frm, const char* name) {
  auto* action = frm.findChild<QAction*>(QString::fromLatin1(name));
  EXPECT_NE(action, nullptr) << name;
  return action;
}

bool MenuEnabled(TfrmMain& frm, const char* name) {
  auto* menu = frm.findChild<QMenu*>(QString::fromLatin1(name));
  EXPECT_NE(menu, nullptr) << name;
  return menu->menuAction()->isEnabled();
}

QToolBar* Bar(TfrmMain& frm, const char* name) {
  auto* bar = frm.findChild<QToolBar*>(QString::fromLatin1(name));
  EXPECT_NE(bar, nullptr) << name;
  return bar;
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// An edit of the open model through its undo stack: the first interval's end time.
void EditEndTime(TfrmMain& frm, double hours) {
  ProjectDocument* doc = frm.Document();
  ASSERT_NE(doc, nullptr);
  doc->Push(new SetValueCommand<double>(*doc, doc->Model().Intervals.at(0)->EndTime, hours,
                                        ObjectKind::Interval, doc->Model().Intervals.at(0).get(),
                                        QStringLiteral("End time")));
}

class CommandFlow : public ::testing::Test {
 protected:
  ScratchFolder folder;
  Harness h{folder.Path()};
  TfrmMain& frm = *h.frm;
};

TEST_F(CommandFlow, StartsWithoutModelAndEveryMenuItemAndButtonCarriesItsHint) {
  EXPECT_EQ(frm.windowTitle(), QStringLiteral("Vemto 3.1[*]"));
  EXPECT_FALSE(frm.isWindowModified());
  EXPECT_EQ(frm.Model(), nullptr);
  EXPECT_TRUE(frm.ModelName().isEmpty());
  for (const char* menu : {"mnuInput", "mnuCalc", "mnuResults", "mnuEdit", "mnuWindow"})
    EXPECT_FALSE(MenuEnabled(frm, menu)) << menu;
  EXPECT_TRUE(MenuEnabled(frm, "mnuFile"));
  for (const char* name : {"mnuFileSave", "mnuFileSaveAs", "mnuFileClose", "btnFileSave", "btnCopy",
                           "btnGeomDelete", "mnuEditCopy", "mnuCalcExecute"})
    EXPECT_FALSE(Act(frm, name)->isEnabled()) << name;
  for (const char* name : {"mnuFileNew", "mnuFileOpen", "mnuFileExit", "btnFileNew", "btnFileOpen"})
    EXPECT_TRUE(Act(frm, name)->isEnabled()) << name;
  for (const char* bar :
       {"Vemto", "View", "Geometry", "Boundary Conditions", "Results", "Coordinates"})
    EXPECT_TRUE(Bar(frm, bar)->isHidden()) << bar;
  EXPECT_FALSE(Bar(frm, "Standard")->isHidden());

  EXPECT_EQ(Act(frm, "mnuFileNew")->statusTip(), QStringLiteral("Testing Testing"));
  EXPECT_EQ(Act(frm, "mnuFileOpen")->statusTip(), QStringLiteral("Open vemto model"));
  EXPECT_EQ(Act(frm, "mnuCalcExecute")->statusTip(), QStringLiteral("Executes calculation"));
  EXPECT_EQ(Act(frm, "mnuWindowTile")->statusTip(),
            QStringLiteral("Orders windows without overlap"));
  EXPECT_EQ(frm.findChild<QMenu*>(QStringLiteral("mnuFile"))->menuAction()->statusTip(),
            QStringLiteral("Create a new vemto model"));
  EXPECT_EQ(Act(frm, "btnCalcExecute")->toolTip(), QStringLiteral("Execute calculation"));
  EXPECT_EQ(Act(frm, "btnRectMax")->toolTip(), QStringLiteral("Max value in rectangle"));
  EXPECT_EQ(Bar(frm, "Boundary Conditions")->parentWidget(), &frm);
  EXPECT_EQ(frm.toolBarArea(Bar(frm, "Boundary Conditions")), Qt::LeftToolBarArea);

  // Toggle groups and initial down states.
  EXPECT_TRUE(Act(frm, "btnTemperature")->isChecked());
  Act(frm, "btnPipe")->trigger();
  EXPECT_TRUE(Act(frm, "btnPipe")->isChecked());
  EXPECT_FALSE(Act(frm, "btnTemperature")->isChecked());
  EXPECT_TRUE(Act(frm, "btnEdge")->isChecked());
  EXPECT_TRUE(Act(frm, "btnGeomGrid")->isChecked());
  EXPECT_TRUE(Act(frm, "btnGeomSnap")->isChecked());
  Act(frm, "btnGeomCurve")->trigger();
  EXPECT_FALSE(Act(frm, "btnGeomSelect")->isChecked());

  // A hint reaches status panel 1 only; panel 0 keeps the model name.
  Act(frm, "mnuFileNew")->trigger();
  // The pointer over a toolbar button: its hint travels up from the button.
  QWidget* button = Bar(frm, "Vemto")->widgetForAction(Act(frm, "btnCalcExecute"));
  ASSERT_NE(button, nullptr);
  QStatusTipEvent tip(Act(frm, "btnCalcExecute")->statusTip());
  QApplication::sendEvent(button, &tip);
  EXPECT_EQ(frm.StatusPanelText(1), QStringLiteral("Execute calculation"));
  EXPECT_EQ(frm.StatusPanelText(0), QStringLiteral("Modelname : New model"));
}

TEST_F(CommandFlow, NewSaveAsCloseAndOpenKeepTheModelAndTheStates) {
  Act(frm, "mnuFileNew")->trigger();
  ASSERT_NE(frm.Model(), nullptr);
  EXPECT_EQ(frm.ModelName(), QStringLiteral("New model"));
  for (const char* menu : {"mnuInput", "mnuCalc", "mnuResults", "mnuEdit", "mnuWindow"})
    EXPECT_TRUE(MenuEnabled(frm, menu)) << menu;
  for (const char* name : {"mnuFileSave", "mnuFileSaveAs", "mnuFileClose", "btnFileSave",
                           "btnGeomDelete", "mnuCalcExecute", "btnCalcExecute"})
    EXPECT_TRUE(Act(frm, name)->isEnabled()) << name;
  // The geometry window opened with the model is active: it serves Copy and the view.
  ASSERT_NE(frm.GeometryWindow(), nullptr);
  EXPECT_EQ(frm.ActiveDocumentWindow(), static_cast<TfrmDocument*>(frm.GeometryWindow()));
  EXPECT_TRUE(Act(frm, "btnCopy")->isEnabled());
  EXPECT_TRUE(Act(frm, "btnViewZoomIn")->isEnabled());
  EXPECT_FALSE(Bar(frm, "Geometry")->isHidden());
  EXPECT_FALSE(Bar(frm, "Vemto")->isHidden());
  EXPECT_TRUE(Act(frm, "mnuInputGeometry")->isChecked());
  EXPECT_TRUE(Act(frm, "btnGeometry")->isChecked());
  EXPECT_TRUE(frm.DocumentWindowOn(TDocumentWindow::Geometry));

  // The menu check mark and the button follow each other.
  Act(frm, "btnMaterials")->trigger();
  EXPECT_TRUE(Act(frm, "mnuInputMaterials")->isChecked());
  Act(frm, "mnuInputMaterials")->trigger();
  EXPECT_FALSE(Act(frm, "btnMaterials")->isChecked());

  EditEndTime(frm, 72.0);
  EXPECT_TRUE(frm.isWindowModified());
  const QString name = folder.File("wall.v3");
  h.dialogs->saveNames.push_back(name);
  Act(frm, "mnuFileSaveAs")->trigger();
  EXPECT_EQ(frm.ModelName(), name);
  EXPECT_EQ(frm.StatusPanelText(0), QStringLiteral("Modelname : wall.v3"));
  EXPECT_TRUE(QFileInfo::exists(name));
  EXPECT_FALSE(frm.isWindowModified());

  // Undo reaches back before the save: the model differs from its file again.
  Act(frm, "mnuEditUndo")->trigger();
  EXPECT_NE(frm.Model()->Intervals.at(0)->EndTime, 72.0);
  EXPECT_TRUE(frm.isWindowModified());
  Act(frm, "mnuEditRedo")->trigger();
  EXPECT_FALSE(frm.isWindowModified());
  EditEndTime(frm, 24.0);
  h.dialogs->saveChanges.push_back(TAnswer::No);
  Act(frm, "mnuFileClose")->trigger();
  EXPECT_EQ(h.dialogs->saveChangesAsked, 1);
  EXPECT_EQ(frm.Model(), nullptr);
  EXPECT_TRUE(frm.StatusPanelText(0).isEmpty());
  EXPECT_TRUE(Bar(frm, "Vemto")->isHidden());
  EXPECT_FALSE(Act(frm, "mnuInputGeometry")->isChecked());
  EXPECT_FALSE(Act(frm, "mnuFileSave")->isEnabled());

  h.dialogs->openNames.push_back(name);
  Act(frm, "btnFileOpen")->trigger();
  ASSERT_NE(frm.Model(), nullptr);
  EXPECT_EQ(frm.Model()->Intervals.at(0)->EndTime, 72.0);  // exact: stored as 8 bytes
  EXPECT_EQ(h.dialogs->saveChangesAsked, 1);               // nothing was open: no question
}

TEST_F(CommandFlow, SaveQuestionCancelKeepsTheModelAndYesSavesIt) {
  const QString name = folder.File("slab.v3");
  WriteEmptyModel(name);
  ASSERT_TRUE(frm.OpenModel(name));
  EditEndTime(frm, 48.0);

  h.dialogs->saveChanges.push_back(TAnswer::Cancel);
  Act(frm, "mnuFileNew")->trigger();
  EXPECT_EQ(frm.ModelName(), name);
  ASSERT_NE(frm.Model(), nullptr);

  h.dialogs->saveChanges.push_back(TAnswer::Yes);
  Act(frm, "mnuFileNew")->trigger();
  EXPECT_EQ(frm.ModelName(), QStringLiteral("New model"));
  TVemtoFile reread;
  reread.SetFileName(name.toStdString());
  reread.Load();
  EXPECT_EQ(reread.Intervals.at(0)->EndTime, 48.0);  // exact: stored as 8 bytes
}

TEST_F(CommandFlow, SavingANewModelAsksForANameAndCancelKeepsNewModel) {
  Act(frm, "mnuFileNew")->trigger();
  Act(frm, "btnFileSave")->trigger();  // the dialog is cancelled
  EXPECT_EQ(frm.ModelName(), QStringLiteral("New model"));
  EXPECT_TRUE(h.dialogs->messages.isEmpty());
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()) ||
              !std::filesystem::exists(folder.Path() / "New model"));

  h.dialogs->saveNames.push_back(folder.File("named.v3"));
  Act(frm, "mnuFileSave")->trigger();
  EXPECT_EQ(frm.ModelName(), folder.File("named.v3"));
  // Save as is prefilled with the current name.
  Act(frm, "mnuFileSaveAs")->trigger();
  EXPECT_EQ(h.dialogs->lastSavePrefill, folder.File("named.v3"));
}

TEST_F(CommandFlow, SavingAModelNamedMaterialsDbReloadsTheMaterialLibrary) {
  const QString name = folder.File("sub/Materials.DB");
  std::filesystem::create_directories(folder.Path() / "sub");
  WriteEmptyModel(name);
  ASSERT_TRUE(frm.OpenModel(name));
  frm.Model()->Intervals.at(0)->EndTime = 99.0;
  EXPECT_NE(frm.MaterialLibrary().Intervals.at(0)->EndTime, 99.0);
  Act(frm, "mnuFileSave")->trigger();
  EXPECT_EQ(frm.MaterialLibrary().Intervals.at(0)->EndTime, 99.0);  // exact copy
}

TEST_F(CommandFlow, ADamagedProjectFileIsReportedWithItsNameAndNothingOpens) {
  const QString name = folder.File("broken.v3");
  std::ofstream(name.toStdString(), std::ios::binary) << "not a compound file at all";
  h.dialogs->openNames.push_back(name);
  Act(frm, "mnuFileOpen")->trigger();
  EXPECT_EQ(frm.Model(), nullptr);
  ASSERT_EQ(h.dialogs->messages.size(), 1);
  EXPECT_TRUE(h.dialogs->messages[0].contains(QStringLiteral("broken.v3")))
      << h.dialogs->messages[0].toStdString();
  EXPECT_FALSE(Act(frm, "mnuFileSave")->isEnabled());

  // A truncated copy of a good file is refused as well.
  const QString good = folder.File("good.v3");
  WriteEmptyModel(good);
  std::string bytes = ReadAll(good.toStdString());
  std::ofstream(name.toStdString(), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
  EXPECT_FALSE(frm.OpenModel(name));
  EXPECT_EQ(frm.Model(), nullptr);
}

TEST_F(CommandFlow, AFailedSaveIsReportedAndKeepsNameAndModel) {
  Act(frm, "mnuFileNew")->trigger();
  EditEndTime(frm, 12.0);
  const QString unreachable = folder.File("no/such/folder/wall.v3");
  h.dialogs->saveNames.push_back(unreachable);
  Act(frm, "mnuFileSaveAs")->trigger();
  EXPECT_EQ(frm.ModelName(), QStringLiteral("New model"));
  EXPECT_EQ(frm.StatusPanelText(0), QStringLiteral("Modelname : New model"));
  ASSERT_EQ(h.dialogs->messages.size(), 1);
  EXPECT_TRUE(h.dialogs->messages[0].contains(QStringLiteral("wall.v3")));

  // Yes at the save question with a save that does not happen keeps the model open.
  h.dialogs->saveChanges.push_back(TAnswer::Yes);  // then the name dialog is cancelled
  Act(frm, "mnuFileClose")->trigger();
  EXPECT_NE(frm.Model(), nullptr);
  EXPECT_EQ(frm.ModelName(), QStringLiteral("New model"));
}

TEST_F(CommandFlow, ShowResultsWithoutResultDatabaseShowsTheMessageOnly) {
  const QString name = folder.File("fresh.v3");
  WriteEmptyModel(name);
  ASSERT_TRUE(frm.OpenModel(name));
  Act(frm, "mnuResultsShow")->trigger();
  ASSERT_EQ(h.dialogs->messages.size(), 1);
  EXPECT_EQ(h.dialogs->messages[0],
            QStringLiteral("No result file found. Try running the calculation again."));
  EXPECT_FALSE(frm.DocumentWindowOn(TDocumentWindow::Result));
  std::ofstream((folder.Path() / "fresh.out").string()) << "x";
  Act(frm, "btnResults")->trigger();
  EXPECT_EQ(h.dialogs->messages.size(), 1);
  EXPECT_TRUE(frm.DocumentWindowOn(TDocumentWindow::Result));
}

TEST_F(CommandFlow, TheGeometryButtonRestoresTheViewAndTheMenuItemStartsAfresh) {
  Act(frm, "mnuFileNew")->trigger();
  ASSERT_NE(frm.GeometryWindow(), nullptr);
  TFemView2D* view = frm.GeometryWindow()->View();
  view->SetOrigo(4.5, -2.0);
  view->SetScale(20.0);
  Act(frm, "btnGeomGrid")->trigger();  // the grid off, through the View toolbar
  EXPECT_FALSE(view->Options().DrawGrid);
  Act(frm, "btnGeometry")->trigger();
  EXPECT_EQ(frm.GeometryWindow(), nullptr);
  EXPECT_FALSE(Act(frm, "mnuInputGeometry")->isChecked());
  EXPECT_TRUE(Bar(frm, "Geometry")->isHidden());
  EXPECT_FALSE(Act(frm, "btnCopy")->isEnabled());

  Act(frm, "btnGeometry")->trigger();
  ASSERT_NE(frm.GeometryWindow(), nullptr);
  view = frm.GeometryWindow()->View();
  EXPECT_EQ(view->OrigoX(), 4.5);  // exact: the saved bytes
  EXPECT_EQ(view->Scale(), 20.0);
  EXPECT_FALSE(view->Options().DrawGrid);
  EXPECT_FALSE(Act(frm, "btnGeomGrid")->isChecked());

  Act(frm, "mnuInputGeometry")->trigger();
  Act(frm, "mnuInputGeometry")->trigger();
  EXPECT_EQ(frm.GeometryWindow()->View()->OrigoX(), -1.0);
  // Its edit mode follows the Geometry toolbar.
  Act(frm, "btnGeomNode")->trigger();
  EXPECT_EQ(frm.GeometryWindow()->EditMode(), emCreateNode);
}

TEST_F(CommandFlow, AnUntouchedModelClosesWithoutTheSaveQuestion) {
  const QString name = folder.File("calm.v3");
  WriteEmptyModel(name);
  ASSERT_TRUE(frm.OpenModel(name));
  Act(frm, "mnuFileNew")->trigger();
  EXPECT_EQ(frm.ModelName(), QStringLiteral("New model"));
  EditEndTime(frm, 10.0);
  Act(frm, "mnuEditUndo")->trigger();  // back at the state of the file
  Act(frm, "mnuFileClose")->trigger();
  EXPECT_EQ(h.dialogs->saveChangesAsked, 0);
  EXPECT_EQ(frm.Model(), nullptr);
}

TEST_F(CommandFlow, ExitAsksTheSaveQuestionAndCancelKeepsTheWindowOpen) {
  Act(frm, "mnuFileNew")->trigger();
  EditEndTime(frm, 36.0);
  frm.show();
  h.dialogs->saveChanges.push_back(TAnswer::Cancel);
  Act(frm, "mnuFileExit")->trigger();
  EXPECT_TRUE(frm.isVisible());
  EXPECT_NE(frm.Model(), nullptr);
  h.dialogs->saveChanges.push_back(TAnswer::No);
  EXPECT_TRUE(frm.close());  // closing the window asks as Exit does
  EXPECT_EQ(h.dialogs->saveChangesAsked, 2);
  EXPECT_EQ(frm.Model(), nullptr);
}

// Rows picked in the curve table are the geometry window's selection too; leaving the
// program destroys the model while that window is still waiting for its deletion. The
// window must drop the selection quietly rather than write it into the dying document
// (heap corruption at File > Exit).
TEST_F(CommandFlow, ExitWithCurvesSelectedInTheTableLeavesTheDyingModelAlone) {
  const QString name = folder.File("wall_on_slab.v3");
  ASSERT_TRUE(QFile::copy(QStringLiteral(VEMTO_SOURCE_DIR "/examples/wall_on_slab.v3"), name));
  ASSERT_TRUE(frm.OpenModel(name));
  frm.show();
  ASSERT_NE(frm.GeometryWindow(), nullptr);
  QPointer<TFemView2D> view = frm.GeometryWindow()->View();
  Act(frm, "mnuTopologyCurves")->trigger();
  auto* table = frm.findChild<QTableView*>(QStringLiteral("grdTopology"));
  ASSERT_NE(table, nullptr);
  table->selectionModel()->select(table->model()->index(0, 0),
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  table->window()->close();
  ASSERT_EQ(view->SelectedEdges().size(), 1);
  QSignalSpy edited(view.data(), &TFemView2D::selectionEdited);
  Act(frm, "mnuFileExit")->trigger();
  EXPECT_EQ(frm.Model(), nullptr);
  ASSERT_FALSE(view.isNull());  // deleted by the event loop, after the model
  EXPECT_EQ(edited.count(), 0);
  EXPECT_TRUE(view->SelectedEdges().isEmpty());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(view.isNull());
}

TEST(MaterialLibrary, IsWrittenBackAtExitButADamagedOneIsNeverOverwritten) {
  ScratchFolder folder;
  {
    Harness h(folder.Path());
    h.frm->show();
    EXPECT_TRUE(h.frm->close());
  }
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "materials.db"));

  const std::filesystem::path library = folder.Path() / "materials.db";
  { std::ofstream(library, std::ios::binary | std::ios::trunc) << "damaged library"; }
  {
    Harness h(folder.Path());
    ASSERT_EQ(h.dialogs->messages.size(), 1);
    EXPECT_TRUE(h.dialogs->messages[0].contains(QStringLiteral("materials.db")));
    h.frm->show();
    EXPECT_TRUE(h.frm->close());
  }
  EXPECT_EQ(ReadAll(library), "damaged library");
}

TEST(ToolbarLayout, IsSavedAtExitAndRestoredAtStart) {
  ScratchFolder folder;
  {
    Harness h(folder.Path());
    TfrmMain& frm = *h.frm;
    auto* standard = frm.findChild<QToolBar*>(QStringLiteral("Standard"));
    frm.addToolBar(Qt::RightToolBarArea, standard);
    frm.show();
    EXPECT_TRUE(frm.close());
  }
  Harness h(folder.Path());
  auto* standard = h.frm->findChild<QToolBar*>(QStringLiteral("Standard"));
  EXPECT_EQ(h.frm->toolBarArea(standard), Qt::RightToolBarArea);
  // Toolbars that belong to document windows stay hidden at start.
  EXPECT_TRUE(h.frm->findChild<QToolBar*>(QStringLiteral("Geometry"))->isHidden());
}

TEST(Locale, NumbersUseADotWhateverTheEnvironmentSays) {
  // A locale with a decimal comma, where the system has one.
  const bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  QLocale::setDefault(QLocale(QLocale::German));
  UseDotDecimalSeparator();  // what the program's main does
  EXPECT_STREQ(std::localeconv()->decimal_point, ".") << "german locale present: " << german;
  EXPECT_EQ(QLocale().decimalPoint(), QStringLiteral("."));
  EXPECT_EQ(QLocale().toString(2.5), QStringLiteral("2.5"));
}

}  // namespace
}  // namespace vemto::test
