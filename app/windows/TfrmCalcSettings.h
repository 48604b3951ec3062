// The "Calculation settings" dialog: analysis and simulation type, memory, thickness
// (page "General") and the time intervals (page "Timestep"). It edits a copy of the
// settings; the caller writes the copy into the model when the dialog ends with OK.
#pragma once

#include <QDialog>
#include <cstddef>
#include <functional>
#include <optional>

#include "CalcSettings.h"
#include "CalcSettingsLogic.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QToolButton;

namespace vemto {

/// Modal dialog over a working copy of TCalcSettings.
class TfrmCalcSettings : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmCalcSettings(QWidget* parent = nullptr);

  /// Fills the dialog from `settings`; the first interval becomes the current one.
  void SetSettings(const TCalcSettings& settings);
  /// The working copy: after OK, every value of the dialog.
  const TCalcSettings& Settings() const { return s_; }
  /// Index of the interval shown.
  std::size_t CurrentInterval() const { return current_; }

  /// OK: reads every field into the working copy. A value that cannot run is refused
  /// with a message naming its field and the dialog stays open (false).
  bool ApplyOk();
  /// "Backwards" and "Forward": apply the fields, then show the neighbouring interval.
  void btnAddStepClick();
  void btnSubtractStepClick();

  /// Where messages go; null = a message box.
  std::function<void(const QString&)> ShowMessage;

  void accept() override;

 private:
  QLineEdit* NewEdit(const char* name, bool readOnly = false);
  void ShowInterval();
  void ShowField(QLineEdit* edit, const QString& text);
  /// The field's value: the stored one while the text is what the dialog showed (no
  /// digits lost through the display format), else the text read as a number.
  std::optional<double> FieldValue(const QLineEdit* edit, double stored) const;
  /// Applies "Initial time" and the interval fields. `initialFailed` is set when the
  /// initial time does not read as a number (it then stays as it was).
  std::optional<TSettingsError> ApplyIntervalFields(bool* initialFailed);
  void ApplyOnLeave();
  void IntervalCountChanged(int count);
  void Message(const QString& text);
  bool Refuse(const TSettingsError& error);

  TCalcSettings s_;
  std::size_t current_ = 0;
  bool filling_ = false;

  QTabWidget* pages_;
  QRadioButton *rbPlaneStress_, *rbPlaneStrain_, *rbAxisymmetric_;
  QRadioButton *rbSimTemp_, *rbNoTemp_, *rbInputTemp_;
  QCheckBox* chkEnableDispl_;
  QLineEdit *edtMemoryPre_, *edtMemoryEngine_, *edtMemoryPost_, *edtThickness_;
  QGroupBox* grpInterval_;
  QLineEdit *edtFrom_, *edtTo_, *edtIntStep_, *edtIntStore_, *edtIntNumber_, *edtIntInitialTime_;
  QToolButton *btnAddStep_, *btnSubtractStep_;
  QSpinBox* edtIntCount_;
};

}  // namespace vemto
