// Calculation settings and project information through their dialogs: every field
// round-trips dialog -> model -> dialog, the step counts shown are the engine's, and
// refused values leave the model unchanged.
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <functional>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "ProjectDocument.h"
#include "RunData.h"
#include "SetupCommands.h"
#include "TfrmCalcSettings.h"
#include "TfrmProjectInfo.h"
#include "VemtoFile.h"

namespace vemto::test {
namespace {

template <class T>
T* Child(QWidget& parent, const char* name) {
  auto* child = parent.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

QLineEdit* Edit(QWidget& dialog, const char* name) {
  return Child<QLineEdit>(dialog, name);
}

// Sets a field as a user does: new text, then leaving the field.
void Type(QWidget& dialog, const char* name, const QString& text) {
  QLineEdit* edit = Edit(dialog, name);
  edit->setText(text);
  emit edit->editingFinished();
}

class CalcSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(frm.OpenModel(NewModel()));
    setup.ExecDialog = [this](QDialog& dialog) {
      dialog.setResult(QDialog::Rejected);
      fill(dialog);
      return dialog.result();
    };
  }
  QString NewModel() {
    WriteEmptyModel(folder.File("model.v3"));
    return folder.File("model.v3");
  }
  // Runs the settings dialog: `edit` fills it, then OK is pressed.
  void RunSettings(const std::function<void(TfrmCalcSettings&)>& edit) {
    fill = [edit](QDialog& d) {
      edit(static_cast<TfrmCalcSettings&>(d));
      d.accept();
    };
    setup.CalculationSettings();
  }
  TVemtoFile& Model() { return *frm.Model(); }

  ScratchFolder folder;
  Harness h{folder.Path()};
  TfrmMain& frm = *h.frm;
  TSetupCommands& setup = frm.SetupCommands();
  std::function<void(QDialog&)> fill;
};

TEST_F(CalcSettings, EveryFieldRoundTripsThroughTheModel) {
  Model().GeneralInfo.SimulationType = 12;  // input of temperature, no stresses
  Model().GeneralInfo.LegacySteps = 77;     // carried through unseen
  bool openedAsStored = false;
  RunSettings([&](TfrmCalcSettings& d) {
    openedAsStored = Child<QRadioButton>(d, "rbInputTemp")->isChecked() &&
                     !Child<QCheckBox>(d, "chkEnableDispl")->isChecked();
    Child<QRadioButton>(d, "rbAxisymmetric")->setChecked(true);
    Child<QRadioButton>(d, "rbNoTemp")->setChecked(true);
    Edit(d, "edtMemoryPre")->setText(QStringLiteral("800000"));
    Edit(d, "edtMemoryEngine")->setText(QStringLiteral("17179869176"));  // 2^31 - 1 words
    Edit(d, "edtMemoryPost")->setText(QStringLiteral("64"));
    Edit(d, "edtThickness")->setText(QStringLiteral("0.35"));
    Type(d, "edtIntInitialTime", QStringLiteral("12"));
    Type(d, "edtTo", QStringLiteral("180"));
    Type(d, "edtIntStep", QStringLiteral("5"));
    Type(d, "edtIntStore", QStringLiteral("24"));
    Child<QSpinBox>(d, "edtIntCount")->setValue(2);
    d.btnSubtractStepClick();
    Type(d, "edtTo", QStringLiteral("300"));
    Type(d, "edtIntStep", QStringLiteral("0"));
  });
  EXPECT_TRUE(openedAsStored);
  const TVemtoGeneralInfo& g = Model().GeneralInfo;
  EXPECT_EQ(g.AnalysisType, 3);
  EXPECT_EQ(g.SimulationType, 11);
  EXPECT_EQ(g.LegacySteps, 77);
  EXPECT_EQ(g.InitialTime, 12.0);
  EXPECT_EQ(g.Thickness, 0.35);
  EXPECT_EQ(Model().MeshMemory, 100000);
  EXPECT_EQ(Model().EngineMemory, 2147483647);
  EXPECT_EQ(Model().PostMemory, 8);
  ASSERT_EQ(Model().Intervals.size(), 2u);
  EXPECT_EQ(Model().Intervals[0]->EndTime, 180.0);
  EXPECT_DOUBLE_EQ(Model().Intervals[0]->TimeStep, 168.0 / 34.0);
  EXPECT_DOUBLE_EQ(Model().Intervals[0]->StoreStep, 24.0);
  EXPECT_EQ(Model().Intervals[1]->EndTime, 300.0);
  EXPECT_DOUBLE_EQ(Model().Intervals[1]->TimeStep, 1.0);  // 0 means 1 h
  EXPECT_DOUBLE_EQ(Model().Intervals[1]->StoreStep, 24.0);

  // Shown again, and OK without changes stores exactly the same values.
  const TCalcSettings stored = TCalcSettings::Of(Model());
  RunSettings([&](TfrmCalcSettings& d) {
    EXPECT_TRUE(Child<QRadioButton>(d, "rbAxisymmetric")->isChecked());
    EXPECT_TRUE(Child<QRadioButton>(d, "rbNoTemp")->isChecked());
    EXPECT_FALSE(Child<QCheckBox>(d, "chkEnableDispl")->isChecked());
    EXPECT_EQ(Edit(d, "edtMemoryPre")->text(), QStringLiteral("800000"));
    EXPECT_EQ(Edit(d, "edtMemoryEngine")->text(), QStringLiteral("17179869176"));
    EXPECT_EQ(Edit(d, "edtThickness")->text(), QStringLiteral("0.35"));
    EXPECT_EQ(Edit(d, "edtIntInitialTime")->text(), QStringLiteral("12"));
    EXPECT_EQ(Child<QGroupBox>(d, "grpInterval")->title(), QStringLiteral("Interval 1 of 2"));
    EXPECT_EQ(Edit(d, "edtFrom")->text(), QStringLiteral("12"));
    EXPECT_EQ(Edit(d, "edtIntStep")->text(), QStringLiteral("4.941"));
    EXPECT_EQ(Edit(d, "edtIntNumber")->text(), QStringLiteral("34"));
    EXPECT_FALSE(Child<QToolButton>(d, "btnAddStep")->isEnabled());
  });
  EXPECT_TRUE(TCalcSettings::Of(Model()) == stored);

  // Each OK that changes something is one undoable change; undo restores the model.
  QUndoStack& undo = frm.Document()->UndoStack();
  EXPECT_EQ(undo.count(), 1);
  undo.undo();
  EXPECT_EQ(Model().GeneralInfo.SimulationType, 12);
  EXPECT_EQ(Model().Intervals.size(), 1u);
}

// The number of steps shown is the number the engine counts for the stored intervals,
// and the sum is the progress maximum of the run.
struct StepCase {
  double initial, end, step, store;
  const char* shownSteps;
  double storedStore;
};

class StepCounts : public CalcSettings, public ::testing::WithParamInterface<StepCase> {};

TEST_P(StepCounts, ShownCountIsTheEnginesCount) {
  const StepCase c = GetParam();
  QString shown;
  RunSettings([&](TfrmCalcSettings& d) {
    Type(d, "edtIntInitialTime", QString::number(c.initial));
    Type(d, "edtTo", QString::number(c.end));
    Type(d, "edtIntStep", QString::number(c.step));
    Type(d, "edtIntStore", QString::number(c.store));
    shown = Edit(d, "edtIntNumber")->text();
  });
  EXPECT_EQ(shown, QString::fromLatin1(c.shownSteps));
  const TVemtoInterval& v = *Model().Intervals.at(0);
  EXPECT_DOUBLE_EQ(v.StoreStep, c.storedStore);
  // The engine gets hours x 3600.
  const engine::StepCounts counts = engine::CountSteps(
      c.initial * 3600.0, {{v.EndTime * 3600.0, v.TimeStep * 3600.0, v.StoreStep * 3600.0}});
  EXPECT_EQ(QString::number(counts.steps), shown);
  EXPECT_EQ(Model().TotalTimeSteps(), counts.steps);
}

INSTANTIATE_TEST_SUITE_P(Examples, StepCounts,
                         ::testing::Values(StepCase{0, 168, 5, 24, "34", 24},
                                           StepCase{0, 100, 1, 24, "100", 25},
                                           StepCase{0, 10, 0, 0, "10", 1},
                                           StepCase{0, 168, 2, 24, "84", 24},
                                           StepCase{3.3, 1000.1, 0.7, 7, "1424", 996.8 / 142},
                                           StepCase{0, 1, 1.0 / 3.0, 1, "3", 1}));

// A value that cannot run is refused at OK with a message naming its field, and the
// model keeps every value it had.
struct RefusedCase {
  const char* field;
  const char* text;
  const char* messagePart;
};

class Refused : public CalcSettings, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(Refused, LeavesTheModelUnchanged) {
  const RefusedCase c = GetParam();
  const TCalcSettings before = TCalcSettings::Of(Model());
  QStringList messages;
  bool stayedOpen = false;
  fill = [&](QDialog& d) {
    static_cast<TfrmCalcSettings&>(d).ShowMessage = [&](const QString& m) { messages << m; };
    Edit(d, c.field)->setText(QString::fromLatin1(c.text));
    d.accept();
    stayedOpen = d.result() != QDialog::Accepted;
  };
  setup.CalculationSettings();
  EXPECT_TRUE(stayedOpen);
  ASSERT_EQ(messages.size(), 1) << messages.join(QStringLiteral(" | ")).toStdString();
  EXPECT_TRUE(messages[0].contains(QString::fromLatin1(c.messagePart)))
      << messages[0].toStdString();
  EXPECT_TRUE(TCalcSettings::Of(Model()) == before);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Refused,
    ::testing::Values(RefusedCase{"edtTo", "-5", "must end after its start"},
                      RefusedCase{"edtTo", "abc", "\"To\" is not a number"},
                      RefusedCase{"edtIntStep", "-1", "time step must not be negative"},
                      RefusedCase{"edtIntStep", "200", "time step (200 h) is longer"},
                      RefusedCase{"edtIntStore", "169", "storage of results (169 h) is longer"},
                      RefusedCase{"edtMemoryPre", "7", "\"Internal meshing\""},
                      RefusedCase{"edtMemoryEngine", "17179869184", "\"Simulation\""},
                      RefusedCase{"edtMemoryPost", "8e5", "\"Postprocessing\""},
                      RefusedCase{"edtThickness", "0", "\"Thickness (m)\""}));

TEST_F(CalcSettings, InitialTimeThatIsNoNumberIsReportedAndTheRestApplied) {
  QStringList messages;
  RunSettings([&](TfrmCalcSettings& d) {
    d.ShowMessage = [&](const QString& m) { messages << m; };
    Edit(d, "edtIntInitialTime")->setText(QStringLiteral("soon"));
    Edit(d, "edtThickness")->setText(QStringLiteral("2"));
  });
  EXPECT_EQ(messages,
            QStringList{QStringLiteral("Some of the input data was incorrectly entered!")});
  EXPECT_EQ(Model().GeneralInfo.InitialTime, 0.0);
  EXPECT_EQ(Model().GeneralInfo.Thickness, 2.0);
}

TEST_F(CalcSettings, MoreIntervalsAppendFortyEightHoursAndCancelKeepsTheModel) {
  fill = [](QDialog& d) {
    auto* count = Child<QSpinBox>(d, "edtIntCount");
    count->setValue(2);
    auto& s = static_cast<TfrmCalcSettings&>(d);
    ASSERT_EQ(s.Settings().Intervals.size(), 2u);
    const TVemtoInterval& added = s.Settings().Intervals[1];
    EXPECT_EQ(added.EndTime, 216.0);
    EXPECT_EQ(added.TimeStep, 1.0);
    EXPECT_EQ(added.StoreStep, 24.0);
    count->setValue(1);
    EXPECT_EQ(s.Settings().Intervals.size(), 1u);
    count->setValue(2);
    d.reject();
  };
  setup.CalculationSettings();
  ASSERT_EQ(Model().Intervals.size(), 1u);
  EXPECT_EQ(Model().Intervals[0]->EndTime, 168.0);
}

TEST_F(CalcSettings, ProjectTextsRoundTripAndTooLongOnesAreRefused) {
  const char* names[] = {"edtTitle",   "edtSubject", "edtAuthor",
                         "edtManager", "edtCompany", "edtDescription"};
  fill = [&](QDialog& d) {
    for (const char* name : names) Edit(d, name)->setText(QString::fromLatin1(name) + "é");
    d.accept();
  };
  setup.ProjectInformation();
  EXPECT_EQ(Model().ProjectInfo.Manager, "edtManager\xc3\xa9");
  fill = [&](QDialog& d) {
    for (const char* name : names)
      EXPECT_EQ(Edit(d, name)->text(), QString::fromLatin1(name) + "é") << name;
    d.reject();
  };
  setup.ProjectInformation();

  const TVemtoProjectInfo before = Model().ProjectInfo;
  QStringList messages;
  fill = [&](QDialog& d) {
    static_cast<TfrmProjectInfo&>(d).ShowMessage = [&](const QString& m) { messages << m; };
    Edit(d, "edtCompany")->setText(QString(256, QLatin1Char('c')));
    d.accept();
  };
  setup.ProjectInformation();
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith(QStringLiteral("\"Company\" is too long")));
  EXPECT_TRUE(Model().ProjectInfo == before);
  EXPECT_EQ(frm.Document()->UndoStack().count(), 1);
}

}  // namespace
}  // namespace vemto::test
