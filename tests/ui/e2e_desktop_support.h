// Support for tests that run the real desktop program: a private X display
// with a notification area, and queries of its windows through the X
// command-line tools. Every program is started through the tests' launcher;
// every wait is bounded. One thread.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace orvik::testing {

// Runs a short command line through the shell (bounded by `timeout`),
// returns its standard output.
std::string RunCapture(const std::string& command, int timeout_seconds = 10);

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
  // Starts `argv` in the log folder with its output in `log`.
  std::unique_ptr<ChildProcess> Start(std::vector<std::string> argv, const std::string& log,
                                      int inherited_fd = -1) const;

  std::filesystem::path log_dir_;
  std::unique_ptr<ChildProcess> xvfb_;
  std::unique_ptr<ChildProcess> trayer_;
  std::string display_;
  std::string error_;
  bool ok_ = false;
};

}  // namespace orvik::testing
