// Support for end-to-end tests that run the real programs as child processes:
// temporary folders, child processes ended by their PID, the headless program
// started without the right to set the clock and with the clock-call recorder
// preloaded, the check of that missing right, and bounded waits.
// Test thread only; nothing here is shared between threads.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_fd.h"

namespace orvik::testing {

using E2eClock = std::chrono::steady_clock;

// The TCP port the real programs always serve on.
inline constexpr std::uint16_t kServerPort = 1609;

// A fresh folder under the system's temporary folder, removed with its
// content on destruction. path() is empty when it could not be made.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Returns the whole content of `file`, or "" when it cannot be read.
std::string ReadFileText(const std::filesystem::path& file);
// Replaces `file` with `text` in one step (a temporary file, then rename), so
// a program that reads it meanwhile sees either the old or the new content.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view text);
// Splits at LF and drops one CR before each LF; no empty last line.
std::vector<std::string> SplitLines(std::string_view text);

// Calls `done` every `step` until it returns true or `limit` has passed;
// returns its last answer. Every wait of these tests goes through here.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               std::chrono::milliseconds step = std::chrono::milliseconds(100));

// How a child's standard streams start.
enum class StandardStreams {
  kInherited,         // the test's own, except as ProcessOptions redirects them
  kStderrReaderGone,  // stderr is a pipe whose reading end is already closed
  kClosed,            // descriptors 0, 1 and 2 are closed
};

// How to start a child process.
struct ProcessOptions {
  std::vector<std::string> argv;             // argv[0] is looked up in PATH
  std::filesystem::path working_dir;         // empty: the test's own
  std::vector<std::string> environment_set;  // "NAME=value", over the test's environment
  std::filesystem::path stderr_file;         // empty: the test's stderr
  bool capture_stdout = false;               // stdout on a pipe for ReadLine()
  // Other than kInherited: stderr_file and capture_stdout are not used.
  StandardStreams streams = StandardStreams::kInherited;
};

// One child process. The destructor ends it by its PID (SIGTERM, then
// SIGKILL after a bounded wait) and reaps it, so a failed test leaves no
// process behind.
class ChildProcess {
 public:
  explicit ChildProcess(const ProcessOptions& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Returns true while the process has not ended.
  bool Running();
  // Returns the next line of its stdout (without LF), or nullopt after
  // `limit` or at the end of its output. REQUIRES: capture_stdout.
  std::optional<std::string> ReadLine(std::chrono::milliseconds limit);
  // Waits up to `limit` for the end; returns the wait status.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit);
  // Sends `signal` to the process while it has not been reaped.
  void Signal(int signal);
  // SIGTERM, up to `grace` for the end, then SIGKILL. Returns the wait
  // status (-1 when the process never started).
  int Stop(std::chrono::milliseconds grace);

 private:
  pid_t pid_ = -1;
  std::optional<int> status_;
  platform::UniqueFd stdout_;
  std::string buffered_;
};

// Paths of the programs under test and of the preload library.
struct ProgramPaths {
  std::filesystem::path daemon;
  std::filesystem::path simulator;
  std::filesystem::path client;
  std::filesystem::path clock_recorder;
};

// Starts the headless program in `work_dir` through
// `setpriv --bounding-set -sys_time`, with the clock-call recorder preloaded
// (its lines go to `clock_log`), the machine's zone TZ=`time_zone`, and its
// stderr in `stderr_file`, unless `streams` starts it with broken standard
// streams instead.
std::unique_ptr<ChildProcess> StartHeadless(const ProgramPaths& programs,
                                            const std::filesystem::path& work_dir,
                                            const std::filesystem::path& stderr_file,
                                            const std::filesystem::path& clock_log,
                                            StandardStreams streams = StandardStreams::kInherited,
                                            std::string_view time_zone = "UTC");

// Waits up to `limit` until `pid` runs `program` (the exec is done), then
// succeeds only when CAP_SYS_TIME is absent from its bounding, permitted and
// effective sets in /proc/<pid>/status.
::testing::AssertionResult CannotSetClock(pid_t pid, const std::filesystem::path& program,
                                          std::chrono::milliseconds limit);

// Returns true when `library` is mapped into the process `pid`.
bool MapsLibrary(pid_t pid, const std::filesystem::path& library);

// Returns true when some descriptor of `pid` refers to `device`.
bool HasOpen(pid_t pid, const std::filesystem::path& device);

// Returns true when a TCP connection to 127.0.0.1:`port` is accepted.
bool CanConnect(std::uint16_t port);
// Returns true when nothing listens on `port` on any address (a bind works).
bool PortIsFree(std::uint16_t port);
// A listener on 0.0.0.0:`port`; invalid when the bind fails.
platform::UniqueFd ListenOnAllAddresses(std::uint16_t port);

// The 14 lines of "GPS_parm.txt" in the program's own format: `first_line`
// (the port number), GMT offset 2 h, interval 1 s, clock update 60 s,
// switches off, the protocol word, and the logging word.
std::string SettingsFileText(std::string_view first_line, std::string_view protocol_word,
                             bool logging_enabled);

}  // namespace orvik::testing
