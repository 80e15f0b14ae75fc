// AcquisitionStop: ends an acquisition run from the main thread without
// ever blocking it. It takes the run over, asks its thread to stop, and
// checks every `check_interval` whether the thread has ended (up to 31
// polite checks), then asks once more and waits, checking every few
// milliseconds, until the thread has left its body; then the run ends.
// Meanwhile the main loop goes on: the thread's hand-overs (log lines, the
// time record for the clients) are served, so its waits end. Every wait of
// the acquisition thread is bounded and ends early on a stop request, so the
// thread always ends on its own; no thread is ever killed.
//
// Main thread only.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "service/acquisition_run.h"
#include "service/main_loop.h"
#include "service/shared_state.h"

namespace orvik::service {

class AcquisitionStop {
 public:
  // `loop` and `shared` must outlive this object.
  AcquisitionStop(MainLoop& loop, SharedState& shared,
                  std::chrono::milliseconds check_interval = std::chrono::milliseconds(100));

  // Begins to stop `run` (may be null). `ended` runs once the run has
  // ended: at once when there is none, else from a timer of the loop.
  // REQUIRES: no stop under way.
  void Begin(std::unique_ptr<AcquisitionRun> run, std::function<void()> ended);
  bool UnderWay() const { return run_ != nullptr; }
  // Ends the run under way at once, without running its `ended`.
  void Abandon();

 private:
  void Check();
  void Finish();

  SharedState& shared_;
  const std::chrono::milliseconds check_interval_;
  std::unique_ptr<LoopTimer> timer_;
  std::unique_ptr<AcquisitionRun> run_;  // the stop under way
  std::function<void()> ended_;
  int polite_checks_ = 0;  // made so far; past the last, the final wait
};

}  // namespace orvik::service
