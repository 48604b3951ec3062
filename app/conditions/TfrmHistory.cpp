#include "TfrmHistory.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScatterSeries>
#include <QTableView>
#include <QVBoxLayout>
#include <QVXYModelMapper>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <tuple>

#include "HistoryCommands.h"
#include "NumberText.h"
#include "UserDialogs.h"

namespace vemto {

namespace {

/// Upper bound of the last event's time when it is typed, h.
constexpr double kLastTimeBound = 2147483647.0;

QPushButton* Button(QWidget* parent, const char* name, const QString& caption,
                    const char* hint = nullptr) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  if (hint != nullptr) b->setToolTip(QString::fromLatin1(hint));
  const int side = b->fontMetrics().height() + 10;
  if (caption.size() <= 1) b->setFixedWidth(side);
  return b;
}

QLineEdit* Field(QWidget* parent, const char* name) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  return e;
}

QString Text(double value) {
  return QString::fromStdString(FormatG(value));
}

std::optional<double> Read(const QLineEdit* field) {
  return ParseReal(field->text().toStdString());
}

/// A range [lo, hi] around `lo`..`hi` with a margin of 5 % (1 when they coincide).
std::pair<double, double> Padded(double lo, double hi) {
  const double span = hi - lo;
  if (!(span > 0.0)) return {lo - 1.0, hi + 1.0};
  return {lo - 0.05 * span, hi + 0.05 * span};
}

/// A round tick interval (1, 2 or 5 times a power of ten) giving about five ticks over
/// `span` (> 0).
double RoundStep(double span) {
  const double raw = span / 5.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (m * power >= raw) return m * power;
  return 10.0 * power;
}

}  // namespace

TfrmHistory::TfrmHistory(ProjectDocument& document, TUserDialogs& dialogs, QWidget* parent)
    : QWidget(parent),
      doc_(&document),
      dialogs_(dialogs),
      model_(new HistoryTableModel(document, nullptr, this)),
      pnlEvent_(new QLabel(this)),
      lblValue1_(new QLabel(this)),
      lblValue2_(new QLabel(this)),
      edtTime_(Field(this, "edtTime")),
      edtValue1_(Field(this, "edtValue1")),
      edtValue2_(Field(this, "edtValue2")),
      grdHistory_(new QTableView(this)),
      chrtHistory_(new QChart),
      chartView_(new QChartView(chrtHistory_, this)),
      serValue1_(new QLineSeries),
      serValue2_(new QLineSeries),
      serMark_(new QScatterSeries),
      serMark2_(new QScatterSeries),
      axisX_(new QValueAxis),
      axisY_(new QValueAxis) {
  setObjectName(QStringLiteral("frmHistory"));
  setWindowTitle(QStringLiteral("History editor"));
  pnlEvent_->setObjectName(QStringLiteral("pnlEvent"));
  pnlEvent_->setFrameShape(QFrame::Panel);
  pnlEvent_->setFrameShadow(QFrame::Sunken);
  pnlEvent_->setAlignment(Qt::AlignCenter);
  grdHistory_->setObjectName(QStringLiteral("grdHistory"));
  chartView_->setObjectName(QStringLiteral("chrtHistory"));

  // --- the right-hand panel: event, time and values ---
  QPushButton* evLeft = Button(this, "btnEvLeft", QStringLiteral("<"), "Previous event");
  QPushButton* evRight = Button(this, "btnEvRight", QStringLiteral(">"), "Next event");
  QPushButton* timeLeft = Button(this, "btnTimeLeft", QStringLiteral("<"), "Earlier");
  QPushButton* timeRight = Button(this, "btnTimeRight", QStringLiteral(">"), "Later");
  QPushButton* val1Down = Button(this, "btnVal1Down", QStringLiteral("-"), "Decrease");
  QPushButton* val1Up = Button(this, "btnVal1Up", QStringLiteral("+"), "Increase");
  btnVal2Down_ = Button(this, "btnVal2Down", QStringLiteral("-"), "Decrease");
  btnVal2Up_ = Button(this, "btnVal2Up", QStringLiteral("+"), "Increase");
  QPushButton* update = Button(this, "btnUpdate", QStringLiteral("Change"));
  QPushButton* showTable = Button(this, "btnShowTable", QStringLiteral("Edit"), "Edit the table");
  auto* controls = new QGridLayout;
  controls->addWidget(new QLabel(QStringLiteral("Event nbr"), this), 0, 0);
  controls->addWidget(evLeft, 0, 1);
  controls->addWidget(pnlEvent_, 0, 2);
  controls->addWidget(evRight, 0, 3);
  controls->addWidget(new QLabel(QStringLiteral("Time (h)"), this), 1, 0);
  controls->addWidget(timeLeft, 1, 1);
  controls->addWidget(edtTime_, 1, 2);
  controls->addWidget(timeRight, 1, 3);
  controls->addWidget(lblValue1_, 2, 0);
  controls->addWidget(val1Down, 2, 1);
  controls->addWidget(edtValue1_, 2, 2);
  controls->addWidget(val1Up, 2, 3);
  controls->addWidget(lblValue2_, 3, 0);
  controls->addWidget(btnVal2Down_, 3, 1);
  controls->addWidget(edtValue2_, 3, 2);
  controls->addWidget(btnVal2Up_, 3, 3);
  auto* apply = new QHBoxLayout;
  apply->addWidget(update);
  apply->addWidget(showTable);
  controls->addLayout(apply, 4, 0, 1, 4);

  // --- the table and its row buttons ---
  grdHistory_->setModel(model_);
  grdHistory_->setSelectionMode(QAbstractItemView::SingleSelection);
  grdHistory_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  grdHistory_->verticalHeader()->setDefaultSectionSize(grdHistory_->fontMetrics().height() + 6);
  QPushButton* add = Button(this, "btnAdd", QStringLiteral("Add"), "Append an event");
  QPushButton* insert = Button(this, "btnInsert", QStringLiteral("Insert"), "Insert an event");
  QPushButton* remove = Button(this, "btnRemove", QStringLiteral("Remove"), "Remove the event");
  QPushButton* paste =
      Button(this, "btnPaste", QStringLiteral("Paste"), "Paste a table (time, values)");
  auto* rows = new QHBoxLayout;
  for (QPushButton* b : {add, insert, remove, paste}) rows->addWidget(b);

  auto* panel = new QVBoxLayout;
  panel->addLayout(controls);
  panel->addWidget(grdHistory_, 1);
  panel->addLayout(rows);
  auto* panelWidget = new QWidget(this);
  panelWidget->setLayout(panel);
  panelWidget->setFixedWidth(300);

  // --- the chart, reading the same table ---
  chrtHistory_->legend()->setAlignment(Qt::AlignBottom);
  chrtHistory_->addAxis(axisX_, Qt::AlignBottom);
  chrtHistory_->addAxis(axisY_, Qt::AlignLeft);
  axisX_->setTitleText(QStringLiteral("Time (h)"));
  for (QValueAxis* axis : {axisX_, axisY_}) {
    axis->setLabelFormat(QStringLiteral("%g"));
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
  }
  serValue2_->setColor(QColor(0, 128, 0));
  for (QScatterSeries* mark : {serMark_, serMark2_}) {
    mark->setMarkerSize(10.0);
    mark->setColor(Qt::red);
    mark->setPointLabelsVisible(true);
    mark->setPointLabelsFormat(QStringLiteral("@yPoint"));
  }
  for (QXYSeries* s :
       std::initializer_list<QXYSeries*>{serValue1_, serValue2_, serMark_, serMark2_}) {
    chrtHistory_->addSeries(s);
    s->attachAxis(axisX_);
    s->attachAxis(axisY_);
  }
  for (QScatterSeries* mark : {serMark_, serMark2_})
    for (QLegendMarker* m : chrtHistory_->legend()->markers(mark)) m->setVisible(false);
  // The second line reads the third column when there is one (ApplyLayout); before a
  // reset it goes back to a column every table has.
  for (QLineSeries* series : {serValue1_, serValue2_}) {
    auto* mapper = new QVXYModelMapper(this);
    mapper->setXColumn(0);
    mapper->setYColumn(1);
    mapper->setSeries(series);
    mapper->setModel(model_);
    mapper2_ = mapper;
  }
  connect(model_, &QAbstractItemModel::modelAboutToBeReset, this,
          [this] { mapper2_->setYColumn(1); });
  chartView_->setRenderHint(QPainter::Antialiasing);

  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(chartView_, 1);
  layout->addWidget(panelWidget);
  resize(900, 520);

  connect(evLeft, &QPushButton::clicked, this, [this] { StepEvent(-1); });
  connect(evRight, &QPushButton::clicked, this, [this] { StepEvent(+1); });
  connect(timeLeft, &QPushButton::clicked, this, [this] { StepTime(-1); });
  connect(timeRight, &QPushButton::clicked, this, [this] { StepTime(+1); });
  connect(val1Down, &QPushButton::clicked, this, [this] { StepValue(0, -1); });
  connect(val1Up, &QPushButton::clicked, this, [this] { StepValue(0, +1); });
  connect(btnVal2Down_, &QPushButton::clicked, this, [this] { StepValue(1, -1); });
  connect(btnVal2Up_, &QPushButton::clicked, this, [this] { StepValue(1, +1); });
  connect(update, &QPushButton::clicked, this, &TfrmHistory::ApplyTyped);
  connect(showTable, &QPushButton::clicked, this, [this] {
    grdHistory_->setFocus();
    grdHistory_->edit(model_->index(index_, 0));
  });
  connect(add, &QPushButton::clicked, this, &TfrmHistory::AddRow);
  connect(insert, &QPushButton::clicked, this, &TfrmHistory::InsertRow);
  connect(remove, &QPushButton::clicked, this, &TfrmHistory::RemoveRow);
  connect(paste, &QPushButton::clicked, this, [this] { Paste(); });
  for (QLineEdit* e : {edtTime_, edtValue1_, edtValue2_}) {
    connect(e, &QLineEdit::textEdited, this, [this] { entered_ = true; });
    connect(e, &QLineEdit::returnPressed, this, &TfrmHistory::ApplyTyped);
  }
  connect(grdHistory_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) {
            if (!current.isValid() || current.row() == index_) return;
            if (entered_) ApplyTyped();  // as when stepping with the buttons
            SetIndex(current.row());
          });

  // The mappers were connected first, so the series are up to date when these run.
  connect(model_, &QAbstractItemModel::modelReset, this, &TfrmHistory::ApplyLayout);
  for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(model_, signal, this, &TfrmHistory::ModelChanged);
  connect(model_, &QAbstractItemModel::dataChanged, this, &TfrmHistory::ModelChanged);
  connect(model_, &HistoryTableModel::refused, this,
          [this](const QString& message) { dialogs_.ShowMessage(this, message); });

  // An editor never outlives its object: without its condition or its document it
  // closes; values typed and not applied are dropped.
  connect(&document, &ProjectDocument::objectsRemoved, this,
          [this](ObjectKind kind, const ObjectList& objects) {
            if (kind == ObjectKind::Condition && shown_ != nullptr && objects.contains(shown_))
              CloseEditor();
          });
  connect(&document, &QObject::destroyed, this, &TfrmHistory::CloseEditor);
  ApplyLayout();
}

void TfrmHistory::ShowCondition(TVemtoCondition* condition) {
  index_ = 0;
  entered_ = false;
  shown_ = condition;
  model_->SetCondition(condition);
  if (condition != nullptr && condition->History.empty() && doc_ != nullptr)
    doc_->Push(MakeSetHistoryCommand(*doc_, condition, StartingHistory(model_->Layout()),
                                     QStringLiteral("Start history")));
}

void TfrmHistory::CloseEditor() {
  entered_ = false;
  if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
    frame->close();
  else
    close();
}

void TfrmHistory::ApplyLayout() {
  const HistoryLayout& layout = model_->Layout();
  TVemtoCondition* c = model_->Condition();
  const bool two = c != nullptr && layout.ValueCount == 2;
  chrtHistory_->setTitle(c != nullptr ? QString::fromStdString(c->Name) : QString());
  lblValue1_->setText(QString::fromStdString(layout.EditorLabels[0]));
  lblValue2_->setText(QString::fromStdString(layout.EditorLabels[1]));
  serValue1_->setName(QString::fromStdString(layout.EditorLabels[0]));
  serValue2_->setName(QString::fromStdString(layout.EditorLabels[1]));
  for (QWidget* w :
       std::initializer_list<QWidget*>{lblValue2_, edtValue2_, btnVal2Up_, btnVal2Down_})
    w->setVisible(two);
  mapper2_->setYColumn(two ? 2 : 1);
  serValue2_->setVisible(two);
  serMark2_->setVisible(two);
  for (QLegendMarker* m : chrtHistory_->legend()->markers(serValue2_)) m->setVisible(two);
  axisY_->setTitleText(two ? QString() : QString::fromStdString(layout.EditorLabels[0]));
  ModelChanged();
}

void TfrmHistory::ModelChanged() {
  const int rows = model_->rowCount();
  index_ = std::clamp(index_, 0, std::max(0, rows - 1));
  RefreshFields();
  RefreshChart();
}

void TfrmHistory::SetIndex(int index) {
  const int rows = model_->rowCount();
  if (rows == 0) return;
  index_ = std::clamp(index, 0, rows - 1);
  entered_ = false;
  RefreshFields();
  RefreshChart();
  emit eventChanged(index_);
}

void TfrmHistory::RefreshFields() {
  TVemtoCondition* c = model_->Condition();
  const bool any = c != nullptr && !c->History.empty();
  for (QLineEdit* e : {edtTime_, edtValue1_, edtValue2_}) e->setEnabled(any);
  if (!any) {
    pnlEvent_->clear();
    for (QLineEdit* e : {edtTime_, edtValue1_, edtValue2_}) e->clear();
    return;
  }
  const TVemtoEventPos& p = c->History[std::size_t(index_)];
  pnlEvent_->setText(QString::number(index_ + 1));
  edtTime_->setText(Text(p.Time));
  edtValue1_->setText(Text(ShownValue(p, model_->Layout(), 0)));
  edtValue2_->setText(Text(ShownValue(p, model_->Layout(), 1)));
  entered_ = false;
  const QModelIndex current = model_->index(index_, 0);
  if (grdHistory_->currentIndex().row() != index_) {
    const QSignalBlocker block(grdHistory_->selectionModel());
    grdHistory_->setCurrentIndex(current);
  }
  grdHistory_->scrollTo(current);
}

void TfrmHistory::RefreshChart() {
  TVemtoCondition* c = model_->Condition();
  serMark_->clear();
  serMark2_->clear();
  if (c == nullptr || c->History.empty()) {
    axisX_->setRange(0.0, 1.0);
    axisY_->setRange(0.0, 1.0);
    return;
  }
  const HistoryLayout& layout = model_->Layout();
  const TVemtoEventPos& p = c->History[std::size_t(index_)];
  serMark_->append(p.Time, ShownValue(p, layout, 0));
  if (layout.ValueCount == 2) serMark2_->append(p.Time, ShownValue(p, layout, 1));
  double tLo = c->History.front().Time, tHi = c->History.back().Time;
  double vLo = ShownValue(p, layout, 0), vHi = vLo;
  for (const TVemtoEventPos& e : c->History)
    for (int k = 0; k < layout.ValueCount; ++k) {
      vLo = std::min(vLo, ShownValue(e, layout, k));
      vHi = std::max(vHi, ShownValue(e, layout, k));
    }
  // A margin keeps the marks of the first and last event inside the plot; the ticks
  // stay on round numbers.
  for (auto [axis, lo, hi] : {std::tuple{axisX_, tLo, tHi}, std::tuple{axisY_, vLo, vHi}}) {
    const auto [a, b] = Padded(lo, hi);
    axis->setRange(a, b);
    axis->setTickInterval(RoundStep(b - a));
  }
}

bool TfrmHistory::Replace(std::vector<TVemtoEventPos> history, const QString& text) {
  return model_->Replace(std::move(history), text).isEmpty();
}

void TfrmHistory::StepEvent(int direction) {
  if (entered_) ApplyTyped();
  SetIndex(index_ + direction);
}

void TfrmHistory::StepTime(int direction) {
  TVemtoCondition* c = model_->Condition();
  if (c == nullptr || c->History.empty()) return;
  std::vector<TVemtoEventPos> h = c->History;
  const auto i = std::size_t(index_);
  const double t = h[i].Time + direction * kHistoryTimeStep;
  bool ok = false;
  if (direction < 0)  // only after an earlier event, and never below 0 h
    ok = t >= 0.0 && i > 0 && t > h[i - 1].Time;
  else  // the first event's time stays
    ok = i > 0 && (i + 1 == h.size() || t < h[i + 1].Time);
  if (!ok) return;
  h[i].Time = t;
  Replace(std::move(h), QStringLiteral("Move history event"));
}

void TfrmHistory::StepValue(int k, int direction) {
  TVemtoCondition* c = model_->Condition();
  if (c == nullptr || c->History.empty() || k >= model_->Layout().ValueCount) return;
  std::vector<TVemtoEventPos> h = c->History;
  TVemtoEventPos& p = h[std::size_t(index_)];
  const HistoryLayout& layout = model_->Layout();
  SetShownValue(p, layout, k, ShownValue(p, layout, k) + direction * layout.ValueStep);
  Replace(std::move(h), QStringLiteral("Change history value"));
}

void TfrmHistory::ApplyTyped() {
  TVemtoCondition* c = model_->Condition();
  entered_ = false;
  if (c == nullptr || c->History.empty()) return;
  std::vector<TVemtoEventPos> h = c->History;
  const auto i = std::size_t(index_);
  TVemtoEventPos& p = h[i];
  const HistoryLayout& layout = model_->Layout();
  if (const auto v = Read(edtValue1_)) SetShownValue(p, layout, 0, *v);
  if (const auto v = Read(edtValue2_); v && layout.ValueCount == 2) SetShownValue(p, layout, 1, *v);
  const double previous = i > 0 ? h[i - 1].Time : 0.0;
  const double next = i + 1 < h.size() ? h[i + 1].Time : kLastTimeBound;
  if (const auto t = Read(edtTime_); t && previous < *t && *t < next) p.Time = *t;
  Replace(std::move(h), QStringLiteral("Change history event"));
  RefreshFields();  // also when nothing was stored: the event as it is
}

void TfrmHistory::AddRow() {
  if (model_->AppendRow().isEmpty()) SetIndex(model_->rowCount() - 1);
}

void TfrmHistory::InsertRow() {
  const int row = index_;
  if (model_->InsertRow(row).isEmpty()) SetIndex(row);
}

void TfrmHistory::RemoveRow() {
  model_->RemoveRow(index_);
}

void TfrmHistory::Paste(const QString* text) {
  const QString pasted = text != nullptr ? *text : QApplication::clipboard()->text();
  if (pasted.isEmpty()) return;
  if (model_->Paste(pasted).isEmpty()) SetIndex(0);
}

void TfrmHistory::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste)) {
    Paste();
    return;
  }
  QWidget::keyPressEvent(event);
}

}  // namespace vemto
