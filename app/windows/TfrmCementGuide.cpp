#include "TfrmCementGuide.h"

#include <QApplication>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QScatterSeries>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "ComputationLibrary.h"
#include "PropertyFiles.h"

namespace vemto {

namespace {

constexpr double kHour = 3600.0;

QString Number(double v) {
  return QString::number(v, 'g', 15);
}

/// The number in `edit` (C locale, surrounding blanks allowed), or none.
std::optional<double> ReadNumber(const QLineEdit* edit) {
  const QByteArray text = edit->text().trimmed().toLatin1();
  const char* begin = text.constData();
  const char* end = begin + text.size();
  if (begin != end && *begin == '+') ++begin;
  double value = 0.0;
  const auto [ptr, ec] = std::from_chars(begin, end, value);
  if (text.isEmpty() || ec != std::errc() || ptr != end || !std::isfinite(value)) return {};
  return value;
}

/// The picture beside the pages: a heat development curve over a calorimeter box.
QPixmap GuidePicture() {
  constexpr int kWidth = 160, kHeight = 480;
  QPixmap pixmap(kWidth, kHeight);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, kHeight);
  sky.setColorAt(0, QColor(40, 70, 120));
  sky.setColorAt(1, QColor(150, 180, 210));
  p.fillRect(pixmap.rect(), sky);
  p.setPen(QPen(QColor(235, 235, 235), 1.5));
  p.drawLine(20, 50, 20, 260);
  p.drawLine(20, 260, 145, 260);
  QPainterPath curve;
  for (int i = 0; i <= 100; ++i) {
    const double te = 0.3 + i * 0.6;  // maturity, h
    const double alpha = std::exp(-1.6 * std::pow(std::log1p(te / 10.0), -1.8));
    const QPointF point(20 + 1.2 * i, 260 - 200 * alpha);
    i == 0 ? curve.moveTo(point) : curve.lineTo(point);
  }
  p.setPen(QPen(QColor(255, 190, 60), 3));
  p.drawPath(curve);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(170, 170, 165));
  p.drawRect(30, 320, 100, 90);
  p.setBrush(QColor(120, 120, 115));
  p.drawRect(42, 332, 76, 66);
  p.setPen(QColor(245, 245, 245));
  p.drawText(QRect(0, 430, kWidth, 20), Qt::AlignCenter, QStringLiteral("Q(te) = Wc0 · α(te)"));
  return pixmap;
}

/// The layout of an input file, shown as a hint beside the file names.
QString LayoutHint(bool heatRecord) {
  return QStringLiteral(
             "Each file holds one measurement per line: %1. Columns are separated by "
             "blanks, tabs, commas or semicolons; lines starting with # are ignored.")
      .arg(heatRecord ? QStringLiteral("maturity (h), heat developed (J/kg of cement)")
                      : QStringLiteral("time (h), concrete temperature (°C), surrounding "
                                       "temperature (°C)"));
}

QLabel* Hint(const QString& text) {
  auto* label = new QLabel(text);
  label->setWordWrap(true);
  return label;
}

}  // namespace

TfrmCementGuide::TfrmCementGuide(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmCementGuide"));
  setWindowTitle(QStringLiteral("Create heat development parameters"));
  CementFile = ProgramDirectory() / kCementFileName;
  LibraryFolder = ProgramFolder();
  AskText = [this](const QString& title, const QString& prompt,
                   const QString& text) -> std::optional<QString> {
    bool ok = false;
    const QString answer = QInputDialog::getText(this, title, prompt, QLineEdit::Normal, text, &ok);
    return ok ? std::optional<QString>(answer) : std::nullopt;
  };
  SelectInputFile = [this] {
    return QFileDialog::getOpenFileName(this, QStringLiteral("Select input file"));
  };
  ShowMessage = [this](const QString& text) {
    QMessageBox::information(this, windowTitle(), text);
  };

  pages_ = new QStackedWidget;
  pages_->addWidget(CreateTypePage());
  pages_->addWidget(CreateParameterPage());
  pages_->addWidget(CreatePropertyPage());
  pages_->addWidget(CreateFilesPage());
  pages_->addWidget(CreateFilePage());
  pages_->addWidget(CreateResultPage());
  pages_->addWidget(CreateHeatLossPage());

  auto* picture = new QLabel;
  picture->setPixmap(GuidePicture());
  picture->setAlignment(Qt::AlignTop);
  auto* body = new QHBoxLayout;
  body->addWidget(picture);
  body->addWidget(pages_, 1);

  btnBack_ = NewButton("btnBack", QStringLiteral("< Back"), &TfrmCementGuide::btnBackClick);
  btnNext_ = NewButton("btnNext", QStringLiteral("Next >"), &TfrmCementGuide::btnNextClick);
  btnNext_->setDefault(true);
  QPushButton* btnCancel = NewButton("btnCancel", QStringLiteral("Cancel"), &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnBack_);
  buttons->addWidget(btnNext_);
  buttons->addSpacing(12);
  buttons->addWidget(btnCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(body, 1);
  layout->addLayout(buttons);
  resize(980, 560);
  ShowStep();
}

void TfrmCementGuide::Open(QWidget* owner) {
  auto* guide = owner->findChild<TfrmCementGuide*>(QString(), Qt::FindDirectChildrenOnly);
  if (guide == nullptr) guide = new TfrmCementGuide(owner);
  guide->Restart();
  guide->exec();
}

template <class Handler>
QPushButton* TfrmCementGuide::NewButton(const char* name, const QString& caption, Handler handler) {
  auto* button = new QPushButton(caption);
  button->setObjectName(QString::fromLatin1(name));
  connect(button, &QPushButton::clicked, this, handler);
  return button;
}

QWidget* TfrmCementGuide::NewPage(const QString& title, QWidget* body) {
  auto* page = new QWidget;
  auto* heading = new QLabel(title);
  QFont font = heading->font();
  font.setBold(true);
  font.setPointSizeF(font.pointSizeF() * 1.25);
  heading->setFont(font);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(heading);
  layout->addWidget(body, 1);
  return page;
}

QWidget* TfrmCementGuide::CreateTypePage() {
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  typeGroup_ = new QButtonGroup(this);
  const char* names[] = {"rbTimeTemp", "rbMaturityHeat", "rbHeatLoss"};
  const QString captions[] = {QStringLiteral("Heat development parameters (Time-Temp.)"),
                              QStringLiteral("Heat development parameters (Maturity-Heat)"),
                              QStringLiteral("Heat loss parameter from curing box")};
  for (int i = 0; i < 3; ++i) {
    auto* rb = new QRadioButton(captions[i]);
    rb->setObjectName(QString::fromLatin1(names[i]));
    typeGroup_->addButton(rb, i + 1);
    layout->addWidget(rb);
  }
  typeGroup_->button(1)->setChecked(true);
  layout->addStretch();
  connect(typeGroup_, &QButtonGroup::idClicked, this, [this] { UpdateFieldVisibility(); });
  return NewPage(QStringLiteral("Calculation type"), body);
}

QWidget* TfrmCementGuide::CreateParameterPage() {
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  layout->addWidget(new QLabel(QStringLiteral("Parameters to be calculated")));
  setGroup_ = new QButtonGroup(this);
  const QString captions[] = {QStringLiteral("Lambda-1, Kappa-1"),
                              QStringLiteral("Lambda-1, Kappa-1, t-1"),
                              QStringLiteral("Lambda-1, Kappa-1, t-1, Wc0")};
  for (int i = 0; i < 3; ++i) {
    auto* rb = new QRadioButton(captions[i]);
    rb->setObjectName(QStringLiteral("rbSet%1").arg(i + 1));
    setGroup_->addButton(rb, i + 1);
    layout->addWidget(rb);
  }
  setGroup_->button(1)->setChecked(true);
  layout->addStretch();
  connect(setGroup_, &QButtonGroup::idClicked, this, [this] { UpdateFieldVisibility(); });
  return NewPage(QStringLiteral("Parameters"), body);
}

QLineEdit* TfrmCementGuide::AddField(QFormLayout* form, const char* name, const QString& label,
                                     const QString& value) {
  auto* edit = new QLineEdit(value);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setAccessibleName(label);
  form->addRow(label, edit);
  return edit;
}

QWidget* TfrmCementGuide::CreatePropertyPage() {
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  propertyForm_ = new QFormLayout;
  edtDensity_ =
      AddField(propertyForm_, "edtDensity", QStringLiteral("Mass density of concrete (kg/m3)"),
               QStringLiteral("2350"));
  edtSpecificHeat_ =
      AddField(propertyForm_, "edtSpecificHeat",
               QStringLiteral("Specific heat of concrete (J/kgK)"), QStringLiteral("1000"));
  edtCement_ = AddField(propertyForm_, "edtCement", QStringLiteral("Cement content (kg/m3)"),
                        QStringLiteral("300"));
  edtHeatLoss_ =
      AddField(propertyForm_, "edtHeatLoss", QStringLiteral("Heat loss coefficient (s-1)"),
               QStringLiteral("4.7572e-6"));
  edtTheta0_ =
      AddField(propertyForm_, "edtTheta0", QStringLiteral("Activation energy param.Theta-0 (K)"),
               QStringLiteral("4600"));
  edtKappa0_ =
      AddField(propertyForm_, "edtKappa0", QStringLiteral("Activation energy param. Kappa-0 ()"),
               QStringLiteral("0.39"));
  edtWc0_ = AddField(propertyForm_, "edtWc0", QStringLiteral("Total energy Wc0 (J/kg)"),
                     QStringLiteral("500000"));
  edtT1_ = AddField(propertyForm_, "edtT1", QStringLiteral("t-1 (h)"), QStringLiteral("5.52"));
  layout->addLayout(propertyForm_);
  noPropertiesNote_ =
      Hint(QStringLiteral("No concrete properties are needed: all four "
                          "parameters come from the heat record."));
  layout->addWidget(noPropertiesNote_);
  layout->addStretch();
  return NewPage(QStringLiteral("Concrete properties"), body);
}

QWidget* TfrmCementGuide::CreateFilesPage() {
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  lbFiles_ = new QListWidget;
  lbFiles_->setObjectName(QStringLiteral("lbFiles"));
  QPushButton* add =
      NewButton("btnAddFile", QStringLiteral("Add..."), &TfrmCementGuide::btnAddFileClick);
  QPushButton* remove =
      NewButton("btnRemoveFile", QStringLiteral("Remove"), &TfrmCementGuide::btnRemoveFileClick);
  auto* row = new QHBoxLayout;
  row->addWidget(lbFiles_, 1);
  auto* side = new QVBoxLayout;
  side->addWidget(add);
  side->addWidget(remove);
  side->addStretch();
  row->addLayout(side);
  layout->addWidget(new QLabel(QStringLiteral("Measurement files (up to three)")));
  layout->addLayout(row);
  layout->addWidget(Hint(LayoutHint(false)));
  return NewPage(QStringLiteral("Input files"), body);
}

QWidget* TfrmCementGuide::CreateFilePage() {
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  edtInputFile_ = new QLineEdit;
  edtInputFile_->setObjectName(QStringLiteral("edtInputFile"));
  QPushButton* browse =
      NewButton("btnBrowse", QStringLiteral("Browse..."), &TfrmCementGuide::btnBrowseClick);
  auto* row = new QHBoxLayout;
  row->addWidget(edtInputFile_, 1);
  row->addWidget(browse);
  layout->addWidget(new QLabel(QStringLiteral("Measurement file")));
  layout->addLayout(row);
  fileHint_ = Hint(QString());
  layout->addWidget(fileHint_);
  layout->addStretch();
  return NewPage(QStringLiteral("Input file"), body);
}

QLineEdit* TfrmCementGuide::AddResult(QFormLayout* form, const char* name, const QString& label) {
  QLineEdit* edit = AddField(form, name, label, QString());
  edit->setReadOnly(true);
  edit->setMinimumWidth(
      edit->fontMetrics().horizontalAdvance(QStringLiteral("-0.00000000000000e-000")));
  return edit;
}

namespace {

QChartView* NewChart(const char* name) {
  auto* view = new QChartView(new QChart);
  view->setObjectName(QString::fromLatin1(name));
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(300, 220);
  view->chart()->legend()->setAlignment(Qt::AlignBottom);
  view->chart()->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  view->chart()->setMargins(QMargins(2, 2, 2, 2));
  return view;
}

QLabel* StatusLabel(const char* name) {
  QLabel* label = Hint(QString());
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

QWidget* TfrmCementGuide::CreateResultPage() {
  auto* body = new QWidget;
  auto* layout = new QHBoxLayout(body);
  auto* left = new QVBoxLayout;
  auto* form = new QFormLayout;
  const char* names[] = {"edtResWc0",    "edtResLambda1", "edtResT1",
                         "edtResKappa1", "edtResTheta0",  "edtResKappa0"};
  const QString labels[] = {QStringLiteral("Wc0 (J/kg)"),  QStringLiteral("Lambda-1 ()"),
                            QStringLiteral("t-1 (h)"),     QStringLiteral("Kappa-1"),
                            QStringLiteral("Theta-0 (K)"), QStringLiteral("Kappa-0 ()")};
  for (std::size_t i = 0; i < results_.size(); ++i)
    results_[i] = AddResult(form, names[i], labels[i]);
  left->addLayout(form);
  btnAddToCempropt_ = NewButton("btnAddToCempropt", QStringLiteral("Add to CEMPROPT file"),
                                &TfrmCementGuide::btnAddToCemproptClick);
  left->addWidget(btnAddToCempropt_);
  lblResultStatus_ = StatusLabel("lblResultStatus");
  left->addWidget(lblResultStatus_);
  left->addStretch();
  layout->addLayout(left);
  heatChart_ = NewChart("chtHeat");
  layout->addWidget(heatChart_, 1);
  return NewPage(QStringLiteral("Heat development parameters"), body);
}

QWidget* TfrmCementGuide::CreateHeatLossPage() {
  auto* body = new QWidget;
  auto* layout = new QHBoxLayout(body);
  auto* left = new QVBoxLayout;
  auto* form = new QFormLayout;
  edtResHeatLoss_ =
      AddResult(form, "edtResHeatLoss", QStringLiteral("Heat loss coefficient k (s-1)"));
  left->addLayout(form);
  lblHeatLossStatus_ = StatusLabel("lblHeatLossStatus");
  left->addWidget(lblHeatLossStatus_);
  left->addStretch();
  layout->addLayout(left);
  lossChart_ = NewChart("chtHeatLoss");
  layout->addWidget(lossChart_, 1);
  return NewPage(QStringLiteral("Heat loss"), body);
}

int TfrmCementGuide::CalculationType() const {
  return typeGroup_->checkedId();
}
int TfrmCementGuide::ParameterSet() const {
  return setGroup_->checkedId();
}

std::vector<int> TfrmCementGuide::Sequence() const {
  switch (CalculationType()) {
    case 2:
      return {0, 1, 2, 4, 5};
    case 3:
      return {0, 2, 4, 6};
    default:
      return {0, 1, 2, 3, 5};
  }
}

TGuidePage TfrmCementGuide::CurrentPage() const {
  return static_cast<TGuidePage>(pages_->currentIndex());
}

void TfrmCementGuide::Restart() {
  step_ = 0;
  ShowStep();
}

void TfrmCementGuide::UpdateFieldVisibility() {
  const int type = CalculationType(), set = ParameterSet();
  const bool heat = type == 1 || type == 2;
  const std::pair<QLineEdit*, bool> rows[] = {{edtDensity_, type == 1 || type == 3},
                                              {edtSpecificHeat_, type == 1 || type == 3},
                                              {edtCement_, type == 1},
                                              {edtHeatLoss_, type == 1},
                                              {edtTheta0_, type == 1},
                                              {edtKappa0_, type == 1},
                                              {edtWc0_, heat && set <= 2},
                                              {edtT1_, heat && set == 1}};
  bool any = false;
  for (const auto& [edit, shown] : rows) {
    propertyForm_->setRowVisible(edit, shown);
    any = any || shown;
  }
  noPropertiesNote_->setVisible(!any);
  fileHint_->setText(LayoutHint(type == 2));
}

void TfrmCementGuide::ShowStep() {
  const std::vector<int> sequence = Sequence();
  step_ = std::clamp(step_, 0, static_cast<int>(sequence.size()) - 1);
  UpdateFieldVisibility();
  pages_->setCurrentIndex(sequence[static_cast<std::size_t>(step_)]);
  btnBack_->setEnabled(step_ > 0);
  const bool last = step_ + 1 == static_cast<int>(sequence.size());
  btnNext_->setEnabled(!last);
  if (last) RunFit();
}

void TfrmCementGuide::btnNextClick() {
  if (step_ + 1 < static_cast<int>(Sequence().size())) ++step_;
  ShowStep();
}

void TfrmCementGuide::btnBackClick() {
  if (step_ > 0) --step_;
  ShowStep();
}

void TfrmCementGuide::btnAddFileClick() {
  if (lbFiles_->count() >= kHeatFitMaxFiles) return;
  const QString name = SelectInputFile();
  if (!name.isEmpty()) lbFiles_->addItem(name);
}

void TfrmCementGuide::btnRemoveFileClick() {
  delete lbFiles_->currentItem();
}

void TfrmCementGuide::btnBrowseClick() {
  const QString name = SelectInputFile();
  if (!name.isEmpty()) edtInputFile_->setText(name);
}

void TfrmCementGuide::RunFit() {
  THeatFitInput in;
  in.Type = CalculationType();
  in.Set = ParameterSet();
  const std::pair<QLineEdit*, double*> fields[] = {
      {edtDensity_, &in.Density}, {edtSpecificHeat_, &in.SpecificHeat},
      {edtCement_, &in.Cement},   {edtHeatLoss_, &in.HeatLoss},
      {edtTheta0_, &in.Theta0},   {edtKappa0_, &in.Kappa0},
      {edtWc0_, &in.Wc0},         {edtT1_, &in.T1}};
  UpdateFieldVisibility();
  for (const auto& [edit, value] : fields) {
    const std::optional<double> v = ReadNumber(edit);
    if (!v && !propertyForm_->isRowVisible(edit)) continue;  // hidden: its default serves
    if (!v) {
      ShowFailure(QStringLiteral("\"%1\" does not hold a number.").arg(edit->accessibleName()));
      return;
    }
    *value = *v;
  }
  in.T1 *= kHour;
  if (in.Type == 1) {
    for (int i = 0; i < lbFiles_->count(); ++i)
      in.Files.push_back(lbFiles_->item(i)->text().toStdString());
    if (in.Files.empty()) {
      ShowFailure(QStringLiteral("Add at least one input file."));
      return;
    }
  } else {
    const std::string file = edtInputFile_->text().toStdString();
    std::error_code ec;
    if (file.empty() || !std::filesystem::is_regular_file(file, ec)) {
      ShowFailure(
          file.empty()
              ? QStringLiteral("Choose an input file.")
              : QStringLiteral("The input file \"%1\" does not exist.").arg(edtInputFile_->text()));
      return;
    }
    in.Files.push_back(file);
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  THeatFitResult r = RunHeatFit(in, LibraryFolder);
  QApplication::restoreOverrideCursor();
  lastFit_ = r;
  if (!r.Succeeded) {
    ShowFailure(QString::fromStdString(r.Error));
    return;
  }
  ShowResult(r);
}

void TfrmCementGuide::ShowFailure(const QString& reason) {
  const QString text = QStringLiteral("No values were calculated: %1").arg(reason);
  for (QLabel* label : {lblResultStatus_, lblHeatLossStatus_}) {
    label->setText(text);
    label->setStyleSheet(QStringLiteral("color: #b00000;"));
  }
}

void TfrmCementGuide::ShowResult(const THeatFitResult& r) {
  const bool heatLoss = CalculationType() == 3;
  if (heatLoss) {
    edtResHeatLoss_->setText(Number(r.HeatLoss));
  } else {
    const double values[] = {r.Wc0, r.Lambda1, r.T1 / kHour, r.Kappa1, r.Theta0, r.Kappa0};
    for (std::size_t i = 0; i < results_.size(); ++i) results_[i]->setText(Number(values[i]));
    shownValues_ = CementFit{r.Wc0, r.Lambda1, r.T1, r.Kappa1, r.Theta0, r.Kappa0};
  }
  const bool temperatures = CalculationType() != 2;
  const QString text = QStringLiteral("Fitted: root mean square deviation %1 %2.")
                           .arg(QString::number(r.Rms, 'g', 3),
                                temperatures ? QStringLiteral("°C") : QStringLiteral("J/kg"));
  for (QLabel* label : {lblResultStatus_, lblHeatLossStatus_}) {
    label->setText(text);
    label->setStyleSheet(QString());
  }

  QChart* chart = (heatLoss ? lossChart_ : heatChart_)->chart();
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) chart->removeAxis(axis);
  auto* x = new QValueAxis;
  x->setTitleText(temperatures ? QStringLiteral("Time (h)") : QStringLiteral("Maturity (h)"));
  auto* y = new QValueAxis;
  y->setTitleText(temperatures ? QStringLiteral("Concrete temperature (°C)")
                               : QStringLiteral("Heat (J/kg)"));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  const QColor colours[] = {QColor(0, 90, 180), QColor(200, 60, 20), QColor(30, 140, 60)};
  for (std::size_t f = 0; f < r.Curves.size(); ++f) {
    const THeatFitCurve& c = r.Curves[f];
    const QString which = r.Curves.size() > 1 ? QStringLiteral(" %1").arg(f + 1) : QString();
    auto* measured = new QScatterSeries;
    measured->setName(QStringLiteral("Measured") + which);
    measured->setMarkerSize(6);
    measured->setColor(colours[f % 3].lighter(140));
    measured->setBorderColor(Qt::transparent);
    auto* fitted = new QLineSeries;
    fitted->setName(QStringLiteral("Fitted") + which);
    fitted->setPen(QPen(colours[f % 3], 2));
    const std::size_t stride = std::max<std::size_t>(1, c.X.size() / 60);  // legible markers
    for (std::size_t i = 0; i < c.X.size(); ++i) {
      if (i % stride == 0) measured->append(c.X[i], c.Measured[i]);
      fitted->append(c.X[i], c.Fitted[i]);
    }
    for (QXYSeries* s : {static_cast<QXYSeries*>(measured), static_cast<QXYSeries*>(fitted)}) {
      chart->addSeries(s);
      s->attachAxis(x);
      s->attachAxis(y);
    }
  }
  // The axes span every curve (attaching series leaves them at the first one's range).
  double xLow = 0.0, xHigh = 1.0, yLow = 0.0, yHigh = 1.0;
  bool first = true;
  for (const THeatFitCurve& c : r.Curves)
    for (std::size_t i = 0; i < c.X.size(); ++i) {
      const double lo = std::min(c.Measured[i], c.Fitted[i]),
                   hi = std::max(c.Measured[i], c.Fitted[i]);
      xLow = first ? c.X[i] : std::min(xLow, c.X[i]),
      xHigh = first ? c.X[i] : std::max(xHigh, c.X[i]);
      yLow = first ? lo : std::min(yLow, lo), yHigh = first ? hi : std::max(yHigh, hi);
      first = false;
    }
  x->setRange(xLow, xHigh > xLow ? xHigh : xLow + 1.0);
  y->setRange(yLow, yHigh > yLow ? yHigh : yLow + 1.0);
  for (QValueAxis* axis : {x, y}) {
    axis->applyNiceNumbers();
    axis->setLabelFormat(QStringLiteral("%g"));
  }
}

void TfrmCementGuide::btnAddToCemproptClick() {
  if (!shownValues_) {
    ShowMessage(QStringLiteral("There are no fitted heat development parameters to add."));
    return;
  }
  const std::optional<QString> name = AskText(QStringLiteral("Cement type"), QStringLiteral("Name"),
                                              QStringLiteral("New cement type"));
  if (!name || name->isEmpty()) return;
  try {
    const int k = AppendCementType(CementFile, name->toStdString(), *shownValues_);
    ShowMessage(QStringLiteral("\"%1\" was added as cement type %2.").arg(*name).arg(k));
  } catch (const std::exception& e) {
    ShowMessage(
        QStringLiteral("The cement type was not added: %1").arg(QString::fromStdString(e.what())));
  }
}

}  // namespace vemto
