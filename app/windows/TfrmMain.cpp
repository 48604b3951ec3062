#include "TfrmMain.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSlider>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <clocale>
#include <cstdio>
#include <filesystem>

#include "PeripheralWindows.h"
#include "TfrmCementGuide.h"
#include "TfrmEngine.h"
#include "TfrmMesh.h"
#include "TfrmShutdown.h"
#include "VemtoEngine.h"
#include "VemtoFile.h"

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

/// Every action and menu of the window by its name ("mnuFileSave", "btnFileSave", ...).
struct TfrmMain::Actions {
  std::map<QString, QAction*> byName;
  std::map<QString, QMenu*> menus;
  std::map<QString, QToolBar*> toolBars;
  QAction* operator[](const char* name) const { return byName.at(QString::fromLatin1(name)); }
  QMenu* Menu(const char* name) const { return menus.at(QString::fromLatin1(name)); }
  QToolBar* Bar(const char* name) const { return toolBars.at(QString::fromLatin1(name)); }
};

TfrmMain::TfrmMain(TMainOptions options)
    : programFolder_(options.ProgramFolder.empty() ? ProgramFolder() : options.ProgramFolder),
      dialogs_(options.Dialogs ? std::move(options.Dialogs) : std::make_unique<TQtUserDialogs>()),
      run_(options.Run ? std::move(options.Run)
                       : std::make_unique<TCalculationRun>(programFolder_)),
      arguments_(options.Arguments),
      shutdownTimeout_(options.ShutdownTimeout),
      batchDelay_(options.BatchDelay),
      library_(std::make_unique<TVemtoFile>()),
      mdiArea_(new QMdiArea(this)),
      tmrExecute_(new QTimer(this)),
      tmrPoll_(new QTimer(this)),
      tmrProbe_(new QTimer(this)),
      a_(std::make_unique<Actions>()),
      frmMesh_(new TfrmMesh(this)),
      frmEngine_(new TfrmEngine(this)),
      frmShutdown_(new TfrmShutdown(this)),
      frmDebug_(new TfrmDebug(this)) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Vemto 3.1"));
  setCentralWidget(mdiArea_);
  if (options.ShowSplash) ShowSplash();

  // Numbers are written and read with "." whatever the user's locale.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());

  LoadMaterialLibraryAtStart();
  CreateActions();
  CreateMenus();
  CreateToolBars();
  CreateStatusBar();

  QSettings settings(QStringLiteral("Orvanda"), QStringLiteral("Vemto 3"));
  settings.beginGroup(QStringLiteral("Toolbars"));
  restoreState(settings.value(QStringLiteral("State")).toByteArray());
  settings.endGroup();
  for (const char* bar : {"View", "Geometry", "Coordinates", "Boundary Conditions", "Results"})
    a_->Bar(bar)->hide();
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
  // The worker may be waiting for this thread inside a progress message: let it end
  // while events are processed, never by blocking here.
  CancelRunAndWait();
}

QAction* TfrmMain::NewAction(const char* name, const QString& caption, const QString& hint,
                             void (TfrmMain::*handler)()) {
  auto* action = new QAction(caption, this);
  action->setObjectName(QString::fromLatin1(name));
  action->setStatusTip(hint);
  if (handler != nullptr)
    connect(action, &QAction::triggered, this, handler);
  else
    connect(action, &QAction::triggered, this,
            [this, name] { RouteCommand(QString::fromLatin1(name)); });
  a_->byName[action->objectName()] = action;
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
  NewAction("mnuFileNew", QStringLiteral("&New..."), QStringLiteral("Testing Testing"),
            &TfrmMain::mnuFileNewClick);
  NewAction("mnuFileOpen", QStringLiteral("&Open..."), QStringLiteral("Open vemto model"),
            &TfrmMain::mnuFileOpenClick);
  NewAction("mnuFileSave", QStringLiteral("&Save"), QStringLiteral("Save current model"),
            &TfrmMain::mnuFileSaveClick);
  NewAction("mnuFileSaveAs", QStringLiteral("Save &as..."),
            QStringLiteral("Save current model with a new name"), &TfrmMain::mnuFileSaveAsClick);
  NewAction("mnuFileClose", QStringLiteral("&Close"), QStringLiteral("Close current model"),
            &TfrmMain::mnuFileCloseClick);
  QAction* cementGuide =
      NewAction("mnuFileCreateCementType", QStringLiteral("Create cement &type..."), QString());
  disconnect(cementGuide, nullptr, this, nullptr);
  connect(cementGuide, &QAction::triggered, this, [this] { TfrmCementGuide::Open(this); });
  NewAction("mnuFilePrint", QStringLiteral("&Print..."), QString());
  NewAction("mnuFileExit", QStringLiteral("E&xit"), QStringLiteral("Exit Vemto"),
            &TfrmMain::mnuFileExitClick);
  NewAction("mnuEditCopy", QStringLiteral("&Copy"),
            QStringLiteral("Copies picture/table to clipboard"));
  NewAction("mnuInputGeneral", QStringLiteral("&Project information"),
            QStringLiteral("Show project information"));
  struct Toggle {
    const char* name;
    const char* caption;
    const char* hint;
    TDocumentWindow kind;
  };
  for (const Toggle& t :
       {Toggle{"mnuInputGeometry", "&Geometry", "Shows geometry window", TDocumentWindow::Geometry},
        Toggle{"mnuInputMaterials", "&Materials", "Show material window",
               TDocumentWindow::MaterialView},
        Toggle{"mnuInputBC", "&Boundary conditions", "Show boundary condition window",
               TDocumentWindow::BoundaryConds},
        Toggle{"mnuInputData", "Input &data", "Shows input data", TDocumentWindow::InputData}}) {
    auto* action = new QAction(QString::fromLatin1(t.caption), this);
    action->setObjectName(QString::fromLatin1(t.name));
    action->setStatusTip(QString::fromLatin1(t.hint));
    action->setCheckable(true);
    const TDocumentWindow kind = t.kind;
    connect(action, &QAction::triggered, this,
            [this, kind](bool on) { ToggleDocumentWindow(kind, on, true); });
    a_->byName[action->objectName()] = action;
  }
  NewAction("mnuInputTempMat", QStringLiteral("&Temperature and maturity from file..."),
            QStringLiteral("Retrieves temperatures from file"));
  NewAction("mnuCalcSettings", QStringLiteral("&Settings"),
            QStringLiteral("Shows calculation settings"));
  NewAction("mnuCalcExecute", QStringLiteral("&Execute"), QStringLiteral("Executes calculation"),
            &TfrmMain::mnuCalcExecuteClick);
  NewAction("mnuResultsShow", QStringLiteral("&Show results"), QString(),
            &TfrmMain::mnuResultsShowClick);
  QAction* cascade = NewAction("mnuWindowCascade", QStringLiteral("&Cascade"),
                               QStringLiteral("Orders windows with overlap"));
  QAction* tile = NewAction("mnuWindowTile", QStringLiteral("&Tile"),
                            QStringLiteral("Orders windows without overlap"));
  QAction* arrange =
      NewAction("mnuWindowArrange", QStringLiteral("&Arrange"), QStringLiteral("Arranges icons"));
  QAction* minimize = NewAction("mnuWindowMinimizeAll", QStringLiteral("&Minimize all"),
                                QStringLiteral("Minimizes all windows"));
  for (QAction* action : {cascade, tile, arrange, minimize})
    disconnect(action, nullptr, this, nullptr);
  connect(cascade, &QAction::triggered, mdiArea_, &QMdiArea::cascadeSubWindows);
  connect(tile, &QAction::triggered, mdiArea_, &QMdiArea::tileSubWindows);
  connect(arrange, &QAction::triggered, mdiArea_, &QMdiArea::cascadeSubWindows);
  connect(minimize, &QAction::triggered, this, [this] {
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList(QMdiArea::CreationOrder);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) (*it)->showMinimized();
  });
  QAction* about = NewAction("mnuAbout", QStringLiteral("&About"),
                             QStringLiteral("Shows information about Vemto"));
  disconnect(about, nullptr, this, nullptr);
  connect(about, &QAction::triggered, this, [this] {
    TfrmAbout box(this);
    box.exec();
  });
}

void TfrmMain::CreateMenus() {
  auto menu = [this](const char* name, const QString& caption, const QString& hint,
                     std::initializer_list<const char*> items) {
    QMenu* m = menuBar()->addMenu(caption);
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setStatusTip(hint);
    for (const char* item : items) {
      if (item == nullptr)
        m->addSeparator();
      else
        m->addAction((*a_)[item]);
    }
    a_->menus[m->objectName()] = m;
    return m;
  };
  menu("mnuFile", QStringLiteral("&File"), QStringLiteral("Create a new vemto model"),
       {"mnuFileNew", "mnuFileOpen", "mnuFileSave", "mnuFileSaveAs", "mnuFileClose", nullptr,
        "mnuFileCreateCementType", "mnuFilePrint", nullptr, "mnuFileExit"});
  menu("mnuEdit", QStringLiteral("&Edit"), QString(), {"mnuEditCopy"});
  menu("mnuInput", QStringLiteral("&Input"), QString(),
       {"mnuInputGeneral", "mnuInputGeometry", "mnuInputMaterials", "mnuInputBC", "mnuInputData",
        nullptr, "mnuInputTempMat"});
  menu("mnuCalc", QStringLiteral("&Calculation"), QString(), {"mnuCalcSettings", "mnuCalcExecute"});
  menu("mnuResults", QStringLiteral("&Results"), QString(), {"mnuResultsShow"});
  QMenu* window =
      menu("mnuWindow", QStringLiteral("&Window"), QString(),
           {"mnuWindowCascade", "mnuWindowTile", "mnuWindowArrange", "mnuWindowMinimizeAll"});
  (void)window;
  menu("mnuHelp", QStringLiteral("&Help"), QString(), {"mnuAbout"});
}

void TfrmMain::CreateToolBars() {
  auto bar = [this](const char* title, Qt::ToolBarArea area) {
    auto* b = new QToolBar(QString::fromLatin1(title), this);
    b->setObjectName(QString::fromLatin1(title));
    b->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(area, b);
    a_->toolBars[b->objectName()] = b;
    return b;
  };
  QStyle* s = style();
  QToolBar* standard = bar("Standard", Qt::TopToolBarArea);
  NewButton(standard, "btnFileSave", QStringLiteral("Save"), &TfrmMain::mnuFileSaveClick)
      ->setIcon(s->standardIcon(QStyle::SP_DialogSaveButton));
  NewButton(standard, "btnFileNew", QStringLiteral("New"), &TfrmMain::mnuFileNewClick)
      ->setIcon(s->standardIcon(QStyle::SP_FileIcon));
  NewButton(standard, "btnFileOpen", QStringLiteral("Open"), &TfrmMain::mnuFileOpenClick)
      ->setIcon(s->standardIcon(QStyle::SP_DialogOpenButton));
  NewButton(standard, "btnCopy", QStringLiteral("Copy"));
  NewButton(standard, "btnGeomDelete", QStringLiteral("Delete"))
      ->setIcon(s->standardIcon(QStyle::SP_TrashIcon));
  NewButton(standard, "btnPrint", QStringLiteral("Print"));

  QToolBar* vemto = bar("Vemto", Qt::TopToolBarArea);
  struct Toggle {
    const char* name;
    const char* hint;
    TDocumentWindow kind;
  };
  for (const Toggle& t :
       {Toggle{"btnGeometry", "Geometry", TDocumentWindow::Geometry},
        Toggle{"btnMaterials", "Materials", TDocumentWindow::MaterialView},
        Toggle{"btnBoundaryConds", "Boundary conditions", TDocumentWindow::BoundaryConds}}) {
    QAction* action = NewToggle(vemto, t.name, QString::fromLatin1(t.hint), false);
    disconnect(action, &QAction::triggered, this, nullptr);
    const TDocumentWindow kind = t.kind;
    connect(action, &QAction::triggered, this,
            [this, kind](bool on) { ToggleDocumentWindow(kind, on, false); });
  }
  NewButton(vemto, "btnCalcExecute", QStringLiteral("Execute calculation"),
            &TfrmMain::mnuCalcExecuteClick)
      ->setIcon(s->standardIcon(QStyle::SP_MediaPlay));
  NewButton(vemto, "btnResults", QStringLiteral("Show Results"), &TfrmMain::mnuResultsShowClick);
  NewButton(vemto, "btnCalcSetup", QStringLiteral("Calculation settings"));
  QAction* inputData = NewToggle(vemto, "btnInputData", QStringLiteral("Input data"), false);
  disconnect(inputData, &QAction::triggered, this, nullptr);
  connect(inputData, &QAction::triggered, this,
          [this](bool on) { ToggleDocumentWindow(TDocumentWindow::InputData, on, false); });

  QToolBar* view = bar("View", Qt::TopToolBarArea);
  NewButton(view, "btnViewPan", QStringLiteral("Pan"));
  NewButton(view, "btnViewZoomIn", QStringLiteral("Zoom in"));
  NewButton(view, "btnViewZoomOut", QStringLiteral("Zoom out"));
  NewToggle(view, "btnGeomGrid", QStringLiteral("Show grid"), true);
  NewButton(view, "btnViewZoomExt", QStringLiteral("Zoom extent"));
  NewButton(view, "btnViewZoomWin", QStringLiteral("Zoom window"));
  NewButton(view, "btnGeomGridProp", QStringLiteral("Grid properties"));
  NewToggle(view, "btnGeomSnap", QStringLiteral("Snap to grid"), true);
  NewToggle(view, "btnDrawNodeText", QStringLiteral("Node numbers"), true);
  NewToggle(view, "btnDrawElementText", QStringLiteral("Element numbers"), true);

  QToolBar* geometry = bar("Geometry", Qt::TopToolBarArea);
  auto* geometryModes = new QActionGroup(this);
  geometryModes->setObjectName(QStringLiteral("grpGeometryMode"));
  for (const auto& [name, hint] :
       {std::pair{"btnGeomLine", "Create line"}, std::pair{"btnGeomSelect", "Select objects"},
        std::pair{"btnGeomNode", "Create point"}, std::pair{"btnGeomCurve", "Create curve"},
        std::pair{"btnGeomSurface", "Create surface"}})
    geometryModes->addAction(NewToggle(geometry, name, QString::fromLatin1(hint), false));
  (*a_)["btnGeomSelect"]->setChecked(true);
  NewButton(geometry, "btnSurfProp", QStringLiteral("Surface properties"));

  QToolBar* conditions = bar("Boundary Conditions", Qt::LeftToolBarArea);
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

  QToolBar* results = bar("Results", Qt::TopToolBarArea);
  QAction* resultType = NewButton(results, "btnResultType", QStringLiteral("Result type"));
  auto* resultMenu = new QMenu(this);
  resultMenu->setObjectName(QStringLiteral("mnuResultType"));
  auto* resultTypes = new QActionGroup(this);
  // Menu order; the number is what the result window receives.
  for (const auto& [caption, number] :
       {std::pair{"Temperature", 0}, std::pair{"Maturity", 1}, std::pair{"Degree of hydration", 2},
        std::pair{"Pipe", 3}, std::pair{"Displacements", 5}, std::pair{"Heatloss", 4},
        std::pair{"Reactions", 6}, std::pair{"Stress", 7}, std::pair{"Tensile strength", 9},
        std::pair{"Compressive strength", 10}, std::pair{"Stress-Strength ratio", 8}}) {
    QAction* item = resultMenu->addAction(QString::fromLatin1(caption));
    item->setCheckable(true);
    item->setChecked(number == 0);
    resultTypes->addAction(item);
    const int n = number;
    connect(item, &QAction::triggered, this,
            [this, n] { RouteCommand(QStringLiteral("ResultType:%1").arg(n)); });
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
    scales->addAction(item);
    const int n = number;
    connect(item, &QAction::triggered, this,
            [this, n] { RouteCommand(QStringLiteral("Colorscale:%1").arg(n)); });
  }
  scale->setMenu(scaleMenu);
  for (QAction* dropDown : {resultType, scale})
    if (auto* button = qobject_cast<QToolButton*>(results->widgetForAction(dropDown)))
      button->setPopupMode(QToolButton::InstantPopup);
  NewButton(results, "btnHist", QStringLiteral("History"));
  NewButton(results, "btnTable", QStringLiteral("Table"));
  NewToggle(results, "btnDistr", QStringLiteral("Distribution"), true);
  NewButton(results, "btnProp", QStringLiteral("Diagram properties"));
  auto* cursors = new QActionGroup(this);
  cursors->addAction(
      NewToggle(results, "btnRect", QStringLiteral("Rectangle cursor (Mean)"), false));
  cursors->addAction(NewToggle(results, "btnCross", QStringLiteral("Node cursor"), true));
  NewButton(results, "btnRectProp", QStringLiteral("Cursor properties"));
  NewButton(results, "btnRectMin", QStringLiteral("Minimum value in rectangle"));
  NewButton(results, "btnRectMax", QStringLiteral("Max value in rectangle"));
  results->addSeparator();
  NewButton(results, "btnAddStep", QStringLiteral("Backwards"));
  auto* slider = new QSlider(Qt::Horizontal, results);
  slider->setObjectName(QStringLiteral("trbTimeStep"));
  slider->setToolTip(QStringLiteral("Time slider"));
  slider->setStatusTip(QStringLiteral("Time slider"));
  slider->setMaximumWidth(160);
  connect(slider, &QSlider::valueChanged, this,
          [this](int value) { RouteCommand(QStringLiteral("TimeStep:%1").arg(value)); });
  results->addWidget(slider);
  NewButton(results, "btnSubtractStep", QStringLiteral("Forward"));
  auto* timeStep = new QLabel(QStringLiteral("0"), results);
  timeStep->setObjectName(QStringLiteral("pnlTimeStep"));
  timeStep->setToolTip(QStringLiteral("Timestep"));
  timeStep->setStatusTip(QStringLiteral("Timestep"));
  timeStep->setMinimumWidth(60);
  timeStep->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  results->addWidget(timeStep);

  QToolBar* coordinates = bar("Coordinates", Qt::TopToolBarArea);
  auto* coords = new QLabel(coordinates);
  coords->setObjectName(QStringLiteral("pnlCoords"));
  coords->setMinimumWidth(180);
  coordinates->addWidget(coords);
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
  return QMainWindow::event(event);
}

QString TfrmMain::StatusPanelText(int index) const {
  return panels_.at(index)->text();
}

void TfrmMain::RouteCommand(const QString& command) {
  // The one place where view, geometry, condition, result and input commands reach
  // their document windows and dialogs. The windows themselves are not part of this
  // program version yet, so the commands end here.
  (void)command;
}

bool TfrmMain::DocumentWindowOn(TDocumentWindow kind) const {
  return documentOn_[static_cast<std::size_t>(kind)];
}

void TfrmMain::ToggleDocumentWindow(TDocumentWindow kind, bool on, bool byMenu) {
  documentOn_[static_cast<std::size_t>(kind)] = on;
  const char* menu = nullptr;
  const char* button = nullptr;
  switch (kind) {
    case TDocumentWindow::Geometry:
      menu = "mnuInputGeometry";
      button = "btnGeometry";
      break;
    case TDocumentWindow::BoundaryConds:
      menu = "mnuInputBC";
      button = "btnBoundaryConds";
      break;
    case TDocumentWindow::MaterialView:
      menu = "mnuInputMaterials";
      button = "btnMaterials";
      break;
    case TDocumentWindow::InputData:
      menu = "mnuInputData";
      button = "btnInputData";
      break;
    case TDocumentWindow::Result:
      break;
  }
  // A closed geometry or boundary-condition window takes its toolbar along.
  if (!on && kind == TDocumentWindow::Geometry) a_->Bar("Geometry")->hide();
  if (!on && kind == TDocumentWindow::BoundaryConds) a_->Bar("Boundary Conditions")->hide();
  if (menu != nullptr) (*a_)[menu]->setChecked(on);
  if (button != nullptr) (*a_)[button]->setChecked(on);
  // Switched on by its menu item a window is zoomed to its extents; by its button only
  // when it has no saved view. The windows are hooked in here.
  (void)byMenu;
}

void TfrmMain::CloseDocumentWindow(TDocumentWindow kind) {
  ToggleDocumentWindow(kind, false, false);
}

void TfrmMain::SetNoModelState() {
  for (const char* bar : {"Vemto", "Boundary Conditions", "Geometry", "Results"})
    a_->Bar(bar)->hide();
  for (const char* m : {"mnuInput", "mnuCalc", "mnuResults", "mnuEdit", "mnuWindow"})
    a_->Menu(m)->menuAction()->setEnabled(false);
  (*a_)["mnuInputGeometry"]->setChecked(false);
  for (const char* name : {"btnCopy", "mnuEditCopy", "btnGeomDelete", "btnFileSave", "mnuFileSave",
                           "mnuFileSaveAs", "mnuFileClose"})
    (*a_)[name]->setEnabled(false);
  panels_[0]->clear();
  modelName_.clear();
  UpdateRunState();
}

void TfrmMain::SetModelState() {
  a_->Bar("Vemto")->show();
  for (const char* m : {"mnuInput", "mnuCalc", "mnuResults", "mnuEdit", "mnuWindow"})
    a_->Menu(m)->menuAction()->setEnabled(true);
  for (const char* name : {"btnCopy", "mnuEditCopy"}) (*a_)[name]->setEnabled(false);
  for (const char* name :
       {"btnGeomDelete", "btnFileSave", "mnuFileSave", "mnuFileSaveAs", "mnuFileClose"})
    (*a_)[name]->setEnabled(true);
  for (const char* name : {"btnDrawElementText", "btnDrawNodeText"}) (*a_)[name]->setChecked(true);
  panels_[0]->setText(QStringLiteral("Modelname : ") + QFileInfo(modelName_).fileName());
  UpdateRunState();
}

void TfrmMain::UpdateRunState() {
  // No second run while one is in progress; results of a run in progress are not shown.
  const bool idle = model_ != nullptr && !run_->Running();
  for (const char* name : {"mnuCalcExecute", "btnCalcExecute", "mnuResultsShow", "btnResults"})
    (*a_)[name]->setEnabled(idle);
}

// --- the model -----------------------------------------------------------------------

bool TfrmMain::OpenModel(const QString& name) {
  if (!CloseModel()) return false;
  auto model = std::make_unique<TVemtoFile>();
  model->SetFileName(name.toStdString());
  if (name != kNewModel) {
    try {
      model->Load();
    } catch (const std::exception& e) {
      Report(QString::fromStdString(e.what()));
      return false;
    }
  }
  model_ = std::move(model);
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
  if (model_ != nullptr) {
    if (!batchMode_) {
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
    model_.reset();
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
  const std::string previous = model_->FileName;
  model_->SetFileName(name.toStdString());
  try {
    model_->Save();
  } catch (const std::exception& e) {
    model_->SetFileName(previous);
    Report(QString::fromStdString(e.what()));
    return false;
  }
  modelName_ = name;
  panels_[0]->setText(QStringLiteral("Modelname : ") + QFileInfo(modelName_).fileName());
  return true;
}

bool TfrmMain::SaveModel() {
  if (model_ == nullptr) return false;
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
  if (model_ == nullptr) return false;
  const QString name =
      dialogs_->AskSaveFileName(this, modelName_ == kNewModel ? QString() : modelName_);
  if (name.isEmpty()) return false;
  return WriteModel(name);
}

void TfrmMain::ReloadMaterialLibrary(const QString& fileName) {
  auto library = std::make_unique<TVemtoFile>();
  library->SetFileName(fileName.toStdString());
  try {
    library->Load();
  } catch (const std::exception& e) {
    Report(QString::fromStdString(e.what()));
    return;  // the library in memory stays as it was
  }
  library_ = std::move(library);
  libraryLoadFailed_ = false;
}

void TfrmMain::LoadMaterialLibraryAtStart() {
  try {
    LoadMaterialLibrary(*library_, programFolder_);
  } catch (const std::exception& e) {
    // Never write an empty library over a file that could not be read.
    libraryLoadFailed_ = true;
    library_ = std::make_unique<TVemtoFile>();
    Report(QString::fromStdString(e.what()));
  }
}

void TfrmMain::SaveMaterialLibraryAtExit() {
  if (libraryLoadFailed_) return;
  try {
    SaveMaterialLibrary(*library_, programFolder_);
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
  if (model_ == nullptr || run_->Running()) return;
  std::string resultFile;
  try {
    resultFile = DeriveRunFileNames(model_->FileName).ResultFile;
  } catch (const std::exception&) {
    resultFile.clear();  // a model without a usable name has no results
  }
  std::error_code error;
  if (resultFile.empty() || !std::filesystem::is_regular_file(resultFile, error)) {
    dialogs_->ShowMessage(
        this, QStringLiteral("No result file found. Try running the calculation again."));
    return;
  }
  // The result window opens here with the model's PostMemory and the result database.
  documentOn_[static_cast<std::size_t>(TDocumentWindow::Result)] = true;
  RouteCommand(QStringLiteral("ShowResults"));
}

void TfrmMain::mnuCalcExecuteClick() {
  if (model_ == nullptr || run_->Running()) return;
  // A model never saved has no name from which the run's files could be named.
  if (modelName_ == kNewModel && !SaveModel()) return;
  CloseDocumentWindow(TDocumentWindow::Result);
  lastRunSucceeded_ = false;
  run_->Unattended = batchMode_;
  run_->Start(*model_);  // the end comes through RunEnded
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
