// The questions and messages the main window puts to the user. The program uses the
// platform's dialogs; tests put a scripted stand-in in their place.
#pragma once

#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

namespace vemto {

/// What the "New surface" dialog gives: divisions and element kind (0 eight-node, 1
/// five-node infinite, 2 three-node infinite).
struct TNewSurfaceChoice {
  int Rows = 8;
  int Columns = 8;
  int ElementType = 0;
};

/// Answer to a question with Yes, No and Cancel.
enum class TAnswer { Yes, No, Cancel };

/// Modal questions and messages of the main window.
class TUserDialogs {
 public:
  virtual ~TUserDialogs() = default;
  /// "Save changes?" with Yes, No and Cancel.
  virtual TAnswer AskSaveChanges(QWidget* parent) = 0;
  /// A question with Yes and No; true for Yes.
  virtual bool AskYesNo(QWidget* parent, const QString& text) = 0;
  /// A message with an OK button.
  virtual void ShowMessage(QWidget* parent, const QString& text) = 0;
  /// An error message with an OK button.
  virtual void ShowError(QWidget* parent, const QString& text) = 0;
  /// The "Open model" dialog; empty when cancelled.
  virtual QString AskOpenFileName(QWidget* parent) = 0;
  /// The "Save model" dialog prefilled with `current`; empty when cancelled.
  virtual QString AskSaveFileName(QWidget* parent, const QString& current) = 0;
  /// The "Messages" dialog of the model check; true for Continue, false for Cancel.
  virtual bool ConfirmModelCheck(QWidget* parent, const QStringList& warnings,
                                 const QStringList& errors) = 0;
  /// "Pick model file for temperature and maturity input" (result databases); empty
  /// when cancelled.
  virtual QString AskTempMatResultFile(QWidget* parent) = 0;
  /// The save dialog of a PDF file, prefilled with `suggested`; empty when cancelled.
  virtual QString AskPdfFileName(QWidget* parent, const QString& suggested) = 0;
  /// The print dialog for `printer`; true when the user chose to print.
  virtual bool AskPrinter(QWidget* parent, QPrinter& printer) = 0;
  /// The "New surface" dialog; false when cancelled.
  virtual bool AskNewSurface(QWidget* parent, TNewSurfaceChoice& choice) = 0;
  /// A one-line text question (`text` holds the proposal and the answer); false when
  /// cancelled.
  virtual bool AskText(QWidget* parent, const QString& caption, const QString& label,
                       QString& text) = 0;
  /// "Import weather series": a CSV or text file to read; empty when cancelled.
  virtual QString AskWeatherFileName(QWidget* parent) = 0;
  /// The "Set grid size" dialog (`text`: the spacing shown and the answer); false when
  /// cancelled. By default the text question "Grid spacing (m):".
  virtual bool AskGridSize(QWidget* parent, QString& text) {
    return AskText(parent, QStringLiteral("Set grid size"), QStringLiteral("Grid spacing (m):"),
                   text);
  }
};

/// The platform's message boxes and file dialogs.
class TQtUserDialogs : public TUserDialogs {
 public:
  TAnswer AskSaveChanges(QWidget* parent) override;
  bool AskYesNo(QWidget* parent, const QString& text) override;
  void ShowMessage(QWidget* parent, const QString& text) override;
  void ShowError(QWidget* parent, const QString& text) override;
  QString AskOpenFileName(QWidget* parent) override;
  QString AskSaveFileName(QWidget* parent, const QString& current) override;
  bool ConfirmModelCheck(QWidget* parent, const QStringList& warnings,
                         const QStringList& errors) override;
  QString AskTempMatResultFile(QWidget* parent) override;
  QString AskPdfFileName(QWidget* parent, const QString& suggested) override;
  bool AskPrinter(QWidget* parent, QPrinter& printer) override;
  bool AskNewSurface(QWidget* parent, TNewSurfaceChoice& choice) override;
  bool AskText(QWidget* parent, const QString& caption, const QString& label,
               QString& text) override;
  bool AskGridSize(QWidget* parent, QString& text) override;
  QString AskWeatherFileName(QWidget* parent) override;
};

}  // namespace vemto
