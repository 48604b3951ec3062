#include "TopologyModels.h"

#include <QRegularExpression>
#include <QSet>

#include "DocumentCommands.h"
#include "NumberText.h"
#include "TopologyCommands.h"

namespace vemto {

namespace {

std::optional<double> Real(const QString& text) {
  return ParseReal(text.toStdString());
}

std::optional<std::int64_t> Whole(const QString& text) {
  return ParseInteger(text.toStdString());
}

QString Number(double value) {
  return QString::fromStdString(FormatG(value));
}

template <class T>
int PositionIn(const std::vector<std::unique_ptr<T>>& list, const void* object) {
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i].get() == object) return static_cast<int>(i);
  return -1;
}

template <class T>
ObjectList AllOf(const std::vector<std::unique_ptr<T>>& list) {
  ObjectList out;
  out.reserve(static_cast<qsizetype>(list.size()));
  for (const auto& p : list) out.push_back(p.get());
  return out;
}

}  // namespace

QList<QStringList> SpreadsheetRows(const QString& text) {
  QString all = text;
  all.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar(u'\r'), QChar(u'\n'));
  QList<QStringList> rows;
  for (const QString& line : all.split(QChar(u'\n'))) {
    QStringList values = line.split(QChar(u'\t'));
    for (QString& v : values) v = v.trimmed();
    while (!values.isEmpty() && values.back().isEmpty()) values.pop_back();
    if (!values.isEmpty()) rows.push_back(values);
  }
  return rows;
}

// --- base ---------------------------------------------------------------------------------

TTopologyModel::TTopologyModel(ProjectDocument& document, ObjectKind kind, QStringList columns,
                               QObject* parent)
    : QAbstractTableModel(parent), doc_(&document), kind_(kind), columns_(std::move(columns)) {
  auto listChanged = [this](ObjectKind kind) {
    if (kind == kind_)
      Sync();
    else if (DependsOn(kind))
      RefreshAll();
  };
  connect(&document, &ProjectDocument::objectsAdded, this, listChanged);
  connect(&document, &ProjectDocument::objectsRemoved, this, listChanged);
  connect(&document, &ProjectDocument::objectsChanged, this,
          [this](ObjectKind kind, const ObjectList& objects) {
            if (DependsOn(kind) || (kind == kind_ && objects.size() > 32)) {
              RefreshAll();  // (many objects: one signal instead of a search for each)
            } else if (kind == kind_) {
              for (void* object : objects)
                if (const int row = RowOf(object); row >= 0)
                  emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            }
          });
  connect(&document, &QObject::destroyed, this, [this] {
    beginResetModel();
    rows_.clear();
    drafts_.clear();
    endResetModel();
  });
}

void TTopologyModel::Sync() {
  if (doc_ == nullptr) return;
  const ObjectList objects = ModelObjects();
  const QSet<void*> present(objects.begin(), objects.end());
  for (int row = static_cast<int>(rows_.size()) - 1; row >= 0; --row) {
    if (present.contains(rows_[row])) continue;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
  }
  for (int i = 0; i < objects.size(); ++i) {
    if (i < static_cast<int>(rows_.size()) && rows_[i] == objects[i]) continue;
    if (const int was = RowOf(objects[i]); was >= 0) {  // moved: out, then in again
      beginRemoveRows({}, was, was);
      rows_.erase(rows_.begin() + was);
      endRemoveRows();
    }
    beginInsertRows({}, i, i);
    rows_.insert(rows_.begin() + i, objects[i]);
    endInsertRows();
  }
  RefreshAll();  // the numbers of the rows below and of the references changed
}

void TTopologyModel::RefreshAll() {
  if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void* TTopologyModel::ObjectAt(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[row] : nullptr;
}

int TTopologyModel::RowOf(const void* object) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i] == object) return static_cast<int>(i);
  return -1;
}

int TTopologyModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size() + drafts_.size());
}

int TTopologyModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TTopologyModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  const int row = index.row(), column = index.column();
  if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) return {};
  if (row < static_cast<int>(rows_.size())) {
    // The number is the object's place in the document's list, which is the row except
    // while the rows catch up with a change.
    if (column == 0) return QString::number(ModelObjects().indexOf(rows_[row]) + 1);
    return Text(rows_[row], column);
  }
  if (column == 0) return QString::number(row + 1);
  return drafts_[row - rows_.size()].value(column - 1);
}

QVariant TTopologyModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  return columns_.value(section);
}

Qt::ItemFlags TTopologyModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (index.column() > 0) f |= Qt::ItemIsEditable;
  return f;
}

bool TTopologyModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (doc_ == nullptr || role != Qt::EditRole || !index.isValid() || index.column() == 0)
    return false;
  const QString text = value.toString().trimmed();
  if (text == data(index, Qt::EditRole).toString()) return true;  // unchanged
  const int row = index.row();
  if (row < static_cast<int>(rows_.size()))
    return EditObject(rows_[row], row, index.column(), text);
  return EditDraft(row - static_cast<int>(rows_.size()), index.column(), text);
}

bool TTopologyModel::EditDraft(int, int, const QString&) {
  return false;
}

bool TTopologyModel::RemoveRow(int row) {
  if (doc_ == nullptr || row < 0 || row >= rowCount()) return false;
  if (row >= static_cast<int>(rows_.size())) {
    DropDraft(row - static_cast<int>(rows_.size()));
    return true;
  }
  void* object = rows_[row];
  QList<TNode*> nodes;
  QList<TEdge*> edges;
  QList<TVemtoSurface*> surfaces;
  bool used = false;
  switch (kind_) {
    case ObjectKind::Node:
      used = static_cast<TNode*>(object)->InUse();
      nodes.push_back(static_cast<TNode*>(object));
      break;
    case ObjectKind::Edge:
      used = static_cast<TEdge*>(object)->InUse();
      edges.push_back(static_cast<TEdge*>(object));
      break;
    default:
      used = static_cast<TVemtoSurface*>(object)->InUse();
      surfaces.push_back(static_cast<TVemtoSurface*>(object));
      break;
  }
  if (used) return Refuse(InUseMessage(), row, 0);
  doc_->Push(new DeleteObjectsCommand(*doc_, nodes, edges, surfaces));
  return true;
}

bool TTopologyModel::Paste(const QString&) {
  return false;
}

bool TTopologyModel::Refuse(const QString& message, int row, int column) {
  emit problem(QStringLiteral("%1\nRow %2, column \"%3\".")
                   .arg(message)
                   .arg(row + 1)
                   .arg(columns_.value(column)));
  return false;
}

bool TTopologyModel::RefusePaste(const QString& message, int row, int column) {
  emit problem(
      QStringLiteral("%1\nPasted row %2, column \"%3\".")
          .arg(message)
          .arg(row + 1)
          .arg(columns_.value(std::min(column + 1, static_cast<int>(columns_.size()) - 1))));
  return false;
}

void TTopologyModel::AppendDraft(const QStringList& cells) {
  const int row = rowCount();
  beginInsertRows({}, row, row);
  drafts_.push_back(cells);
  endInsertRows();
}

void TTopologyModel::DropDraft(int draft) {
  const int row = static_cast<int>(rows_.size()) + draft;
  beginRemoveRows({}, row, row);
  drafts_.erase(drafts_.begin() + draft);
  endRemoveRows();
}

// --- nodes --------------------------------------------------------------------------------

TNodeTableModel::TNodeTableModel(ProjectDocument& document, QObject* parent)
    : TTopologyModel(document, ObjectKind::Node,
                     {QStringLiteral("Node"), QStringLiteral("X (m)"), QStringLiteral("Y (m)")},
                     parent) {
  Sync();
}

ObjectList TNodeTableModel::ModelObjects() const {
  return AllOf(doc_->Model().Nodes);
}

QString TNodeTableModel::Text(void* object, int column) const {
  const TCoord& c = *static_cast<TNode*>(object)->Coord;
  return Number(column == 1 ? c.X : c.Y);
}

bool TNodeTableModel::EditObject(void* object, int row, int column, const QString& text) {
  const std::optional<double> value = Real(text);
  if (!value) return Refuse(QStringLiteral("Invalid numeric input. (%1)").arg(text), row, column);
  auto* node = static_cast<TNode*>(object);
  doc_->Push(new MoveNodeCommand(*doc_, node, column == 1 ? *value : node->Coord->X,
                                 column == 2 ? *value : node->Coord->Y));
  return true;
}

void TNodeTableModel::AddRow() {
  if (doc_ != nullptr) doc_->Push(new CreateNodeCommand(*doc_, 0.0, 0.0));
}

bool TNodeTableModel::Paste(const QString& text) {
  if (doc_ == nullptr) return false;
  std::vector<std::pair<double, double>> points;
  const QList<QStringList> rows = SpreadsheetRows(text);
  for (int r = 0; r < rows.size(); ++r) {
    if (rows[r].size() != 2)
      return RefusePaste(QStringLiteral("Data does not fit into grid."), r,
                         rows[r].size() > 2 ? 2 : rows[r].size());
    double xy[2];
    for (int k = 0; k < 2; ++k) {
      const std::optional<double> value = Real(rows[r][k]);
      if (!value)
        return RefusePaste(QStringLiteral("Invalid numeric input. (%1)").arg(rows[r][k]), r, k);
      xy[k] = *value;
    }
    points.emplace_back(xy[0], xy[1]);
  }
  if (points.empty()) return false;
  doc_->UndoStack().beginMacro(QStringLiteral("Paste nodes"));
  for (const auto& [x, y] : points) doc_->Push(new CreateNodeCommand(*doc_, x, y));
  doc_->UndoStack().endMacro();
  return true;
}

QString TNodeTableModel::InUseMessage() const {
  return QStringLiteral("Node is connected and can not be removed.");
}

// --- curves -------------------------------------------------------------------------------

TCurveTableModel::TCurveTableModel(ProjectDocument& document, QObject* parent)
    : TTopologyModel(document, ObjectKind::Edge,
                     {QStringLiteral("Curve"), QStringLiteral("Node 1"), QStringLiteral("Node 2"),
                      QStringLiteral("Node 3")},
                     parent) {
  Sync();
}

ObjectList TCurveTableModel::ModelObjects() const {
  return AllOf(doc_->Model().Edges);
}

QString TCurveTableModel::Text(void* object, int column) const {
  const auto* edge = static_cast<TEdge*>(object);
  if (column > edge->NodeCount()) return {};
  const int position = PositionIn(doc_->Model().Nodes, edge->GetNode(column - 1));
  return position >= 0 ? QString::number(position + 1) : EmptyText();
}

TNode* TCurveTableModel::ReadNode(const QString& text, int row, int column, bool& ok) {
  ok = false;
  const std::optional<std::int64_t> number = Whole(text);
  if (!number)
    return Refuse(QStringLiteral("Invalid numeric input in curve topology."), row, column), nullptr;
  const auto& nodes = doc_->Model().Nodes;
  if (*number < 1 || *number > static_cast<std::int64_t>(nodes.size()))
    return Refuse(QStringLiteral("Invalid topology data."), row, column), nullptr;
  ok = true;
  return nodes[static_cast<std::size_t>(*number - 1)].get();
}

bool TCurveTableModel::EditObject(void* object, int row, int column, const QString& text) {
  auto* edge = static_cast<TEdge*>(object);
  std::vector<TNode*> nodes;
  for (int k = 0; k < edge->NodeCount(); ++k) nodes.push_back(edge->GetNode(k));
  const bool curved = edge->NodeCount() == 3;
  if (column == 3 && text.isEmpty() && !curved) return true;
  TNode* node = nullptr;
  if (!text.isEmpty()) {
    bool ok = false;
    node = ReadNode(text, row, column, ok);
    if (!ok) return false;
  }
  if (column == 3 && curved == text.isEmpty()) {  // straight <-> curved
    if (edge->InUse())
      return Refuse(QStringLiteral("Curve is connected and its kind can not be changed."), row,
                    column);
    std::unique_ptr<TEdge> replacement;
    if (curved)
      replacement = std::make_unique<TEdgeLine>(nodes[0], nodes[1]);
    else
      replacement = std::make_unique<TEdgeCurve>(nodes[0], nodes[1], node);
    replacement->Divisions = edge->Divisions;
    replacement->EdgeFlag = edge->EdgeFlag;
    PushReplaceEdge(*doc_, edge, std::move(replacement));
    return true;
  }
  if (text.isEmpty())
    return Refuse(QStringLiteral("Invalid numeric input in curve topology."), row, column);
  nodes[static_cast<std::size_t>(column - 1)] = node;
  // The surfaces that use the edge must stay closed chains.
  const std::vector<TNode*> before = [&] {
    std::vector<TNode*> b;
    for (int k = 0; k < edge->NodeCount(); ++k) b.push_back(edge->GetNode(k));
    return b;
  }();
  for (int k = 0; k < edge->NodeCount(); ++k) edge->SetNode(k, nodes[k]);  // trial, uncounted
  QString problem;
  int surfaceRow = 0;
  for (const auto& surface : doc_->Model().Surfaces) {
    ++surfaceRow;
    bool uses = false;
    for (int i = 0; i < 4; ++i) uses = uses || surface->GetEdge(i) == edge;
    if (!uses) continue;
    problem = QString::fromStdString(SurfaceChainProblem(*surface));
    if (!problem.isEmpty()) {
      problem = QStringLiteral("Surface %1 would not be closed: %2").arg(surfaceRow).arg(problem);
      break;
    }
  }
  for (int k = 0; k < edge->NodeCount(); ++k) edge->SetNode(k, before[k]);
  if (!problem.isEmpty()) return Refuse(problem, row, column);
  doc_->Push(new SetEdgeNodesCommand(*doc_, edge, nodes));
  return true;
}

bool TCurveTableModel::EditDraft(int draft, int column, const QString& text) {
  const int row = static_cast<int>(ModelObjects().size()) + draft;
  QStringList cells = drafts_[draft];
  if (text.isEmpty()) {
    cells[column - 1] = column == 3 ? QString() : EmptyText();
  } else {
    bool ok = false;
    ReadNode(text, row, column, ok);
    if (!ok) return false;
    cells[column - 1] = text;
  }
  if (cells[0] == EmptyText() || cells[1] == EmptyText()) {
    drafts_[draft] = cells;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    return true;
  }
  std::array<TNode*, 3> nodes{};
  for (int k = 0; k < 3; ++k) {
    if (cells[k].isEmpty()) continue;
    bool ok = false;
    nodes[k] = ReadNode(cells[k], row, k + 1, ok);
    if (!ok) return false;
  }
  std::unique_ptr<TEdge> edge;
  if (nodes[2] != nullptr)
    edge = std::make_unique<TEdgeCurve>(nodes[0], nodes[1], nodes[2]);
  else
    edge = std::make_unique<TEdgeLine>(nodes[0], nodes[1]);
  DropDraft(draft);
  doc_->Push(new CreateEdgeCommand(*doc_, std::move(edge)));
  return true;
}

void TCurveTableModel::AddRow() {
  AppendDraft({EmptyText(), EmptyText(), QString()});
}

bool TCurveTableModel::Paste(const QString& text) {
  if (doc_ == nullptr) return false;
  const QList<QStringList> rows = SpreadsheetRows(text);
  if (rows.isEmpty()) return false;
  const auto& model = doc_->Model().Nodes;
  const int width = static_cast<int>(rows.front().size());
  std::vector<std::vector<TNode*>> edges;
  for (int r = 0; r < rows.size(); ++r) {
    const QStringList& values = rows[r];
    if (values.size() > width || values.size() < std::max(width, 2))
      return RefusePaste(QStringLiteral("Data does not fit into grid."), r,
                         std::min(static_cast<int>(values.size()), 2));
    std::vector<TNode*> nodes;
    for (int k = 0; k < values.size(); ++k) {
      const std::optional<std::int64_t> number = Whole(values[k]);
      if (!number)
        return RefusePaste(QStringLiteral("Invalid numeric input. (%1)").arg(values[k]), r, k);
      if (*number < 1 || *number > static_cast<std::int64_t>(model.size()))
        return RefusePaste(QStringLiteral("Invalid topology data."), r, k);
      nodes.push_back(model[static_cast<std::size_t>(*number - 1)].get());
    }
    if (width != 3) nodes = {nodes.front(), nodes.back()};
    edges.push_back(nodes);
  }
  doc_->UndoStack().beginMacro(QStringLiteral("Paste curves"));
  for (const auto& n : edges) {
    std::unique_ptr<TEdge> edge;
    if (n.size() == 3)
      edge = std::make_unique<TEdgeCurve>(n[0], n[1], n[2]);
    else
      edge = std::make_unique<TEdgeLine>(n[0], n[1]);
    doc_->Push(new CreateEdgeCommand(*doc_, std::move(edge)));
  }
  doc_->UndoStack().endMacro();
  return true;
}

QString TCurveTableModel::InUseMessage() const {
  return QStringLiteral("Curve is connected and can not be removed.");
}

// --- surfaces -----------------------------------------------------------------------------

TSurfaceTableModel::TSurfaceTableModel(ProjectDocument& document, QObject* parent)
    : TTopologyModel(
          document, ObjectKind::Surface,
          {QStringLiteral("Surface"), QStringLiteral("Curve 1"), QStringLiteral("Curve 2"),
           QStringLiteral("Curve 3"), QStringLiteral("Curve 4"), QStringLiteral("Rows"),
           QStringLiteral("Cols"), QStringLiteral("Nodes")},
          parent) {
  Sync();
}

ObjectList TSurfaceTableModel::ModelObjects() const {
  return AllOf(doc_->Model().Surfaces);
}

QString TSurfaceTableModel::Text(void* object, int column) const {
  const auto* surface = static_cast<TVemtoSurface*>(object);
  if (column <= 4) {
    const int position = PositionIn(doc_->Model().Edges, surface->GetEdge(column - 1));
    return position >= 0 ? QString::number(position + 1) : EmptyText();
  }
  if (column <= 6) {
    const TEdge* edge = surface->GetEdge(column == 5 ? 1 : 0);
    return QString::number(edge != nullptr ? edge->Divisions : 8);
  }
  switch (static_cast<ElementKind>(surface->ElementType)) {
    case ElementKind::FiveNodeInfinite:
      return QStringLiteral("5");
    case ElementKind::ThreeNodeInfinite:
      return QStringLiteral("3");
    default:
      return QStringLiteral("8");
  }
}

bool TSurfaceTableModel::Apply(void* object, int row, int column, QStringList cells) {
  const int number = row + 1;
  const auto& edgeList = doc_->Model().Edges;
  // Only the typed cell is read before the row is complete.
  auto readWhole = [&](int c, const QString& message, std::optional<std::int64_t>& out) {
    out = Whole(cells[c - 1]);
    if (!out) return Refuse(message, row, c);
    return true;
  };
  std::optional<std::int64_t> value;
  const QString& typed = cells[column - 1];
  if (column <= 4 && typed != EmptyText()) {
    if (!readWhole(
            column,
            QStringLiteral("Invalid numeric input in curve topology at surface %1").arg(number),
            value))
      return false;
    if (*value < 1 || *value > static_cast<std::int64_t>(edgeList.size()))
      return Refuse(QStringLiteral("Invalid topology data at surface %1.").arg(number), row,
                    column);
  } else if ((column == 5 || column == 6) && !typed.isEmpty()) {
    if (!readWhole(column, QStringLiteral("Invalid division count."), value)) return false;
    if (*value < 1 || *value > kMaxEdgeDivisions)
      return Refuse(
          QStringLiteral("A division count lies between 1 and %1.").arg(kMaxEdgeDivisions), row,
          column);
  } else if (column == 7 && !typed.isEmpty()) {
    if (!readWhole(column, QStringLiteral("Invalid numeric input. (%1)").arg(typed), value))
      return false;
  }
  const bool draft = object == nullptr;
  if (draft && (cells.mid(0, 4).contains(EmptyText()))) {
    drafts_[row - ModelObjects().size()] = cells;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    return true;
  }
  SurfaceTopology t;
  for (int i = 0; i < 4; ++i) {
    const std::optional<std::int64_t> n = Whole(cells[i]);
    if (!n)
      return Refuse(
          QStringLiteral("Invalid numeric input in curve topology at surface %1").arg(number), row,
          i + 1);
    if (*n < 1 || *n > static_cast<std::int64_t>(edgeList.size()))
      return Refuse(QStringLiteral("Invalid topology data at surface %1.").arg(number), row, i + 1);
    t.Edges[i] = edgeList[static_cast<std::size_t>(*n - 1)].get();
  }
  for (int i = 0; i < 4; ++i) {
    const TEdge* a = t.Edges[i];
    const TEdge* b = t.Edges[(i + 1) % 4];
    const bool shared = a->FirstNode() == b->FirstNode() || a->FirstNode() == b->LastNode() ||
                        a->LastNode() == b->FirstNode() || a->LastNode() == b->LastNode();
    if (!shared)
      return Refuse(QStringLiteral("Invalid curve ordering at surface %1.").arg(number), row,
                    i + 1);
  }
  for (int i = 0; i < 4; ++i)
    if (t.Edges[i] == t.Edges[(i + 1) % 4])
      return Refuse(QStringLiteral("Duplicate curves in topology at surface %1.").arg(number), row,
                    i + 1);
  if (const QString chain = QString::fromStdString(EdgeChainProblem(t.Edges)); !chain.isEmpty())
    return Refuse(QStringLiteral("Invalid curve ordering at surface %1. %2").arg(number).arg(chain),
                  row, column);
  auto count = [&](int c, const TEdge* edge) {
    const std::optional<std::int64_t> n = Whole(cells[c - 1]);
    return n && *n >= 1 && *n <= kMaxEdgeDivisions ? static_cast<std::int32_t>(*n)
                                                   : edge->Divisions;
  };
  t.Rows = count(5, t.Edges[1]);
  t.Columns = count(6, t.Edges[0]);
  const std::optional<std::int64_t> kind = Whole(cells[6]);
  t.Kind = kind == 5   ? ElementKind::FiveNodeInfinite
           : kind == 3 ? ElementKind::ThreeNodeInfinite
                       : ElementKind::EightNode;
  auto* surface = static_cast<TVemtoSurface*>(object);
  const DivisionPlan plan = PlanDivisions(doc_->Model(), surface, t);
  if (!plan.Problem.isEmpty()) return Refuse(plan.Problem, row, column);
  if (!draft) {
    doc_->Push(new SetSurfaceTopologyCommand(*doc_, surface, t, plan));
    return true;
  }
  DropDraft(row - static_cast<int>(ModelObjects().size()));
  doc_->UndoStack().beginMacro(QStringLiteral("Create surface"));
  auto* create = new CreateSurfaceCommand(
      *doc_, std::make_unique<TVemtoSurface>(t.Edges[0], t.Edges[1], t.Edges[2], t.Edges[3]));
  doc_->Push(create);
  doc_->Push(new SetSurfaceTopologyCommand(*doc_, create->Surface(), t, plan));
  doc_->UndoStack().endMacro();
  return true;
}

bool TSurfaceTableModel::EditObject(void* object, int row, int column, const QString& text) {
  QStringList cells;
  for (int c = 1; c < columnCount(); ++c) cells << Text(object, c);
  cells[column - 1] = text;
  return Apply(object, row, column, cells);
}

bool TSurfaceTableModel::EditDraft(int draft, int column, const QString& text) {
  QStringList cells = drafts_[draft];
  cells[column - 1] = text.isEmpty() && column <= 4 ? EmptyText() : text;
  return Apply(nullptr, static_cast<int>(ModelObjects().size()) + draft, column, cells);
}

void TSurfaceTableModel::AddRow() {
  AppendDraft(
      {EmptyText(), EmptyText(), EmptyText(), EmptyText(), QString(), QString(), QString()});
}

QString TSurfaceTableModel::InUseMessage() const {
  return QStringLiteral("Surface is connected and can not be removed.");
}

}  // namespace vemto
