// The boundary-condition window: the section drawn read-only with a marker and a name
// label for every position of the condition type being worked on. Clicks place edge,
// surface and nodal positions of the chosen condition, or select labels; the condition
// list and the pipe arrangement (TfrmConditions.h) choose what is placed.
#pragma once

#include <QList>
#include <QPointer>
#include <QPolygon>
#include <QStringList>
#include <array>
#include <map>
#include <vector>

#include "FemView2D.h"
#include "TfrmDocument.h"
#include "VemtoLogic.h"

class QAction;
class QLabel;
class QToolBar;
class QToolButton;

namespace vemto {

class TUserDialogs;
class TfrmConditions;
class TfrmPipes;

/// The condition types, as the toolbar and the condition list count them.
enum TConditionType {
  ctTemperature = 1,
  ctHeatFlow = 2,
  ctPipe = 3,
  ctDisplacement = 4,
  ctLoad = 5,
  ctSpring = 6
};

/// Where a new position goes.
enum TPositionKind { pkNodal = 0, pkEdge = 1, pkSurface = 2 };

/// The type (1..6) of `condition`; 0 for none.
int ConditionTypeOf(const TVemtoCondition* condition);

/// The clickable area of one drawn label and the position it belongs to.
struct TPosRegion {
  QPolygon Polygon;                    ///< the four corners of the label box, pixels
  TVemtoPosition* Position = nullptr;  ///< not owned
  /// True when `pixel` lies inside the polygon.
  bool Contains(QPoint pixel) const;
};

/// Size of a saved view state: grid size, origin x and y, scale (doubles), then one
/// byte each for snap and grid.
inline constexpr std::size_t kConditionsViewStateSize = 34;
using TConditionsViewState = std::array<char, kConditionsViewStateSize>;

/// "Boundary conditions": places and removes the positions of conditions.
class TfrmBoundaryConds : public TfrmDocument {
  Q_OBJECT
 public:
  TfrmBoundaryConds(ProjectDocument& document, TUserDialogs& dialogs, QWidget* parent = nullptr);
  ~TfrmBoundaryConds() override;

  TDocumentWindow Kind() const override { return TDocumentWindow::BoundaryConds; }
  bool CanCopy() const override { return true; }
  /// The section with markers and labels on the clipboard.
  void Copy() override;
  bool CanDelete() const override { return true; }
  /// Deletes the selected positions (one command).
  void DeleteSelection() override;
  TFemView2D* View() const override { return fmvWorkSpace_; }

  /// Connects the buttons of the "Boundary Conditions" toolbar (found by their object
  /// names) to this window and sets the current type and kind from them.
  void BindToolbar(QToolBar* toolbar);

  // --- the shared values ---
  /// The current condition type (TConditionType); sets kind, kind buttons, caption and
  /// the condition list.
  int ConditionType() const { return type_; }
  void SetConditionType(int type);
  /// The current position kind (TPositionKind).
  int PositionKind() const { return kind_; }
  void SetPositionKind(int kind);
  /// The condition whose positions a click places (null: none).
  TVemtoCondition* ChosenCondition() const { return condition_; }
  /// Chooses `condition` (null forgets): placement goes on; repaints.
  void ChooseCondition(TVemtoCondition* condition);
  /// The pipe whose points a nodal click places (null: none).
  TVemtoPipe* ChosenPipe() const { return pipe_; }
  void ChoosePipe(TVemtoPipe* pipe);
  /// On: a click places a position; off: a click selects labels.
  bool Placing() const { return placing_; }
  void SetPlacing(bool on);
  /// "Select": no condition chosen, pipe list emptied, clicks select labels.
  void SelectLabels();

  /// The edit mode chosen from the View toolbar (emSelect or emZoomWindow are kept;
  /// emSmoothPan is applied without being kept).
  TEditMode EditMode() const { return editMode_; }
  void SetEditMode(TEditMode mode);
  /// The "Set grid size" dialog.
  void ShowGridProperties();

  /// Moves the selected nodal positions to the nearest division point of the surface
  /// under them (positions without a surface stay).
  void SnapSelectedPositions();
  /// Positions picked by their labels, in picking order, each once.
  const QList<TVemtoPosition*>& SelectedPositions() const { return selected_; }
  /// The labels of the last paint, in drawing order.
  const std::vector<TPosRegion>& Labels() const { return labels_; }
  /// The texts of the drawn labels, in drawing order (as shown).
  QStringList LabelTexts() const;
  /// The hint about faces a removal lays open (empty when none is): the model check's
  /// warnings, one a line.
  QString ExposedHint() const;
  /// The warning about the exposed faces highlighted at `pixel` of the view (empty when
  /// no highlighted edge lies there); shown as the view's tooltip.
  QString ExposedHintAt(QPoint pixel) const;

  /// The condition list and the pipe arrangement serving this window.
  TfrmConditions* ConditionList() const { return frmConditions_; }
  TfrmPipes* PipeArrangement() const { return frmPipes_; }
  /// "Edit conditions": shows the condition list (and the pipes for the pipe type).
  void ShowConditionList();

  TConditionsViewState SaveViewState() const;
  void RestoreViewState(const TConditionsViewState& state);

 signals:
  /// The current type or kind changed (the toolbar follows).
  void conditionTypeChanged(int type);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Clicked(double x, double y);
  void SelectLabelAt(double x, double y);
  void Place(double x, double y);
  bool DivisionPointAt(double x, double y, double& px, double& py) const;
  void DrawPositions(QPainter& painter);
  QPoint DrawLabel(QPainter& painter, QPoint anchor, const QString& text, TVemtoPosition* position,
                   int group);
  void DocumentRemoved(ObjectKind kind, const ObjectList& objects);
  void UpdateToolbar();
  void UpdateExposedHint();
  void Repaint();

  TUserDialogs& dialogs_;
  TFemView2D* fmvWorkSpace_;
  QToolButton* btnConditions_;
  QLabel* lblExposed_;
  TfrmConditions* frmConditions_;
  TfrmPipes* frmPipes_;
  std::map<QString, QPointer<QAction>> buttons_;  // toolbar buttons by object name

  int type_ = ctTemperature;
  int kind_ = pkEdge;
  TVemtoCondition* condition_ = nullptr;
  TVemtoPipe* pipe_ = nullptr;
  bool placing_ = true;
  TEditMode editMode_ = emSelect;
  QList<TVemtoPosition*> selected_;
  std::vector<TPosRegion> labels_;
  std::vector<std::pair<int, QRect>> labelBoxes_;  // drawn label boxes and their anchor groups
  std::vector<TExposedFaces> exposed_;
  QStringList labelTexts_;
};

}  // namespace vemto
