#include "TfrmEngine.h"

#include <QCloseEvent>

#include <QApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <ctime>

#include "CalculationRun.h"
#include "DurationText.h"

namespace vemto {

namespace {
/// Processor time of the calling thread, in ms (wall time also counts waiting for the
/// processor on a busy machine).
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) * 1e-6;
}

QLabel* Panel(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setMinimumWidth(110);
  return label;
}
}  // namespace

TfrmEngine::TfrmEngine(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      prgProcessing_(new QProgressBar(this)),
      pnlInfoText_(Panel(this, "pnlInfoText")),
      pnlStep_(Panel(this, "pnlStep")),
      pnlStepTime_(Panel(this, "pnlStepTime")),
      pnlLeft_(Panel(this, "pnlLeft")),
      btnCancel_(new QPushButton(QStringLiteral("Cancel"), this)),
      btnPause_(new QPushButton(QStringLiteral("Pause"), this)),
      btnResume_(new QPushButton(QStringLiteral("Resume"), this)) {
  setObjectName(QStringLiteral("frmEngine"));
  setWindowTitle(QStringLiteral("Vemto Engine"));
  prgProcessing_->setObjectName(QStringLiteral("prgProcessing"));
  btnCancel_->setObjectName(QStringLiteral("btnCancel"));
  btnPause_->setObjectName(QStringLiteral("btnPause"));
  btnResume_->setObjectName(QStringLiteral("btnResume"));
  pnlInfoText_->setMinimumWidth(360);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prgProcessing_);
  auto* panels = new QHBoxLayout();
  panels->addWidget(pnlStep_);
  panels->addWidget(pnlStepTime_);
  panels->addWidget(pnlLeft_);
  layout->addLayout(panels);
  layout->addWidget(pnlInfoText_);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  buttons->addWidget(btnPause_);
  buttons->addWidget(btnResume_);
  buttons->addWidget(btnCancel_);
  layout->addLayout(buttons);
  connect(btnCancel_, &QPushButton::clicked, this, &TfrmEngine::btnCancelClick);
  connect(btnPause_, &QPushButton::clicked, this, &TfrmEngine::btnPauseClick);
  connect(btnResume_, &QPushButton::clicked, this, &TfrmEngine::btnResumeClick);
  Start(0);
}

void TfrmEngine::RunOnMainThread(const std::function<void()>& handler) {
  const auto timed = [this, &handler] {
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = ThreadCpuMs();
    handler();
    const double ms = static_cast<double>(timer.nsecsElapsed()) * 1e-6;
    longestHandlerMs_ = std::max(longestHandlerMs_, ms);
    longestHandlerCpuMs_ = std::max(longestHandlerCpuMs_, ThreadCpuMs() - cpuStart);
    ++handledMessages_;
  };
  if (QThread::currentThread() == thread())
    timed();
  else
    QMetaObject::invokeMethod(this, timed, Qt::BlockingQueuedConnection);
}

void TfrmEngine::Attach(TRunObserver& observer) {
  TEngineMonitor& monitor = observer.Engine;
  monitor.OnInfo = [this](const std::string& text) {
    RunOnMainThread([this, &text] { Info(text); });
  };
  monitor.OnFinished = [this](const std::string&) { RunOnMainThread([this] { Done(); }); };
  monitor.OnTimeStep = [this](std::int32_t) { RunOnMainThread([this] { TimeStep(); }); };
  // OnWorking stays unset: it would only keep a single-threaded interface alive, and
  // without it the engine's per-row messages are not dispatched at all.
  monitor.OnWorking = nullptr;
  observer.OnEngineError = [this](std::int32_t, const std::string&) {
    RunOnMainThread([this] { Error(); });
  };
}

void TfrmEngine::Start(std::int32_t stepCount) {
  longestHandlerMs_ = 0.0;
  longestHandlerCpuMs_ = 0.0;
  handledMessages_ = 0;
  prgProcessing_->setRange(0, std::max<std::int32_t>(stepCount, 0));
  prgProcessing_->setValue(0);
  pnlInfoText_->clear();
  pnlStep_->setText(QStringLiteral("Step : 0"));
  pnlStepTime_->setText(QStringLiteral("Time : "));
  pnlLeft_->setText(QStringLiteral("Left : "));
  btnPause_->setEnabled(true);
  btnResume_->setEnabled(false);
  btnCancel_->setEnabled(true);
  steps_ = 0;
  firstStep_ = true;
  lastStep_ = {};
  elapsedSeconds_ = 0.0;
}

void TfrmEngine::Info(const std::string& text) {
  pnlInfoText_->setText(QString::fromStdString(text).trimmed());
  elapsedSeconds_ = 0.0;
}

void TfrmEngine::Done() {
  prgProcessing_->setValue(0);
  pnlInfoText_->setText(QStringLiteral("CALCULATION DONE"));
}

void TfrmEngine::Error() {
  prgProcessing_->setValue(0);
}

void TfrmEngine::TimeStep() {
  TimeStepAt(std::chrono::steady_clock::now());
}

void TfrmEngine::TimeStepAt(std::chrono::steady_clock::time_point now) {
  QString elapsedText;
  QString leftText;
  if (firstStep_) {
    firstStep_ = false;
    lastStep_ = now;
  } else {
    // The last step's duration, times the steps still to come, estimates the rest.
    const double d = std::chrono::duration<double>(now - lastStep_).count();
    lastStep_ = now;
    const int stepsLeft = std::max(prgProcessing_->maximum() - steps_, 0);
    elapsedSeconds_ += d;
    elapsedText = QString::fromStdString(FormatDuration(elapsedSeconds_));
    leftText = QString::fromStdString(FormatDuration(stepsLeft * d));
  }
  // A run may take more steps than announced: the bar then stays full, the count goes on.
  ++steps_;
  prgProcessing_->setValue(std::min(steps_, prgProcessing_->maximum()));
  pnlStep_->setText(QStringLiteral("Step : %1").arg(steps_));
  pnlStepTime_->setText(QStringLiteral("Time : ") + elapsedText);
  pnlLeft_->setText(QStringLiteral("Left : ") + leftText);
  pnlInfoText_->setText(QStringLiteral("TIMESTEPPING"));
}

void TfrmEngine::btnCancelClick() {
  prgProcessing_->setValue(0);
  pnlInfoText_->setText(QStringLiteral("CALCULATION DONE"));
  btnPause_->setEnabled(false);
  btnResume_->setEnabled(false);
  btnCancel_->setEnabled(false);
  if (OnCancel) OnCancel();
}

void TfrmEngine::btnPauseClick() {
  if (OnPause) OnPause();
  btnPause_->setEnabled(false);
  btnResume_->setEnabled(true);
}

void TfrmEngine::btnResumeClick() {
  if (OnResume) OnResume();
  btnPause_->setEnabled(true);
  btnResume_->setEnabled(false);
}

void TfrmEngine::closeEvent(QCloseEvent* event) {
  // Closed only by its owner (hide()); the user ends a run with Cancel.
  event->ignore();
}

}  // namespace vemto
