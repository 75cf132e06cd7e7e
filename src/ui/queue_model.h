#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "intake/file_queue.h"

// What LV shows: a copy of the queue's rows, kept in step as the presenter reports each change,
// so the view never sees a row the queue no longer has.
class QueueListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kFilename = 0, kType = 1, kColumnCount = 2 };

  explicit QueueListModel(QObject* parent = nullptr);

  // A row the queue appended at `index`, the row it removed from `index`.
  void Appended(std::size_t index, const vintrel::QueueEntry& entry);
  void Removed(std::size_t index);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  std::vector<vintrel::QueueEntry> rows_;
};
