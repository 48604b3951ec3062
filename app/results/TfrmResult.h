// The result window "Result window": hosts the post control above a status line and
// decides which diagram it draws — a distribution at a stored time or a history at
// a cursor — for the result types, modes, cursors and times chosen on the main
// window's Results toolbar. The window reports the state its toolbar buttons should
// show through Controls() and ControlsChanged, so it works (and is tested) alone.
#pragma once

#include <array>
#include <functional>
#include <vector>

#include "TVemtoPost.h"
#include "TfrmDocument.h"

class QStatusBar;

namespace vemto {

class TfrmMarker;
class TfrmResultTable;
class TfrmDiagramProperties;

/// What the Results toolbar shows for the window.
struct TResultControls {
  bool DistrEnabled = true, DistrDown = true, HistDown = false;
  bool TableEnabled = false, PropEnabled = true;
  std::array<bool, 4> CursorEnabled{true, true, true, true};  ///< node, mean, max, min
  int CursorDown = 0;
  bool TimePanelVisible = true;
  int SliderMax = 0, SliderPosition = 0;
  QString TimeLabel = QStringLiteral("0");
  int ResultType = 0;  ///< 1 … 11 (12 the crack-risk view); 0 before opening
};

class TfrmResult : public TfrmDocument {
  Q_OBJECT
 public:
  /// Result types; 12 is the crack-risk view.
  enum {
    kTemperature = 1,
    kMaturity,
    kHydration,
    kPipe,
    kHeatloss,
    kDisplacements,
    kReactions,
    kStress,
    kRatio,
    kTensile,
    kCompressive,
    kCrackRisk
  };

  /// `postLibrary`: the result library to load; empty = libpost.so beside the program.
  explicit TfrmResult(ProjectDocument& document, QWidget* parent = nullptr,
                      const std::string& postLibrary = {});
  ~TfrmResult() override;
  TDocumentWindow Kind() const override { return TDocumentWindow::Result; }
  bool CanCopy() const override { return open_; }
  bool CanPrint() const override { return open_; }

  // Commands of the main window.
  /// Opens (or reopens, after a new run) the database; nothing happens when it does not exist.
  void ShowResults(const QString& resultFile, int postMemory, int pipeCount = -1);
  void SelectResultType(int item);  ///< drop-down item k: result type k + 1
  void SetHistoryMode(bool on);     ///< "Distribution" (off) / "History" (on)
  void ShowTable();                 ///< "Table"
  void ShowProperties();            ///< "Diagram properties"
  void SelectCursor(int kind);      ///< 0 node, 1 mean, 2 max, 3 min
  void ShowCursorProperties();      ///< "Cursor properties"
  void SelectScale(int palette);    ///< "Color" 0, "Black and white" 1
  void SetTimePosition(int position);
  void Backwards();
  void Forward();
  void Copy() override;   ///< the picture as SVG and PNG on the clipboard
  void Print() override;  ///< the picture on a printer chosen in the print dialog
  /// Height := round(0.75 × width) unless maximised; inside the document area no taller
  /// than the area below the window's top (then narrower). Done on every show and resize.
  void KeepAspect();
  /// Lets go of the database while a new run rewrites it; ShowResults reopens it.
  void ReleaseResults();
  bool ResultsOpen() const { return open_; }

  const TResultControls& Controls() const { return c_; }
  TVemtoPost& Post() const { return *post_; }
  TfrmMarker& Marker() const { return *marker_; }
  TfrmResultTable& Table() const { return *table_; }
  QString StatusText() const;
  const std::vector<double>& StoredHours() const { return hours_; }
  bool HistoryMode() const { return history_; }
  /// The dialog of the current result type while it is shown (for tests), else null.
  TfrmDiagramProperties* OpenDialog() const { return dialog_; }
  /// Called when the window closes.
  std::function<void()> OnClosed;

 signals:
  void ControlsChanged();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void UpdateDiagram();
  void ApplyCursor(int kind);
  void HistoryUpdate();
  void PostError(int number);
  void Changed() { emit ControlsChanged(); }

  TVemtoPost* post_;
  QStatusBar* status_;
  TfrmMarker* marker_;
  TfrmResultTable* table_;
  TfrmDiagramProperties* dialog_ = nullptr;
  TResultControls c_;
  bool history_ = false;
  bool open_ = false;
  int cursor_ = 0;
  int pipes_ = 0;
  std::vector<double> hours_;
};

}  // namespace vemto
