#include "TfrmNewMaterial.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "MaterialCommands.h"
#include "NumberText.h"
#include "UserDialogs.h"

namespace vemto {

TfrmNewMaterial::TfrmNewMaterial(const QStringList& cementNames, const TNewMaterialChoice& choice,
                                 TUserDialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      choice_(choice),
      chkHeat_(new QCheckBox(QStringLiteral("Model heat development"))),
      cmbCement_(new QComboBox),
      edtContent_(new QLineEdit(QString::fromStdString(FormatG(choice.CementContent)))),
      edtRatio_(new QLineEdit(QString::fromStdString(FormatG(choice.WaterCementRatio)))) {
  setObjectName(QStringLiteral("frmNewMaterial"));
  setWindowTitle(QStringLiteral("New material"));
  chkHeat_->setObjectName(QStringLiteral("chkHeat"));
  cmbCement_->setObjectName(QStringLiteral("cmbCement"));
  edtContent_->setObjectName(QStringLiteral("edtCementContent"));
  edtRatio_->setObjectName(QStringLiteral("edtWaterCementRatio"));
  cmbCement_->addItems(cementNames);
  cmbCement_->setCurrentIndex(std::clamp(choice.CementType - 1, 0, int(cementNames.size()) - 1));
  chkHeat_->setChecked(choice.Kind == 1);
  cmbCement_->setEnabled(chkHeat_->isChecked());
  connect(chkHeat_, &QCheckBox::toggled, cmbCement_, &QWidget::setEnabled);

  auto* form = new QFormLayout;
  form->addRow(chkHeat_);
  form->addRow(QStringLiteral("Cement type"), cmbCement_);
  form->addRow(QStringLiteral("Cement content (kg/m3)"), edtContent_);
  form->addRow(QStringLiteral("Water-cement ratio"), edtRatio_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

void TfrmNewMaterial::accept() {
  const auto content = ParseReal(edtContent_->text().toStdString());
  const auto ratio = ParseReal(edtRatio_->text().toStdString());
  if (!content || *content < 0.0) {
    dialogs_.ShowError(this, QStringLiteral("Cement content (kg/m3): \"%1\" is not a number >= 0.")
                                 .arg(edtContent_->text()));
    return;
  }
  if (!ratio || !(*ratio > 0.0)) {
    dialogs_.ShowError(
        this,
        QStringLiteral("Water-cement ratio: \"%1\" is not a number > 0.").arg(edtRatio_->text()));
    return;
  }
  choice_.Kind = chkHeat_->isChecked() ? 1 : 0;
  choice_.CementType = cmbCement_->currentIndex() + 1;
  choice_.CementContent = *content;
  choice_.WaterCementRatio = *ratio;
  QDialog::accept();
}

TfrmDatabase::TfrmDatabase(ProjectDocument& model, ProjectDocument& library,
                           std::filesystem::path propertyFolder, QWidget* parent)
    : QDialog(parent),
      model_(model),
      library_(library),
      propertyFolder_(std::move(propertyFolder)),
      list_(new QListWidget) {
  setObjectName(QStringLiteral("frmDatabase"));
  setWindowTitle(QStringLiteral("Material database"));
  list_->setObjectName(QStringLiteral("lstDatabase"));
  for (const auto& m : library_.Model().Materials) list_->addItem(QString::fromStdString(m->Name));
  auto* add = new QPushButton(QStringLiteral("Add material"));
  add->setObjectName(QStringLiteral("btnAddMaterial"));
  connect(add, &QPushButton::clicked, this, &TfrmDatabase::AddChosen);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->addButton(add, QDialogButtonBox::ActionRole);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_);
  layout->addWidget(buttons);
  resize(320, 360);
}

bool TfrmDatabase::AddChosen() {
  const int row = list_->currentRow();
  auto& materials = library_.Model().Materials;
  if (row < 0 || static_cast<std::size_t>(row) >= materials.Count()) return false;
  auto copy = std::make_unique<TVemtoMaterial>();
  copy->PropertyFolder = propertyFolder_;
  copy->ReadPropertyTables();
  copy->CopyFromMaterial(*materials[static_cast<std::size_t>(row)]);
  copy->VersionMajor = 3;
  copy->VersionMinor = 1;
  copy->Name = model_.Model().Materials.MakeUniqueName(copy->Name);
  model_.Push(
      new AddMaterialCommand(model_, std::move(copy), QStringLiteral("Material from database")));
  return true;
}

}  // namespace vemto
