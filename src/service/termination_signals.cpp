#include "service/termination_signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace orvik::service {

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

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  const sigset_t set = TerminationSet();
  if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
  signal_fd_.reset(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
  if (!signal_fd_.valid()) {
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    return;
  }
  notifier_ = std::make_unique<QSocketNotifier>(signal_fd_.get(), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::onReadable);
}

TerminationSignals::~TerminationSignals() = default;

void TerminationSignals::onReadable() {
  signalfd_siginfo info{};
  while (::read(signal_fd_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    emit received(static_cast<int>(info.ssi_signo));
  }
}

}  // namespace orvik::service
