// The calculation run from the main window: model check, meshing, the engine on its
// worker thread with progress, pause, resume, cancel and the forced stop, and the
// unattended mode.
#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "PeripheralWindows.h"
#include "TfrmEngine.h"
#include "TfrmMesh.h"
#include "TfrmShutdown.h"
#include "VemtoEngine.h"
#include "VemtoFile.h"

namespace vemto::test {
namespace {

using std::chrono::milliseconds;

QAction* Act(TfrmMain& frm, const char* name) {
  auto* action = frm.findChild<QAction*>(QString::fromLatin1(name));
  EXPECT_NE(action, nullptr) << name;
  return action;
}

QString PanelText(QWidget* window, const char* name) {
  auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
  EXPECT_NE(label, nullptr) << name;
  return label != nullptr ? label->text() : QString();
}

void Click(QWidget* window, const char* name) {
  auto* button = window->findChild<QPushButton*>(QString::fromLatin1(name));
  ASSERT_NE(button, nullptr) << name;
  ASSERT_TRUE(button->isEnabled()) << name;
  button->click();
}

class Run : public ::testing::Test {
 protected:
  explicit Run(milliseconds shutdown = milliseconds(25000)) : h(folder.Path(), shutdown) {}
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(VEMTO_BIN_DIR) /
                                        "libdrivers_standin_engine.so"))
        << "the stand-in engine library is built with the driver tests";
  }
  void OpenModel() {
    model = folder.File("run.v3");
    WriteEmptyModel(model);
    ASSERT_TRUE(frm.OpenModel(model));
    frm.show();
  }
  bool Idle() { return !frm.Running(); }
  std::filesystem::path FileOf(const char* extension) {
    return folder.Path() / (std::string("run") + extension);
  }

  ScratchFolder folder;
  Harness h;
  TfrmMain& frm = *h.frm;
  QString model;
};

TEST_F(Run, ExecuteRunsToCompletionWithStepCountAndReenablesTheCommands) {
  OpenModel();
  frm.Model()->Intervals.at(0)->EndTime = 12.0;  // 6 steps of 2 h
  h.steps->dataFileLine = "run 6 2";
  Act(frm, "btnCalcExecute")->trigger();
  EXPECT_TRUE(frm.Running());
  for (const char* name : {"mnuCalcExecute", "btnCalcExecute", "mnuResultsShow", "btnResults"})
    EXPECT_FALSE(Act(frm, name)->isEnabled()) << name;
  EXPECT_TRUE(frm.EngineWindow()->isVisible());
  auto* bar = frm.EngineWindow()->findChild<QProgressBar*>(QStringLiteral("prgProcessing"));
  EXPECT_EQ(bar->maximum(), 6);

  // A second run cannot start while one runs.
  Act(frm, "mnuCalcExecute")->trigger();
  EXPECT_EQ(h.steps->meshRuns, 1);
  // Escape and a close request leave the progress window where it is.
  QTest::keyClick(frm.EngineWindow(), Qt::Key_Escape);
  EXPECT_FALSE(frm.EngineWindow()->close());
  EXPECT_TRUE(frm.EngineWindow()->isVisible());

  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_TRUE(frm.LastRunSucceeded());
  EXPECT_FALSE(frm.EngineWindow()->isVisible());
  EXPECT_FALSE(frm.MeshWindow()->isVisible());
  EXPECT_EQ(PanelText(frm.EngineWindow(), "pnlStep"), QStringLiteral("Step : 6"));
  EXPECT_EQ(PanelText(frm.EngineWindow(), "pnlInfoText"), QStringLiteral("CALCULATION DONE"));
  EXPECT_EQ(h.steps->lastDataFile, FileOf(".dat").string());
  EXPECT_TRUE(std::filesystem::exists(FileOf(".out")));
  for (const char* name : {"mnuCalcExecute", "btnCalcExecute", "mnuResultsShow", "btnResults"})
    EXPECT_TRUE(Act(frm, name)->isEnabled()) << name;
  EXPECT_TRUE(h.dialogs->messages.isEmpty());
  EXPECT_EQ(h.dialogs->checkShown, 0);  // the check found nothing to say
  EXPECT_GT(frm.EngineWindow()->HandledMessages(), 6);
  // The run's timing goes to the debug output window.
  EXPECT_TRUE(
      frm.DebugWindow()->Text().contains(QStringLiteral("messages handled on the main thread")));
}

TEST_F(Run, TheWindowsRunIsTheCalculationRunItWasGivenAndItsStatesFollowTheRun) {
  OpenModel();
  ASSERT_EQ(&frm.CalculationRun(), h.run);
  EXPECT_EQ(h.run->Phase(), TRunPhase::Idle);
  h.steps->dataFileLine = "run 6 2";
  std::vector<TRunPhase> phases;
  h.steps->duringMesh = [&] { phases.push_back(h.run->Phase()); };
  Act(frm, "mnuCalcExecute")->trigger();
  // The worker cannot get past its first message before this thread handles it.
  EXPECT_EQ(h.run->Phase(), TRunPhase::Engine);
  EXPECT_TRUE(h.run->Running());
  EXPECT_TRUE(frm.Running());
  EXPECT_EQ(frm.Engine(), h.run->Engine());
  ASSERT_NE(frm.Engine(), nullptr);
  EXPECT_TRUE(frm.Engine()->Running());
  EXPECT_EQ(phases, std::vector<TRunPhase>{TRunPhase::Mesh});
  EXPECT_FALSE(frm.MeshWindow()->isVisible());
  EXPECT_TRUE(frm.EngineWindow()->isVisible());

  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_FALSE(h.run->Running());
  EXPECT_FALSE(frm.Engine()->Running());
  EXPECT_TRUE(h.run->Result().Succeeded);
  EXPECT_EQ(h.run->Result().Stage, TRunStage::Done);
  EXPECT_TRUE(frm.LastRunSucceeded());
  EXPECT_FALSE(frm.EngineWindow()->isVisible());
  EXPECT_EQ(frm.Engine()->Position(), 6);

  // A second run uses the same run and engine component.
  TVemtoEngine* engine = frm.Engine();
  Act(frm, "mnuCalcExecute")->trigger();
  EXPECT_EQ(frm.Engine(), engine);
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_EQ(h.steps->meshRuns, 2);
  EXPECT_TRUE(h.run->Result().Succeeded);
}

TEST_F(Run, ModelCheckDialogListsBothListsAndCancelStopsBeforeMeshing) {
  OpenModel();
  h.steps->check.Warnings = {"No boundary conditions defined."};
  h.dialogs->continueCheck = false;
  Act(frm, "mnuCalcExecute")->trigger();
  EXPECT_EQ(h.dialogs->checkShown, 1);
  EXPECT_EQ(h.dialogs->checkWarnings,
            QStringList{QStringLiteral("No boundary conditions defined.")});
  EXPECT_TRUE(h.dialogs->checkErrors.isEmpty());
  EXPECT_EQ(h.steps->meshRuns, 0);
  EXPECT_FALSE(frm.Running());
  EXPECT_EQ(h.run->Result().Stage, TRunStage::Check);
  EXPECT_TRUE(Act(frm, "mnuCalcExecute")->isEnabled());
  EXPECT_TRUE(Act(frm, "mnuResultsShow")->isEnabled());

  // Continue goes on even with errors listed.
  h.steps->check.Errors = {"No surfaces defined."};
  h.dialogs->continueCheck = true;
  Act(frm, "mnuCalcExecute")->trigger();
  EXPECT_EQ(h.steps->meshRuns, 1);
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_TRUE(frm.LastRunSucceeded());
}

TEST_F(Run, ExecuteOnANeverSavedModelAsksForAFileNameFirst) {
  frm.OpenModel(QStringLiteral("New model"));
  Act(frm, "mnuCalcExecute")->trigger();  // name dialog cancelled
  EXPECT_EQ(h.steps->meshRuns, 0);
  EXPECT_FALSE(frm.Running());
  h.dialogs->saveNames.push_back(folder.File("named.v3"));
  Act(frm, "mnuCalcExecute")->trigger();
  EXPECT_EQ(h.steps->lastDataFile, (folder.Path() / "named.dat").string());
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
}

TEST_F(Run, MesherErrorsAreShownAndTheEngineDoesNotStart) {
  OpenModel();
  h.steps->meshFails = true;
  Act(frm, "mnuCalcExecute")->trigger();
  EXPECT_FALSE(frm.Running());
  EXPECT_EQ(frm.Engine(), nullptr);
  ASSERT_EQ(h.dialogs->messages.size(), 1);
  EXPECT_EQ(h.dialogs->messages[0], QStringLiteral("MESH ERROR : SUPERELEMENT 1 HAS NO NODES"));

  h.steps->meshErrorNumber = 2001;
  Act(frm, "mnuCalcExecute")->trigger();
  ASSERT_EQ(h.dialogs->messages.size(), 2);
  EXPECT_EQ(h.dialogs->messages[1], QStringLiteral("Max 1000 points allowed in boundary history."));

  // A conversion problem is shown as it is.
  h.steps->meshErrorNumber = 0;
  h.steps->meshErrorText = "Element 2 has not been assigned a material.";
  Act(frm, "mnuCalcExecute")->trigger();
  ASSERT_EQ(h.dialogs->messages.size(), 3);
  EXPECT_EQ(h.dialogs->messages[2], QStringLiteral("Element 2 has not been assigned a material."));
  EXPECT_TRUE(Act(frm, "mnuCalcExecute")->isEnabled());
}

TEST_F(Run, EngineErrorsAreShownWithTheEngineText) {
  OpenModel();
  h.steps->dataFileLine = "error";
  Act(frm, "mnuCalcExecute")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Idle() && !h.dialogs->messages.isEmpty(); }));
  EXPECT_FALSE(frm.LastRunSucceeded());
  ASSERT_EQ(h.dialogs->messages.size(), 1);
  EXPECT_EQ(h.dialogs->messages[0],
            QStringLiteral("ENGINE ERROR : ELEMENT     3 HAS A NON-POSITIVE JACOBIAN"));
}

TEST_F(Run, PauseHoldsTheWorkerAndResumeLetsItFinish) {
  OpenModel();
  h.steps->dataFileLine = "run 60 5";
  Act(frm, "mnuCalcExecute")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return frm.Engine()->Position() >= 3; }));
  Click(frm.EngineWindow(), "btnPause");
  EXPECT_FALSE(
      frm.EngineWindow()->findChild<QPushButton*>(QStringLiteral("btnPause"))->isEnabled());
  EXPECT_TRUE(frm.Engine()->Paused());
  EXPECT_TRUE(h.run->Paused());
  WaitUntil([] { return false; }, milliseconds(300));  // let a step in flight arrive
  const std::int32_t held = frm.Engine()->Position();
  WaitUntil([] { return false; }, milliseconds(150));
  EXPECT_EQ(frm.Engine()->Position(), held);
  EXPECT_TRUE(frm.Running());
  Click(frm.EngineWindow(), "btnResume");
  EXPECT_FALSE(
      frm.EngineWindow()->findChild<QPushButton*>(QStringLiteral("btnResume"))->isEnabled());
  EXPECT_FALSE(h.run->Paused());
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_TRUE(frm.LastRunSucceeded());
  EXPECT_EQ(frm.Engine()->Position(), 60);
}

TEST_F(Run, CancelWithinTheTimeoutEndsTheRunAndKeepsTheFiles) {
  OpenModel();
  h.steps->dataFileLine = "run 100000 2";
  Act(frm, "mnuCalcExecute")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return frm.Engine()->Position() >= 2; }));
  Click(frm.EngineWindow(), "btnCancel");
  EXPECT_TRUE(frm.ShutdownWindow()->isVisible());
  EXPECT_TRUE(h.run->Cancelling());
  EXPECT_TRUE(frm.Running());  // until the run has taken over the worker's end
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }));
  EXPECT_FALSE(frm.ShutdownWindow()->isVisible());
  EXPECT_FALSE(frm.EngineWindow()->isVisible());
  EXPECT_FALSE(frm.Engine()->ForcedShutdown());
  EXPECT_FALSE(frm.LastRunSucceeded());
  EXPECT_EQ(h.run->Result().Stage, TRunStage::Engine);
  EXPECT_TRUE(h.run->Result().Cancelled);
  EXPECT_FALSE(h.run->Result().ForcedShutdown);
  EXPECT_TRUE(std::filesystem::exists(FileOf(".dat")));
  EXPECT_TRUE(std::filesystem::exists(FileOf(".out")));
  EXPECT_TRUE(h.dialogs->messages.isEmpty());
  EXPECT_TRUE(Act(frm, "btnCalcExecute")->isEnabled());
}

TEST_F(Run, NewDuringARunAsksToCancelItAndNoKeepsItRunning) {
  OpenModel();
  h.steps->dataFileLine = "run 100000 2";
  Act(frm, "mnuCalcExecute")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return frm.Engine()->Position() >= 1; }));
  h.dialogs->yesNo.push_back(false);
  Act(frm, "mnuFileNew")->trigger();
  EXPECT_EQ(h.dialogs->questions.size(), 1);
  EXPECT_TRUE(frm.Running());
  EXPECT_EQ(frm.ModelName(), model);

  h.dialogs->yesNo.push_back(true);
  h.dialogs->saveChanges.push_back(TAnswer::No);
  Act(frm, "mnuFileNew")->trigger();
  EXPECT_FALSE(frm.Running());
  EXPECT_EQ(frm.ModelName(), QStringLiteral("New model"));
}

TEST_F(Run, CancellingTheMesherStopsTheRunBeforeTheEngine) {
  OpenModel();
  h.steps->duringMesh = [&] {
    EXPECT_TRUE(frm.MeshWindow()->isVisible());
    EXPECT_EQ(frm.MeshWindow()->InfoText(), QStringLiteral("READING INPUT"));
    Click(frm.MeshWindow(), "btnCancel");
  };
  Act(frm, "mnuCalcExecute")->trigger();
  EXPECT_EQ(h.steps->meshCancels, 1);
  EXPECT_FALSE(frm.Running());
  EXPECT_EQ(frm.Engine(), nullptr);  // the data file of a cancelled mesher run is not used
  EXPECT_FALSE(frm.MeshWindow()->isVisible());
  EXPECT_EQ(h.run->Result().Stage, TRunStage::Mesh);
  EXPECT_TRUE(h.run->Result().Cancelled);
  EXPECT_TRUE(h.dialogs->messages.isEmpty());  // the user asked for it: no message
  EXPECT_TRUE(Act(frm, "mnuCalcExecute")->isEnabled());
}

TEST_F(Run, ClosingTheWindowDuringARunCancelsItWhenConfirmed) {
  OpenModel();
  h.steps->dataFileLine = "run 100000 2";
  Act(frm, "mnuCalcExecute")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return frm.Engine()->Position() >= 1; }));
  h.dialogs->yesNo.push_back(false);
  EXPECT_FALSE(frm.close());
  EXPECT_TRUE(frm.Running());
  h.dialogs->yesNo.push_back(true);
  h.dialogs->saveChanges.push_back(TAnswer::No);
  EXPECT_TRUE(frm.close());
  EXPECT_FALSE(frm.Running());
  EXPECT_FALSE(frm.Engine()->ForcedShutdown());
  EXPECT_EQ(frm.Model(), nullptr);
}

class ForcedStop : public Run {
 protected:
  ForcedStop() : Run(milliseconds(400)) {}
};

TEST_F(ForcedStop, AStalledEngineIsStoppedByForceAfterTheTimeout) {
  // A private copy of the stand-in: the parked thread keeps it for good.
  const std::filesystem::path copy = folder.Path() / "libstandin_forced.so";
  std::filesystem::copy_file(std::filesystem::path(VEMTO_BIN_DIR) / "libdrivers_standin_engine.so",
                             copy);
  h.run->EngineStep = [library = TComputationLibrary::Load(copy)] { return library; };
  OpenModel();
  h.steps->dataFileLine = "stubborn";
  Act(frm, "mnuCalcExecute")->trigger();
  ASSERT_TRUE(WaitUntil([&] { return frm.Engine()->Position() >= 2; }));
  Click(frm.EngineWindow(), "btnCancel");
  EXPECT_TRUE(frm.ShutdownWindow()->isVisible());
  ASSERT_TRUE(WaitUntil([&] { return Idle(); }, milliseconds(5000)));
  EXPECT_TRUE(frm.Engine()->ForcedShutdown());
  EXPECT_EQ(h.run->ShutdownTimeout, milliseconds(400));  // the window's setting
  EXPECT_TRUE(h.run->Result().ForcedShutdown);
  EXPECT_FALSE(frm.LastRunSucceeded());
  EXPECT_FALSE(frm.ShutdownWindow()->isVisible());
  EXPECT_GT(frm.ShutdownWindow()->Ticks(), 0);
  EXPECT_FALSE(std::filesystem::exists(FileOf(".dat")));
  EXPECT_FALSE(std::filesystem::exists(FileOf(".out")));
  ASSERT_TRUE(WaitUntil([&] { return !h.dialogs->messages.isEmpty(); }));
  EXPECT_EQ(h.dialogs->messages[0],
            QStringLiteral("Calculation thread was forcefully shutdown.\nTo ensure stable "
                           "operation, save model and restart Vemto."));
  // The engine stays held by the parked thread: a new run is refused before meshing.
  std::ofstream(FileOf(".dat")) << "kept\n";
  Act(frm, "mnuCalcExecute")->trigger();
  EXPECT_FALSE(frm.Running());
  EXPECT_EQ(h.steps->meshRuns, 1);
  ASSERT_EQ(h.dialogs->messages.size(), 2);
  EXPECT_EQ(h.dialogs->messages[1], QString::fromLatin1(kEngineHeldMessage));
  std::ifstream dat(FileOf(".dat"));
  std::string line;
  EXPECT_TRUE(std::getline(dat, line) && line == "kept");
}

TEST_F(Run, UnattendedRunSkipsTheCheckDialogAndClosesTheWindowWithStatusZero) {
  const QString name = folder.File("batch.v3");
  WriteEmptyModel(name);
  h.steps->check.Warnings = {"No boundary conditions defined."};
  frm.show();
  frm.ProcessCommandLine({name, QStringLiteral("/x")});
  EXPECT_TRUE(frm.BatchMode());
  ASSERT_TRUE(WaitUntil([&] { return !frm.isVisible(); }));
  EXPECT_EQ(h.dialogs->checkShown, 0);
  EXPECT_EQ(h.dialogs->saveChangesAsked, 0);
  EXPECT_EQ(h.steps->meshRuns, 1);
  EXPECT_EQ(frm.ExitCode(), 0);
}

TEST_F(Run, UnattendedRunEndsWithAnErrorStatusAfterAMesherErrorWithoutDialogs) {
  const QString name = folder.File("batch.v3");
  WriteEmptyModel(name);
  h.steps->meshFails = true;
  frm.show();
  frm.ProcessCommandLine({name, QStringLiteral("/x")});
  ASSERT_TRUE(WaitUntil([&] { return !frm.isVisible(); }));
  EXPECT_TRUE(h.dialogs->messages.isEmpty());
  EXPECT_NE(frm.ExitCode(), 0);
}

TEST_F(Run, UnattendedRunOfAMissingFileEndsWithAnErrorStatus) {
  frm.show();
  frm.ProcessCommandLine({folder.File("missing.v3"), QStringLiteral("/x")});
  ASSERT_TRUE(WaitUntil([&] { return !frm.isVisible(); }));
  EXPECT_NE(frm.ExitCode(), 0);
  EXPECT_TRUE(h.dialogs->messages.isEmpty());
}

TEST_F(Run, OneArgumentOnlyOpensTheFile) {
  const QString name = folder.File("only.v3");
  WriteEmptyModel(name);
  frm.ProcessCommandLine({name});
  EXPECT_EQ(frm.ModelName(), name);
  EXPECT_FALSE(frm.BatchMode());
  EXPECT_FALSE(frm.Running());
  frm.ProcessCommandLine({name, QStringLiteral("/X")});  // the switch is case-sensitive
  EXPECT_FALSE(frm.BatchMode());
}

}  // namespace
}  // namespace vemto::test
