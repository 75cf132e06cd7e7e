// The source's sound as 8 kHz mono AMR-NB, kept in step with the source's timestamps.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "av_util.h"
#include "output_file.h"
#include "timeline.h"

namespace conv {

class AudioTrack {
 public:
  AudioTrack(AVStream* stream, int64_t origin, const TimeLimits& limits, int bitrate, OutputFile& output,
             const std::string& sourcePath);
  AudioTrack(const AudioTrack&) = delete;
  AudioTrack& operator=(const AudioTrack&) = delete;
  ~AudioTrack();

  // Decodes, resamples and encodes one packet. Damaged packets are skipped.
  void Take(const AVPacket* packet);
  // Drains decoder, resampler and encoder; the last short frame is padded with silence.
  void Finish();

  int64_t SamplesDecoded() const { return decodedSamples_; }
  int64_t PacketsSent() const { return sent_; }
  int64_t Damaged() const { return damaged_; }
  double Position() const { return static_cast<double>(encodedSamples_.load()) / kRate; }
  const AVCodecContext* Context() const { return encoder_.get(); }

  static constexpr int kRate = 8000;

 private:
  void Receive();
  void Resample(const AVFrame* frame);
  void SetUpResampler(const AVFrame* frame);
  void AddSilence(int64_t samples);
  void Store(uint8_t* const* data, int samples);
  void EncodeFromFifo(bool last);
  void Encode(AVFrame* frame);

  AVStream* stream_;
  std::string sourcePath_;
  OutputFile& output_;
  CodecContextPtr decoder_;
  CodecContextPtr encoder_;
  AVStream* outStream_ = nullptr;
  SwrPtr resampler_;
  AVChannelLayout resamplerLayout_{};
  int resamplerFormat_ = -1;
  int resamplerRate_ = 0;
  AudioFifoPtr fifo_;
  FramePtr decoded_;
  PacketPtr packet_;
  int64_t origin_;  // in the stream's time base
  TimeLimits limits_;
  Timeline timeline_;   // in samples
  int64_t stored_ = 0;  // samples put into the FIFO, silence included
  bool started_ = false;
  std::vector<int16_t> buffer_;
  int64_t decodedSamples_ = 0;
  int64_t sent_ = 0;
  int64_t damaged_ = 0;
  std::atomic<int64_t> encodedSamples_{0};
};

}  // namespace conv
