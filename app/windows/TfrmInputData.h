// The "Input data" document window: the mesher's input listing of the model
// (<base>.lst), read-only in a fixed-pitch font, reloaded after every meshing.
#pragma once

#include "Printing.h"
#include "TfrmDocument.h"

class QPlainTextEdit;

namespace vemto {

/// Shows the input listing; prints it page by page.
class TfrmInputData : public TfrmDocument, public TPrintableWindow {
  Q_OBJECT
 public:
  explicit TfrmInputData(ProjectDocument& document, QWidget* parent = nullptr);
  TDocumentWindow Kind() const override { return TDocumentWindow::InputData; }
  bool CanCopy() const override { return true; }
  void Copy() override { CopyToClipboard(); }

  /// Takes the model's file name; the listing is that name without its last three
  /// characters (the extension) followed by ".lst". Reads it at once.
  void SetModelFileName(const QString& modelFileName);
  /// Reads the listing again (after a meshing). Without the file the area stays empty
  /// and says "No input data found".
  void Reload();
  /// Reads the listing again and places all lines, each ended by CR LF, on the clipboard.
  void CopyToClipboard();
  /// The listing's file name.
  const QString& ListFileName() const { return listFile_; }
  /// The text shown.
  QString Text() const;

  QString PrintJobName() const override { return QStringLiteral("VEMTO Input data"); }
  QSizeF PictureSize() const override;
  void PaintPicture(QPainter& painter) const override;
  QPageLayout::Orientation PageOrientation() const override { return QPageLayout::Portrait; }
  /// The listing in the fixed-pitch font, as many pages as it needs, each with the header
  /// and a page number.
  bool PrintPages(QPagedPaintDevice& device, const TPrintHeader& header) const override;

 private:
  QStringList ReadLines() const;
  QPlainTextEdit* memData_;
  QString listFile_;
};

}  // namespace vemto
