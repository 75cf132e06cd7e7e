#include "audio_track.h"

#include <algorithm>
#include <vector>

#include "input.h"

namespace conv {
namespace {

// Timestamp holes or overlaps beyond this are real (not jitter): fill with silence or drop.
constexpr int64_t kMaxDrift = AudioTrack::kRate / 10;

}  // namespace

AudioTrack::AudioTrack(AVStream* stream, int64_t origin, const TimeLimits& limits, int bitrate,
                       OutputFile& output, const std::string& sourcePath)
    : stream_(stream),
      sourcePath_(sourcePath),
      output_(output),
      decoder_(OpenDecoder(stream, DecoderTuning{}, sourcePath)),
      decoded_(MakeFrame()),
      packet_(MakePacket()),
      origin_(Rescale(origin, AV_TIME_BASE_Q, stream->time_base)),
      limits_(limits),
      timeline_(limits, kRate, ContentMap::kAudio) {
  const std::string& path = output.FinalPath();
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AMR_NB);
  if (!codec) throw EncodeError(path, "no AMR-NB encoder in this FFmpeg (Debian: install libavcodec-extra)");
  encoder_.reset(avcodec_alloc_context3(codec));
  if (!encoder_) throw EncodeError(path, "out of memory");
  encoder_->sample_rate = kRate;
  encoder_->sample_fmt = AV_SAMPLE_FMT_S16;
  encoder_->ch_layout = AV_CHANNEL_LAYOUT_MONO;
  encoder_->bit_rate = bitrate;
  encoder_->time_base = AVRational{1, kRate};
  if (output.Context()->oformat->flags & AVFMT_GLOBALHEADER) encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  Check(avcodec_open2(encoder_.get(), codec, nullptr), path, "cannot open the AMR-NB encoder");
  outStream_ = output.AddStream(encoder_.get());
  fifo_.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_S16, 1, 4 * encoder_->frame_size));
  if (!fifo_) throw EncodeError(path, "out of memory");
}

AudioTrack::~AudioTrack() {
  av_channel_layout_uninit(&resamplerLayout_);
}

void AudioTrack::Take(const AVPacket* packet) {
  ++sent_;
  int ret = avcodec_send_packet(decoder_.get(), packet);
  if (ret == AVERROR(ENOMEM)) Check(ret, sourcePath_, "cannot decode the audio");
  if (ret < 0 && ret != AVERROR(EAGAIN)) ++damaged_;
  Receive();
}

void AudioTrack::Finish() {
  int ret = avcodec_send_packet(decoder_.get(), nullptr);
  if (ret < 0 && ret != AVERROR_EOF) Check(ret, sourcePath_, "cannot decode the audio");
  Receive();
  if (resampler_) {
    std::vector<int16_t> rest(static_cast<size_t>(std::max(0, swr_get_out_samples(resampler_.get(), 0))) +
                              16);
    uint8_t* out[1] = {reinterpret_cast<uint8_t*>(rest.data())};
    int samples = Check(swr_convert(resampler_.get(), out, static_cast<int>(rest.size()), nullptr, 0),
                        sourcePath_, "cannot resample the audio");
    Store(out, samples);
  }
  EncodeFromFifo(true);
  Encode(nullptr);
}

void AudioTrack::Receive() {
  for (;;) {
    int ret = avcodec_receive_frame(decoder_.get(), decoded_.get());
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    if (ret == AVERROR(ENOMEM)) Check(ret, sourcePath_, "cannot decode the audio");
    if (ret < 0) {
      ++damaged_;
      return;
    }
    if (decoded_->decode_error_flags || (decoded_->flags & AV_FRAME_FLAG_CORRUPT)) ++damaged_;
    decodedSamples_ += decoded_->nb_samples;
    Resample(decoded_.get());
    av_frame_unref(decoded_.get());
  }
}

void AudioTrack::SetUpResampler(const AVFrame* frame) {
  AVChannelLayout in{};
  if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || !av_channel_layout_check(&frame->ch_layout)) {
    av_channel_layout_default(&in, std::max(1, frame->ch_layout.nb_channels));
  } else {
    Check(av_channel_layout_copy(&in, &frame->ch_layout), sourcePath_, "cannot read the audio layout");
  }
  AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
  SwrContext* context = nullptr;
  int ret = swr_alloc_set_opts2(&context, &mono, AV_SAMPLE_FMT_S16, kRate, &in,
                                static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr);
  av_channel_layout_uninit(&in);
  Check(ret, sourcePath_, "cannot resample the audio");
  resampler_.reset(context);
  Check(swr_init(resampler_.get()), sourcePath_, "cannot resample the audio");
  av_channel_layout_uninit(&resamplerLayout_);
  Check(av_channel_layout_copy(&resamplerLayout_, &frame->ch_layout), sourcePath_,
        "cannot read the audio layout");
  resamplerFormat_ = frame->format;
  resamplerRate_ = frame->sample_rate;
}

void AudioTrack::Resample(const AVFrame* frame) {
  if (!resampler_ || frame->format != resamplerFormat_ || frame->sample_rate != resamplerRate_ ||
      av_channel_layout_compare(&frame->ch_layout, &resamplerLayout_) != 0) {
    SetUpResampler(frame);
  }
  int64_t pts = frame->best_effort_timestamp;
  if (pts != AV_NOPTS_VALUE) {
    int64_t expected = stored_ + swr_get_delay(resampler_.get(), kRate);
    int64_t target = Rescale(SaturatingSub(pts, origin_), stream_->time_base, AVRational{1, kRate});
    int64_t gap = SaturatingSub(timeline_.Place(target, expected), expected);
    if (!started_ || gap > kMaxDrift) {
      AddSilence(gap);
    } else if (gap < -kMaxDrift) {
      return;  // these samples overlap what is already written
    }
  }
  started_ = true;
  int capacity = swr_get_out_samples(resampler_.get(), frame->nb_samples);
  if (capacity <= 0) return;
  if (buffer_.size() < static_cast<size_t>(capacity)) buffer_.resize(capacity);
  uint8_t* out[1] = {reinterpret_cast<uint8_t*>(buffer_.data())};
  int samples = Check(swr_convert(resampler_.get(), out, capacity,
                                  const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples),
                      sourcePath_, "cannot resample the audio");
  Store(out, samples);
  EncodeFromFifo(false);
}

void AudioTrack::AddSilence(int64_t samples) {
  static const int16_t kSilence[1024] = {};
  while (samples > 0) {
    int chunk = static_cast<int>(std::min<int64_t>(samples, 1024));
    const uint8_t* data[1] = {reinterpret_cast<const uint8_t*>(kSilence)};
    Store(const_cast<uint8_t* const*>(data), chunk);
    samples -= chunk;
    EncodeFromFifo(false);
  }
}

void AudioTrack::Store(uint8_t* const* data, int samples) {
  if (samples <= 0) return;
  int ret = av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(const_cast<uint8_t**>(data)), samples);
  if (ret < samples) Check(ret < 0 ? ret : AVERROR(ENOMEM), sourcePath_, "cannot buffer the audio");
  stored_ += samples;
}

void AudioTrack::EncodeFromFifo(bool last) {
  const int frameSize = encoder_->frame_size;
  while (av_audio_fifo_size(fifo_.get()) >= frameSize || (last && av_audio_fifo_size(fifo_.get()) > 0)) {
    if (encodedSamples_.load() + frameSize > timeline_.End())
      throw EncodeError(sourcePath_, limits_.OverrunReason());
    FramePtr frame = MakeFrame();
    frame->nb_samples = frameSize;
    frame->format = AV_SAMPLE_FMT_S16;
    frame->sample_rate = kRate;
    Check(av_channel_layout_copy(&frame->ch_layout, &encoder_->ch_layout), output_.FinalPath(),
          "out of memory");
    Check(av_frame_get_buffer(frame.get(), 0), output_.FinalPath(), "cannot make an audio frame");
    int got = av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame->data), frameSize);
    if (got < 0) Check(got, output_.FinalPath(), "cannot buffer the audio");
    // The last frame is padded with silence: AMR-NB frames have one fixed length.
    std::fill(reinterpret_cast<int16_t*>(frame->data[0]) + got,
              reinterpret_cast<int16_t*>(frame->data[0]) + frameSize, int16_t{0});
    frame->pts = encodedSamples_.load();
    Encode(frame.get());
    encodedSamples_.fetch_add(frameSize);
  }
}

void AudioTrack::Encode(AVFrame* frame) {
  const std::string& path = output_.FinalPath();
  Check(avcodec_send_frame(encoder_.get(), frame), path, "cannot encode the audio");
  for (;;) {
    int ret = avcodec_receive_packet(encoder_.get(), packet_.get());
    if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF) return;
    Check(ret, path, "cannot encode the audio");
    output_.Write(packet_.get(), outStream_, encoder_->time_base);
  }
}

}  // namespace conv
