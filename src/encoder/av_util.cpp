#include "av_util.h"

extern "C" {
#include <libavutil/error.h>
}

#include <limits>
#include <new>

namespace conv {

std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (av_strerror(code, text, sizeof text) < 0) return "error " + std::to_string(code);
  return text;
}

int Check(int ret, const std::string& path, const std::string& what) {
  if (ret >= 0) return ret;
  if (ret == AVERROR(ENOMEM)) throw std::bad_alloc();  // reported once, with the memory ceiling
  throw EncodeError(path, what.empty() ? AvErrorText(ret) : what + ": " + AvErrorText(ret));
}

FramePtr MakeFrame() {
  FramePtr frame(av_frame_alloc());
  if (!frame) throw EncodeError("conv.exe", "out of memory");
  return frame;
}

PacketPtr MakePacket() {
  PacketPtr packet(av_packet_alloc());
  if (!packet) throw EncodeError("conv.exe", "out of memory");
  return packet;
}

FramePtr CloneFrame(const AVFrame* frame) {
  FramePtr copy(av_frame_clone(frame));
  if (!copy) throw EncodeError("conv.exe", "out of memory");
  return copy;
}

size_t FrameBytes(const AVFrame* frame) {
  size_t bytes = 0;
  for (const AVBufferRef* buffer : frame->buf) bytes += buffer ? buffer->size : 0;
  return bytes;
}

int64_t Rescale(int64_t value, AVRational from, AVRational to) {
  constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  if (value == kMin || value == kMax) return value;
  const long double estimate =
      static_cast<long double>(value) * from.num * to.den / (static_cast<long double>(from.den) * to.num);
  if (estimate >= 0x1p62L) return kMax;
  if (estimate <= -0x1p62L) return kMin;
  return av_rescale_q_rnd(value, from, to, AV_ROUND_NEAR_INF);
}

}  // namespace conv
