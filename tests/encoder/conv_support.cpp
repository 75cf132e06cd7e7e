#include "conv_support.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "av_ptr.h"

namespace convtest {
namespace {

namespace fs = std::filesystem;

using InputPtr = conv::InputContextPtr;
using CodecPtr = conv::CodecContextPtr;

InputPtr Open(const std::string& path) {
  AVFormatContext* context = nullptr;
  if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0) {
    throw std::runtime_error("cannot open " + path);
  }
  InputPtr input(context);
  if (avformat_find_stream_info(context, nullptr) < 0) throw std::runtime_error("no stream info in " + path);
  return input;
}

}  // namespace

std::string RunResult::LastLine() const {
  std::string text = output;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  size_t start = text.rfind('\n');
  return start == std::string::npos ? text : text.substr(start + 1);
}

RunResult RunConv(const std::vector<std::string>& args) {
  return FinishConv(StartConv(args));
}

Child StartConv(const std::vector<std::string>& args) {
  std::vector<std::string> argv{CONV_EXE};
  argv.insert(argv.end(), args.begin(), args.end());
  // Long enough for the slowest clip on a loaded machine; the test's own limit is 300 s.
  vintrel::testing_support::RunOptions options = vintrel::testing_support::Within(280);
  options.joinedPipe = true;
  Child child = vintrel::testing_support::StartProgram(argv, options);
  if (child.pid < 0) throw std::runtime_error("cannot start " + argv[0]);
  return child;
}

RunResult FinishConv(Child child) {
  const vintrel::testing_support::RunResult run = vintrel::testing_support::Finish(child);
  return {run.exitCode, run.signal, run.out};
}

std::vector<std::string> WindowArgs(const std::string& source, const std::string& output, const Settings& s) {
  return {"-i",           source,    "-b",        s.videoBitrate + "k",
          "-y",           "-r",      s.frameRate, "-s",
          s.frameSize,    "-acodec", "libamr_nb", "-ar",
          "8000",         "-ac",     "1",         "-ab",
          s.audioBitrate, output};
}

FileFacts Probe(const std::string& path) {
  InputPtr input = Open(path);
  FileFacts facts;
  facts.format = input->iformat->name;
  if (const AVDictionaryEntry* brand = av_dict_get(input->metadata, "major_brand", nullptr, 0)) {
    facts.majorBrand = brand->value;
  }
  facts.duration = input->duration > 0 ? static_cast<double>(input->duration) / AV_TIME_BASE : 0;
  int audioIndex = -1;
  int videoIndex = -1;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVStream* stream = input->streams[i];
    const AVCodecParameters* par = stream->codecpar;
    StreamFacts s;
    s.codec = avcodec_get_name(par->codec_id);
    s.width = par->width;
    s.height = par->height;
    s.rateNum = stream->avg_frame_rate.num;
    s.rateDen = stream->avg_frame_rate.den;
    s.sampleRate = par->sample_rate;
    s.channels = par->ch_layout.nb_channels;
    s.duration = stream->duration > 0 ? stream->duration * av_q2d(stream->time_base) : 0;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
      facts.video = s;
      videoIndex = static_cast<int>(i);
    }
    if (par->codec_type == AVMEDIA_TYPE_AUDIO) {
      facts.audio = s;
      audioIndex = static_cast<int>(i);
    }
  }
  conv::PacketPtr packet(av_packet_alloc());
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == audioIndex && facts.firstAudioPacketSize == 0) {
      facts.firstAudioPacketSize = packet->size;
    }
    if (packet->stream_index == videoIndex) facts.video->bytes += packet->size;
    av_packet_unref(packet.get());
  }
  return facts;
}

double Picture::Mean(int x0, int y0, int x1, int y1) const {
  double sum = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) sum += luma[static_cast<size_t>(y) * width + x];
  }
  return sum / ((x1 - x0) * (y1 - y0));
}

Picture DecodePicture(const std::string& path, int index) {
  InputPtr input = Open(path);
  int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (stream < 0) throw std::runtime_error("no video in " + path);
  const AVCodec* codec = avcodec_find_decoder(input->streams[stream]->codecpar->codec_id);
  CodecPtr decoder(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(decoder.get(), input->streams[stream]->codecpar);
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) throw std::runtime_error("no decoder for " + path);
  conv::PacketPtr packet(av_packet_alloc());
  conv::FramePtr frame(av_frame_alloc());
  int seen = 0;
  bool draining = false;
  while (true) {
    if (!draining) {
      int ret = av_read_frame(input.get(), packet.get());
      if (ret < 0) {
        draining = true;
        avcodec_send_packet(decoder.get(), nullptr);
      } else {
        if (packet->stream_index == stream) avcodec_send_packet(decoder.get(), packet.get());
        av_packet_unref(packet.get());
      }
    }
    while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      if (seen++ == index) {
        Picture picture;
        picture.width = frame->width;
        picture.height = frame->height;
        for (int y = 0; y < frame->height; ++y) {
          const uint8_t* row = frame->data[0] + static_cast<ptrdiff_t>(y) * frame->linesize[0];
          picture.luma.insert(picture.luma.end(), row, row + frame->width);
        }
        return picture;
      }
    }
    if (draining) throw std::runtime_error("fewer pictures than asked for in " + path);
  }
}

CodedVideo ReadCodedVideo(const std::string& path) {
  constexpr size_t kHeadBytes = 8;
  InputPtr input = Open(path);
  int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (stream < 0) throw std::runtime_error("no video in " + path);
  const AVStream* st = input->streams[stream];
  CodedVideo video;
  const AVCodecParameters* par = st->codecpar;
  if (par->extradata) video.headers.assign(par->extradata, par->extradata + par->extradata_size);
  conv::PacketPtr packet(av_packet_alloc());
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == stream) {
      CodedPicture picture;
      picture.seconds = packet->pts * av_q2d(st->time_base);
      picture.bits = packet->size * int64_t{8};
      picture.head.assign(packet->data, packet->data + std::min<size_t>(kHeadBytes, packet->size));
      video.pictures.push_back(std::move(picture));
    }
    av_packet_unref(packet.get());
  }
  return video;
}

double SoundLevel(const std::string& path, double from, double to) {
  InputPtr input = Open(path);
  int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (stream < 0) throw std::runtime_error("no sound in " + path);
  const AVStream* st = input->streams[stream];
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  CodecPtr decoder(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(decoder.get(), st->codecpar);
  decoder->request_sample_fmt = AV_SAMPLE_FMT_FLT;
  if (avcodec_open2(decoder.get(), codec, nullptr) < 0) throw std::runtime_error("no decoder for " + path);
  conv::PacketPtr packet(av_packet_alloc());
  conv::FramePtr frame(av_frame_alloc());
  double sum = 0;
  int64_t count = 0;
  auto take = [&] {
    while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
      if (frame->format != AV_SAMPLE_FMT_FLT && frame->format != AV_SAMPLE_FMT_FLTP) {
        throw std::runtime_error("unexpected sample format in " + path);
      }
      double start = frame->pts * av_q2d(st->time_base);
      const float* samples = reinterpret_cast<const float*>(frame->data[0]);
      for (int i = 0; i < frame->nb_samples; ++i) {
        double t = start + static_cast<double>(i) / frame->sample_rate;
        if (t >= from && t < to) {
          sum += samples[i] * samples[i];
          ++count;
        }
      }
    }
  };
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == stream) avcodec_send_packet(decoder.get(), packet.get());
    av_packet_unref(packet.get());
    take();
  }
  avcodec_send_packet(decoder.get(), nullptr);
  take();
  return count ? std::sqrt(sum / count) : 0.0;
}

bool Exists(const std::string& path) {
  return fs::exists(path);
}

}  // namespace convtest
