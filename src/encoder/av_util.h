// Error and frame helpers for the FFmpeg C objects; their owners are in av_ptr.h.
#pragma once

extern "C" {
#include <libavutil/dict.h>
}

#include <cstddef>
#include <string>

#include "av_ptr.h"
#include "encode_error.h"

namespace conv {

std::string AvErrorText(int code);

// Returns ret when it is not an error; otherwise throws with "<what>: <FFmpeg's reason>", or
// std::bad_alloc when memory ran out.
int Check(int ret, const std::string& path, const std::string& what = {});

FramePtr MakeFrame();
PacketPtr MakePacket();
// A new reference to the same picture or samples.
FramePtr CloneFrame(const AVFrame* frame);
// The bytes of the buffers the frame holds.
size_t FrameBytes(const AVFrame* frame);

// `value` in units of `from` as units of `to`, to the nearest; held at the ends of the range
// where the result would not fit.
int64_t Rescale(int64_t value, AVRational from, AVRational to);

// Options handed to an FFmpeg open call; the call removes what it used.
class Dictionary {
 public:
  Dictionary() = default;
  Dictionary(const Dictionary&) = delete;
  Dictionary& operator=(const Dictionary&) = delete;
  ~Dictionary() { av_dict_free(&dict_); }
  void Set(const char* key, const char* value) { av_dict_set(&dict_, key, value, 0); }
  AVDictionary** Address() { return &dict_; }

 private:
  AVDictionary* dict_ = nullptr;
};

}  // namespace conv
