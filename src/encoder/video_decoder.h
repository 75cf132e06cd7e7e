// Decodes the source's video and places every frame on the output's frame grid.
#pragma once

#include <functional>
#include <string>

#include "av_util.h"
#include "input.h"
#include "timeline.h"

namespace conv {

class VideoDecoder {
 public:
  // `slot` is the output frame the decoded picture falls on.
  using Sink = std::function<void(FramePtr frame, int64_t slot)>;

  VideoDecoder(AVStream* stream, int64_t origin, AVRational outputFrameDuration, const TimeLimits& limits,
               const DecoderTuning& tuning, const std::string& path);

  // Damaged packets are skipped, as a player would.
  void Send(const AVPacket* packet, const Sink& sink);
  void Flush(const Sink& sink);

  int64_t PacketsSent() const { return sent_; }
  int64_t FramesDecoded() const { return decoded_; }
  // Packets the decoder refused plus pictures it could only patch up.
  int64_t Damaged() const { return damaged_; }
  // The slot just after the last decoded frame has ended.
  int64_t EndSlot() const { return endSlot_; }

 private:
  int64_t SlotOf(int64_t pts) const;
  void Receive(const Sink& sink);
  int64_t FrameDuration(const AVFrame* frame) const;

  AVStream* stream_;
  std::string path_;
  CodecContextPtr decoder_;
  FramePtr frame_;
  int64_t origin_;  // in the stream's time base
  AVRational slotBase_;
  int64_t guessedDuration_ = 0;
  // Frames the next one would replace on the grid need not be decoded if nothing refers to them.
  bool mayDropFrames_ = false;
  int64_t sent_ = 0;
  int64_t decoded_ = 0;
  int64_t damaged_ = 0;
  TimeLimits limits_;
  Timeline timeline_;
  int64_t lastPts_ = AV_NOPTS_VALUE;
  int64_t lastDuration_ = 0;
  int64_t lastSlot_ = 0;
  int64_t endSlot_ = 0;
  int64_t claimedEnd_ = 0;  // where the last picture said it ends
};

}  // namespace conv
