#include "queue_model.h"

#include "face/face_access.h"

QueueListModel::QueueListModel(QObject* parent) : QAbstractTableModel(parent) {}

void QueueListModel::Appended(std::size_t index, const vintrel::QueueEntry& entry) {
  if (index > rows_.size()) return;
  const int row = static_cast<int>(index);
  beginInsertRows(QModelIndex(), row, row);
  rows_.insert(rows_.begin() + row, entry);
  endInsertRows();
}

void QueueListModel::Removed(std::size_t index) {
  if (index >= rows_.size()) return;
  const int row = static_cast<int>(index);
  beginRemoveRows(QModelIndex(), row, row);
  rows_.erase(rows_.begin() + row);
  endRemoveRows();
}

int QueueListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int QueueListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant QueueListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() < 0 || static_cast<std::size_t>(index.row()) >= rows_.size()) return {};
  const vintrel::QueueEntry& entry = rows_[static_cast<std::size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(index.column() == kFilename ? entry.path : entry.typeTag);
    case Qt::ToolTipRole:
      return QString::fromStdString(entry.path);
    default:
      return {};
  }
}

QVariant QueueListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal) return {};
  if (role == Qt::AccessibleTextRole && section >= 0 && section < kColumnCount) {
    // Screen readers announce what the skin's header bar shows.
    const std::string_view name = vintrel::face::kColumnNames[static_cast<std::size_t>(section)];
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
  }
  if (role != Qt::DisplayRole) return {};
  if (section == kFilename) return QStringLiteral("Filename");
  if (section == kType) return QStringLiteral("Type");
  return {};
}
