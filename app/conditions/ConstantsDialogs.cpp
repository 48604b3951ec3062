#include "ConstantsDialogs.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <memory>

#include "ConditionEditing.h"
#include "HistoryCommands.h"
#include "NumberText.h"
#include "UserDialogs.h"

namespace vemto {

namespace {

const QString kZeroConductivity = QStringLiteral(
    "The thermal conductivity is 0: no transfer coefficient can be derived from it.");

QLineEdit* Field(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  return e;
}

QRadioButton* Radio(QWidget* parent, QButtonGroup* group, int id, const QString& caption) {
  auto* r = new QRadioButton(caption, parent);
  r->setObjectName(QStringLiteral("rb%1").arg(id));
  group->addButton(r, id);
  return r;
}

QString Text(double value) {
  return QString::fromStdString(FormatG(value));
}

/// Insulation types of a temperature condition, top to bottom, with the conductivity a
/// click sets (W/mK; empty: unchanged).
struct TInsulationChoice {
  InsulationKind Kind;
  const char* Caption;
  std::optional<double> Conductivity;
};
const TInsulationChoice kInsulationChoices[] = {
    {InsulationKind::None, "No insulation", std::nullopt},
    {InsulationKind::Steel, "Steel", 45.0},
    {InsulationKind::Wood, "Wood", 0.14},
    {InsulationKind::MineralWool, "Mineral wool", 0.055},
    {InsulationKind::CellularPlastic, "Cellular plastic", 0.055},
    {InsulationKind::Plastic, "Plastic", 0.38},
    {InsulationKind::Other, "Other", std::nullopt},
    {InsulationKind::SpecifiedTransferCoefficient, "Specified transfer coefficient", std::nullopt},
};

/// OK and Cancel of `dialog` below `content`.
void Finish(QDialog* dialog, QLayout* content) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  auto* layout = new QVBoxLayout(dialog);
  layout->addLayout(content);
  layout->addWidget(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
}

/// The layout of both coefficient dialogs: the insulation types on the left, the
/// properties with the result field below them on the right.
QLayout* CoefficientLayout(QGroupBox* types, QGroupBox* properties, const QString& resultLabel,
                           QLineEdit* result) {
  auto* resultRow = new QFormLayout;
  resultRow->addRow(resultLabel, result);
  auto* right = new QVBoxLayout;
  right->addWidget(properties);
  right->addLayout(resultRow);
  right->addStretch();
  auto* content = new QHBoxLayout;
  content->addWidget(types);
  content->addLayout(right);
  return content;
}

constexpr double kSteelConductivity = 45.0;    // W/mK
constexpr double kPlasticConductivity = 0.38;  // W/mK

bool Insulated(int type) {
  return type != int(InsulationKind::None) &&
         type != int(InsulationKind::SpecifiedTransferCoefficient);
}

}  // namespace

// --- shared ------------------------------------------------------------------------------

TConstantsDialog::TConstantsDialog(ProjectDocument& document, TUserDialogs& dialogs,
                                   TVemtoCondition* condition, QWidget* parent)
    : QDialog(parent), doc_(&document), dialogs_(dialogs), condition_(condition) {
  // A dialog never outlives its object: without its condition or its document it
  // closes and stores nothing.
  connect(&document, &ProjectDocument::objectsRemoved, this,
          [this](ObjectKind kind, const ObjectList& objects) {
            if (kind == ObjectKind::Condition && objects.contains(condition_)) {
              condition_ = nullptr;
              reject();
            }
          });
  connect(&document, &QObject::destroyed, this, [this] {
    condition_ = nullptr;
    reject();
  });
}

std::optional<double> TConstantsDialog::ReadField(QLineEdit* field) {
  const std::optional<double> v = ParseReal(field->text().toStdString());
  if (!v) {
    dialogs_.ShowMessage(this, QStringLiteral("Invalid numeric input. (%1)").arg(field->text()));
    field->setFocus();
  }
  return v;
}

void TConstantsDialog::Store(const QString& text,
                             const std::function<void(TVemtoCondition&)>& edit) {
  if (doc_ == nullptr || condition_ == nullptr) {
    reject();
    return;
  }
  auto command = std::make_unique<ConditionEditCommand>(*doc_, condition_, text, edit);
  if (!command->Empty()) doc_->Push(command.release());
  QDialog::accept();
}

// --- "Transfer coefficient" --------------------------------------------------------------

TfrmTCEdit::TfrmTCEdit(ProjectDocument& document, TUserDialogs& dialogs,
                       TVemtoTempCondition* condition, QWidget* parent)
    : TConstantsDialog(document, dialogs, condition, parent),
      type_(condition->InsulationType),
      conductivity_(condition->ThermalConductivity),
      thickness_(condition->InsulationThickness),
      wind_(condition->WindVelocity),
      coefficient_(condition->TransferCoefficient),
      edtThermalCond_(Field(this, "edtThermalCond")),
      edtThickness_(Field(this, "edtThickness")),
      edtWindVel_(Field(this, "edtWindVel")),
      edtTransferCoeff_(Field(this, "edtTransferCoeff")) {
  setObjectName(QStringLiteral("frmTCEdit"));
  setWindowTitle(QStringLiteral("Transfer coefficient"));
  auto* typeBox = new QGroupBox(QStringLiteral("Insulation type"), this);
  auto* typeLayout = new QVBoxLayout(typeBox);
  auto* group = new QButtonGroup(this);
  for (const TInsulationChoice& choice : kInsulationChoices) {
    const int id = int(choice.Kind);
    types_[std::size_t(id)] = Radio(typeBox, group, id, QString::fromLatin1(choice.Caption));
    typeLayout->addWidget(types_[std::size_t(id)]);
  }
  auto* propBox = new QGroupBox(QStringLiteral("Insulation properties"), this);
  auto* form = new QFormLayout(propBox);
  form->addRow(QStringLiteral("Thermal conductivity (W/mK)"), edtThermalCond_);
  form->addRow(QStringLiteral("Thickness (m)"), edtThickness_);
  form->addRow(QStringLiteral("Wind velocity (m/s)"), edtWindVel_);
  Finish(this,
         CoefficientLayout(typeBox, propBox, QStringLiteral("Transfer coefficient (W/m^2K,W/mK)"),
                           edtTransferCoeff_));

  connect(group, &QButtonGroup::idClicked, this, &TfrmTCEdit::ChooseType);
  // Only what the user types recomputes (not the dialog filling its own fields).
  for (QLineEdit* e : {edtThermalCond_, edtThickness_, edtWindVel_})
    connect(e, &QLineEdit::textEdited, this, [this] { Compute(); });
  Fill();
}

void TfrmTCEdit::ChooseType(int type) {
  for (const TInsulationChoice& choice : kInsulationChoices)
    if (int(choice.Kind) == type) {
      Compute();  // keeps what was typed
      type_ = type;
      if (choice.Conductivity) conductivity_ = *choice.Conductivity;
      Fill();
    }
}

void TfrmTCEdit::Fill() {
  if (type_ < 0 || type_ >= int(types_.size())) type_ = int(InsulationKind::None);
  types_[std::size_t(type_)]->setChecked(true);
  const bool specified = type_ == int(InsulationKind::SpecifiedTransferCoefficient);
  edtThermalCond_->setEnabled(type_ == int(InsulationKind::Other));
  edtThickness_->setEnabled(Insulated(type_));
  edtWindVel_->setEnabled(!specified);
  edtTransferCoeff_->setEnabled(specified);
  edtThermalCond_->setText(Text(conductivity_));
  edtThickness_->setText(Text(thickness_));
  edtWindVel_->setText(Text(wind_));
  edtTransferCoeff_->setText(Text(coefficient_));
  Compute();
}

bool TfrmTCEdit::Compute() {
  if (type_ == int(InsulationKind::SpecifiedTransferCoefficient)) {
    const auto v = ParseReal(edtTransferCoeff_->text().toStdString());
    if (v) coefficient_ = *v;
    return v.has_value();
  }
  const auto wind = ParseReal(edtWindVel_->text().toStdString());
  const auto lambda = ParseReal(edtThermalCond_->text().toStdString());
  const auto d = ParseReal(edtThickness_->text().toStdString());
  if (wind) wind_ = *wind;
  if (lambda) conductivity_ = *lambda;
  if (d) thickness_ = *d;
  std::optional<double> h;
  if (wind && (!Insulated(type_) || (lambda && d)))
    h = InsulatedCoefficient(InsulationKind(type_), conductivity_, thickness_, wind_);
  if (!h) {  // a conductivity of 0 (or a field that is no number): the coefficient stays
    edtTransferCoeff_->setText(QStringLiteral("Error"));
    return false;
  }
  coefficient_ = *h;
  edtTransferCoeff_->setText(QString::asprintf("%8.4f", coefficient_));
  return true;
}

void TfrmTCEdit::accept() {
  const bool specified = type_ == int(InsulationKind::SpecifiedTransferCoefficient);
  for (QLineEdit* e : {edtWindVel_, edtThermalCond_, edtThickness_})
    if (!specified && !ReadField(e)) return;
  if (specified && !ReadField(edtTransferCoeff_)) return;
  if (!Compute()) {
    dialogs_.ShowMessage(this, kZeroConductivity);
    return;
  }
  Store(QStringLiteral("Transfer coefficient"), [this](TVemtoCondition& c) {
    auto& t = static_cast<TVemtoTempCondition&>(c);
    t.InsulationType = std::uint8_t(type_);
    t.TransferCoefficient = coefficient_;
    t.ThermalConductivity = conductivity_;
    t.InsulationThickness = thickness_;
    t.WindVelocity = wind_;
  });
}

// --- "Displacement type" -----------------------------------------------------------------

TfrmPrEdit::TfrmPrEdit(ProjectDocument& document, TUserDialogs& dialogs,
                       TVemtoDisplCondition* condition, QWidget* parent)
    : TConstantsDialog(document, dialogs, condition, parent) {
  setObjectName(QStringLiteral("frmPrEdit"));
  setWindowTitle(QStringLiteral("Displacement type"));
  auto* group = new QButtonGroup(this);
  auto* content = new QVBoxLayout;
  const char* const captions[] = {"Prescribed in X direction", "Prescribed in Y direction",
                                  "Prescribed in X and Y Direction"};
  for (int d = 1; d <= 3; ++d) {
    directions_[std::size_t(d - 1)] = Radio(this, group, d, QString::fromLatin1(captions[d - 1]));
    content->addWidget(directions_[std::size_t(d - 1)]);
  }
  if (condition->Direction >= 1 && condition->Direction <= 3)
    directions_[std::size_t(condition->Direction - 1)]->setChecked(true);
  Finish(this, content);
}

void TfrmPrEdit::accept() {
  int direction = 0;
  for (int d = 1; d <= 3; ++d)
    if (directions_[std::size_t(d - 1)]->isChecked()) direction = d;
  if (direction == 0) {
    reject();
    return;
  }
  Store(QStringLiteral("Displacement type"), [direction](TVemtoCondition& c) {
    static_cast<TVemtoDisplCondition&>(c).Direction = direction;
  });
}

// --- "Pipe transfer coefficient" ---------------------------------------------------------

TfrmPipeTransferCoeff::TfrmPipeTransferCoeff(TUserDialogs& dialogs, TPipeWall& wall,
                                             QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      wall_(wall),
      values_(wall),
      edtThermalCond_(Field(this, "edtThermalCond")),
      edtThickness_(Field(this, "edtThickness")),
      edtTransferCoeff_(Field(this, "edtTransferCoeff")) {
  setObjectName(QStringLiteral("frmPipeTransferCoeff"));
  setWindowTitle(QStringLiteral("Pipe transfer coefficient"));
  edtTransferCoeff_->setReadOnly(true);
  auto* typeBox = new QGroupBox(QStringLiteral("Insulation type"), this);
  auto* typeLayout = new QVBoxLayout(typeBox);
  auto* group = new QButtonGroup(this);
  typeLayout->addWidget(Radio(typeBox, group, 1, QStringLiteral("Steel")));
  typeLayout->addWidget(Radio(typeBox, group, 7, QStringLiteral("Plastic")));
  auto* propBox = new QGroupBox(QStringLiteral("Insulation properties"), this);
  auto* form = new QFormLayout(propBox);
  form->addRow(QStringLiteral("Thermal conductivity (W/mK)"), edtThermalCond_);
  form->addRow(QStringLiteral("Wall thickness (m)"), edtThickness_);
  Finish(this, CoefficientLayout(typeBox, propBox, QStringLiteral("Transfer coefficient (W/mK)"),
                                 edtTransferCoeff_));
  connect(group, &QButtonGroup::idClicked, this, [this](int id) {
    Compute();
    values_.Conductivity = id == 1 ? kSteelConductivity : kPlasticConductivity;
    Fill();
  });
  for (QLineEdit* e : {edtThermalCond_, edtThickness_})
    connect(e, &QLineEdit::textEdited, this, &TfrmPipeTransferCoeff::Compute);
  Fill();
}

void TfrmPipeTransferCoeff::Fill() {
  edtThermalCond_->setText(Text(values_.Conductivity));
  edtThickness_->setText(Text(values_.Thickness));
  Compute();
}

void TfrmPipeTransferCoeff::Compute() {
  const auto lambda = ParseReal(edtThermalCond_->text().toStdString());
  const auto d = ParseReal(edtThickness_->text().toStdString());
  if (lambda) values_.Conductivity = *lambda;
  if (d) values_.Thickness = *d;
  wall_ = values_;  // the dialog starts from these the next time
  coefficient_.reset();
  if (lambda && d) coefficient_ = PipeWallCoefficient(*d, *lambda);
  edtTransferCoeff_->setText(coefficient_ ? Text(*coefficient_) : QStringLiteral("Error"));
}

void TfrmPipeTransferCoeff::accept() {
  Compute();
  for (QLineEdit* e : {edtThermalCond_, edtThickness_})
    if (!ParseReal(e->text().toStdString())) {
      dialogs_.ShowMessage(this, QStringLiteral("Invalid numeric input. (%1)").arg(e->text()));
      return;
    }
  if (!coefficient_) {
    dialogs_.ShowMessage(this, kZeroConductivity);
    return;
  }
  QDialog::accept();
}

// --- "Pipe condition" --------------------------------------------------------------------

TfrmPipeEdit::TfrmPipeEdit(ProjectDocument& document, TUserDialogs& dialogs,
                           TVemtoPipeCondition* condition, TPipeWall& wall, QWidget* parent)
    : TConstantsDialog(document, dialogs, condition, parent),
      wall_(wall),
      diameter_(condition->PipeDiameter),
      coefficient_(condition->TransferCoefficient),
      specificHeat_(condition->SpecificHeat),
      conditionType_(condition->PipeConditionType),
      edtDiameter_(Field(this, "edtDiameter")),
      edtTransferCoeff_(Field(this, "edtTransferCoeff")),
      edtSpecificHeat_(Field(this, "edtSpecificHeat")),
      cboCondType_(new QComboBox(this)) {
  setObjectName(QStringLiteral("frmPipeEdit"));
  setWindowTitle(QStringLiteral("Pipe condition"));
  cboCondType_->setObjectName(QStringLiteral("cboCondType"));
  cboCondType_->addItems(
      {QStringLiteral("Specified pipe flow"), QStringLiteral("Specified output temperature")});
  auto* edit = new QPushButton(QStringLiteral("Edit"), this);
  edit->setObjectName(QStringLiteral("btnEdit"));
  edit->setAutoDefault(false);
  auto* pipeBox = new QGroupBox(QStringLiteral("Pipe properties"), this);
  auto* pipeForm = new QFormLayout(pipeBox);
  pipeForm->addRow(QStringLiteral("Diameter (m)"), edtDiameter_);
  auto* coefficient = new QHBoxLayout;
  coefficient->addWidget(edtTransferCoeff_);
  coefficient->addWidget(edit);
  pipeForm->addRow(QStringLiteral("Transfer coefficient (W/m^2K)"), coefficient);
  auto* liquidBox = new QGroupBox(QStringLiteral("Cooling liquid"), this);
  auto* liquidForm = new QFormLayout(liquidBox);
  liquidForm->addRow(QStringLiteral("Specific heat (J/kgK)"), edtSpecificHeat_);
  liquidForm->addRow(QStringLiteral("Condition type"), cboCondType_);
  auto* content = new QVBoxLayout;
  content->addWidget(pipeBox);
  content->addWidget(liquidBox);
  Finish(this, content);
  connect(edit, &QPushButton::clicked, this, &TfrmPipeEdit::EditCoefficient);
  Fill();
}

void TfrmPipeEdit::Fill() {
  edtDiameter_->setText(Text(diameter_));
  edtTransferCoeff_->setText(Text(coefficient_));
  edtSpecificHeat_->setText(Text(specificHeat_));
  cboCondType_->setCurrentIndex(conditionType_ == 1 ? 1 : 0);
}

void TfrmPipeEdit::EditCoefficient() {
  delete coeffDialog_;
  coeffDialog_ = new TfrmPipeTransferCoeff(dialogs_, wall_, this);
  coeffDialog_->setAttribute(Qt::WA_DeleteOnClose);
  connect(coeffDialog_, &QDialog::accepted, this, [this] {
    if (const auto c = coeffDialog_->Coefficient()) coefficient_ = *c;
    Fill();  // the values the dialog was opened with, apart from the new coefficient
  });
  coeffDialog_->open();
}

void TfrmPipeEdit::accept() {
  const auto diameter = ReadField(edtDiameter_);
  if (!diameter) return;
  const auto coefficient = ReadField(edtTransferCoeff_);
  if (!coefficient) return;
  const auto specificHeat = ReadField(edtSpecificHeat_);
  if (!specificHeat) return;
  const int type = cboCondType_->currentIndex() == 1 ? 1 : 0;
  Store(QStringLiteral("Pipe condition"), [&](TVemtoCondition& c) {
    auto& p = static_cast<TVemtoPipeCondition&>(c);
    p.PipeDiameter = *diameter;
    p.TransferCoefficient = *coefficient;
    p.SpecificHeat = *specificHeat;
    p.PipeConditionType = type;
  });
}

// --- "Spring stiffness" ------------------------------------------------------------------

TfrmSpringEdit::TfrmSpringEdit(ProjectDocument& document, TUserDialogs& dialogs,
                               TVemtoSpringCondition* condition, QWidget* parent)
    : TConstantsDialog(document, dialogs, condition, parent),
      edtStiffnessX_(Field(this, "edtStiffnessX")),
      edtStiffnessY_(Field(this, "edtStiffnessY")) {
  setObjectName(QStringLiteral("frmSpringEdit"));
  setWindowTitle(QStringLiteral("Spring stiffness"));
  auto* box = new QGroupBox(QStringLiteral("Spring properties"), this);
  auto* form = new QFormLayout(box);
  form->addRow(QStringLiteral("Stiffness X"), edtStiffnessX_);
  form->addRow(QStringLiteral("Stiffness Y (N/m3)"), edtStiffnessY_);
  form->addRow(new QLabel(QStringLiteral("Units: Curve N/m^3, Nodal N/m^2"), box));
  edtStiffnessX_->setText(Text(condition->StiffnessX));
  edtStiffnessY_->setText(Text(condition->StiffnessY));
  auto* content = new QVBoxLayout;
  content->addWidget(box);
  Finish(this, content);
}

void TfrmSpringEdit::accept() {
  const auto x = ReadField(edtStiffnessX_);
  if (!x) return;
  const auto y = ReadField(edtStiffnessY_);
  if (!y) return;
  Store(QStringLiteral("Spring stiffness"), [&](TVemtoCondition& c) {
    auto& s = static_cast<TVemtoSpringCondition&>(c);
    s.StiffnessX = *x;
    s.StiffnessY = *y;
  });
}

// --- by kind -----------------------------------------------------------------------------

TConstantsDialog* OpenConstantsDialog(ProjectDocument& document, TUserDialogs& dialogs,
                                      TVemtoCondition* condition, TPipeWall& wall,
                                      QWidget* parent) {
  TConstantsDialog* dialog = nullptr;
  if (auto* t = dynamic_cast<TVemtoTempCondition*>(condition))
    dialog = new TfrmTCEdit(document, dialogs, t, parent);
  else if (auto* d = dynamic_cast<TVemtoDisplCondition*>(condition))
    dialog = new TfrmPrEdit(document, dialogs, d, parent);
  else if (auto* p = dynamic_cast<TVemtoPipeCondition*>(condition))
    dialog = new TfrmPipeEdit(document, dialogs, p, wall, parent);
  else if (auto* s = dynamic_cast<TVemtoSpringCondition*>(condition))
    dialog = new TfrmSpringEdit(document, dialogs, s, parent);
  if (dialog != nullptr) {
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
  }
  return dialog;
}

}  // namespace vemto
