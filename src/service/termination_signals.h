// TerminationSignals: turns SIGTERM, SIGINT, SIGHUP and SIGQUIT into a Qt
// signal in the main thread, so the program ends in order (stop the
// acquisition, write "Stop", close the clients) instead of dying in the
// middle of a write. A server has no terminal to reload from, so SIGHUP
// (its session ended) and SIGQUIT end it the same way as SIGTERM.
//
// The four signals are blocked for the whole process and read from a
// signalfd watched by the event loop. REQUIRES: PrepareProcessSignals() ran
// in the main thread before any other thread was started (threads inherit
// the mask), or this object is constructed that early itself.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/unique_fd.h"

namespace orvik::service {

// Readies a program's signals before QCoreApplication or any thread exists:
// blocks the termination signals above in the calling thread (every later
// thread inherits that, so only TerminationSignals receives them), and
// ignores SIGPIPE (a closed stderr or a vanished client shows as a failed
// write instead of killing the server) and SIGUSR1 (no meaning here; its
// default action would end the program without an orderly stop).
void PrepareProcessSignals();

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

  // False when the signals could not be routed (they then keep their
  // default action: the process ends at once).
  bool ok() const { return notifier_ != nullptr; }

 signals:
  // One of the termination signals arrived; `signal_number` says which.
  void received(int signal_number);

 private:
  void onReadable();

  platform::UniqueFd signal_fd_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orvik::service
