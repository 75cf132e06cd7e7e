#include "picture_scaler.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

#include <cstring>

#include "shrink.h"

namespace conv {
namespace {

constexpr int kScaleFlags = SWS_BICUBIC;

bool CanShrink(int pixelFormat) {
  return pixelFormat == AV_PIX_FMT_YUV420P || pixelFormat == AV_PIX_FMT_YUVJ420P;
}

// Fills `target` (made anew when its size or format differ) with `source` shrunk `factor` times.
void ShrinkFrame(const AVFrame* source, int factor, FramePtr& target, const std::string& path) {
  int width = source->width / factor;
  int height = source->height / factor;
  if (!target || target->width != width || target->height != height || target->format != source->format) {
    target = MakeFrame();
    target->format = source->format;
    target->width = width;
    target->height = height;
    Check(av_frame_get_buffer(target.get(), 0), path, "cannot make a picture");
  }
  for (int plane = 0; plane < 3; ++plane) {
    int shift = plane ? 1 : 0;
    ShrinkPlane(source->data[plane], source->linesize[plane], (source->width + shift) >> shift,
                (source->height + shift) >> shift, factor, target->data[plane], target->linesize[plane],
                (width + shift) >> shift, (height + shift) >> shift);
  }
  target->color_range = source->color_range;
}

}  // namespace

FramePtr NewPicture(int width, int height, const std::string& path) {
  FramePtr frame = MakeFrame();
  frame->format = AV_PIX_FMT_YUV420P;
  frame->width = width;
  frame->height = height;
  Check(av_frame_get_buffer(frame.get(), 0), path, "cannot make a picture");
  return frame;
}

void PictureScaler::ScaleInto(const AVFrame* decoded, AVFrame* target) {
  const int width = target->width;
  const int height = target->height;
  // Shrink by 4 or 2 while a reduction of at least 2 is left for the bicubic step.
  for (FramePtr& shrunk : shrunk_) {
    if (!CanShrink(decoded->format) || decoded->width < 4 * width || decoded->height < 4 * height) break;
    int factor = decoded->width >= 8 * width && decoded->height >= 8 * height ? 4 : 2;
    ShrinkFrame(decoded, factor, shrunk, path_);
    decoded = shrunk.get();
  }
  SetUp(decoded, width, height);
  int ret = sws_scale(scaler_.get(), decoded->data, decoded->linesize, 0, decoded->height, target->data,
                      target->linesize);
  if (ret <= 0) Check(ret < 0 ? ret : AVERROR_BUG, path_, "cannot scale a picture");
}

void PictureScaler::SetUp(const AVFrame* decoded, int width, int height) {
  // Full-range YUV (from JPEG-style sources) needs converting; RGB has no such range.
  const AVPixFmtDescriptor* format = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(decoded->format));
  bool fullRange =
      decoded->color_range == AVCOL_RANGE_JPEG && format && !(format->flags & AV_PIX_FMT_FLAG_RGB);
  int key[6] = {decoded->width, decoded->height, decoded->format, fullRange, width, height};
  if (scaler_ && std::memcmp(key, key_, sizeof key) == 0) return;
  scaler_.reset(sws_getContext(decoded->width, decoded->height, static_cast<AVPixelFormat>(decoded->format),
                               width, height, AV_PIX_FMT_YUV420P, kScaleFlags, nullptr, nullptr, nullptr));
  if (!scaler_) {
    const char* name = av_get_pix_fmt_name(static_cast<AVPixelFormat>(decoded->format));
    throw EncodeError(path_, std::string("cannot scale pictures of format ") + (name ? name : "unknown"));
  }
  std::memcpy(key_, key, sizeof key);
  int* inverse = nullptr;
  int* table = nullptr;
  int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
  if (fullRange &&
      (sws_getColorspaceDetails(scaler_.get(), &inverse, &srcRange, &table, &dstRange, &brightness, &contrast,
                                &saturation) < 0 ||
       sws_setColorspaceDetails(scaler_.get(), inverse, 1, table, 0, brightness, contrast, saturation) < 0)) {
    throw EncodeError(path_, "cannot convert the picture's full-range colours");
  }
}

}  // namespace conv
