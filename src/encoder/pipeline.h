// The conversion's threads: this one reads the file and decodes video (the decoder has its own
// threads), one scales and encodes the pictures, one converts the sound, one reports progress.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "audio_track.h"
#include "bounded_queue.h"
#include "console.h"
#include "input.h"
#include "output_file.h"
#include "video_decoder.h"
#include "video_encoder.h"

namespace conv {

struct Tracks {
  VideoDecoder* videoDecoder = nullptr;
  VideoEncoder* videoEncoder = nullptr;
  AudioTrack* audio = nullptr;
  ContentMap* content = nullptr;  // told where each stream has packets
};

class Pipeline {
 public:
  Pipeline(Input& input, Tracks tracks, OutputFile& output);

  // Returns when everything is encoded; throws the first failure of any stage.
  void Run();
  console::ProgressFigures Figures() const;

 private:
  struct Picture {
    FramePtr frame;
    int64_t slot = 0;
  };

  void Demux();
  void VideoLoop();
  void AudioLoop();
  void ProgressLoop();
  template <typename F>
  void Guard(F&& body);
  void Fail(std::exception_ptr error);
  void NoteReached(const AVPacket* packet, const AVStream* stream);
  void Splice(AVPacket* packet, const AVStream* stream);
  void CheckComplete() const;

  Input& input_;
  Tracks tracks_;
  OutputFile& output_;
  // Decoded pictures of a small source queue up to 32 deep, so that the decoding thread, which
  // sets the pace, seldom waits for the encoder; large ones keep to 6. The encoding threads are
  // woken for several items at a time.
  BoundedQueue<Picture> pictures_{{6, 32, 32 << 20, 4}};
  BoundedQueue<PacketPtr> sound_{{256, 2048, 4 << 20, 16}};
  std::atomic<int64_t> videoEndSlot_{0};
  int readError_ = 0;
  double reachedSeconds_ = 0;
  int64_t videoPackets_ = 0;
  // Per stream, for formats whose timestamps may restart (joined MPEG files): the shift that
  // keeps them running on, the last decoding time and the next one expected.
  struct Timeline {
    int64_t offset = 0;
    int64_t lastDts = AV_NOPTS_VALUE;
    int64_t nextDts = AV_NOPTS_VALUE;
  };
  Timeline timelines_[2];
  std::chrono::steady_clock::time_point started_;

  std::mutex errorMutex_;
  std::exception_ptr error_;
  std::atomic<bool> failed_{false};

  std::mutex progressMutex_;
  std::condition_variable progressWake_;
  bool finished_ = false;
};

}  // namespace conv
