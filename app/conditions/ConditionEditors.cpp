#include "ConditionEditors.h"

#include <QEvent>

namespace vemto {

TConditionEditors::TConditionEditors(ProjectDocument& document, TUserDialogs& dialogs,
                                     QWidget& list)
    : QObject(&list), doc_(document), dialogs_(dialogs), list_(list) {
  list.installEventFilter(this);
}

TConditionEditors::~TConditionEditors() {
  if (frmHistory_ != nullptr) frmHistory_->CloseEditor();
}

bool TConditionEditors::eventFilter(QObject* watched, QEvent* event) {
  // Closing the condition list closes the history editor. (The list is also hidden and
  // shown again while its window changes state in the MDI area: that keeps the editor.)
  if (watched == &list_ && event->type() == QEvent::Close && frmHistory_ != nullptr)
    frmHistory_->CloseEditor();
  return QObject::eventFilter(watched, event);
}

void TConditionEditors::ShowHistory(TVemtoCondition* condition) {
  if (frmHistory_ == nullptr) {
    frmHistory_ = new TfrmHistory(doc_, dialogs_);
    frmHistory_->setAttribute(Qt::WA_DeleteOnClose);
    // Its own window beside the section: an MDI child would give the keyboard back to
    // the section's window, which the condition list belongs to, and go behind it.
    frmHistory_->setParent(&list_, Qt::Window);
    if (const QWidget* section = list_.parentWidget())  // over the section's left part
      frmHistory_->move(section->mapToGlobal(QPoint(40, 40)));
    frmHistory_->show();
  }
  frmHistory_->ShowCondition(condition);
  frmHistory_->raise();
}

void TConditionEditors::Follow(TVemtoCondition* condition) {
  if (frmHistory_ != nullptr && condition != nullptr) frmHistory_->ShowCondition(condition);
}

void TConditionEditors::ShowConstants(TVemtoCondition* condition) {
  delete frmConstants_;
  frmConstants_ = OpenConstantsDialog(doc_, dialogs_, condition, pipeWall_, &list_);
}

}  // namespace vemto
