#include "TfrmNewSurface.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

namespace vemto {

QStringList ElementKindNames() {
  return {QStringLiteral("Eight node element"), QStringLiteral("Five node infinite element"),
          QStringLiteral("Three node infinite element")};
}

TfrmNewSurface::TfrmNewSurface(QWidget* parent)
    : QDialog(parent),
      edtRows_(new QSpinBox(this)),
      edtColumns_(new QSpinBox(this)),
      cboElement_(new QComboBox(this)) {
  setWindowTitle(QStringLiteral("New surface"));
  setObjectName(QStringLiteral("frmNewSurface"));
  for (QSpinBox* edit : {edtRows_, edtColumns_}) {
    edit->setRange(1, 200);
    edit->setValue(8);
  }
  edtRows_->setObjectName(QStringLiteral("edtRows"));
  edtColumns_->setObjectName(QStringLiteral("edtColumns"));
  cboElement_->setObjectName(QStringLiteral("cboElement"));
  cboElement_->addItems(ElementKindNames());
  connect(cboElement_, &QComboBox::currentIndexChanged, this, &TfrmNewSurface::ElementChanged);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QFormLayout(this);
  layout->addRow(QStringLiteral("Rows"), edtRows_);
  layout->addRow(QStringLiteral("Columns"), edtColumns_);
  layout->addRow(QStringLiteral("Element"), cboElement_);
  layout->addRow(buttons);
}

void TfrmNewSurface::ElementChanged(int index) {
  if (index >= 1) edtRows_->setValue(1);
  if (index == 2) edtColumns_->setValue(1);
  edtRows_->setEnabled(index == 0);
  edtColumns_->setEnabled(index != 2);
}

TNewSurfaceChoice TfrmNewSurface::Choice() const {
  return {edtRows_->value(), edtColumns_->value(), cboElement_->currentIndex()};
}

}  // namespace vemto
