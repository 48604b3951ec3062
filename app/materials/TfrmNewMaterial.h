// The "New material" dialog and the "Material database" dialog.
#pragma once

#include <QDialog>
#include <QStringList>
#include <filesystem>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;

namespace vemto {

class ProjectDocument;
class TUserDialogs;

/// What "New material" gives: kind 1 with heat development (else 0), the 1-based cement
/// type, the cement content (kg/m3) and the water-cement ratio.
struct TNewMaterialChoice {
  int Kind = 1;
  int CementType = 1;
  double CementContent = 300.0;
  double WaterCementRatio = 0.5;
};

/// "New material": heat development, cement type, cement content and water-cement ratio.
/// OK is refused with a message while a number does not read or the ratio is not > 0.
class TfrmNewMaterial : public QDialog {
  Q_OBJECT
 public:
  TfrmNewMaterial(const QStringList& cementNames, const TNewMaterialChoice& choice,
                  TUserDialogs& dialogs, QWidget* parent = nullptr);
  /// The values after OK.
  const TNewMaterialChoice& Choice() const { return choice_; }
  void accept() override;

 private:
  TUserDialogs& dialogs_;
  TNewMaterialChoice choice_;
  QCheckBox* chkHeat_;
  QComboBox* cmbCement_;
  QLineEdit* edtContent_;
  QLineEdit* edtRatio_;
};

/// "Material database": the library's materials by name; "Add material" copies the
/// chosen one into the model (name made unique), one command each.
class TfrmDatabase : public QDialog {
  Q_OBJECT
 public:
  TfrmDatabase(ProjectDocument& model, ProjectDocument& library,
               std::filesystem::path propertyFolder, QWidget* parent = nullptr);
  /// The list of library materials.
  QListWidget* List() const { return list_; }
  /// Copies the chosen library material into the model; false when none is chosen.
  bool AddChosen();

 private:
  ProjectDocument& model_;
  ProjectDocument& library_;
  std::filesystem::path propertyFolder_;
  QListWidget* list_;
};

}  // namespace vemto
