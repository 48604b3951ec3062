// The history table over a condition in the document: model checks, paste as one undo
// step, refusals, and the table letting go of a removed condition.
#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include "HistoryTableModel.h"

namespace vemto {
namespace {

TEST(HistoryTable, PasteIsOneUndoStepAndRefusalsChangeNothing) {
  ProjectDocument doc;
  auto* c = static_cast<TVemtoPipeCondition*>(
      doc.Model().Conditions.Add(std::make_unique<TVemtoPipeCondition>("pipe")));
  c->PipeConditionType = 1;
  c->History = StartingHistory(LayoutOf(*c));
  HistoryTableModel model(doc, c);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  ASSERT_EQ(model.columnCount(), 3);
  EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Temp. out (C)");
  EXPECT_EQ(model.data(model.index(1, 1)).toString(), "20");

  EXPECT_TRUE(model.Paste("0\t10\t8\r\n24\t12\t9\r\n48\t11\t9\r\n").isEmpty());
  ASSERT_EQ(c->History.size(), 3u);
  EXPECT_EQ(c->History[2].Value2, 9.0);
  EXPECT_EQ(doc.UndoStack().count(), 1);

  QSignalSpy refused(&model, &HistoryTableModel::refused);
  EXPECT_FALSE(model.Paste("0\t1\t1\n5\t1\tx\n").isEmpty());
  EXPECT_FALSE(model.setData(model.index(1, 0), "48"));  // not before the next event
  EXPECT_EQ(refused.count(), 2);
  EXPECT_EQ(c->History[1].Time, 24.0);
  EXPECT_TRUE(model.setData(model.index(1, 0), "30"));
  EXPECT_TRUE(model.InsertRow(1).isEmpty());
  EXPECT_EQ(c->History[1].Time, 15.0);
  EXPECT_TRUE(model.RemoveRow(0).isEmpty());
  EXPECT_EQ(model.rowCount(), 3);

  doc.UndoStack().undo();
  doc.UndoStack().undo();
  doc.UndoStack().undo();
  EXPECT_EQ(model.data(model.index(1, 0)).toString(), "24");
  doc.UndoStack().undo();
  EXPECT_EQ(model.rowCount(), 2);  // the starting history again
  EXPECT_EQ(c->History[1].Value1, 20.0);
}

TEST(HistoryTable, ForgetsAConditionTakenOutOfTheModel) {
  ProjectDocument doc;
  auto* c = doc.Model().Conditions.Add(std::make_unique<TVemtoTempCondition>("air"));
  c->History = StartingHistory(LayoutOf(*c));
  HistoryTableModel model(doc, c);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
  doc.NotifyRemoved(ObjectKind::Condition, {c});
  EXPECT_EQ(model.Condition(), nullptr);
  EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
}  // namespace vemto
