#include "TfrmInputData.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextStream>
#include <QVBoxLayout>

namespace vemto {

namespace {

QFont ListingFont() {
  QFont font(QStringLiteral("Courier New"));
  font.setStyleHint(QFont::Monospace);
  font.setFixedPitch(true);
  if (!QFontInfo(font).fixedPitch()) font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  return font;
}

}  // namespace

TfrmInputData::TfrmInputData(ProjectDocument& document, QWidget* parent)
    : TfrmDocument(document, parent), memData_(new QPlainTextEdit(this)) {
  setObjectName(QStringLiteral("frmInputData"));
  setWindowTitle(QStringLiteral("Input data"));
  memData_->setObjectName(QStringLiteral("memData"));
  memData_->setReadOnly(true);
  memData_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memData_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memData_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memData_->setFont(ListingFont());
  memData_->setPlaceholderText(QStringLiteral("No input data found"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(memData_);
  resize(640, 480);
}

void TfrmInputData::SetModelFileName(const QString& modelFileName) {
  listFile_ =
      modelFileName.left(std::max<qsizetype>(0, modelFileName.size() - 3)) + QStringLiteral(".lst");
  Reload();
}

QStringList TfrmInputData::ReadLines() const {
  QStringList lines;
  QFile file(listFile_);
  if (listFile_.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) return lines;
  QTextStream in(&file);
  in.setEncoding(QStringConverter::Latin1);
  while (!in.atEnd()) lines << in.readLine();
  return lines;
}

void TfrmInputData::Reload() {
  memData_->setPlainText(ReadLines().join(QLatin1Char('\n')));
}

QString TfrmInputData::Text() const {
  return memData_->toPlainText();
}

void TfrmInputData::CopyToClipboard() {
  QString text;
  for (const QString& line : ReadLines()) text += line + QStringLiteral("\r\n");
  QApplication::clipboard()->setText(text);
}

QSizeF TfrmInputData::PictureSize() const {
  return QSizeF(memData_->viewport()->size());
}

void TfrmInputData::PaintPicture(QPainter& painter) const {
  memData_->viewport()->render(&painter);
}

bool TfrmInputData::PrintPages(QPagedPaintDevice& device, const TPrintHeader& header) const {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  const QRectF page(QPointF(0, 0), QSizeF(device.width(), device.height()));
  // 8 pt in the fixed-pitch font; a line longer than the page continues on the next.
  QFont font = ListingFont();
  font.setPointSizeF(8.0);
  const QFontMetricsF metrics(font, &device);
  const double line = metrics.lineSpacing();
  const int columns =
      std::max(20, static_cast<int>(page.width() / metrics.horizontalAdvance(QLatin1Char('M'))));
  QStringList lines;
  for (const QString& text : Text().split(QLatin1Char('\n'))) {
    lines << text.left(columns);
    for (qsizetype from = columns; from < text.size(); from += columns)
      lines << text.mid(from, columns);
  }
  int next = 0;
  int pageNumber = 1;
  for (;;) {
    const QRectF area = PaintPrintHeader(painter, page, header);
    const int perPage = std::max(1, static_cast<int>((area.height() - 2.0 * line) / line));
    painter.setFont(font);
    double y = area.top() + metrics.ascent();
    for (int k = 0; k < perPage && next < lines.size(); ++k, ++next, y += line)
      painter.drawText(QPointF(area.left(), y), lines[next]);
    painter.drawText(QRectF(area.left(), area.bottom() - line, area.width(), line),
                     Qt::AlignHCenter, QString::number(pageNumber));
    if (next >= lines.size()) break;
    device.newPage();
    ++pageNumber;
  }
  return true;
}

}  // namespace vemto
