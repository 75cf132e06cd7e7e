// The static FFmpeg of the Windows build: it reads an H.264 MP4 to its end and has every
// encoder and the muxer that data/conv.exe asks for.
#include <gtest/gtest.h>

#include "av_ptr.h"

namespace {

using CodecPtr = conv::CodecContextPtr;

CodecPtr OpenDecoder(const AVStream* stream) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  CodecPtr context(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
  if (!context || avcodec_parameters_to_context(context.get(), stream->codecpar) < 0 ||
      avcodec_open2(context.get(), codec, nullptr) < 0) {
    return nullptr;
  }
  return context;
}

TEST(WindowsFFmpeg, DecodesAnH264Mp4ToItsEnd) {
  AVFormatContext* opened = nullptr;
  ASSERT_EQ(avformat_open_input(&opened, SMOKE_CLIP, nullptr, nullptr), 0) << SMOKE_CLIP;
  const conv::InputContextPtr input(opened);
  ASSERT_GE(avformat_find_stream_info(input.get(), nullptr), 0);
  ASSERT_EQ(input->nb_streams, 2u);
  CodecPtr decoders[2] = {OpenDecoder(input->streams[0]), OpenDecoder(input->streams[1])};
  ASSERT_TRUE(decoders[0] && decoders[1]);
  EXPECT_EQ(decoders[0]->codec_id, AV_CODEC_ID_H264);

  const conv::PacketPtr packet(av_packet_alloc());
  const conv::FramePtr frame(av_frame_alloc());
  ASSERT_TRUE(packet && frame);
  long long frames = 0, samples = 0;
  auto drain = [&](AVCodecContext* decoder) {
    const bool video = decoder->codec_type == AVMEDIA_TYPE_VIDEO;
    while (avcodec_receive_frame(decoder, frame.get()) == 0) {
      if (video) {
        ++frames;
      } else {
        samples += frame->nb_samples;
      }
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(input.get(), packet.get()) == 0) {
    AVCodecContext* decoder = decoders[packet->stream_index].get();
    EXPECT_EQ(avcodec_send_packet(decoder, packet.get()), 0);
    drain(decoder);
    av_packet_unref(packet.get());
  }
  for (const CodecPtr& decoder : decoders) {
    EXPECT_EQ(avcodec_send_packet(decoder.get(), nullptr), 0);
    drain(decoder.get());
  }
  EXPECT_EQ(frames, 50);  // two seconds at 25 frames a second
  EXPECT_NEAR(static_cast<double>(samples), 2 * 44100, 2048);
}

TEST(WindowsFFmpeg, HasWhatTheEncoderWrites) {
  EXPECT_NE(avcodec_find_encoder(AV_CODEC_ID_H263), nullptr);
  EXPECT_NE(avcodec_find_encoder(AV_CODEC_ID_MPEG4), nullptr);
  EXPECT_NE(av_guess_format("3gp", nullptr, nullptr), nullptr);

  SwrContext* made = nullptr;
  AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO, mono = AV_CHANNEL_LAYOUT_MONO;
  const int ret = swr_alloc_set_opts2(&made, &mono, AV_SAMPLE_FMT_S16, 8000, &stereo, AV_SAMPLE_FMT_FLTP,
                                      44100, 0, nullptr);
  const conv::SwrPtr resampler(made);
  ASSERT_EQ(ret, 0);
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
