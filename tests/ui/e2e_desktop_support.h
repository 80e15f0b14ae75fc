// Support for tests that run the real desktop program: child processes that
// are always ended (by PID), a private X display with a notification area,
// and queries of its windows through the X command-line tools. Every wait is
// bounded. One thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvik::testing {

// A started program. The destructor ends it (SIGTERM, then SIGKILL) if it
// still runs and reaps it.
class ChildProcess {
 public:
  // Starts `argv` in `working_dir` with stdout and stderr appended to `log`.
  // Returns a process whose pid() is -1 when the start failed.
  static ChildProcess Start(const std::vector<std::string>& argv,
                            const std::filesystem::path& working_dir,
                            const std::filesystem::path& log, int keep_fd = -1);
  ChildProcess() = default;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ~ChildProcess();

  pid_t pid() const { return pid_; }
  // Waits up to `timeout` for the end; returns the wait status, or nullopt
  // when it still runs.
  std::optional<int> WaitForExit(std::chrono::milliseconds timeout);
  // Ends the process if it runs (SIGTERM, then SIGKILL after a grace time).
  void Stop();

 private:
  pid_t pid_ = -1;
};

// Runs a short command line through the shell (bounded by `timeout`),
// returns its standard output.
std::string RunCapture(const std::string& command, int timeout_seconds = 10);

// Polls `done` every 100 ms until it holds or `timeout` passes.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// One top-level window of a program, as the X tools report it.
struct XWindow {
  std::string id;
  std::string name;
  bool viewable = false;
  int width = 0;
  int height = 0;
};

// Every window whose class is `window_class`, on the display in $DISPLAY.
std::vector<XWindow> WindowsOfClass(const std::string& window_class);

// Xvfb on a free display number (it picks one itself) plus trayer, the
// notification area, now or later. Sets $DISPLAY for this process while it
// lives.
class XSession {
 public:
  explicit XSession(const std::filesystem::path& log_dir, bool with_tray = true);
  ~XSession();

  // Starts the notification area; false (and error()) when it did not come up.
  bool StartTray();

  bool ok() const { return ok_; }
  const std::string& display() const { return display_; }
  const std::string& error() const { return error_; }

 private:
  ChildProcess xvfb_;
  ChildProcess trayer_;
  std::filesystem::path log_dir_;
  std::string display_;
  std::string error_;
  bool ok_ = false;
};

// Whether a listener could bind TCP `port` on every local address now.
bool TcpPortFree(int port);

// Bit 25 (CAP_SYS_TIME) of CapBnd, CapPrm and CapEff of `pid`: returns the
// names of the sets that hold it ("" when none), or "unreadable".
std::string SetsHoldingSysTime(pid_t pid);

}  // namespace orvik::testing
