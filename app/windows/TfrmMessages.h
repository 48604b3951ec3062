// The "Messages" dialog of the model check: warnings and errors, Continue or Cancel.
#pragma once

#include <QDialog>

class QListWidget;

namespace vemto {

/// Lists the model check's warnings and errors. Accepted = Continue.
class TfrmMessages : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmMessages(QWidget* parent = nullptr);
  /// Fills the two lists ("Warnings:" and "Errors:").
  void SetLists(const QStringList& warnings, const QStringList& errors);

 private:
  QListWidget* lbWarnings_;
  QListWidget* lbErrors_;
};

}  // namespace vemto
