#include "local_server_pump.h"

#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <set>
#include <vector>

LocalServerPump::LocalServerPump(vintrel::LocalServer& server, QObject* parent)
    : QObject(parent), server_(server) {
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, &LocalServerPump::Wake);
  // A descriptor the event loop still polls once it is closed would wake it for ever.
  server_.onClosing = [this](int fd) { Forget(fd); };
}

LocalServerPump::~LocalServerPump() {
  server_.onClosing = nullptr;
}

void LocalServerPump::Wake() {
  const QPointer<LocalServerPump> self(this);
  server_.Service();
  if (self) Follow();
}

void LocalServerPump::Follow() {
  const std::vector<int> wanted = server_.Descriptors();
  const std::set<int> keep(wanted.begin(), wanted.end());
  std::vector<int> gone;
  for (const auto& [fd, notifier] : notifiers_) {
    if (!keep.contains(fd)) gone.push_back(fd);
  }
  for (const int fd : gone) Forget(fd);
  for (const int fd : wanted) {
    if (notifiers_.contains(fd)) continue;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &LocalServerPump::Wake);
    notifiers_[fd] = notifier;
  }
  if (const auto ms = server_.MsToNextDeadline()) {
    deadline_.start(static_cast<int>(std::min<std::int64_t>(*ms, 60000)));
  } else {
    deadline_.stop();
  }
}

void LocalServerPump::Forget(int fd) {
  const auto found = notifiers_.find(fd);
  if (found == notifiers_.end()) return;
  // Later: it may be the notifier whose signal is running.
  found->second->setEnabled(false);
  found->second->deleteLater();
  notifiers_.erase(found);
}
