#include "TfrmSurfProp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "GeometryCommands.h"
#include "NumberText.h"
#include "TfrmGeometry.h"
#include "TfrmNewSurface.h"
#include "UserDialogs.h"

namespace vemto {

namespace {

template <class T>
int IndexOf(const std::vector<std::unique_ptr<T>>& list, const void* object) {
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == object) return static_cast<int>(i);
  return -1;
}

}  // namespace

TfrmSurfProp::TfrmSurfProp(ProjectDocument& document, TUserDialogs& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint),
      doc_(document),
      dialogs_(dialogs),
      cboSurface_(new QComboBox(this)),
      edtRows_(new QSpinBox(this)),
      edtColumns_(new QSpinBox(this)),
      cboElement_(new QComboBox(this)),
      chkThickness_(new QCheckBox(QStringLiteral("Thickness(m)"), this)),
      edtThickness_(new QLineEdit(this)),
      btnApply_(new QPushButton(QStringLiteral("Apply"), this)),
      btnRotate_(new QPushButton(QStringLiteral("Rotate"), this)) {
  setObjectName(QStringLiteral("frmSurfProp"));
  setWindowTitle(QStringLiteral("Surface properties"));
  cboSurface_->setObjectName(QStringLiteral("cboSurface"));
  auto* layout = new QFormLayout(this);
  layout->addRow(QStringLiteral("Surface nbr"), cboSurface_);
  for (int k = 0; k < 4; ++k) {
    cboCurve_[k] = new QComboBox(this);
    cboCurve_[k]->setObjectName(QStringLiteral("cboCurve%1").arg(k + 1));
    layout->addRow(QStringLiteral("Curve %1").arg(k + 1), cboCurve_[k]);
  }
  for (QSpinBox* edit : {edtRows_, edtColumns_}) edit->setRange(1, kMaxEdgeDivisions);
  edtRows_->setObjectName(QStringLiteral("edtRows"));
  edtColumns_->setObjectName(QStringLiteral("edtColumns"));
  layout->addRow(QStringLiteral("Rows"), edtRows_);
  layout->addRow(QStringLiteral("Columns"), edtColumns_);
  cboElement_->setObjectName(QStringLiteral("cboElement"));
  cboElement_->addItems(ElementKindNames());
  layout->addRow(QStringLiteral("Element"), cboElement_);
  chkThickness_->setObjectName(QStringLiteral("chkThickness"));
  edtThickness_->setObjectName(QStringLiteral("edtThickness"));
  layout->addRow(chkThickness_, edtThickness_);
  btnApply_->setObjectName(QStringLiteral("btnApply"));
  btnRotate_->setObjectName(QStringLiteral("btnRotate"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btnRotate_);
  buttons->addWidget(btnApply_);
  layout->addRow(buttons);

  connect(cboSurface_, &QComboBox::activated, this, [this](int index) {
    const auto& surfaces = doc_.Model().Surfaces;
    if (index >= 0 && index < static_cast<int>(surfaces.size()))
      SetSurface(surfaces[static_cast<std::size_t>(index)].get());
  });
  connect(cboElement_, &QComboBox::currentIndexChanged, this, &TfrmSurfProp::ElementChanged);
  connect(chkThickness_, &QCheckBox::toggled, this, &TfrmSurfProp::ThicknessChecked);
  connect(btnApply_, &QPushButton::clicked, this, &TfrmSurfProp::btnApplyClick);
  connect(btnRotate_, &QPushButton::clicked, this, &TfrmSurfProp::btnRotateClick);

  // Lists follow the model; the shown surface follows its own changes (Apply, undo).
  auto follow = [this](ObjectKind kind, const ObjectList& objects, bool structural) {
    if (kind != ObjectKind::Edge && kind != ObjectKind::Surface) return;
    if (structural || objects.contains(surface_) || kind == ObjectKind::Edge) Refresh();
  };
  connect(&doc_, &ProjectDocument::objectsAdded, this,
          [follow](ObjectKind k, const ObjectList& o) { follow(k, o, true); });
  connect(&doc_, &ProjectDocument::objectsRemoved, this,
          [follow](ObjectKind k, const ObjectList& o) { follow(k, o, true); });
  connect(&doc_, &ProjectDocument::objectsChanged, this,
          [follow](ObjectKind k, const ObjectList& o) { follow(k, o, false); });
  Refresh();
}

void TfrmSurfProp::SetSurface(TVemtoSurface* surface) {
  surface_ = surface;
  ShowSurface();
}

void TfrmSurfProp::Refresh() {
  const TVemtoFile& model = doc_.Model();
  if (IndexOf(model.Surfaces, surface_) < 0) surface_ = nullptr;
  filling_ = true;
  cboSurface_->clear();
  for (std::size_t i = 1; i <= model.Surfaces.size(); ++i) cboSurface_->addItem(QString::number(i));
  for (QComboBox* combo : cboCurve_) {
    combo->clear();
    for (std::size_t i = 1; i <= model.Edges.size(); ++i) combo->addItem(QString::number(i));
  }
  filling_ = false;
  ShowSurface();
}

void TfrmSurfProp::ShowSurface() {
  const TVemtoFile& model = doc_.Model();
  const bool on = surface_ != nullptr;
  filling_ = true;
  for (QWidget* w :
       std::initializer_list<QWidget*>{cboSurface_, edtRows_, edtColumns_, cboElement_,
                                       chkThickness_, edtThickness_, btnApply_, btnRotate_})
    w->setEnabled(on);
  for (QComboBox* combo : cboCurve_) combo->setEnabled(on);
  if (!on) {
    cboSurface_->setCurrentIndex(-1);
    for (QComboBox* combo : cboCurve_) combo->setCurrentIndex(-1);
    applied_.fill(-1);
    edtThickness_->clear();
    chkThickness_->setChecked(false);
    filling_ = false;
    return;
  }
  cboSurface_->setCurrentIndex(IndexOf(model.Surfaces, surface_));
  for (int k = 0; k < 4; ++k) {
    applied_[k] = IndexOf(model.Edges, surface_->GetEdge(k));
    cboCurve_[k]->setCurrentIndex(applied_[k]);
  }
  edtRows_->setValue(std::max(1, surface_->DivisionsV()));
  edtColumns_->setValue(std::max(1, surface_->DivisionsU()));
  cboElement_->setCurrentIndex(std::clamp<int>(surface_->ElementType, 0, 2));
  ElementChanged(cboElement_->currentIndex());
  const double t = surface_->Thickness;
  chkThickness_->setChecked(t >= 0.0);
  edtThickness_->setVisible(t >= 0.0);
  edtThickness_->setText(QString::fromStdString(FormatG(t)));
  filling_ = false;
}

void TfrmSurfProp::ElementChanged(int index) {
  if (index >= 1) edtRows_->setValue(1);
  if (index == 2) edtColumns_->setValue(1);
  if (surface_ == nullptr) return;
  edtRows_->setEnabled(index == 0);
  edtColumns_->setEnabled(index != 2);
}

void TfrmSurfProp::ThicknessChecked(bool checked) {
  if (filling_) return;
  edtThickness_->setVisible(checked);
  edtThickness_->setText(checked ? QStringLiteral("1") : QStringLiteral("-1"));
}

void TfrmSurfProp::btnRotateClick() {
  const int first = cboCurve_[0]->currentIndex();
  for (int k = 0; k < 3; ++k) cboCurve_[k]->setCurrentIndex(cboCurve_[k + 1]->currentIndex());
  cboCurve_[3]->setCurrentIndex(first);
}

void TfrmSurfProp::RestoreChoices() {
  for (int k = 0; k < 4; ++k) cboCurve_[k]->setCurrentIndex(applied_[k]);
}

TEdge* TfrmSurfProp::ChosenEdge(int k) const {
  const auto& edges = doc_.Model().Edges;
  const int i = cboCurve_[k]->currentIndex();
  return i >= 0 && i < static_cast<int>(edges.size()) ? edges[static_cast<std::size_t>(i)].get()
                                                      : nullptr;
}

void TfrmSurfProp::btnApplyClick() {
  if (surface_ == nullptr) return;
  TSurfaceEdit edit;
  for (int k = 0; k < 4; ++k) edit.Edges[k] = surface_->GetEdge(k);
  edit.ElementType = surface_->ElementType;
  edit.Thickness = surface_->Thickness;
  const auto thickness = ParseReal(edtThickness_->text().toStdString());
  if (thickness)
    edit.Thickness = StoredThickness(*thickness);
  else
    dialogs_.ShowMessage(
        this, QStringLiteral("Invalid thickness value given. Previous value not changed"));

  // The curves and what depends on them, unless they do not make a surface.
  std::array<int, 4> chosen{};
  for (int k = 0; k < 4; ++k) chosen[k] = cboCurve_[k]->currentIndex();
  QString problem;
  for (int k = 0; k < 4 && problem.isEmpty(); ++k)
    if (chosen[k] < 0 || chosen[k] == chosen[(k + 1) % 4])
      problem = QStringLiteral("Duplicate curves in topology!");
  QList<TEdge*> edges;
  for (int k = 0; k < 4; ++k) edges.push_back(ChosenEdge(k));
  if (problem.isEmpty() && !EdgesFormClosedChain(edges))
    problem = QStringLiteral("Curves must be entered in order.");
  std::optional<TDivisionPlan> plan;
  if (problem.isEmpty()) {
    const int element = cboElement_->currentIndex();
    const int rows = element >= 1 ? 1 : edtRows_->value();
    const int columns = element == 2 ? 1 : edtColumns_->value();
    const std::array<TEdge*, 4> taken{edges[0], edges[1], edges[2], edges[3]};
    // The surface as it will be, in place of what it is now.
    plan = PlanDivisions(doc_.Model(), SurfaceDivisions(taken, columns, rows), &taken, surface_);
    if (!plan) {
      problem = kDivisionConflictMessage;
    } else {
      edit.Edges = taken;
      edit.Divisions = *plan;
      edit.ElementType = static_cast<std::uint8_t>(element);
    }
  }
  if (!problem.isEmpty()) {
    dialogs_.ShowMessage(this, problem);
    RestoreChoices();
  }
  const bool changes = edit.Thickness != surface_->Thickness || plan.has_value();
  if (changes) doc_.Push(new SurfacePropertiesCommand(doc_, surface_, edit));
  if (problem.isEmpty()) applied_ = chosen;
}

}  // namespace vemto
