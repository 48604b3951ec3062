#include "TfrmMaterials.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "MaterialCommands.h"
#include "TfrmMaterial.h"
#include "TfrmNewMaterial.h"
#include "UserDialogs.h"

namespace vemto {

TfrmMaterials::TfrmMaterials(ProjectDocument& model, ProjectDocument& library,
                             TUserDialogs& dialogs, std::filesystem::path propertyFolder,
                             QWidget* parent)
    : QWidget(parent, Qt::Tool),
      doc_(model),
      library_(library),
      dialogs_(dialogs),
      propertyFolder_(std::move(propertyFolder)),
      list_(new QListWidget) {
  setObjectName(QStringLiteral("frmMaterials"));
  setWindowTitle(QStringLiteral("Materials"));
  list_->setObjectName(QStringLiteral("lstMaterials"));
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(2);
  const struct {
    const char* name;
    const char* text;
    const char* hint;
    void (TfrmMaterials::*command)();
  } defs[] = {{"btnAddMaterial", "New", "Create new material", &TfrmMaterials::AddMaterial},
              {"btnRemoveMaterial", "Delete", "Delete material", &TfrmMaterials::RemoveMaterial},
              {"btnMaterialProp", "Edit", "Edit material", &TfrmMaterials::EditMaterial},
              {"btnUpdate", "Name", "Update", &TfrmMaterials::RenameMaterial},
              {"btnFromDatabase", "From DB", "New from database", &TfrmMaterials::FromDatabase},
              {"btnToDatabase", "To DB", "Add to database", &TfrmMaterials::ToDatabase}};
  for (const auto& d : defs) {
    auto* button = new QToolButton;
    button->setObjectName(QString::fromLatin1(d.name));
    button->setText(QString::fromLatin1(d.text));
    button->setToolTip(QString::fromLatin1(d.hint));
    buttons->addWidget(button);
    connect(button, &QToolButton::clicked, this, d.command);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addLayout(buttons);
  layout->addWidget(list_);
  resize(330, 240);

  // A click on a name (or the arrow keys) chooses; a double-click or Return edits.
  connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item == nullptr) return;
    Choose(static_cast<TVemtoMaterial*>(item->data(Qt::UserRole).value<void*>()));
    emit chosen();
  });
  connect(list_, &QListWidget::itemActivated, this, &TfrmMaterials::EditMaterial);
  auto onChange = [this](ObjectKind kind) {
    if (kind == ObjectKind::Material) Rebuild();
  };
  connect(&doc_, &ProjectDocument::objectsAdded, this, onChange);
  connect(&doc_, &ProjectDocument::objectsRemoved, this, onChange);
  connect(&doc_, &ProjectDocument::objectsChanged, this, onChange);
  connect(&doc_, &ProjectDocument::selectionChanged, this, onChange);
  Rebuild();
}

void TfrmMaterials::Rebuild() {
  const QSignalBlocker block(list_);
  TVemtoMaterial* chosen = Chosen();
  list_->clear();
  for (const auto& m : doc_.Model().Materials) {
    auto* item = new QListWidgetItem(QString::fromStdString(m->Name), list_);
    item->setData(Qt::UserRole, QVariant::fromValue(static_cast<void*>(m.get())));
    if (m.get() == chosen) list_->setCurrentItem(item);
  }
  if (chosen == nullptr) list_->setCurrentRow(-1);
}

TfrmMaterial* TfrmMaterials::Editor() const {
  return editor_;
}

TVemtoMaterial* TfrmMaterials::Chosen() const {
  const ObjectList chosen = doc_.Selection(ObjectKind::Material);
  return chosen.isEmpty() ? nullptr : static_cast<TVemtoMaterial*>(chosen.first());
}

void TfrmMaterials::Choose(TVemtoMaterial* material) {
  doc_.SetSelection(ObjectKind::Material, material != nullptr ? ObjectList{material} : ObjectList{},
                    this);
  Rebuild();
}

void TfrmMaterials::AddMaterial() {
  QString name;
  if (!dialogs_.AskText(this, QStringLiteral("Material"), QStringLiteral("Name"), name) ||
      name.isEmpty())
    return;
  const std::filesystem::path folder =
      propertyFolder_.empty() ? ProgramDirectory() : propertyFolder_;
  QStringList cements;
  try {
    TVemtoCement table;
    table.ReadFromFile(folder / kCementFileName);
    for (int k = 1; k <= table.CementCount; ++k) cements << QString::fromStdString(table.Name(k));
  } catch (const std::exception& e) {
    dialogs_.ShowError(this, QString::fromStdString(e.what()));
    return;
  }
  TfrmNewMaterial dialog(cements, {}, dialogs_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  const TNewMaterialChoice& c = dialog.Choice();
  try {
    auto material = std::make_unique<TVemtoMaterial>(
        doc_.Model().Materials.MakeUniqueName(name.toStdString()), c.Kind, c.CementType,
        c.CementContent, c.WaterCementRatio, propertyFolder_);
    doc_.Push(new AddMaterialCommand(doc_, std::move(material)));
  } catch (const std::exception& e) {
    dialogs_.ShowError(this, QString::fromStdString(e.what()));
  }
}

void TfrmMaterials::RemoveMaterial() {
  TVemtoMaterial* material = Chosen();
  if (material == nullptr) return;
  if (material->InUse()) {
    dialogs_.ShowMessage(this,
                         QStringLiteral("Material connected to a surface. Remove surface first."));
    return;
  }
  doc_.Push(new RemoveMaterialCommand(doc_, material));
}

void TfrmMaterials::EditMaterial() {
  TVemtoMaterial* material = Chosen();
  if (material == nullptr) return;
  if (editor_ != nullptr) {
    editor_->close();                                        // stores what it holds
    if (editor_ != nullptr && editor_->isVisible()) return;  // refused: a field is wrong
  }
  editor_ = new TfrmMaterial(doc_, *material, dialogs_, this);
  editor_->show();
}

void TfrmMaterials::RenameMaterial() {
  TVemtoMaterial* material = Chosen();
  if (material == nullptr) return;
  QString name = QString::fromStdString(material->Name);
  if (!dialogs_.AskText(this, QStringLiteral("Material"), QStringLiteral("Name"), name) ||
      name.toStdString() == material->Name)
    return;
  doc_.Push(new RenameMaterialCommand(doc_, material, name.toStdString()));
}

void TfrmMaterials::FromDatabase() {
  TfrmDatabase dialog(doc_, library_, propertyFolder_, this);
  dialog.exec();
}

void TfrmMaterials::ToDatabase() {
  TVemtoMaterial* material = Chosen();
  if (material == nullptr) return;
  QString name;
  if (!dialogs_.AskText(this, QStringLiteral("Add to database"), QStringLiteral("Material name"),
                        name) ||
      name.isEmpty())
    return;
  auto copy = std::make_unique<TVemtoMaterial>();
  copy->CopyFromMaterial(*material);
  copy->Name = "UM:" + name.toStdString();
  copy->Cement = material->Cement;
  copy->Concrete = material->Concrete;
  copy->PropertyFolder = material->PropertyFolder;
  copy->VersionMajor = 3;
  copy->VersionMinor = 1;
  library_.Push(
      new AddMaterialCommand(library_, std::move(copy), QStringLiteral("Add to database")));
}

}  // namespace vemto
