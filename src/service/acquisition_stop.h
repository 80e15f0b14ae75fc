// AcquisitionStop: ends the current acquisition thread from the main thread
// without ever blocking it. After the stop request it checks every
// `check_interval` whether the thread has ended (up to 31 polite checks),
// then asks once more and waits, checking every few milliseconds, until the
// thread has left its body. Meanwhile the main loop goes on: the thread's
// hand-overs (log lines, the time record for the clients) are served, so
// its waits end. Every wait of the acquisition thread is bounded and ends
// early on a stop request, so the thread always ends on its own; no thread
// is ever killed.
//
// Main thread only.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "service/acquisition_thread.h"
#include "service/main_loop.h"
#include "service/shared_state.h"

namespace orvik::service {

class AcquisitionStop {
 public:
  // `loop` and `shared` must outlive this object.
  AcquisitionStop(MainLoop& loop, SharedState& shared,
                  std::chrono::milliseconds check_interval = std::chrono::milliseconds(100));

  // Begins to stop `thread` (may be null; it must stay where it is until the
  // stop has ended). `ended` runs once the thread has ended and `thread` is
  // null and the flags are cleared: at once when there is no thread, else
  // from a timer of the loop. REQUIRES: no stop under way.
  void Begin(std::unique_ptr<comm_GPS_acq>& thread, std::function<void()> ended);
  bool UnderWay() const { return thread_ != nullptr; }
  // Drops a stop under way without running its `ended`; the caller ends the
  // thread itself.
  void Abandon();

 private:
  void Check();
  void Finish();

  SharedState& shared_;
  const std::chrono::milliseconds check_interval_;
  std::unique_ptr<LoopTimer> timer_;
  std::unique_ptr<comm_GPS_acq>* thread_ = nullptr;  // the stop under way
  std::function<void()> ended_;
  int polite_checks_ = 0;  // made so far; past the last, the final wait
};

}  // namespace orvik::service
