// What the hostile-input and fault-injection tests share beyond tests/support: fingerprints of files, a
// private application folder, and the root-only tricks (file access rules that bind root too, private mounts)
// with clean skips where they are not allowed.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "figure_report.h"
#include "media.h"
#include "processes.h"
#include "temp_folder.h"

namespace vintrel::hostile {

namespace fs = std::filesystem;
using testing_support::ChildrenNamed;
using testing_support::Ffmpeg;
using testing_support::Finish;
using testing_support::HoldsFileIn;
using testing_support::ReadFile;
using testing_support::ReportedFigures;
using testing_support::RunOptions;
using testing_support::RunProgram;
using testing_support::RunResult;
using testing_support::Started;
using testing_support::StartProgram;
using testing_support::Within;
using testing_support::WriteFile;

// A report of AddressSanitizer, LeakSanitizer or UndefinedBehaviorSanitizer in the text.
bool HasSanitizerReport(const std::string& text);

// Contents, size and modification time: any change to a file changes it.
struct Fingerprint {
  std::uint64_t hash = 0;
  std::uintmax_t size = 0;
  std::int64_t mtimeNs = 0;
  bool operator==(const Fingerprint&) const = default;
};
Fingerprint FingerprintOf(const fs::path& file);

// Every entry under the folder, as paths relative to it, sorted.
std::vector<std::string> ListTree(const fs::path& folder);

// A clip read back by ffprobe without complaint, and its duration in seconds.
bool ProbeClip(const fs::path& file, double* seconds = nullptr);

// A fresh folder holding an installed copy: vintrel-cli and data/conv.exe. Removed at the end.
class Sandbox {
 public:
  explicit Sandbox(const std::string& tag);

  const fs::path& Root() const { return root_; }
  fs::path App() const { return root_ / "app"; }
  fs::path Cli() const { return App() / "vintrel-cli"; }
  fs::path Encoder() const { return App() / "data" / "conv.exe"; }
  fs::path Make(const std::string& folder) const;

 private:
  std::unique_ptr<testing_support::TempFolder> folder_;
  fs::path root_;
};

// The encoder's command line as the batch builds it, with default settings.
std::vector<std::string> EncoderArgs(const fs::path& encoder, const std::string& source,
                                     const std::string& output);

// As root, permission bits do not stop the process; this takes away the capabilities that
// override them, for the test and everything it starts. True when the bits now apply.
bool MakePermissionsBind();

// Mounts made after this are seen by this process and its children only and vanish with it.
bool EnterPrivateMounts();
bool MountTmpfs(const fs::path& folder, std::size_t bytes, bool readOnly);

}  // namespace vintrel::hostile
