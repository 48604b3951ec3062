// The editors the condition list opens: the one history editor and the constants
// dialogs. Both go when the list goes; the history editor also when the list is closed.
#pragma once

#include <QObject>
#include <QPointer>

#include "ConstantsDialogs.h"
#include "TfrmHistory.h"

namespace vemto {

/// The history editor and constants dialog of one condition list.
class TConditionEditors : public QObject {
  Q_OBJECT
 public:
  /// Editors of `document`'s conditions for the condition list `list`.
  TConditionEditors(ProjectDocument& document, TUserDialogs& dialogs, QWidget& list);
  ~TConditionEditors() override;

  /// Shows `condition` in the history editor, creating it when none is open.
  void ShowHistory(TVemtoCondition* condition);
  /// A condition was chosen in the list: an open history editor switches to it.
  void Follow(TVemtoCondition* condition);
  /// Opens the constants dialog of `condition`'s kind.
  void ShowConstants(TVemtoCondition* condition);

  /// The open history editor and constants dialog, or null.
  TfrmHistory* History() const { return frmHistory_; }
  TConstantsDialog* Constants() const { return frmConstants_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ProjectDocument& doc_;
  TUserDialogs& dialogs_;
  QWidget& list_;
  TPipeWall pipeWall_;  // the pipe wall dialog's values, kept from one use to the next
  QPointer<TfrmHistory> frmHistory_;
  QPointer<TConstantsDialog> frmConstants_;
};

}  // namespace vemto
