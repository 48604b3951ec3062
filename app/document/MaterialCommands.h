// The undoable edits of materials: adding, removing, renaming and editing a material of
// a model (or of the material library), and assigning a material to a surface.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "DocumentCommands.h"

namespace vemto {

/// Appends a material built by the caller (its name already chosen) to the list.
class AddMaterialCommand : public DocumentCommand {
 public:
  AddMaterialCommand(ProjectDocument& document, std::unique_ptr<TVemtoMaterial> material,
                     const QString& text = QStringLiteral("New material"));
  TVemtoMaterial* Material() const { return material_; }
  void redo() override;
  void undo() override;

 private:
  TVemtoMaterial* material_;
  std::unique_ptr<TVemtoMaterial> held_;
};

/// Removes a material that no surface uses (`RefCount` 0); undo puts it back at its
/// list position.
class RemoveMaterialCommand : public DocumentCommand {
 public:
  RemoveMaterialCommand(ProjectDocument& document, TVemtoMaterial* material);
  void redo() override;
  void undo() override;

 private:
  TVemtoMaterial* material_;
  std::size_t index_ = 0;
  std::unique_ptr<TVemtoMaterial> held_;
};

/// Renames a material: it takes `name`, made unique among the other materials, and
/// moves to the end of the list. Undo restores name and position.
class RenameMaterialCommand : public DocumentCommand {
 public:
  RenameMaterialCommand(ProjectDocument& document, TVemtoMaterial* material,
                        const std::string& name);
  void redo() override;
  void undo() override;

 private:
  TVemtoMaterial* material_;
  std::string before_, after_;
  std::size_t index_ = 0;
};

/// Gives `surface` the material `material` (null: none): the previous material is
/// released and the new one referenced. Nothing changes when it already has it.
class AssignMaterialCommand : public DocumentCommand {
 public:
  AssignMaterialCommand(ProjectDocument& document, TVemtoSurface* surface,
                        TVemtoMaterial* material);
  void redo() override;
  void undo() override;

 private:
  void Set(TVemtoMaterial* material);
  TVemtoSurface* surface_;
  TVemtoMaterial* before_;
  TVemtoMaterial* after_;
};

/// The edited values of a material: properties P1..P68 (time values in seconds) and
/// options 1..7.
struct TMaterialValues {
  std::array<double, kMaterialProperties> Properties{};
  std::array<std::int32_t, kMaterialOptions> Options{};
  bool operator==(const TMaterialValues&) const = default;
};

/// The values of `material`.
TMaterialValues ValuesOf(const TVemtoMaterial& material);

/// Writes new property and option values into a material (one editor session).
class EditMaterialCommand : public DocumentCommand {
 public:
  EditMaterialCommand(ProjectDocument& document, TVemtoMaterial* material,
                      const TMaterialValues& values);
  void redo() override;
  void undo() override;

 private:
  void Apply(const TMaterialValues& values);
  TVemtoMaterial* material_;
  TMaterialValues before_, after_;
};

}  // namespace vemto
