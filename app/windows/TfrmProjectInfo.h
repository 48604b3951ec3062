// The "Project information" dialog: the six project texts, edited as a copy.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "VemtoInfo.h"

class QLineEdit;

namespace vemto {

/// Modal dialog over a copy of the project texts.
class TfrmProjectInfo : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmProjectInfo(QWidget* parent = nullptr);

  /// Fills the six fields.
  void SetInfo(const TVemtoProjectInfo& info);
  /// The texts of the fields (after OK: what the caller writes back).
  TVemtoProjectInfo Info() const;
  /// OK: refuses a text longer than the project file takes, with a message naming its
  /// field; the dialog then stays open (false).
  bool ApplyOk();
  void accept() override;

  /// Where messages go; null = a message box.
  std::function<void(const QString&)> ShowMessage;

 private:
  std::array<QLineEdit*, 6> edits_{};  // Title, Subject, Author, Manager, Company, Description
};

}  // namespace vemto
