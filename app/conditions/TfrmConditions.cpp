#include "TfrmConditions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ConditionCommands.h"
#include "ConditionEditors.h"
#include "TfrmBoundaryConds.h"
#include "TfrmPipeProp.h"
#include "UserDialogs.h"
#include "VemtoIcons.h"
#include "WeatherImport.h"

namespace vemto {

namespace {

const char* const kListCaptions[] = {"Conditions - Temperature", "Conditions - HeatFlow",
                                     "Conditions - Pipe",        "Conditions - Displacement",
                                     "Conditions - Loading",     "Conditions - Springs"};
const char* const kTypeNames[] = {"Temperature",  "Heatflow", "Pipeflow",
                                  "Displacement", "Loading",  "Spring"};
// The toolbar buttons of the types, whose pictures the list shows.
const char* const kTypeButtons[] = {"btnTemperature",  "btnHeatflow", "btnPipe",
                                    "btnDisplacement", "btnLoad",     "btnSpring"};

// A new condition of `type` with the defaults the editor gives.
std::unique_ptr<TVemtoCondition> NewCondition(int type) {
  switch (type) {
    case ctTemperature: {
      auto c = std::make_unique<TVemtoTempCondition>();
      c->SetEditorDefaults();
      return c;
    }
    case ctHeatFlow:
      return std::make_unique<TVemtoFlowCondition>();
    case ctPipe: {
      auto c = std::make_unique<TVemtoPipeCondition>();
      c->SetEditorDefaults();
      return c;
    }
    case ctDisplacement: {
      auto c = std::make_unique<TVemtoDisplCondition>();
      c->SetEditorDefaults();
      return c;
    }
    case ctLoad:
      return std::make_unique<TVemtoLoadCondition>();
    default:
      return std::make_unique<TVemtoSpringCondition>();
  }
}

QPushButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint) {
  auto* b = new QPushButton(QString::fromLatin1(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setToolTip(QString::fromLatin1(hint));
  return b;
}

// Asks "caption" / "Name" with `text` proposed; empty when cancelled or left empty.
QString AskName(TUserDialogs& dialogs, QWidget* parent, const QString& caption, QString text) {
  if (!dialogs.AskText(parent, caption, QStringLiteral("Name"), text)) return {};
  return text.trimmed();
}

// Re-fills `list` with `names`, keeping the highlighted row when it still exists.
void FillList(QListWidget* list, const QStringList& names, int row) {
  const QSignalBlocker block(list);
  list->clear();
  list->addItems(names);
  if (row >= 0 && row < list->count()) list->setCurrentRow(row);
}

}  // namespace

// --- the condition list ------------------------------------------------------------------

TfrmConditions::TfrmConditions(ProjectDocument& document, TUserDialogs& dialogs,
                               TfrmBoundaryConds& window)
    : QWidget(&window, Qt::Tool | Qt::WindowStaysOnTopHint),
      doc_(document),
      dialogs_(dialogs),
      window_(window),
      lbConditions_(new QListWidget(this)),
      imgCondition_(new QLabel(this)),
      editors_(new TConditionEditors(document, dialogs, *this)) {
  setObjectName(QStringLiteral("frmConditions"));
  OnViewHistory = [this](TVemtoCondition* c) { editors_->ShowHistory(c); };
  OnViewConstants = [this](TVemtoCondition* c) { editors_->ShowConstants(c); };
  OnConditionChosen = [this](TVemtoCondition* c) { editors_->Follow(c); };
  lbConditions_->setObjectName(QStringLiteral("lbConditions"));
  imgCondition_->setObjectName(QStringLiteral("imgCondition"));
  imgCondition_->setToolTip(QStringLiteral("Current condition type"));
  imgCondition_->setAlignment(Qt::AlignCenter);
  btnAddCond_ = Button(this, "btnAddCond", "Add", "Add condition");
  btnRemoveCond_ = Button(this, "btnRemoveCond", "Delete", "Delete condition");
  btnUpdate_ = Button(this, "btnUpdate", "Rename", "Update");
  btnViewCond_ = Button(this, "btnViewCond", "History", "View history");
  btnConstants_ = Button(this, "btnConstants", "Constants", "View constants");
  btnImportWeather_ =
      Button(this, "btnImportWeather", "Weather...", "Import weather series (CSV or text)");
  auto* buttons = new QGridLayout;
  buttons->addWidget(btnAddCond_, 0, 0);
  buttons->addWidget(btnRemoveCond_, 0, 1);
  buttons->addWidget(btnUpdate_, 1, 0);
  buttons->addWidget(btnViewCond_, 1, 1);
  buttons->addWidget(btnConstants_, 2, 0);
  buttons->addWidget(btnImportWeather_, 2, 1);
  buttons->addWidget(imgCondition_, 3, 0, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(lbConditions_);
  layout->addLayout(buttons);
  resize(220, 290);

  connect(btnAddCond_, &QPushButton::clicked, this, &TfrmConditions::AddCondition);
  connect(btnRemoveCond_, &QPushButton::clicked, this, &TfrmConditions::RemoveCondition);
  connect(btnUpdate_, &QPushButton::clicked, this, &TfrmConditions::RenameCondition);
  connect(btnViewCond_, &QPushButton::clicked, this,
          [this] { ViewHistory(lbConditions_->currentRow()); });
  connect(btnConstants_, &QPushButton::clicked, this, &TfrmConditions::ViewConstants);
  connect(btnImportWeather_, &QPushButton::clicked, this, &TfrmConditions::ImportWeather);
  connect(lbConditions_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { ChooseRow(lbConditions_->row(item)); });
  connect(lbConditions_, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { ViewHistory(lbConditions_->row(item)); });
  for (auto signal : {&ProjectDocument::objectsAdded, &ProjectDocument::objectsRemoved,
                      &ProjectDocument::objectsChanged})
    connect(&doc_, signal, this, [this](ObjectKind kind, const ObjectList&) {
      if (kind == ObjectKind::Condition) Refill();
    });
  SetConditionType(ctTemperature);
}

void TfrmConditions::SetConditionType(int type) {
  type_ = type;
  setWindowTitle(QString::fromLatin1(kListCaptions[std::clamp(type, 1, 6) - 1]));
  const int t = std::clamp(type, 1, 6) - 1;
  imgCondition_->setAccessibleName(QString::fromLatin1(kTypeNames[t]));
  const QIcon picture = VemtoIcon(IconNameForAction(QString::fromLatin1(kTypeButtons[t])));
  if (picture.isNull())
    imgCondition_->setText(QString::fromLatin1(kTypeNames[t]));
  else
    imgCondition_->setPixmap(picture.pixmap(QSize(32, 32), imgCondition_->devicePixelRatioF()));
  lbConditions_->setCurrentRow(-1);
  Refill();
  UpdateButtons();
}

void TfrmConditions::Refill() {
  shown_.clear();
  QStringList names;
  for (const auto& c : doc_.Model().Conditions)
    if (ConditionTypeOf(c.get()) == type_) {
      shown_.push_back(c.get());
      names << QString::fromStdString(c->Name);
    }
  // The chosen condition keeps its highlight, wherever it now stands.
  FillList(lbConditions_, names, int(shown_.indexOf(window_.ChosenCondition())));
  UpdateButtons();
}

void TfrmConditions::UpdateButtons() {
  const int chosen = ConditionTypeOf(window_.ChosenCondition());
  btnConstants_->setEnabled(OnViewConstants != nullptr &&
                            (chosen == ctTemperature || chosen == ctPipe ||
                             chosen == ctDisplacement || chosen == ctSpring));
  btnViewCond_->setEnabled(OnViewHistory != nullptr);
  btnImportWeather_->setEnabled(chosen == ctTemperature);
}

void TfrmConditions::AddCondition() {
  const QString name = AskName(dialogs_, this, QStringLiteral("Condition"), QString());
  if (name.isEmpty()) return;
  std::unique_ptr<TVemtoCondition> condition = NewCondition(type_);
  condition->Name = doc_.Model().Conditions.MakeUniqueName(name.toStdString());
  doc_.Push(new AddConditionCommand(doc_, std::move(condition)));
}

void TfrmConditions::RemoveCondition() {
  TVemtoCondition* condition = window_.ChosenCondition();
  if (condition == nullptr) return;
  if (condition->RefCount > 0) {
    dialogs_.ShowMessage(
        this, QStringLiteral("Condition connected to a position. Remove position first."));
    return;
  }
  window_.ChooseCondition(nullptr);
  doc_.Push(new RemoveConditionCommand(doc_, condition));
}

void TfrmConditions::RenameCondition() {
  TVemtoCondition* condition = window_.ChosenCondition();
  if (condition == nullptr) return;
  const QString name =
      AskName(dialogs_, this, QStringLiteral("Condition"), QString::fromStdString(condition->Name));
  if (name.isEmpty() || name.toStdString() == condition->Name) return;
  const int row = lbConditions_->currentRow();
  auto& list = doc_.Model().Conditions;
  doc_.Push(new RenameItemCommand<TVemtoCondition, TVemtoConditionList>(
      doc_, list, condition, name.toStdString(), ObjectKind::Condition));
  // The same row stays highlighted (the renamed condition went to the end).
  lbConditions_->setCurrentRow(std::min(row, lbConditions_->count() - 1));
}

void TfrmConditions::ChooseRow(int row) {
  if (row < 0 || row >= shown_.size()) {
    window_.ChooseCondition(nullptr);
  } else {
    lbConditions_->setCurrentRow(row);
    window_.ChooseCondition(shown_[row]);
    if (OnConditionChosen) OnConditionChosen(shown_[row]);
  }
  UpdateButtons();
}

void TfrmConditions::ViewHistory(int row) {
  ChooseRow(row);
  if (OnViewHistory && window_.ChosenCondition() != nullptr)
    OnViewHistory(window_.ChosenCondition());
}

void TfrmConditions::ViewConstants() {
  if (OnViewConstants && window_.ChosenCondition() != nullptr)
    OnViewConstants(window_.ChosenCondition());
}

void TfrmConditions::ImportWeather() {
  TVemtoCondition* condition = window_.ChosenCondition();
  if (ConditionTypeOf(condition) != ctTemperature) return;
  const QString file = dialogs_.AskWeatherFileName(this);
  if (file.isEmpty()) return;
  if (const QString problem = ImportWeatherFile(doc_, condition, file); !problem.isEmpty())
    dialogs_.ShowError(this, problem);
}

// --- the pipe arrangement ----------------------------------------------------------------

TfrmPipes::TfrmPipes(ProjectDocument& document, TUserDialogs& dialogs, TfrmBoundaryConds& window)
    : QWidget(&window, Qt::Tool | Qt::WindowStaysOnTopHint),
      doc_(document),
      dialogs_(dialogs),
      window_(window),
      lbPipes_(new QListWidget(this)) {
  setObjectName(QStringLiteral("frmPipes"));
  setWindowTitle(QStringLiteral("Pipe arrangement"));
  lbPipes_->setObjectName(QStringLiteral("lbPipes"));
  QPushButton* add = Button(this, "btnAddPipe", "Add", "Add pipe");
  QPushButton* remove = Button(this, "btnRemovePipe", "Delete", "Delete pipe");
  QPushButton* update = Button(this, "btnUpdate", "Rename", "Update");
  QPushButton* view = Button(this, "btnViewPipe", "Order", "View pipe");
  auto* buttons = new QGridLayout;
  buttons->addWidget(add, 0, 0);
  buttons->addWidget(remove, 0, 1);
  buttons->addWidget(update, 1, 0);
  buttons->addWidget(view, 1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(lbPipes_);
  layout->addLayout(buttons);
  resize(220, 200);
  connect(add, &QPushButton::clicked, this, &TfrmPipes::AddPipe);
  connect(remove, &QPushButton::clicked, this, &TfrmPipes::RemovePipe);
  connect(update, &QPushButton::clicked, this, &TfrmPipes::RenamePipe);
  connect(view, &QPushButton::clicked, this, &TfrmPipes::ViewPipe);
  connect(lbPipes_, &QListWidget::itemClicked, this,
          [this](QListWidgetItem* item) { ChooseRow(lbPipes_->row(item)); });
  for (auto signal : {&ProjectDocument::objectsAdded, &ProjectDocument::objectsRemoved,
                      &ProjectDocument::objectsChanged})
    connect(&doc_, signal, this, [this](ObjectKind kind, const ObjectList& objects) {
      if (kind == ObjectKind::Condition && objects.contains(condition_) &&
          doc_.Model().Conditions.IndexOf(condition_) < 0)
        condition_ = nullptr;  // its condition left the model
      if (kind == ObjectKind::Pipe || kind == ObjectKind::Condition) Refill();
    });
}

void TfrmPipes::SetCondition(TVemtoCondition* condition) {
  condition_ = ConditionTypeOf(condition) == ctPipe ? condition : nullptr;
  lbPipes_->setCurrentRow(-1);
  Refill();
}

void TfrmPipes::Refill() {
  shown_.clear();
  QStringList names;
  if (condition_ != nullptr)
    for (const auto& p : doc_.Model().Pipes)
      if (p->Condition == condition_) {
        shown_.push_back(p.get());
        names << QString::fromStdString(p->Name);
      }
  int row = lbPipes_->currentRow();
  if (window_.ChosenPipe() != nullptr && shown_.contains(window_.ChosenPipe()))
    row = int(shown_.indexOf(window_.ChosenPipe()));
  FillList(lbPipes_, names, row);
}

void TfrmPipes::ChooseRow(int row) {
  if (row < 0 || row >= shown_.size()) return;
  lbPipes_->setCurrentRow(row);
  window_.ChoosePipe(shown_[row]);
  window_.SetPlacing(true);
}

void TfrmPipes::AddPipe() {
  if (condition_ == nullptr) {
    dialogs_.ShowMessage(this, QStringLiteral("A pipe must be connected to a condition. Select a "
                                              "condition to connect to new pipe."));
    return;
  }
  const QString name = AskName(dialogs_, this, QStringLiteral("Pipe"), QString());
  if (name.isEmpty()) return;
  auto pipe = std::make_unique<TVemtoPipe>(doc_.Model().Pipes.MakeUniqueName(name.toStdString()));
  pipe->Condition = static_cast<TVemtoPipeCondition*>(condition_);
  pipe->PartLength = 1.0;
  doc_.Push(new AddPipeCommand(doc_, std::move(pipe)));
}

void TfrmPipes::RemovePipe() {
  const int row = lbPipes_->currentRow();
  if (row < 0 || row >= shown_.size()) return;
  TVemtoPipe* pipe = shown_[row];
  if (pipe->RefCount > 0) {
    dialogs_.ShowMessage(this, QStringLiteral("The pipe is connected. Remove any connected "
                                              "positions before removing the pipe."));
    return;
  }
  if (window_.ChosenPipe() == pipe) window_.ChoosePipe(nullptr);
  doc_.Push(new RemovePipeCommand(doc_, pipe));
}

void TfrmPipes::RenamePipe() {
  TVemtoPipe* pipe = window_.ChosenPipe();
  if (pipe == nullptr) return;
  const QString name =
      AskName(dialogs_, this, QStringLiteral("Pipe"), QString::fromStdString(pipe->Name));
  if (name.isEmpty() || name.toStdString() == pipe->Name) return;
  const int row = lbPipes_->currentRow();
  doc_.Push(new RenameItemCommand<TVemtoPipe, TVemtoPipeList>(
      doc_, doc_.Model().Pipes, pipe, name.toStdString(), ObjectKind::Pipe));
  lbPipes_->setCurrentRow(std::min(row, lbPipes_->count() - 1));
}

void TfrmPipes::ViewPipe() {
  delete frmPipeProp_;
  frmPipeProp_ = new TfrmPipeProp(doc_, dialogs_, window_.ChosenPipe(), this);
  frmPipeProp_->setAttribute(Qt::WA_DeleteOnClose);
  frmPipeProp_->setModal(true);
  frmPipeProp_->show();
}

}  // namespace vemto
