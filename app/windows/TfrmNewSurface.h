// "New surface": rows, columns and element kind of a surface being created.
#pragma once

#include <QDialog>

#include "UserDialogs.h"

class QComboBox;
class QSpinBox;

namespace vemto {

/// The element kinds in the order of their numbers: "Eight node element", "Five node
/// infinite element", "Three node infinite element".
QStringList ElementKindNames();

/// Rows and Columns 1..200 (8 at first) and the element kind (eight-node every time the
/// dialog opens). The five-node kind fixes Rows at 1, the three-node kind both.
class TfrmNewSurface : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmNewSurface(QWidget* parent = nullptr);
  TNewSurfaceChoice Choice() const;

 private:
  void ElementChanged(int index);
  QSpinBox* edtRows_;
  QSpinBox* edtColumns_;
  QComboBox* cboElement_;
};

}  // namespace vemto
