#include "qt_pump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <memory>
#include <vector>

void QtEventPump::DispatchPending() {
  QCoreApplication::processEvents();
}

void QtEventPump::WaitDispatching(int milliseconds) {
  WaitDispatchingOrWake(milliseconds, {});
}

void QtEventPump::WaitDispatchingOrWake(int milliseconds, std::span<const vintrel::WakeHandle> wake) {
  if (milliseconds <= 0) {
    DispatchPending();
    return;
  }
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  // The child's pipe and its exit end the wait like the timer does, inside the same loop.
  std::vector<std::unique_ptr<QSocketNotifier>> notifiers;
  for (vintrel::WakeHandle handle : wake) {
    auto notifier = std::make_unique<QSocketNotifier>(static_cast<qintptr>(handle), QSocketNotifier::Read);
    // Once: a ready pipe or a dead child stays ready, and a menu or dialog opened by a handler
    // inside this wait would otherwise be woken over and over while it runs.
    QObject::connect(notifier.get(), &QSocketNotifier::activated, &loop, [&loop, raw = notifier.get()] {
      raw->setEnabled(false);
      loop.quit();
    });
    notifiers.push_back(std::move(notifier));
  }
  QElapsedTimer clock;
  clock.start();
  timer.start(milliseconds);
  loop.exec();
  // While the application is quitting a local loop returns at once; sleep the rest (a ready
  // child ends that sleep too), so the runner's polls never turn into a spin.
  const qint64 left = milliseconds - clock.elapsed();
  if (timer.isActive() && left > 0) vintrel::WaitForWake(wake, static_cast<int>(left));
}
