#include "MaterialCommands.h"

#include <cassert>

namespace vemto {

namespace {

ObjectList One(void* object) {
  return ObjectList{object};
}

}  // namespace

AddMaterialCommand::AddMaterialCommand(ProjectDocument& document,
                                       std::unique_ptr<TVemtoMaterial> material,
                                       const QString& text)
    : DocumentCommand(document, text), material_(material.get()), held_(std::move(material)) {
  assert(material_ != nullptr);
}

void AddMaterialCommand::redo() {
  doc_.Model().Materials.Add(std::move(held_));
  doc_.NotifyAdded(ObjectKind::Material, One(material_));
}

void AddMaterialCommand::undo() {
  held_ = doc_.Model().Materials.Extract(material_);
  assert(held_ != nullptr);
  doc_.NotifyRemoved(ObjectKind::Material, One(material_));
}

RemoveMaterialCommand::RemoveMaterialCommand(ProjectDocument& document, TVemtoMaterial* material)
    : DocumentCommand(document, QStringLiteral("Delete material")), material_(material) {
  assert(material != nullptr && material->RefCount == 0);
}

void RemoveMaterialCommand::redo() {
  TVemtoMaterialList& list = doc_.Model().Materials;
  index_ = static_cast<std::size_t>(list.IndexOf(material_));
  held_ = list.Extract(material_);
  assert(held_ != nullptr);
  doc_.NotifyRemoved(ObjectKind::Material, One(material_));
}

void RemoveMaterialCommand::undo() {
  doc_.Model().Materials.Insert(index_, std::move(held_));
  doc_.NotifyAdded(ObjectKind::Material, One(material_));
}

RenameMaterialCommand::RenameMaterialCommand(ProjectDocument& document, TVemtoMaterial* material,
                                             const std::string& name)
    : DocumentCommand(document, QStringLiteral("Rename material")),
      material_(material),
      before_(material->Name) {
  // Unique among the others: the material is out of the list while it is named.
  TVemtoMaterialList& list = document.Model().Materials;
  index_ = static_cast<std::size_t>(list.IndexOf(material));
  auto out = list.Extract(material);
  after_ = list.MakeUniqueName(name);
  list.Insert(index_, std::move(out));
}

void RenameMaterialCommand::redo() {
  TVemtoMaterialList& list = doc_.Model().Materials;
  index_ = static_cast<std::size_t>(list.IndexOf(material_));
  material_->Name = after_;
  list.Add(list.Extract(material_));
  doc_.NotifyChanged(ObjectKind::Material, One(material_));
}

void RenameMaterialCommand::undo() {
  TVemtoMaterialList& list = doc_.Model().Materials;
  material_->Name = before_;
  list.Insert(index_, list.Extract(material_));
  doc_.NotifyChanged(ObjectKind::Material, One(material_));
}

AssignMaterialCommand::AssignMaterialCommand(ProjectDocument& document, TVemtoSurface* surface,
                                             TVemtoMaterial* material)
    : DocumentCommand(document, QStringLiteral("Assign material")),
      surface_(surface),
      before_(surface->Material),
      after_(material) {}

void AssignMaterialCommand::Set(TVemtoMaterial* material) {
  if (surface_->Material == material) return;
  if (surface_->Material != nullptr) surface_->Material->Release();
  surface_->Material = material;
  if (material != nullptr) material->AddRef();
  doc_.NotifyChanged(ObjectKind::Surface, One(surface_));
}

void AssignMaterialCommand::redo() {
  Set(after_);
}

void AssignMaterialCommand::undo() {
  Set(before_);
}

TMaterialValues ValuesOf(const TVemtoMaterial& material) {
  return {material.Properties, material.Options};
}

EditMaterialCommand::EditMaterialCommand(ProjectDocument& document, TVemtoMaterial* material,
                                         const TMaterialValues& values)
    : DocumentCommand(document, QStringLiteral("Edit material")),
      material_(material),
      before_(ValuesOf(*material)),
      after_(values) {}

void EditMaterialCommand::Apply(const TMaterialValues& values) {
  material_->Properties = values.Properties;
  material_->Options = values.Options;
  doc_.NotifyChanged(ObjectKind::Material, One(material_));
}

void EditMaterialCommand::redo() {
  Apply(after_);
}

void EditMaterialCommand::undo() {
  Apply(before_);
}

}  // namespace vemto
