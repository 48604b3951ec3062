#include "TfrmPipeProp.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "ConditionCommands.h"
#include "NumberText.h"
#include "UserDialogs.h"

namespace vemto {

TfrmPipeProp::TfrmPipeProp(ProjectDocument& document, TUserDialogs& dialogs, TVemtoPipe* pipe,
                           QWidget* parent)
    : QDialog(parent),
      doc_(&document),
      dialogs_(dialogs),
      pipe_(pipe),
      lbPipeOrder_(new QListWidget(this)),
      edtPartLength_(new QLineEdit(QStringLiteral("5"), this)) {
  setObjectName(QStringLiteral("frmPipeProp"));
  setWindowTitle(QStringLiteral("Pipe properties"));
  lbPipeOrder_->setObjectName(QStringLiteral("lbPipeOrder"));
  edtPartLength_->setObjectName(QStringLiteral("edtPartLength"));

  auto* group = new QGroupBox(QStringLiteral("Pipe order"), this);
  auto* moves = new QVBoxLayout;
  auto* up = new QPushButton(QStringLiteral("Up"), group);
  up->setObjectName(QStringLiteral("btnMoveUp"));
  auto* down = new QPushButton(QStringLiteral("Down"), group);
  down->setObjectName(QStringLiteral("btnMoveDown"));
  moves->addStretch();
  moves->addWidget(up);
  moves->addWidget(new QLabel(QStringLiteral("Move"), group), 0, Qt::AlignHCenter);
  moves->addWidget(down);
  moves->addStretch();
  auto* inside = new QHBoxLayout(group);
  inside->addWidget(lbPipeOrder_);
  inside->addLayout(moves);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Length of pipe parts (m)"), edtPartLength_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(form);
  layout->addWidget(buttons);
  connect(up, &QPushButton::clicked, this, &TfrmPipeProp::MoveUp);
  connect(down, &QPushButton::clicked, this, &TfrmPipeProp::MoveDown);
  connect(buttons, &QDialogButtonBox::accepted, this, &TfrmPipeProp::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TfrmPipeProp::reject);

  if (pipe_ != nullptr) {
    // Points in the order along the pipe; equal or missing order numbers (left by
    // deleting and placing points) keep every point, in list order.
    points_ = PipePointsInOrder(document.Model(), pipe_);
    const std::vector<TVemtoPipePos*> listed = PipePoints(document.Model(), pipe_);
    for (TVemtoPipePos* p : points_)
      counts_.push_back(int(std::find(listed.begin(), listed.end(), p) - listed.begin()));
    for (int count : counts_)
      lbPipeOrder_->addItem(QString::fromStdString(pipe_->Name) +
                            QStringLiteral(" %1").arg(count + 1));
    edtPartLength_->setText(QString::fromStdString(FormatG(pipe_->PartLength)));
  }
  // An editor never outlives its object: without its pipe or its document it closes
  // and stores nothing.
  connect(&document, &ProjectDocument::objectsRemoved, this,
          [this](ObjectKind kind, const ObjectList& objects) {
            if ((kind == ObjectKind::Pipe && objects.contains(pipe_)) ||
                (kind == ObjectKind::Position &&
                 std::any_of(points_.begin(), points_.end(), [&](TVemtoPipePos* p) {
                   return objects.contains(static_cast<TVemtoPosition*>(p));
                 })))
              reject();
          });
  connect(&document, &QObject::destroyed, this, &TfrmPipeProp::reject);
}

QStringList TfrmPipeProp::Rows() const {
  QStringList rows;
  for (int i = 0; i < lbPipeOrder_->count(); ++i) rows << lbPipeOrder_->item(i)->text();
  return rows;
}

void TfrmPipeProp::Swap(int row, int other) {
  std::swap(points_[std::size_t(row)], points_[std::size_t(other)]);
  std::swap(counts_[std::size_t(row)], counts_[std::size_t(other)]);
  const QString text = lbPipeOrder_->item(row)->text();
  lbPipeOrder_->item(row)->setText(lbPipeOrder_->item(other)->text());
  lbPipeOrder_->item(other)->setText(text);
  lbPipeOrder_->setCurrentRow(other);
}

void TfrmPipeProp::MoveUp() {
  const int row = lbPipeOrder_->currentRow();
  if (row > 0) Swap(row, row - 1);
}

void TfrmPipeProp::MoveDown() {
  const int row = lbPipeOrder_->currentRow();
  if (row >= 0 && row + 1 < lbPipeOrder_->count()) Swap(row, row + 1);
}

void TfrmPipeProp::accept() {
  if (pipe_ != nullptr && doc_ != nullptr) {
    const std::optional<double> length = ParseReal(edtPartLength_->text().trimmed().toStdString());
    if (!length || !(*length > 0.0)) {
      dialogs_.ShowMessage(this, QStringLiteral("The length of pipe parts must be a positive "
                                                "number of metres."));
      return;
    }
    doc_->Push(new SetPipeOrderCommand(*doc_, pipe_, points_, *length));
  }
  QDialog::accept();
}

}  // namespace vemto
