#include "platform/posix/posix_termination_requests.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <utility>

namespace orvik::platform {

namespace {
sigset_t TerminationSet() {
  sigset_t set;
  sigemptyset(&set);
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) sigaddset(&set, signal_number);
  return set;
}
}  // namespace

void PrepareProcessSignals() {
  const sigset_t set = TerminationSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
  ::signal(SIGUSR1, SIG_IGN);
}

PosixTerminationRequests::PosixTerminationRequests() {
  const sigset_t set = TerminationSet();
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
  signal_fd_.reset(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  wake_fd_.reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (!ok()) {
    signal_fd_.reset();
    wake_fd_.reset();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }
}

PosixTerminationRequests::~PosixTerminationRequests() {
  if (watcher_.joinable()) {
    const std::uint64_t one = 1;
    (void)::write(wake_fd_.get(), &one, sizeof one);
    watcher_.join();
  }
}

void PosixTerminationRequests::Listen(Handler handler) {
  if (!ok() || watcher_.joinable()) return;
  watcher_ = std::thread([this, handler = std::move(handler)] { Watch(handler); });
}

void PosixTerminationRequests::Watch(const Handler& handler) {
  while (true) {
    pollfd watched[2] = {{signal_fd_.get(), POLLIN, 0}, {wake_fd_.get(), POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    signalfd_siginfo info{};
    while (::read(signal_fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      handler(static_cast<int>(info.ssi_signo));
    }
  }
}

}  // namespace orvik::platform
