#include "video_decoder.h"

#include <algorithm>

#include "geometry.h"

namespace conv {
namespace {

bool Valid(AVRational rate) {
  return rate.num > 0 && rate.den > 0;
}

}  // namespace

VideoDecoder::VideoDecoder(AVStream* stream, int64_t origin, AVRational outputFrameDuration,
                           const TimeLimits& limits, const DecoderTuning& tuning, const std::string& path)
    : stream_(stream),
      path_(path),
      decoder_(OpenDecoder(stream, tuning, path)),
      frame_(MakeFrame()),
      origin_(Rescale(origin, AV_TIME_BASE_Q, stream->time_base)),
      slotBase_(outputFrameDuration),
      limits_(limits),
      timeline_(limits, 1 / av_q2d(outputFrameDuration), ContentMap::kVideo) {
  AVRational rate = Valid(stream->avg_frame_rate) ? stream->avg_frame_rate : stream->r_frame_rate;
  if (Valid(rate)) {
    guessedDuration_ = av_rescale_q(1, av_inv_q(rate), stream->time_base);
    // Only worth it when the source has clearly more frames than the output.
    mayDropFrames_ = av_q2d(rate) * av_q2d(slotBase_) > 1.2;
  }
}

int64_t VideoDecoder::SlotOf(int64_t pts) const {
  return Rescale(SaturatingSub(pts, origin_), stream_->time_base, slotBase_);
}

int64_t VideoDecoder::FrameDuration(const AVFrame* frame) const {
#if LIBAVUTIL_VERSION_MAJOR >= 58
  const int64_t duration = frame->duration;  // FFmpeg 6 renamed pkt_duration; 7 removed the old name
#else
  const int64_t duration = frame->pkt_duration;
#endif
  return duration > 0 ? duration : guessedDuration_;
}

void VideoDecoder::Send(const AVPacket* packet, const Sink& sink) {
  if (mayDropFrames_ && packet->pts != AV_NOPTS_VALUE) {
    int64_t duration = packet->duration > 0 ? packet->duration : guessedDuration_;
    bool replaced =
        duration > 0 && IsReplaced(SlotOf(packet->pts), SlotOf(SaturatingAdd(packet->pts, duration)));
    // Frames other frames refer to are always decoded; the decoder knows which they are.
    decoder_->skip_frame = replaced ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
  }
  ++sent_;
  int ret = avcodec_send_packet(decoder_.get(), packet);
  if (ret == AVERROR(ENOMEM)) Check(ret, path_, "cannot decode the video");
  if (ret < 0 && ret != AVERROR(EAGAIN)) ++damaged_;
  Receive(sink);
}

void VideoDecoder::Flush(const Sink& sink) {
  decoder_->skip_frame = AVDISCARD_DEFAULT;
  int ret = avcodec_send_packet(decoder_.get(), nullptr);
  if (ret < 0 && ret != AVERROR_EOF) Check(ret, path_, "cannot decode the video");
  Receive(sink);
  // The whole file has been read now: a last picture that claims to last is held as long as
  // another stream goes on, which could not be known when it was decoded.
  if (claimedEnd_ > endSlot_ && claimedEnd_ <= timeline_.End() &&
      timeline_.Believable(lastSlot_, claimedEnd_))
    endSlot_ = claimedEnd_;
}

void VideoDecoder::Receive(const Sink& sink) {
  for (;;) {
    int ret = avcodec_receive_frame(decoder_.get(), frame_.get());
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    if (ret == AVERROR(ENOMEM)) Check(ret, path_, "cannot decode the video");
    if (ret < 0) {
      ++damaged_;  // the next packet goes on
      return;
    }
    if (frame_->decode_error_flags || (frame_->flags & AV_FRAME_FLAG_CORRUPT)) ++damaged_;
    int64_t pts = frame_->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE)
      pts = lastPts_ == AV_NOPTS_VALUE ? origin_ : SaturatingAdd(lastPts_, lastDuration_);
    // After a break the picture goes on where the last one ended, or at least one slot on.
    const int64_t expected = lastPts_ == AV_NOPTS_VALUE ? 0 : std::max(endSlot_, SaturatingAdd(lastSlot_, 1));
    const int64_t slot = timeline_.Place(SlotOf(pts), expected);
    int64_t duration = FrameDuration(frame_.get());
    int64_t end = SaturatingAdd(SlotOf(SaturatingAdd(pts, duration)), timeline_.Shift());
    claimedEnd_ = end;
    if (!timeline_.Believable(slot, end)) {
      duration = 0;
      end = SaturatingAdd(slot, 1);
    }
    if (end > timeline_.End()) throw EncodeError(path_, limits_.OverrunReason());
    lastPts_ = pts;
    lastDuration_ = duration;
    lastSlot_ = slot;
    endSlot_ = end;
    ++decoded_;
    FramePtr frame = std::move(frame_);
    frame_ = MakeFrame();
    sink(std::move(frame), slot);
  }
}

}  // namespace conv
