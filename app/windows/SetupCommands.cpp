#include "SetupCommands.h"

#include <QApplication>
#include <QDate>
#include <QFileInfo>
#include <QPrinter>
#include <algorithm>

#include "FemView2D.h"
#include "Printing.h"
#include "TempMatInput.h"
#include "TfrmCalcSettings.h"
#include "TfrmInputData.h"
#include "TfrmMeanProgress.h"
#include "TfrmMesh.h"
#include "TfrmProjectInfo.h"
#include "UserDialogs.h"
#include "VemtoFile.h"

namespace vemto {

TSetupCommands::TSetupCommands(TSetupContext context, QObject* parent)
    : QObject(parent), c_(std::move(context)) {
  ApplySettings = [this](const TCalcSettings& s) {
    if (TVemtoFile* model = c_.Model()) s.WriteTo(*model);
  };
  ApplyProjectInfo = [this](const TVemtoProjectInfo& info) {
    if (TVemtoFile* model = c_.Model()) model->ProjectInfo = info;
  };
  ExecDialog = [](QDialog& dialog) { return dialog.exec(); };
}

TSetupCommands::~TSetupCommands() = default;

TfrmCalcSettings* TSetupCommands::CalcSettingsDialog() {
  if (frmCalcSettings_ == nullptr) frmCalcSettings_ = new TfrmCalcSettings(c_.Parent);
  return frmCalcSettings_;
}

TfrmProjectInfo* TSetupCommands::ProjectInfoDialog() {
  if (frmProjectInfo_ == nullptr) frmProjectInfo_ = new TfrmProjectInfo(c_.Parent);
  return frmProjectInfo_;
}

TfrmMeanProgress* TSetupCommands::MeanProgressWindow() {
  if (frmMeanProgress_ == nullptr) frmMeanProgress_ = new TfrmMeanProgress(c_.Parent);
  return frmMeanProgress_;
}

void TSetupCommands::CalculationSettings() {
  TVemtoFile* model = c_.Model();
  if (model == nullptr) return;
  TfrmCalcSettings* dialog = CalcSettingsDialog();
  dialog->SetSettings(TCalcSettings::Of(*model));
  if (ExecDialog(*dialog) != QDialog::Accepted) return;
  // The model may have been closed meanwhile only by a test; check again.
  if (c_.Model() == model && !(dialog->Settings() == TCalcSettings::Of(*model)))
    ApplySettings(dialog->Settings());
}

void TSetupCommands::ProjectInformation() {
  TVemtoFile* model = c_.Model();
  if (model == nullptr) return;
  TfrmProjectInfo* dialog = ProjectInfoDialog();
  dialog->SetInfo(model->ProjectInfo);
  if (ExecDialog(*dialog) != QDialog::Accepted) return;
  const TVemtoProjectInfo info = dialog->Info();
  if (c_.Model() == model && !(info == model->ProjectInfo)) ApplyProjectInfo(info);
}

void TSetupCommands::ReloadInputData() {
  if (frmInputData_) frmInputData_->Reload();
}

void TSetupCommands::TemperatureMaturityFromFile() {
  TVemtoFile* model = c_.Model();
  if (model == nullptr || (c_.Busy && c_.Busy())) return;
  // The run's files are named after the model: a model never saved needs a name first.
  if (c_.ModelName() == QString::fromLatin1(kNewModelName) && !(c_.SaveIfNew && c_.SaveIfNew()))
    return;
  const QString other = c_.Dialogs->AskTempMatResultFile(c_.Parent);
  if (other.isEmpty()) return;

  TfrmMeanProgress* progress = MeanProgressWindow();
  TfrmMesh* mesh = c_.MeshWindow;
  TRunObserver observer;
  observer.OnMeshInfo = [progress, mesh](const std::string& text) {
    const QString line = QString::fromStdString(text);
    if (line.startsWith(QStringLiteral("Extracting to "))) {
      if (mesh != nullptr) mesh->hide();
      progress->SetText(line);
      progress->show();
      progress->repaint();
      QApplication::processEvents();
    } else if (mesh != nullptr) {
      mesh->Info(text);
    }
  };
  observer.OnMeshDone = [mesh](const std::string&) {
    if (mesh != nullptr) mesh->Done();
  };
  if (mesh != nullptr) {
    mesh->Start();
    mesh->show();
  }
  const TTempMatResult result =
      ExtractTemperatureMaturity(*model, other.toStdString(), c_.ProgramFolder, observer);
  if (mesh != nullptr) mesh->hide();
  progress->hide();
  ReloadInputData();
  if (!result.Succeeded) {
    c_.Dialogs->ShowError(c_.Parent, QString::fromStdString(result.Error));
    return;
  }
  const int simulation = model->GeneralInfo.SimulationType % 10;
  if (simulation != 2)
    c_.Dialogs->ShowMessage(
        c_.Parent, QStringLiteral("The temperatures and maturities were written to \"%1\". A "
                                  "calculation reads them when its simulation type is \"Input "
                                  "of temperature and maturity\" (Calculation › Settings).")
                       .arg(QString::fromStdString(result.TempMatFile)));
}

std::shared_ptr<TPrintableWindow> TSetupCommands::PrintTarget() const {
  TfrmDocument* window = c_.ActiveWindow ? c_.ActiveWindow() : nullptr;
  if (c_.Model() == nullptr || window == nullptr) return nullptr;
  // A window with pages of its own prints them; the others print their picture.
  if (auto* printable = dynamic_cast<TPrintableWindow*>(window))
    return std::shared_ptr<TPrintableWindow>(printable, [](TPrintableWindow*) {});
  const QString job = QStringLiteral("VEMTO ") + window->windowTitle();
  if (TFemView2D* view = window->View()) return std::make_shared<TViewPrintable>(view, job);
  return std::make_shared<TWidgetPrintable>(window, job);
}

TPrintHeader TSetupCommands::PrintHeader() const {
  TPrintHeader header;
  if (TVemtoFile* model = c_.Model())
    header.Title = QString::fromStdString(model->ProjectInfo.Title);
  header.FileName = QFileInfo(c_.ModelName()).fileName();
  header.Date = QDate::currentDate();
  return header;
}

void TSetupCommands::Print() {
  const std::shared_ptr<TPrintableWindow> target = PrintTarget();
  if (target == nullptr) return;
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(target->PrintJobName());
  printer.setPageOrientation(target->PageOrientation());
  if (!c_.Dialogs->AskPrinter(c_.Parent, printer)) return;
  if (!target->PrintPages(printer, PrintHeader()))
    c_.Dialogs->ShowError(c_.Parent, QStringLiteral("The printer could not be started."));
}

void TSetupCommands::PrintToPdf() {
  const std::shared_ptr<TPrintableWindow> target = PrintTarget();
  if (target == nullptr) return;
  const QFileInfo model(c_.ModelName());
  const QString suggested = model.isAbsolute()
                                ? model.absolutePath() + QLatin1Char('/') +
                                      model.completeBaseName() + QStringLiteral(".pdf")
                                : QString();
  const QString fileName = c_.Dialogs->AskPdfFileName(c_.Parent, suggested);
  if (fileName.isEmpty()) return;
  QString error;
  if (!vemto::PrintToPdf(*target, PrintHeader(), fileName, &error))
    c_.Dialogs->ShowError(c_.Parent, error);
}

}  // namespace vemto
