// The main window's commands for setting up and inspecting a calculation: calculation
// settings, project information, the input-data window, temperatures and maturities
// from another model, and printing the active document window (to a printer or a PDF).
#pragma once

#include <QObject>
#include <QPointer>
#include <filesystem>
#include <functional>
#include <memory>

#include "CalcSettings.h"
#include "TfrmInputData.h"
#include "VemtoInfo.h"

class QDialog;
class QWidget;

namespace vemto {

class TVemtoFile;
class TUserDialogs;
class TfrmCalcSettings;
class TfrmMeanProgress;
class TfrmMesh;
class TfrmProjectInfo;
class TPrintableWindow;
struct TPrintHeader;

/// What the commands need of the main window.
struct TSetupContext {
  QWidget* Parent = nullptr;                    ///< owner of the dialogs
  TUserDialogs* Dialogs = nullptr;              ///< questions and messages
  std::filesystem::path ProgramFolder;          ///< holds libmeshgen.so and libtmfetch.so
  std::function<TVemtoFile*()> Model;           ///< the open model, or null
  std::function<QString()> ModelName;           ///< its file name ("New model" when unsaved)
  std::function<TfrmDocument*()> ActiveWindow;  ///< the active document window, or null
  std::function<bool()> SaveIfNew;              ///< names and saves an unsaved model
  std::function<bool()> Busy;                   ///< a calculation run is in progress
  TfrmMesh* MeshWindow = nullptr;               ///< the mesher's progress window
};

/// Handlers of Input › Project information, Calculation › Settings, Input › Input data,
/// Input › Temperature and maturity from file, File › Print and File › Print to PDF.
class TSetupCommands : public QObject {
  Q_OBJECT
 public:
  explicit TSetupCommands(TSetupContext context, QObject* parent = nullptr);
  ~TSetupCommands() override;

  /// Shows the calculation settings of the model; on OK writes them (ApplySettings).
  void CalculationSettings();
  /// Shows the project texts; on OK writes them (ApplyProjectInfo).
  void ProjectInformation();
  /// The input-data window the main window opened (forgotten when it is destroyed).
  void SetInputDataWindow(TfrmInputData* window) { frmInputData_ = window; }
  /// Reads the listing again if the window is open (after every meshing).
  void ReloadInputData();
  /// Meshes the model and writes its ".dtm" from another model's result database.
  void TemperatureMaturityFromFile();
  /// Prints the active document window through the print dialog.
  void Print();
  /// Writes the active document window to a PDF file chosen by the user.
  void PrintToPdf();

  /// The window File › Print acts on: the active document window, which prints its own
  /// pages or, when it has none, the picture of its view (or of the whole window). Null
  /// without an active document window.
  std::shared_ptr<TPrintableWindow> PrintTarget() const;
  /// The header of printed pages: project title, file name, today's date.
  TPrintHeader PrintHeader() const;

  /// Writes accepted dialog values into the model; the defaults write directly, the
  /// main window puts one undoable change per OK in their place.
  std::function<void(const TCalcSettings&)> ApplySettings;
  std::function<void(const TVemtoProjectInfo&)> ApplyProjectInfo;
  /// Runs a modal dialog; tests fill and end it instead.
  std::function<int(QDialog&)> ExecDialog;

  TfrmCalcSettings* CalcSettingsDialog();
  TfrmProjectInfo* ProjectInfoDialog();
  TfrmInputData* InputDataWindow() const { return frmInputData_; }
  TfrmMeanProgress* MeanProgressWindow();

 private:
  TSetupContext c_;
  TfrmCalcSettings* frmCalcSettings_ = nullptr;
  TfrmProjectInfo* frmProjectInfo_ = nullptr;
  TfrmMeanProgress* frmMeanProgress_ = nullptr;
  QPointer<TfrmInputData> frmInputData_;
};

}  // namespace vemto
