#include "video_encoder.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cstring>

#include "shrink.h"

namespace conv {
namespace {

constexpr int kScaleFlags = SWS_BICUBIC;

void FillBlack(AVFrame* frame) {
  for (int plane = 0; plane < 3; ++plane) {
    int width = plane ? frame->width / 2 : frame->width;
    int height = plane ? frame->height / 2 : frame->height;
    for (int row = 0; row < height; ++row) {
      std::memset(frame->data[plane] + row * frame->linesize[plane], plane ? 128 : 16, width);
    }
  }
}

bool CanHalve(int pixelFormat) {
  return pixelFormat == AV_PIX_FMT_YUV420P || pixelFormat == AV_PIX_FMT_YUVJ420P;
}

// Fills `target` (made anew when its size or format differ) with `source` halved.
void HalveFrame(const AVFrame* source, FramePtr& target, const std::string& path) {
  int width = source->width / 2;
  int height = source->height / 2;
  if (!target || target->width != width || target->height != height || target->format != source->format) {
    target = MakeFrame();
    target->format = source->format;
    target->width = width;
    target->height = height;
    Check(av_frame_get_buffer(target.get(), 0), path, "cannot make a picture");
  }
  for (int plane = 0; plane < 3; ++plane) {
    int shift = plane ? 1 : 0;
    HalvePlane(source->data[plane], source->linesize[plane], (source->width + shift) >> shift,
               (source->height + shift) >> shift, target->data[plane], target->linesize[plane],
               (width + shift) >> shift, (height + shift) >> shift);
  }
  target->color_range = source->color_range;
}

FramePtr NewPicture(int width, int height, const std::string& path) {
  FramePtr frame = MakeFrame();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = width;
  frame->height = height;
  Check(av_frame_get_buffer(frame.get(), 0), path, "cannot make a picture");
  return frame;
}

}  // namespace

void RotateInto(const AVFrame* source, int rotation, AVFrame* target, int x, int y) {
  for (int plane = 0; plane < 3; ++plane) {
    int shift = plane ? 1 : 0;
    int sw = source->width >> shift;
    int sh = source->height >> shift;
    const uint8_t* src = source->data[plane];
    int sls = source->linesize[plane];
    uint8_t* dst = target->data[plane] + (y >> shift) * target->linesize[plane] + (x >> shift);
    int dls = target->linesize[plane];
    if (rotation == 180) {
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

VideoEncoder::VideoEncoder(const EncodeOptions& options, const VideoLayout& layout, OutputFile& output)
    : layout_(layout), output_(output), packet_(MakePacket()) {
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
  FramePtr picture = NewPicture(encoder_->width, encoder_->height, path);
  FillBlack(picture.get());
  const PictureBox& box = layout_.box;
  if (layout_.rotation == 0) {
    ScaleInto(decoded, picture.get(), box.x, box.y, box.width, box.height);
  } else {
    bool turned = layout_.rotation == 90 || layout_.rotation == 270;
    FramePtr upright = NewPicture(turned ? box.height : box.width, turned ? box.width : box.height, path);
    ScaleInto(decoded, upright.get(), 0, 0, upright->width, upright->height);
    RotateInto(upright.get(), layout_.rotation, picture.get(), box.x, box.y);
  }
  picture->sample_aspect_ratio = AVRational{1, 1};
  return picture;
}

void VideoEncoder::ScaleInto(const AVFrame* decoded, AVFrame* target, int x, int y, int width, int height) {
  // Halve while a reduction of at least 2 is left for the bicubic step.
  for (FramePtr& halved : halved_) {
    if (!CanHalve(decoded->format) || decoded->width < 4 * width || decoded->height < 4 * height) break;
    HalveFrame(decoded, halved, output_.FinalPath());
    decoded = halved.get();
  }
  bool fullRange = decoded->color_range == AVCOL_RANGE_JPEG;
  int key[4] = {decoded->width, decoded->height, decoded->format, fullRange};
  if (!scaler_ || std::memcmp(key, scalerKey_, sizeof key) != 0) {
    scaler_.reset(sws_getContext(decoded->width, decoded->height, static_cast<AVPixelFormat>(decoded->format),
                                 width, height, AV_PIX_FMT_YUV420P, kScaleFlags, nullptr, nullptr, nullptr));
    if (!scaler_) {
      const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(decoded->format));
      throw EncodeError(output_.FinalPath(),
                        std::string("cannot scale pictures of format ") + (name ? name : "unknown"));
    }
    std::memcpy(scalerKey_, key, sizeof key);
    int* inverse = nullptr;
    int* table = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (fullRange && sws_getColorspaceDetails(scaler_.get(), &inverse, &srcRange, &table, &dstRange,
                                              &brightness, &contrast, &saturation) >= 0) {
      sws_setColorspaceDetails(scaler_.get(), inverse, 1, table, 0, brightness, contrast, saturation);
    }
  }
  uint8_t* planes[4] = {
      target->data[0] + y * target->linesize[0] + x,
      target->data[1] + (y / 2) * target->linesize[1] + x / 2,
      target->data[2] + (y / 2) * target->linesize[2] + x / 2,
      nullptr,
  };
  int ret = sws_scale(scaler_.get(), decoded->data, decoded->linesize, 0, decoded->height, planes,
                      target->linesize);
  if (ret <= 0) Check(ret < 0 ? ret : AVERROR_BUG, output_.FinalPath(), "cannot scale a picture");
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
