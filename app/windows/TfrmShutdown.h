// The window shown while a cancelled calculation thread is given time to stop.
#pragma once

#include <QDialog>
#include <chrono>

class QProgressBar;
class QTimer;

namespace vemto {

/// "Shutting down": a bar of 25 ticks spread over the shutdown timeout (one tick a
/// second for the usual 25 s). Stays on top, centred, without system buttons.
class TfrmShutdown : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmShutdown(QWidget* parent = nullptr);
  /// Spreads the 25 ticks over `timeout` (default 25 s).
  void SetTimeout(std::chrono::milliseconds timeout);
  /// Ticks shown so far.
  int Ticks() const;

 protected:
  /// Escape does not hide the window: it stays until the run has ended.
  void reject() override {}
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QProgressBar* pbTimeout_;
  QTimer* tmrTimeOut_;
};

}  // namespace vemto
