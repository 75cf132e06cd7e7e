#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "app/platform.h"

namespace vintrel {
namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// A relative HOME would put settings and output wherever the program happens to start, even
// under its install prefix: it counts as none.
std::string HomeFolder() {
  std::string home = Environment("HOME");
  if (!home.empty() && home.front() == '/') return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir) {
    return found->pw_dir;
  }
  return {};
}

std::string ParentFolder(const std::string& path) {
  const auto cut = path.rfind('/');
  if (cut == std::string::npos) return ".";
  if (cut == 0) return "/";
  return path.substr(0, cut);
}

std::string RandomSuffix() {
  static std::random_device device;
  static std::mt19937_64 engine(device());
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(engine()));
  return text;
}

// Creates a new file that did not exist before; -1 when that is impossible.
int CreateFreshFile(const std::string& stem, std::string& created, mode_t mode) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    created = stem + RandomSuffix();
    const int fd = ::open(created.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, std::string_view content) {
  while (!content.empty()) {
    const ssize_t written = ::write(fd, content.data(), content.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    content.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// The install rules leave this file in the program folder: the package manager owns that folder,
// so nothing is written there even by a user who could (root).
bool IsInstalledFolder(const std::string& folder) {
  return !folder.empty() && ::access(JoinPath(folder, "installed").c_str(), F_OK) == 0;
}

// A small text file's contents; empty when it cannot be read.
std::string FileText(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  char buffer[4096];
  ssize_t got;
  while (text.size() < (1u << 20) &&
         ((got = ::read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)))
    if (got > 0) text.append(buffer, static_cast<std::size_t>(got));
  ::close(fd);
  return text;
}

}  // namespace

std::string ApplicationFolder() {
  std::vector<char> buffer(PATH_MAX);
  for (;;) {
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return ParentFolder(std::string(buffer.data(), static_cast<std::size_t>(length)));
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool IsFolderWritable(const std::string& folder) {
  if (folder.empty()) return false;
  std::string probe;
  const int fd = CreateFreshFile(JoinPath(folder, ".vintrel-probe-"), probe, 0600);
  if (fd < 0) return false;
  ::close(fd);
  return ::unlink(probe.c_str()) == 0;
}

AppPaths ResolveAppPaths(const std::string& applicationFolder) {
  PlatformFacts facts;
  facts.applicationFolderWritable =
      !IsInstalledFolder(applicationFolder) && IsFolderWritable(applicationFolder);
  facts.home = HomeFolder();
  facts.configHome = Environment("XDG_CONFIG_HOME");
  facts.tempDir = Environment("TMPDIR");
  facts.runtimeDir = Environment("XDG_RUNTIME_DIR");
  struct stat info {};
  if (facts.runtimeDir.empty() || ::stat(facts.runtimeDir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
      info.st_uid != getuid()) {
    facts.runtimeDir.clear();
  }
  facts.userId = std::to_string(getuid());
  facts.videosDir = Environment("XDG_VIDEOS_DIR");
  if (facts.videosDir.empty() || facts.videosDir.front() != '/') {
    std::string config = facts.home.empty() ? "" : JoinPath(facts.home, ".config");
    if (!facts.configHome.empty() && facts.configHome.front() == '/') config = facts.configHome;
    if (!config.empty())
      facts.videosDir = VideosFolderFromUserDirs(FileText(JoinPath(config, "user-dirs.dirs")), facts.home);
  }
  facts.folderExists = [](const std::string& folder) { return IsFolder(folder); };
  return ResolveAppPathsFrom(applicationFolder, facts);
}

bool CreatePrivateFolder(const std::string& folder) {
  if (folder.empty()) return false;
  const std::string parent = ParentFolder(folder);
  struct stat info {};
  if (parent != folder && ::stat(parent.c_str(), &info) != 0) {
    if (!CreatePrivateFolder(parent)) return false;
  }
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  if (::lstat(folder.c_str(), &info) != 0) return false;
  return S_ISDIR(info.st_mode) && info.st_uid == getuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::string PrivateFolderProblem(const std::string& folder) {
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0) return {};
  if (!S_ISDIR(info.st_mode)) return folder + " is not a folder";
  if (info.st_uid != getuid()) {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    std::string owner = "user " + std::to_string(info.st_uid);
    if (getpwuid_r(info.st_uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name)
      owner = found->pw_name;
    return folder + " belongs to another user (" + owner + ")";
  }
  if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) return "others may write to " + folder;
  return {};
}

bool ReplaceFileContents(const std::string& file, std::string_view content) {
  // Replace what a link points to, not the link itself.
  std::string target = file;
  if (char* resolved = ::realpath(file.c_str(), nullptr)) {
    target = resolved;
    ::free(resolved);
  }
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;

  const std::string folder = ParentFolder(target);
  std::string temporary;
  const int fd = CreateFreshFile(target + ".tmp-", temporary, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, content);
  if (ok && exists) ok = ::fchmod(fd, old.st_mode & 07777) == 0;
  ok = ok && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  SyncFolder(folder);
  return true;
}

}  // namespace vintrel
