#include "input.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <memory>
#include <string_view>
#include <thread>
#include <vector>

#include "console.h"
#include "geometry.h"
#include "platform.h"

namespace conv {
namespace {

// Far above any camera's picture (8K with its coded margin), far below a picture bomb's.
constexpr int64_t kMaxPixels = 8192 * 4352;
// Taken for a stream that declares no frame rate, when choosing the decoder's threads.
constexpr double kUnknownFrameRate = 30;

const uint8_t* DisplayMatrix(const AVStream* stream) {
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
  // FFmpeg 6.1 moved a stream's side data into its parameters and deprecated the old call.
  const AVPacketSideData* data = av_packet_side_data_get(
      stream->codecpar->coded_side_data, stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
  return data && data->size >= 9 * 4 ? data->data : nullptr;
#else
  size_t size = 0;
  const uint8_t* matrix = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
  return size >= 9 * 4 ? matrix : nullptr;
#endif
}

// Readers that take their pictures or sound from other files or the network: a "video" that is
// a playlist must not pull in whatever it names.
bool Indirect(const AVInputFormat* format) {
  static constexpr std::string_view kIndirect[] = {"concat", "dash", "hls", "image2", "imf",
                                                   "rtp",    "rtsp", "sap", "sdp"};
  std::string_view names = format->name;
  for (size_t at = 0; at <= names.size();) {
    size_t comma = std::min(names.find(',', at), names.size());
    for (std::string_view name : kIndirect) {
      if (names.substr(at, comma - at) == name) return true;
    }
    at = comma + 1;
  }
  return false;
}

// Probes the file's format the way the open call would, without letting the reader start.
const AVInputFormat* ProbeFormat(const std::string& url, const std::string& path) {
  Dictionary options;
  options.Set("protocol_whitelist", "file");
  AVIOContext* opened = nullptr;
  Check(avio_open2(&opened, url.c_str(), AVIO_FLAG_READ, nullptr, options.Address()), path);
  // Only read from: closing it cannot lose anything.
  auto close = [](AVIOContext* io) { (void)avio_closep(&io); };
  std::unique_ptr<AVIOContext, decltype(close)> io(opened, close);
  const AVInputFormat* format = nullptr;
  int ret = av_probe_input_buffer2(io.get(), &format, url.c_str(), nullptr, 0, 0);
  if (ret == AVERROR_INVALIDDATA || (ret >= 0 && Indirect(format))) {
    throw EncodeError(path, "not a video or audio file that can be read");
  }
  Check(ret, path);
  return format;
}

void CheckPictureSize(const AVStream* stream, const std::string& path) {
  const AVCodecParameters* par = stream->codecpar;
  if (par->codec_type != AVMEDIA_TYPE_VIDEO || int64_t{par->width} * par->height <= kMaxPixels) return;
  throw EncodeError(path, "its pictures are too large (" + std::to_string(par->width) + "x" +
                              std::to_string(par->height) + ", more than " +
                              std::to_string(kMaxPixels / 1000000) + " million pixels)");
}

int DecoderThreads(const AVStream* stream) {
  const AVCodecParameters* par = stream->codecpar;
  int bytes = av_image_get_buffer_size(static_cast<AVPixelFormat>(par->format), par->width, par->height, 1);
  int64_t picture = bytes > 0 ? bytes : int64_t{4} * par->width * par->height;
  AVRational rate = stream->avg_frame_rate.num > 0 && stream->avg_frame_rate.den > 0 ? stream->avg_frame_rate
                                                                                     : stream->r_frame_rate;
  double fps = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : kUnknownFrameRate;
  return DecoderThreadCount(double{1} * par->width * par->height * fps, picture,
                            static_cast<int>(std::thread::hardware_concurrency()));
}

bool IsUsable(const AVStream* stream) {
  const AVCodecParameters* par = stream->codecpar;
  if (!avcodec_find_decoder(par->codec_id)) return false;
  if (par->codec_type == AVMEDIA_TYPE_VIDEO) {
    return !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) && par->width > 0 && par->height > 0;
  }
  return par->sample_rate > 0 && par->ch_layout.nb_channels > 0;
}

// The default stream wins, then the larger picture or the more channels, then the first.
AVStream* Best(AVFormatContext* context, AVMediaType type, const std::string& path) {
  AVStream* best = nullptr;
  const AVStream* undecodable = nullptr;
  auto score = [](const AVStream* s) {
    int64_t size = s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO
                       ? int64_t{s->codecpar->width} * s->codecpar->height
                       : s->codecpar->ch_layout.nb_channels;
    return std::pair{(s->disposition & AV_DISPOSITION_DEFAULT) != 0, size};
  };
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    AVStream* stream = context->streams[i];
    if (stream->codecpar->codec_type != type) continue;
    if (!IsUsable(stream)) {
      if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) undecodable = stream;
      continue;
    }
    if (!best || score(stream) > score(best)) best = stream;
  }
  if (!best && undecodable) {
    const char* name = avcodec_get_name(undecodable->codecpar->codec_id);
    throw EncodeError(
        path, std::string("its ") + av_get_media_type_string(type) + " format (" + name + ") cannot be read");
  }
  return best;
}

}  // namespace

Input::Input(std::string path) : path_(std::move(path)) {
  std::string reason;
  const auto facts = platform::LookAt(path_, &reason);
  if (!facts) throw EncodeError(path_, reason);
  if (facts->kind == platform::FileFacts::Kind::Folder)
    throw EncodeError(path_, "is a folder, not a video file");
  if (facts->kind != platform::FileFacts::Kind::Regular) throw EncodeError(path_, "is not a regular file");
  if (facts->size == 0) throw EncodeError(path_, "the file is empty");

  // Local files only: no network, no standard input, and no readers that open other files.
  const std::string url = "file:" + path_;
  const AVInputFormat* format = ProbeFormat(url, path_);
  Dictionary options;
  options.Set("protocol_whitelist", "file");
  AVFormatContext* context = nullptr;
  int ret = avformat_open_input(&context, url.c_str(), format, options.Address());
  if (ret == AVERROR_INVALIDDATA) throw EncodeError(path_, "not a video or audio file that can be read");
  Check(ret, path_);
  context_.reset(context);
  // Probing decodes a little; a picture bomb must not be decoded even then.
  for (unsigned i = 0; i < context_->nb_streams; ++i) CheckPictureSize(context_->streams[i], path_);
  std::vector<Dictionary> probing(context_->nb_streams);
  std::vector<AVDictionary*> probingOptions;
  for (Dictionary& stream : probing) {
    stream.Set("max_pixels", std::to_string(kMaxPixels).c_str());
    stream.Set("threads", "1");
    probingOptions.push_back(*stream.Address());
  }
  ret = avformat_find_stream_info(context_.get(), probingOptions.data());
  for (size_t i = 0; i < probing.size(); ++i) *probing[i].Address() = probingOptions[i];
  if (ret < 0 && context_->nb_streams == 0) Check(ret, path_, "cannot read its streams");
}

void Input::PickStreams() {
  video_ = Best(context_.get(), AVMEDIA_TYPE_VIDEO, path_);
  audio_ = Best(context_.get(), AVMEDIA_TYPE_AUDIO, path_);
  if (!video_ && !audio_) throw EncodeError(path_, "has neither video nor audio to convert");
  if (video_) CheckPictureSize(video_, path_);
  for (unsigned i = 0; i < context_->nb_streams; ++i) {
    AVStream* stream = context_->streams[i];
    if (stream != video_ && stream != audio_) stream->discard = AVDISCARD_ALL;
  }
  bool found = false;
  for (AVStream* stream : {video_, audio_}) {
    if (!stream || stream->start_time == AV_NOPTS_VALUE) continue;
    int64_t start = av_rescale_q(stream->start_time, stream->time_base, AV_TIME_BASE_Q);
    origin_ = found ? std::min(origin_, start) : start;
    found = true;
  }
  if (!found && context_->start_time != AV_NOPTS_VALUE) origin_ = context_->start_time;
}

double Input::DurationSeconds() const {
  if (context_->duration == AV_NOPTS_VALUE || context_->duration <= 0) return -1;
  return static_cast<double>(context_->duration) / AV_TIME_BASE;
}

bool Input::DurationIsEstimate() const {
  return context_->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
}

void Input::PrintSummary() const {
  double duration = DurationSeconds();
  std::string line = "  Duration: " + (duration < 0 ? std::string("N/A") : console::Clock(duration));
  char rest[96];
  double start = context_->start_time == AV_NOPTS_VALUE ? 0.0 : double(context_->start_time) / AV_TIME_BASE;
  std::snprintf(rest, sizeof rest, ", start: %.6f, bitrate: ", start);
  line += rest;
  line += context_->bit_rate > 0 ? std::to_string(context_->bit_rate / 1000) + " kb/s" : "N/A";
  console::Line("Input #0, " + std::string(context_->iformat->name) + ":");
  console::Line(line);
}

int Input::VideoRotation() const {
  if (!video_) return 0;
  const uint8_t* matrix = DisplayMatrix(video_);
  if (!matrix) return 0;
  double counterClockwise = av_display_rotation_get(reinterpret_cast<const int32_t*>(matrix));
  if (std::isnan(counterClockwise)) return 0;
  long clockwise = std::lround(-counterClockwise / 90.0) * 90 % 360;
  return static_cast<int>(clockwise < 0 ? clockwise + 360 : clockwise);
}

CodecContextPtr OpenDecoder(AVStream* stream, const DecoderTuning& tuning, const std::string& path) {
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  if (!codec)
    throw EncodeError(path, "no decoder for " + std::string(avcodec_get_name(stream->codecpar->codec_id)));
  CodecContextPtr decoder(avcodec_alloc_context3(codec));
  if (!decoder) throw EncodeError(path, "out of memory");
  Check(avcodec_parameters_to_context(decoder.get(), stream->codecpar), path, "cannot set up the decoder");
  decoder->pkt_timebase = stream->time_base;
  if (codec->type == AVMEDIA_TYPE_VIDEO) {
    decoder->thread_count = DecoderThreads(stream);
    decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    // A stream whose pictures grow beyond its declared size fails to decode them.
    decoder->max_pixels = kMaxPixels;
    decoder->lowres = std::min<int>(tuning.lowres, codec->max_lowres);
    decoder->skip_loop_filter = tuning.skipLoopFilter;
  } else {
    decoder->thread_count = 1;
  }
  Check(avcodec_open2(decoder.get(), codec, nullptr), path,
        std::string("cannot open the ") + av_get_media_type_string(codec->type) + " decoder");
  return decoder;
}

}  // namespace conv
