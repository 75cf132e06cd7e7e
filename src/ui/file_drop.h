#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QMimeData;

// Makes widgets take dropped files: only file URLs count, always as a copy. A drop that carries
// no file (text, a web link) is still taken as a copy but hands nothing on.
class FileDropFilter : public QObject {
  Q_OBJECT

 public:
  explicit FileDropFilter(QObject* parent = nullptr);

  // Accepts drops on `target` (for a list view pass its viewport).
  void Watch(QWidget* target);

  // The local paths of a drop, in the dropped order.
  static QStringList LocalPaths(const QMimeData* data);

  std::function<void(const QStringList&)> onDrop;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};
