// The main window: the multiple-document frame with every menu and toolbar, the open
// model and the material library, and the calculation run with its progress windows.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <array>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "CalculationRun.h"
#include "TfrmDocument.h"
#include "UserDialogs.h"

class QAction;
class QActionGroup;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QUndoGroup;
class QMenu;
class QTimer;
class QToolBar;

namespace vemto {

class ProjectDocument;
class TVemtoFile;
class TfrmGeometry;
class TfrmResult;
class TfrmDebug;
class TfrmEngine;
class TfrmMesh;
class TfrmShutdown;
class TSetupCommands;

/// How the main window is set up. Defaults give the program's behaviour.
struct TMainOptions {
  /// Folder of the libraries and of "materials.db"; empty = the running program's.
  std::filesystem::path ProgramFolder;
  /// Questions and messages; null = the platform's dialogs.
  std::unique_ptr<TUserDialogs> Dialogs;
  /// The calculation run the window drives and shows; null = one over the libraries
  /// of ProgramFolder. Its observer is the window's.
  std::unique_ptr<TCalculationRun> Run;
  /// Command-line arguments after the program name, processed when first shown.
  QStringList Arguments;
  /// Time a cancelled calculation gets before it is forcefully stopped (set on the run).
  std::chrono::milliseconds ShutdownTimeout{25000};
  /// Delay between opening the model and the calculation in unattended mode.
  std::chrono::milliseconds BatchDelay{2000};
  /// Show the splash window at start.
  bool ShowSplash = true;
  /// Unattended from the start ("/x" on the command line): no dialog is ever shown,
  /// also not for problems met while the window is being built (they go to stderr).
  bool BatchMode = false;
};

/// The program's main window "Vemto 3.1".
class TfrmMain : public QMainWindow {
  Q_OBJECT
 public:
  explicit TfrmMain(TMainOptions options = {});
  ~TfrmMain() override;

  // Commands (each also reachable through its menu item and toolbar button).
  void mnuFileNewClick();      ///< Close, then open "New model"
  void mnuFileOpenClick();     ///< "Open model" dialog, Close, open the file
  void mnuFileSaveClick();     ///< Save
  void mnuFileSaveAsClick();   ///< Save as
  void mnuFileCloseClick();    ///< Close the model
  void mnuFileExitClick();     ///< Close the model, then the window
  void mnuCalcExecuteClick();  ///< Execute
  void mnuResultsShowClick();  ///< Show results
  void ShowNodeTable();        ///< Topology > Nodes: the node table beside the geometry
  void ShowCurveTable();       ///< Topology > Curves
  void ShowSurfaceTable();     ///< Topology > Surfaces

  /// Opens a model by name ("New model" = an empty model), after closing the open one
  /// with the save question. False when cancelled or when the file cannot be read.
  bool OpenModel(const QString& name);
  /// Closes the document windows and the model (with the save question). False when
  /// the user cancelled (the model then stays open).
  bool CloseModel();
  /// Writes the model (asks for a name first for "New model"). False when cancelled
  /// or failed.
  bool SaveModel();
  /// Asks for a new name and writes the model under it. False when cancelled or failed.
  bool SaveModelAs();
  /// Processes the command line: one existing file opens it; a file and "/x" runs the
  /// calculation unattended and ends the program when the run ends.
  void ProcessCommandLine(const QStringList& arguments);

  /// The open model, or null.
  TVemtoFile* Model() const;
  /// The open model's document (undo stack, change signals), or null.
  ProjectDocument* Document() const { return doc_.get(); }
  /// The material library's document.
  ProjectDocument& LibraryDocument() const { return *library_; }
  /// The active document window (the current MDI child), or null.
  TfrmDocument* ActiveDocumentWindow() const;
  /// The geometry window, or null when it is closed.
  TfrmGeometry* GeometryWindow() const;
  /// The result window, or null.
  TfrmResult* ResultWindow() const;
  /// Full file name of the model, "New model", or empty when none is open.
  const QString& ModelName() const { return modelName_; }
  /// The material library.
  TVemtoFile& MaterialLibrary() const;
  /// A calculation run (check, mesh or engine) is in progress.
  bool Running() const { return run_->Running(); }
  /// Started with "/x".
  bool BatchMode() const { return batchMode_; }
  /// Exit status for the process: non-zero after a failed unattended run.
  int ExitCode() const { return exitCode_; }
  /// Outcome of the last calculation run: true when mesher and engine both succeeded.
  bool LastRunSucceeded() const { return lastRunSucceeded_; }
  /// The calculation run (check, meshing and the engine on its worker thread).
  TCalculationRun& CalculationRun() const { return *run_; }
  /// The run's simulation component (null before the first engine start).
  TVemtoEngine* Engine() const { return run_->Engine(); }
  /// The progress windows.
  TfrmEngine* EngineWindow() const { return frmEngine_; }
  TfrmMesh* MeshWindow() const { return frmMesh_; }
  TfrmShutdown* ShutdownWindow() const { return frmShutdown_; }
  /// Whether the document window `kind` is switched on.
  bool DocumentWindowOn(TDocumentWindow kind) const;
  /// Text of status panel `index` (0..2).
  QString StatusPanelText(int index) const;
  /// Longest delay of the event loop during the last engine run, in ms (how long the
  /// window could not react to the user).
  double LongestStallMs() const { return longestStallMs_; }
  /// The debug output window.
  TfrmDebug* DebugWindow() const { return frmDebug_; }
  /// Calculation settings, project information, input data, temperature and maturity
  /// input and printing.
  TSetupCommands& SetupCommands() const { return *setup_; }
  /// Asks a running calculation to stop and waits (processing events) until it has
  /// ended, by itself or forcefully. Returns at once when none runs.
  void CancelRunAndWait();

  /// Enables the commands the active document window serves (Copy, Print, the view
  /// commands) and shows its toolbar; runs whenever another document window becomes
  /// active.
  void updateMenus();

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  struct Actions;
  void CreateActions();
  void CreateMenus();
  void CreateToolBars();
  void CreateStatusBar();
  QAction* NewAction(const char* name, const QString& caption, const QString& hint,
                     void (TfrmMain::*handler)() = nullptr);
  QAction* NewButton(QToolBar* bar, const char* name, const QString& hint,
                     void (TfrmMain::*handler)() = nullptr);
  QAction* NewToggle(QToolBar* bar, const char* name, const QString& hint, bool down);
  void UpdateWindowMenu();
  void ToggleDocumentWindow(TDocumentWindow kind, bool on, bool byMenu);
  void CloseDocumentWindow(TDocumentWindow kind);
  void ConnectResultCommands();
  void SyncResultControls();
  void DocumentWindowClosing(TfrmDocument* window);
  TfrmGeometry* GeometryWindowIfActive() const;
  void CopyActiveWindow();
  void PrintActiveWindow();
  void DeleteInActiveWindow();
  void SetNoModelState();
  void SetModelState();
  void UpdateRunState();
  bool WriteModel(const QString& name);
  void ReloadMaterialLibrary(const QString& fileName);
  void LoadMaterialLibraryAtStart();
  void SaveMaterialLibraryAtExit();
  bool ConfirmCancelRun();
  bool RunOnThisThread() const;
  void ObserveRun();
  void RequestCancel();
  void PollRun();
  void RunEnded(const TRunResult& result);
  /// Shows the result window (created on first use) on `resultFile`.
  void OpenResultWindow(const std::string& resultFile);
  void EndRun(bool succeeded);
  void Report(const QString& text);
  void FinishBatch();
  void ReportResponsiveness();
  void CreateSetupCommands();

  std::filesystem::path programFolder_;
  std::unique_ptr<TUserDialogs> dialogs_;
  std::unique_ptr<TCalculationRun> run_;
  QStringList arguments_;
  std::chrono::milliseconds shutdownTimeout_;
  std::chrono::milliseconds batchDelay_;

  std::unique_ptr<ProjectDocument> doc_;
  QString modelName_;
  std::unique_ptr<ProjectDocument> library_;
  bool libraryLoadFailed_ = false;
  std::array<bool, 5> documentOn_{};
  std::array<QPointer<QMdiSubWindow>, 5> windows_{};  // by TDocumentWindow
  std::array<std::array<char, 512>, 3> viewState_{};  // geometry, conditions, materials
  std::array<bool, 3> viewStateSaved_{};

  bool engineShown_ = false;  // the engine window shows the run in progress
  bool batchMode_ = false;
  bool commandLineDone_ = false;
  bool closing_ = false;
  bool lastRunSucceeded_ = false;
  int exitCode_ = 0;

  QMdiArea* mdiArea_;
  QUndoGroup* undoGroup_;
  QTimer* tmrExecute_;
  QTimer* tmrPoll_;
  QTimer* tmrProbe_;  // measures the event loop's delays during a run
  std::int64_t lastProbeNs_ = 0;
  double longestStallMs_ = 0.0;
  std::unique_ptr<Actions> a_;
  std::array<QLabel*, 3> panels_{};
  TfrmMesh* frmMesh_;
  TfrmEngine* frmEngine_;
  TfrmShutdown* frmShutdown_;
  TfrmDebug* frmDebug_;
  TSetupCommands* setup_ = nullptr;
};

}  // namespace vemto
