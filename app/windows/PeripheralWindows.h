// The small windows around the main window: splash, About box and debug output.
#pragma once

#include <QDialog>
#include <QPixmap>

class QPlainTextEdit;

namespace vemto {

/// The program's picture (splash and About box), drawn in code.
QPixmap VemtoPicture(int width, int height);

/// Shows the splash window: borderless, always on top, closed by its own timer after
/// 3000 ms.
void ShowSplash();

/// The About box: the picture and an OK button.
class TfrmAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmAbout(QWidget* parent = nullptr);
};

/// "Debug output": an always-on-top window with one text area; no command shows it.
class TfrmDebug : public QDialog {
  Q_OBJECT
 public:
  explicit TfrmDebug(QWidget* parent = nullptr);
  /// Appends one line.
  void AppendLine(const QString& text);
  /// The whole text.
  QString Text() const;

 private:
  QPlainTextEdit* memo_;
};

}  // namespace vemto
