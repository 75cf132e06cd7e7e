// The 3GP being written: an unnamed file in the output folder (or, where the file system has
// none, a temporary one beside the final name) that gets its name only when complete.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "av_util.h"

namespace conv {

// SIGINT/SIGTERM remove the temporary file (if any) and end the process with 128 + signal.
// SIGPIPE is ignored, so a vanished console reader only makes writes fail.
void InstallSignalHandlers(const std::string& outputPath);

// Refuses outputs that cannot be written safely, before any work starts.
void CheckOutputPath(const std::string& source, const std::string& output, bool overwrite);

class OutputFile {
 public:
  OutputFile(std::string finalPath, bool overwrite);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  // Without a successful Commit the temporary file is removed.
  ~OutputFile();

  AVFormatContext* Context() const { return context_.get(); }
  const std::string& FinalPath() const { return finalPath_; }
  AVStream* AddStream(const AVCodecContext* encoder);
  void WriteHeader();
  // Safe to call from several threads; takes over the packet's contents.
  void Write(AVPacket* packet, AVStream* stream, AVRational encoderTimeBase);
  int64_t BytesWritten() const { return bytes_.load(); }
  // Trailer, flush to disk, then the final name.
  void Commit();

 private:
  void NameUnnamedFile();
  void RenameTemporaryFile();

  std::string finalPath_;
  std::string tempPath_;  // empty while the file has no name
  bool overwrite_;
  int fd_ = -1;
  OutputContextPtr context_;
  std::mutex mutex_;
  std::atomic<int64_t> bytes_{0};
  bool committed_ = false;
};

}  // namespace conv
