// Interaction with the workspace view: one tool per edit mode, in the manner of map
// tools. The view does the common pointer handling (press point, snapped current point,
// drag timer) and hands each press, move and click to the tool of the current mode.
#pragma once

#include <QPoint>
#include <QPointF>
#include <memory>

#include "FemView2D.h"

class QPainter;

namespace vemto {

/// A pointer position: the pixel and its model point (m).
struct TPointer {
  QPoint pixel;
  QPointF model;
};

/// Base of the tools. A tool never changes the model; it asks the view's host.
class TViewTool {
 public:
  explicit TViewTool(TFemView2D& view) : view_(view) {}
  virtual ~TViewTool() = default;
  /// The tool takes over the pointer / gives it up.
  virtual void Activate() {}
  virtual void Deactivate() {}
  /// A button went down at `press`.
  virtual void Press(const TPointer& press) { (void)press; }
  /// The pointer moved to `current` (snapped); `down` while a button is held.
  virtual void Move(const TPointer& press, const TPointer& current, bool down) {
    (void)press;
    (void)current;
    (void)down;
  }
  /// The left button was released inside the view; `drag` when it was held for the
  /// drag time.
  virtual void Click(const TPointer& press, const TPointer& current, bool drag) {
    (void)press;
    (void)current;
    (void)drag;
  }
  /// Any button was released (after Click).
  virtual void Release() {}
  /// Draws the rubber band or outline of a drag in progress over the cached picture.
  virtual void DrawDrag(QPainter& painter, const TPointer& press, const TPointer& current);

 protected:
  TFemView2D& view_;
};

/// The tool for an edit mode, or null for modes without interaction.
std::unique_ptr<TViewTool> MakeViewTool(TFemView2D& view, TEditMode mode);

}  // namespace vemto
