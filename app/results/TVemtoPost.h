// The post control: opens a result database through libpost.so, has it draw the
// selected diagram on its canvas (through the drawing callbacks, rendered with
// QPainter), fetches the history vectors for tables and reports post's errors.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "VemtoListener.h"

class QPaintDevice;
class QPainter;

namespace vemto {

class TComputationLibrary;

enum TDiagramType {
  dtNone,
  dtTempDistr,
  dtTempHist,
  dtMatDistr,
  dtMatHist,
  dtHydrDistr,
  dtHydrHist,
  dtHeatLossHist,
  dtPipeHist,
  dtDispl,
  dtDisplHist,
  dtReacHist,
  dtStressDistr,
  dtStressHist,
  dtStrengthDistr,
  dtStrengthHist,
  dtTensileStrengthDistr,
  dtTensileStrengthHist,
  dtCompressiveStrengthDistr,
  dtCompressiveStrengthHist,
  dtCrackRisk  ///< largest stress/strength ratio up to the time, with its histories
};
enum TPaletteType { ptColor, ptGrayscale };
enum TMarkerType { mtPosition, mtMean, mtMax, mtMin };

/// The diagram settings the control hands to post (limits −1: automatic). Times in
/// hours, coordinates in metres.
struct TPostProperties {
  double TempLower = -1.0, TempUpper = -1.0;
  int TempType = 1, TempDistrType = 0, TempLines = 10;
  double TempX1 = 0, TempY1 = 0, TempX2 = 0, TempY2 = 0;
  double MatLower = -1.0, MatUpper = -1.0;
  int MatType = 1;
  double MatX1 = 0, MatY1 = 0, MatX2 = 0, MatY2 = 0;
  double HydrLower = -1.0, HydrUpper = -1.0;
  int HydrType = 0;
  double HydrX1 = 0, HydrY1 = 0, HydrX2 = 0, HydrY2 = 0;
  int HeatType = 0;
  double HeatX1 = 0, HeatY1 = 0, HeatX2 = 0, HeatY2 = 0;
  int PipeType = 0, PipeNo = 0;
  double DisplScale = 0;
  int DisplType = 0;
  double DisplX1 = 0, DisplY1 = 0;
  int ReacType = 0, ReacAxis = 0;
  double ReacX1 = 0, ReacY1 = 0, ReacX2 = 0, ReacY2 = 0;
  int StressTypeHist = 0, StressTypeDistr = 0;
  double StressScale = 0;
  int StressComp = 0;
  double StressX1 = 0, StressY1 = 0, StressX2 = 0, StressY2 = 0;
  double StrengthLower = 0, StrengthUpper = 0;
  int StrengthType = 0;
  double StrengthX1 = 0, StrengthY1 = 0, StrengthX2 = 0, StrengthY2 = 0;
  double ftLower = 0, ftUpper = 0;
  int ftType = 0, ftDistrType = 0;
  double ftX1 = 0, ftY1 = 0, ftX2 = 0, ftY2 = 0;
  double fcLower = 0, fcUpper = 0;
  int fcType = 0, fcDistrType = 0;
  double fcX1 = 0, fcY1 = 0, fcX2 = 0, fcY2 = 0;
  double CrackThreshold = 0.7;  ///< second line of the crack-risk view (ratio)
  TMarkerType MarkerType = mtPosition;
  double MarkerX1 = 0, MarkerY1 = 0, MarkerX2 = 0, MarkerY2 = 0;
};

class TVemtoPost : public QWidget {
  Q_OBJECT
 public:
  /// Loads libpost.so from the program folder (or `library`); a missing library is
  /// reported through ErrorText and OnError at the first paint.
  explicit TVemtoPost(QWidget* parent = nullptr, const std::string& library = {});
  ~TVemtoPost() override;

  QString FileName;              ///< result database
  std::int32_t Memory = 800000;  ///< work-array words handed to post
  TPostProperties P;             ///< diagram settings
  bool DrawMarkers = false;
  /// Called for post's errors: number 0 with the text in ErrorText, else the number.
  std::function<void(int)> OnError;
  /// Called after a paint in which post delivered a history.
  std::function<void()> OnHistoryUpdate;
  /// Called with the control's debug lines.
  std::function<void(const QString&)> OnPrintLn;

  QString ErrorText() const { return errorText_; }
  std::int32_t RSize() const { return rsize_; }
  const double* HistoryTimes() const { return times_; }    ///< s, RSize entries
  const double* HistoryValues() const { return values_; }  ///< database units
  TDiagramType DiagramType() const { return diagramType_; }
  void SetDiagramType(TDiagramType type);
  double TimeStep() const { return timeStep_; }
  void SetTimeStep(double hours);
  TPaletteType Palette() const { return palette_; }
  void SetPalette(TPaletteType palette);
  /// Passes a palette to post without changing Palette (the window's scale command).
  void SetPostPalette(int palette);
  bool Opened() const { return opened_; }
  int ErrorCode() const { return errorCode_; }

  void OpenResults();
  void CloseResults();
  void ClearError() { errorCode_ = 0; }
  /// Moves a cursor that lies outside the section of the open database into it.
  void KeepCursorInside();
  /// The stored times of the open database, h.
  std::vector<double> StoredHours() const;
  /// Draws the current diagram and markers on `device` (a picture for the clipboard,
  /// a printer, an image) exactly as painting does.
  void CreatePicture(QPaintDevice& device);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Draw(QPainter& painter, int width, int height, bool initialise);
  void CallDiagram();
  static void Receive(void* context, int message, intptr_t lParam);
  template <typename F>
  F Fn(const char* name) const;

  std::shared_ptr<TComputationLibrary> lib_;
  VemtoListener listener_{};
  QString errorText_;
  int errorCode_ = 0;
  bool opened_ = false;
  bool drawing_ = true;
  bool firstPaint_ = true;
  TDiagramType diagramType_ = dtNone;
  double timeStep_ = 0.0;
  TPaletteType palette_ = ptColor;
  std::int32_t rsize_ = -1;
  const double* times_ = nullptr;
  const double* values_ = nullptr;
};

}  // namespace vemto
