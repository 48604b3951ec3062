// The "Diagram properties" dialogs of the result window, the cursor window "Marker"
// and the history table "Numeric result". Modal dialogs edit copies: Load takes the
// post control's settings, Store writes them back (only on OK).
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <functional>
#include <vector>

#include "TVemtoPost.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTableView;
class QFormLayout;

namespace vemto {

/// Numbers as the program shows them: up to 15 significant digits, shortest form.
QString FormatG(double value);

/// A diagram-properties dialog.
class TfrmDiagramProperties : public QDialog {
  Q_OBJECT
 public:
  using QDialog::QDialog;
  virtual void Load(const TPostProperties& p, bool history) = 0;
  virtual void Store(TPostProperties& p) const = 0;
};

/// A maximum and a minimum, each with its "Auto" toggle (−1 = automatic).
class TLimitFields {
 public:
  void Build(QWidget* parent, QFormLayout* form, const QString& maxLabel, const QString& minLabel);
  void Load(double upper, double lower);
  void Store(double& upper, double& lower) const;
  QLineEdit* edtMax = nullptr;
  QLineEdit* edtMin = nullptr;
  QCheckBox* chkMaxAuto = nullptr;
  QCheckBox* chkMinAuto = nullptr;
};

/// The limit dialogs: "Maturity", "Hydration", "Strength", "Tensile strength", "Comp. strength".
class TfrmLimitDistr : public TfrmDiagramProperties {
  Q_OBJECT
 public:
  /// `upper` and `lower` select the post properties the dialog edits.
  TfrmLimitDistr(QWidget* parent, const QString& caption, const QString& maxLabel,
                 const QString& minLabel, double TPostProperties::*upper,
                 double TPostProperties::*lower);
  void Load(const TPostProperties& p, bool history) override;
  void Store(TPostProperties& p) const override;
  TLimitFields limits;

 private:
  double TPostProperties::*upper_;
  double TPostProperties::*lower_;
};

/// "Temperature": limits, colour or contour plot, contour lines and the history kind.
class TfrmTempDistr : public TfrmDiagramProperties {
  Q_OBJECT
 public:
  explicit TfrmTempDistr(QWidget* parent);
  void Load(const TPostProperties& p, bool history) override;
  void Store(TPostProperties& p) const override;
  TLimitFields limits;
  QComboBox* cboPlotType;
  QLineEdit* edtContourlines;
  QComboBox* cboHistType;
};

/// "Pipe ": the pipe result and the pipe number.
class TfrmPipeHist : public TfrmDiagramProperties {
  Q_OBJECT
 public:
  TfrmPipeHist(QWidget* parent, int pipes);
  void Load(const TPostProperties& p, bool history) override;
  void Store(TPostProperties& p) const override;
  QComboBox* cboPlotType;
  QComboBox* cboPipeNo;
};

/// "Displacement" and "Stress": a diagram type, a scale with "Auto", and for stresses
/// the component of the history.
class TfrmScaleDistr : public TfrmDiagramProperties {
  Q_OBJECT
 public:
  TfrmScaleDistr(QWidget* parent, bool stress);
  void Load(const TPostProperties& p, bool history) override;
  void Store(TPostProperties& p) const override;
  QComboBox* cboPlotType;
  QComboBox* cboStressComp = nullptr;
  QLineEdit* edtScale;
  QCheckBox* chkScaleAuto;

 private:
  bool stress_;
};

/// "Reactions": X- or Y-reactions.
class TfrmReactionProp : public TfrmDiagramProperties {
  Q_OBJECT
 public:
  explicit TfrmReactionProp(QWidget* parent);
  void Load(const TPostProperties& p, bool history) override;
  void Store(TPostProperties& p) const override;
  QComboBox* cboPlotType;
};

/// The cursor window "Marker": one point (node cursor) or two (rectangles).
class TfrmMarker : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmMarker(QWidget* parent);
  void SetPoints(double x1, double y1, double x2, double y2);
  void SetTwoPoints(bool two);
  /// Reads the four fields; false (and nothing applied) when one is not a number.
  bool Apply();
  /// Moves both points by (dx, dy) m and applies.
  void Move(double dx, double dy);
  /// Called with the applied coordinates.
  std::function<void(double, double, double, double)> OnApply;
  QLineEdit *edtX1, *edtY1, *edtX2, *edtY2;

 private:
  double x_[2] = {1, 2}, y_[2] = {1, 2};
};

/// The rows of the history table: time (h) and value × factor.
class THistoryTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  using QAbstractTableModel::QAbstractTableModel;
  void SetHistory(const std::vector<double>& seconds, const std::vector<double>& values,
                  double factor, const QString& header);
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;
  /// Tab-separated text with CR LF line ends, "%g" numbers; the header line optional.
  QString Text(bool header) const;
  const QString& Header() const { return header_; }

 private:
  std::vector<double> hours_, values_;
  QString header_ = QStringLiteral("Value");
};

/// "Numeric result": the history of the result window as a table with Copy.
class TfrmResultTable : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmResultTable(QWidget* parent);
  THistoryTableModel model;
  QCheckBox* chkHeader;
  QTableView* grid;
  void btnCopyClick();
};

}  // namespace vemto
