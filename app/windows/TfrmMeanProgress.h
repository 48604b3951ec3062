// "Extracting from file": shown while the temperatures and maturities of another model
// are taken over into this model's ".dtm" file.
#pragma once

#include <QDialog>

class QLabel;

namespace vemto {

/// Always-on-top progress window with a label and a busy bar.
class TfrmMeanProgress : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmMeanProgress(QWidget* parent = nullptr);
  /// Sets the label ("Extracting to <name>.dtm").
  void SetText(const QString& text);
  /// The label's text.
  QString Text() const;

 private:
  QLabel* lblInfo_;
};

}  // namespace vemto
