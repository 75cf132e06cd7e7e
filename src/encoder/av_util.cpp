#include "av_util.h"

extern "C" {
#include <libavutil/error.h>
}

namespace conv {

std::string AvErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (av_strerror(code, text, sizeof text) < 0) return "error " + std::to_string(code);
  return text;
}

int Check(int ret, const std::string& path, const std::string& what) {
  if (ret >= 0) return ret;
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

}  // namespace conv
