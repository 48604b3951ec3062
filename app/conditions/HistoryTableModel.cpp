#include "HistoryTableModel.h"

#include "HistoryCommands.h"
#include "NumberText.h"

namespace vemto {

namespace {

const std::vector<TVemtoEventPos> kNoHistory;

}  // namespace

HistoryTableModel::HistoryTableModel(ProjectDocument& document, TVemtoCondition* condition,
                                     QObject* parent)
    : QAbstractTableModel(parent), doc_(&document) {
  connect(&document, &ProjectDocument::objectsChanged, this, &HistoryTableModel::ObjectsChanged);
  connect(&document, &ProjectDocument::objectsRemoved, this, &HistoryTableModel::ObjectsRemoved);
  connect(&document, &QObject::destroyed, this, [this] { SetCondition(nullptr); });
  SetCondition(condition);
}

void HistoryTableModel::SetCondition(TVemtoCondition* condition) {
  beginResetModel();
  condition_ = condition;
  layout_ = condition != nullptr ? LayoutOf(*condition) : HistoryLayout{};
  rows_ = static_cast<int>(History().size());
  endResetModel();
}

const std::vector<TVemtoEventPos>& HistoryTableModel::History() const {
  return condition_ != nullptr ? condition_->History : kNoHistory;
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() || condition_ == nullptr ? 0 : 1 + layout_.ValueCount;
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
  const auto row = static_cast<std::size_t>(index.row());
  if (row >= History().size() || index.column() >= columnCount()) return {};
  const TVemtoEventPos& p = History()[row];
  const double v = index.column() == 0 ? p.Time : ShownValue(p, layout_, index.column() - 1);
  return QString::fromStdString(FormatG(v));
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || section < 0) return {};
  if (orientation == Qt::Vertical) return section < rows_ ? QVariant(section + 1) : QVariant();
  if (section == 0) return QStringLiteral("Time (h)");
  if (section > layout_.ValueCount) return {};
  return QString::fromStdString(layout_.ColumnTitles[static_cast<std::size_t>(section - 1)]);
}

Qt::ItemFlags HistoryTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

bool HistoryTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole || !checkIndex(index, CheckIndexOption::IndexIsValid) ||
      condition_ == nullptr)
    return false;
  const QString text = value.toString();
  const std::optional<double> v = ParseReal(text.toStdString());
  if (!v) {
    Refuse(QStringLiteral("Invalid numeric input. (%1)").arg(text));
    return false;
  }
  std::vector<TVemtoEventPos> history = History();
  TVemtoEventPos& p = history[static_cast<std::size_t>(index.row())];
  if (index.column() == 0)
    p.Time = *v;
  else
    SetShownValue(p, layout_, index.column() - 1, *v);
  return Replace(std::move(history), QStringLiteral("Edit history")).isEmpty();
}

QString HistoryTableModel::Refuse(const QString& message) {
  emit refused(message);
  return message;
}

QString HistoryTableModel::Replace(std::vector<TVemtoEventPos> history,
                                   const QString& commandText) {
  if (condition_ == nullptr || doc_ == nullptr) return Refuse(QStringLiteral("No condition."));
  if (const std::string problem = CheckHistory(history); !problem.empty())
    return Refuse(QString::fromStdString(problem));
  auto* command = MakeSetHistoryCommand(*doc_, condition_, std::move(history), commandText);
  if (command->Empty())
    delete command;
  else
    doc_->Push(command);
  return {};
}

QString HistoryTableModel::AppendRow() {
  std::vector<TVemtoEventPos> history = History();
  TVemtoEventPos p;
  p.Time = history.empty() ? 0.0 : history.back().Time + 24.0;
  history.push_back(p);
  return Replace(std::move(history), QStringLiteral("Add history event"));
}

QString HistoryTableModel::InsertRow(int row) {
  std::vector<TVemtoEventPos> history = History();
  if (row < 0 || row >= static_cast<int>(history.size())) return AppendRow();
  const auto r = static_cast<std::size_t>(row);
  const TVemtoEventPos& next = history[r];
  if (r == 0 && !(next.Time > 0.0))
    return Refuse(QStringLiteral("No time before the first event (%1 h) is free for a new event.")
                      .arg(QString::fromStdString(FormatG(next.Time))));
  TVemtoEventPos p = next;
  if (r > 0) {
    const TVemtoEventPos& prev = history[r - 1];
    p.Time = 0.5 * (prev.Time + next.Time);
    p.Value1 = 0.5 * (prev.Value1 + next.Value1);
    p.Value2 = 0.5 * (prev.Value2 + next.Value2);
  } else {
    p.Time = 0.5 * next.Time;
  }
  history.insert(history.begin() + row, p);
  return Replace(std::move(history), QStringLiteral("Insert history event"));
}

QString HistoryTableModel::RemoveRow(int row) {
  std::vector<TVemtoEventPos> history = History();
  if (row < 0 || row >= static_cast<int>(history.size())) return {};
  if (history.size() < 2) return Refuse(QStringLiteral("The last event of a history stays."));
  history.erase(history.begin() + row);
  return Replace(std::move(history), QStringLiteral("Remove history event"));
}

QString HistoryTableModel::Paste(const QString& text) {
  if (condition_ == nullptr) return Refuse(QStringLiteral("No condition."));
  try {
    return Replace(PasteIntoHistory(History(), layout_, text.toStdString()),
                   QStringLiteral("Paste history"));
  } catch (const HistoryTextError& e) {
    return Refuse(QString::fromStdString(e.what()));
  }
}

void HistoryTableModel::ObjectsChanged(ObjectKind kind, const ObjectList& objects) {
  if (kind != ObjectKind::Condition || condition_ == nullptr || !objects.contains(condition_))
    return;
  const HistoryLayout layout = LayoutOf(*condition_);
  const int rows = static_cast<int>(History().size());
  if (layout.ValueCount != layout_.ValueCount || layout.Fields != layout_.Fields ||
      layout.ColumnTitles != layout_.ColumnTitles) {
    SetCondition(condition_);
    return;
  }
  if (rows > rows_) {
    beginInsertRows({}, rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
  } else if (rows < rows_) {
    beginRemoveRows({}, rows, rows_ - 1);
    rows_ = rows;
    endRemoveRows();
  }
  if (rows > 0) emit dataChanged(index(0, 0), index(rows - 1, columnCount() - 1));
}

void HistoryTableModel::ObjectsRemoved(ObjectKind kind, const ObjectList& objects) {
  if (kind == ObjectKind::Condition && condition_ != nullptr && objects.contains(condition_))
    SetCondition(nullptr);
}

}  // namespace vemto
