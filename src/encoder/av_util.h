// Ownership and error helpers for the FFmpeg C objects.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/dict.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

#include "encode_error.h"

namespace conv {

std::string AvErrorText(int code);

// Returns ret when it is not an error; otherwise throws with "<what>: <FFmpeg's reason>", or
// std::bad_alloc when memory ran out.
int Check(int ret, const std::string& path, const std::string& what = {});

struct InputContextDeleter {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
// The output's I/O context is owned apart from it (IoContextPtr).
struct OutputContextDeleter {
  void operator()(AVFormatContext* c) const { avformat_free_context(c); }
};
// An I/O context of our own callbacks, with its buffer.
struct IoContextDeleter {
  void operator()(AVIOContext* io) const {
    av_freep(&io->buffer);
    avio_context_free(&io);
  }
};
struct CodecContextDeleter {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsDeleter {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct SwrDeleter {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
struct AudioFifoDeleter {
  void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};

using InputContextPtr = std::unique_ptr<AVFormatContext, InputContextDeleter>;
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextDeleter>;
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwsPtr = std::unique_ptr<SwsContext, SwsDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoDeleter>;

FramePtr MakeFrame();
PacketPtr MakePacket();
// A new reference to the same picture or samples.
FramePtr CloneFrame(const AVFrame* frame);

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
