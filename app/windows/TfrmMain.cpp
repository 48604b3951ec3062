#include "TfrmMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUndoGroup>
#include <clocale>
#include <cstdio>
#include <filesystem>

#include "CalcSettingsCommands.h"
#include "PeripheralWindows.h"
#include "ProjectDocument.h"
#include "SetupCommands.h"
#include "TfrmBoundaryConds.h"
#include "TfrmCementGuide.h"
#include "TfrmEngine.h"
#include "TfrmGeometry.h"
#include "TfrmMaterialView.h"
#include "TfrmMaterials.h"
#include "TfrmMesh.h"
#include "TfrmResult.h"
#include "TfrmShutdown.h"
#include "TfrmTopology.h"
#include "VemtoEngine.h"
#include "VemtoFile.h"
#include "VemtoIcons.h"

namespace vemto {

namespace {

const QString kNewModel = QString::fromLatin1(kNewModelName);
constexpr int kPollIntervalMs = 100;
constexpr int kProbeIntervalMs = 20;

std::int64_t ProbeClockNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

QStringList ToList(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list;
}

}  // namespace

/// The menus, toolbars and their actions, each under the name of its control.
struct TfrmMain::Actions {
  QMenu *mnuFile, *mnuEdit, *mnuInput, *mnuCalc, *mnuResults, *mnuWindow, *mnuHelp;
  QMenu* mnuTopology;
  QAction *mnuTopologyNodes, *mnuTopologyCurves, *mnuTopologySurfaces;
  QAction *mnuFileNew, *mnuFileOpen, *mnuFileSave, *mnuFileSaveAs, *mnuFileClose,
      *mnuFileCreateCementType, *mnuFilePrint, *mnuFilePrintPdf, *mnuFileExit;
  QAction *mnuEditUndo, *mnuEditRedo, *mnuEditCopy;
  QAction *mnuInputGeneral, *mnuInputGeometry, *mnuInputMaterials, *mnuInputBC, *mnuInputData,
      *mnuInputTempMat;
  QAction *mnuCalcSettings, *mnuCalcExecute, *mnuResultsShow;
  QAction *mnuWindowCascade, *mnuWindowTile, *mnuWindowArrange, *mnuWindowMinimizeAll;
  QAction* mnuAbout;

  QToolBar *barStandard, *barVemto, *barView, *barGeometry, *barConditions, *barResults,
      *barCoordinates;
  QAction *btnFileSave, *btnFileNew, *btnFileOpen, *btnCopy, *btnGeomDelete, *btnPrint;
  QAction *btnGeometry, *btnMaterials, *btnBoundaryConds, *btnCalcExecute, *btnResults,
      *btnCalcSetup, *btnInputData;
  QAction *btnViewPan, *btnViewZoomIn, *btnViewZoomOut, *btnGeomGrid, *btnViewZoomExt,
      *btnViewZoomWin, *btnGeomGridProp, *btnGeomSnap, *btnDrawNodeText, *btnDrawElementText;
  QAction *btnGeomLine, *btnGeomSelect, *btnGeomNode, *btnGeomCurve, *btnGeomSurface, *btnSurfProp;
  QLabel* pnlCoords;
  QAction *btnHist, *btnTable, *btnDistr, *btnProp, *btnRect, *btnCross, *btnRectProp, *btnRectMin,
      *btnRectMax, *btnAddStep, *btnSubtractStep, *actTimeSlider, *actTimeStep;
  QActionGroup *grpResultTypes, *grpScales;
  QSlider* trbTimeStep;
  QLabel* pnlTimeStep;

  /// The menu item and the toolbar button that switch a document window.
  std::pair<QAction*, QAction*> Switches(TDocumentWindow kind) const {
    switch (kind) {
      case TDocumentWindow::Geometry:
        return {mnuInputGeometry, btnGeometry};
      case TDocumentWindow::BoundaryConds:
        return {mnuInputBC, btnBoundaryConds};
      case TDocumentWindow::MaterialView:
        return {mnuInputMaterials, btnMaterials};
      case TDocumentWindow::InputData:
        return {mnuInputData, btnInputData};
      case TDocumentWindow::Result:
        break;
    }
    return {nullptr, nullptr};
  }
  /// The buttons of the geometry edit modes with their modes.
  std::vector<std::pair<QAction*, TEditMode>> GeometryModes() const {
    return {{btnGeomSelect, emSelect},         {btnGeomNode, emCreateNode},
            {btnGeomLine, emCreateLine},       {btnGeomCurve, emCreateCurve},
            {btnGeomSurface, emCreateSurface}, {btnViewPan, emSmoothPan},
            {btnViewZoomWin, emZoomWindow}};
  }
};

TfrmMain::TfrmMain(TMainOptions options)
    : programFolder_(options.ProgramFolder.empty() ? ProgramFolder() : options.ProgramFolder),
      dialogs_(options.Dialogs ? std::move(options.Dialogs) : std::make_unique<TQtUserDialogs>()),
      run_(options.Run ? std::move(options.Run)
                       : std::make_unique<TCalculationRun>(programFolder_)),
      arguments_(options.Arguments),
      shutdownTimeout_(options.ShutdownTimeout),
      batchDelay_(options.BatchDelay),
      library_(std::make_unique<ProjectDocument>()),
      batchMode_(options.BatchMode),
      mdiArea_(new QMdiArea(this)),
      undoGroup_(new QUndoGroup(this)),
      tmrExecute_(new QTimer(this)),
      tmrPoll_(new QTimer(this)),
      tmrProbe_(new QTimer(this)),
      a_(std::make_unique<Actions>()),
      frmMesh_(new TfrmMesh(this)),
      frmEngine_(new TfrmEngine(this)),
      frmShutdown_(new TfrmShutdown(this)),
      frmDebug_(new TfrmDebug(this)) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Vemto 3.1[*]"));
  setCentralWidget(mdiArea_);
  mdiArea_->setObjectName(QStringLiteral("mdiArea"));
  if (options.ShowSplash) ShowSplash();

  LoadMaterialLibraryAtStart();
  CreateActions();
  CreateMenus();
  CreateToolBars();
  CreateStatusBar();
  CreateSetupCommands();
  ApplyToolBarIcons(this);
  setWindowIcon(ApplicationIcon());
  connect(mdiArea_, &QMdiArea::subWindowActivated, this, &TfrmMain::updateMenus);

  QSettings settings(QStringLiteral("Orvanda"), QStringLiteral("Vemto 3"));
  settings.beginGroup(QStringLiteral("Toolbars"));
  restoreState(settings.value(QStringLiteral("State")).toByteArray());
  settings.endGroup();
  for (QToolBar* bar :
       {a_->barView, a_->barGeometry, a_->barCoordinates, a_->barConditions, a_->barResults})
    bar->hide();
  SetNoModelState();

  tmrExecute_->setSingleShot(true);
  connect(tmrExecute_, &QTimer::timeout, this, &TfrmMain::mnuCalcExecuteClick);
  tmrPoll_->setInterval(kPollIntervalMs);
  connect(tmrPoll_, &QTimer::timeout, this, &TfrmMain::PollRun);
  tmrProbe_->setInterval(kProbeIntervalMs);
  tmrProbe_->setTimerType(Qt::PreciseTimer);
  connect(tmrProbe_, &QTimer::timeout, this, [this] {
    const std::int64_t now = ProbeClockNs();
    const double late = static_cast<double>(now - lastProbeNs_) * 1e-6 - kProbeIntervalMs;
    longestStallMs_ = std::max(longestStallMs_, late);
    lastProbeNs_ = now;
  });

  frmMesh_->setWindowModality(Qt::ApplicationModal);
  frmShutdown_->setWindowModality(Qt::ApplicationModal);
  frmShutdown_->SetTimeout(shutdownTimeout_);
  ObserveRun();
}

void TfrmMain::ObserveRun() {
  // The run decides; the windows show what it reports and forward the user's commands.
  run_->ShutdownTimeout = shutdownTimeout_;
  TRunObserver& observer = run_->Observer;
  observer = TRunObserver{};
  observer.ConfirmCheck = [this](const TRunCheck& check) {
    return dialogs_->ConfirmModelCheck(this, ToList(check.Warnings), ToList(check.Errors));
  };
  observer.OnPhase = [this](TRunPhase phase) {
    UpdateRunState();
    if (phase == TRunPhase::Mesh) {
      frmMesh_->Start();
      frmMesh_->show();
    }
  };
  observer.OnMeshInfo = [this](const std::string& text) { frmMesh_->Info(text); };
  observer.OnMeshDone = [this](const std::string&) { frmMesh_->Done(); };
  observer.OnMeshEnded = [this](const TRunMeshOutcome& outcome) {
    if (outcome.Failed) frmMesh_->Error();
    frmMesh_->hide();
    setup_->ReloadInputData();
  };
  frmEngine_->Attach(observer);
  observer.OnEngineStarted = [this](TVemtoEngine& engine) {
    engineShown_ = true;
    frmEngine_->Start(engine.StepCount);
    frmEngine_->show();
    longestStallMs_ = 0.0;
    lastProbeNs_ = ProbeClockNs();
    tmrProbe_->start();
  };
  observer.OnWorkerEnded = [this] {
    QMetaObject::invokeMethod(this, &TfrmMain::PollRun, Qt::QueuedConnection);
  };
  observer.OnEnded = [this](const TRunResult& result) { RunEnded(result); };
  frmMesh_->OnCancel = [this] { run_->Cancel(); };
  frmEngine_->OnCancel = [this] { RequestCancel(); };
  frmEngine_->OnPause = [this] { run_->Pause(); };
  frmEngine_->OnResume = [this] { run_->Resume(); };
}

TfrmMain::~TfrmMain() {
  // The document windows go with the MDI area, after the toolbars they would update.
  disconnect(mdiArea_, nullptr, this, nullptr);
  // The worker may be waiting for this thread inside a progress message: let it end
  // while events are processed, never by blocking here.
  CancelRunAndWait();
}

QAction* TfrmMain::NewAction(const char* name, const QString& caption, const QString& hint,
                             void (TfrmMain::*handler)()) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QString::fromLatin1(name));
  action->setStatusTip(hint);
  if (handler != nullptr) connect(action, &QAction::triggered, this, handler);
  return action;
}

QAction* TfrmMain::NewButton(QToolBar* bar, const char* name, const QString& hint,
                             void (TfrmMain::*handler)()) {
  QAction* action = NewAction(name, hint, hint, handler);
  action->setToolTip(hint);
  bar->addAction(action);
  return action;
}

QAction* TfrmMain::NewToggle(QToolBar* bar, const char* name, const QString& hint, bool down) {
  QAction* action = NewButton(bar, name, hint);
  action->setCheckable(true);
  action->setChecked(down);
  return action;
}

void TfrmMain::CreateActions() {
  Actions& a = *a_;
  a.mnuFileNew = NewAction("mnuFileNew", QStringLiteral("&New..."),
                           QStringLiteral("Testing Testing"), &TfrmMain::mnuFileNewClick);
  a.mnuFileOpen = NewAction("mnuFileOpen", QStringLiteral("&Open..."),
                            QStringLiteral("Open vemto model"), &TfrmMain::mnuFileOpenClick);
  a.mnuFileSave = NewAction("mnuFileSave", QStringLiteral("&Save"),
                            QStringLiteral("Save current model"), &TfrmMain::mnuFileSaveClick);
  a.mnuFileSaveAs = NewAction("mnuFileSaveAs", QStringLiteral("Save &as..."),
                              QStringLiteral("Save current model with a new name"),
                              &TfrmMain::mnuFileSaveAsClick);
  a.mnuFileClose = NewAction("mnuFileClose", QStringLiteral("&Close"),
                             QStringLiteral("Close current model"), &TfrmMain::mnuFileCloseClick);
  a.mnuFileCreateCementType =
      NewAction("mnuFileCreateCementType", QStringLiteral("Create cement &type..."), QString());
  connect(a.mnuFileCreateCementType, &QAction::triggered, this,
          [this] { TfrmCementGuide::Open(this); });
  a.mnuFilePrint = NewAction("mnuFilePrint", QStringLiteral("&Print..."), QString(),
                             &TfrmMain::PrintActiveWindow);
  a.mnuFilePrintPdf = NewAction("mnuFilePrintPdf", QStringLiteral("Print to P&DF..."),
                                QStringLiteral("Saves the active window as a PDF file"));
  a.mnuFileExit = NewAction("mnuFileExit", QStringLiteral("E&xit"), QStringLiteral("Exit Vemto"),
                            &TfrmMain::mnuFileExitClick);

  // Undo and redo act on the open model's undo stack.
  a.mnuEditUndo = undoGroup_->createUndoAction(this, QStringLiteral("&Undo"));
  a.mnuEditUndo->setObjectName(QStringLiteral("mnuEditUndo"));
  a.mnuEditUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
  a.mnuEditRedo = undoGroup_->createRedoAction(this, QStringLiteral("&Redo"));
  a.mnuEditRedo->setObjectName(QStringLiteral("mnuEditRedo"));
  a.mnuEditRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  a.mnuEditCopy =
      NewAction("mnuEditCopy", QStringLiteral("&Copy"),
                QStringLiteral("Copies picture/table to clipboard"), &TfrmMain::CopyActiveWindow);

  a.mnuInputGeneral = NewAction("mnuInputGeneral", QStringLiteral("&Project information"),
                                QStringLiteral("Show project information"));
  a.mnuInputGeometry = NewAction("mnuInputGeometry", QStringLiteral("&Geometry"),
                                 QStringLiteral("Shows geometry window"));
  a.mnuInputMaterials = NewAction("mnuInputMaterials", QStringLiteral("&Materials"),
                                  QStringLiteral("Show material window"));
  a.mnuInputBC = NewAction("mnuInputBC", QStringLiteral("&Boundary conditions"),
                           QStringLiteral("Show boundary condition window"));
  a.mnuInputData =
      NewAction("mnuInputData", QStringLiteral("Input &data"), QStringLiteral("Shows input data"));
  for (auto kind : {TDocumentWindow::Geometry, TDocumentWindow::MaterialView,
                    TDocumentWindow::BoundaryConds, TDocumentWindow::InputData}) {
    QAction* item = a.Switches(kind).first;
    item->setCheckable(true);
    connect(item, &QAction::triggered, this,
            [this, kind](bool on) { ToggleDocumentWindow(kind, on, true); });
  }
  a.mnuInputTempMat =
      NewAction("mnuInputTempMat", QStringLiteral("&Temperature and maturity from file..."),
                QStringLiteral("Retrieves temperatures from file"));
  a.mnuCalcSettings = NewAction("mnuCalcSettings", QStringLiteral("&Settings"),
                                QStringLiteral("Shows calculation settings"));
  a.mnuCalcExecute =
      NewAction("mnuCalcExecute", QStringLiteral("&Execute"),
                QStringLiteral("Executes calculation"), &TfrmMain::mnuCalcExecuteClick);
  a.mnuResultsShow = NewAction("mnuResultsShow", QStringLiteral("&Show results"), QString(),
                               &TfrmMain::mnuResultsShowClick);

  a.mnuWindowCascade = NewAction("mnuWindowCascade", QStringLiteral("&Cascade"),
                                 QStringLiteral("Orders windows with overlap"));
  a.mnuWindowTile = NewAction("mnuWindowTile", QStringLiteral("&Tile"),
                              QStringLiteral("Orders windows without overlap"));
  a.mnuWindowArrange =
      NewAction("mnuWindowArrange", QStringLiteral("&Arrange"), QStringLiteral("Arranges icons"));
  a.mnuWindowMinimizeAll = NewAction("mnuWindowMinimizeAll", QStringLiteral("&Minimize all"),
                                     QStringLiteral("Minimizes all windows"));
  connect(a.mnuWindowCascade, &QAction::triggered, mdiArea_, &QMdiArea::cascadeSubWindows);
  connect(a.mnuWindowTile, &QAction::triggered, mdiArea_, &QMdiArea::tileSubWindows);
  connect(a.mnuWindowArrange, &QAction::triggered, mdiArea_, &QMdiArea::cascadeSubWindows);
  connect(a.mnuWindowMinimizeAll, &QAction::triggered, this, [this] {
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) (*it)->showMinimized();
  });
  a.mnuAbout = NewAction("mnuAbout", QStringLiteral("&About"),
                         QStringLiteral("Shows information about Vemto"));
  connect(a.mnuAbout, &QAction::triggered, this, [this] {
    TfrmAbout box(this);
    box.exec();
  });
}

void TfrmMain::CreateMenus() {
  auto menu = [this](const char* name, const QString& caption, const QString& hint,
                     std::initializer_list<QAction*> items) {
    QMenu* m = menuBar()->addMenu(caption);
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setStatusTip(hint);
    for (QAction* item : items) {
      if (item == nullptr)
        m->addSeparator();
      else
        m->addAction(item);
    }
    return m;
  };
  Actions& a = *a_;
  a.mnuFile =
      menu("mnuFile", QStringLiteral("&File"), QStringLiteral("Create a new vemto model"),
           {a.mnuFileNew, a.mnuFileOpen, a.mnuFileSave, a.mnuFileSaveAs, a.mnuFileClose, nullptr,
            a.mnuFileCreateCementType, a.mnuFilePrint, a.mnuFilePrintPdf, nullptr, a.mnuFileExit});
  a.mnuEdit = menu("mnuEdit", QStringLiteral("&Edit"), QString(),
                   {a.mnuEditUndo, a.mnuEditRedo, nullptr, a.mnuEditCopy});
  a.mnuInput = menu("mnuInput", QStringLiteral("&Input"), QString(),
                    {a.mnuInputGeneral, a.mnuInputGeometry, a.mnuInputMaterials, a.mnuInputBC,
                     a.mnuInputData, nullptr, a.mnuInputTempMat});
  // The geometry's tables.
  a.mnuTopologyNodes =
      NewAction("mnuTopologyNodes", QStringLiteral("&Nodes"), QString(), &TfrmMain::ShowNodeTable);
  a.mnuTopologyCurves = NewAction("mnuTopologyCurves", QStringLiteral("&Curves"), QString(),
                                  &TfrmMain::ShowCurveTable);
  a.mnuTopologySurfaces = NewAction("mnuTopologySurfaces", QStringLiteral("&Surfaces"), QString(),
                                    &TfrmMain::ShowSurfaceTable);
  a.mnuTopology = menu("mnuTopology", QStringLiteral("&Topology"), QString(),
                       {a.mnuTopologyNodes, a.mnuTopologyCurves, a.mnuTopologySurfaces});
  a.mnuCalc = menu("mnuCalc", QStringLiteral("&Calculation"), QString(),
                   {a.mnuCalcSettings, a.mnuCalcExecute});
  a.mnuResults = menu("mnuResults", QStringLiteral("&Results"), QString(), {a.mnuResultsShow});
  a.mnuWindow = menu("mnuWindow", QStringLiteral("&Window"), QString(), {});
  connect(a.mnuWindow, &QMenu::aboutToShow, this, &TfrmMain::UpdateWindowMenu);
  UpdateWindowMenu();
  a.mnuHelp = menu("mnuHelp", QStringLiteral("&Help"), QString(), {a.mnuAbout});
}

void TfrmMain::UpdateWindowMenu() {
  // The arrangement commands, then one item per document window (the active one checked).
  Actions& a = *a_;
  a.mnuWindow->clear();
  for (QAction* item :
       {a.mnuWindowCascade, a.mnuWindowTile, a.mnuWindowArrange, a.mnuWindowMinimizeAll})
    a.mnuWindow->addAction(item);
  const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
  if (!windows.isEmpty()) a.mnuWindow->addSeparator();
  int number = 0;
  for (QMdiSubWindow* window : windows) {
    ++number;
    QAction* item = a.mnuWindow->addAction(
        QStringLiteral("&%1 %2").arg(number).arg(window->widget()->windowTitle()));
    item->setCheckable(true);
    item->setChecked(window == mdiArea_->currentSubWindow());
    connect(item, &QAction::triggered, this, [this, window] {
      if (mdiArea_->subWindowList().contains(window)) mdiArea_->setActiveSubWindow(window);
    });
  }
}

void TfrmMain::CreateToolBars() {
  auto bar = [this](const char* title, Qt::ToolBarArea area) {
    auto* b = new QToolBar(QString::fromLatin1(title), this);
    b->setObjectName(QString::fromLatin1(title));
    b->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(area, b);
    return b;
  };
  Actions& a = *a_;
  QToolBar* standard = a.barStandard = bar("Standard", Qt::TopToolBarArea);
  a.btnFileSave =
      NewButton(standard, "btnFileSave", QStringLiteral("Save"), &TfrmMain::mnuFileSaveClick);
  a.btnFileNew =
      NewButton(standard, "btnFileNew", QStringLiteral("New"), &TfrmMain::mnuFileNewClick);
  a.btnFileOpen =
      NewButton(standard, "btnFileOpen", QStringLiteral("Open"), &TfrmMain::mnuFileOpenClick);
  a.btnCopy = NewButton(standard, "btnCopy", QStringLiteral("Copy"), &TfrmMain::CopyActiveWindow);
  a.btnGeomDelete = NewButton(standard, "btnGeomDelete", QStringLiteral("Delete"),
                              &TfrmMain::DeleteInActiveWindow);
  a.btnPrint =
      NewButton(standard, "btnPrint", QStringLiteral("Print"), &TfrmMain::PrintActiveWindow);

  QToolBar* vemto = a.barVemto = bar("Vemto", Qt::TopToolBarArea);
  a.btnGeometry = NewToggle(vemto, "btnGeometry", QStringLiteral("Geometry"), false);
  a.btnMaterials = NewToggle(vemto, "btnMaterials", QStringLiteral("Materials"), false);
  a.btnBoundaryConds =
      NewToggle(vemto, "btnBoundaryConds", QStringLiteral("Boundary conditions"), false);
  a.btnCalcExecute = NewButton(vemto, "btnCalcExecute", QStringLiteral("Execute calculation"),
                               &TfrmMain::mnuCalcExecuteClick);
  a.btnResults = NewButton(vemto, "btnResults", QStringLiteral("Show Results"),
                           &TfrmMain::mnuResultsShowClick);
  a.btnCalcSetup = NewButton(vemto, "btnCalcSetup", QStringLiteral("Calculation settings"));
  a.btnInputData = NewToggle(vemto, "btnInputData", QStringLiteral("Input data"), false);
  for (auto kind : {TDocumentWindow::Geometry, TDocumentWindow::MaterialView,
                    TDocumentWindow::BoundaryConds, TDocumentWindow::InputData})
    connect(a.Switches(kind).second, &QAction::triggered, this,
            [this, kind](bool on) { ToggleDocumentWindow(kind, on, false); });

  // View commands act on the view of the active document window.
  // The toolbars of the document windows form a second row.
  addToolBarBreak(Qt::TopToolBarArea);
  QToolBar* view = a.barView = bar("View", Qt::TopToolBarArea);
  a.btnViewPan = NewToggle(view, "btnViewPan", QStringLiteral("Pan"), false);
  a.btnViewZoomIn = NewButton(view, "btnViewZoomIn", QStringLiteral("Zoom in"));
  a.btnViewZoomOut = NewButton(view, "btnViewZoomOut", QStringLiteral("Zoom out"));
  a.btnGeomGrid = NewToggle(view, "btnGeomGrid", QStringLiteral("Show grid"), true);
  a.btnViewZoomExt = NewButton(view, "btnViewZoomExt", QStringLiteral("Zoom extent"));
  a.btnViewZoomWin = NewToggle(view, "btnViewZoomWin", QStringLiteral("Zoom window"), false);
  a.btnGeomGridProp = NewButton(view, "btnGeomGridProp", QStringLiteral("Grid properties"));
  a.btnGeomSnap = NewToggle(view, "btnGeomSnap", QStringLiteral("Snap to grid"), true);
  a.btnDrawNodeText = NewToggle(view, "btnDrawNodeText", QStringLiteral("Node numbers"), true);
  a.btnDrawElementText =
      NewToggle(view, "btnDrawElementText", QStringLiteral("Element numbers"), true);
  auto onView = [this](QAction* action, auto act) {
    connect(action, &QAction::triggered, this, [this, act](bool checked) {
      if (TfrmDocument* window = ActiveDocumentWindow())
        if (TFemView2D* v = window->View()) act(*v, checked);
    });
  };
  onView(a.btnViewZoomIn, [](TFemView2D& v, bool) { v.ZoomIn(); });
  onView(a.btnViewZoomOut, [](TFemView2D& v, bool) { v.ZoomOut(); });
  onView(a.btnViewZoomExt, [](TFemView2D& v, bool) { v.ZoomExtents(); });
  auto option = [onView](QAction* action, bool TViewOptions::*field) {
    onView(action, [field](TFemView2D& v, bool checked) {
      TViewOptions o = v.Options();
      o.*field = checked;
      v.SetOptions(o);
    });
  };
  option(a.btnGeomGrid, &TViewOptions::DrawGrid);
  option(a.btnGeomSnap, &TViewOptions::SnapToGrid);
  option(a.btnDrawNodeText, &TViewOptions::DrawNodeText);
  option(a.btnDrawElementText, &TViewOptions::DrawElementText);
  connect(a.btnGeomGridProp, &QAction::triggered, this, [this] {
    if (TfrmGeometry* g = GeometryWindowIfActive()) g->ShowGridProperties();
    if (auto* b = qobject_cast<TfrmBoundaryConds*>(ActiveDocumentWindow())) b->ShowGridProperties();
    if (auto* v = qobject_cast<TfrmMaterialView*>(ActiveDocumentWindow())) v->ShowGridProperties();
  });

  addToolBarBreak(Qt::TopToolBarArea);
  QToolBar* geometry = a.barGeometry = bar("Geometry", Qt::TopToolBarArea);
  auto* modes = new QActionGroup(this);
  modes->setObjectName(QStringLiteral("grpGeometryMode"));
  a.btnGeomLine = NewToggle(geometry, "btnGeomLine", QStringLiteral("Create line"), false);
  a.btnGeomSelect = NewToggle(geometry, "btnGeomSelect", QStringLiteral("Select objects"), true);
  a.btnGeomNode = NewToggle(geometry, "btnGeomNode", QStringLiteral("Create point"), false);
  a.btnGeomCurve = NewToggle(geometry, "btnGeomCurve", QStringLiteral("Create curve"), false);
  a.btnGeomSurface = NewToggle(geometry, "btnGeomSurface", QStringLiteral("Create surface"), false);
  a.btnSurfProp = NewButton(geometry, "btnSurfProp", QStringLiteral("Surface properties"));
  connect(a.btnSurfProp, &QAction::triggered, this, [this] {
    if (TfrmGeometry* g = GeometryWindowIfActive()) g->ShowSurfaceProperties();
  });
  // One exclusive group over the geometry modes, Pan and Zoom window.
  for (const auto& [button, mode] : a.GeometryModes()) {
    modes->addAction(button);
    const TEditMode m = mode;
    connect(button, &QAction::triggered, this, [this, m] {
      if (TfrmGeometry* g = GeometryWindowIfActive()) g->SetEditMode(m);
      // The boundary-condition window takes Pan and Zoom window (and Select back).
      if (auto* b = qobject_cast<TfrmBoundaryConds*>(ActiveDocumentWindow()))
        if (m == emSelect || m == emSmoothPan || m == emZoomWindow) b->SetEditMode(m);
      if (auto* v = qobject_cast<TfrmMaterialView*>(ActiveDocumentWindow()))
        v->SetEditMode(m == emSmoothPan || m == emZoomWindow ? m : emSelect);
    });
  }

  QToolBar* conditions = a.barConditions = bar("Boundary Conditions", Qt::LeftToolBarArea);
  auto* conditionKinds = new QActionGroup(this);
  conditionKinds->setObjectName(QStringLiteral("grpConditionKind"));
  for (const auto& [name, hint, down] :
       {std::tuple{"btnSpring", "Spring", false}, std::tuple{"btnTemperature", "Temperature", true},
        std::tuple{"btnHeatflow", "Heatflow", false}, std::tuple{"btnPipe", "Pipeflow", false},
        std::tuple{"btnDisplacement", "Displacement", false},
        std::tuple{"btnLoad", "Loading", false}})
    conditionKinds->addAction(NewToggle(conditions, name, QString::fromLatin1(hint), down));
  conditions->addSeparator();
  NewToggle(conditions, "btnBCSelect", QStringLiteral("Select"), false);
  conditions->addSeparator();
  auto* positionKinds = new QActionGroup(this);
  positionKinds->setObjectName(QStringLiteral("grpPositionKind"));
  for (const auto& [name, hint, down] :
       {std::tuple{"btnNodal", "Nodal", false}, std::tuple{"btnEdge", "Edge", true},
        std::tuple{"btnSurface", "Surface", false}})
    positionKinds->addAction(NewToggle(conditions, name, QString::fromLatin1(hint), down));
  conditions->addSeparator();
  NewToggle(conditions, "btnSnapElementNode", QStringLiteral("Snap to element node"), false);

  // The result window takes these commands when it is added.
  QToolBar* results = a.barResults = bar("Results", Qt::TopToolBarArea);
  QAction* resultType = NewButton(results, "btnResultType", QStringLiteral("Result type"));
  auto* resultMenu = new QMenu(this);
  resultMenu->setObjectName(QStringLiteral("mnuResultType"));
  auto* resultTypes = new QActionGroup(this);
  // Menu order; the number is what the result window receives.
  for (const auto& [caption, number] :
       {std::pair{"Temperature", 0}, std::pair{"Maturity", 1}, std::pair{"Degree of hydration", 2},
        std::pair{"Pipe", 3}, std::pair{"Displacements", 5}, std::pair{"Heatloss", 4},
        std::pair{"Reactions", 6}, std::pair{"Stress", 7}, std::pair{"Tensile strength", 9},
        std::pair{"Compressive strength", 10}, std::pair{"Stress-Strength ratio", 8},
        std::pair{"Crack risk", 11}}) {
    QAction* item = resultMenu->addAction(QString::fromLatin1(caption));
    item->setCheckable(true);
    item->setChecked(number == 0);
    item->setData(number);
    resultTypes->addAction(item);
  }
  resultType->setMenu(resultMenu);
  QAction* scale = NewButton(results, "btnColorscale", QStringLiteral("Scale"));
  auto* scaleMenu = new QMenu(this);
  scaleMenu->setObjectName(QStringLiteral("mnuColorscale"));
  auto* scales = new QActionGroup(this);
  for (const auto& [caption, number] : {std::pair{"Color", 0}, std::pair{"Black and white", 1}}) {
    QAction* item = scaleMenu->addAction(QString::fromLatin1(caption));
    item->setCheckable(true);
    item->setChecked(number == 0);
    item->setData(number);
    scales->addAction(item);
  }
  scale->setMenu(scaleMenu);
  for (QAction* dropDown : {resultType, scale})
    if (auto* button = qobject_cast<QToolButton*>(results->widgetForAction(dropDown)))
      button->setPopupMode(QToolButton::InstantPopup);
  a.btnHist = NewButton(results, "btnHist", QStringLiteral("History"));
  a.btnHist->setCheckable(true);
  a.btnTable = NewButton(results, "btnTable", QStringLiteral("Table"));
  a.btnTable->setCheckable(true);
  a.btnDistr = NewToggle(results, "btnDistr", QStringLiteral("Distribution"), true);
  a.btnProp = NewButton(results, "btnProp", QStringLiteral("Diagram properties"));
  auto* cursors = new QActionGroup(this);
  a.btnRect = NewToggle(results, "btnRect", QStringLiteral("Rectangle cursor (Mean)"), false);
  a.btnCross = NewToggle(results, "btnCross", QStringLiteral("Node cursor"), true);
  a.btnRectProp = NewButton(results, "btnRectProp", QStringLiteral("Cursor properties"));
  a.btnRectMin = NewButton(results, "btnRectMin", QStringLiteral("Minimum value in rectangle"));
  a.btnRectMax = NewButton(results, "btnRectMax", QStringLiteral("Max value in rectangle"));
  for (QAction* cursor : {a.btnCross, a.btnRect, a.btnRectMax, a.btnRectMin}) {
    cursor->setCheckable(true);
    cursors->addAction(cursor);
  }
  results->addSeparator();
  a.btnAddStep = NewButton(results, "btnAddStep", QStringLiteral("Backwards"));
  auto* slider = a.trbTimeStep = new QSlider(Qt::Horizontal, results);
  slider->setObjectName(QStringLiteral("trbTimeStep"));
  slider->setToolTip(QStringLiteral("Time slider"));
  slider->setStatusTip(QStringLiteral("Time slider"));
  slider->setMaximumWidth(160);
  slider->setMaximum(0);
  a.actTimeSlider = results->addWidget(slider);
  a.btnSubtractStep = NewButton(results, "btnSubtractStep", QStringLiteral("Forward"));
  auto* timeStep = a.pnlTimeStep = new QLabel(QStringLiteral("0"), results);
  timeStep->setObjectName(QStringLiteral("pnlTimeStep"));
  timeStep->setToolTip(QStringLiteral("Timestep"));
  timeStep->setStatusTip(QStringLiteral("Timestep"));
  timeStep->setMinimumWidth(60);
  timeStep->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  a.actTimeStep = results->addWidget(timeStep);
  a.grpResultTypes = resultTypes;
  a.grpScales = scales;
  // Keys for moving through time and between the modes without the mouse.
  a.btnAddStep->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft));
  a.btnSubtractStep->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketRight));
  a.btnHist->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_H));
  a.btnDistr->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D));
  ConnectResultCommands();

  QToolBar* coordinates = a.barCoordinates = bar("Coordinates", Qt::TopToolBarArea);
  a.pnlCoords = new QLabel(coordinates);
  a.pnlCoords->setObjectName(QStringLiteral("pnlCoords"));
  a.pnlCoords->setMinimumWidth(220);
  coordinates->addWidget(a.pnlCoords);
}

void TfrmMain::CreateStatusBar() {
  for (int i = 0; i < 3; ++i) {
    panels_[i] = new QLabel(this);
    panels_[i]->setObjectName(QStringLiteral("pnlStatus%1").arg(i));
    panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addWidget(panels_[i], i == 1 ? 1 : 0);
  }
  panels_[0]->setMinimumWidth(220);
  panels_[2]->setMinimumWidth(120);
}

bool TfrmMain::event(QEvent* event) {
  // Long hints go to status panel 1 instead of replacing the panels.
  if (event->type() == QEvent::StatusTip) {
    panels_[1]->setText(static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  // The document area keeps the desktop's shade when a light or dark palette is chosen.
  if (event->type() == QEvent::PaletteChange)
    mdiArea_->setBackground(palette().brush(QPalette::Dark));
  return QMainWindow::event(event);
}

QString TfrmMain::StatusPanelText(int index) const {
  return panels_.at(index)->text();
}

TVemtoFile* TfrmMain::Model() const {
  return doc_ != nullptr ? &doc_->Model() : nullptr;
}

TVemtoFile& TfrmMain::MaterialLibrary() const {
  return library_->Model();
}

// --- document windows ------------------------------------------------------------------

TfrmDocument* TfrmMain::ActiveDocumentWindow() const {
  QMdiSubWindow* window = mdiArea_->currentSubWindow();
  return window != nullptr ? qobject_cast<TfrmDocument*>(window->widget()) : nullptr;
}

TfrmGeometry* TfrmMain::GeometryWindow() const {
  QMdiSubWindow* window = windows_[std::size_t(TDocumentWindow::Geometry)];
  return window != nullptr ? qobject_cast<TfrmGeometry*>(window->widget()) : nullptr;
}

TfrmGeometry* TfrmMain::GeometryWindowIfActive() const {
  return qobject_cast<TfrmGeometry*>(ActiveDocumentWindow());
}

void TfrmMain::updateMenus() {
  Actions& a = *a_;
  TfrmDocument* active = ActiveDocumentWindow();
  const bool open = doc_ != nullptr;
  for (QAction* copy : {a.btnCopy, a.mnuEditCopy})
    copy->setEnabled(active != nullptr && active->CanCopy());
  // Every document window prints (its own pages or its picture).
  for (QAction* print : {a.btnPrint, a.mnuFilePrint, a.mnuFilePrintPdf})
    print->setEnabled(active != nullptr);
  a.btnGeomDelete->setEnabled(open);
  TFemView2D* view = active != nullptr ? active->View() : nullptr;
  for (QAction* command : a.barView->actions()) command->setEnabled(view != nullptr);
  if (view != nullptr) {
    // The toggles show the settings of the view they now act on.
    const TViewOptions& o = view->Options();
    a.btnGeomGrid->setChecked(o.DrawGrid);
    a.btnGeomSnap->setChecked(o.SnapToGrid);
    a.btnDrawNodeText->setChecked(o.DrawNodeText);
    a.btnDrawElementText->setChecked(o.DrawElementText);
  }
  if (auto* geometry = qobject_cast<TfrmGeometry*>(active)) {
    // The window's own toolbar comes first; its edit mode is applied again, which also
    // abandons a half-finished pick.
    a.barConditions->hide();
    a.barGeometry->show();
    for (const auto& [button, mode] : a.GeometryModes())
      button->setChecked(mode == geometry->EditMode());
    geometry->SetEditMode(geometry->EditMode());
  }
  if (auto* materials = qobject_cast<TfrmMaterialView*>(active)) {
    // Pan and Zoom window are released: the view picks surfaces again.
    a.btnGeomSelect->setChecked(true);
    materials->SetEditMode(emSelect);
  }
  if (auto* conditions = qobject_cast<TfrmBoundaryConds*>(active)) {
    a.barGeometry->hide();
    a.barConditions->show();
    a.btnViewPan->setChecked(false);
    a.btnViewZoomWin->setChecked(conditions->EditMode() == emZoomWindow);
    conditions->SetEditMode(conditions->EditMode());
  }
}

void TfrmMain::ShowNodeTable() {
  if (doc_ != nullptr) TfrmTopology::Open(*doc_, TopologyTable::Nodes, *dialogs_, this);
}

void TfrmMain::ShowCurveTable() {
  if (doc_ != nullptr) TfrmTopology::Open(*doc_, TopologyTable::Curves, *dialogs_, this);
}

void TfrmMain::ShowSurfaceTable() {
  if (doc_ != nullptr) TfrmTopology::Open(*doc_, TopologyTable::Surfaces, *dialogs_, this);
}

bool TfrmMain::DocumentWindowOn(TDocumentWindow kind) const {
  return documentOn_[static_cast<std::size_t>(kind)];
}

void TfrmMain::ToggleDocumentWindow(TDocumentWindow kind, bool on, bool byMenu) {
  if (on && doc_ == nullptr) on = false;
  documentOn_[static_cast<std::size_t>(kind)] = on;
  const auto [menu, button] = a_->Switches(kind);
  if (menu != nullptr) menu->setChecked(on);
  if (button != nullptr) button->setChecked(on);
  QPointer<QMdiSubWindow>& window = windows_[static_cast<std::size_t>(kind)];
  if (!on) {
    if (window != nullptr) {
      QMdiSubWindow* closing = window;
      window = nullptr;  // gone for the commands at once; deleted by the event loop
      closing->close();  // DocumentWindowClosing does the rest
    }
    if (kind == TDocumentWindow::Geometry) a_->barGeometry->hide();
    if (kind == TDocumentWindow::BoundaryConds) a_->barConditions->hide();
    return;
  }
  if (window == nullptr && kind == TDocumentWindow::InputData) {
    auto* frm = new TfrmInputData(*doc_);
    connect(frm, &TfrmDocument::closing, this, &TfrmMain::DocumentWindowClosing);
    window = mdiArea_->addSubWindow(frm);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(QIcon(QPixmap(1, 1)));
    // Wide enough for the listing's columns, at most the area.
    const QSize area = mdiArea_->size();
    window->resize(std::min(area.width(), 760), std::min(area.height(), 560));
    frm->SetModelFileName(modelName_);
    setup_->SetInputDataWindow(frm);
    window->show();
    // Placed where it is seen whole.
    window->move(std::clamp(window->x(), 0, std::max(0, area.width() - window->width())),
                 std::clamp(window->y(), 0, std::max(0, area.height() - window->height())));
    mdiArea_->setActiveSubWindow(window);
    updateMenus();
    return;
  }
  if (window == nullptr && kind == TDocumentWindow::BoundaryConds) {
    auto* frm = new TfrmBoundaryConds(*doc_, *dialogs_);
    connect(frm, &TfrmDocument::closing, this, &TfrmMain::DocumentWindowClosing);
    frm->BindToolbar(a_->barConditions);
    window = mdiArea_->addSubWindow(frm);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(QIcon(QPixmap(1, 1)));
    window->showMaximized();
    frm->layout()->activate();
    if (!byMenu && viewStateSaved_[1]) {
      TConditionsViewState state;
      std::copy_n(viewState_[1].begin(), state.size(), state.begin());
      frm->RestoreViewState(state);
    } else {
      frm->View()->ZoomExtents();
    }
    a_->barView->show();
    a_->barConditions->show();
    mdiArea_->setActiveSubWindow(window);
    updateMenus();
    return;
  }
  if (window == nullptr && kind == TDocumentWindow::MaterialView) {
    auto* frm = new TfrmMaterialView(*doc_, *library_, *dialogs_, programFolder_);
    connect(frm, &TfrmDocument::closing, this, &TfrmMain::DocumentWindowClosing);
    connect(frm->MaterialList(), &TfrmMaterials::chosen, this,
            [this] { a_->btnGeomSelect->setChecked(true); });
    window = mdiArea_->addSubWindow(frm);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(QIcon(QPixmap(1, 1)));
    window->showMaximized();
    frm->layout()->activate();
    const std::size_t slot = 2;  // the material view's buffer
    if (!byMenu && viewStateSaved_[slot]) {
      TMaterialViewState state;
      std::copy_n(viewState_[slot].begin(), state.size(), state.begin());
      frm->RestoreViewState(state);
    } else {
      frm->View()->ZoomExtents();
    }
    a_->barView->show();
    mdiArea_->setActiveSubWindow(window);
    updateMenus();
    return;
  }
  if (window != nullptr || kind != TDocumentWindow::Geometry) return;
  // Switched on by its menu item a window is zoomed to its extents; by its button only
  // when it has no saved view.
  auto* frm = new TfrmGeometry(*doc_, *dialogs_);
  connect(frm, &TfrmGeometry::coordinate, this, [this](double x, double y) {
    a_->pnlCoords->setText(QString::asprintf("X = %10.4g    Y = %10.4g", x, y));
  });
  connect(frm, &TfrmDocument::closing, this, &TfrmMain::DocumentWindowClosing);
  window = mdiArea_->addSubWindow(frm);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowIcon(QIcon(QPixmap(1, 1)));
  window->showMaximized();
  frm->layout()->activate();
  const std::size_t slot = 0;  // the geometry buffer
  if (!byMenu && viewStateSaved_[slot]) {
    TGeometryViewState state;
    std::copy_n(viewState_[slot].begin(), state.size(), state.begin());
    frm->RestoreViewState(state);
  } else {
    frm->ZoomExtentsOnOpen();
  }
  for (const auto& [button, mode] : a_->GeometryModes())
    if (button->isChecked()) frm->SetEditMode(mode);
  a_->barView->show();
  a_->barCoordinates->show();
  mdiArea_->setActiveSubWindow(window);
  updateMenus();
}

void TfrmMain::DocumentWindowClosing(TfrmDocument* window) {
  const TDocumentWindow kind = window->Kind();
  if (auto* geometry = qobject_cast<TfrmGeometry*>(window)) {
    const TGeometryViewState state = geometry->SaveViewState();
    std::copy(state.begin(), state.end(), viewState_[0].begin());
    viewStateSaved_[0] = true;
    a_->barGeometry->hide();
    if (!a_->btnBoundaryConds->isChecked() && !a_->btnMaterials->isChecked()) a_->barView->hide();
    a_->btnGeomSelect->setChecked(true);
    a_->pnlCoords->clear();
  }
  if (auto* conditions = qobject_cast<TfrmBoundaryConds*>(window)) {
    const TConditionsViewState state = conditions->SaveViewState();
    std::copy(state.begin(), state.end(), viewState_[1].begin());
    viewStateSaved_[1] = true;
    a_->barConditions->hide();
    if (!a_->btnGeometry->isChecked() && !a_->btnMaterials->isChecked()) a_->barView->hide();
  }
  if (auto* materials = qobject_cast<TfrmMaterialView*>(window)) {
    const TMaterialViewState state = materials->SaveViewState();
    std::copy(state.begin(), state.end(), viewState_[2].begin());
    viewStateSaved_[2] = true;
    if (!a_->btnBoundaryConds->isChecked() && !a_->btnGeometry->isChecked()) a_->barView->hide();
  }
  if (kind == TDocumentWindow::Result) a_->barResults->hide();
  documentOn_[static_cast<std::size_t>(kind)] = false;
  windows_[static_cast<std::size_t>(kind)] = nullptr;
  const auto [menu, button] = a_->Switches(kind);
  if (menu != nullptr) menu->setChecked(false);
  if (button != nullptr) button->setChecked(false);
  QTimer::singleShot(0, this, &TfrmMain::updateMenus);
}

void TfrmMain::CloseDocumentWindow(TDocumentWindow kind) {
  ToggleDocumentWindow(kind, false, false);
}

void TfrmMain::CopyActiveWindow() {
  if (TfrmDocument* window = ActiveDocumentWindow(); window != nullptr && window->CanCopy())
    window->Copy();
}

void TfrmMain::PrintActiveWindow() {
  setup_->Print();
}

void TfrmMain::CreateSetupCommands() {
  TSetupContext c;
  c.Parent = this;
  c.Dialogs = dialogs_.get();
  c.ProgramFolder = programFolder_;
  c.Model = [this] { return Model(); };
  c.ModelName = [this] { return modelName_; };
  c.ActiveWindow = [this] { return ActiveDocumentWindow(); };
  c.SaveIfNew = [this] { return modelName_ != kNewModel || SaveModel(); };
  c.Busy = [this] { return run_->Running(); };
  c.MeshWindow = frmMesh_;
  setup_ = new TSetupCommands(std::move(c), this);
  // One OK of a dialog is one undoable change of the document.
  setup_->ApplySettings = [this](const TCalcSettings& settings) {
    if (doc_ != nullptr) doc_->Push(new SetCalcSettingsCommand(*doc_, settings));
  };
  setup_->ApplyProjectInfo = [this](const TVemtoProjectInfo& info) {
    if (doc_ != nullptr) doc_->Push(new SetProjectInfoCommand(*doc_, info));
  };
  Actions& a = *a_;
  connect(a.mnuInputGeneral, &QAction::triggered, setup_, &TSetupCommands::ProjectInformation);
  for (QAction* settings : {a.mnuCalcSettings, a.btnCalcSetup})
    connect(settings, &QAction::triggered, setup_, &TSetupCommands::CalculationSettings);
  connect(a.mnuInputTempMat, &QAction::triggered, setup_,
          &TSetupCommands::TemperatureMaturityFromFile);
  connect(a.mnuFilePrintPdf, &QAction::triggered, setup_, &TSetupCommands::PrintToPdf);
}

void TfrmMain::DeleteInActiveWindow() {
  if (TfrmDocument* window = ActiveDocumentWindow(); window != nullptr && window->CanDelete())
    window->DeleteSelection();
}

void TfrmMain::SetNoModelState() {
  Actions& a = *a_;
  for (QToolBar* bar : {a.barVemto, a.barConditions, a.barGeometry, a.barResults}) bar->hide();
  for (QMenu* m : {a.mnuInput, a.mnuTopology, a.mnuCalc, a.mnuResults, a.mnuEdit, a.mnuWindow})
    m->menuAction()->setEnabled(false);
  a.mnuInputGeometry->setChecked(false);
  for (QAction* action :
       {a.btnCopy, a.mnuEditCopy, a.btnGeomDelete, a.btnFileSave, a.mnuFileSave, a.mnuFileSaveAs,
        a.mnuFileClose, a.btnPrint, a.mnuFilePrint, a.mnuFilePrintPdf})
    action->setEnabled(false);
  panels_[0]->clear();
  modelName_.clear();
  setWindowModified(false);
  UpdateRunState();
}

void TfrmMain::SetModelState() {
  Actions& a = *a_;
  a.barVemto->show();
  for (QMenu* m : {a.mnuInput, a.mnuTopology, a.mnuCalc, a.mnuResults, a.mnuEdit, a.mnuWindow})
    m->menuAction()->setEnabled(true);
  for (QAction* action : {a.btnCopy, a.mnuEditCopy}) action->setEnabled(false);
  for (QAction* action :
       {a.btnGeomDelete, a.btnFileSave, a.mnuFileSave, a.mnuFileSaveAs, a.mnuFileClose})
    action->setEnabled(true);
  for (QAction* action : {a.btnDrawElementText, a.btnDrawNodeText}) action->setChecked(true);
  panels_[0]->setText(QStringLiteral("Modelname : ") + QFileInfo(modelName_).fileName());
  UpdateRunState();
}

void TfrmMain::UpdateRunState() {
  // No second run while one is in progress; results of a run in progress are not shown.
  const bool idle = doc_ != nullptr && !run_->Running();
  for (QAction* action :
       {a_->mnuCalcExecute, a_->btnCalcExecute, a_->mnuResultsShow, a_->btnResults})
    action->setEnabled(idle);
}

// --- the model -----------------------------------------------------------------------

bool TfrmMain::OpenModel(const QString& name) {
  if (!CloseModel()) return false;
  std::unique_ptr<ProjectDocument> doc;
  if (name == kNewModel) {
    doc = std::make_unique<ProjectDocument>();
    doc->Model().SetFileName(name.toStdString());
  } else {
    try {
      doc = ProjectDocument::Open(name);
    } catch (const std::exception& e) {
      Report(QString::fromStdString(e.what()));
      return false;
    }
    for (const std::string& warning : doc->Model().LoadWarnings)
      Report(QString::fromStdString(warning));
  }
  doc_ = std::move(doc);
  undoGroup_->addStack(&doc_->UndoStack());
  undoGroup_->setActiveStack(&doc_->UndoStack());
  connect(doc_.get(), &ProjectDocument::modifiedChanged, this, &QWidget::setWindowModified);
  modelName_ = name;
  SetModelState();
  // The geometry window is bound to the model, zoomed to the extents.
  ToggleDocumentWindow(TDocumentWindow::Geometry, true, true);
  return true;
}

bool TfrmMain::CloseModel() {
  if (RunOnThisThread()) return false;
  if (run_->Running() && !ConfirmCancelRun()) return false;
  for (TDocumentWindow kind :
       {TDocumentWindow::BoundaryConds, TDocumentWindow::Geometry, TDocumentWindow::Result,
        TDocumentWindow::MaterialView, TDocumentWindow::InputData})
    CloseDocumentWindow(kind);
  if (doc_ != nullptr) {
    // Only a model with unsaved edits needs the question.
    if (!batchMode_ && doc_->IsModified()) {
      switch (dialogs_->AskSaveChanges(this)) {
        case TAnswer::Cancel:
          return false;
        case TAnswer::Yes:
          if (!SaveModel()) return false;  // a failed or cancelled save keeps the model
          break;
        case TAnswer::No:
          break;
      }
    }
    undoGroup_->removeStack(&doc_->UndoStack());
    doc_.reset();
  }
  SetNoModelState();
  return true;
}

bool TfrmMain::ConfirmCancelRun() {
  if (batchMode_ ||
      dialogs_->AskYesNo(this, QStringLiteral("A calculation is running. Cancel it?"))) {
    CancelRunAndWait();
    return !run_->Running();
  }
  return false;
}

bool TfrmMain::WriteModel(const QString& name) {
  try {
    doc_->SaveAs(name);
  } catch (const std::exception& e) {
    Report(QString::fromStdString(e.what()));
    return false;
  }
  modelName_ = name;
  panels_[0]->setText(QStringLiteral("Modelname : ") + QFileInfo(modelName_).fileName());
  return true;
}

bool TfrmMain::SaveModel() {
  if (doc_ == nullptr) return false;
  if (modelName_ == kNewModel) {
    const QString name = dialogs_->AskSaveFileName(this, QString());
    if (name.isEmpty()) return false;
    return WriteModel(name);
  }
  if (!WriteModel(modelName_)) return false;
  if (QFileInfo(modelName_)
          .fileName()
          .compare(QStringLiteral("MATERIALS.DB"), Qt::CaseInsensitive) == 0)
    ReloadMaterialLibrary(modelName_);
  return true;
}

bool TfrmMain::SaveModelAs() {
  if (doc_ == nullptr) return false;
  const QString name =
      dialogs_->AskSaveFileName(this, modelName_ == kNewModel ? QString() : modelName_);
  if (name.isEmpty()) return false;
  return WriteModel(name);
}

void TfrmMain::ReloadMaterialLibrary(const QString& fileName) {
  std::unique_ptr<ProjectDocument> library;
  try {
    library = ProjectDocument::Open(fileName);
  } catch (const std::exception& e) {
    Report(QString::fromStdString(e.what()));
    return;  // the library in memory stays as it was
  }
  library_ = std::move(library);
  libraryLoadFailed_ = false;
}

void TfrmMain::LoadMaterialLibraryAtStart() {
  try {
    LoadMaterialLibrary(library_->Model(), programFolder_);
  } catch (const std::exception& e) {
    // Never write an empty library over a file that could not be read.
    libraryLoadFailed_ = true;
    library_ = std::make_unique<ProjectDocument>();
    Report(QString::fromStdString(e.what()));
  }
}

void TfrmMain::SaveMaterialLibraryAtExit() {
  if (libraryLoadFailed_) return;
  try {
    SaveMaterialLibrary(library_->Model(), programFolder_);
  } catch (const std::exception& e) {
    Report(QString::fromStdString(e.what()));
  }
}

void TfrmMain::Report(const QString& text) {
  if (batchMode_ || closing_) {
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    return;
  }
  dialogs_->ShowError(this, text);
}

// --- commands -------------------------------------------------------------------------

void TfrmMain::mnuFileNewClick() {
  OpenModel(kNewModel);
}

void TfrmMain::mnuFileOpenClick() {
  const QString name = dialogs_->AskOpenFileName(this);
  if (name.isEmpty()) return;
  OpenModel(name);
}

void TfrmMain::mnuFileSaveClick() {
  SaveModel();
}

void TfrmMain::mnuFileSaveAsClick() {
  SaveModelAs();
}

void TfrmMain::mnuFileCloseClick() {
  CloseModel();
}

void TfrmMain::mnuFileExitClick() {
  close();
}

void TfrmMain::mnuResultsShowClick() {
  if (doc_ == nullptr || run_->Running()) return;
  std::string resultFile;
  try {
    resultFile = DeriveRunFileNames(doc_->Model().FileName).ResultFile;
  } catch (const std::exception&) {
    resultFile.clear();  // a model without a usable name has no results
  }
  std::error_code error;
  if (resultFile.empty() || !std::filesystem::is_regular_file(resultFile, error)) {
    dialogs_->ShowMessage(
        this, QStringLiteral("No result file found. Try running the calculation again."));
    return;
  }
  OpenResultWindow(resultFile);
}

void TfrmMain::OpenResultWindow(const std::string& resultFile) {
  TfrmResult* frm = ResultWindow();
  if (frm == nullptr) {
    frm = new TfrmResult(*doc_, nullptr, (programFolder_ / "libpost.so").string());
    connect(frm, &TfrmDocument::closing, this, &TfrmMain::DocumentWindowClosing);
    connect(frm, &TfrmResult::ControlsChanged, this, &TfrmMain::SyncResultControls);
    QPointer<QMdiSubWindow>& window = windows_[std::size_t(TDocumentWindow::Result)];
    window = mdiArea_->addSubWindow(frm);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowIcon(QIcon(QPixmap(1, 1)));
    // The results are what the user came for: the window takes the document area.
    window->move(0, 0);
    window->resize(std::max(mdiArea_->width(), 480), std::max(mdiArea_->height(), 360));
    // The Results toolbar gets a line of its own.
    addToolBarBreak(Qt::TopToolBarArea);
    addToolBar(Qt::TopToolBarArea, a_->barResults);
    // The document area shrinks by the toolbar's line once laid out: fit to it then.
    QTimer::singleShot(0, frm, [frm] { frm->KeepAspect(); });
  }
  documentOn_[static_cast<std::size_t>(TDocumentWindow::Result)] = true;
  windows_[std::size_t(TDocumentWindow::Result)]->show();
  mdiArea_->setActiveSubWindow(windows_[std::size_t(TDocumentWindow::Result)]);
  a_->barResults->show();
  const TVemtoFile& model = doc_->Model();
  frm->ShowResults(QString::fromStdString(resultFile), model.PostMemory,
                   static_cast<int>(model.Pipes.Count()));
  updateMenus();
}

TfrmResult* TfrmMain::ResultWindow() const {
  QMdiSubWindow* window = windows_[std::size_t(TDocumentWindow::Result)];
  return window != nullptr ? qobject_cast<TfrmResult*>(window->widget()) : nullptr;
}

void TfrmMain::ConnectResultCommands() {
  Actions& a = *a_;
  auto on = [this](QAction* action, auto command) {
    connect(action, &QAction::triggered, this, [this, command] {
      if (TfrmResult* frm = ResultWindow()) command(*frm);
    });
  };
  for (QAction* item : a.grpResultTypes->actions()) {
    const int n = item->data().toInt();
    on(item, [n](TfrmResult& f) { f.SelectResultType(n); });
  }
  for (QAction* item : a.grpScales->actions()) {
    const int n = item->data().toInt();
    on(item, [n](TfrmResult& f) { f.SelectScale(n); });
  }
  on(a.btnDistr, [](TfrmResult& f) { f.SetHistoryMode(false); });
  on(a.btnHist, [](TfrmResult& f) { f.SetHistoryMode(true); });
  on(a.btnTable, [](TfrmResult& f) { f.ShowTable(); });
  on(a.btnProp, [](TfrmResult& f) { f.ShowProperties(); });
  on(a.btnCross, [](TfrmResult& f) { f.SelectCursor(0); });
  on(a.btnRect, [](TfrmResult& f) { f.SelectCursor(1); });
  on(a.btnRectMax, [](TfrmResult& f) { f.SelectCursor(2); });
  on(a.btnRectMin, [](TfrmResult& f) { f.SelectCursor(3); });
  on(a.btnRectProp, [](TfrmResult& f) { f.ShowCursorProperties(); });
  on(a.btnAddStep, [](TfrmResult& f) { f.Backwards(); });
  on(a.btnSubtractStep, [](TfrmResult& f) { f.Forward(); });
  connect(a.trbTimeStep, &QSlider::valueChanged, this, [this](int position) {
    if (TfrmResult* frm = ResultWindow();
        frm != nullptr && frm->Controls().SliderPosition != position)
      frm->SetTimePosition(position);
  });
}

void TfrmMain::SyncResultControls() {
  const TfrmResult* frm = ResultWindow();
  if (frm == nullptr) return;
  Actions& a = *a_;
  const TResultControls& c = frm->Controls();
  a.btnDistr->setEnabled(c.DistrEnabled);
  a.btnDistr->setChecked(c.DistrDown);
  a.btnHist->setChecked(c.HistDown);
  a.btnTable->setEnabled(c.TableEnabled);
  if (!c.TableEnabled) a.btnTable->setChecked(false);
  a.btnProp->setEnabled(c.PropEnabled);
  const std::array<QAction*, 4> cursors = {a.btnCross, a.btnRect, a.btnRectMax, a.btnRectMin};
  for (std::size_t i = 0; i < cursors.size(); ++i) {
    cursors[i]->setEnabled(c.CursorEnabled[i]);
    cursors[i]->setChecked(static_cast<int>(i) == c.CursorDown);
  }
  for (QAction* time : {a.btnAddStep, a.btnSubtractStep, a.actTimeSlider, a.actTimeStep})
    time->setVisible(c.TimePanelVisible);
  const QSignalBlocker block(a.trbTimeStep);
  a.trbTimeStep->setRange(0, c.SliderMax);
  a.trbTimeStep->setValue(c.SliderPosition);
  a.pnlTimeStep->setText(c.TimeLabel);
  for (QAction* item : a.grpResultTypes->actions())
    item->setChecked(item->data().toInt() + 1 == c.ResultType);
}

void TfrmMain::mnuCalcExecuteClick() {
  if (doc_ == nullptr || run_->Running()) return;
  // A model never saved has no name from which the run's files could be named.
  if (modelName_ == kNewModel && !SaveModel()) return;
  // The result window stays and lets go of the database the run rewrites.
  if (TfrmResult* frm = ResultWindow()) frm->ReleaseResults();
  lastRunSucceeded_ = false;
  run_->Unattended = batchMode_;
  run_->Start(doc_->Model());  // the end comes through RunEnded
}

bool TfrmMain::RunOnThisThread() const {
  // The check and the meshing run inside Start, further up this thread's stack.
  const TRunPhase phase = run_->Phase();
  return phase == TRunPhase::Check || phase == TRunPhase::Mesh;
}

void TfrmMain::RequestCancel() {
  if (run_->Phase() != TRunPhase::Engine) return;
  run_->Cancel();
  frmShutdown_->show();
  tmrPoll_->start();  // the run stops a worker by force once its time is up
}

void TfrmMain::PollRun() {
  run_->Poll();
}

void TfrmMain::RunEnded(const TRunResult& result) {
  tmrPoll_->stop();
  frmMesh_->hide();
  const bool engineRan = engineShown_;
  if (engineRan) {
    engineShown_ = false;
    tmrProbe_->stop();
    ReportResponsiveness();
  }
  frmEngine_->hide();
  frmShutdown_->hide();
  EndRun(result.Succeeded);
  // A successful run shows its results; a result window kept through the run shows the
  // new results (or, after a failed run, whatever database is there now).
  TfrmResult* kept = ResultWindow();
  const bool show = result.Succeeded && !batchMode_ && !closing_;
  if (doc_ != nullptr && (show || (kept != nullptr && !kept->ResultsOpen()))) {
    try {
      const std::string out = DeriveRunFileNames(doc_->Model().FileName).ResultFile;
      if (show && std::filesystem::is_regular_file(out))
        OpenResultWindow(out);
      else if (kept != nullptr)
        kept->ShowResults(QString::fromStdString(out), doc_->Model().PostMemory,
                          static_cast<int>(doc_->Model().Pipes.Count()));
    } catch (const std::exception&) {
      // a model without a usable name has no results to show
    }
  }
  // A cancellation the user asked for needs no message. The texts of an engine run are
  // shown once this handler has returned, so that no modal box sits inside the poll.
  const bool later = engineRan && !batchMode_ && !closing_;
  for (const std::string& error : result.Errors) {
    if (error == kRunCancelledMessage) continue;
    const QString text = QString::fromStdString(error);
    if (!later)
      Report(text);
    else if (result.ForcedShutdown)
      QTimer::singleShot(0, this, [this, text] { dialogs_->ShowMessage(this, text); });
    else
      QTimer::singleShot(0, this, [this, text] { Report(text); });
  }
}

void TfrmMain::ReportResponsiveness() {
  const QString text = QStringLiteral(
                           "Engine run: %1 messages handled on the main thread, longest %2 ms "
                           "(processor time %3 ms); longest event-loop delay %4 ms")
                           .arg(frmEngine_->HandledMessages())
                           .arg(frmEngine_->LongestHandlerMs(), 0, 'f', 3)
                           .arg(frmEngine_->LongestHandlerCpuMs(), 0, 'f', 3)
                           .arg(longestStallMs_, 0, 'f', 1);
  frmDebug_->AppendLine(text);
  if (qEnvironmentVariableIsSet("VEMTO_UI_TIMING"))
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
}

void TfrmMain::EndRun(bool succeeded) {
  lastRunSucceeded_ = succeeded;
  UpdateRunState();
  if (batchMode_) FinishBatch();
}

void TfrmMain::FinishBatch() {
  exitCode_ = lastRunSucceeded_ ? 0 : 1;
  QTimer::singleShot(0, this, &QWidget::close);
}

void TfrmMain::CancelRunAndWait() {
  if (run_->Phase() != TRunPhase::Engine) return;
  if (!run_->Cancelling()) {
    run_->Cancel();
    if (isVisible()) frmShutdown_->show();
  }
  tmrPoll_->start();
  while (run_->Running()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, kPollIntervalMs);
    run_->Poll();
  }
}

// --- window events ---------------------------------------------------------------------

void TfrmMain::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!commandLineDone_) {
    commandLineDone_ = true;
    QTimer::singleShot(0, this, [this] { ProcessCommandLine(arguments_); });
  }
}

void TfrmMain::ProcessCommandLine(const QStringList& arguments) {
  if (arguments.size() == 2 && arguments[1] == QStringLiteral("/x")) {
    batchMode_ = true;
    if (!QFileInfo(arguments[0]).isFile()) {
      Report(QStringLiteral("The project file \"%1\" does not exist.").arg(arguments[0]));
      lastRunSucceeded_ = false;
      FinishBatch();
      return;
    }
    if (!OpenModel(arguments[0])) {
      lastRunSucceeded_ = false;
      FinishBatch();
      return;
    }
    tmrExecute_->start(batchDelay_);
    return;
  }
  if (arguments.size() == 1 && QFileInfo(arguments[0]).isFile()) OpenModel(arguments[0]);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  if (RunOnThisThread()) {
    event->ignore();
    return;
  }
  if (!CloseModel()) {
    event->ignore();
    return;
  }
  closing_ = true;
  SaveMaterialLibraryAtExit();
  QSettings settings(QStringLiteral("Orvanda"), QStringLiteral("Vemto 3"));
  settings.beginGroup(QStringLiteral("Toolbars"));
  settings.setValue(QStringLiteral("State"), saveState());
  settings.endGroup();
  frmDebug_->hide();
  event->accept();
}

}  // namespace vemto
