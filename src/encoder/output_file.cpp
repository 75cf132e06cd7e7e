#include "output_file.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace conv {
namespace {

// Only async-signal-safe state: filled before the handler can need it.
char gTempPath[4096];
std::atomic<bool> gTempArmed{false};
char gInterruptMessage[4352];
size_t gInterruptMessageLength = 0;

extern "C" void OnTerminatingSignal(int signal) {
  if (gTempArmed.load()) unlink(gTempPath);
  ssize_t ignored = write(STDERR_FILENO, gInterruptMessage, gInterruptMessageLength);
  (void)ignored;
  _exit(128 + signal);
}

void ArmTempCleanup(const std::string& path) {
  if (path.size() >= sizeof gTempPath) return;
  std::memcpy(gTempPath, path.c_str(), path.size() + 1);
  gTempArmed.store(true);
}

std::string SystemError(int error) {
  return std::strerror(error);
}

std::string TempTemplate(const std::string& finalPath) {
  std::filesystem::path path(finalPath);
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  std::string name = path.filename().string();
  // Leave room under the 255-byte name limit.
  if (name.empty() || name.size() > 200) name = "conv";
  return (folder / (name + ".part-XXXXXX")).string();
}

}  // namespace

void InstallSignalHandlers(const std::string& outputPath) {
  std::snprintf(gInterruptMessage, sizeof gInterruptMessage, "Error: %s: interrupted, nothing written\n",
                outputPath.c_str());
  gInterruptMessageLength = std::strlen(gInterruptMessage);
  struct sigaction action {};
  action.sa_handler = OnTerminatingSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
}

void CheckOutputPath(const std::string& source, const std::string& output, bool overwrite) {
  struct stat out {};
  if (stat(output.c_str(), &out) != 0) return;  // a new file: the folder is checked when it is created
  if (S_ISDIR(out.st_mode)) throw EncodeError(output, "is a folder; give a file name for the output");
  struct stat src {};
  if (stat(source.c_str(), &src) == 0 && src.st_dev == out.st_dev && src.st_ino == out.st_ino) {
    throw EncodeError(output, "is the source file itself; choose another output name");
  }
  if (!S_ISREG(out.st_mode)) throw EncodeError(output, "exists and is not a regular file");
  if (!overwrite) throw EncodeError(output, "already exists (add -y to replace it)");
}

OutputFile::OutputFile(std::string finalPath, bool overwrite)
    : finalPath_(std::move(finalPath)), overwrite_(overwrite) {
  std::string pattern = TempTemplate(finalPath_);
  // A signal between creating the file and arming its removal would leave it behind.
  sigset_t terminating, previous;
  sigemptyset(&terminating);
  sigaddset(&terminating, SIGINT);
  sigaddset(&terminating, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &terminating, &previous);
  fd_ = mkstemp(pattern.data());
  int error = errno;
  if (fd_ >= 0) ArmTempCleanup(pattern);
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (fd_ < 0) throw EncodeError(finalPath_, "cannot create a file in its folder: " + SystemError(error));
  tempPath_ = pattern;
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd_, 0666 & ~mask) != 0) {
    throw EncodeError(finalPath_, "cannot set the file's permissions: " + SystemError(errno));
  }
  AVFormatContext* context = nullptr;
  // The muxer is chosen by name: the temporary name has no .3gp ending.
  Check(avformat_alloc_output_context2(&context, nullptr, "3gp", tempPath_.c_str()), finalPath_,
        "cannot set up the 3GP writer");
  context_.reset(context);
  Check(avio_open2(&context_->pb, ("file:" + tempPath_).c_str(), AVIO_FLAG_WRITE, nullptr, nullptr),
        finalPath_, "cannot write the output");
}

OutputFile::~OutputFile() {
  if (committed_) return;
  context_.reset();
  if (fd_ >= 0) close(fd_);
  unlink(tempPath_.c_str());
  gTempArmed.store(false);
}

AVStream* OutputFile::AddStream(const AVCodecContext* encoder) {
  AVStream* stream = avformat_new_stream(context_.get(), nullptr);
  if (!stream) throw EncodeError(finalPath_, "out of memory");
  Check(avcodec_parameters_from_context(stream->codecpar, encoder), finalPath_, "cannot set up a stream");
  stream->time_base = encoder->time_base;
  if (encoder->codec_type == AVMEDIA_TYPE_VIDEO) {
    stream->avg_frame_rate = encoder->framerate;
    stream->r_frame_rate = encoder->framerate;
    stream->sample_aspect_ratio = encoder->sample_aspect_ratio;
  }
  return stream;
}

void OutputFile::WriteHeader() {
  Check(avformat_write_header(context_.get(), nullptr), finalPath_, "cannot write the 3GP header");
}

void OutputFile::Write(AVPacket* packet, AVStream* stream, AVRational encoderTimeBase) {
  std::lock_guard lock(mutex_);
  av_packet_rescale_ts(packet, encoderTimeBase, stream->time_base);
  packet->stream_index = stream->index;
  Check(av_interleaved_write_frame(context_.get(), packet), finalPath_, "cannot write the output");
  bytes_.store(avio_tell(context_->pb));
}

void OutputFile::Commit() {
  std::lock_guard lock(mutex_);
  Check(av_write_trailer(context_.get()), finalPath_, "cannot finish the output");
  bytes_.store(avio_tell(context_->pb));
  Check(avio_closep(&context_->pb), finalPath_, "cannot finish the output");
  if (fsync(fd_) != 0) throw EncodeError(finalPath_, "cannot save the output: " + SystemError(errno));
  int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) throw EncodeError(finalPath_, "cannot save the output: " + SystemError(errno));
  int renamed = overwrite_
                    ? std::rename(tempPath_.c_str(), finalPath_.c_str())
                    : renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, finalPath_.c_str(), RENAME_NOREPLACE);
  if (renamed != 0 && !overwrite_ && (errno == EINVAL || errno == ENOSYS)) {
    // A file system without no-replace renames: check, then rename.
    struct stat existing {};
    if (stat(finalPath_.c_str(), &existing) == 0) {
      errno = EEXIST;
    } else {
      renamed = std::rename(tempPath_.c_str(), finalPath_.c_str());
    }
  }
  if (renamed != 0) {
    if (errno == EEXIST) throw EncodeError(finalPath_, "already exists (add -y to replace it)");
    throw EncodeError(finalPath_, "cannot give the output its name: " + SystemError(errno));
  }
  committed_ = true;
  gTempArmed.store(false);
}

}  // namespace conv
