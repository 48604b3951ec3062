#include "Printing.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QPicture>
#include <QSvgRenderer>
#include <QWidget>
#include <algorithm>

#include "FemView2D.h"

namespace vemto {

QRectF PaintPrintHeader(QPainter& painter, const QRectF& page, const TPrintHeader& header) {
  painter.save();
  QFont font(QStringLiteral("Helvetica"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(10.0);
  painter.setFont(font);
  const QFontMetricsF metrics(font, painter.device());
  const double line = metrics.height();
  const QString right =
      header.FileName + QStringLiteral("    ") + header.Date.toString(QStringLiteral("yyyy-MM-dd"));
  const QRectF textArea(page.left(), page.top(), page.width(), line);
  QFont bold = font;
  bold.setBold(true);
  painter.setFont(bold);
  const double rightWidth = metrics.horizontalAdvance(right) + line;
  painter.drawText(QRectF(textArea.left(), textArea.top(), textArea.width() - rightWidth, line),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetricsF(bold, painter.device())
                       .elidedText(header.Title, Qt::ElideRight, textArea.width() - rightWidth));
  painter.setFont(font);
  painter.drawText(textArea, Qt::AlignRight | Qt::AlignVCenter, right);
  const double ruleY = textArea.bottom() + 0.3 * line;
  QPen pen(Qt::black);
  pen.setWidthF(std::max(1.0, line / 12.0));
  painter.setPen(pen);
  painter.drawLine(QPointF(page.left(), ruleY), QPointF(page.right(), ruleY));
  painter.restore();
  const double top = ruleY + 0.8 * line;
  return QRectF(page.left(), top, page.width(), std::max(0.0, page.bottom() - top));
}

bool TPrintableWindow::PrintPages(QPagedPaintDevice& device, const TPrintHeader& header) const {
  QPainter painter;
  if (!painter.begin(&device)) return false;
  const QRectF page(QPointF(0, 0), QSizeF(device.width(), device.height()));
  const QRectF area = PaintPrintHeader(painter, page, header);
  const QSizeF size = PictureSize();
  if (size.width() <= 0.0 || size.height() <= 0.0 || area.isEmpty()) return true;
  // Only the part of the picture that holds a drawing fills the page: record it once to
  // learn where it painted, with a margin of 2 % around it.
  const QRectF full(QPointF(0, 0), size);
  QPicture recorded;
  {
    QPainter recorder(&recorded);
    PaintPicture(recorder);
  }
  QRectF source = QRectF(recorded.boundingRect()).intersected(full);
  if (source.isEmpty()) source = full;
  const double margin = 0.02 * std::max(source.width(), source.height());
  source = source.adjusted(-margin, -margin, margin, margin).intersected(full);
  const double scale = std::min(area.width() / source.width(), area.height() / source.height());
  painter.translate(area.left() + (area.width() - source.width() * scale) / 2.0, area.top());
  painter.scale(scale, scale);
  painter.translate(-source.topLeft());
  painter.setClipRect(source);
  PaintPicture(painter);
  return true;
}

QSizeF TWidgetPrintable::PictureSize() const {
  return widget_ != nullptr ? QSizeF(widget_->size()) : QSizeF();
}

void TWidgetPrintable::PaintPicture(QPainter& painter) const {
  if (widget_ != nullptr) widget_->render(&painter);
}

QSizeF TViewPrintable::PictureSize() const {
  return view_ != nullptr ? QSizeF(view_->size()) : QSizeF();
}

void TViewPrintable::PaintPicture(QPainter& painter) const {
  if (view_ == nullptr) return;
  QSvgRenderer svg(view_->GeometrySvg());
  svg.render(&painter, QRectF(QPointF(0, 0), PictureSize()));
}

bool PrintToPdf(const TPrintableWindow& window, const TPrintHeader& header, const QString& fileName,
                QString* error) {
  bool painted = false;
  {
    QPdfWriter writer(fileName);
    writer.setTitle(window.PrintJobName());
    writer.setCreator(QStringLiteral("Vemto 3"));
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(window.PageOrientation());
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setResolution(300);
    painted = window.PrintPages(writer, header);
  }
  const QFileInfo written(fileName);
  if (!painted || !written.isFile() || written.size() == 0) {
    if (error != nullptr)
      *error = QStringLiteral("The PDF file \"%1\" could not be written.").arg(fileName);
    return false;
  }
  return true;
}

}  // namespace vemto
