// "Set grid size": the grid spacing of the geometry window's view.
#pragma once

#include <QDialog>

class QLineEdit;

namespace vemto {

/// One field, "Grid spacing (m):", with OK and Cancel.
class TfrmGridProp : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmGridProp(QWidget* parent = nullptr);
  /// The text of the field.
  QString Text() const;
  void SetText(const QString& text);

 private:
  QLineEdit* edtGridSize_;
};

}  // namespace vemto
