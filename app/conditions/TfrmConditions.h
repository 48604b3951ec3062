// The tool windows of the boundary-condition window: the condition list, where the
// conditions of the current type are created, renamed, deleted and chosen, and the pipe
// arrangement, where the cooling pipes of a pipe condition are managed.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "ProjectDocument.h"
#include "TfrmPipeProp.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace vemto {

class TConditionEditors;
class TUserDialogs;
class TfrmBoundaryConds;

/// "Conditions - ...": the conditions of the current type, in model order.
class TfrmConditions : public QWidget {
  Q_OBJECT
 public:
  TfrmConditions(ProjectDocument& document, TUserDialogs& dialogs, TfrmBoundaryConds& window);

  /// Shows the conditions of `type` (TConditionType): refills, forgets the chosen one.
  void SetConditionType(int type);
  /// The conditions shown, one row each.
  const QList<TVemtoCondition*>& Shown() const { return shown_; }

  // The buttons' actions (also reachable through the buttons).
  /// "Add condition": asks for a name; a condition of the current type with the editor
  /// defaults, its name made unique.
  void AddCondition();
  /// "Delete condition": the chosen condition, unless a position or pipe uses it.
  void RemoveCondition();
  /// "Update": asks for a new name of the chosen condition.
  void RenameCondition();
  /// A click on row `row` (-1: none).
  void ChooseRow(int row);
  /// "View history" / double click: chooses the row and opens the history editor.
  void ViewHistory(int row);
  /// "View constants" of the chosen condition.
  void ViewConstants();
  /// "Import weather series" into the chosen temperature condition: asks for the file;
  /// one undo step, or a message naming the file and line and nothing changed.
  void ImportWeather();

  /// Editors of a condition's history and constants, provided by the main window;
  /// without them the buttons are disabled.
  std::function<void(TVemtoCondition*condition)> OnViewHistory, OnViewConstants;
  /// A condition was chosen in the list (an open history editor follows it).
  std::function<void(TVemtoCondition* condition)> OnConditionChosen;
  /// The history editor and constants dialogs the callbacks above open by default.
  TConditionEditors& Editors() const { return *editors_; }

 private:
  void Refill();
  void UpdateButtons();

  ProjectDocument& doc_;
  TUserDialogs& dialogs_;
  TfrmBoundaryConds& window_;
  int type_ = 1;
  QList<TVemtoCondition*> shown_;
  QListWidget* lbConditions_;
  QLabel* imgCondition_;
  QPushButton *btnAddCond_, *btnRemoveCond_, *btnUpdate_, *btnViewCond_, *btnConstants_,
      *btnImportWeather_;
  TConditionEditors* editors_;
};

/// "Pipe arrangement": the pipes of the pipe condition listed.
class TfrmPipes : public QWidget {
  Q_OBJECT
 public:
  TfrmPipes(ProjectDocument& document, TUserDialogs& dialogs, TfrmBoundaryConds& window);

  /// Lists the pipes of `condition` (null or not a pipe condition: none).
  void SetCondition(TVemtoCondition* condition);
  TVemtoCondition* Condition() const { return condition_; }
  /// The pipes shown, one row each.
  const QList<TVemtoPipe*>& Shown() const { return shown_; }

  /// A click on row `row`: the pipe becomes the chosen pipe.
  void ChooseRow(int row);
  /// "Add pipe": asks for a name.
  void AddPipe();
  /// "Delete pipe": the highlighted pipe, unless points use it.
  void RemovePipe();
  /// "Update": asks for a new name of the chosen pipe.
  void RenamePipe();
  /// "View pipe": the "Pipe properties" dialog of the chosen pipe (modal, not blocking).
  void ViewPipe();
  /// The open "Pipe properties" dialog, or null.
  TfrmPipeProp* PipeProperties() const { return frmPipeProp_; }

 private:
  void Refill();

  ProjectDocument& doc_;
  TUserDialogs& dialogs_;
  TfrmBoundaryConds& window_;
  TVemtoCondition* condition_ = nullptr;
  QList<TVemtoPipe*> shown_;
  QListWidget* lbPipes_;
  QPointer<TfrmPipeProp> frmPipeProp_;
};

}  // namespace vemto
