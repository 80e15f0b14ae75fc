#include "ui/e2e_desktop_support.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace orvik::testing {

namespace {

std::string Trim(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

ChildProcess ChildProcess::Start(const std::vector<std::string>& argv,
                                 const std::filesystem::path& working_dir,
                                 const std::filesystem::path& log, int keep_fd) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  ChildProcess child;
  child.pid_ = fork();
  if (child.pid_ == 0) {
    // In the child: only async-signal-safe calls until exec.
    if (chdir(working_dir.c_str()) != 0) _exit(126);
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
    }
    if (keep_fd >= 0) fcntl(keep_fd, F_SETFD, 0);
    execvp(args[0], args.data());
    _exit(127);
  }
  return child;
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  if (this != &other) {
    Stop();
    pid_ = other.pid_;
    other.pid_ = -1;
  }
  return *this;
}

ChildProcess::~ChildProcess() { Stop(); }

std::optional<int> ChildProcess::WaitForExit(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

void ChildProcess::Stop() {
  if (pid_ <= 0) return;
  const pid_t pid = pid_;
  kill(pid, SIGTERM);
  if (WaitForExit(std::chrono::seconds(5))) return;
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  pid_ = -1;
}

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

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return true;
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

XSession::XSession(const std::filesystem::path& log_dir, bool with_tray) : log_dir_(log_dir) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return;
  }
  // Xvfb picks a free display number and writes it to the pipe.
  xvfb_ = ChildProcess::Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                               "1024x768x24", "-nolisten", "tcp"},
                              log_dir, log_dir / "xvfb.log", fds[1]);
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
  trayer_ = ChildProcess::Start(
      {"trayer", "--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "100",
       "--heighttype", "pixel", "--height", "32", "--transparent", "false"},
      log_dir_, log_dir_ / "trayer.log");
  if (!WaitUntil([] { return !RunCapture("xdotool search --classname trayer").empty(); },
                 std::chrono::seconds(10))) {
    error_ = "trayer did not come up on " + display_;
    return false;
  }
  return true;
}

XSession::~XSession() {
  trayer_.Stop();
  xvfb_.Stop();
  unsetenv("DISPLAY");
}

bool TcpPortFree(int port) {
  const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_port = htons(static_cast<std::uint16_t>(port));
  address.sin6_addr = in6addr_any;
  const bool free = bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return free;
}

std::string SetsHoldingSysTime(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  if (!status) return "unreadable";
  constexpr unsigned long long kSysTimeBit = 1ULL << 25;
  std::string holding;
  int seen = 0;
  for (std::string line; std::getline(status, line);) {
    for (const char* set : {"CapBnd:", "CapPrm:", "CapEff:"}) {
      if (line.rfind(set, 0) != 0) continue;
      ++seen;
      const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
      if (mask & kSysTimeBit) holding += std::string(set) + " ";
    }
  }
  return seen == 3 ? holding : "unreadable";
}

}  // namespace orvik::testing
