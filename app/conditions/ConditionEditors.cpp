#include "ConditionEditors.h"

#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

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
  // Hiding or closing the condition list closes the history editor.
  if (watched == &list_ && event->type() == QEvent::Hide && frmHistory_ != nullptr)
    frmHistory_->CloseEditor();
  return QObject::eventFilter(watched, event);
}

void TConditionEditors::ShowHistory(TVemtoCondition* condition) {
  if (frmHistory_ == nullptr) {
    frmHistory_ = new TfrmHistory(doc_, dialogs_);
    frmHistory_->setAttribute(Qt::WA_DeleteOnClose);
    // A document window beside the one the list serves, when that one is an MDI child.
    QMdiArea* area = nullptr;
    for (QWidget* w = list_.parentWidget(); w != nullptr && area == nullptr; w = w->parentWidget())
      if (auto* frame = qobject_cast<QMdiSubWindow*>(w)) area = frame->mdiArea();
    if (area != nullptr) {
      QMdiSubWindow* frame = area->addSubWindow(frmHistory_);
      frame->setAttribute(Qt::WA_DeleteOnClose);
      frame->resize(std::min(900, area->width()), std::min(520, area->height()));
      frame->showNormal();
      area->setActiveSubWindow(frame);
    } else {
      frmHistory_->setParent(&list_, Qt::Window);
      frmHistory_->show();
    }
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
