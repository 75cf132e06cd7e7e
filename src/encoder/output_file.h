// The 3GP being written: a pending file in the output folder that gets its name only when
// complete (see platform.h).
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "av_util.h"
#include "container_facts.h"
#include "platform.h"

namespace conv {

// Refuses outputs that cannot be written safely, before any work starts.
void CheckOutputPath(const std::string& source, const std::string& output, bool overwrite);

class OutputFile {
 public:
  OutputFile(std::string finalPath, bool overwrite);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  AVFormatContext* Context() const { return context_.get(); }
  const std::string& FinalPath() const { return finalPath_; }
  AVStream* AddStream(const AVCodecContext* encoder);
  void WriteHeader();
  // Safe to call from several threads; takes over the packet's contents.
  void Write(AVPacket* packet, AVStream* stream, AVRational encoderTimeBase);
  int64_t BytesWritten() const { return bytes_.load(); }
  // What Finish declares in the file beyond what the muxer knows; before Finish.
  void SetContainerFacts(const ContainerFacts& facts);
  // Trailer, flush, then the movie box in front and the declarations put right: the file is
  // complete, still without its name.
  void Finish();
  // Finishes it if need be, then gives it the final name. Without it, nothing is left of the file.
  void Commit();

 private:
  std::string finalPath_;
  bool overwrite_;
  // Declared in this order: the writer goes first, the file last.
  std::unique_ptr<platform::PendingOutput> file_;
  IoContextPtr io_;
  OutputContextPtr context_;
  std::mutex mutex_;
  std::atomic<int64_t> bytes_{0};
  bool finished_ = false;
  ContainerFacts facts_;
};

}  // namespace conv
