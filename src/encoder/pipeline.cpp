#include "pipeline.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "timeline.h"

namespace conv {
namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(500);

std::string Seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", value);
  return text;
}

// A player conceals a few damaged frames; a file damaged throughout is refused.
bool MostlyIntact(int64_t damaged, int64_t total) {
  return damaged <= std::max<int64_t>(2, total / 10);
}

}  // namespace

Pipeline::Pipeline(Input& input, Tracks tracks, OutputFile& output)
    : input_(input), tracks_(tracks), output_(output) {}

template <typename F>
void Pipeline::Guard(F&& body) {
  try {
    body();
  } catch (...) {
    Fail(std::current_exception());
  }
}

void Pipeline::Fail(std::exception_ptr error) {
  {
    std::lock_guard lock(errorMutex_);
    if (!error_) error_ = error;
  }
  failed_.store(true);
  pictures_.Abort();
  sound_.Abort();
}

void Pipeline::Run() {
  started_ = std::chrono::steady_clock::now();
  std::thread video, audio, progress;
  Guard([&] {
    if (tracks_.videoEncoder) video = std::thread([this] { Guard([this] { VideoLoop(); }); });
    if (tracks_.audio) audio = std::thread([this] { Guard([this] { AudioLoop(); }); });
    progress = std::thread([this] { ProgressLoop(); });
    Demux();
  });
  pictures_.Close();
  sound_.Close();
  for (std::thread* t : {&video, &audio}) {
    if (t->joinable()) t->join();
  }
  {
    std::lock_guard lock(progressMutex_);
    finished_ = true;
  }
  progressWake_.notify_all();
  if (progress.joinable()) progress.join();
  if (error_) std::rethrow_exception(error_);
  CheckComplete();
}

void Pipeline::Demux() {
  AVFormatContext* context = input_.Context();
  PacketPtr packet = MakePacket();
  auto sink = [this](FramePtr frame, int64_t slot) {
    FramePtr prepared = tracks_.videoEncoder->Prepare(std::move(frame));
    const size_t bytes = FrameBytes(prepared.get());
    pictures_.Push(Picture{std::move(prepared), slot}, bytes);
  };
  while (!failed_.load()) {
    int ret = av_read_frame(context, packet.get());
    if (ret == AVERROR(EAGAIN)) continue;
    if (ret < 0) {
      if (ret != AVERROR_EOF) readError_ = ret;
      break;
    }
    AVStream* stream = context->streams[packet->stream_index];
    if (context->iformat->flags & AVFMT_TS_DISCONT) Splice(packet.get(), stream);
    NoteReached(packet.get(), stream);
    if (tracks_.videoDecoder && stream == input_.Video()) {
      ++videoPackets_;
      tracks_.videoDecoder->Send(packet.get(), sink);
    } else if (tracks_.audio && stream == input_.Audio()) {
      PacketPtr queued = MakePacket();
      av_packet_move_ref(queued.get(), packet.get());
      const size_t bytes = static_cast<size_t>(queued->size);
      sound_.Push(std::move(queued), bytes);
    }
    av_packet_unref(packet.get());
  }
  if (failed_.load()) return;
  if (tracks_.videoDecoder) {
    tracks_.videoDecoder->Flush(sink);
    videoEndSlot_.store(tracks_.videoDecoder->EndSlot());
  }
}

void Pipeline::NoteReached(const AVPacket* packet, const AVStream* stream) {
  int64_t time = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
  if (time == AV_NOPTS_VALUE) return;
  const double origin = static_cast<double>(input_.Origin()) / AV_TIME_BASE;
  double end =
      SaturatingAdd(time, std::max<int64_t>(0, packet->duration)) * av_q2d(stream->time_base) - origin;
  reachedSeconds_ = std::max(reachedSeconds_, end);
  if (tracks_.content && (stream == input_.Video() || stream == input_.Audio())) {
    tracks_.content->Note(stream == input_.Video() ? ContentMap::kVideo : ContentMap::kAudio,
                          time * av_q2d(stream->time_base) - origin, end);
  }
}

void Pipeline::Splice(AVPacket* packet, const AVStream* stream) {
  if (stream != input_.Video() && stream != input_.Audio()) return;
  Timeline& line = timelines_[stream == input_.Video() ? 0 : 1];
  if (packet->dts != AV_NOPTS_VALUE) {
    int64_t dts = SaturatingAdd(packet->dts, line.offset);
    int64_t tenth = av_rescale_q(AV_TIME_BASE / 10, AV_TIME_BASE_Q, stream->time_base);
    // Backwards, or far ahead: a new piece begins; it goes on where the last one ended.
    if (line.nextDts != AV_NOPTS_VALUE &&
        (SaturatingAdd(dts, tenth) < line.lastDts || dts > SaturatingAdd(line.nextDts, 100 * tenth))) {
      line.offset = SaturatingAdd(line.offset, SaturatingSub(line.nextDts, dts));
      dts = line.nextDts;
    }
    packet->dts = dts;
    line.lastDts = dts;
    line.nextDts = SaturatingAdd(dts, std::max<int64_t>(packet->duration, 0));
  }
  if (packet->pts != AV_NOPTS_VALUE) packet->pts = SaturatingAdd(packet->pts, line.offset);
}

void Pipeline::VideoLoop() {
  while (auto picture = pictures_.Pop()) tracks_.videoEncoder->Take(std::move(picture->frame), picture->slot);
  if (!failed_.load()) tracks_.videoEncoder->Finish(videoEndSlot_.load());
}

void Pipeline::AudioLoop() {
  while (auto packet = sound_.Pop()) tracks_.audio->Take(packet->get());
  if (!failed_.load()) tracks_.audio->Finish();
}

void Pipeline::ProgressLoop() {
  std::unique_lock lock(progressMutex_);
  while (!progressWake_.wait_for(lock, kProgressInterval, [this] { return finished_; })) {
    console::Line(console::ProgressLine(Figures()));
  }
}

console::ProgressFigures Pipeline::Figures() const {
  console::ProgressFigures figures;
  figures.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  double position = -1;
  if (tracks_.videoEncoder) {
    figures.frames = tracks_.videoEncoder->FramesWritten();
    position = figures.frames * av_q2d(tracks_.videoEncoder->FrameDuration());
  }
  if (tracks_.audio) {
    double audio = tracks_.audio->Position();
    position = position < 0 ? audio : std::min(position, audio);
  }
  figures.seconds = std::max(0.0, position);
  figures.fps = figures.wallSeconds > 0 ? figures.frames / figures.wallSeconds : 0;
  figures.bytes = output_.BytesWritten();
  return figures;
}

void Pipeline::CheckComplete() const {
  const std::string& path = input_.Path();
  if (const VideoDecoder* video = tracks_.videoDecoder) {
    if (video->FramesDecoded() == 0)
      throw EncodeError(path, "no picture could be decoded: the video is damaged");
    if (!MostlyIntact(video->Damaged(), video->PacketsSent())) {
      throw EncodeError(path, "the video is damaged (" + std::to_string(video->Damaged()) + " of " +
                                  std::to_string(video->PacketsSent()) + " pictures cannot be decoded)");
    }
    // AVI and MP4 headers count the pictures; a file cut short has fewer.
    int64_t declared = input_.Video()->nb_frames;
    if (declared > 0 && videoPackets_ < declared - std::max<int64_t>(2, declared / 20)) {
      throw EncodeError(path, "the file ends after " + std::to_string(videoPackets_) + " of its " +
                                  std::to_string(declared) + " pictures: it is truncated or damaged");
    }
  }
  if (const AudioTrack* audio = tracks_.audio) {
    if (audio->SamplesDecoded() == 0)
      throw EncodeError(path, "no sound could be decoded: the audio is damaged");
    if (!MostlyIntact(audio->Damaged(), audio->PacketsSent())) {
      throw EncodeError(path, "the audio is damaged (" + std::to_string(audio->Damaged()) + " of " +
                                  std::to_string(audio->PacketsSent()) + " packets cannot be decoded)");
    }
  }
  double declared = input_.DurationSeconds();
  bool trusted = declared > 0 && !input_.DurationIsEstimate();
  if (trusted && reachedSeconds_ < declared - std::max(0.5, 0.05 * declared)) {
    throw EncodeError(path, "the file ends after " + Seconds(reachedSeconds_) + " of its " +
                                Seconds(declared) + ": it is truncated or damaged");
  }
  if (readError_ != 0 && !trusted) Check(readError_, path, "cannot read the whole file");
}

}  // namespace conv
