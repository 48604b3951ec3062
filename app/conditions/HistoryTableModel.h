// The history of one condition as a table: time and the shown values of each event.
// The table reads the condition in the document (never a copy) and changes it only
// through undoable commands; the history editor's table and chart share one instance.
#pragma once

#include <QAbstractTableModel>
#include <QPointer>
#include <QString>
#include <vector>

#include "ConditionEditing.h"
#include "ProjectDocument.h"

namespace vemto {

class HistoryTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  /// A table over `condition` of `document` (null: an empty table).
  HistoryTableModel(ProjectDocument& document, TVemtoCondition* condition,
                    QObject* parent = nullptr);

  /// The condition shown; null once it was removed from the model or the document closed.
  TVemtoCondition* Condition() const { return condition_; }
  /// Shows `condition` instead (null: nothing).
  void SetCondition(TVemtoCondition* condition);
  /// The layout of the shown condition (columns, titles, value step).
  const HistoryLayout& Layout() const { return layout_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  /// Display and edit roles: the number in the "%g" format.
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  /// Edit role: a number; a time must lie strictly between its neighbours (the first
  /// above -1 h). Refusals emit `refused` with the reason and return false.
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

  // Row edits, each one undo step; each returns the reason when refused (empty on
  // success) and also emits `refused` then.

  /// Appends an event 24 h after the last (at 0 h in an empty table), values 0.
  QString AppendRow();
  /// Inserts an event before `row`, halfway in time to the previous one (to 0 h before
  /// the first), values interpolated.
  QString InsertRow(int row);
  /// Removes the event `row`; at least one event stays.
  QString RemoveRow(int row);
  /// Pastes spreadsheet text from the first event on (see PasteIntoHistory): all or
  /// nothing.
  QString Paste(const QString& text);
  /// Replaces the whole history by `history` after the checks of CheckHistory.
  QString Replace(std::vector<TVemtoEventPos> history, const QString& commandText);

 signals:
  /// An edit was refused; `message` says why.
  void refused(const QString& message);

 private:
  void ObjectsChanged(ObjectKind kind, const ObjectList& objects);
  void ObjectsRemoved(ObjectKind kind, const ObjectList& objects);
  QString Refuse(const QString& message);
  const std::vector<TVemtoEventPos>& History() const;

  QPointer<ProjectDocument> doc_;
  TVemtoCondition* condition_ = nullptr;
  HistoryLayout layout_;
  int rows_ = 0;  // the row count the views know
};

}  // namespace vemto
