// Progress window of a mesher run ("Vemto mesh"). The mesher runs on the main thread;
// the window stays responsive through one pass of the event loop per information text.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vemto {

/// Mesher progress: a bar that shows which of the mesher's phases runs, the phase text
/// and Cancel.
class TfrmMesh : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmMesh(QWidget* parent = nullptr);
  /// Called when Cancel is pressed (requests the mesher's cancellation).
  std::function<void()> OnCancel;

  /// Starts a run: bar at 0, empty text.
  void Start();
  /// An information text: the bar moves to its phase (a text of no known phase moves it
  /// by one when it differs from the last), `text` shown, one pass of the event loop.
  void Info(const std::string& text);
  /// The mesher has finished: bar 0, "CALCULATION DONE".
  void Done();
  /// The mesher reported an error: bar 0.
  void Error();

  /// The information text shown (for tests).
  QString InfoText() const;

 protected:
  /// Escape does not hide the window: it stays until the run has ended.
  void reject() override {}
  void closeEvent(QCloseEvent* event) override;

 private:
  void btnCancelClick();

  QProgressBar* prgProcessing_;
  QLabel* pnlInfoText_;
  QPushButton* btnCancel_;
};

}  // namespace vemto
