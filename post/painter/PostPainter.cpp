#include "PostPainter.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPolygonF>

namespace vemto::post {

namespace {

QPolygonF Polygon(const double* xy, int32_t n) {
  QPolygonF p;
  p.reserve(n);
  for (int32_t i = 0; i < n; ++i) p.append(QPointF(xy[2 * i], xy[2 * i + 1]));
  return p;
}

QColor Colour(uint32_t rgb) {
  return QColor::fromRgb(static_cast<QRgb>(rgb & 0xFFFFFFu));
}

}  // namespace

PostPainter::PostPainter(QPainter& painter) : painter_(painter) {
  drawing_.context = this;
  drawing_.fill = &PostPainter::Fill;
  drawing_.line = &PostPainter::Line;
  drawing_.text = &PostPainter::Text;
}

void PostPainter::Fill(void* context, const double* xy, int32_t n, uint32_t rgb) {
  QPainter& p = static_cast<PostPainter*>(context)->painter_;
  // Without antialiasing neighbouring bands meet without seams.
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(Colour(rgb));
  p.drawPolygon(Polygon(xy, n));
}

void PostPainter::Line(void* context, const double* xy, int32_t n, uint32_t rgb, double width,
                       int32_t dashed) {
  QPainter& p = static_cast<PostPainter*>(context)->painter_;
  p.setRenderHint(QPainter::Antialiasing, true);
  QPen pen(Colour(rgb), width, dashed ? Qt::DashLine : Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  p.setPen(pen);
  p.setBrush(Qt::NoBrush);
  p.drawPolyline(Polygon(xy, n));
}

void PostPainter::Text(void* context, double x, double y, const char* utf8, double size,
                       uint32_t rgb, int32_t align) {
  QPainter& p = static_cast<PostPainter*>(context)->painter_;
  p.setRenderHint(QPainter::Antialiasing, true);
  QFont font = p.font();
  font.setPixelSize(std::max(1, static_cast<int>(size + 0.5)));
  p.setFont(font);
  p.setPen(Colour(rgb));
  const QString text = QString::fromUtf8(utf8);
  const double w = QFontMetricsF(font).horizontalAdvance(text);
  p.drawText(QPointF(align == 1 ? x - 0.5 * w : align == 2 ? x - w : x, y), text);
}

}  // namespace vemto::post
