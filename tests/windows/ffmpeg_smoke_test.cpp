// The static FFmpeg of the Windows build: it reads an H.264 MP4 to its end and has every
// encoder and the muxer that data/conv.exe asks for.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>

namespace {

struct FormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct ScalerFreer {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ResamplerFreer {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;

CodecPtr OpenDecoder(const AVStream* stream) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (codec == nullptr) return nullptr;
  CodecPtr context(avcodec_alloc_context3(codec));
  if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0 ||
      avcodec_open2(context.get(), codec, nullptr) < 0) {
    return nullptr;
  }
  return context;
}

// Frames (video) or samples (audio) that come out of one decoder for its packets.
long long Drain(AVCodecContext* decoder, AVFrame* frame) {
  long long count = 0;
  while (avcodec_receive_frame(decoder, frame) == 0) {
    count += decoder->codec_type == AVMEDIA_TYPE_VIDEO ? 1 : frame->nb_samples;
    av_frame_unref(frame);
  }
  return count;
}

TEST(WindowsFFmpeg, DecodesAnH264Mp4ToItsEnd) {
  AVFormatContext* raw = nullptr;
  ASSERT_EQ(avformat_open_input(&raw, SMOKE_CLIP, nullptr, nullptr), 0) << SMOKE_CLIP;
  const std::unique_ptr<AVFormatContext, FormatCloser> input(raw);
  ASSERT_GE(avformat_find_stream_info(input.get(), nullptr), 0);
  EXPECT_STREQ(input->iformat->name, "mov,mp4,m4a,3gp,3g2,mj2");

  const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const int audio = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  ASSERT_GE(video, 0);
  ASSERT_GE(audio, 0);
  EXPECT_EQ(input->streams[video]->codecpar->codec_id, AV_CODEC_ID_H264);
  const CodecPtr videoDecoder = OpenDecoder(input->streams[video]);
  const CodecPtr audioDecoder = OpenDecoder(input->streams[audio]);
  ASSERT_TRUE(videoDecoder && audioDecoder);

  const std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
  const std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
  ASSERT_TRUE(packet && frame);
  long long frames = 0, samples = 0;
  while (av_read_frame(input.get(), packet.get()) == 0) {
    AVCodecContext* decoder = packet->stream_index == video   ? videoDecoder.get()
                              : packet->stream_index == audio ? audioDecoder.get()
                                                              : nullptr;
    if (decoder != nullptr) {
      EXPECT_EQ(avcodec_send_packet(decoder, packet.get()), 0);
      (decoder == videoDecoder.get() ? frames : samples) += Drain(decoder, frame.get());
    }
    av_packet_unref(packet.get());
  }
  for (AVCodecContext* decoder : {videoDecoder.get(), audioDecoder.get()}) {
    EXPECT_EQ(avcodec_send_packet(decoder, nullptr), 0);
    (decoder == videoDecoder.get() ? frames : samples) += Drain(decoder, frame.get());
  }
  EXPECT_EQ(frames, 50);  // two seconds at 25 frames a second
  EXPECT_NEAR(static_cast<double>(samples), 2 * 44100, 2048);
}

TEST(WindowsFFmpeg, HasWhatTheEncoderWrites) {
  for (AVCodecID id : {AV_CODEC_ID_H263, AV_CODEC_ID_MPEG4}) {
    EXPECT_NE(avcodec_find_encoder(id), nullptr) << avcodec_get_name(id);
  }
  EXPECT_NE(av_guess_format("3gp", nullptr, nullptr), nullptr);
  const std::unique_ptr<SwsContext, ScalerFreer> scaler(sws_getContext(
      320, 240, AV_PIX_FMT_YUV420P, 176, 144, AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
  EXPECT_TRUE(scaler);
  SwrContext* raw = nullptr;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO, mono = AV_CHANNEL_LAYOUT_MONO;
  const int made = swr_alloc_set_opts2(&raw, &mono, AV_SAMPLE_FMT_S16, 8000, &stereo, AV_SAMPLE_FMT_FLTP,
                                       44100, 0, nullptr);
  const std::unique_ptr<SwrContext, ResamplerFreer> resampler(raw);
  ASSERT_EQ(made, 0);
  EXPECT_EQ(swr_init(resampler.get()), 0);

  // AMR-NB comes from opencore-amr: it must open for 8000 Hz mono.
  const AVCodec* amr = avcodec_find_encoder(AV_CODEC_ID_AMR_NB);
  ASSERT_NE(amr, nullptr);
  EXPECT_STREQ(amr->name, "libopencore_amrnb");
  const CodecPtr encoder(avcodec_alloc_context3(amr));
  ASSERT_TRUE(encoder);
  encoder->sample_rate = 8000;
  encoder->sample_fmt = AV_SAMPLE_FMT_S16;
  encoder->bit_rate = 5150;
  av_channel_layout_default(&encoder->ch_layout, 1);
  EXPECT_EQ(avcodec_open2(encoder.get(), amr, nullptr), 0);
  EXPECT_EQ(encoder->frame_size, 160);
}

}  // namespace
