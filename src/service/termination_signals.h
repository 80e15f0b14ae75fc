// TerminationSignals: turns SIGTERM and SIGINT into a Qt signal in the main
// thread, so the program can end in order (stop the acquisition, close the
// clients) instead of dying in the middle of a write.
//
// The two signals are blocked for the whole process and read from a
// signalfd watched by the event loop. REQUIRES: constructed in the main
// thread before any other thread is started (threads inherit the mask).
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

#include "platform/unique_fd.h"

namespace orvik::service {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  explicit TerminationSignals(QObject* parent = nullptr);
  ~TerminationSignals() override;

  // False when the signals could not be routed (they then keep their
  // default action: the process ends at once).
  bool ok() const { return notifier_ != nullptr; }

 signals:
  // SIGTERM or SIGINT arrived; `signal_number` says which.
  void received(int signal_number);

 private:
  void onReadable();

  platform::UniqueFd signal_fd_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace orvik::service
