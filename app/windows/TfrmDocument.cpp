#include "TfrmDocument.h"

#include <QCloseEvent>

namespace vemto {

TfrmDocument::TfrmDocument(ProjectDocument& document, QWidget* parent)
    : QWidget(parent), doc_(document) {}

void TfrmDocument::closeEvent(QCloseEvent* event) {
  emit closing(this);
  QWidget::closeEvent(event);
}

}  // namespace vemto
