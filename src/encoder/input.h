// The source file: opened from the local file system only, with the streams the 3GP will carry.
#pragma once

#include <string>

#include "av_util.h"

namespace conv {

struct DecoderTuning {
  int lowres = 0;
  AVDiscard skipLoopFilter = AVDISCARD_DEFAULT;
};

class Input {
 public:
  // Checks the file, opens it and reads its stream parameters.
  explicit Input(std::string path);

  const std::string& Path() const { return path_; }
  AVFormatContext* Context() const { return context_.get(); }

  // Picks the video and audio streams; every other stream is discarded by the demuxer.
  void PickStreams();
  AVStream* Video() const { return video_; }
  AVStream* Audio() const { return audio_; }

  // Common origin of both streams' timestamps, in AV_TIME_BASE units.
  int64_t Origin() const { return origin_; }
  // Declared length in seconds, or a negative number when unknown.
  double DurationSeconds() const;
  // True when the length is only a guess from the bitrate.
  bool DurationIsEstimate() const;

  // "Duration: HH:MM:SS.xx, " comes first, before anything that could quote a path.
  void PrintSummary() const;

  // Clockwise degrees (0, 90, 180, 270) the picture must be turned to stand upright.
  int VideoRotation() const;

 private:
  std::string path_;
  InputContextPtr context_;
  AVStream* video_ = nullptr;
  AVStream* audio_ = nullptr;
  int64_t origin_ = 0;
};

CodecContextPtr OpenDecoder(AVStream* stream, const DecoderTuning& tuning, const std::string& path);

}  // namespace conv
