#include "TfrmGridProp.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

namespace vemto {

TfrmGridProp::TfrmGridProp(QWidget* parent) : QDialog(parent), edtGridSize_(new QLineEdit(this)) {
  setObjectName(QStringLiteral("frmGridProp"));
  setWindowTitle(QStringLiteral("Set grid size"));
  edtGridSize_->setObjectName(QStringLiteral("edtGridSize"));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QFormLayout(this);
  layout->addRow(QStringLiteral("Grid spacing (m):"), edtGridSize_);
  layout->addRow(buttons);
}

QString TfrmGridProp::Text() const {
  return edtGridSize_->text();
}

void TfrmGridProp::SetText(const QString& text) {
  edtGridSize_->setText(text);
  edtGridSize_->selectAll();
}

}  // namespace vemto
