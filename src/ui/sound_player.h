#pragma once

#include <QString>

// How much longer than the sound itself the end-of-batch chime may hold the batch.
inline constexpr int kSoundMarginMs = 500;

// Plays a wave file and returns when it has ended. Without an audio output, or when the file is
// not a playable wave, it returns at once (a missing file gives the system's beep); an audio
// system that never reports the end is given the sound's length plus the margin.
void PlaySoundToEnd(const QString& wavFile);
