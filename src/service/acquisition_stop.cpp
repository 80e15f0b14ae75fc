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

void AcquisitionStop::Begin(std::unique_ptr<AcquisitionRun> run, std::function<void()> ended) {
  ended_ = std::move(ended);
  if (!run) {
    Finish();
    return;
  }
  run_ = std::move(run);
  polite_checks_ = 0;
  // Closing the port with the request ends a read the thread may be blocked
  // in, and every later wait of the thread ends at once: a thread not told
  // to stop first would run its loop without waiting.
  run_->RequestStop();
  if (!shared_.lifecycle.AcquisitionRunning) polite_checks_ = kPoliteChecks + 1;
  timer_->Start(polite_checks_ > kPoliteChecks ? kFinishedCheckInterval : check_interval_);
}

void AcquisitionStop::Abandon() {
  timer_->Stop();
  ended_ = nullptr;
  run_.reset();
}

void AcquisitionStop::Check() {
  if (polite_checks_ <= kPoliteChecks) {
    if (shared_.lifecycle.AcquisitionRunning && ++polite_checks_ <= kPoliteChecks) return;
    // Ended, or the polite checks are spent: ask once more and wait for the
    // thread to leave its body.
    polite_checks_ = kPoliteChecks + 1;
    run_->RequestStop();
    timer_->Start(kFinishedCheckInterval);
  }
  if (!run_->Finished()) return;
  timer_->Stop();
  run_.reset();
  Finish();
}

void AcquisitionStop::Finish() {
  if (const std::function<void()> ended = std::exchange(ended_, nullptr)) ended();
}

}  // namespace orvik::service
