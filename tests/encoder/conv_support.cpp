#include "conv_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "av_ptr.h"

extern char** environ;

namespace convtest {
namespace {

namespace fs = std::filesystem;

Child Spawn(const std::string& program, const std::vector<std::string>& args) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  int ret = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (ret != 0) {
    close(fds[0]);
    throw std::runtime_error("cannot start " + program);
  }
  return Child{pid, fds[0]};
}

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
  return FinishConv(Spawn(CONV_EXE, args));
}

Child StartConv(const std::vector<std::string>& args) {
  return Spawn(CONV_EXE, args);
}

RunResult FinishConv(Child child) {
  RunResult result;
  char buffer[4096];
  while (child.outputFd >= 0) {
    ssize_t got = read(child.outputFd, buffer, sizeof buffer);
    if (got > 0) {
      result.output.append(buffer, static_cast<size_t>(got));
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  if (child.outputFd >= 0) close(child.outputFd);
  int status = 0;
  while (waitpid(child.pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
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
