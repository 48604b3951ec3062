// Base of the document windows that the main window hosts as MDI children.
#pragma once

#include <QWidget>

class QCloseEvent;

namespace vemto {

class ProjectDocument;
class TFemView2D;

/// The document windows the main window creates and closes on demand.
enum class TDocumentWindow { Geometry, BoundaryConds, MaterialView, Result, InputData };

/// A window working on the open project document. The main window finds the active one
/// through qobject_cast and enables the shared commands it serves.
class TfrmDocument : public QWidget {
  Q_OBJECT
 public:
  explicit TfrmDocument(ProjectDocument& document, QWidget* parent = nullptr);
  ProjectDocument& Document() const { return doc_; }
  /// Which of the document windows this is.
  virtual TDocumentWindow Kind() const = 0;
  /// Copy: the window's picture or text to the clipboard.
  virtual bool CanCopy() const { return false; }
  virtual void Copy() {}
  /// Print.
  virtual bool CanPrint() const { return false; }
  virtual void Print() {}
  /// Delete the selection.
  virtual bool CanDelete() const { return false; }
  virtual void DeleteSelection() {}
  /// The workspace view the view commands (zoom, pan, grid) act on, or null.
  virtual TFemView2D* View() const { return nullptr; }

 signals:
  /// The window is about to close (its state can still be read).
  void closing(vemto::TfrmDocument* window);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  ProjectDocument& doc_;
};

}  // namespace vemto
