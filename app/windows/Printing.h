// Printing of document windows: every printed page carries a header with the project
// title, the model's file name and the date; a window gives its picture, which is
// scaled to the page, or prints its own pages (the input listing).
#pragma once

#include <QDate>
#include <QPageLayout>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;
class QPagedPaintDevice;
class QWidget;

namespace vemto {

class TFemView2D;

/// The header of every printed page.
struct TPrintHeader {
  QString Title;     ///< project title (may be empty)
  QString FileName;  ///< the model's file name, without folder
  QDate Date;        ///< printing date
};

/// A document window that can be printed (geometry, conditions, materials, results,
/// input data). The default prints one page: the header and the picture of
/// PaintPicture scaled to the rest of the page, keeping its aspect ratio.
class TPrintableWindow {
 public:
  virtual ~TPrintableWindow() = default;
  /// Name of the print job ("VEMTO Input data", ...).
  virtual QString PrintJobName() const = 0;
  /// Size of the picture in its own units (pixels of the window, for example).
  virtual QSizeF PictureSize() const = 0;
  /// Paints the picture with the painter's origin at its top-left corner, in the units
  /// of PictureSize.
  virtual void PaintPicture(QPainter& painter) const = 0;
  /// Page orientation that suits the picture.
  virtual QPageLayout::Orientation PageOrientation() const { return QPageLayout::Landscape; }
  /// Prints all pages onto `device` (a printer or a PDF writer), each with `header`.
  /// False when the device cannot be painted on (a file that cannot be written).
  virtual bool PrintPages(QPagedPaintDevice& device, const TPrintHeader& header) const;
};

/// Prints any widget as it is shown, for windows without their own picture.
class TWidgetPrintable : public TPrintableWindow {
 public:
  TWidgetPrintable(QWidget* widget, QString jobName)
      : widget_(widget), jobName_(std::move(jobName)) {}
  QString PrintJobName() const override { return jobName_; }
  QSizeF PictureSize() const override;
  void PaintPicture(QPainter& painter) const override;

 private:
  QWidget* widget_;
  QString jobName_;
};

/// Prints the model drawing of a workspace view as vectors (its picture without the
/// background, the grid and the selection).
class TViewPrintable : public TPrintableWindow {
 public:
  TViewPrintable(TFemView2D* view, QString jobName) : view_(view), jobName_(std::move(jobName)) {}
  QString PrintJobName() const override { return jobName_; }
  QSizeF PictureSize() const override;
  void PaintPicture(QPainter& painter) const override;

 private:
  TFemView2D* view_;
  QString jobName_;
};

/// Paints `header` at the top of `page` (device pixels): title left, file name and date
/// right, a rule below. Returns the area of the page that is left for the content.
QRectF PaintPrintHeader(QPainter& painter, const QRectF& page, const TPrintHeader& header);

/// Writes the pages of `window` as a PDF file; false (with `error`) when it cannot be
/// written.
bool PrintToPdf(const TPrintableWindow& window, const TPrintHeader& header, const QString& fileName,
                QString* error);

}  // namespace vemto
