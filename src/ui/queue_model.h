#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "intake/file_queue.h"

// What LV shows: a copy of the queue's rows, kept in step through the queue's change callbacks,
// so the view never sees a row the queue no longer has.
class QueueListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { kFilename = 0, kType = 1, kColumnCount = 2 };

  explicit QueueListModel(QObject* parent = nullptr);

  // Takes over the queue's onAppended/onRemoved callbacks.
  void Bind(vintrel::FileQueue& queue);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  void Appended(const vintrel::FileQueue& queue, std::size_t index);
  void Removed(std::size_t index);

  std::vector<vintrel::QueueEntry> rows_;
};
