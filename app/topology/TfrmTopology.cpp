#include "TfrmTopology.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include "UserDialogs.h"

namespace vemto {

namespace {

const char* ObjectNameOf(TopologyTable table) {
  switch (table) {
    case TopologyTable::Nodes:
      return "frmNodeTopo";
    case TopologyTable::Curves:
      return "frmCurveTopo";
    default:
      return "frmSurfaceTopo";
  }
}

}  // namespace

TfrmTopology::TfrmTopology(ProjectDocument& document, TopologyTable table, TUserDialogs& dialogs,
                           QWidget* parent)
    : QWidget(parent, Qt::Tool), table_(table), dialogs_(dialogs) {
  setObjectName(QString::fromLatin1(ObjectNameOf(table)));
  setAttribute(Qt::WA_DeleteOnClose);
  switch (table) {
    case TopologyTable::Nodes:
      model_ = new TNodeTableModel(document, this);
      setWindowTitle(QStringLiteral("Nodes"));
      break;
    case TopologyTable::Curves:
      model_ = new TCurveTableModel(document, this);
      setWindowTitle(QStringLiteral("Curves"));
      break;
    default:
      model_ = new TSurfaceTableModel(document, this);
      setWindowTitle(QStringLiteral("Surfaces"));
      break;
  }
  grid_ = new QTableView(this);
  grid_->setObjectName(QStringLiteral("grdTopology"));
  grid_->setModel(model_);
  grid_->verticalHeader()->hide();
  grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed);
  grid_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

  auto* buttons = new QHBoxLayout;
  auto button = [&](const char* name, const QString& caption, void (TfrmTopology::*click)()) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    if (click != nullptr) connect(b, &QPushButton::clicked, this, click);
    buttons->addWidget(b);
    return b;
  };
  button("btnAdd", QStringLiteral("&Add"), &TfrmTopology::AddClick);
  button("btnRemove", QStringLiteral("&Remove"), &TfrmTopology::RemoveClick);
  button("btnPaste", QStringLiteral("&Paste"), &TfrmTopology::PasteClick)
      ->setVisible(table != TopologyTable::Surfaces);
  buttons->addStretch();
  connect(button("btnClose", QStringLiteral("&Close"), nullptr), &QPushButton::clicked, this,
          &QWidget::close);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(grid_);
  layout->addLayout(buttons);

  // Undo, redo and paste work while the table has the keyboard.
  QUndoStack& stack = document.UndoStack();
  for (QAction* action : {stack.createUndoAction(this), stack.createRedoAction(this)}) {
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    addAction(action);
  }
  actions()[0]->setShortcut(QKeySequence::Undo);
  actions()[1]->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  if (table != TopologyTable::Surfaces) {
    auto* paste = new QAction(this);
    paste->setShortcut(QKeySequence::Paste);
    paste->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(paste, &QAction::triggered, this, &TfrmTopology::PasteClick);
    addAction(paste);
  }

  connect(model_, &TTopologyModel::problem, this,
          [this](const QString& message) { dialogs_.ShowMessage(this, message); });
  connect(grid_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TfrmTopology::SelectionToDocument);
  connect(&document, &ProjectDocument::selectionChanged, this,
          &TfrmTopology::SelectionFromDocument);
  connect(&document, &QObject::destroyed, this, &QWidget::close);
  SelectionFromDocument(model_->Kind(), nullptr);
  resize(table == TopologyTable::Surfaces ? 560 : 340, 420);
}

TfrmTopology* TfrmTopology::Open(ProjectDocument& document, TopologyTable table,
                                 TUserDialogs& dialogs, QWidget* parent) {
  const QString name = QString::fromLatin1(ObjectNameOf(table));
  for (auto* window : parent->findChildren<TfrmTopology*>(name, Qt::FindDirectChildrenOnly)) {
    if (window->Model().Document() != &document) continue;
    window->show();
    window->raise();
    window->activateWindow();
    return window;
  }
  auto* window = new TfrmTopology(document, table, dialogs, parent);
  window->show();
  return window;
}

void TfrmTopology::AddClick() {
  model_->AddRow();
  grid_->setCurrentIndex(model_->index(model_->rowCount() - 1, 1));
}

void TfrmTopology::RemoveClick() {
  const QModelIndex current = grid_->currentIndex();
  if (current.isValid()) model_->RemoveRow(current.row());
}

void TfrmTopology::PasteClick() {
  if (table_ == TopologyTable::Surfaces) return;
  const QString text = QGuiApplication::clipboard()->text();  // plain text only
  if (!text.isEmpty()) model_->Paste(text);
}

void TfrmTopology::SelectionToDocument() {
  ProjectDocument* doc = model_->Document();
  if (following_ || doc == nullptr) return;
  ObjectList objects;
  for (const QModelIndex& index : grid_->selectionModel()->selectedRows())
    if (void* object = model_->ObjectAt(index.row())) objects.push_back(object);
  doc->SetSelection(model_->Kind(), objects, this);
}

void TfrmTopology::SelectionFromDocument(ObjectKind kind, QObject* source) {
  ProjectDocument* doc = model_->Document();
  if (kind != model_->Kind() || source == this || doc == nullptr) return;
  QItemSelection rows;
  for (void* object : doc->Selection(kind))
    if (const int row = model_->RowOf(object); row >= 0)
      rows.select(model_->index(row, 0), model_->index(row, model_->columnCount() - 1));
  following_ = true;
  grid_->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
  following_ = false;
}

}  // namespace vemto
