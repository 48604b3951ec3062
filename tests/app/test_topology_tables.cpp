// The topology tables over a document of two neighbouring squares: every table model
// checked by QAbstractItemModelTester while cells are edited, undone and redone; paste
// of spreadsheet text case by case; the selection shared with the document.
#include <QAbstractItemModelTester>
#include <QItemSelectionModel>
#include <QTableView>

#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "DocumentCommands.h"
#include "TfrmTopology.h"

namespace vemto::test {
namespace {

// Nodes 1..6: (0,0) (1,0) (2,0) (2,1) (1,1) (0,1), node 7 free at (5,5).
// Edges 1..4 bound surface 1 (edge 2 = nodes 2-5 is shared), edges 5, 6, 7 and 2 bound
// surface 2; edge 8 (nodes 1-3) is used by nothing.
class TopologyTables : public ::testing::Test {
 protected:
  void SetUp() override {
    for (auto [x, y] : {std::pair{0.0, 0.0},
                        {1.0, 0.0},
                        {2.0, 0.0},
                        {2.0, 1.0},
                        {1.0, 1.0},
                        {0.0, 1.0},
                        {5.0, 5.0}})
      doc.Push(new CreateNodeCommand(doc, x, y));
    for (auto [a, b] : {std::pair{1, 2}, {2, 5}, {5, 6}, {6, 1}, {2, 3}, {3, 4}, {4, 5}, {1, 3}})
      doc.Push(new CreateEdgeCommand(doc, std::make_unique<TEdgeLine>(N(a), N(b))));
    doc.Push(new CreateSurfaceCommand(doc, std::make_unique<TVemtoSurface>(E(1), E(2), E(3), E(4)),
                                      2, 2));
    doc.Push(new CreateSurfaceCommand(doc, std::make_unique<TVemtoSurface>(E(5), E(6), E(7), E(2)),
                                      2, 2));
    doc.UndoStack().setClean();
    for (auto* w : {&nodes, &curves, &surfaces}) {
      testers.push_back(std::make_unique<QAbstractItemModelTester>(
          &w->Model(), QAbstractItemModelTester::FailureReportingMode::Fatal));
      QObject::connect(&w->Model(), &TTopologyModel::problem,
                       [this](const QString& m) { problems << m; });
    }
  }
  TNode* N(int n) { return doc.Model().Nodes[n - 1].get(); }
  TEdge* E(int n) { return doc.Model().Edges[n - 1].get(); }
  static QString Cell(const TfrmTopology& w, int row, int column) {
    return w.Model().index(row, column).data().toString();
  }
  bool Type(TfrmTopology& w, int row, int column, const QString& text) {
    return w.Model().setData(w.Model().index(row, column), text);
  }
  QString Row(const TfrmTopology& w, int row) {
    QStringList cells;
    for (int c = 0; c < w.Model().columnCount(); ++c) cells << Cell(w, row, c);
    return cells.join(QChar(u' '));
  }

  std::shared_ptr<DialogScript> script = std::make_shared<DialogScript>();
  ScriptedDialogs dialogs{script};
  ProjectDocument doc;
  TfrmTopology nodes{doc, TopologyTable::Nodes, dialogs};
  TfrmTopology curves{doc, TopologyTable::Curves, dialogs};
  TfrmTopology surfaces{doc, TopologyTable::Surfaces, dialogs};
  std::vector<std::unique_ptr<QAbstractItemModelTester>> testers;
  QStringList problems;
};

TEST_F(TopologyTables, TablesShowTheModelAndFollowEditsUndoAndRedo) {
  EXPECT_EQ(Row(nodes, 3), "4 2 1");
  EXPECT_EQ(Row(curves, 1), "2 2 5 ");
  EXPECT_EQ(Row(surfaces, 1), "2 5 6 7 2 2 2 8");

  ASSERT_TRUE(Type(nodes, 3, 1, "2.25"));
  EXPECT_DOUBLE_EQ(N(4)->Coord->X, 2.25);  // exact: the text's own double
  // A straight edge nothing uses becomes curved and moves to the end of the list.
  ASSERT_TRUE(Type(curves, 7, 3, "7"));
  EXPECT_EQ(Row(curves, 7), "8 1 3 7");
  EXPECT_EQ(doc.Model().Edges.back()->NodeCount(), 3);
  // Cols of surface 1 reach edges 1 and 3; Rows reach edge 2 and through it edge 6 of
  // surface 2, whose opposite edges keep equal counts.
  ASSERT_TRUE(Type(surfaces, 0, 6, "4"));
  ASSERT_TRUE(Type(surfaces, 0, 5, "3"));
  EXPECT_EQ(Row(surfaces, 0), "1 1 2 3 4 3 4 8");
  EXPECT_EQ(Row(surfaces, 1), "2 5 6 7 2 3 2 8");
  EXPECT_EQ(E(6)->Divisions, 3);
  EXPECT_EQ(doc.UndoStack().index(), doc.UndoStack().cleanIndex() + 4);

  // Undo walks every table back, redo forward again.
  while (doc.UndoStack().canUndo() && !doc.UndoStack().isClean()) doc.UndoStack().undo();
  EXPECT_EQ(Row(nodes, 3), "4 2 1");
  EXPECT_EQ(Row(curves, 7), "8 1 3 ");
  EXPECT_EQ(Row(surfaces, 1), "2 5 6 7 2 2 2 8");
  EXPECT_EQ(N(7)->RefCount, 0);
  EXPECT_EQ(N(3)->RefCount, 3);
  for (int k = 0; k < 4; ++k) doc.UndoStack().redo();
  EXPECT_EQ(Row(curves, 7), "8 1 3 7");
  EXPECT_EQ(N(7)->RefCount, 1);
  EXPECT_EQ(Row(surfaces, 1), "2 5 6 7 2 3 2 8");
  EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
}

TEST_F(TopologyTables, EditsThatWouldBreakTheModelAreRefusedAndChangeNothing) {
  const int before = doc.UndoStack().index();
  surfaces.AddClick();  // a new row naming edge 1 four times
  for (int column = 1; column <= 3; ++column) ASSERT_TRUE(Type(surfaces, 2, column, "1"));
  struct Case {
    TfrmTopology* table;
    int row, column;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {&nodes, 0, 2, "0,5", "Invalid numeric input. (0,5)\nRow 1, column \"Y (m)\"."},
      {&curves, 1, 3, "7", "Curve is connected and its kind can not be changed.\nRow 2"},
      {&curves, 1, 2, "99", "Invalid topology data.\nRow 2, column \"Node 2\"."},
      {&curves, 1, 2, "7", "Surface 1 would not be closed"},
      {&surfaces, 0, 2, "5", "Invalid curve ordering at surface 1."},
      {&surfaces, 2, 4, "1", "Duplicate curves in topology at surface 3."},
      {&surfaces, 0, 1, "x", "Invalid numeric input in curve topology at surface 1"},
      {&surfaces, 0, 6, "0", "A division count lies between 1 and"},
  };
  for (const Case& c : cases) {
    problems.clear();
    EXPECT_FALSE(Type(*c.table, c.row, c.column, c.text)) << c.text;
    ASSERT_EQ(problems.size(), 1) << c.text;
    EXPECT_TRUE(problems[0].startsWith(c.message)) << problems[0].toStdString();
  }
  problems.clear();
  EXPECT_FALSE(nodes.Model().RemoveRow(0));
  EXPECT_FALSE(curves.Model().RemoveRow(1));
  EXPECT_EQ(problems.value(0),
            "Node is connected and can not be removed.\nRow 1, column \"Node\".");
  EXPECT_EQ(doc.UndoStack().index(), before);
  EXPECT_EQ(script->messages.size(), 10);  // each shown by its window
}

TEST_F(TopologyTables, InfiniteSurfacesKeepOneDivisionAcross) {
  // Five-node elements: one row; the shared edge 2 and surface 1's edge 4 follow.
  ASSERT_TRUE(Type(surfaces, 1, 7, "5"));
  ASSERT_TRUE(Type(surfaces, 1, 6, "6"));
  EXPECT_EQ(Row(surfaces, 1), "2 5 6 7 2 1 6 5");
  EXPECT_EQ(Row(surfaces, 0), "1 1 2 3 4 1 2 8");
  EXPECT_EQ(doc.Model().Surfaces[1]->InfiniteFlag, 1);
  EXPECT_FALSE(Type(surfaces, 0, 5, "4"));
  EXPECT_TRUE(problems.value(0).startsWith("Surface 2 of infinite elements"));
  EXPECT_EQ(E(4)->Divisions, 1);
}

TEST_F(TopologyTables, NewRowsBecomeObjectsWhenComplete) {
  nodes.AddClick();
  ASSERT_TRUE(Type(nodes, 7, 1, "5"));  // node 8 at (5, 0)
  curves.AddClick();
  EXPECT_EQ(Row(curves, 8), "9 [Empty] [Empty] ");
  ASSERT_TRUE(Type(curves, 8, 1, "4"));
  EXPECT_EQ(doc.Model().Edges.size(), 8u);  // not complete yet
  ASSERT_TRUE(Type(curves, 8, 2, "7"));
  ASSERT_EQ(doc.Model().Edges.size(), 9u);
  EXPECT_EQ(Row(curves, 8), "9 4 7 ");
  ASSERT_TRUE(curves.Model().Paste("7\t8\r\n8\t3\r\n3\t7\r\n"));  // edges 10, 11, 12

  // Edges 6, 9, 10 and 11 bound the quadrilateral 3-4-7-8; edge 5 (2-3) touches the
  // chain at both ends but does not close it.
  surfaces.AddClick();
  for (auto [column, text] : {std::pair{1, "6"}, {2, "9"}, {3, "10"}})
    ASSERT_TRUE(Type(surfaces, 2, column, text));
  EXPECT_EQ(doc.Model().Surfaces.size(), 2u);
  EXPECT_FALSE(Type(surfaces, 2, 4, "12"));
  EXPECT_TRUE(problems.value(0).startsWith("Invalid curve ordering at surface 3."));
  EXPECT_EQ(surfaces.Model().rowCount(), 3);  // the new row stays for a correction
  ASSERT_TRUE(Type(surfaces, 2, 4, "11"));
  ASSERT_EQ(doc.Model().Surfaces.size(), 3u);
  // Cols from edge 6, which surface 2 keeps at 2; Rows from edge 9 (1).
  EXPECT_EQ(Row(surfaces, 2), "3 6 9 10 11 1 2 8");
  EXPECT_EQ(E(10)->Divisions, 2);

  EXPECT_FALSE(curves.Model().RemoveRow(8));  // edge 9 is in use now
  ASSERT_TRUE(curves.Model().RemoveRow(11));  // edge 12 is not
  EXPECT_EQ(doc.Model().Edges.size(), 11u);
  doc.UndoStack().undo();
  EXPECT_EQ(Row(curves, 11), "12 3 7 ");
  doc.UndoStack().undo();  // the surface, as one step
  EXPECT_EQ(surfaces.Model().rowCount(), 2);
  EXPECT_EQ(E(10)->Divisions, 1);
}

struct PasteCase {
  const char* name;
  TopologyTable table;
  const char* text;
  int added;
  const char* message;  // the start of the message of a refused paste
};

class TopologyPaste : public TopologyTables, public ::testing::WithParamInterface<PasteCase> {};

TEST_P(TopologyPaste, AllRowsOrNothingAsOneUndoStep) {
  const PasteCase& c = GetParam();
  TfrmTopology& w = c.table == TopologyTable::Nodes ? nodes : curves;
  const int rows = w.Model().rowCount();
  const int index = doc.UndoStack().index();
  EXPECT_EQ(w.Model().Paste(QString::fromLatin1(c.text)), c.added > 0);
  EXPECT_EQ(w.Model().rowCount(), rows + c.added);
  EXPECT_EQ(doc.UndoStack().index(), index + (c.added > 0 ? 1 : 0));
  if (c.added == 0) {
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].startsWith(QString::fromLatin1(c.message)))
        << problems[0].toStdString();
    return;
  }
  EXPECT_TRUE(problems.isEmpty());
  if (c.table == TopologyTable::Nodes) {
    EXPECT_EQ(Row(w, rows + c.added - 1), QString("%1 10 -2.5").arg(rows + c.added));
  }
  doc.UndoStack().undo();
  EXPECT_EQ(w.Model().rowCount(), rows);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TopologyPaste,
    ::testing::Values(
        PasteCase{"NodesLf", TopologyTable::Nodes, "0\t0\n10\t-2.5\n", 2, ""},
        PasteCase{"NodesCrLf", TopologyTable::Nodes, "0\t0\r\n10\t-2.5", 2, ""},
        PasteCase{"NodesTrailingCrLf", TopologyTable::Nodes, "0\t0\r\n10\t-2.5\r\n", 2, ""},
        PasteCase{"NodesCr", TopologyTable::Nodes, "1e3\t0\r10\t-2.5\r", 2, ""},
        PasteCase{"NodesBadNumber", TopologyTable::Nodes, "0\t0\r\n0,5\t1\r\n", 0,
                  "Invalid numeric input. (0,5)\nPasted row 2, column \"X (m)\"."},
        PasteCase{"NodesTooMany", TopologyTable::Nodes, "0\t0\t5\r\n", 0,
                  "Data does not fit into grid."},
        PasteCase{"NodesTooFew", TopologyTable::Nodes, "0\r\n", 0, "Data does not fit into grid."},
        PasteCase{"CurvesCurved", TopologyTable::Curves, "1\t2\t3\r\n", 1, ""},
        PasteCase{"CurvesStraight", TopologyTable::Curves, "1\t2\r\n3\t4\r\n", 2, ""},
        PasteCase{"CurvesSpreadsheetBlanks", TopologyTable::Curves, "1\t2\t\r\n3\t4\t\r\n", 2, ""},
        PasteCase{"CurvesDanglingNode", TopologyTable::Curves, "1\t2\r\n1\t99\r\n", 0,
                  "Invalid topology data.\nPasted row 2, column \"Node 2\"."},
        PasteCase{"CurvesWiderRow", TopologyTable::Curves, "1\t2\r\n1\t2\t3\r\n", 0,
                  "Data does not fit into grid."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TopologyTables, PastedCurveTakesItsNodesInColumnOrder) {
  ASSERT_TRUE(curves.Model().Paste("1\t2\t3\r\n"));
  const TEdge& edge = *doc.Model().Edges.back();
  ASSERT_EQ(edge.NodeCount(), 3);
  EXPECT_EQ(edge.GetNode(0), N(1));
  EXPECT_EQ(edge.GetNode(1), N(2));  // middle
  EXPECT_EQ(edge.GetNode(2), N(3));
  EXPECT_EQ(N(2)->RefCount, 4);
}

TEST_F(TopologyTables, SelectedRowsAreTheDocumentsSelectionBothWays) {
  QItemSelectionModel& rows = *curves.View()->selectionModel();
  rows.select(curves.Model().index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  rows.select(curves.Model().index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  EXPECT_EQ(doc.Selection(ObjectKind::Edge), (ObjectList{E(1), E(3)}));

  doc.SetSelection(ObjectKind::Edge, {E(2), E(8)}, nullptr);  // as the view does
  QList<int> selected;
  for (const QModelIndex& i : rows.selectedRows()) selected << i.row();
  std::sort(selected.begin(), selected.end());
  EXPECT_EQ(selected, (QList<int>{1, 7}));
  EXPECT_EQ(doc.Selection(ObjectKind::Edge), (ObjectList{E(2), E(8)}));  // not echoed back

  // Another kind's selection leaves this table alone; a removed edge leaves both.
  doc.SetSelection(ObjectKind::Node, {N(1)}, nullptr);
  EXPECT_EQ(rows.selectedRows().size(), 2);
  ASSERT_TRUE(curves.Model().RemoveRow(7));
  EXPECT_EQ(doc.Selection(ObjectKind::Edge), (ObjectList{E(2)}));
  EXPECT_EQ(rows.selectedRows().size(), 1);
}

}  // namespace
}  // namespace vemto::test
