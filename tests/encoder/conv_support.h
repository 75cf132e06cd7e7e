// Helpers for the end-to-end tests of conv.exe: sample clips made with ffmpeg, runs of the
// encoder as a real child process, and a look into its outputs with libavformat.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media.h"
#include "processes.h"
#include "temp_folder.h"

namespace convtest {

using vintrel::testing_support::Clip;
using vintrel::testing_support::Ffmpeg;
using vintrel::testing_support::ReadFile;
using vintrel::testing_support::TestPicture;
using vintrel::testing_support::TestTone;
using vintrel::testing_support::WriteFile;

struct RunResult {
  int exitCode = -1;  // -1 when ended by a signal
  int signal = 0;
  std::string output;  // stdout and stderr as one stream, as the window reads them
  std::string LastLine() const;
};

// Runs conv.exe with stdin from /dev/null and stdout+stderr joined into one pipe.
RunResult RunConv(const std::vector<std::string>& args);

using Child = vintrel::testing_support::Started;
Child StartConv(const std::vector<std::string>& args);
// Reads the output to its end (unless outputFd was closed and set to -1) and waits for the exit.
RunResult FinishConv(Child child);

// The line the window builds, with the settings it offers.
struct Settings {
  std::string videoBitrate = "120";
  std::string frameRate = "14.985";
  std::string frameSize = "176x144";
  std::string audioBitrate = "5.15k";
};
std::vector<std::string> WindowArgs(const std::string& source, const std::string& output,
                                    const Settings& s = {});

struct StreamFacts {
  std::string codec;
  int width = 0;
  int height = 0;
  int rateNum = 0;  // average frame rate
  int rateDen = 1;
  int sampleRate = 0;
  int channels = 0;
  double duration = 0;
  int64_t bytes = 0;  // all its packets
};

struct FileFacts {
  std::string format;
  std::string majorBrand;
  double duration = 0;
  std::optional<StreamFacts> video;
  std::optional<StreamFacts> audio;
  int firstAudioPacketSize = 0;
};
FileFacts Probe(const std::string& path);

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> luma;
  // Mean brightness of the rectangle [x0, x1) x [y0, y1).
  double Mean(int x0, int y0, int x1, int y1) const;
};
Picture DecodePicture(const std::string& path, int index);

// The video's coded pictures as the file holds them, in order, for reading their headers.
struct CodedPicture {
  double seconds = 0;  // when it is shown
  int64_t bits = 0;
  std::vector<uint8_t> head;  // its first bytes
};
struct CodedVideo {
  std::vector<uint8_t> headers;  // the stream's own headers (MPEG-4: VOS and VOL)
  std::vector<CodedPicture> pictures;
};
CodedVideo ReadCodedVideo(const std::string& path);

// Root mean square of the decoded sound between two times in seconds (full scale 1.0).
double SoundLevel(const std::string& path, double from, double to);

// A fresh folder, removed with everything in it at the end.
class TempDir : public vintrel::testing_support::TempFolder {
 public:
  TempDir() : TempFolder("conv-test") {}
  std::string Path(const std::string& name) const { return Utf8(name); }
  std::string Path() const { return Utf8(); }
};

bool Exists(const std::string& path);

}  // namespace convtest
