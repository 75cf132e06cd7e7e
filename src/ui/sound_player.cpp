#include "sound_player.h"

#include <QApplication>
#include <QAudioDevice>
#include <QEventLoop>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include "app/wave_file.h"

void PlaySoundToEnd(const QString& wavFile) {
  const auto length = vintrel::WaveDurationMs(wavFile.toStdString());
  if (!length) {
    QApplication::beep();
    return;
  }
  if (QMediaDevices::audioOutputs().isEmpty()) return;

  QSoundEffect effect;
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  bool started = false;
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  QObject::connect(&effect, &QSoundEffect::statusChanged, &loop, [&] {
    if (effect.status() == QSoundEffect::Error) {
      loop.quit();
    } else if (effect.status() == QSoundEffect::Ready && !started) {
      started = true;
      effect.play();
    }
  });
  QObject::connect(&effect, &QSoundEffect::playingChanged, &loop, [&] {
    if (started && !effect.isPlaying()) loop.quit();
  });
  effect.setSource(QUrl::fromLocalFile(wavFile));
  if (effect.status() == QSoundEffect::Error) return;
  if (effect.status() == QSoundEffect::Ready && !started) {
    started = true;
    effect.play();
  }
  deadline.start(*length + kSoundMarginMs);
  loop.exec();
}
