#include "ui/e2e_desktop_support.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "support/wait_until.h"

namespace orvik::testing {

namespace {

std::string Trim(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::string RunCapture(const std::string& command, int timeout_seconds) {
  const std::string line =
      "timeout " + std::to_string(timeout_seconds) + " " + command + " 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(line.c_str(), "r"), pclose);
  if (!pipe) return {};
  std::string output;
  std::array<char, 512> buffer{};
  while (fgets(buffer.data(), static_cast<int>(buffer.size()), pipe.get()) != nullptr) {
    output += buffer.data();
  }
  return output;
}

std::vector<XWindow> WindowsOfClass(const std::string& window_class) {
  std::vector<XWindow> windows;
  std::istringstream ids(RunCapture("xdotool search --class " + window_class));
  for (std::string id; std::getline(ids, id);) {
    if (id.empty()) continue;
    XWindow window;
    window.id = id;
    window.name = Trim(RunCapture("xdotool getwindowname " + id));
    std::istringstream info(RunCapture("xwininfo -id " + id));
    for (std::string line; std::getline(info, line);) {
      if (line.find("Map State: IsViewable") != std::string::npos) window.viewable = true;
      if (const auto at = line.find("  Width: "); at != std::string::npos) {
        window.width = std::atoi(line.c_str() + at + 9);
      }
      if (const auto at = line.find("  Height: "); at != std::string::npos) {
        window.height = std::atoi(line.c_str() + at + 10);
      }
    }
    windows.push_back(window);
  }
  return windows;
}

std::unique_ptr<ChildProcess> XSession::Start(std::vector<std::string> argv, const std::string& log,
                                              int inherited_fd) const {
  ProcessOptions options;
  options.argv = std::move(argv);
  options.working_dir = log_dir_;
  options.stdout_file = options.stderr_file = log_dir_ / log;
  options.inherited_fd = inherited_fd;
  return std::make_unique<ChildProcess>(options);
}

XSession::XSession(const std::filesystem::path& log_dir, bool with_tray) : log_dir_(log_dir) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return;
  }
  // Xvfb picks a free display number and writes it to the pipe.
  xvfb_ = Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x768x24",
                 "-nolisten", "tcp"},
                "xvfb.log", fds[1]);
  close(fds[1]);
  std::string number;
  pollfd readable{fds[0], POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (number.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    if (poll(&readable, 1, 200) > 0) {
      char c = 0;
      if (read(fds[0], &c, 1) != 1) break;
      number += c;
    }
  }
  close(fds[0]);
  number = Trim(number);
  if (number.empty()) {
    error_ = "Xvfb did not report a display";
    return;
  }
  display_ = ":" + number;
  setenv("DISPLAY", display_.c_str(), 1);
  ok_ = !with_tray || StartTray();
}

bool XSession::StartTray() {
  trayer_ =
      Start({"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width",
             "100", "--heighttype", "pixel", "--height", "32", "--transparent", "false"},
            "trayer.log");
  if (!WaitUntil([] { return !RunCapture("xdotool search --classname trayer").empty(); },
                 std::chrono::seconds(10), std::chrono::milliseconds(100))) {
    error_ = "trayer did not come up on " + display_;
    return false;
  }
  return true;
}

XSession::~XSession() {
  trayer_.reset();
  xvfb_.reset();
  unsetenv("DISPLAY");
}

}  // namespace orvik::testing
