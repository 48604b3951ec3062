#include "TfrmResult.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCloseEvent>
#include <QImage>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <cmath>
#include <filesystem>

#include "ResultDialogs.h"

namespace vemto {

namespace {

struct TypeInfo {
  TDiagramType distr, hist;
  const char* header;
  double factor;
};

const TypeInfo& Type(int type) {
  static const TypeInfo kTypes[] = {
      {dtNone, dtNone, "", 1.0},
      {dtTempDistr, dtTempHist, "Temp. (C)", 1.0},
      {dtMatDistr, dtMatHist, "Maturity (h)", 1.0 / 3600.0},
      {dtHydrDistr, dtHydrHist, "Hydration (%)", 100.0},
      {dtNone, dtPipeHist, "", 1.0},
      {dtNone, dtHeatLossHist, "Heat loss (W/m)", 1.0},
      {dtDispl, dtDisplHist, "Displ. (m)", 1.0},
      {dtNone, dtReacHist, "", 1.0},
      {dtStressDistr, dtStressHist, "Stress (MPa)", 0.000001},
      {dtStrengthDistr, dtStrengthHist, "Stress-Str. (%)", 100.0},
      {dtTensileStrengthDistr, dtTensileStrengthHist, "Ten. Str. (MPa)", 1.0},
      {dtCompressiveStrengthDistr, dtCompressiveStrengthHist, "Comp. Str. (MPa)", 1.0},
      {dtCrackRisk, dtStrengthHist, "Stress-Str. (%)", 100.0},
  };
  return kTypes[std::clamp(type, 0, 12)];
}

}  // namespace

TfrmResult::TfrmResult(ProjectDocument& document, QWidget* parent, const std::string& postLibrary)
    : TfrmDocument(document, parent) {
  setWindowTitle(QStringLiteral("Result window"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  post_ = new TVemtoPost(this, postLibrary);
  post_->setMinimumSize(200, 150);
  status_ = new QStatusBar(this);
  status_->setSizeGripEnabled(false);
  layout->addWidget(post_, 1);
  layout->addWidget(status_);
  // Settings at creation.
  TPostProperties& p = post_->P;
  post_->DrawMarkers = true;
  post_->Memory = 800000;
  p.MarkerType = mtPosition;
  p.MarkerX1 = p.MarkerY1 = 1.0;
  p.MarkerX2 = p.MarkerY2 = 2.0;
  for (double* v : {&p.TempLower, &p.TempUpper, &p.MatLower, &p.MatUpper, &p.HydrLower,
                    &p.HydrUpper, &p.StrengthLower, &p.StrengthUpper, &p.ftLower, &p.ftUpper,
                    &p.fcLower, &p.fcUpper, &p.DisplScale})
    *v = -1.0;
  for (int* v : {&p.TempType, &p.MatType, &p.HydrType, &p.HeatType, &p.DisplType, &p.ReacType,
                 &p.ReacAxis, &p.StressTypeHist, &p.StressTypeDistr, &p.StressComp, &p.ftType,
                 &p.ftDistrType, &p.fcType, &p.fcDistrType})
    *v = 1;
  p.StrengthType = 2;
  p.TempDistrType = 0;
  p.TempLines = 20;
  p.PipeType = 3;
  p.PipeNo = 1;
  p.StressScale = 1.0;
  post_->OnError = [this](int number) { PostError(number); };
  post_->OnHistoryUpdate = [this] { HistoryUpdate(); };
  marker_ = new TfrmMarker(this);
  marker_->OnApply = [this](double x1, double y1, double x2, double y2) {
    TPostProperties& q = post_->P;
    q.MarkerX1 = x1, q.MarkerY1 = y1, q.MarkerX2 = x2, q.MarkerY2 = y2;
    UpdateDiagram();
  };
  table_ = new TfrmResultTable(this);
  resize(800, 600);
}

TfrmResult::~TfrmResult() = default;

void TfrmResult::showEvent(QShowEvent* event) {
  TfrmDocument::showEvent(event);
  KeepAspect();
}

void TfrmResult::resizeEvent(QResizeEvent* event) {
  TfrmDocument::resizeEvent(event);
  KeepAspect();
}

void TfrmResult::KeepAspect() {
  // The diagrams are drawn for a 4:3 window. Inside the document area the frame around
  // the window is resized, and the window becomes narrower rather than taller than the
  // area below its top.
  QWidget* frame = isWindow() ? this : parentWidget();
  if (frame == nullptr || frame->isMaximized() || frame->isMinimized()) return;
  const int decoW = frame->width() - width(), decoH = frame->height() - height();
  int w = width();
  if (!isWindow() && frame->parentWidget() != nullptr) {
    const int room = frame->parentWidget()->height() - frame->y() - decoH;
    if (room > 0 && std::lround(0.75 * w) > room) w = static_cast<int>(room / 0.75);
  }
  const int wanted = static_cast<int>(std::lround(0.75 * w));
  if (w != width() || height() != wanted) frame->resize(w + decoW, wanted + decoH);
}

QString TfrmResult::StatusText() const {
  return status_->currentMessage();
}

void TfrmResult::PostError(int number) {
  status_->showMessage(number != 0
                           ? QStringLiteral("Invalid/unavailable data in database")
                           : QStringLiteral("POST ERROR : %1").arg(post_->ErrorText().trimmed()));
}

void TfrmResult::ShowResults(const QString& resultFile, int postMemory, int pipeCount) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(resultFile.toStdString(), error)) return;
  const TDiagramType remembered = post_->DiagramType();
  post_->SetDiagramType(dtNone);
  if (open_) post_->CloseResults();  // a new run: the database is read afresh
  post_->P.TempDistrType = 1;
  post_->FileName = resultFile;
  post_->Memory = postMemory;
  post_->ClearError();
  status_->clearMessage();
  post_->OpenResults();
  open_ = true;
  post_->SetDiagramType(remembered);
  post_->KeepCursorInside();
  // The stored times as the database holds them.
  hours_ = post_->StoredHours();
  pipes_ = pipeCount >= 0 ? pipeCount : 0;
  c_.SliderMax = std::max(0, static_cast<int>(hours_.size()) - 1);
  c_.SliderPosition = 0;
  c_.TimeLabel = hours_.empty() ? QStringLiteral("0") : FormatG(hours_[0]);
  post_->SetTimeStep(hours_.empty() ? 0.0 : hours_[0]);
  if (hours_.empty())
    status_->showMessage(QStringLiteral("No stored results in %1").arg(resultFile));
  post_->SetDiagramType(dtTempDistr);
  c_.DistrEnabled = c_.DistrDown = true;
  c_.HistDown = false;
  history_ = false;
  c_.ResultType = kTemperature;
  c_.TimePanelVisible = true;
  c_.TableEnabled = false;
  c_.PropEnabled = true;
  Changed();
}

void TfrmResult::SetTimePosition(int position) {
  position = std::clamp(position, 0, c_.SliderMax);
  c_.SliderPosition = position;
  post_->ClearError();
  status_->clearMessage();
  if (static_cast<std::size_t>(position) < hours_.size()) {
    c_.TimeLabel = FormatG(hours_[position]);
    if (open_) post_->SetTimeStep(hours_[position]);
  }
  Changed();
}

void TfrmResult::Backwards() {
  SetTimePosition(c_.SliderPosition - 1);
}

void TfrmResult::Forward() {
  SetTimePosition(c_.SliderPosition + 1);
}

void TfrmResult::SetHistoryMode(bool on) {
  history_ = on;
  c_.HistDown = on;
  c_.DistrDown = !on;
  if (on) {
    c_.TimePanelVisible = false;
    c_.TableEnabled = true;
    const int t = c_.ResultType;
    c_.PropEnabled = t == kTemperature || t == kPipe || t == kDisplacements || t == kStress;
  } else {
    c_.TimePanelVisible = true;
    table_->hide();
    c_.TableEnabled = false;
    c_.PropEnabled = true;
  }
  UpdateDiagram();
  Changed();
}

void TfrmResult::ShowTable() {
  if (!history_) SetHistoryMode(true);
  table_->show();
  HistoryUpdate();
}

void TfrmResult::SelectResultType(int item) {
  const int type = item + 1;
  post_->ClearError();
  status_->clearMessage();
  c_.DistrEnabled = true;
  c_.PropEnabled = !history_;
  c_.CursorEnabled = {true, true, true, true};
  c_.ResultType = type;
  auto forceHistory = [this] {
    history_ = true;
    c_.HistDown = true;
    c_.DistrDown = false;
    c_.DistrEnabled = false;
    c_.TimePanelVisible = false;
    c_.TableEnabled = true;
    c_.PropEnabled = true;
  };
  switch (type) {
    case kPipe:
      forceHistory();
      c_.CursorEnabled = {false, false, false, false};
      break;
    case kHeatloss:
      c_.CursorEnabled = {true, true, false, false};
      break;
    case kDisplacements:
      c_.PropEnabled = true;
      c_.CursorEnabled = {true, false, false, false};
      break;
    case kReactions:
      forceHistory();
      c_.TableEnabled = c_.TableEnabled;
      c_.CursorEnabled = {true, false, false, false};
      break;
    case kStress:
      c_.PropEnabled = true;
      c_.CursorEnabled = {true, false, true, true};
      break;
    case kRatio:
      c_.CursorEnabled = {true, false, true, false};
      break;
    case kCrackRisk:
      // The crack-risk view is a distribution with its own histories below it.
      history_ = false;
      c_.HistDown = false;
      c_.DistrDown = true;
      c_.TimePanelVisible = true;
      c_.TableEnabled = false;
      c_.PropEnabled = false;
      table_->hide();
      break;
    default:
      break;
  }
  if (type >= kHeatloss && type <= kRatio) ApplyCursor(0);
  UpdateDiagram();
  Changed();
}

void TfrmResult::ApplyCursor(int kind) {
  cursor_ = kind;
  c_.CursorDown = kind;
  static constexpr TMarkerType kMarkers[] = {mtPosition, mtMean, mtMax, mtMin};
  post_->P.MarkerType = kMarkers[std::clamp(kind, 0, 3)];
  marker_->SetTwoPoints(kind != 0);
}

void TfrmResult::SelectCursor(int kind) {
  ApplyCursor(kind);
  UpdateDiagram();
  Changed();
}

void TfrmResult::ShowCursorProperties() {
  const TPostProperties& p = post_->P;
  marker_->SetPoints(p.MarkerX1, p.MarkerY1, p.MarkerX2, p.MarkerY2);
  marker_->SetTwoPoints(p.MarkerType != mtPosition);
  marker_->show();
}

void TfrmResult::SelectScale(int palette) {
  post_->SetPostPalette(palette);
  post_->update();
}

void TfrmResult::UpdateDiagram() {
  post_->ClearError();
  status_->clearMessage();
  TPostProperties& p = post_->P;
  const TypeInfo& type = Type(c_.ResultType);
  if (!history_) {
    post_->DrawMarkers = true;
    if (type.distr != dtNone) post_->SetDiagramType(type.distr);
    return;
  }
  post_->DrawMarkers = false;
  const int c = cursor_ + 1;
  p.TempType = p.MatType = p.HydrType = p.HeatType = p.ftType = p.fcType = c;
  static constexpr int kStressType[] = {1, 2, 2, 3}, kStrengthType[] = {1, 2, 3, 2};
  p.StressTypeHist = kStressType[cursor_];
  p.StrengthType = kStrengthType[cursor_];
  for (auto [x1, y1, x2, y2] :
       {std::tuple{&p.TempX1, &p.TempY1, &p.TempX2, &p.TempY2},
        std::tuple{&p.MatX1, &p.MatY1, &p.MatX2, &p.MatY2},
        std::tuple{&p.HydrX1, &p.HydrY1, &p.HydrX2, &p.HydrY2},
        std::tuple{&p.HeatX1, &p.HeatY1, &p.HeatX2, &p.HeatY2},
        std::tuple{&p.ReacX1, &p.ReacY1, &p.ReacX2, &p.ReacY2},
        std::tuple{&p.StressX1, &p.StressY1, &p.StressX2, &p.StressY2},
        std::tuple{&p.StrengthX1, &p.StrengthY1, &p.StrengthX2, &p.StrengthY2},
        std::tuple{&p.ftX1, &p.ftY1, &p.ftX2, &p.ftY2},
        std::tuple{&p.fcX1, &p.fcY1, &p.fcX2, &p.fcY2}}) {
    *x1 = p.MarkerX1, *y1 = p.MarkerY1, *x2 = p.MarkerX2, *y2 = p.MarkerY2;
  }
  p.DisplX1 = p.MarkerX1;
  p.DisplY1 = p.MarkerY1;
  post_->SetDiagramType(type.hist);
}

void TfrmResult::HistoryUpdate() {
  if (!table_->isVisible() || post_->RSize() == -1 || post_->HistoryTimes() == nullptr ||
      post_->HistoryValues() == nullptr)
    return;
  const int n = post_->RSize();
  std::vector<double> t(post_->HistoryTimes(), post_->HistoryTimes() + n);
  std::vector<double> v(post_->HistoryValues(), post_->HistoryValues() + n);
  QString header = Type(c_.ResultType).header;
  double factor = Type(c_.ResultType).factor;
  if (c_.ResultType == kPipe) {
    static const char* kPipe[] = {"Input temp (C)", "Output temp (C)", "Pipeflow (kg/s)"};
    const int pt = post_->P.PipeType;
    header = pt >= 1 && pt <= 3 ? QString::fromLatin1(kPipe[pt - 1]) : table_->model.Header();
  } else if (c_.ResultType == kReactions) {
    header = table_->model.Header();
  }
  table_->model.SetHistory(t, v, factor, header);
}

void TfrmResult::ShowProperties() {
  TPostProperties& p = post_->P;
  std::unique_ptr<TfrmDiagramProperties> dialog;
  switch (c_.ResultType) {
    case kTemperature:
      dialog = std::make_unique<TfrmTempDistr>(this);
      break;
    case kMaturity:
      dialog =
          std::make_unique<TfrmLimitDistr>(this, "Maturity", "Mat. max", "Mat. min",
                                           &TPostProperties::MatUpper, &TPostProperties::MatLower);
      break;
    case kHydration:
      dialog = std::make_unique<TfrmLimitDistr>(this, "Hydration", "Hydr. max (%)", "Hydr. min (%)",
                                                &TPostProperties::HydrUpper,
                                                &TPostProperties::HydrLower);
      break;
    case kPipe:
      dialog = std::make_unique<TfrmPipeHist>(this, std::max(1, pipes_));
      break;
    case kDisplacements:
      dialog = std::make_unique<TfrmScaleDistr>(this, false);
      break;
    case kReactions:
      dialog = std::make_unique<TfrmReactionProp>(this);
      break;
    case kStress:
      dialog = std::make_unique<TfrmScaleDistr>(this, true);
      break;
    case kRatio:
      dialog = std::make_unique<TfrmLimitDistr>(this, "Strength", "Ratio max (%)", "Ratio min (%)",
                                                &TPostProperties::StrengthUpper,
                                                &TPostProperties::StrengthLower);
      break;
    case kTensile:
      dialog =
          std::make_unique<TfrmLimitDistr>(this, "Tensile strength", "Str. max", "Str. min",
                                           &TPostProperties::ftUpper, &TPostProperties::ftLower);
      break;
    case kCompressive:
      dialog =
          std::make_unique<TfrmLimitDistr>(this, "Comp. strength", "Str. max", "Str. min",
                                           &TPostProperties::fcUpper, &TPostProperties::fcLower);
      break;
    default:
      return;  // heat loss has no dialog
  }
  dialog->Load(p, history_);
  dialog_ = dialog.get();
  const bool ok = dialog->exec() == QDialog::Accepted;
  dialog_ = nullptr;
  if (!ok) return;
  dialog->Store(p);
  UpdateDiagram();
  post_->update();
}

void TfrmResult::Copy() {
  const QSize size = post_->size();
  QByteArray svg;
  {
    QBuffer buffer(&svg);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(size);
    generator.setViewBox(QRect(QPoint(0, 0), size));
    generator.setTitle(QStringLiteral("Vemto result"));
    post_->CreatePicture(generator);
  }
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  post_->CreatePicture(image);
  auto* data = new QMimeData;
  data->setData(QStringLiteral("image/svg+xml"), svg);
  data->setImageData(image);
  QApplication::clipboard()->setMimeData(data);
}

void TfrmResult::Print() {
  QPrinter printer(QPrinter::HighResolution);
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() != QDialog::Accepted) return;
  post_->CreatePicture(printer);
}

void TfrmResult::ReleaseResults() {
  if (!open_) return;
  post_->SetDiagramType(dtNone);
  post_->CloseResults();
  open_ = false;
  status_->showMessage(QStringLiteral("The results are being calculated again"));
  Changed();
}

void TfrmResult::closeEvent(QCloseEvent* event) {
  marker_->hide();
  if (open_) {
    post_->CloseResults();
    open_ = false;
  }
  if (OnClosed) OnClosed();
  table_->hide();
  TfrmDocument::closeEvent(event);
}

}  // namespace vemto
