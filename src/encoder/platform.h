// What the encoder needs from the operating system, in one place: its arguments, the facts of a
// file, the output file that nobody sees until it is complete, the way out when the process is
// told to stop, and a memory ceiling. Each job has a file per platform (*_posix.cpp,
// *_win32.cpp): platform_args, file_facts, stop_watch, console_reader, memory_limit,
// pending_output. Paths are UTF-8 on both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace conv::platform {

// The arguments after the program's name, as UTF-8. Nothing when they cannot be (Windows: text
// that is not Unicode).
std::optional<std::vector<std::string>> Arguments(int argc, char** argv);

// Two paths name the same file when their identities are equal, whatever links lie between.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

// What the path names, links followed.
struct FileFacts {
  enum class Kind { Regular, Folder, Other };
  Kind kind = Kind::Other;
  std::uint64_t size = 0;
  FileIdentity identity;
};
// Nothing when the path names no file that can be looked at; then `reason` says why.
std::optional<FileFacts> LookAt(const std::string& path, std::string* reason = nullptr);

// Once, before any other thread starts. From then on a request to stop from outside (POSIX:
// SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGXFSZ; Windows: Ctrl+C, Ctrl+Break, the console closing)
// removes the pending output, prints `lastLine` as the console's last line and ends the process
// with 128 + the signal's number (Windows: 130 for Ctrl+C, 149 for Ctrl+Break, 129 for the
// console closing). A request that comes after the output got its final name ends
// the process with status 0 and prints nothing: the work is done. A vanished console reader
// makes writes fail instead of ending the process. A write past the file size limit fails the
// write instead of ending the process.
void HandleStopRequests(const std::string& lastLine);

// Status 141 (128 + SIGPIPE on both platforms) when nobody reads the console any more.
constexpr int kUnheardStatus = 141;
// Whether a failed console write with `error` (errno) means its reader has gone: a broken pipe
// (Windows: ERROR_NO_DATA, ERROR_BROKEN_PIPE, ERROR_PIPE_NOT_CONNECTED).
bool ReaderGone(int error);
// Ends the process as a stop request would, with kUnheardStatus; returns at once, so the
// caller may still hold the console.
void StopUnheard();
// Whether the console's reader has gone, without writing (POSIX: a pipe nobody reads; Windows
// finds out only by writing, so never).
bool ConsoleReaderGone();

// Allocations beyond `bytes` fail, so the encoder reports them instead of being killed by the
// system. Never raises a limit set from outside; a no-op where it cannot apply.
void LimitMemory(std::size_t bytes);

// The output while it is written: a new file in the folder of its final name, seen under that
// name only once Commit succeeds. Whatever way the run ends before that (a throw, a stop
// request, being killed where the system allows), nothing of it is left.
class PendingOutput {
 public:
  virtual ~PendingOutput() = default;

  // Writes all bytes at the current position: `size`, or minus an errno value.
  virtual int Write(const std::uint8_t* data, int size) = 0;
  // As lseek (SEEK_SET, SEEK_CUR, SEEK_END): the new position, or minus an errno value.
  virtual std::int64_t Seek(std::int64_t offset, int whence) = 0;
  // Reads up to `size` bytes at the current position: the count (0 at the end), or minus an
  // errno value. Lets the finished file be put in order before it is named.
  virtual int Read(std::uint8_t* data, int size) = 0;
  // Cuts the file to `size` bytes: 0, or minus an errno value.
  virtual int Truncate(std::int64_t size) = 0;
  // Puts the contents on disk, then gives the file its final name. Without `replace` an existing
  // file is never replaced. Naming and leaving the stop handler's care are one step, so a stop
  // request never removes or disowns a complete file. Throws EncodeError.
  virtual void Commit(bool replace) = 0;
};

// Throws EncodeError(finalPath, reason) when the folder takes no new file.
std::unique_ptr<PendingOutput> CreatePendingOutput(const std::string& finalPath);

}  // namespace conv::platform
