#include "TVemtoPost.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <cfenv>
#include <cstring>

#include "ComputationLibrary.h"
#include "PostDrawing.h"
#include "PostPainter.h"

namespace vemto {

namespace {

using DistrFn3 = void (*)(double, double, double);
using HistFn5 = void (*)(std::int32_t, double, double, double, double);

/// The number for an arithmetic failure flagged during a post call (traps are off):
/// 1005 invalid operation, 1006 division by zero, 1007 overflow; underflow and
/// inexact results are normal in drawing and not failures.
int ArithmeticFailure() {
  if (std::fetestexcept(FE_INVALID)) return 1005;
  if (std::fetestexcept(FE_DIVBYZERO)) return 1006;
  if (std::fetestexcept(FE_OVERFLOW)) return 1007;
  return 0;
}

}  // namespace

TVemtoPost::TVemtoPost(QWidget* parent, const std::string& library) : QWidget(parent) {
  resize(100, 100);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAutoFillBackground(false);
  listener_.send = &TVemtoPost::Receive;
  listener_.context = this;
  try {
    lib_ = TComputationLibrary::Load(library.empty() ? ProgramFolder() / "libpost.so"
                                                     : std::filesystem::path(library));
    lib_->Init(&listener_);
  } catch (const std::exception& e) {
    errorText_ = QString::fromStdString(e.what());
    errorCode_ = -1;  // nothing can be drawn; reported at the first paint
  }
}

TVemtoPost::~TVemtoPost() {
  if (lib_) {
    if (opened_) Fn<void (*)()>("postclose")();
    Fn<void (*)()>("FGRAPH_mp_destroy")();
    lib_->Init(nullptr);
  }
}

template <typename F>
F TVemtoPost::Fn(const char* name) const {
  return reinterpret_cast<F>(lib_->RequiredSymbol(name));
}

void TVemtoPost::Receive(void* context, int message, intptr_t lParam) {
  auto* self = static_cast<TVemtoPost*>(context);
  if (message != VEMTO_MSG_ERROR) return;  // information and done messages are ignored
  self->errorCode_ = static_cast<int>(lParam);
  self->errorText_ = QString::fromStdString(self->lib_->InfoText());
  if (self->OnError) self->OnError(self->errorCode_);
}

void TVemtoPost::SetDiagramType(TDiagramType type) {
  diagramType_ = type;
  update();
}

void TVemtoPost::SetTimeStep(double hours) {
  timeStep_ = hours;
  update();
}

void TVemtoPost::SetPalette(TPaletteType palette) {
  palette_ = palette;
  if (!firstPaint_) SetPostPalette(palette == ptGrayscale ? 1 : 0);
  update();
}

void TVemtoPost::SetPostPalette(int palette) {
  if (!lib_) return;
  const std::int32_t p = palette;
  Fn<void (*)(const std::int32_t*)>("FGRAPH_mp_setpalette")(&p);
}

void TVemtoPost::OpenResults() {
  if (!lib_) return;
  drawing_ = false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  char name[256] = {};
  const QByteArray file = FileName.toLocal8Bit();
  std::memcpy(name, file.constData(), std::min<std::size_t>(255, file.size()));
  Fn<void (*)(const char*, const std::int32_t*)>("postopen")(name, &Memory);
  opened_ = true;
  QApplication::restoreOverrideCursor();
  times_ = values_ = nullptr;
  rsize_ = -1;
  drawing_ = true;
}

void TVemtoPost::CloseResults() {
  drawing_ = false;
  if (lib_) Fn<void (*)()>("postclose")();
  opened_ = false;
  times_ = values_ = nullptr;
  rsize_ = -1;
  drawing_ = true;
}

void TVemtoPost::KeepCursorInside() {
  if (!lib_ || !opened_) return;
  Fn<void (*)(double*, double*, double*, double*)>("postcursorinside")(&P.MarkerX1, &P.MarkerY1,
                                                                       &P.MarkerX2, &P.MarkerY2);
}

std::vector<double> TVemtoPost::StoredHours() const {
  std::vector<double> hours;
  if (!lib_ || !opened_) return hours;
  std::int32_t n = 0;
  const double* seconds = nullptr;
  Fn<void (*)(std::int32_t*, const double**)>("posttimes")(&n, &seconds);
  for (std::int32_t i = 0; i < n && seconds != nullptr; ++i) hours.push_back(seconds[i] / 3600.0);
  return hours;
}

void TVemtoPost::paintEvent(QPaintEvent*) {
  if (!drawing_) return;
  QPainter painter(this);
  Draw(painter, width(), height(), firstPaint_);
  firstPaint_ = false;
}

void TVemtoPost::CreatePicture(QPaintDevice& device) {
  QPainter painter(&device);
  Draw(painter, device.width(), device.height(), true);
}

void TVemtoPost::Draw(QPainter& painter, int w, int h, bool initialise) {
  painter.fillRect(0, 0, w, h, Qt::white);
  if (!lib_) {
    if (OnError && errorCode_ == -1) {
      errorCode_ = 0;
      OnError(0);
      errorCode_ = -1;
    }
    return;
  }
  post::PostPainter canvas(painter);
  const VemtoPostDrawing* dc = canvas.Drawing();
  using GraphFn = void (*)(const VemtoPostDrawing*, std::int32_t, std::int32_t, std::int32_t);
  if (initialise) {
    if (OnPrintLn) OnPrintLn(QStringLiteral("PostInit: Canvas.Handle = %1").arg(quintptr(dc)));
    Fn<GraphFn>("FGRAPH_mp_init")(dc, w, h, 1);
    SetPostPalette(palette_ == ptGrayscale ? 1 : 0);
  } else {
    if (OnPrintLn) OnPrintLn(QStringLiteral("PostUpdate: Canvas.Handle = %1").arg(quintptr(dc)));
    Fn<GraphFn>("FGRAPH_mp_update")(dc, w, h, 1);
  }
  if (opened_ && errorCode_ == 0) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::feclearexcept(FE_ALL_EXCEPT);
    CallDiagram();
    if (const int failure = ArithmeticFailure(); failure != 0 && errorCode_ == 0)
      errorCode_ = failure;
    QApplication::restoreOverrideCursor();
  }
  times_ = values_ = nullptr;
  Fn<void (*)(std::int32_t*, const double**, const double**)>("postresult")(&rsize_, &times_,
                                                                            &values_);
  if (times_ != nullptr && values_ != nullptr && OnHistoryUpdate) OnHistoryUpdate();
  if (errorCode_ > 0 && OnError) OnError(errorCode_);
  if (DrawMarkers && opened_)
    Fn<void (*)(std::int32_t, double, double, double, double)>("postdrawmarkers")(
        P.MarkerType == mtPosition ? 1 : 2, P.MarkerX1, P.MarkerY1, P.MarkerX2, P.MarkerY2);
  // Drawing ends here: post keeps no pointer to this painter's callbacks.
  Fn<GraphFn>("FGRAPH_mp_update")(nullptr, w, h, 1);
}

void TVemtoPost::CallDiagram() {
  const double t = timeStep_;
  switch (diagramType_) {
    case dtNone:
      break;
    case dtTempDistr:
      Fn<void (*)(double, std::int32_t, double, double, std::int32_t)>("posttempdistr")(
          t, P.TempDistrType, P.TempUpper, P.TempLower, P.TempLines);
      break;
    case dtTempHist:
      Fn<HistFn5>("posttemphist")(P.TempType, P.TempX1, P.TempY1, P.TempX2, P.TempY2);
      break;
    case dtMatDistr:
      Fn<DistrFn3>("postmatdistr")(t, P.MatLower, P.MatUpper);
      break;
    case dtMatHist:
      Fn<HistFn5>("postmathist")(P.MatType, P.MatX1, P.MatY1, P.MatX2, P.MatY2);
      break;
    case dtHydrDistr:
      Fn<DistrFn3>("posthydrdistr")(t, P.HydrLower, P.HydrUpper);
      break;
    case dtHydrHist:
      Fn<HistFn5>("posthydrhist")(P.HydrType, P.HydrX1, P.HydrY1, P.HydrX2, P.HydrY2);
      break;
    case dtHeatLossHist:
      Fn<HistFn5>("postheatlosshist")(P.HeatType, P.HeatX1, P.HeatY1, P.HeatX2, P.HeatY2);
      break;
    case dtPipeHist:
      Fn<void (*)(std::int32_t, std::int32_t)>("postpipehist")(P.PipeType, P.PipeNo);
      break;
    case dtDispl:
      Fn<void (*)(double, double)>("postdispl")(t, P.DisplScale);
      break;
    case dtDisplHist:
      Fn<void (*)(std::int32_t, double, double)>("postdisplhist")(P.DisplType, P.DisplX1,
                                                                  P.DisplY1);
      break;
    case dtReacHist:
      Fn<void (*)(std::int32_t, std::int32_t, double, double, double, double)>("postreacthist")(
          P.ReacType, P.ReacAxis, P.ReacX1, P.ReacY1, P.ReacX2, P.ReacY2);
      break;
    case dtStressDistr:
      Fn<void (*)(double, std::int32_t, double)>("poststressdistr")(t, P.StressTypeDistr,
                                                                    P.StressScale);
      break;
    case dtStressHist:
      Fn<void (*)(std::int32_t, std::int32_t, double, double, double, double)>("poststresshist")(
          P.StressTypeHist, P.StressComp, P.StressX1, P.StressY1, P.StressX2, P.StressY2);
      break;
    case dtStrengthDistr:
      Fn<DistrFn3>("poststrengthdistr")(t, P.StrengthLower, P.StrengthUpper);
      break;
    case dtStrengthHist:
      Fn<HistFn5>("poststrengthhist")(P.StrengthType, P.StrengthX1, P.StrengthY1, P.StrengthX2,
                                      P.StrengthY2);
      break;
    case dtTensileStrengthDistr:
      Fn<DistrFn3>("poststrnthtdistr")(t, P.ftLower, P.ftUpper);
      break;
    case dtTensileStrengthHist:
      Fn<HistFn5>("poststrnththist")(P.ftType, P.ftX1, P.ftY1, P.ftX2, P.ftY2);
      break;
    case dtCompressiveStrengthDistr:
      Fn<DistrFn3>("poststrnthcdistr")(t, P.fcLower, P.fcUpper);
      break;
    case dtCompressiveStrengthHist:
      Fn<HistFn5>("poststrnthchist")(P.fcType, P.fcX1, P.fcY1, P.fcX2, P.fcY2);
      break;
    case dtCrackRisk:
      Fn<void (*)(double, double)>("postcrackrisk")(t, P.CrackThreshold);
      break;
  }
}

}  // namespace vemto
