// Progress window of an engine run ("Vemto Engine"): step count, elapsed and remaining
// time, information text, Cancel, Pause and Resume.
#pragma once

#include <QDialog>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vemto {

struct TRunObserver;

/// The engine's progress window. Its handlers run on the main thread; Attach() routes
/// the engine's messages of a calculation run from the worker thread to them, each as
/// a blocking call (the engine waits while the message is handled, so the information
/// text is still the message's own). The "working" message is answered on the worker
/// thread.
class TfrmEngine : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmEngine(QWidget* parent = nullptr);

  std::function<void()> OnCancel;  ///< Cancel pressed
  std::function<void()> OnPause;   ///< Pause pressed
  std::function<void()> OnResume;  ///< Resume pressed

  /// Routes the engine messages of the run that `observer` watches to this window (sets
  /// observer.Engine and observer.OnEngineError).
  void Attach(TRunObserver& observer);
  /// Prepares a run of `stepCount` steps: bar maximum, texts cleared, Pause enabled,
  /// Resume disabled, first-step flag set, times cleared.
  void Start(std::int32_t stepCount);

  /// Information message: shows the trimmed text, resets the elapsed-time sum.
  void Info(const std::string& text);
  /// Done message: bar 0, "CALCULATION DONE".
  void Done();
  /// Error message: bar 0.
  void Error();
  /// Time-step message: bar + 1, "Step : n", elapsed time and the remaining time
  /// estimated from the last step's duration (both empty on the first step).
  void TimeStep();
  /// The same with the time of the message given (tests).
  void TimeStepAt(std::chrono::steady_clock::time_point now);

  /// Longest time the main thread spent handling one engine message of the current or
  /// last run, in ms (wall clock).
  double LongestHandlerMs() const { return longestHandlerMs_; }
  /// The same in processor time of the main thread, in ms.
  double LongestHandlerCpuMs() const { return longestHandlerCpuMs_; }
  /// Number of engine messages handled on the main thread.
  std::int64_t HandledMessages() const { return handledMessages_; }

 protected:
  /// Escape does not hide the window: it stays until the run has ended.
  void reject() override {}
  void closeEvent(QCloseEvent* event) override;

 private:
  void btnCancelClick();
  void btnPauseClick();
  void btnResumeClick();
  void RunOnMainThread(const std::function<void()>& handler);

  QProgressBar* prgProcessing_;
  QLabel* pnlInfoText_;
  QLabel* pnlStep_;
  QLabel* pnlStepTime_;
  QLabel* pnlLeft_;
  QPushButton* btnCancel_;
  QPushButton* btnPause_;
  QPushButton* btnResume_;
  std::int32_t steps_ = 0;  // time steps shown in this run
  bool firstStep_ = true;
  std::chrono::steady_clock::time_point lastStep_{};
  double elapsedSeconds_ = 0.0;
  double longestHandlerMs_ = 0.0;
  double longestHandlerCpuMs_ = 0.0;
  std::int64_t handledMessages_ = 0;
};

}  // namespace vemto
