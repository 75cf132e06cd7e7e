#pragma once

#include <QObject>
#include <QTimer>
#include <map>

#include "app/local_server.h"

class QSocketNotifier;

// Wakes a core local server (the command box's, the launch channel's) from Qt's event loop:
// a notifier on each descriptor it waits on, and a timer for its next deadline.
class LocalServerPump : public QObject {
 public:
  // `server` outlives the pump.
  explicit LocalServerPump(vintrel::LocalServer& server, QObject* parent = nullptr);
  ~LocalServerPump() override;

  // Watches what the server waits on now; call once it listens.
  void Start() { Follow(); }

 private:
  void Wake();
  void Follow();
  void Forget(int fd);

  vintrel::LocalServer& server_;
  std::map<int, QSocketNotifier*> notifiers_;
  QTimer deadline_;
};
