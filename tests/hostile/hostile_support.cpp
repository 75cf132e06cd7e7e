#include "hostile_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <thread>

extern char** environ;

namespace vintrel::hostile {
namespace {

std::uint64_t Fnv1a(const std::string& bytes) {
  std::uint64_t hash = 1469598103934665603ull;
  for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
  return hash;
}

// One folder at a time, so paths longer than the system takes in one piece still open.
int OpenFolderOf(const fs::path& file) {
  int dir = open(file.is_absolute() ? "/" : ".", O_DIRECTORY | O_RDONLY);
  for (const fs::path& part : file.parent_path().relative_path()) {
    if (dir < 0) break;
    const int next = openat(dir, part.c_str(), O_DIRECTORY | O_RDONLY);
    close(dir);
    dir = next;
  }
  return dir;
}

}  // namespace

bool HasSanitizerReport(const std::string& text) {
  // The last line of a report alone (the reason a batch records) still gives it away.
  for (const char* marker :
       {"AddressSanitizer", "LeakSanitizer", "UndefinedBehaviorSanitizer", "runtime error:", "==ABORTING"}) {
    if (text.find(marker) != std::string::npos) return true;
  }
  return false;
}

Fingerprint FingerprintOf(const fs::path& file) {
  Fingerprint print;
  const int dir = OpenFolderOf(file);
  if (dir < 0) return print;
  const std::string leaf = file.filename().string();
  struct stat info {};
  if (fstatat(dir, leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    print.size = static_cast<std::uintmax_t>(info.st_size);
    print.mtimeNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    if (S_ISREG(info.st_mode)) {
      int fd = openat(dir, leaf.c_str(), O_RDONLY | O_NOFOLLOW);
      // An unreadable case file is read by lending its owner the right for a moment.
      if (fd < 0 && errno == EACCES && fchmodat(dir, leaf.c_str(), info.st_mode | S_IRUSR, 0) == 0) {
        fd = openat(dir, leaf.c_str(), O_RDONLY | O_NOFOLLOW);
        fchmodat(dir, leaf.c_str(), info.st_mode & 07777, 0);
      }
      if (fd >= 0) {
        std::string bytes;
        char buffer[65536];
        for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
          bytes.append(buffer, static_cast<std::size_t>(n));
        close(fd);
        print.hash = Fnv1a(bytes);
      }
    } else if (S_ISLNK(info.st_mode)) {
      char target[4096];
      const ssize_t n = readlinkat(dir, leaf.c_str(), target, sizeof target);
      if (n >= 0) print.hash = Fnv1a(std::string(target, static_cast<std::size_t>(n)));
    }
  }
  close(dir);
  return print;
}

std::vector<std::string> ListTree(const fs::path& folder) {
  std::vector<std::string> entries;
  std::error_code error;
  auto it = fs::recursive_directory_iterator(folder, fs::directory_options::skip_permission_denied, error);
  for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    const std::string path = it->path().string();
    entries.push_back(path.substr(folder.string().size() + 1));
    // Deeper than a path can be opened in one piece: listed, not entered.
    if (path.size() > 3800) it.disable_recursion_pending();
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

bool ProbeClip(const fs::path& file, double* seconds) {
  const RunResult probe = RunProgram({"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of",
                                      "default=noprint_wrappers=1:nokey=1", file.string()});
  if (probe.exitCode != 0 || !probe.err.empty()) return false;
  if (seconds) *seconds = std::atof(probe.out.c_str());
  return true;
}

Sandbox::Sandbox(const std::string& tag)
    : folder_(std::make_unique<testing_support::TempFolder>("vintrel-" + tag)) {
  fs::create_directories(folder_->Path() / "app" / "data");
  root_ = fs::canonical(folder_->Path());  // the program finds its own folder with links resolved
  fs::copy_file(VINTREL_CLI_PATH, Cli());
  fs::copy_file(VINTREL_ENCODER_PATH, Encoder());
}

fs::path Sandbox::Make(const std::string& folder) const {
  fs::create_directories(root_ / folder);
  return root_ / folder;
}

std::vector<std::string> EncoderArgs(const fs::path& encoder, const std::string& source,
                                     const std::string& output) {
  return {encoder.string(), "-i",        source, "-b",   "120k", "-y", "-r",  "14.985", "-s",  "176x144",
          "-acodec",        "libamr_nb", "-ar",  "8000", "-ac",  "1",  "-ab", "5.15k",  output};
}

bool MakePermissionsBind() {
  if (geteuid() != 0) return true;
  for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
    if (prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0) return false;
  }
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2]{};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
    data[cap / 32].effective &= ~(1u << (cap % 32));
    data[cap / 32].permitted &= ~(1u << (cap % 32));
    data[cap / 32].inheritable &= ~(1u << (cap % 32));
  }
  return syscall(SYS_capset, &header, data) == 0;
}

bool EnterPrivateMounts() {
  return unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

bool MountTmpfs(const fs::path& folder, std::size_t bytes, bool readOnly) {
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  return mount("tmpfs", folder.c_str(), "tmpfs", readOnly ? MS_RDONLY : 0, options.c_str()) == 0;
}

}  // namespace vintrel::hostile
