// The material editor: every property of one material on eleven pages, the options as
// check boxes, times in hours and the water-cement ratio as a field of its own.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <optional>

#include "MaterialCommands.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QTabWidget;

namespace vemto {

class TUserDialogs;

/// "Material": a stay-on-top editor shown without blocking. It edits a copy of the
/// material's values; closing it (Close, Escape, the window's close button) stores the
/// fields as one EditMaterialCommand, nothing when no value changed. A field whose text
/// is unchanged keeps its stored value bit for bit. A field that is not a number, or a
/// water-cement ratio <= 0, is named in a message and the editor stays open. When the
/// material leaves the model, or the model goes away, the editor closes without storing.
class TfrmMaterial : public QDialog {
  Q_OBJECT
 public:
  TfrmMaterial(ProjectDocument& document, TVemtoMaterial& material, TUserDialogs& dialogs,
               QWidget* parent = nullptr);

  /// The material edited, or null once it has gone.
  TVemtoMaterial* Material() const { return material_; }
  /// The field with this label text (after "%d" was filled in), or null.
  QLineEdit* Field(const QString& label) const;
  /// The check box with this text, or null.
  QCheckBox* Option(const QString& text) const;
  /// The page tabs.
  QTabWidget* Pages() const { return pages_; }
  /// Reads every field into the working values; the message naming the first field that
  /// is not accepted, or empty.
  QString Store();
  /// Fills every field and box from the working values.
  void Fill();

  void done(int result) override;

 private:
  struct FieldState {
    int property;  // 1..68, or 0 for the water-cement ratio
    bool hours;
    QString label;
    QLabel* caption;
    QLineEdit* edit;
    QString shown;  // text as filled in
  };
  void Drop();
  void UpdatePages();
  void WaterCementRatioLeft();
  QString FieldText(const FieldState& field) const;

  ProjectDocument* doc_;
  TVemtoMaterial* material_;
  TUserDialogs& dialogs_;
  TMaterialValues values_;
  QList<FieldState> fields_;
  QList<QCheckBox*> options_;  // options 1..6
  QTabWidget* pages_;
};

}  // namespace vemto
