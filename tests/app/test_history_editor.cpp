// The history editor and the constants dialogs driven through their widgets: edits,
// pasted spreadsheet text and the point limit as undo steps that the chart follows,
// transfer coefficients with a zero conductivity, and editors closing with their
// condition or document.
#include <QChartView>
#include <QComboBox>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cmath>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "ConditionCommands.h"
#include "ConditionEditors.h"
#include "TfrmBoundaryConds.h"
#include "TfrmConditions.h"

namespace vemto::test {
namespace {

// Values derived through one formula chain; 1e-12 relative is far below any input step.
void ExpectNear(double actual, double expected) {
  EXPECT_NEAR(actual, expected, 1e-12 * std::max(1.0, std::abs(expected)));
}

template <class T>
T* Child(QWidget* parent, const char* name) {
  T* w = parent->findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

void Click(QWidget* parent, const char* button) {
  QTest::mouseClick(Child<QPushButton>(parent, button), Qt::LeftButton);
}

void Type(QWidget* parent, const char* field, const QString& text) {
  auto* e = Child<QLineEdit>(parent, field);
  e->selectAll();
  QTest::keyClicks(e, text);
}

class HistoryEditor : public ::testing::Test {
 protected:
  template <class C>
  C* Add(const char* name) {
    return static_cast<C*>(doc.Model().Conditions.Add(std::make_unique<C>(name)));
  }
  // The first line series of the chart (the first value) as (time, value) pairs.
  QList<QPointF> Line(int k = 0) const {
    auto* chart = Child<QChartView>(const_cast<TfrmHistory*>(&frm), "chrtHistory")->chart();
    return static_cast<QLineSeries*>(chart->series()[k])->points();
  }
  std::shared_ptr<DialogScript> script = std::make_shared<DialogScript>();
  ScriptedDialogs dialogs{script};
  ProjectDocument doc;
  TfrmHistory frm{doc, dialogs};
};

TEST_F(HistoryEditor, EditsPasteAndUndoReachTableAndChart) {
  auto* air = Add<TVemtoTempCondition>("air");
  frm.ShowCondition(air);  // an empty history starts with (0 h, 0) and (1 h, 2)
  ASSERT_EQ(air->History.size(), 2u);
  EXPECT_EQ(Child<QWidget>(&frm, "edtValue2")->isVisibleTo(&frm), false);
  EXPECT_EQ(Line(), (QList<QPointF>{{0, 0}, {1, 2}}));

  Click(&frm, "btnTimeRight");  // the first event's time stays
  Click(&frm, "btnEvRight");
  Click(&frm, "btnTimeRight");  // the last moves without limit
  Type(&frm, "edtValue1", "7.5");
  Click(&frm, "btnEvLeft");  // typed values are applied before stepping
  EXPECT_EQ(frm.EventIndex(), 0);
  EXPECT_EQ(air->History[1].Time, 2.0);
  EXPECT_EQ(air->History[1].Value1, 7.5);
  Type(&frm, "edtTime", "3");  // not below its successor at 2 h: the time stays
  Click(&frm, "btnUpdate");
  EXPECT_EQ(air->History[0].Time, 0.0);
  EXPECT_EQ(Line().back(), QPointF(2, 7.5));

  // Spreadsheet text with CR LF line ends and a header: one undo step.
  const int steps = doc.UndoStack().count();
  const QString text = QStringLiteral("Time\tTemp\r\n0\t10\r\n24\t12.5\r\n48\t11\r\n");
  frm.Paste(&text);
  EXPECT_EQ(doc.UndoStack().count(), steps + 1);
  EXPECT_EQ(Line(), (QList<QPointF>{{0, 10}, {24, 12.5}, {48, 11}}));
  EXPECT_EQ(frm.Model().data(frm.Model().index(1, 1)).toString(), "12.5");
  frm.Model().setData(frm.Model().index(2, 1), "-3");  // a cell typed in the table
  EXPECT_EQ(Line()[2], QPointF(48, -3));

  doc.UndoStack().undo();
  doc.UndoStack().undo();
  EXPECT_EQ(Line(), (QList<QPointF>{{0, 0}, {2, 7.5}}));
  doc.UndoStack().redo();
  EXPECT_EQ(Line().size(), 3);
  EXPECT_EQ(Child<QLineEdit>(&frm, "edtValue1")->text(), "10");
  EXPECT_TRUE(script->messages.isEmpty());
}

TEST_F(HistoryEditor, HoldsAThousandPointsAndNoMore) {
  auto* pipe = Add<TVemtoPipeCondition>("pipe");
  pipe->PipeConditionType = 1;
  frm.ShowCondition(pipe);
  QString text;
  for (int i = 0; i < 1000; ++i) text += QStringLiteral("%1\t%2\t5\n").arg(i).arg(i % 7);
  frm.Paste(&text);
  ASSERT_EQ(pipe->History.size(), 1000u);
  EXPECT_EQ(Line(1).size(), 1000);  // the second line: outlet temperatures
  EXPECT_EQ(Line(1).back(), QPointF(999, 5));
  Click(&frm, "btnAdd");
  const QString more = text + QStringLiteral("1000\t1\t1\n");
  frm.Paste(&more);
  EXPECT_EQ(pipe->History.size(), 1000u);
  ASSERT_EQ(script->messages.size(), 2);
  EXPECT_EQ(script->messages[0], "Too many points in history (MAX=1000)");
  Click(&frm, "btnRemove");
  EXPECT_EQ(Line().size(), 999);
}

TEST_F(HistoryEditor, DisplacementInYEditsValue2AndFollowsItsDirection) {
  auto* displ = Add<TVemtoDisplCondition>("support");
  displ->Direction = 2;
  frm.ShowCondition(displ);
  Click(&frm, "btnEvRight");
  Click(&frm, "btnVal1Up");
  ExpectNear(displ->History[1].Value2, 0.002);  // the starting 0.001 plus one step
  EXPECT_EQ(displ->History[1].Value1, 0.002);
  EXPECT_FALSE(Child<QWidget>(&frm, "edtValue2")->isVisibleTo(&frm));

  TfrmPrEdit dialog(doc, dialogs, displ);
  Child<QRadioButton>(&dialog, "rb3")->click();
  dialog.accept();
  EXPECT_EQ(displ->Direction, 3);
  EXPECT_TRUE(Child<QWidget>(&frm, "edtValue2")->isVisibleTo(&frm));
  EXPECT_EQ(Line(1).size(), 2);
  doc.UndoStack().undo();
  EXPECT_EQ(displ->Direction, 2);
  EXPECT_FALSE(Child<QWidget>(&frm, "edtValue2")->isVisibleTo(&frm));
}

TEST_F(HistoryEditor, TransferCoefficientFromWindAndInsulation) {
  auto* air = Add<TVemtoTempCondition>("air");
  air->SetEditorDefaults();
  TfrmTCEdit dialog(doc, dialogs, air);
  Type(&dialog, "edtWindVel", "4");
  ExpectNear(dialog.Coefficient(), 5.6 + 3.95 * 4);
  EXPECT_EQ(Child<QLineEdit>(&dialog, "edtTransferCoeff")->text(), " 21.4000");
  dialog.ChooseType(int(InsulationKind::Steel));
  Type(&dialog, "edtWindVel", "5");
  ExpectNear(dialog.Coefficient(), 1 / (1 / (7.2 * std::pow(5, 0.78)) + 0.005 / 45));
  const double steel = dialog.Coefficient();

  dialog.ChooseType(int(InsulationKind::Other));
  Type(&dialog, "edtThermalCond", "0");  // no division: "Error", the coefficient stays
  EXPECT_EQ(Child<QLineEdit>(&dialog, "edtTransferCoeff")->text(), "Error");
  EXPECT_EQ(dialog.Coefficient(), steel);
  dialog.accept();
  ASSERT_EQ(script->messages.size(), 1);
  EXPECT_EQ(doc.UndoStack().count(), 0);
  EXPECT_EQ(air->TransferCoefficient, 10.0);

  Type(&dialog, "edtThermalCond", "0.1");
  dialog.accept();
  EXPECT_EQ(air->InsulationType, int(InsulationKind::Other));
  ExpectNear(air->TransferCoefficient, 1 / (1 / (7.2 * std::pow(5, 0.78)) + 0.005 / 0.1));
  EXPECT_EQ(air->WindVelocity, 5.0);
  doc.UndoStack().undo();
  EXPECT_EQ(air->TransferCoefficient, 10.0);
}

TEST_F(HistoryEditor, PipeCoefficientFromTheWall) {
  auto* pipe = Add<TVemtoPipeCondition>("pipe");
  pipe->SetEditorDefaults();
  TPipeWall wall;
  TfrmPipeEdit dialog(doc, dialogs, pipe, wall);
  Type(&dialog, "edtDiameter", "0.03");  // typed, then refilled from the opened values
  dialog.EditCoefficient();
  TfrmPipeTransferCoeff* coeff = dialog.CoefficientDialog();
  ASSERT_NE(coeff, nullptr);
  EXPECT_EQ(Child<QLineEdit>(coeff, "edtTransferCoeff")->text(), "Error");  // both 0 at start
  coeff->accept();
  EXPECT_EQ(script->messages.size(), 1);
  Child<QRadioButton>(coeff, "rb7")->click();  // plastic
  Type(coeff, "edtThickness", "0.0038");
  coeff->accept();
  EXPECT_EQ(dialog.findChild<QLineEdit*>("edtDiameter")->text(), "0.025");
  Child<QComboBox>(&dialog, "cboCondType")->setCurrentIndex(0);
  dialog.accept();
  ExpectNear(pipe->TransferCoefficient, 1 / (0.0038 / 0.38 + 0.001));
  EXPECT_EQ(pipe->PipeConditionType, 0);
  EXPECT_EQ(wall.Conductivity, 0.38);  // the next use starts from these
}

TEST(ConditionEditorsLifetime, CloseWithTheirConditionWindowOrDocument) {
  auto script = std::make_shared<DialogScript>();
  ScriptedDialogs dialogs{script};
  auto doc = std::make_unique<ProjectDocument>();
  auto frm = std::make_unique<TfrmBoundaryConds>(*doc, dialogs);
  TfrmConditions& list = *frm->ConditionList();
  script->texts = {"air", "other"};
  list.AddCondition();
  list.AddCondition();
  ASSERT_EQ(list.Shown().size(), 2);
  TVemtoCondition* air = list.Shown()[0];

  list.ViewHistory(0);  // the list's own buttons
  list.ViewConstants();
  QPointer<TfrmHistory> history = list.Editors().History();
  QPointer<TConstantsDialog> constants = list.Editors().Constants();
  ASSERT_TRUE(history && constants);
  EXPECT_EQ(history->Condition(), air);
  list.ChooseRow(1);  // the open editor follows the list
  EXPECT_EQ(history->Condition(), list.Shown()[1]);
  list.ViewConstants();
  constants = list.Editors().Constants();
  Type(history, "edtValue1", "99");  // typed, not applied
  const int steps = doc->UndoStack().count();
  list.RemoveCondition();  // "other", shown in both editors
  EXPECT_TRUE(WaitUntil([&] { return !history && !constants; }));
  EXPECT_EQ(doc->UndoStack().count(), steps + 1);  // the removal only

  list.ViewHistory(0);
  list.ViewConstants();
  history = list.Editors().History();
  constants = list.Editors().Constants();
  frm.reset();  // the boundary-condition window closes (as with its model)
  EXPECT_TRUE(WaitUntil([&] { return !history && !constants; }));

  // Without any window around them, the editors go with the document.
  TPipeWall wall;
  history = new TfrmHistory(*doc, dialogs);
  history->setAttribute(Qt::WA_DeleteOnClose);
  history->show();
  history->ShowCondition(air);
  constants = OpenConstantsDialog(*doc, dialogs, air, wall, nullptr);
  ASSERT_TRUE(history && constants);
  doc.reset();
  EXPECT_TRUE(WaitUntil([&] { return !history && !constants; }));
}

}  // namespace
}  // namespace vemto::test
