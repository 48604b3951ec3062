// The topology tables: the model's nodes, curves (edges) and surfaces as numbers, as
// table models over the project document. Every edit is an undoable command; the tables
// follow the document's changes (also on undo and redo).
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QStringList>
#include <vector>

#include "ProjectDocument.h"

namespace vemto {

/// Which table.
enum class TopologyTable { Nodes, Curves, Surfaces };

/// The rows of spreadsheet text: rows end with LF, CR LF or CR (the end of the last row
/// may be missing), values are separated by TAB and trimmed; empty values at the end of a
/// row and empty rows are dropped.
QList<QStringList> SpreadsheetRows(const QString& text);

/// Base of the three tables. Rows are the objects in list order (row r shows number
/// r + 1), followed by the new rows made with AddRow that are not complete yet (curves
/// and surfaces; their empty reference cells show "[Empty]"). A new row becomes an
/// object, as one undo step, as soon as its references are complete and valid.
///
/// Edits that cannot be made leave everything unchanged and emit `problem` with the
/// message, the row and the column.
class TTopologyModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  TTopologyModel(ProjectDocument& document, ObjectKind kind, QStringList columns,
                 QObject* parent = nullptr);

  /// The kind of the objects of the rows.
  ObjectKind Kind() const { return kind_; }
  /// The document, or null after it was destroyed (the table is then empty).
  ProjectDocument* Document() const { return doc_; }
  /// The object of `row`, or null for a new row or a row out of range.
  void* ObjectAt(int row) const;
  /// The row of `object`, or -1.
  int RowOf(const void* object) const;

  /// Add: a node at (0, 0) at once; an empty new row for curves and surfaces.
  virtual void AddRow() = 0;
  /// Remove: deletes the object of `row` (refused while something uses it) or drops
  /// the new row. False when refused.
  bool RemoveRow(int row);
  /// Paste of spreadsheet text (see SpreadsheetRows): every row becomes a new object.
  /// All rows are checked first; nothing is added unless all are valid. One undo step.
  virtual bool Paste(const QString& text);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  /// Text of a reference cell whose object is missing.
  static QString EmptyText() { return QStringLiteral("[Empty]"); }

 signals:
  /// An edit, Remove or Paste was refused for the reason `message`.
  void problem(const QString& message);

 protected:
  /// The objects of the document's list, in order.
  virtual ObjectList ModelObjects() const = 0;
  /// Text of column `column` (>= 1) of `object`.
  virtual QString Text(void* object, int column) const = 0;
  /// Applies the text typed into column `column` of the object's row `row`.
  virtual bool EditObject(void* object, int row, int column, const QString& text) = 0;
  /// Applies the text typed into a new row (`draft` indexes drafts_).
  virtual bool EditDraft(int draft, int column, const QString& text);
  /// The tables whose numbers this one shows (their changes refresh every row).
  virtual bool DependsOn(ObjectKind kind) const = 0;
  /// The message of Remove for an object in use.
  virtual QString InUseMessage() const = 0;

  /// Emits `problem` with `message`, naming the row (1-based) and column.
  bool Refuse(const QString& message, int row, int column);
  /// Emits `problem` for the pasted row `row` (0-based) and value `column` (0-based).
  bool RefusePaste(const QString& message, int row, int column);
  /// Appends an empty new row with `cells` (column 0 excluded).
  void AppendDraft(const QStringList& cells);
  /// Drops new row `draft`.
  void DropDraft(int draft);

  /// Brings the rows in line with the document's list (rows out, rows in).
  void Sync();

  QPointer<ProjectDocument> doc_;
  std::vector<QStringList> drafts_;  // the cells (columns 1..) of the new rows

 private:
  void RefreshAll();
  ObjectKind kind_;
  QStringList columns_;
  std::vector<void*> rows_;  // the objects of the rows, in the document's list order
};

/// "Node", "X (m)", "Y (m)".
class TNodeTableModel : public TTopologyModel {
  Q_OBJECT
 public:
  explicit TNodeTableModel(ProjectDocument& document, QObject* parent = nullptr);
  void AddRow() override;
  bool Paste(const QString& text) override;

 protected:
  ObjectList ModelObjects() const override;
  QString Text(void* object, int column) const override;
  bool EditObject(void* object, int row, int column, const QString& text) override;
  bool DependsOn(ObjectKind) const override { return false; }
  QString InUseMessage() const override;
};

/// "Curve", "Node 1", "Node 2", "Node 3": the numbers of the start and end node of a
/// straight edge, of the start, middle and end node of a curved one. A number typed
/// into or cleared from "Node 3" changes the kind of an edge nothing uses; the new edge
/// goes to the end of the list.
class TCurveTableModel : public TTopologyModel {
  Q_OBJECT
 public:
  explicit TCurveTableModel(ProjectDocument& document, QObject* parent = nullptr);
  void AddRow() override;
  bool Paste(const QString& text) override;

 protected:
  ObjectList ModelObjects() const override;
  QString Text(void* object, int column) const override;
  bool EditObject(void* object, int row, int column, const QString& text) override;
  bool EditDraft(int draft, int column, const QString& text) override;
  bool DependsOn(ObjectKind kind) const override { return kind == ObjectKind::Node; }
  QString InUseMessage() const override;

 private:
  TNode* ReadNode(const QString& text, int row, int column, bool& ok);
};

/// "Surface", "Curve 1" ... "Curve 4", "Rows", "Cols", "Nodes". Rows and Cols are the
/// division counts of edges 1 and 0; they spread to the surfaces sharing the edges.
/// "Nodes" is 8, 5 or 3 (eight-node, five-node infinite, three-node infinite).
class TSurfaceTableModel : public TTopologyModel {
  Q_OBJECT
 public:
  explicit TSurfaceTableModel(ProjectDocument& document, QObject* parent = nullptr);
  void AddRow() override;
  bool Paste(const QString&) override { return false; }

 protected:
  ObjectList ModelObjects() const override;
  QString Text(void* object, int column) const override;
  bool EditObject(void* object, int row, int column, const QString& text) override;
  bool EditDraft(int draft, int column, const QString& text) override;
  bool DependsOn(ObjectKind kind) const override { return kind == ObjectKind::Edge; }
  QString InUseMessage() const override;

 private:
  bool Apply(void* surface, int row, int column, QStringList cells);
};

}  // namespace vemto
