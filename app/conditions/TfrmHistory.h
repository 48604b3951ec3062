// "History editor": the time history of one condition as a chart and a table, with
// controls that step through its events. Table and chart read one HistoryTableModel, so
// both follow every edit, undo and redo; every edit is one undoable command.
#pragma once

#include <QPointer>
#include <QWidget>

#include "HistoryTableModel.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QChart;
class QChartView;
class QLineSeries;
class QScatterSeries;
class QValueAxis;
class QVXYModelMapper;

namespace vemto {

class TUserDialogs;

/// The history editor. It shows one condition at a time and closes (storing nothing
/// typed but not applied) when that condition leaves the model or the document goes.
class TfrmHistory : public QWidget {
  Q_OBJECT
 public:
  TfrmHistory(ProjectDocument& document, TUserDialogs& dialogs, QWidget* parent = nullptr);

  /// Shows `condition` from its first event. An empty history first gets the two
  /// starting events (one undo step).
  void ShowCondition(TVemtoCondition* condition);
  /// The condition shown (null after it left the model).
  TVemtoCondition* Condition() const { return model_->Condition(); }
  /// The table model shared by table and chart.
  HistoryTableModel& Model() const { return *model_; }
  /// Index of the current event (0 = first).
  int EventIndex() const { return index_; }

  // The controls' actions (also reachable through the buttons).
  /// Previous / next event; typed values are applied first.
  void StepEvent(int direction);
  /// Moves the current event's time by one time step (-1 earlier, +1 later) where the
  /// neighbours leave room; the first event's time stays.
  void StepTime(int direction);
  /// Shown value `k` (0, 1) of the current event plus `direction` value steps.
  void StepValue(int k, int direction);
  /// "Change": applies the typed time and values to the current event. A value field
  /// that does not read as a number leaves its value; a time outside its neighbours
  /// leaves the time.
  void ApplyTyped();
  /// Table rows: append after the last, insert before the current, remove the current.
  void AddRow();
  void InsertRow();
  void RemoveRow();
  /// Pastes spreadsheet text (TAB between cells, LF or CR LF line ends) over the history
  /// from the first event; all or nothing. Without `text`: the clipboard's text.
  void Paste(const QString* text = nullptr);

  /// Closes the editor (its MDI frame, when it has one).
  void CloseEditor();

 signals:
  /// The current event changed.
  void eventChanged(int index);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ModelChanged();
  void SetIndex(int index);
  void RefreshFields();
  void RefreshChart();
  void ApplyLayout();
  bool Replace(std::vector<TVemtoEventPos> history, const QString& text);

  QPointer<ProjectDocument> doc_;
  TUserDialogs& dialogs_;
  HistoryTableModel* model_;
  TVemtoCondition* shown_ = nullptr;  // the condition last shown, for its removal
  QVXYModelMapper* mapper2_ = nullptr;
  int index_ = 0;
  bool entered_ = false;  // a field was typed in and not yet applied

  QLabel *pnlEvent_, *lblValue1_, *lblValue2_;
  QLineEdit *edtTime_, *edtValue1_, *edtValue2_;
  QPushButton *btnVal2Up_, *btnVal2Down_;
  QTableView* grdHistory_;
  QChart* chrtHistory_;
  QChartView* chartView_;
  QLineSeries *serValue1_, *serValue2_;
  QScatterSeries *serMark_, *serMark2_;
  QValueAxis *axisX_, *axisY_;
};

}  // namespace vemto
