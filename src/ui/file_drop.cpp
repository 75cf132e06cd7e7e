#include "file_drop.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

FileDropFilter::FileDropFilter(QObject* parent) : QObject(parent) {}

void FileDropFilter::Watch(QWidget* target) {
  target->setAcceptDrops(true);
  target->installEventFilter(this);
}

QStringList FileDropFilter::LocalPaths(const QMimeData* data) {
  QStringList paths;
  if (data == nullptr || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.append(QDir::toNativeSeparators(url.toLocalFile()));
  }
  return paths;
}

bool FileDropFilter::eventFilter(QObject* watched, QEvent* event) {
  // A disabled list (a batch is running) takes nothing.
  const auto* widget = qobject_cast<QWidget*>(watched);
  const bool enabled = widget != nullptr && widget->isEnabled();
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!enabled || LocalPaths(drag->mimeData()).isEmpty()) {
        drag->ignore();
      } else {
        drag->setDropAction(Qt::CopyAction);
        drag->accept();
      }
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!enabled) {
        drop->ignore();
        return true;
      }
      drop->setDropAction(Qt::CopyAction);
      drop->accept();
      const QStringList paths = LocalPaths(drop->mimeData());
      if (!paths.isEmpty() && onDrop) onDrop(paths);
      return true;
    }
    default:
      return QObject::eventFilter(watched, event);
  }
}
