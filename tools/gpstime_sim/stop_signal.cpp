#include "gpstime_sim/stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

namespace orvik::tools {
namespace {

// The write end of the self-pipe, for the signal handler: the one piece of
// process-wide state a handler can reach. -1 while no StopSignal is installed.
volatile std::sig_atomic_t wake_fd = -1;

extern "C" void OnStopSignal(int) {
  const int saved_errno = errno;
  const char byte = 1;
  // Non-blocking: a full pipe already holds a wake-up.
  [[maybe_unused]] const ssize_t written = ::write(wake_fd, &byte, 1);
  errno = saved_errno;
}

void SetHandler(int signal_number, void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal_number, &action, nullptr);
}

}  // namespace

core::Result<StopSignal> StopSignal::Install() {
  if (wake_fd != -1) {
    return core::Status::Error(core::StatusCode::kInvalidArgument, "stop signal already installed");
  }
  int ends[2];
  if (::pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
    return core::Status::Error(core::StatusCode::kIoError,
                               std::string("cannot create a pipe: ") + std::strerror(errno));
  }
  StopSignal stop{platform::UniqueFd(ends[0]), platform::UniqueFd(ends[1])};
  wake_fd = ends[1];
  stop.installed_ = true;
  SetHandler(SIGINT, OnStopSignal);
  SetHandler(SIGTERM, OnStopSignal);
  SetHandler(SIGPIPE, SIG_IGN);
  return stop;
}

StopSignal::StopSignal(platform::UniqueFd read_end, platform::UniqueFd write_end)
    : read_end_(std::move(read_end)), write_end_(std::move(write_end)) {}

StopSignal::StopSignal(StopSignal&& other) noexcept
    : read_end_(std::move(other.read_end_)),
      write_end_(std::move(other.write_end_)),
      installed_(std::exchange(other.installed_, false)) {}

StopSignal::~StopSignal() {
  if (!installed_) return;
  SetHandler(SIGINT, SIG_DFL);
  SetHandler(SIGTERM, SIG_DFL);
  SetHandler(SIGPIPE, SIG_DFL);
  wake_fd = -1;
}

bool StopSignal::requested() const {
  pollfd entry{read_end_.get(), POLLIN, 0};
  return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
}

}  // namespace orvik::tools
