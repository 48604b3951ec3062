#include "TfrmMeanProgress.h"

#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace vemto {

TfrmMeanProgress::TfrmMeanProgress(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint),
      lblInfo_(new QLabel(QStringLiteral("Extracting from file. Please wait..."), this)) {
  setObjectName(QStringLiteral("frmMeanProgress"));
  setWindowTitle(QStringLiteral("Extracting from file"));
  lblInfo_->setObjectName(QStringLiteral("lblInfo"));
  auto* busy = new QProgressBar(this);
  busy->setObjectName(QStringLiteral("pbBusy"));
  busy->setRange(0, 0);  // no known end: the bar moves to and fro
  busy->setTextVisible(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblInfo_);
  layout->addWidget(busy);
  setMinimumWidth(360);
}

void TfrmMeanProgress::SetText(const QString& text) {
  lblInfo_->setText(text);
}

QString TfrmMeanProgress::Text() const {
  return lblInfo_->text();
}

}  // namespace vemto
