#include "service/acquisition_stop.h"

#include <thread>

namespace orvik::service {

namespace {
constexpr int kPoliteChecks = 31;
}

void StopAcquisition(std::unique_ptr<comm_GPS_acq>& thread, SharedState& shared,
                     const std::function<void()>& dispatch_events,
                     std::chrono::milliseconds check_interval) {
  if (shared.lifecycle.AcquisitionRunning && thread) {
    thread->RequestStop();
    std::this_thread::sleep_for(check_interval);
    for (int i = 0; i < kPoliteChecks && shared.lifecycle.AcquisitionRunning; ++i) {
      dispatch_events();
      std::this_thread::sleep_for(check_interval);
    }
  }
  if (thread) {
    // The thread ends on its own; go on serving its hand-overs until it has.
    thread->RequestStop();
    while (!thread->Finished()) {
      dispatch_events();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    thread.reset();
  }
  shared.lifecycle.AcquisitionRunning = false;
  shared.lifecycle.PortActive = false;
  dispatch_events();
}

}  // namespace orvik::service
