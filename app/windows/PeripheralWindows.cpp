#include "PeripheralWindows.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSplashScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "VemtoIcons.h"

namespace vemto {

QPixmap VemtoPicture(int width, int height) {
  QPixmap picture(width, height);
  QPainter painter(&picture);
  QLinearGradient sky(0, 0, 0, height);
  sky.setColorAt(0.0, QColor(40, 70, 120));
  sky.setColorAt(1.0, QColor(150, 170, 200));
  painter.fillRect(picture.rect(), sky);
  // A wall cast on a slab, coloured from cool to warm as a hardening section would be.
  const int slabTop = height * 2 / 3;
  painter.fillRect(QRect(0, slabTop, width, height - slabTop), QColor(120, 120, 120));
  QLinearGradient heat(width / 3, 0, width * 2 / 3, 0);
  heat.setColorAt(0.0, QColor(240, 200, 60));
  heat.setColorAt(0.5, QColor(220, 60, 30));
  heat.setColorAt(1.0, QColor(240, 200, 60));
  painter.fillRect(QRect(width / 3, height / 4, width / 3, slabTop - height / 4), heat);
  painter.setPen(Qt::white);
  QFont font = painter.font();
  font.setPointSize(std::max(10, height / 8));
  font.setBold(true);
  painter.setFont(font);
  painter.drawText(QRect(0, 0, width, height / 4), Qt::AlignCenter, QStringLiteral("Vemto 3"));
  font.setPointSize(std::max(7, height / 24));
  font.setBold(false);
  painter.setFont(font);
  painter.drawText(QRect(0, slabTop, width, height - slabTop), Qt::AlignCenter,
                   QStringLiteral("Temperature and stress in young concrete"));
  return picture;
}

void ShowSplash() {
  auto* splash = new QSplashScreen(VemtoPicture(420, 260), Qt::WindowStaysOnTopHint);
  splash->setAttribute(Qt::WA_DeleteOnClose);
  splash->show();
  QTimer::singleShot(3000, splash, &QWidget::close);
}

TfrmAbout::TfrmAbout(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmAbout"));
  setWindowTitle(QStringLiteral("About"));
  auto* layout = new QVBoxLayout(this);
  auto* picture = new QLabel(this);
  picture->setPixmap(VemtoPicture(420, 260));
  layout->addWidget(picture);
  auto* title = new QHBoxLayout;
  auto* icon = new QLabel(this);
  icon->setPixmap(ApplicationIcon().pixmap(48, 48));
  title->addStretch();
  title->addWidget(icon);
  title->addWidget(new QLabel(QStringLiteral("Vemto 3.1"), this));
  title->addStretch();
  layout->addLayout(title);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
}

TfrmDebug::TfrmDebug(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), memo_(new QPlainTextEdit(this)) {
  setObjectName(QStringLiteral("frmDebug"));
  setWindowTitle(QStringLiteral("Debug output"));
  memo_->setReadOnly(true);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(memo_);
  resize(520, 300);
}

void TfrmDebug::AppendLine(const QString& text) {
  memo_->appendPlainText(text);
}

QString TfrmDebug::Text() const {
  return memo_->toPlainText();
}

}  // namespace vemto
