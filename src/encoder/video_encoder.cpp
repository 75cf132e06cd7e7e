#include "video_encoder.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <initializer_list>

#include "picture_clock.h"

namespace conv {
namespace {

// Decoded pictures larger than this are brought down to their box before they wait in the queue.
constexpr size_t kLargestQueuedPicture = 16 << 20;
// The bits beyond the setting a phone's buffer is taken to hold, in seconds of the setting.
constexpr double kBucketSeconds = 0.5;
// What a player buffers before it starts: the first key picture may take that much.
constexpr double kHeadStartSeconds = 0.5;
constexpr int kKeyPictureDistance = 132;
// FFmpeg's rate control aims a picture at no more than this share of a second's buffer.
constexpr double kAimedShareOfBuffer = 1.0 / 3;
// A phone's buffer takes at most twice the setting over any two seconds.
constexpr int kPeakSeconds = 2;
constexpr double kPeakShare = 2;

void FillBlack(AVFrame* frame) {
  for (int plane = 0; plane < 3; ++plane) {
    int width = plane ? frame->width / 2 : frame->width;
    int height = plane ? frame->height / 2 : frame->height;
    for (int row = 0; row < height; ++row) {
      std::memset(frame->data[plane] + row * frame->linesize[plane], plane ? 128 : 16, width);
    }
  }
}

// Copies a picture turned clockwise by 0, 90, 180 or 270 degrees into `target` at (x, y).
void PlaceInto(const AVFrame* source, int rotation, AVFrame* target, int x, int y) {
  for (int plane = 0; plane < 3; ++plane) {
    int shift = plane ? 1 : 0;
    int sw = source->width >> shift;
    int sh = source->height >> shift;
    const uint8_t* src = source->data[plane];
    int sls = source->linesize[plane];
    uint8_t* dst = target->data[plane] + (y >> shift) * target->linesize[plane] + (x >> shift);
    int dls = target->linesize[plane];
    if (rotation == 0) {
      for (int row = 0; row < sh; ++row) std::memcpy(dst + row * dls, src + row * sls, sw);
    } else if (rotation == 180) {
      for (int row = 0; row < sh; ++row) {
        for (int col = 0; col < sw; ++col) dst[row * dls + col] = src[(sh - 1 - row) * sls + (sw - 1 - col)];
      }
    } else if (rotation == 90) {
      for (int row = 0; row < sw; ++row) {
        for (int col = 0; col < sh; ++col) dst[row * dls + col] = src[(sh - 1 - col) * sls + row];
      }
    } else {
      for (int row = 0; row < sw; ++row) {
        for (int col = 0; col < sh; ++col) dst[row * dls + col] = src[col * sls + (sw - 1 - row)];
      }
    }
  }
}

}  // namespace

VideoEncoder::VideoEncoder(const EncodeOptions& options, const VideoLayout& layout, OutputFile& output)
    : layout_(layout),
      output_(output),
      packet_(MakePacket()),
      scaler_(output.FinalPath()),
      reducer_(output.FinalPath()) {
  const std::string& path = output.FinalPath();
  ChooseLevel(options);
  AVCodecID id = level_.codec == vintrel::levels::Codec::H263 ? AV_CODEC_ID_H263 : AV_CODEC_ID_MPEG4;
  const AVCodec* codec = avcodec_find_encoder(id);
  if (!codec) throw EncodeError(path, std::string("no encoder for ") + avcodec_get_name(id));
  encoder_.reset(avcodec_alloc_context3(codec));
  if (!encoder_) throw EncodeError(path, "out of memory");
  encoder_->width = options.width;
  encoder_->height = options.height;
  encoder_->pix_fmt = AV_PIX_FMT_YUV420P;
  encoder_->time_base = AVRational{options.frameRate.den, options.frameRate.num};
  encoder_->framerate = AVRational{options.frameRate.num, options.frameRate.den};
  encoder_->bit_rate = options.videoBitrate;
  // A tolerance of a second's worth makes the rate control pull back within seconds instead of
  // drifting 30 % over; what it still overshoots, the bucket takes out by dropping frames.
  encoder_->bit_rate_tolerance = static_cast<int>(std::min<long>(options.videoBitrate, INT_MAX));
  // A buffer of a second at the setting makes it code a picture again, coarser, when it would
  // not fit, up to the coarsest quantiser; where even that is too large it says so at error
  // level each time, which the bucket below answers instead, so those lines are kept quiet.
  // Within the level, the same buffer also keeps every picture inside the most a decoder of that
  // level takes at once.
  encoder_->rc_buffer_size = static_cast<int>(
      std::min<int64_t>({encoder_->bit_rate_tolerance, limits_.pictureBits, limits_.bufferBits}));
  encoder_->rc_max_rate = std::min<int64_t>(options.videoBitrate, limits_.bitsPerSecond);
  // A buffer smaller than a second keeps the largest picture aimed at where a second's buffer put
  // it, up to the whole buffer, instead of pulling every picture down with it.
  encoder_->rc_max_available_vbv_use = static_cast<float>(
      std::min(1.0, encoder_->bit_rate_tolerance * kAimedShareOfBuffer / encoder_->rc_buffer_size));
  encoder_->rc_initial_buffer_occupancy = static_cast<int>(encoder_->rc_buffer_size * kHeadStartSeconds);
  encoder_->log_level_offset = AV_LOG_INFO - AV_LOG_ERROR;
  double setting = static_cast<double>(options.videoBitrate);
  bucket_ = RateBucket(setting * av_q2d(encoder_->time_base), setting * kBucketSeconds,
                       setting * kHeadStartSeconds);
  // Frames exactly two seconds apart still share a window.
  const AVRational slot = encoder_->time_base;
  peaks_ = PeakWindow(int64_t{kPeakSeconds} * slot.den / slot.num + 1, setting * kPeakSeconds * kPeakShare);
  levelBucket_ = LevelBucket(static_cast<double>(limits_.bitsPerSecond) * av_q2d(slot),
                             static_cast<double>(limits_.bufferBits));
  if (level_.codec == vintrel::levels::Codec::Mpeg4) {
    // The VOS header's profile_and_level_indication: Simple Profile (0) in the high nibble.
    encoder_->profile = level_.code >> 4;
    encoder_->level = level_.code & 0x0F;
  } else {
    facts_.h263Level = level_.code;
  }
  // A key picture costs several seconds of a low setting. H.263 wants every block coded on its
  // own at least once in 132 pictures, so the key pictures come no further apart than that.
  encoder_->gop_size = kKeyPictureDistance;
  // Chosen by SSIM per bit within the time decoding alone takes (a 640x480 MPEG-4 source on two
  // cores, where both cores bound the run): rate-distortion macroblock decisions gain most for their time. The
  // whole-pixel search compares by plain differences, a fraction of SATD's cost, and makes up with
  // four predictors from the last picture; the half-pixel step keeps SATD. SATD throughout read
  // 0.0016 SSIM more but took 13 % more work, the encoder then slower than decoding alone;
  // trellis quantisation gained less for more. All plain baseline.
  encoder_->mb_decision = FF_MB_DECISION_RD;
  encoder_->me_cmp = FF_CMP_SAD;
  encoder_->me_sub_cmp = FF_CMP_SATD;
  encoder_->dia_size = 3;
  encoder_->last_predictor_count = 4;
  encoder_->sample_aspect_ratio = AVRational{1, 1};
  encoder_->thread_count = 1;
  if (output.Context()->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(avcodec_open2(encoder_.get(), codec, nullptr), path, "cannot open the video encoder");
  stream_ = output.AddStream(encoder_.get());
  frameDuration_ = encoder_->time_base;
}

FramePtr VideoEncoder::Prepare(FramePtr decoded) {
  if (FrameBytes(decoded.get()) <= kLargestQueuedPicture) return decoded;
  bool turned = layout_.rotation == 90 || layout_.rotation == 270;
  int width = turned ? layout_.box.height : layout_.box.width;
  int height = turned ? layout_.box.width : layout_.box.height;
  FramePtr reduced = NewPicture(width, height, output_.FinalPath());
  reducer_.ScaleInto(decoded.get(), reduced.get());
  return reduced;
}

void VideoEncoder::Take(FramePtr decoded, int64_t slot) {
  FramePicker::Run run = picker_.Push(slot);
  if (pending_ && run.count > 0) Show(pending_.get(), run);
  pending_ = std::move(decoded);
}

void VideoEncoder::Finish(int64_t endSlot) {
  FramePicker::Run run = picker_.Finish(endSlot);
  if (pending_ && run.count > 0) Show(pending_.get(), run);
  pending_.reset();
  Encode(nullptr);
  if (!held_) return;
  // The last picture stays up to the video's end, even when the slots after it were dropped;
  // one shown late past the end is brought back to keep the length.
  int64_t end = run.first + run.count;
  if (held_->pts >= end) held_->pts = held_->dts = std::max(lastWritten_ + 1, end - 1);
  held_->duration = std::max<int64_t>(1, end - held_->pts);
  if (held_->duration > 1) facts_.framesDropped = true;
  WriteHeld();
  held_.reset();
}

void VideoEncoder::ChooseLevel(const EncodeOptions& options) {
  using namespace vintrel::levels;
  const FrameRate rate{options.frameRate.num, options.frameRate.den};
  // Past every level of its codec (sizes or rates the pickers never offer), the file declares
  // the highest and is kept inside its buffer.
  level_ = LevelFor(options.width, options.height, rate, options.videoBitrate)
               .value_or(HighestLevel(CodecFor(options.width, options.height)));
  limits_ = LimitsOf(level_, options.width, options.height);
}

void VideoEncoder::WriteHeld() {
  if (lastWritten_ != INT64_MIN && held_->pts > lastWritten_ + 1) facts_.framesDropped = true;
  if (level_.codec == vintrel::levels::Codec::H263) {
    Check(av_packet_make_writable(held_.get()), output_.FinalPath(), "cannot encode the video");
    const AVRational unit = encoder_->time_base;
    StampTemporalReference(held_->data, static_cast<size_t>(held_->size),
                           PictureClockTicks(held_->pts, unit.num, unit.den));
  }
  lastWritten_ = held_->pts;
  output_.Write(held_.get(), stream_, encoder_->time_base);
}

void VideoEncoder::Show(const AVFrame* decoded, FramePicker::Run run) {
  FramePtr picture;
  int64_t end = run.first + run.count;
  for (int64_t slot = run.first; slot < end; ++slot) {
    // A dropped slot, or one a frame shown late has taken, shows the picture before it longer.
    written_.fetch_add(1);
    if ((held_ && slot <= held_->pts) || !bucket_.Admit(slot)) continue;
    if (!picture) picture = MakePicture(decoded);
    FramePtr frame = CloneFrame(picture.get());
    frame->pts = slot;
    Encode(frame.get());
  }
}

FramePtr VideoEncoder::MakePicture(const AVFrame* decoded) {
  const std::string& path = output_.FinalPath();
  const PictureBox& box = layout_.box;
  bool turned = layout_.rotation == 90 || layout_.rotation == 270;
  // Scaled on its own first: the scaler may write a few pixels past the width it is given.
  if (!scaled_) scaled_ = NewPicture(turned ? box.height : box.width, turned ? box.width : box.height, path);
  scaler_.ScaleInto(decoded, scaled_.get());
  FramePtr picture = NewPicture(encoder_->width, encoder_->height, path);
  FillBlack(picture.get());
  PlaceInto(scaled_.get(), layout_.rotation, picture.get(), box.x, box.y);
  picture->sample_aspect_ratio = AVRational{1, 1};
  return picture;
}

void VideoEncoder::Encode(AVFrame* frame) {
  const std::string& path = output_.FinalPath();
  Check(avcodec_send_frame(encoder_.get(), frame), path, "cannot encode the video");
  for (;;) {
    int ret = avcodec_receive_packet(encoder_.get(), packet_.get());
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    Check(ret, path, "cannot encode the video");
    const int64_t bits = packet_->size * 8LL;
    bucket_.Spent(bits, packet_->flags & AV_PKT_FLAG_KEY);
    // Later only drains the level's buffer more, so the peak window may move it on freely.
    const int64_t slot = peaks_.Place(levelBucket_.Earliest(packet_->pts, bits), bits);
    levelBucket_.Add(slot, bits);
    packet_->pts = packet_->dts = slot;
    // Held until the next one comes: only then is its duration known.
    if (held_) WriteHeld();
    if (!held_) held_ = MakePacket();
    av_packet_move_ref(held_.get(), packet_.get());
  }
}

}  // namespace conv
