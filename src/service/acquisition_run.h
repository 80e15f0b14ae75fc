// AcquisitionRun: one run of the acquisition, from the start-up sequence to
// its stop: the acquisition thread, its way into the main thread and, when
// the settings name a chrony socket, the feed the run's times go to with
// that socket. They are made together and ended together, in this order:
// the hand-over closes (the thread may wait in it, and nothing serves the
// loop while a run ends), the thread is asked to stop (which closes its
// port) and joined, then the feed and its socket go.
//
// The lifecycle flags follow the run: AcquisitionRunning and PortActive are
// set when it is made and cleared when it ends (the thread itself clears
// them as it leaves its body, which is what a polite stop watches for).
//
// Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "core/port_settings.h"
#include "core/settings.h"
#include "platform/monotonic_clock.h"
#include "platform/refclock_socket.h"
#include "platform/serial_link.h"
#include "service/acquisition_thread.h"
#include "service/chrony_feed.h"
#include "service/event_log_writer.h"
#include "service/hand_over_bridge.h"
#include "service/main_loop.h"
#include "service/receiver_time_keeper.h"
#include "service/shared_state.h"

namespace orvik::service {

// What every run works with; all must outlive the run.
struct AcquisitionRunContext {
  MainLoop& loop;
  SharedState& shared;
  // Decodes the run's messages; hands its times to the run's feed.
  ReceiverTimeKeeper& time_keeper;
  EventLogWriter& log;
  const platform::MonotonicClock& monotonic;
};

class AcquisitionRun {
 public:
  // Starts the run with `settings` and `timeouts` on `link`; with a
  // `refclock_socket`, the times go to chrony through it (the settings then
  // name its path).
  AcquisitionRun(AcquisitionRunContext context, const core::Settings& settings,
                 const core::TimeoutTable& timeouts, std::unique_ptr<platform::SerialLink> link,
                 std::unique_ptr<platform::RefclockSocket> refclock_socket,
                 AcquisitionOptions options);
  // Ends the run at once, in the order above.
  ~AcquisitionRun();

  AcquisitionRun(const AcquisitionRun&) = delete;
  AcquisitionRun& operator=(const AcquisitionRun&) = delete;

  // Asks the thread to end: its waits end at once, its port closes.
  void RequestStop() { thread_->RequestStop(); }
  // True once the thread has left its body.
  bool Finished() const { return thread_->Finished(); }

 private:
  SharedState& shared_;
  ReceiverTimeKeeper& time_keeper_;
  std::unique_ptr<platform::RefclockSocket> refclock_socket_;
  std::unique_ptr<ChronyFeed> chrony_feed_;
  HandOverBridge bridge_;
  std::unique_ptr<comm_GPS_acq> thread_;
};

}  // namespace orvik::service
