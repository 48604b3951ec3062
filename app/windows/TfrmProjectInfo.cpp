#include "TfrmProjectInfo.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "CalcSettingsLogic.h"

namespace vemto {

namespace {

struct Field {
  const char* name;
  const char* caption;
  std::string TVemtoProjectInfo::*text;
};

constexpr std::array<Field, 6> kFields{{
    {"edtTitle", "Title", &TVemtoProjectInfo::Title},
    {"edtSubject", "Subject", &TVemtoProjectInfo::Subject},
    {"edtAuthor", "Author", &TVemtoProjectInfo::Author},
    {"edtManager", "Manager", &TVemtoProjectInfo::Manager},
    {"edtCompany", "Company", &TVemtoProjectInfo::Company},
    {"edtDescription", "Description", &TVemtoProjectInfo::Description},
}};

}  // namespace

TfrmProjectInfo::TfrmProjectInfo(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmProjectInfo"));
  setWindowTitle(QStringLiteral("Project information"));
  auto* form = new QFormLayout;
  for (std::size_t k = 0; k < kFields.size(); ++k) {
    edits_[k] = new QLineEdit(this);
    edits_[k]->setObjectName(QString::fromLatin1(kFields[k].name));
    edits_[k]->setMinimumWidth(360);
    form->addRow(QString::fromLatin1(kFields[k].caption), edits_[k]);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

void TfrmProjectInfo::SetInfo(const TVemtoProjectInfo& info) {
  for (std::size_t k = 0; k < kFields.size(); ++k) {
    edits_[k]->setText(QString::fromStdString(info.*kFields[k].text));
    edits_[k]->setCursorPosition(0);
  }
  edits_[0]->setFocus();
}

TVemtoProjectInfo TfrmProjectInfo::Info() const {
  TVemtoProjectInfo info;
  for (std::size_t k = 0; k < kFields.size(); ++k)
    info.*kFields[k].text = edits_[k]->text().toStdString();
  return info;
}

bool TfrmProjectInfo::ApplyOk() {
  const std::optional<TSettingsError> error = CheckProjectInfo(Info());
  if (!error) return true;
  const QString text = QString::fromStdString(error->Message);
  if (ShowMessage)
    ShowMessage(text);
  else
    QMessageBox::warning(this, windowTitle(), text);
  return false;
}

void TfrmProjectInfo::accept() {
  if (ApplyOk()) QDialog::accept();
}

}  // namespace vemto
