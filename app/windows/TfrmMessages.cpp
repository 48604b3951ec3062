#include "TfrmMessages.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vemto {

TfrmMessages::TfrmMessages(QWidget* parent)
    : QDialog(parent), lbWarnings_(new QListWidget(this)), lbErrors_(new QListWidget(this)) {
  setObjectName(QStringLiteral("frmMessages"));
  setWindowTitle(QStringLiteral("Messages"));
  lbWarnings_->setObjectName(QStringLiteral("lbWarnings"));
  lbErrors_->setObjectName(QStringLiteral("lbErrors"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Warnings:"), this));
  layout->addWidget(lbWarnings_);
  layout->addWidget(new QLabel(QStringLiteral("Errors:"), this));
  layout->addWidget(lbErrors_);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* btnContinue =
      buttons->addButton(QStringLiteral("&Continue"), QDialogButtonBox::AcceptRole);
  btnContinue->setObjectName(QStringLiteral("btnContinue"));
  QPushButton* btnCancel =
      buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  resize(480, 360);
}

void TfrmMessages::SetLists(const QStringList& warnings, const QStringList& errors) {
  lbWarnings_->clear();
  lbWarnings_->addItems(warnings);
  lbErrors_->clear();
  lbErrors_->addItems(errors);
}

}  // namespace vemto
