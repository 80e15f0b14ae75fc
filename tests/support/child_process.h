// ChildProcess: the one way a test starts another program. Every program
// runs under `setpriv --bounding-set -sys_time`, and the start succeeds only
// once /proc/PID/status shows that CAP_SYS_TIME is out of its reach (a
// process that holds it is killed at once): no program a test starts can
// set this machine's clock. The destructor ends the process by its PID
// (SIGTERM, then SIGKILL after a bounded wait) and reaps it, so a failed
// test leaves no process behind. Test thread only.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace orvik::testing {

// How a child's standard streams start.
enum class StandardStreams {
  kInherited,         // the test's own, except as ProcessOptions redirects them
  kStderrReaderGone,  // stderr is a pipe whose reading end is already closed
  kClosed,            // descriptors 0, 1 and 2 are closed
};

// How to start a child process.
struct ProcessOptions {
  std::vector<std::string> argv;             // argv[0]: a path, or a name looked up in PATH
  std::filesystem::path working_dir;         // empty: the test's own
  std::vector<std::string> environment_set;  // "NAME=value", over the test's environment
  std::filesystem::path stderr_file;         // appended to; empty: the test's stderr
  std::filesystem::path stdout_file;         // appended to; empty: the test's stdout
  bool capture_stdout = false;               // stdout on a pipe for ReadLine()
  int inherited_fd = -1;                     // also handed to the child, under its number
  int niceness = 0;                          // run at this nice level
  // Other than kInherited: the files and capture_stdout are not used.
  StandardStreams streams = StandardStreams::kInherited;
};

class ChildProcess {
 public:
  explicit ChildProcess(const ProcessOptions& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Whether the program runs (or ran) without the right to set the clock;
  // failure() tells why not.
  bool started() const { return pid_ > 0; }
  const std::string& failure() const { return failure_; }
  pid_t pid() const { return pid_; }
  // Returns true while the process has not ended.
  bool Running();
  // Returns the next line of its stdout (without LF), or nullopt after
  // `limit` or at the end of its output. REQUIRES: capture_stdout.
  std::optional<std::string> ReadLine(std::chrono::milliseconds limit);
  // The rest of its stdout, up to its end or until `limit` has passed.
  std::string ReadRest(std::chrono::milliseconds limit);
  // Waits up to `limit` for the end; returns the wait status.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit);
  // Sends `signal` to the process while it has not been reaped.
  void Signal(int signal);
  // SIGTERM, up to `grace` for the end, then SIGKILL. Returns the wait
  // status (-1 when the process never started).
  int Stop(std::chrono::milliseconds grace);

 private:
  // Adds what stdout brings before `give_up` to buffered_; false at its end
  // or once `give_up` has come.
  bool ReadMore(std::chrono::steady_clock::time_point give_up);

  pid_t pid_ = -1;
  std::optional<int> status_;
  std::string failure_;
  platform::UniqueFd stdout_;
  std::string buffered_;
};

}  // namespace orvik::testing
