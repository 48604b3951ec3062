// The material view: the section with its surfaces coloured by material, a legend, and
// assignment of the chosen material by clicking a surface.
#pragma once

#include <QColor>
#include <array>
#include <filesystem>

#include "FemView2D.h"
#include "TfrmDocument.h"

class QListWidget;
class QToolButton;

namespace vemto {

class TUserDialogs;
class TfrmMaterials;
class TVemtoMaterial;

/// Size of the saved view state: grid size, origin x and y, scale (doubles), then one
/// byte each for snap and grid.
inline constexpr std::size_t kMaterialViewStateSize = 34;
using TMaterialViewState = std::array<char, kMaterialViewStateSize>;

/// "Material view": the workspace view in select mode over the document's geometry.
/// A click on a surface gives it the material chosen in the material list window.
class TfrmMaterialView : public TfrmDocument {
  Q_OBJECT
 public:
  TfrmMaterialView(ProjectDocument& document, ProjectDocument& library, TUserDialogs& dialogs,
                   std::filesystem::path propertyFolder = {}, QWidget* parent = nullptr);

  TDocumentWindow Kind() const override { return TDocumentWindow::MaterialView; }
  bool CanCopy() const override { return true; }
  void Copy() override;
  TFemView2D* View() const override { return fmvWorkSpace_; }

  /// The material list window (a tool window shown with this view).
  TfrmMaterials* MaterialList() const { return materials_; }
  /// The legend: one line per material and "Unassigned".
  QListWidget* Legend() const { return legend_; }
  /// The colour of surfaces with `material` (null: unassigned).
  QColor ColorOf(const TVemtoMaterial* material) const;

  /// Pan or zoom window (which also clear the chosen material), or select.
  void SetEditMode(TEditMode mode);
  /// The "Set grid size" dialog.
  void ShowGridProperties();

  TMaterialViewState SaveViewState() const;
  void RestoreViewState(const TMaterialViewState& state);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Selected();
  void DrawNames(QPainter& painter);
  void RebuildLegend();

  ProjectDocument& library_;
  TUserDialogs& dialogs_;
  TFemView2D* fmvWorkSpace_;
  QListWidget* legend_;
  TfrmMaterials* materials_;
};

}  // namespace vemto
