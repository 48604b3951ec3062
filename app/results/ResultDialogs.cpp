#include "ResultDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <charconv>
#include <cmath>

#include <fmt/format.h>

namespace vemto {

namespace {

bool ReadNumber(const QLineEdit* edit, double& value) {
  const std::string text = edit->text().trimmed().toStdString();
  double v = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

QDialogButtonBox* OkCancel(QDialog* dialog, QLayout* layout) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  layout->addWidget(buttons);
  return buttons;
}

QComboBox* Combo(QWidget* parent, const char* name, std::initializer_list<const char*> items) {
  auto* box = new QComboBox(parent);
  box->setObjectName(QString::fromLatin1(name));
  for (const char* item : items) box->addItem(QString::fromUtf8(item));
  return box;
}

/// A field with an "Auto" toggle: pressed means −1 (automatic) and disables the field.
void LoadAuto(QLineEdit* edit, QCheckBox* toggle, double value) {
  const bool automatic = value == -1.0;  // −1 is the stored marker, compared exactly
  toggle->setChecked(automatic);
  edit->setEnabled(!automatic);
  if (!automatic) edit->setText(FormatG(value));
}

double StoreAuto(const QLineEdit* edit, const QCheckBox* toggle, double old) {
  if (toggle->isChecked()) return -1.0;
  double v = old;
  return ReadNumber(edit, v) ? v : old;
}

QCheckBox* AutoToggle(QWidget* parent, QLineEdit* edit, const char* name) {
  auto* toggle = new QCheckBox(QStringLiteral("Auto"), parent);
  toggle->setObjectName(QString::fromLatin1(name));
  QObject::connect(toggle, &QCheckBox::toggled, edit, [edit](bool on) { edit->setEnabled(!on); });
  return toggle;
}

}  // namespace

QString FormatG(double value) {
  return QString::fromStdString(fmt::format("{:.15g}", value));
}

void TLimitFields::Build(QWidget* parent, QFormLayout* form, const QString& maxLabel,
                         const QString& minLabel) {
  edtMax = new QLineEdit(QStringLiteral("40"), parent);
  edtMax->setObjectName(QStringLiteral("edtMax"));
  edtMin = new QLineEdit(QStringLiteral("0"), parent);
  edtMin->setObjectName(QStringLiteral("edtMin"));
  chkMaxAuto = AutoToggle(parent, edtMax, "chkMaxAuto");
  chkMinAuto = AutoToggle(parent, edtMin, "chkMinAuto");
  for (auto [label, edit, toggle] :
       {std::tuple{maxLabel, edtMax, chkMaxAuto}, std::tuple{minLabel, edtMin, chkMinAuto}}) {
    auto* row = new QHBoxLayout;
    row->addWidget(edit);
    row->addWidget(toggle);
    form->addRow(label, row);
  }
}

void TLimitFields::Load(double upper, double lower) {
  LoadAuto(edtMax, chkMaxAuto, upper);
  LoadAuto(edtMin, chkMinAuto, lower);
}

void TLimitFields::Store(double& upper, double& lower) const {
  upper = StoreAuto(edtMax, chkMaxAuto, upper);
  lower = StoreAuto(edtMin, chkMinAuto, lower);
}

TfrmLimitDistr::TfrmLimitDistr(QWidget* parent, const QString& caption, const QString& maxLabel,
                               const QString& minLabel, double TPostProperties::*upper,
                               double TPostProperties::*lower)
    : TfrmDiagramProperties(parent), upper_(upper), lower_(lower) {
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  limits.Build(this, form, maxLabel, minLabel);
  layout->addLayout(form);
  OkCancel(this, layout);
}

void TfrmLimitDistr::Load(const TPostProperties& p, bool) {
  limits.Load(p.*upper_, p.*lower_);
}

void TfrmLimitDistr::Store(TPostProperties& p) const {
  limits.Store(p.*upper_, p.*lower_);
}

TfrmTempDistr::TfrmTempDistr(QWidget* parent) : TfrmDiagramProperties(parent) {
  setWindowTitle(QStringLiteral("Temperature"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  limits.Build(this, form, QStringLiteral("T max (C)"), QStringLiteral("T min (C)"));
  cboPlotType = Combo(this, "cboPlotType", {"Color distribution", "Contour plot"});
  form->addRow(QStringLiteral("Distribution diagram"), cboPlotType);
  edtContourlines = new QLineEdit(this);
  edtContourlines->setObjectName(QStringLiteral("edtContourlines"));
  edtContourlines->setValidator(new QIntValidator(1, 200, edtContourlines));
  form->addRow(QStringLiteral("Contour lines"), edtContourlines);
  cboHistType =
      Combo(this, "cboHistType",
            {"Temperature", "Mean temperature", "Maximum temperature", "Minimum temperature"});
  form->addRow(QStringLiteral("History diagram"), cboHistType);
  connect(cboPlotType, &QComboBox::currentIndexChanged, this,
          [this](int i) { edtContourlines->setEnabled(i == 1); });
  layout->addLayout(form);
  OkCancel(this, layout);
}

void TfrmTempDistr::Load(const TPostProperties& p, bool history) {
  limits.Load(p.TempUpper, p.TempLower);
  cboPlotType->setCurrentIndex(p.TempDistrType == 1 ? 0 : 1);
  edtContourlines->setText(QString::number(p.TempLines));
  edtContourlines->setEnabled(cboPlotType->currentIndex() == 1);
  cboHistType->setCurrentIndex(std::clamp(p.TempType, 1, 4) - 1);
  cboHistType->setEnabled(history);
  cboPlotType->setEnabled(!history);
}

void TfrmTempDistr::Store(TPostProperties& p) const {
  limits.Store(p.TempUpper, p.TempLower);
  p.TempDistrType = cboPlotType->currentIndex() + 1;
  bool ok = false;
  const int lines = edtContourlines->text().toInt(&ok);
  if (ok && lines > 0) p.TempLines = lines;
  p.TempType = cboHistType->currentIndex() + 1;
}

TfrmPipeHist::TfrmPipeHist(QWidget* parent, int pipes) : TfrmDiagramProperties(parent) {
  setWindowTitle(QStringLiteral("Pipe "));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  cboPlotType =
      Combo(this, "cboPlotType", {"Input temperature", "Output temperature", "Pipe flow"});
  form->addRow(QStringLiteral("Diagramtype"), cboPlotType);
  cboPipeNo = new QComboBox(this);
  cboPipeNo->setObjectName(QStringLiteral("cboPipeNo"));
  for (int i = 1; i <= pipes; ++i) cboPipeNo->addItem(QString::number(i));
  form->addRow(QStringLiteral("Pipe no."), cboPipeNo);
  layout->addLayout(form);
  OkCancel(this, layout);
}

void TfrmPipeHist::Load(const TPostProperties& p, bool) {
  cboPlotType->setCurrentIndex(std::clamp(p.PipeType, 1, 3) - 1);
  cboPipeNo->setCurrentIndex(std::clamp(p.PipeNo, 1, std::max(1, cboPipeNo->count())) - 1);
}

void TfrmPipeHist::Store(TPostProperties& p) const {
  p.PipeType = cboPlotType->currentIndex() + 1;
  if (cboPipeNo->currentIndex() >= 0) p.PipeNo = cboPipeNo->currentIndex() + 1;
}

TfrmScaleDistr::TfrmScaleDistr(QWidget* parent, bool stress)
    : TfrmDiagramProperties(parent), stress_(stress) {
  setWindowTitle(stress ? QStringLiteral("Stress") : QStringLiteral("Displacement"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  cboPlotType = stress
                    ? Combo(this, "cboPlotType", {"Maximum principal stress", "Stresses in plane"})
                    : Combo(this, "cboPlotType", {"X-displacements", "Y-displacements"});
  form->addRow(QStringLiteral("Diagramtype"), cboPlotType);
  if (stress) {
    cboStressComp =
        Combo(this, "cboStressComp",
              {"Normal stress in X-direction (sig,x)", "Normal stress in Y-direction (sig,x)",
               "Shear stress (tau)", "Normal stress in Z-direction (sig,z)",
               "Maximum principal stress (sig,1)", "Minimum principal stress (sig,2))"});
    form->addRow(QStringLiteral("Stress component"), cboStressComp);
  }
  edtScale = new QLineEdit(this);
  edtScale->setObjectName(QStringLiteral("edtScale"));
  chkScaleAuto = AutoToggle(this, edtScale, "chkScaleAuto");
  auto* row = new QHBoxLayout;
  row->addWidget(edtScale);
  row->addWidget(chkScaleAuto);
  form->addRow(stress ? QStringLiteral("Scalef.") : QStringLiteral("Scale"), row);
  layout->addLayout(form);
  OkCancel(this, layout);
}

void TfrmScaleDistr::Load(const TPostProperties& p, bool history) {
  if (stress_) {
    cboPlotType->setCurrentIndex(std::clamp(p.StressTypeDistr, 1, 2) - 1);
    cboStressComp->setCurrentIndex(std::clamp(p.StressComp, 1, 6) - 1);
    LoadAuto(edtScale, chkScaleAuto, p.StressScale);
    cboPlotType->setEnabled(!history);
    cboStressComp->setEnabled(history);
  } else {
    cboPlotType->setCurrentIndex(std::clamp(p.DisplType, 1, 2) - 1);
    LoadAuto(edtScale, chkScaleAuto, p.DisplScale);
    cboPlotType->setEnabled(history);
  }
  chkScaleAuto->setEnabled(stress_ ? !history : !history);
  edtScale->setEnabled(!history && !chkScaleAuto->isChecked());
}

void TfrmScaleDistr::Store(TPostProperties& p) const {
  if (stress_) {
    p.StressTypeDistr = cboPlotType->currentIndex() + 1;
    p.StressComp = cboStressComp->currentIndex() + 1;
    p.StressScale = StoreAuto(edtScale, chkScaleAuto, p.StressScale);
  } else {
    p.DisplType = cboPlotType->currentIndex() + 1;
    p.DisplScale = StoreAuto(edtScale, chkScaleAuto, p.DisplScale);
  }
}

TfrmReactionProp::TfrmReactionProp(QWidget* parent) : TfrmDiagramProperties(parent) {
  setWindowTitle(QStringLiteral("Reactions"));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  cboPlotType = Combo(this, "cboPlotType", {"X-reactions", "Y-reactions"});
  form->addRow(QStringLiteral("Diagramtype"), cboPlotType);
  layout->addLayout(form);
  OkCancel(this, layout);
}

void TfrmReactionProp::Load(const TPostProperties& p, bool) {
  cboPlotType->setCurrentIndex(std::clamp(p.ReacType, 1, 2) - 1);
}

void TfrmReactionProp::Store(TPostProperties& p) const {
  p.ReacType = cboPlotType->currentIndex() + 1;
}

TfrmMarker::TfrmMarker(QWidget* parent) : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QStringLiteral("Marker"));
  setModal(false);
  auto* grid = new QGridLayout(this);
  QLineEdit** edits[] = {&edtX1, &edtY1, &edtX2, &edtY2};
  const char* labels[] = {"X1 (m)", "Y1 (m)", "X2 (m)", "Y2 (m)"};
  const char* names[] = {"edtX1", "edtY1", "edtX2", "edtY2"};
  for (int i = 0; i < 4; ++i) {
    *edits[i] = new QLineEdit(this);
    (*edits[i])->setObjectName(QString::fromLatin1(names[i]));
    grid->addWidget(new QLabel(QString::fromLatin1(labels[i]), this), i, 0);
    grid->addWidget(*edits[i], i, 1);
    connect(*edits[i], &QLineEdit::editingFinished, this, [this] { Apply(); });
  }
  const struct {
    const char* name;
    const char* text;
    double dx, dy;
    int row, column;
  } arrows[] = {{"btnUp", "↑", 0, 0.1, 4, 1},
                {"btnDown", "↓", 0, -0.1, 6, 1},
                {"btnLeft", "←", -0.1, 0, 5, 0},
                {"btnRight", "→", 0.1, 0, 5, 2}};
  for (const auto& a : arrows) {
    auto* button = new QPushButton(QString::fromUtf8(a.text), this);
    button->setObjectName(QString::fromLatin1(a.name));
    const double dx = a.dx, dy = a.dy;
    connect(button, &QPushButton::clicked, this, [this, dx, dy] { Move(dx, dy); });
    grid->addWidget(button, a.row, a.column);
  }
  auto* apply = new QPushButton(QStringLiteral("Apply"), this);
  apply->setObjectName(QStringLiteral("btnApply"));
  connect(apply, &QPushButton::clicked, this, [this] { Apply(); });
  grid->addWidget(apply, 7, 0, 1, 3);
  SetPoints(1, 1, 2, 2);
}

void TfrmMarker::SetPoints(double x1, double y1, double x2, double y2) {
  x_[0] = x1, y_[0] = y1, x_[1] = x2, y_[1] = y2;
  edtX1->setText(FormatG(x1));
  edtY1->setText(FormatG(y1));
  edtX2->setText(FormatG(x2));
  edtY2->setText(FormatG(y2));
}

void TfrmMarker::SetTwoPoints(bool two) {
  edtX2->setEnabled(two);
  edtY2->setEnabled(two);
}

bool TfrmMarker::Apply() {
  double v[4] = {};
  const QLineEdit* edits[] = {edtX1, edtY1, edtX2, edtY2};
  for (int i = 0; i < 4; ++i)
    if (!ReadNumber(edits[i], v[i])) return false;
  x_[0] = v[0], y_[0] = v[1], x_[1] = v[2], y_[1] = v[3];
  if (OnApply) OnApply(v[0], v[1], v[2], v[3]);
  return true;
}

void TfrmMarker::Move(double dx, double dy) {
  SetPoints(x_[0] + dx, y_[0] + dy, x_[1] + dx, y_[1] + dy);
  Apply();
}

void THistoryTableModel::SetHistory(const std::vector<double>& seconds,
                                    const std::vector<double>& values, double factor,
                                    const QString& header) {
  beginResetModel();
  hours_.clear();
  values_.clear();
  for (std::size_t i = 0; i < seconds.size() && i < values.size(); ++i) {
    hours_.push_back(seconds[i] / 3600.0);
    values_.push_back(values[i] * factor);
  }
  header_ = header;
  endResetModel();
}

int THistoryTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(hours_.size());
}

int THistoryTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : 2;
}

QVariant THistoryTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || role != Qt::DisplayRole) return {};
  const double v = index.column() == 0 ? hours_[index.row()] : values_[index.row()];
  return QString::fromStdString(fmt::format("{:10.4g}", v));
}

QVariant THistoryTableModel::headerData(int section, Qt::Orientation o, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (o == Qt::Vertical) return section + 1;
  return section == 0 ? QStringLiteral("Time (h)") : header_;
}

QString THistoryTableModel::Text(bool header) const {
  QString text;
  if (header) text += QStringLiteral("Time (h)\t") + header_ + QStringLiteral("\r\n");
  for (std::size_t i = 0; i < hours_.size(); ++i)
    text += FormatG(hours_[i]) + QLatin1Char('\t') + FormatG(values_[i]) + QStringLiteral("\r\n");
  return text;
}

TfrmResultTable::TfrmResultTable(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint), model(this) {
  setWindowTitle(QStringLiteral("Numeric result"));
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  auto* copy = new QPushButton(QStringLiteral("Copy"), this);
  copy->setObjectName(QStringLiteral("btnCopy"));
  copy->setToolTip(QStringLiteral("Copy"));
  connect(copy, &QPushButton::clicked, this, &TfrmResultTable::btnCopyClick);
  chkHeader = new QCheckBox(QStringLiteral("Include headers"), this);
  chkHeader->setObjectName(QStringLiteral("chkHeader"));
  chkHeader->setChecked(true);
  row->addWidget(copy);
  row->addWidget(chkHeader);
  row->addStretch();
  layout->addLayout(row);
  grid = new QTableView(this);
  grid->setModel(&model);
  grid->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(grid);
  resize(300, 420);
}

void TfrmResultTable::btnCopyClick() {
  QApplication::clipboard()->setText(model.Text(chkHeader->isChecked()));
}

}  // namespace vemto
