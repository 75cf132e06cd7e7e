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
#include <mutex>
#include <random>
#include <thread>

#include "console.h"

namespace conv {
namespace {

// Filled before a terminating signal can need them.
char gTempPath[4096];
std::atomic<bool> gTempArmed{false};
std::mutex gTempMutex;  // creating the temporary file and arming its removal are one step
char gInterruptMessage[4352];
size_t gInterruptMessageLength = 0;

// SIGINT and SIGTERM are blocked in every thread and taken here, by an ordinary thread: it can
// wait for the temporary file to be armed and silence the console, so "interrupted" is the
// last line the reader sees, whatever the other threads were printing.
[[noreturn]] void AwaitTerminatingSignal(sigset_t signals) {
  int signal = 0;
  while (sigwait(&signals, &signal) != 0) {
  }
  {
    std::lock_guard lock(gTempMutex);
    if (gTempArmed.load()) unlink(gTempPath);
  }
  console::Silence();
  ssize_t ignored = write(STDERR_FILENO, gInterruptMessage, gInterruptMessageLength);
  (void)ignored;
  _exit(128 + signal);
}

void ArmTempCleanup(const std::string& path) {
  if (path.size() >= sizeof gTempPath) return;
  std::memcpy(gTempPath, path.c_str(), path.size() + 1);
  gTempArmed.store(true);
}

std::string ProcPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
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

std::string FolderOf(const std::string& finalPath) {
  std::string folder = std::filesystem::path(finalPath).parent_path().string();
  return folder.empty() ? "." : folder;
}

int OpenUnnamed(const std::string& folder) {
  const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  // Writing and naming go through /proc; without it, fall back to a named file.
  if (access(ProcPath(fd).c_str(), W_OK) != 0) {
    close(fd);
    errno = ENOENT;
    return -1;
  }
  return fd;
}

std::string RandomSuffix() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937 random(std::random_device{}());
  std::string suffix(6, 'x');
  for (char& c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
  return suffix;
}

}  // namespace

void InstallSignalHandlers(const std::string& outputPath) {
  std::snprintf(gInterruptMessage, sizeof gInterruptMessage, "Error: %s: interrupted, nothing written\n",
                outputPath.c_str());
  gInterruptMessageLength = std::strlen(gInterruptMessage);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  // Before any other thread exists, so they all inherit the mask.
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread(AwaitTerminatingSignal, signals).detach();
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
  // A file without a name until it is complete: even a process killed outright (kill -9, the
  // out-of-memory killer) leaves nothing behind. File systems that cannot make one get a
  // named temporary file, which the signal handlers remove.
  std::string writePath;
  fd_ = OpenUnnamed(FolderOf(finalPath_));
  if (fd_ >= 0) {
    writePath = ProcPath(fd_);
  } else {
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
      throw EncodeError(finalPath_, "cannot create a file in its folder: " + SystemError(errno));
    }
    std::string pattern = TempTemplate(finalPath_);
    int error = 0;
    {
      std::lock_guard lock(gTempMutex);
      fd_ = mkstemp(pattern.data());
      error = errno;
      if (fd_ >= 0) ArmTempCleanup(pattern);
    }
    if (fd_ < 0) throw EncodeError(finalPath_, "cannot create a file in its folder: " + SystemError(error));
    tempPath_ = pattern;
    writePath = tempPath_;
  }
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd_, 0666 & ~mask) != 0) {
    throw EncodeError(finalPath_, "cannot set the file's permissions: " + SystemError(errno));
  }
  AVFormatContext* context = nullptr;
  // The muxer is chosen by name: the temporary name has no .3gp ending.
  Check(avformat_alloc_output_context2(&context, nullptr, "3gp", writePath.c_str()), finalPath_,
        "cannot set up the 3GP writer");
  context_.reset(context);
  Check(avio_open2(&context_->pb, ("file:" + writePath).c_str(), AVIO_FLAG_WRITE, nullptr, nullptr),
        finalPath_, "cannot write the output");
}

OutputFile::~OutputFile() {
  if (committed_) return;
  context_.reset();
  if (fd_ >= 0) close(fd_);
  if (!tempPath_.empty()) unlink(tempPath_.c_str());
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
  if (tempPath_.empty()) {
    NameUnnamedFile();
  } else {
    int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) throw EncodeError(finalPath_, "cannot save the output: " + SystemError(errno));
    RenameTemporaryFile();
  }
  committed_ = true;
  gTempArmed.store(false);
}

void OutputFile::NameUnnamedFile() {
  const std::string self = ProcPath(fd_);
  if (!overwrite_) {
    // A link never replaces an existing name: the no-overwrite check and the naming are one step.
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, finalPath_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
      if (errno == EEXIST) throw EncodeError(finalPath_, "already exists (add -y to replace it)");
      throw EncodeError(finalPath_, "cannot give the output its name: " + SystemError(errno));
    }
  } else {
    // Replacing takes a name of its own first, then a rename over the old file.
    std::string temp;
    for (int attempt = 0; attempt < 100 && temp.empty(); ++attempt) {
      std::string candidate = TempTemplate(finalPath_);
      candidate.replace(candidate.size() - 6, 6, RandomSuffix());
      // The signal thread may remove the name only once it is ours, and must not miss it then.
      bool linked = false;
      int error = 0;
      {
        std::lock_guard lock(gTempMutex);
        linked = linkat(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0;
        error = errno;
        if (linked) ArmTempCleanup(candidate);
      }
      if (linked) {
        temp = candidate;
      } else if (error != EEXIST) {
        throw EncodeError(finalPath_, "cannot give the output its name: " + SystemError(error));
      }
    }
    if (temp.empty())
      throw EncodeError(finalPath_, "cannot give the output its name: no free temporary name");
    if (std::rename(temp.c_str(), finalPath_.c_str()) != 0) {
      const int error = errno;
      unlink(temp.c_str());
      gTempArmed.store(false);
      throw EncodeError(finalPath_, "cannot give the output its name: " + SystemError(error));
    }
  }
  // The data is on disk already; a late close error changes nothing about the file.
  close(fd_);
  fd_ = -1;
}

void OutputFile::RenameTemporaryFile() {
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
}

}  // namespace conv
