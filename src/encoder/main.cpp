// conv.exe: converts one video file into a 3GP for phones.
//   conv.exe -i SOURCE -b 120k -y -r 14.985 -s 176x144 -acodec libamr_nb -ar 8000 -ac 1 -ab 5.15k OUT.3gp
// Exit status 0 only when OUT is complete; otherwise the last line says why and OUT is untouched.

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "audio_track.h"
#include "av_util.h"
#include "console.h"
#include "geometry.h"
#include "input.h"
#include "options.h"
#include "output_file.h"
#include "pipeline.h"
#include "platform.h"
#include "timeline.h"
#include "video_decoder.h"
#include "video_encoder.h"

namespace conv {
namespace {

// Deeper levels keep only a few DCT coefficients per block: too soft even for a small screen.
constexpr int kMaxLowres = 2;
// Whatever the input, the encoder stays within this; a file that needs more fails instead.
constexpr size_t kMemoryCeiling = size_t{400} << 20;

std::string Format(const char* format, double a, double b = 0) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

void PrintStreams(const Input& input, const VideoEncoder* video, const AudioTrack* audio) {
  if (const AVStream* s = input.Video()) {
    const AVCodecParameters* par = s->codecpar;
    console::Line("  Video: " + std::string(avcodec_get_name(par->codec_id)) + ", " +
                  std::to_string(par->width) + "x" + std::to_string(par->height) +
                  (s->avg_frame_rate.num > 0 && s->avg_frame_rate.den > 0
                       ? Format(", %.5g fps", av_q2d(s->avg_frame_rate))
                       : std::string()));
  }
  if (const AVStream* s = input.Audio()) {
    const AVCodecParameters* par = s->codecpar;
    console::Line("  Audio: " + std::string(avcodec_get_name(par->codec_id)) + ", " +
                  std::to_string(par->sample_rate) + " Hz, " + std::to_string(par->ch_layout.nb_channels) +
                  " channel(s)");
  }
  console::Line("Output #0, 3gp:");
  if (video) {
    const AVCodecContext* c = video->Context();
    console::Line("  Video: " + std::string(avcodec_get_name(c->codec_id)) + ", " + std::to_string(c->width) +
                  "x" + std::to_string(c->height) +
                  Format(", %.4g kb/s, %.5g fps", c->bit_rate / 1000.0, av_q2d(c->framerate)));
  }
  if (audio) {
    const AVCodecContext* c = audio->Context();
    console::Line("  Audio: amr_nb, 8000 Hz, mono" + Format(", %.3g kb/s", c->bit_rate / 1000.0));
  }
}

void Convert(const EncodeOptions& options) {
  CheckOutputPath(options.input, options.output, options.overwrite);
  Input input(options.input);
  input.PrintSummary();
  input.PickStreams();

  TimeLimits limits;
  if (!input.DurationIsEstimate()) limits.length = input.DurationSeconds();
  auto content = std::make_shared<ContentMap>();
  limits.content = content;

  OutputFile output(options.output, options.overwrite);
  std::unique_ptr<VideoEncoder> videoEncoder;
  std::unique_ptr<VideoDecoder> videoDecoder;
  std::unique_ptr<AudioTrack> audio;
  if (AVStream* stream = input.Video()) {
    int rotation = input.VideoRotation();
    AVRational sar = av_guess_sample_aspect_ratio(input.Context(), stream, nullptr);
    const AVCodecParameters* par = stream->codecpar;
    VideoLayout layout{
        FitPicture(par->width, par->height, sar.num, sar.den, rotation, options.width, options.height),
        rotation};
    videoEncoder = std::make_unique<VideoEncoder>(options, layout, output);
    DecoderTuning tuning;
    tuning.lowres = LowresLevel(par->width, par->height, rotation, layout.box, kMaxLowres);
    constexpr AVDiscard kSkipping[] = {AVDISCARD_DEFAULT, AVDISCARD_NONREF, AVDISCARD_ALL};
    tuning.skipLoopFilter = kSkipping[LoopFilterSkipping(par->width, par->height, rotation, layout.box)];
    videoDecoder = std::make_unique<VideoDecoder>(stream, input.Origin(), videoEncoder->FrameDuration(),
                                                  limits, tuning, options.input);
  }
  if (AVStream* stream = input.Audio()) {
    audio = std::make_unique<AudioTrack>(stream, input.Origin(), limits, options.audioBitrate, output,
                                         options.input);
  }
  PrintStreams(input, videoEncoder.get(), audio.get());
  output.WriteHeader();

  Pipeline pipeline(input, Tracks{videoDecoder.get(), videoEncoder.get(), audio.get(), content.get()},
                    output);
  pipeline.Run();
  // Known only once every picture is placed: the finishing pass writes them into the boxes.
  if (videoEncoder) output.SetContainerFacts(videoEncoder->Facts());
  output.Finish();
  // Said before the file gets its name: one finished after its caller left is not named, as
  // nobody will learn of it (a failed write has already asked the process to stop).
  console::Line(console::ProgressLine(pipeline.Figures()));
  if (console::Unheard() || platform::ConsoleReaderGone()) {
    if (!console::Unheard()) platform::StopUnheard();
    for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
  }
  output.Commit();
}

}  // namespace
}  // namespace conv

int main(int argc, char** argv) {
  using namespace conv;
  const std::optional<std::vector<std::string>> args = platform::Arguments(argc, argv);
  if (!args) {
    console::ErrorLine("Error: the command line holds text that is not Unicode");
    return 2;
  }
  ParseResult parsed = ParseOptions(*args);
  if (!parsed.options) {
    console::ErrorLine("Error: " + parsed.error);
    return 2;
  }
  const EncodeOptions& options = *parsed.options;
  if (options.help) {
    std::string usage = UsageText();
    usage.pop_back();  // Line ends it
    console::Line(usage);
    return 0;
  }
  platform::HandleStopRequests("Error: " + options.output + ": interrupted, nothing written");
  platform::LimitMemory(kMemoryCeiling);
  console::Install();
  try {
    Convert(options);
    return 0;
  } catch (const std::bad_alloc&) {
    console::ErrorLine("Error: " + options.input + ": needs more memory than the encoder may take (" +
                       std::to_string(kMemoryCeiling >> 20) + " MB)");
  } catch (const EncodeError& error) {
    console::ErrorLine("Error: " + error.Path() + ": " + error.what());
  } catch (const std::exception& error) {
    console::ErrorLine("Error: " + options.output + ": " + error.what());
  }
  return 1;
}
