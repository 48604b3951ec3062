// The material list window: the model's materials by name, with the buttons that create,
// delete, edit and rename them and exchange them with the material library.
#pragma once

#include <QPointer>
#include <QWidget>
#include <filesystem>

#include "ProjectDocument.h"

class QListWidget;
class QToolButton;

namespace vemto {

class TUserDialogs;
class TfrmMaterial;
class TVemtoMaterial;

/// "Materials": a tool window over the model's material list. The chosen material is the
/// document's material selection (which the material view assigns on a click).
class TfrmMaterials : public QWidget {
  Q_OBJECT
 public:
  /// `propertyFolder` holds "cempropt" and "conpropt" (empty: the program's folder).
  TfrmMaterials(ProjectDocument& model, ProjectDocument& library, TUserDialogs& dialogs,
                std::filesystem::path propertyFolder, QWidget* parent = nullptr);

  /// The chosen material, or null.
  TVemtoMaterial* Chosen() const;
  /// Chooses `material` (null: none), as a click on its name does.
  void Choose(TVemtoMaterial* material);
  /// The list of names.
  QListWidget* List() const { return list_; }
  /// The editor opened last, while it is open.
  TfrmMaterial* Editor() const;

  // The buttons' commands.
  void AddMaterial();     ///< "Create new material"
  void RemoveMaterial();  ///< "Delete material"
  void EditMaterial();    ///< "Edit material"
  void RenameMaterial();  ///< "Update"
  void FromDatabase();    ///< "New from database"
  void ToDatabase();      ///< "Add to database"

 signals:
  /// A material was chosen by a click on its name (the view leaves Pan and Zoom window).
  void chosen();

 private:
  void Rebuild();

  ProjectDocument& doc_;
  ProjectDocument& library_;
  TUserDialogs& dialogs_;
  std::filesystem::path propertyFolder_;
  QListWidget* list_;
  QPointer<TfrmMaterial> editor_;
};

}  // namespace vemto
