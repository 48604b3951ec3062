#include "TfrmShutdown.h"

#include <QCloseEvent>

#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace vemto {

namespace {
constexpr int kTicks = 25;
}  // namespace

TfrmShutdown::TfrmShutdown(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowStaysOnTopHint),
      pbTimeout_(new QProgressBar(this)),
      tmrTimeOut_(new QTimer(this)) {
  setObjectName(QStringLiteral("frmShutdown"));
  setWindowTitle(QStringLiteral("Shutting down"));
  pbTimeout_->setObjectName(QStringLiteral("pbTimeout"));
  pbTimeout_->setRange(0, kTicks);
  pbTimeout_->setTextVisible(false);
  tmrTimeOut_->setObjectName(QStringLiteral("tmrTimeOut"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(
      new QLabel(QStringLiteral("Shutting down calculation thread. Please wait..."), this));
  layout->addWidget(pbTimeout_);
  SetTimeout(std::chrono::milliseconds(25000));
  connect(tmrTimeOut_, &QTimer::timeout, this,
          [this] { pbTimeout_->setValue(std::min(pbTimeout_->value() + 1, kTicks)); });
}

void TfrmShutdown::SetTimeout(std::chrono::milliseconds timeout) {
  tmrTimeOut_->setInterval(std::max<int>(1, static_cast<int>(timeout.count() / kTicks)));
}

int TfrmShutdown::Ticks() const {
  return pbTimeout_->value();
}

void TfrmShutdown::showEvent(QShowEvent* event) {
  pbTimeout_->setValue(0);
  tmrTimeOut_->start();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    adjustSize();
    move(screen->availableGeometry().center() - rect().center());
  }
  QDialog::showEvent(event);
}

void TfrmShutdown::hideEvent(QHideEvent* event) {
  tmrTimeOut_->stop();
  QDialog::hideEvent(event);
}

void TfrmShutdown::closeEvent(QCloseEvent* event) {
  // Closed only by its owner (hide()); the user ends a run with Cancel.
  event->ignore();
}

}  // namespace vemto
