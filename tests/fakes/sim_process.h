// SimProcess: the real gpstime-sim program as a child process, its stdout on
// a pipe. Like every real program the tests start, it runs without
// CAP_SYS_TIME (setpriv --bounding-set -sys_time execs it, keeping the PID).
// The destructor ends it by its PID (SIGTERM, then SIGKILL after a bounded
// wait), so a failed test cannot leave it behind. Test thread only.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/unique_fd.h"

extern char** environ;

namespace orvik::testing {

class SimProcess {
 public:
  static constexpr const char* kSetpriv = "/usr/bin/setpriv";

  // Starts `program` with `args`; check started().
  SimProcess(std::string program, const std::vector<std::string>& args) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return;
    platform::UniqueFd read_end(ends[0]);
    platform::UniqueFd write_end(ends[1]);
    std::vector<std::string> copies = {"setpriv", "--bounding-set", "-sys_time", "--", program};
    copies.insert(copies.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDOUT_FILENO);
    if (::posix_spawn(&pid_, kSetpriv, &actions, nullptr, argv.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    stdout_ = std::move(read_end);
  }
  ~SimProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 250; ++i) {  // up to 5 s for a clean end (the link removed)
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool started() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // Waits up to `limit` for the process to end; returns its wait status.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit) {
    const auto give_up = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < give_up) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
  }

  // Returns the next line of its stdout (without LF), or nullopt after `limit`.
  std::optional<std::string> ReadLine(std::chrono::milliseconds limit) {
    const auto give_up = std::chrono::steady_clock::now() + limit;
    while (true) {
      if (const std::size_t lf = buffered_.find('\n'); lf != std::string::npos) {
        std::string line = buffered_.substr(0, lf);
        buffered_.erase(0, lf + 1);
        return line;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          give_up - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd entry{stdout_.get(), POLLIN, 0};
      if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[512];
      const ssize_t count = ::read(stdout_.get(), chunk, sizeof chunk);
      if (count <= 0) return std::nullopt;
      buffered_.append(chunk, static_cast<std::size_t>(count));
    }
  }

 private:
  pid_t pid_ = -1;
  platform::UniqueFd stdout_;
  std::string buffered_;
};

}  // namespace orvik::testing
