// The progress windows on their own: duration texts, the engine window's step and
// time panels, the mesher window and the shutdown countdown.
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "DurationText.h"
#include "TfrmEngine.h"
#include "TfrmMesh.h"
#include "TfrmMessages.h"

namespace vemto::test {
namespace {

using std::chrono::seconds;

TEST(DurationText, ShowsHoursMinutesSecondsWithoutWrappingAtOneDay) {
  EXPECT_EQ(FormatDuration(0.0), "00:00:00");
  EXPECT_EQ(FormatDuration(59.999), "00:00:59");  // whole seconds, fractions dropped
  EXPECT_EQ(FormatDuration(3661.0), "01:01:01");
  EXPECT_EQ(FormatDuration(86399.0), "23:59:59");
  EXPECT_EQ(FormatDuration(86400.0), "24:00:00");
  EXPECT_EQ(FormatDuration(27 * 3600.0 + 190.0), "27:03:10");
  EXPECT_EQ(FormatDuration(123 * 3600.0), "123:00:00");
  EXPECT_EQ(FormatDuration(-5.0), "00:00:00");
  EXPECT_EQ(FormatDuration(std::nan("")), "00:00:00");
}

QString Text(QWidget* w, const char* name) {
  return w->findChild<QLabel*>(QString::fromLatin1(name))->text();
}

TEST(EngineWindow, StepPanelsShowCountElapsedAndRemainingTime) {
  TfrmEngine frm;
  frm.Start(84);  // 168 h in steps of 2 h
  const auto t0 = std::chrono::steady_clock::time_point{} + seconds(1000);
  frm.TimeStepAt(t0);
  EXPECT_EQ(Text(&frm, "pnlStep"), QStringLiteral("Step : 1"));
  EXPECT_EQ(Text(&frm, "pnlStepTime"), QStringLiteral("Time : "));  // nothing measured yet
  EXPECT_EQ(Text(&frm, "pnlLeft"), QStringLiteral("Left : "));
  EXPECT_EQ(Text(&frm, "pnlInfoText"), QStringLiteral("TIMESTEPPING"));
  frm.TimeStepAt(t0 + seconds(30));
  // 83 steps still to come at 30 s each: 41 min 30 s.
  EXPECT_EQ(Text(&frm, "pnlStep"), QStringLiteral("Step : 2"));
  EXPECT_EQ(Text(&frm, "pnlStepTime"), QStringLiteral("Time : 00:00:30"));
  EXPECT_EQ(Text(&frm, "pnlLeft"), QStringLiteral("Left : 00:41:30"));
  frm.TimeStepAt(t0 + seconds(30 + 3600));
  // One step took an hour: 82 hours to go, shown without wrapping at a day.
  EXPECT_EQ(Text(&frm, "pnlStepTime"), QStringLiteral("Time : 01:00:30"));
  EXPECT_EQ(Text(&frm, "pnlLeft"), QStringLiteral("Left : 82:00:00"));
  EXPECT_EQ(frm.findChild<QProgressBar*>(QStringLiteral("prgProcessing"))->value(), 3);
  // A new phase resets the elapsed sum.
  frm.Info("   STORING RESULTS  ");
  EXPECT_EQ(Text(&frm, "pnlInfoText"), QStringLiteral("STORING RESULTS"));
  frm.TimeStepAt(t0 + seconds(30 + 3600 + 10));
  EXPECT_EQ(Text(&frm, "pnlStepTime"), QStringLiteral("Time : 00:00:10"));
  frm.Done();
  EXPECT_EQ(Text(&frm, "pnlInfoText"), QStringLiteral("CALCULATION DONE"));
  EXPECT_EQ(frm.findChild<QProgressBar*>(QStringLiteral("prgProcessing"))->value(), 0);
}

TEST(EngineWindow, PauseAndResumeButtonsAlternate) {
  TfrmEngine frm;
  int paused = 0;
  int resumed = 0;
  frm.OnPause = [&] { ++paused; };
  frm.OnResume = [&] { ++resumed; };
  frm.Start(10);
  auto* pause = frm.findChild<QPushButton*>(QStringLiteral("btnPause"));
  auto* resume = frm.findChild<QPushButton*>(QStringLiteral("btnResume"));
  EXPECT_TRUE(pause->isEnabled());
  EXPECT_FALSE(resume->isEnabled());
  pause->click();
  pause->click();  // disabled: no second pause
  EXPECT_EQ(paused, 1);
  EXPECT_TRUE(resume->isEnabled());
  resume->click();
  EXPECT_EQ(resumed, 1);
  EXPECT_TRUE(pause->isEnabled());
}

TEST(MeshWindow, TheBarShowsThePhaseNotTheNumberOfRepeatedTexts) {
  TfrmMesh frm;
  auto* bar = frm.findChild<QProgressBar*>(QStringLiteral("prgProcessing"));
  frm.Start();
  frm.Info("WRITING INPUT DATA TO FILE");
  for (int k = 0; k < 40; ++k) frm.Info("REARRANGING SUPER ELEMENTS");  // once per surface
  EXPECT_EQ(bar->value(), 2);
  EXPECT_EQ(bar->maximum(), 7);
  for (int k = 0; k < 40; ++k) frm.Info("CREATING NODES.");
  EXPECT_EQ(bar->value(), 5);
  frm.Info("WRITING OUTPUT DATA.");
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(MeshWindow, ShowsTheTrimmedPhaseTextAndCancelAsksTheMesherToStop) {
  TfrmMesh frm;
  int cancelled = 0;
  frm.OnCancel = [&] { ++cancelled; };
  frm.Start();
  frm.Info("  GENERATING MESH   ");
  EXPECT_EQ(frm.InfoText(), QStringLiteral("GENERATING MESH"));
  EXPECT_EQ(frm.findChild<QProgressBar*>(QStringLiteral("prgProcessing"))->value(), 1);
  frm.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
  EXPECT_EQ(cancelled, 1);
  EXPECT_EQ(frm.InfoText(), QStringLiteral("CALCULATION DONE"));
  EXPECT_EQ(frm.windowTitle(), QStringLiteral("Vemto mesh"));
}

TEST(MessagesDialog, ListsWarningsAndErrorsWithContinueAndCancel) {
  TfrmMessages dialog;
  dialog.SetLists({QStringLiteral("No temperature conditions defined.")},
                  {QStringLiteral("No surfaces defined."),
                   QStringLiteral("Storage step less than the timestep.")});
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Messages"));
  auto* warnings = dialog.findChild<QListWidget*>(QStringLiteral("lbWarnings"));
  auto* errors = dialog.findChild<QListWidget*>(QStringLiteral("lbErrors"));
  ASSERT_EQ(warnings->count(), 1);
  ASSERT_EQ(errors->count(), 2);
  EXPECT_EQ(errors->item(1)->text(), QStringLiteral("Storage step less than the timestep."));
  QStringList labels;
  for (QLabel* label : dialog.findChildren<QLabel*>()) labels << label->text();
  EXPECT_TRUE(labels.contains(QStringLiteral("Warnings:")));
  EXPECT_TRUE(labels.contains(QStringLiteral("Errors:")));
  dialog.findChild<QPushButton*>(QStringLiteral("btnContinue"))->click();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  dialog.findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(Program, UnattendedRunOfAMissingFileEndsTheProcessWithAnErrorStatus) {
  ScratchFolder folder;
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.File("config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), folder.File("data"));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(VEMTO_BIN_DIR "/vemto"),
                {folder.File("missing.v3"), QStringLiteral("/x")});
  ASSERT_TRUE(process.waitForFinished(30000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_NE(process.exitCode(), 0);
  EXPECT_TRUE(process.readAllStandardError().contains("missing.v3"));
}

/// Runs the program unattended on a copy of an example in `folder`, with the programs
/// and libraries of `programFolder` and the display variables of `display`.
QProcess& RunExampleUnattended(QProcess& process, const ScratchFolder& folder,
                               const QString& programFolder, const QProcessEnvironment& display) {
  std::filesystem::copy_file(
      std::filesystem::path(VEMTO_SOURCE_DIR) / "examples" / "column_axisymmetric.v3",
      folder.Path() / "column.v3");
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    env.remove(QString::fromLatin1(name));
    if (display.contains(QString::fromLatin1(name)))
      env.insert(QString::fromLatin1(name), display.value(QString::fromLatin1(name)));
  }
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.File("config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), folder.File("data"));
  process.setProcessEnvironment(env);
  process.start(programFolder + QStringLiteral("/vemto"),
                {folder.File("column.v3"), QStringLiteral("/x")});
  process.waitForFinished(120000);
  return process;
}

TEST(Program, UnattendedRunWithoutADisplayRunsOnTheOffscreenPlatform) {
  ScratchFolder folder;
  QProcess process;
  RunExampleUnattended(process, folder, QStringLiteral(VEMTO_BIN_DIR), QProcessEnvironment());
  ASSERT_EQ(process.state(), QProcess::NotRunning);
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "column.out"));
}

TEST(Program, UnattendedRunWithADamagedMaterialLibraryReportsItOnStderrAndRuns) {
  ScratchFolder folder;
  const std::filesystem::path programs = folder.Path() / "programs";
  std::filesystem::create_directory(programs);
  for (const char* file : {"vemto", "libmeshgen.so", "libengine.so", "cempropt", "conpropt"})
    std::filesystem::copy_file(std::filesystem::path(VEMTO_BIN_DIR) / file, programs / file);
  const std::string damaged = "this is no material library";
  std::ofstream(programs / "materials.db") << damaged;
  QProcessEnvironment offscreen;
  offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  QProcess process;
  RunExampleUnattended(process, folder, QString::fromStdString(programs.string()), offscreen);
  ASSERT_EQ(process.state(), QProcess::NotRunning) << "the program waits for a dialog";
  EXPECT_EQ(process.exitCode(), 0);
  EXPECT_TRUE(process.readAllStandardError().contains("materials.db"));
  EXPECT_TRUE(std::filesystem::exists(folder.Path() / "column.out"));
  std::ifstream library(programs / "materials.db");
  std::string kept;
  std::getline(library, kept);
  EXPECT_EQ(kept, damaged);  // never replaced by an empty library
}

}  // namespace
}  // namespace vemto::test
