// "Pipe properties": the order of a pipe's points and the length of its parts.
#pragma once

#include <QDialog>
#include <QPointer>
#include <vector>

#include "ProjectDocument.h"

class QLineEdit;
class QListWidget;

namespace vemto {

class TUserDialogs;

/// Orders the points of one pipe; OK numbers them 0, 1, 2, ... in list order (the mesher
/// then makes parts 1..k along the pipe) and sets the pipe's part length. The dialog
/// closes without storing when its pipe leaves the model or the document goes.
class TfrmPipeProp : public QDialog {
  Q_OBJECT
 public:
  /// For `pipe` of `document` (null: an empty list, OK changes nothing).
  TfrmPipeProp(ProjectDocument& document, TUserDialogs& dialogs, TVemtoPipe* pipe,
               QWidget* parent = nullptr);

  /// The points in list order.
  const std::vector<TVemtoPipePos*>& Points() const { return points_; }
  /// The rows as shown.
  QStringList Rows() const;
  /// Moves the highlighted row up or down one place; the highlight follows.
  void MoveUp();
  void MoveDown();
  void accept() override;

 private:
  void Swap(int row, int other);

  QPointer<ProjectDocument> doc_;
  TUserDialogs& dialogs_;
  TVemtoPipe* pipe_;
  std::vector<TVemtoPipePos*> points_;
  std::vector<int> counts_;  // each point's count among its pipe's points, for the rows
  QListWidget* lbPipeOrder_;
  QLineEdit* edtPartLength_;
};

}  // namespace vemto
