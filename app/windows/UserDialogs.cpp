#include "UserDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

#include "TfrmMessages.h"
#include "TfrmGridProp.h"
#include "TfrmNewSurface.h"

namespace vemto {

TAnswer TQtUserDialogs::AskSaveChanges(QWidget* parent) {
  const auto button =
      QMessageBox::question(parent, QStringLiteral("Vemto 3"), QStringLiteral("Save changes?"),
                            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (button == QMessageBox::Yes) return TAnswer::Yes;
  if (button == QMessageBox::No) return TAnswer::No;
  return TAnswer::Cancel;
}

bool TQtUserDialogs::AskYesNo(QWidget* parent, const QString& text) {
  return QMessageBox::question(parent, QStringLiteral("Vemto 3"), text,
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TQtUserDialogs::ShowMessage(QWidget* parent, const QString& text) {
  QMessageBox::information(parent, QStringLiteral("Vemto 3"), text);
}

void TQtUserDialogs::ShowError(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, QStringLiteral("Vemto 3"), text);
}

QString TQtUserDialogs::AskOpenFileName(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Open model"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(QStringLiteral("v3"));
  dialog.setNameFilters(
      {QStringLiteral("Vemto 3 model (*.v3)"), QStringLiteral("Vemto material database (*.db)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString TQtUserDialogs::AskSaveFileName(QWidget* parent, const QString& current) {
  QFileDialog dialog(parent, QStringLiteral("Save model"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("v3"));
  dialog.setNameFilters({QStringLiteral("Vemto 3 model (*.v3)")});
  if (!current.isEmpty()) dialog.selectFile(current);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

bool TQtUserDialogs::ConfirmModelCheck(QWidget* parent, const QStringList& warnings,
                                       const QStringList& errors) {
  TfrmMessages dialog(parent);
  dialog.SetLists(warnings, errors);
  return dialog.exec() == QDialog::Accepted;
}

QString TQtUserDialogs::AskTempMatResultFile(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Pick model file for temperature and maturity input"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({QStringLiteral("Result database (*.out)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString TQtUserDialogs::AskWeatherFileName(QWidget* parent) {
  QFileDialog dialog(parent, QStringLiteral("Import weather series"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(
      {QStringLiteral("Weather series (*.csv *.txt *.tsv)"), QStringLiteral("All files (*)")});
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString TQtUserDialogs::AskPdfFileName(QWidget* parent, const QString& suggested) {
  QFileDialog dialog(parent, QStringLiteral("Print to PDF"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  dialog.setNameFilters({QStringLiteral("PDF file (*.pdf)")});
  if (!suggested.isEmpty()) dialog.selectFile(suggested);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

bool TQtUserDialogs::AskPrinter(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

bool TQtUserDialogs::AskNewSurface(QWidget* parent, TNewSurfaceChoice& choice) {
  TfrmNewSurface dialog(parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  choice = dialog.Choice();
  return true;
}

bool TQtUserDialogs::AskGridSize(QWidget* parent, QString& text) {
  TfrmGridProp dialog(parent);
  dialog.SetText(text);
  if (dialog.exec() != QDialog::Accepted) return false;
  text = dialog.Text();
  return true;
}

bool TQtUserDialogs::AskText(QWidget* parent, const QString& caption, const QString& label,
                             QString& text) {
  bool ok = false;
  const QString answer =
      QInputDialog::getText(parent, caption, label, QLineEdit::Normal, text, &ok);
  if (ok) text = answer;
  return ok;
}

}  // namespace vemto
