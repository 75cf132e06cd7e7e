// Turns decoded pictures into the output's video: one picture per grid slot, scaled into its box
// with black bars, turned upright, encoded as H.263 or MPEG-4 Part 2.
#pragma once

#include <atomic>
#include <string>

#include "av_util.h"
#include "container_facts.h"
#include "geometry.h"
#include "levels/phone_levels.h"
#include "options.h"
#include "output_file.h"
#include "picture_scaler.h"
#include "rate_bucket.h"

namespace conv {

struct VideoLayout {
  PictureBox box;
  int rotation = 0;  // clockwise degrees
};

class VideoEncoder {
 public:
  VideoEncoder(const EncodeOptions& options, const VideoLayout& layout, OutputFile& output);

  AVRational FrameDuration() const { return frameDuration_; }
  const AVCodecContext* Context() const { return encoder_.get(); }

  // On the decoding thread: a picture too large to wait in the queue as it is comes back
  // brought down to its box; others come back untouched.
  FramePtr Prepare(FramePtr decoded);
  // A decoded picture that falls on output slot `slot`; pictures arrive in display order.
  void Take(FramePtr decoded, int64_t slot);
  // Shows the last picture up to `endSlot` and drains the encoder.
  void Finish(int64_t endSlot);

  int64_t FramesWritten() const { return written_.load(); }
  // The level the video declares and keeps to.
  const vintrel::levels::Level& DeclaredLevel() const { return level_; }
  // Complete once Finish has returned.
  const ContainerFacts& Facts() const { return facts_; }

 private:
  void Show(const AVFrame* decoded, FramePicker::Run run);
  FramePtr MakePicture(const AVFrame* decoded);
  void Encode(AVFrame* frame);
  void ChooseLevel(const EncodeOptions& options);
  // Hands the held packet to the file, its H.263 time written from its slot.
  void WriteHeld();

  VideoLayout layout_;
  OutputFile& output_;
  CodecContextPtr encoder_;
  AVStream* stream_ = nullptr;
  AVRational frameDuration_{1, 1};  // a copy other threads may read while the encoder works
  PacketPtr packet_;
  FramePicker picker_;
  FramePtr pending_;
  PictureScaler scaler_;
  FramePtr scaled_;        // the picture in its box, before it is turned and placed
  PictureScaler reducer_;  // used by Prepare only
  std::atomic<int64_t> written_{0};
  RateBucket bucket_;
  PeakWindow peaks_;
  vintrel::levels::Level level_;
  vintrel::levels::Limits limits_;
  LevelBucket levelBucket_;
  ContainerFacts facts_;
  PacketPtr held_;  // the last encoded frame, at its slot; written once the next is placed
  int64_t lastWritten_ = INT64_MIN;
};

}  // namespace conv
