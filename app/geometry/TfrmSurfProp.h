// "Surface properties": the tool window beside the geometry window that shows and edits
// one surface's curves, divisions, element kind and thickness.
#pragma once

#include <QWidget>
#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace vemto {

class ProjectDocument;
class TEdge;
class TUserDialogs;
class TVemtoSurface;

/// Always on top; follows the document (lists rebuilt when edges or surfaces come or
/// go, the shown surface refreshed when it changes). Apply pushes one command.
class TfrmSurfProp : public QWidget {
  Q_OBJECT
 public:
  TfrmSurfProp(ProjectDocument& document, TUserDialogs& dialogs, QWidget* parent = nullptr);

  /// Shows `surface` (null: none, everything disabled).
  void SetSurface(TVemtoSurface* surface);
  TVemtoSurface* Surface() const { return surface_; }
  /// Rebuilds the surface and curve lists and shows the current surface again.
  void Refresh();

  /// Curve choices turn one step: Curve 1 takes Curve 2's, ..., Curve 4 the old Curve 1.
  void btnRotateClick();
  /// Thickness, then (when the curves close in order) curves, divisions and kind.
  void btnApplyClick();

 private:
  void ShowSurface();
  void ElementChanged(int index);
  void ThicknessChecked(bool checked);
  void RestoreChoices();
  TEdge* ChosenEdge(int k) const;

  ProjectDocument& doc_;
  TUserDialogs& dialogs_;
  TVemtoSurface* surface_ = nullptr;
  std::array<int, 4> applied_{-1, -1, -1, -1};  // last applied curve choices
  bool filling_ = false;

  QComboBox* cboSurface_;
  std::array<QComboBox*, 4> cboCurve_;
  QSpinBox* edtRows_;
  QSpinBox* edtColumns_;
  QComboBox* cboElement_;
  QCheckBox* chkThickness_;
  QLineEdit* edtThickness_;
  QPushButton* btnApply_;
  QPushButton* btnRotate_;
};

}  // namespace vemto
