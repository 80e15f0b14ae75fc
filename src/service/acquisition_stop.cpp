#include "service/acquisition_stop.h"

#include <utility>

namespace orvik::service {

namespace {
constexpr int kPoliteChecks = 31;
// How often the final wait looks whether the thread has left its body.
constexpr std::chrono::milliseconds kFinishedCheckInterval{5};
}  // namespace

AcquisitionStop::AcquisitionStop(MainLoop& loop, SharedState& shared,
                                 std::chrono::milliseconds check_interval)
    : shared_(shared),
      check_interval_(check_interval),
      timer_(loop.MakeTimer([this] { Check(); })) {}

void AcquisitionStop::Begin(std::unique_ptr<comm_GPS_acq>& thread, std::function<void()> ended) {
  ended_ = std::move(ended);
  if (!thread) {
    Finish();
    return;
  }
  thread_ = &thread;
  polite_checks_ = 0;
  thread->RequestStop();
  if (!shared_.lifecycle.AcquisitionRunning) polite_checks_ = kPoliteChecks + 1;
  timer_->Start(polite_checks_ > kPoliteChecks ? kFinishedCheckInterval : check_interval_);
}

void AcquisitionStop::Abandon() {
  timer_->Stop();
  thread_ = nullptr;
  ended_ = nullptr;
}

void AcquisitionStop::Check() {
  comm_GPS_acq& thread = **thread_;
  if (polite_checks_ <= kPoliteChecks) {
    if (shared_.lifecycle.AcquisitionRunning && ++polite_checks_ <= kPoliteChecks) return;
    // Ended, or the polite checks are spent: ask once more and wait for the
    // thread to leave its body.
    polite_checks_ = kPoliteChecks + 1;
    thread.RequestStop();
    timer_->Start(kFinishedCheckInterval);
  }
  if (!thread.Finished()) return;
  timer_->Stop();
  thread_->reset();
  thread_ = nullptr;
  Finish();
}

void AcquisitionStop::Finish() {
  shared_.lifecycle.AcquisitionRunning = false;
  shared_.lifecycle.PortActive = false;
  if (const std::function<void()> ended = std::exchange(ended_, nullptr)) ended();
}

}  // namespace orvik::service
