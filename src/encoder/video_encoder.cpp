#include "video_encoder.h"

#include <cstring>

namespace conv {
namespace {

// Decoded pictures larger than this are brought down to their box before they wait in the queue.
constexpr size_t kLargestQueuedPicture = 16 << 20;

size_t PictureBytes(const AVFrame* frame) {
  size_t bytes = 0;
  for (const AVBufferRef* buffer : frame->buf) bytes += buffer ? buffer->size : 0;
  return bytes;
}

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
  AVCodecID id = IsH263Size(options.width, options.height) ? AV_CODEC_ID_H263 : AV_CODEC_ID_MPEG4;
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
  encoder_->sample_aspect_ratio = AVRational{1, 1};
  encoder_->thread_count = 1;
  if (output.Context()->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(avcodec_open2(encoder_.get(), codec, nullptr), path, "cannot open the video encoder");
  stream_ = output.AddStream(encoder_.get());
  frameDuration_ = encoder_->time_base;
}

FramePtr VideoEncoder::Prepare(FramePtr decoded) {
  if (PictureBytes(decoded.get()) <= kLargestQueuedPicture) return decoded;
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
}

void VideoEncoder::Show(const AVFrame* decoded, FramePicker::Run run) {
  FramePtr picture = MakePicture(decoded);
  for (int64_t slot = run.first; slot < run.first + run.count; ++slot) {
    FramePtr frame = CloneFrame(picture.get());
    frame->pts = slot;
    Encode(frame.get());
    written_.fetch_add(1);
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
    output_.Write(packet_.get(), stream_, encoder_->time_base);
  }
}

}  // namespace conv
