// The constants dialogs of the condition kinds: transfer coefficient of a temperature
// condition, direction of a displacement, pipe properties with the pipe wall's
// coefficient, and spring stiffness. Each edits its condition with one undoable command
// on OK; Cancel changes nothing. A dialog closes without storing when its condition
// leaves the model or the document goes.
#pragma once

#include <QDialog>
#include <QPointer>
#include <array>
#include <functional>
#include <optional>

#include "ProjectDocument.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace vemto {

class TUserDialogs;

/// What the constants dialogs share: the condition, closing with it, reading fields
/// and storing through one command.
class TConstantsDialog : public QDialog {
  Q_OBJECT
 public:
  TConstantsDialog(ProjectDocument& document, TUserDialogs& dialogs, TVemtoCondition* condition,
                   QWidget* parent);
  /// The condition edited (null once it left the model).
  TVemtoCondition* Condition() const { return condition_; }

 protected:
  /// The number in `field`; otherwise the message "Invalid numeric input. (text)" and
  /// empty.
  std::optional<double> ReadField(QLineEdit* field);
  /// Pushes one command named `text` that applies `edit` to the condition (nothing when
  /// the edit changes nothing), then closes with OK.
  void Store(const QString& text, const std::function<void(TVemtoCondition&)>& edit);

  QPointer<ProjectDocument> doc_;
  TUserDialogs& dialogs_;
  TVemtoCondition* condition_;
};

/// "Transfer coefficient" of a temperature condition: insulation type and properties,
/// wind velocity, and the coefficient derived from them.
class TfrmTCEdit : public TConstantsDialog {
  Q_OBJECT
 public:
  TfrmTCEdit(ProjectDocument& document, TUserDialogs& dialogs, TVemtoTempCondition* condition,
             QWidget* parent = nullptr);
  /// Chooses insulation type `type` (an InsulationKind value), as its radio button does.
  void ChooseType(int type);
  /// The coefficient as computed last, W/m2K.
  double Coefficient() const { return coefficient_; }
  void accept() override;

 private:
  void Fill();
  /// Recomputes from the fields; false (and "Error" shown) when no coefficient results.
  bool Compute();

  int type_;
  double conductivity_, thickness_, wind_, coefficient_;
  std::array<QRadioButton*, 8> types_{};  // by InsulationKind value
  QLineEdit *edtThermalCond_, *edtThickness_, *edtWindVel_, *edtTransferCoeff_;
};

/// "Displacement type": the prescribed directions of a displacement condition.
class TfrmPrEdit : public TConstantsDialog {
  Q_OBJECT
 public:
  TfrmPrEdit(ProjectDocument& document, TUserDialogs& dialogs, TVemtoDisplCondition* condition,
             QWidget* parent = nullptr);
  void accept() override;

 private:
  std::array<QRadioButton*, 3> directions_{};  // Direction 1, 2, 3
};

/// Conductivity and wall thickness of the last "Pipe transfer coefficient" dialog; the
/// dialog starts from them the next time.
struct TPipeWall {
  double Conductivity = 0.0;  ///< W/mK
  double Thickness = 0.0;     ///< m
};

/// "Pipe transfer coefficient": the coefficient of a pipe wall from its material and
/// thickness. Not tied to a condition; OK keeps its values in the TPipeWall given.
class TfrmPipeTransferCoeff : public QDialog {
  Q_OBJECT
 public:
  TfrmPipeTransferCoeff(TUserDialogs& dialogs, TPipeWall& wall, QWidget* parent = nullptr);
  /// The coefficient computed last, W/mK; empty while none results.
  std::optional<double> Coefficient() const { return coefficient_; }
  void accept() override;

 private:
  void Fill();
  void Compute();

  TUserDialogs& dialogs_;
  TPipeWall& wall_;
  TPipeWall values_;
  std::optional<double> coefficient_;
  QLineEdit *edtThermalCond_, *edtThickness_, *edtTransferCoeff_;
};

/// "Pipe condition": pipe diameter and transfer coefficient, the cooling liquid and the
/// condition type (specified flow or outlet temperature).
class TfrmPipeEdit : public TConstantsDialog {
  Q_OBJECT
 public:
  TfrmPipeEdit(ProjectDocument& document, TUserDialogs& dialogs, TVemtoPipeCondition* condition,
               TPipeWall& wall, QWidget* parent = nullptr);
  /// "Edit": opens "Pipe transfer coefficient" (modal, not blocking).
  void EditCoefficient();
  /// The open "Pipe transfer coefficient" dialog, or null.
  TfrmPipeTransferCoeff* CoefficientDialog() const { return coeffDialog_; }
  void accept() override;

 private:
  void Fill();

  TPipeWall& wall_;
  double diameter_, coefficient_, specificHeat_;
  int conditionType_;
  QLineEdit *edtDiameter_, *edtTransferCoeff_, *edtSpecificHeat_;
  QComboBox* cboCondType_;
  QPointer<TfrmPipeTransferCoeff> coeffDialog_;
};

/// "Spring stiffness" of a spring condition.
class TfrmSpringEdit : public TConstantsDialog {
  Q_OBJECT
 public:
  TfrmSpringEdit(ProjectDocument& document, TUserDialogs& dialogs, TVemtoSpringCondition* condition,
                 QWidget* parent = nullptr);
  void accept() override;

 private:
  QLineEdit *edtStiffnessX_, *edtStiffnessY_;
};

/// The constants dialog of `condition`'s kind, opened modal (not blocking) and deleted
/// on close; null for kinds without constants (heat flow, loading).
TConstantsDialog* OpenConstantsDialog(ProjectDocument& document, TUserDialogs& dialogs,
                                      TVemtoCondition* condition, TPipeWall& wall, QWidget* parent);

}  // namespace vemto
