#include "qt_pump.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>

void QtEventPump::DispatchPending() {
  QCoreApplication::processEvents();
}

void QtEventPump::WaitDispatching(int milliseconds) {
  if (milliseconds <= 0) {
    DispatchPending();
    return;
  }
  QEventLoop loop;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  QElapsedTimer clock;
  clock.start();
  timer.start(milliseconds);
  loop.exec();
  // While the application is quitting a local loop returns at once; sleep the rest, so the
  // runner's polls never turn into a spin.
  const qint64 left = milliseconds - clock.elapsed();
  if (timer.isActive() && left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(left));
}
