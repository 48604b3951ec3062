#include "TfrmCalcSettings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "NumberText.h"

namespace vemto {

namespace {

const char* const kShownText = "shownText";

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

QRadioButton* Radio(QWidget* parent, const char* name, const char* caption) {
  auto* rb = new QRadioButton(QString::fromLatin1(caption), parent);
  rb->setObjectName(QString::fromLatin1(name));
  return rb;
}

}  // namespace

QLineEdit* TfrmCalcSettings::NewEdit(const char* name, bool readOnly) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setReadOnly(readOnly);
  if (readOnly) edit->setFocusPolicy(Qt::NoFocus);
  return edit;
}

TfrmCalcSettings::TfrmCalcSettings(QWidget* parent)
    : QDialog(parent),
      pages_(new QTabWidget(this)),
      edtMemoryPre_(NewEdit("edtMemoryPre")),
      edtMemoryEngine_(NewEdit("edtMemoryEngine")),
      edtMemoryPost_(NewEdit("edtMemoryPost")),
      edtThickness_(NewEdit("edtThickness")),
      edtFrom_(NewEdit("edtFrom", true)),
      edtTo_(NewEdit("edtTo")),
      edtIntStep_(NewEdit("edtIntStep")),
      edtIntStore_(NewEdit("edtIntStore")),
      edtIntNumber_(NewEdit("edtIntNumber", true)),
      edtIntInitialTime_(NewEdit("edtIntInitialTime")) {
  setObjectName(QStringLiteral("frmCalcSettings"));
  setWindowTitle(QStringLiteral("Calculation settings"));

  // Page "General".
  auto* general = new QWidget(pages_);
  auto* analysis = new QGroupBox(QStringLiteral("Analysis type"), general);
  rbPlaneStress_ = Radio(analysis, "rbPlaneStress", "Plane stress");
  rbPlaneStrain_ = Radio(analysis, "rbPlaneStrain", "Plane strain");
  rbAxisymmetric_ = Radio(analysis, "rbAxisymmetric", "Axisymmetric");
  auto* analysisLayout = new QVBoxLayout(analysis);
  for (QRadioButton* rb : {rbPlaneStress_, rbPlaneStrain_, rbAxisymmetric_})
    analysisLayout->addWidget(rb);

  auto* simulation = new QGroupBox(QStringLiteral("Simulation type"), general);
  rbSimTemp_ = Radio(simulation, "rbSimTemp", "Simulation of temperature and maturity");
  rbNoTemp_ = Radio(simulation, "rbNoTemp", "No variation of temperature and maturity");
  rbInputTemp_ = Radio(simulation, "rbInputTemp", "Input of temperature and maturity");
  chkEnableDispl_ = new QCheckBox(QStringLiteral("Calculate displacements and stresses"), general);
  chkEnableDispl_->setObjectName(QStringLiteral("chkEnableDispl"));
  auto* simulationLayout = new QVBoxLayout(simulation);
  for (QRadioButton* rb : {rbSimTemp_, rbNoTemp_, rbInputTemp_}) simulationLayout->addWidget(rb);

  auto* memory = new QGroupBox(QStringLiteral("Memory settings (bytes)"), general);
  auto* memoryLayout = new QFormLayout(memory);
  memoryLayout->addRow(QStringLiteral("Internal meshing"), edtMemoryPre_);
  memoryLayout->addRow(QStringLiteral("Simulation"), edtMemoryEngine_);
  memoryLayout->addRow(QStringLiteral("Postprocessing"), edtMemoryPost_);

  auto* globals = new QGroupBox(QStringLiteral("Globals"), general);
  auto* globalsLayout = new QFormLayout(globals);
  globalsLayout->addRow(QStringLiteral("Thickness (m)"), edtThickness_);

  auto* generalLayout = new QGridLayout(general);
  generalLayout->addWidget(analysis, 0, 0);
  generalLayout->addWidget(simulation, 0, 1);
  generalLayout->addWidget(chkEnableDispl_, 1, 1);
  generalLayout->addWidget(memory, 2, 0);
  generalLayout->addWidget(globals, 2, 1, Qt::AlignTop);
  generalLayout->setRowStretch(3, 1);
  pages_->addTab(general, QStringLiteral("General"));

  // Page "Timestep".
  auto* timestep = new QWidget(pages_);
  grpInterval_ = new QGroupBox(timestep);
  grpInterval_->setObjectName(QStringLiteral("grpInterval"));
  for (QLineEdit* edit : {edtFrom_, edtTo_, edtIntStep_, edtIntStore_, edtIntNumber_})
    edit->setParent(grpInterval_);
  btnAddStep_ = new QToolButton(grpInterval_);
  btnAddStep_->setObjectName(QStringLiteral("btnAddStep"));
  btnAddStep_->setArrowType(Qt::LeftArrow);
  btnAddStep_->setToolTip(QStringLiteral("Backwards"));
  btnSubtractStep_ = new QToolButton(grpInterval_);
  btnSubtractStep_->setObjectName(QStringLiteral("btnSubtractStep"));
  btnSubtractStep_->setArrowType(Qt::RightArrow);
  btnSubtractStep_->setToolTip(QStringLiteral("Forward"));
  auto* intervalLayout = new QGridLayout(grpInterval_);
  intervalLayout->addWidget(new QLabel(QStringLiteral("Time (h)"), grpInterval_), 0, 0);
  intervalLayout->addWidget(edtFrom_, 0, 1);
  intervalLayout->addWidget(new QLabel(QStringLiteral("-"), grpInterval_), 0, 2, Qt::AlignCenter);
  intervalLayout->addWidget(edtTo_, 0, 3);
  intervalLayout->addWidget(new QLabel(QStringLiteral("Time step (h)"), grpInterval_), 1, 0);
  intervalLayout->addWidget(edtIntStep_, 1, 1);
  intervalLayout->addWidget(
      new QLabel(QStringLiteral("Time increment for the storage of results (h)"), grpInterval_), 2,
      0);
  intervalLayout->addWidget(edtIntStore_, 2, 1);
  intervalLayout->addWidget(new QLabel(QStringLiteral("Number of timesteps"), grpInterval_), 3, 0);
  intervalLayout->addWidget(edtIntNumber_, 3, 1);
  for (QLineEdit* edit : {edtFrom_, edtTo_, edtIntStep_, edtIntStore_, edtIntNumber_})
    edit->setFixedWidth(110);
  intervalLayout->setColumnStretch(4, 1);
  auto* navigation = new QHBoxLayout;
  navigation->addStretch(1);
  navigation->addWidget(btnAddStep_);
  navigation->addWidget(btnSubtractStep_);
  intervalLayout->addLayout(navigation, 4, 0, 1, 5);

  edtIntCount_ = new QSpinBox(timestep);
  edtIntCount_->setObjectName(QStringLiteral("edtIntCount"));
  edtIntCount_->setRange(1, kMaxIntervals);
  edtIntInitialTime_->setParent(timestep);
  edtIntInitialTime_->setFixedWidth(110);
  auto* timestepLayout = new QGridLayout(timestep);
  timestepLayout->addWidget(grpInterval_, 0, 0, 1, 2);
  timestepLayout->addWidget(new QLabel(QStringLiteral("Intervals"), timestep), 1, 0);
  timestepLayout->addWidget(edtIntCount_, 1, 1, Qt::AlignLeft);
  timestepLayout->addWidget(new QLabel(QStringLiteral("Initial time (h)"), timestep), 2, 0);
  timestepLayout->addWidget(edtIntInitialTime_, 2, 1, Qt::AlignLeft);
  timestepLayout->setRowStretch(3, 1);
  pages_->addTab(timestep, QStringLiteral("Timestep"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("btnOK"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pages_);
  layout->addWidget(buttons);

  for (QLineEdit* edit : {edtTo_, edtIntStep_, edtIntStore_, edtIntInitialTime_})
    connect(edit, &QLineEdit::editingFinished, this, &TfrmCalcSettings::ApplyOnLeave);
  connect(btnAddStep_, &QToolButton::clicked, this, &TfrmCalcSettings::btnAddStepClick);
  connect(btnSubtractStep_, &QToolButton::clicked, this, &TfrmCalcSettings::btnSubtractStepClick);
  connect(edtIntCount_, &QSpinBox::valueChanged, this, &TfrmCalcSettings::IntervalCountChanged);
}

void TfrmCalcSettings::SetSettings(const TCalcSettings& settings) {
  filling_ = true;
  s_ = settings;
  if (s_.Intervals.empty()) AddInterval(s_);
  current_ = 0;
  const TVemtoGeneralInfo& g = s_.General;
  rbPlaneStress_->setChecked(g.AnalysisType == 1);
  rbPlaneStrain_->setChecked(g.AnalysisType == 2);
  rbAxisymmetric_->setChecked(g.AnalysisType == 3);
  const int simulation = g.SimulationType >= 10 ? g.SimulationType - 10 : g.SimulationType;
  chkEnableDispl_->setChecked(g.SimulationType < 10);
  rbSimTemp_->setChecked(simulation == 0);
  rbNoTemp_->setChecked(simulation == 1);
  rbInputTemp_->setChecked(simulation == 2);
  ShowField(edtIntInitialTime_, Q(FormatG(g.InitialTime)));
  edtIntCount_->setValue(static_cast<int>(s_.Intervals.size()));
  ShowField(edtMemoryPre_, QString::number(MemoryBytes(s_.MeshMemory)));
  ShowField(edtMemoryEngine_, QString::number(MemoryBytes(s_.EngineMemory)));
  ShowField(edtMemoryPost_, QString::number(MemoryBytes(s_.PostMemory)));
  ShowField(edtThickness_, Q(FormatG(g.Thickness)));
  pages_->setCurrentIndex(0);
  ShowInterval();
  filling_ = false;
}

void TfrmCalcSettings::ShowField(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  edit->setCursorPosition(0);
  edit->setProperty(kShownText, text);
}

void TfrmCalcSettings::ShowInterval() {
  const bool wasFilling = filling_;
  filling_ = true;
  const TVemtoInterval& v = s_.Intervals.at(current_);
  grpInterval_->setTitle(
      QStringLiteral("Interval %1 of %2").arg(current_ + 1).arg(s_.Intervals.size()));
  ShowField(edtFrom_, Q(FormatG(IntervalStart(s_, current_))));
  ShowField(edtTo_, Q(FormatG(v.EndTime)));
  ShowField(edtIntStep_, Q(FormatG(v.TimeStep, 4)));
  ShowField(edtIntStore_, Q(FormatG(v.StoreStep, 4)));
  ShowField(edtIntNumber_, QString::number(EngineStepCount(s_, current_)));
  btnAddStep_->setEnabled(current_ > 0);
  btnSubtractStep_->setEnabled(current_ + 1 < s_.Intervals.size());
  edtIntCount_->setValue(static_cast<int>(s_.Intervals.size()));
  filling_ = wasFilling;
}

std::optional<double> TfrmCalcSettings::FieldValue(const QLineEdit* edit, double stored) const {
  if (edit->text() == edit->property(kShownText).toString()) return stored;
  return ParseReal(edit->text().toStdString());
}

std::optional<TSettingsError> TfrmCalcSettings::ApplyIntervalFields(bool* initialFailed) {
  const std::optional<double> initial = FieldValue(edtIntInitialTime_, s_.General.InitialTime);
  *initialFailed = !initial;
  TCalcSettings next = s_;
  if (initial) next.General.InitialTime = *initial;
  const TVemtoInterval& v = s_.Intervals.at(current_);
  const int n = static_cast<int>(current_) + 1;
  struct Field {
    QLineEdit* edit;
    double stored;
    const char* caption;
  };
  TIntervalInput input;
  double* targets[] = {&input.EndTime, &input.TimeStep, &input.StoreStep};
  const Field fields[] = {
      {edtTo_, v.EndTime, "To"},
      {edtIntStep_, v.TimeStep, "Time step (h)"},
      {edtIntStore_, v.StoreStep, "Time increment for the storage of results (h)"}};
  for (int k = 0; k < 3; ++k) {
    const std::optional<double> value = FieldValue(fields[k].edit, fields[k].stored);
    if (!value)
      return TSettingsError{QStringLiteral("Interval %1: \"%2\" is not a number: \"%3\".")
                                .arg(n)
                                .arg(QString::fromLatin1(fields[k].caption), fields[k].edit->text())
                                .toStdString(),
                            static_cast<int>(current_)};
    *targets[k] = *value;
  }
  if (auto error = ApplyInterval(next, current_, input)) return error;
  s_ = std::move(next);
  return std::nullopt;
}

void TfrmCalcSettings::ApplyOnLeave() {
  if (filling_) return;
  // Leaving a field applies what reads well; anything refused is named at OK.
  bool initialFailed = false;
  if (!ApplyIntervalFields(&initialFailed) && !initialFailed) {
    ShowInterval();
    ShowField(edtIntInitialTime_, Q(FormatG(s_.General.InitialTime)));
  }
}

void TfrmCalcSettings::Message(const QString& text) {
  if (ShowMessage)
    ShowMessage(text);
  else
    QMessageBox::warning(this, windowTitle(), text);
}

bool TfrmCalcSettings::Refuse(const TSettingsError& error) {
  if (error.Interval >= 0 && static_cast<std::size_t>(error.Interval) < s_.Intervals.size()) {
    pages_->setCurrentIndex(1);
    if (static_cast<std::size_t>(error.Interval) != current_) {
      current_ = static_cast<std::size_t>(error.Interval);
      ShowInterval();
    }
  }
  Message(Q(error.Message));
  return false;
}

void TfrmCalcSettings::btnAddStepClick() {
  if (current_ == 0) return;
  bool initialFailed = false;
  if (auto error = ApplyIntervalFields(&initialFailed)) {
    Refuse(*error);
    return;
  }
  --current_;
  ShowInterval();
}

void TfrmCalcSettings::btnSubtractStepClick() {
  if (current_ + 1 >= s_.Intervals.size()) return;
  bool initialFailed = false;
  if (auto error = ApplyIntervalFields(&initialFailed)) {
    Refuse(*error);
    return;
  }
  ++current_;
  ShowInterval();
}

void TfrmCalcSettings::IntervalCountChanged(int count) {
  if (filling_) return;
  // One interval more or less per change; the field then shows the actual count.
  if (count > static_cast<int>(s_.Intervals.size()))
    AddInterval(s_);
  else if (count < static_cast<int>(s_.Intervals.size())) {
    RemoveLastInterval(s_);
    if (current_ >= s_.Intervals.size()) current_ = s_.Intervals.size() - 1;
  }
  ShowInterval();
}

bool TfrmCalcSettings::ApplyOk() {
  TVemtoGeneralInfo& g = s_.General;
  g.AnalysisType = rbPlaneStress_->isChecked() ? 1 : rbAxisymmetric_->isChecked() ? 3 : 2;
  g.SimulationType = (rbNoTemp_->isChecked()      ? 1
                      : rbInputTemp_->isChecked() ? 2
                                                  : 0) +
                     (chkEnableDispl_->isChecked() ? 0 : 10);
  bool initialFailed = false;
  const std::optional<TSettingsError> intervalError = ApplyIntervalFields(&initialFailed);
  if (initialFailed) Message(QString::fromLatin1(kIncorrectInputMessage));
  if (intervalError) return Refuse(*intervalError);
  if (auto error = CheckIntervals(s_)) return Refuse(*error);
  ShowInterval();
  struct Memory {
    QLineEdit* edit;
    std::int32_t* words;
    const char* caption;
  };
  for (const Memory& m : {Memory{edtMemoryPre_, &s_.MeshMemory, "Internal meshing"},
                          Memory{edtMemoryEngine_, &s_.EngineMemory, "Simulation"},
                          Memory{edtMemoryPost_, &s_.PostMemory, "Postprocessing"}}) {
    const auto words = ReadMemoryField(m.edit->text().toStdString(), m.caption);
    if (const auto* error = std::get_if<TSettingsError>(&words)) {
      pages_->setCurrentIndex(0);
      return Refuse(*error);
    }
    *m.words = std::get<std::int32_t>(words);
  }
  // An untouched field keeps the stored value; it is checked all the same.
  const bool changed = edtThickness_->text() != edtThickness_->property(kShownText).toString();
  const auto thickness =
      ReadThicknessField(changed ? edtThickness_->text().toStdString() : FormatG(g.Thickness));
  if (const auto* error = std::get_if<TSettingsError>(&thickness)) {
    pages_->setCurrentIndex(0);
    return Refuse(*error);
  }
  if (changed) g.Thickness = std::get<double>(thickness);
  return true;
}

void TfrmCalcSettings::accept() {
  if (ApplyOk()) QDialog::accept();
}

}  // namespace vemto
