#include "TfrmMesh.h"

#include <QCloseEvent>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "VemtoMesh.h"

namespace vemto {

TfrmMesh::TfrmMesh(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      prgProcessing_(new QProgressBar(this)),
      pnlInfoText_(new QLabel(this)),
      btnCancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  setObjectName(QStringLiteral("frmMesh"));
  setWindowTitle(QStringLiteral("Vemto mesh"));
  prgProcessing_->setObjectName(QStringLiteral("prgProcessing"));
  pnlInfoText_->setObjectName(QStringLiteral("pnlInfoText"));
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  prgProcessing_->setRange(0, kMeshPhaseCount);
  pnlInfoText_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  pnlInfoText_->setMinimumWidth(320);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prgProcessing_);
  layout->addWidget(pnlInfoText_);
  layout->addWidget(btnCancel_, 0, Qt::AlignRight);
  connect(btnCancel_, &QPushButton::clicked, this, &TfrmMesh::btnCancelClick);
}

void TfrmMesh::Start() {
  prgProcessing_->setValue(0);
  pnlInfoText_->clear();
}

void TfrmMesh::Info(const std::string& text) {
  // The bar shows the phase: a phase repeats its text once per item it works on.
  const QString shown = QString::fromStdString(text).trimmed();
  const int phase = MeshPhaseNumber(text);
  if (phase > 0)
    prgProcessing_->setValue(std::max(prgProcessing_->value(), phase));
  else if (shown != pnlInfoText_->text())
    prgProcessing_->setValue(std::min(prgProcessing_->value() + 1, prgProcessing_->maximum()));
  pnlInfoText_->setText(shown);
  prgProcessing_->repaint();
  pnlInfoText_->repaint();
  QApplication::processEvents();
}

void TfrmMesh::Done() {
  prgProcessing_->setValue(0);
  pnlInfoText_->setText(QStringLiteral("CALCULATION DONE"));
}

void TfrmMesh::Error() {
  prgProcessing_->setValue(0);
}

QString TfrmMesh::InfoText() const {
  return pnlInfoText_->text();
}

void TfrmMesh::btnCancelClick() {
  if (OnCancel) OnCancel();
  prgProcessing_->setValue(0);
  pnlInfoText_->setText(QStringLiteral("CALCULATION DONE"));
}

void TfrmMesh::closeEvent(QCloseEvent* event) {
  // Closed only by its owner (hide()); the user ends a run with Cancel.
  event->ignore();
}

}  // namespace vemto
