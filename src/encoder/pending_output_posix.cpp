#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <utility>

#include "encode_error.h"
#include "platform.h"
#include "stop_watch.h"

namespace conv::platform {
namespace {

std::string SystemError(int error) {
  return std::strerror(error);
}

std::string ProcPath(int fd) {
  return "/proc/self/fd/" + std::to_string(fd);
}

std::string FolderOf(const std::string& finalPath) {
  std::string folder = std::filesystem::path(finalPath).parent_path().string();
  return folder.empty() ? "." : folder;
}

// "<folder>/<name>.part-" followed by six random letters.
std::string TemporaryName(const std::string& finalPath) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937 random(std::random_device{}());
  std::string name = std::filesystem::path(finalPath).filename().string();
  // Leave room under the 255-byte name limit.
  if (name.empty() || name.size() > 200) name = "conv";
  std::string suffix(6, 'x');
  for (char& c : suffix) c = kLetters[random() % (sizeof kLetters - 1)];
  return (std::filesystem::path(FolderOf(finalPath)) / (name + ".part-" + suffix)).string();
}

class UniqueFd {
 public:
  UniqueFd() = default;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(-1); }
  int Get() const { return fd_; }
  void Reset(int fd) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Closes now, reporting the error; the descriptor is gone either way.
  int Close() {
    int fd = fd_;
    fd_ = -1;
    return close(fd);
  }

 private:
  int fd_ = -1;
};

// A temporary name in the stop handler's care: removed by it on a stop request, and by this
// object when it goes, unless the name was handed on to the final file.
class ArmedName {
 public:
  ArmedName() = default;
  ArmedName(const ArmedName&) = delete;
  ArmedName& operator=(const ArmedName&) = delete;
  ~ArmedName() {
    if (path_.empty()) return;
    std::lock_guard lock(stop_watch::Guard());
    unlink(path_.c_str());
    stop_watch::Disarm();
  }
  const std::string& Path() const { return path_; }
  bool Empty() const { return path_.empty(); }

  // Runs `create` (which makes a file under `path`) and arms the name in one step; the
  // result of `create`, with errno kept.
  template <typename F>
  int ArmIfCreated(const std::string& path, F&& create) {
    std::lock_guard lock(stop_watch::Guard());
    int result = create();
    int error = errno;
    if (result >= 0) {
      path_ = path;
      stop_watch::Arm(path);
    }
    errno = error;
    return result;
  }

  // Runs `name` (which moves the armed name to the final one) and, when it succeeds, ends the
  // stop handler's care in the same step. False with errno kept when it failed.
  template <typename F>
  static bool CommitIf(ArmedName* armed, F&& name) {
    std::lock_guard lock(stop_watch::Guard());
    if (!name()) return false;
    stop_watch::MarkCommitted();
    if (armed) armed->path_.clear();
    return true;
  }

 private:
  std::string path_;
};

int OpenUnnamed(const std::string& folder) {
  const int fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) return -1;
  // Naming goes through /proc; without it, fall back to a named file.
  if (access(ProcPath(fd).c_str(), F_OK) != 0) {
    close(fd);
    errno = ENOENT;
    return -1;
  }
  return fd;
}

class PosixOutput final : public PendingOutput {
 public:
  explicit PosixOutput(std::string finalPath);

  int Write(const std::uint8_t* data, int size) override;
  std::int64_t Seek(std::int64_t offset, int whence) override;
  int Read(std::uint8_t* data, int size) override;
  int Truncate(std::int64_t size) override;
  void Commit(bool replace) override;

 private:
  void NameUnnamed(bool replace);
  void RenameNamed(bool replace);
  [[noreturn]] void Fail(const std::string& what, int error) const;

  std::string finalPath_;
  // Declared in this order so the descriptor closes before the name goes.
  ArmedName name_;  // empty while the file has no name
  UniqueFd fd_;
};

PosixOutput::PosixOutput(std::string finalPath) : finalPath_(std::move(finalPath)) {
  // A file without a name until it is complete: even a process killed outright (kill -9, the
  // out-of-memory killer) leaves nothing behind. File systems that cannot make one get a named
  // temporary file, owned from its first moment.
  fd_.Reset(OpenUnnamed(FolderOf(finalPath_)));
  if (fd_.Get() < 0) {
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL && errno != ENOENT) {
      Fail("cannot create a file in its folder", errno);
    }
    for (int attempt = 0; attempt < 100 && fd_.Get() < 0; ++attempt) {
      const std::string path = TemporaryName(finalPath_);
      int fd = name_.ArmIfCreated(
          path, [&] { return open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600); });
      fd_.Reset(fd);
      if (fd < 0 && errno != EEXIST) Fail("cannot create a file in its folder", errno);
    }
    if (fd_.Get() < 0) Fail("cannot create a file in its folder", EEXIST);
  }
  mode_t mask = umask(0);
  umask(mask);
  if (fchmod(fd_.Get(), 0666 & ~mask) != 0) Fail("cannot set the file's permissions", errno);
}

void PosixOutput::Fail(const std::string& what, int error) const {
  throw EncodeError(finalPath_, what + ": " + SystemError(error));
}

int PosixOutput::Write(const std::uint8_t* data, int size) {
  for (int done = 0; done < size;) {
    ssize_t n = write(fd_.Get(), data + done, static_cast<size_t>(size - done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -errno;
    done += static_cast<int>(n);
  }
  return size;
}

std::int64_t PosixOutput::Seek(std::int64_t offset, int whence) {
  off_t at = lseek(fd_.Get(), offset, whence);
  return at < 0 ? -errno : at;
}

int PosixOutput::Read(std::uint8_t* data, int size) {
  for (;;) {
    ssize_t n = read(fd_.Get(), data, static_cast<size_t>(size));
    if (n >= 0) return static_cast<int>(n);
    if (errno != EINTR) return -errno;
  }
}

int PosixOutput::Truncate(std::int64_t size) {
  return ftruncate(fd_.Get(), static_cast<off_t>(size)) == 0 ? 0 : -errno;
}

void PosixOutput::Commit(bool replace) {
  if (fsync(fd_.Get()) != 0) Fail("cannot save the output", errno);
  if (name_.Empty()) {
    NameUnnamed(replace);
  } else {
    if (fd_.Close() != 0) Fail("cannot save the output", errno);
    RenameNamed(replace);
  }
}

void PosixOutput::NameUnnamed(bool replace) {
  const std::string self = ProcPath(fd_.Get());
  auto link = [&](const std::string& to) {
    return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0;
  };
  if (!replace) {
    // A link never replaces an existing name: the no-overwrite check and the naming are one step.
    if (!ArmedName::CommitIf(nullptr, [&] { return link(finalPath_); })) {
      if (errno == EEXIST) throw EncodeError(finalPath_, "already exists (add -y to replace it)");
      Fail("cannot give the output its name", errno);
    }
  } else {
    // Replacing takes a name of its own first, then a rename over the old file.
    for (int attempt = 0; attempt < 100 && name_.Empty(); ++attempt) {
      const std::string path = TemporaryName(finalPath_);
      if (name_.ArmIfCreated(path, [&] { return link(path) ? 0 : -1; }) < 0 && errno != EEXIST) {
        Fail("cannot give the output its name", errno);
      }
    }
    if (name_.Empty())
      throw EncodeError(finalPath_, "cannot give the output its name: no free temporary name");
    RenameNamed(true);
  }
  // The data is on disk already; a late close error changes nothing about the file.
  fd_.Reset(-1);
}

void PosixOutput::RenameNamed(bool replace) {
  const char* from = name_.Path().c_str();
  const char* to = finalPath_.c_str();
  bool named = ArmedName::CommitIf(&name_, [&] {
    if (replace) return std::rename(from, to) == 0;
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without no-replace renames: check, then rename, still in one step here.
    struct stat existing {};
    if (stat(to, &existing) == 0) {
      errno = EEXIST;
      return false;
    }
    return std::rename(from, to) == 0;
  });
  if (!named) {
    if (errno == EEXIST) throw EncodeError(finalPath_, "already exists (add -y to replace it)");
    Fail("cannot give the output its name", errno);
  }
}

}  // namespace

std::unique_ptr<PendingOutput> CreatePendingOutput(const std::string& finalPath) {
  return std::make_unique<PosixOutput>(finalPath);
}

}  // namespace conv::platform
