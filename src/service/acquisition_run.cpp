#include "service/acquisition_run.h"

#include <functional>
#include <string>
#include <utility>

namespace orvik::service {

AcquisitionRun::AcquisitionRun(AcquisitionRunContext context, const core::Settings& settings,
                               const core::TimeoutTable& timeouts,
                               std::unique_ptr<platform::SerialLink> link,
                               std::unique_ptr<platform::RefclockSocket> refclock_socket,
                               AcquisitionOptions options)
    : shared_(context.shared),
      time_keeper_(context.time_keeper),
      refclock_socket_(std::move(refclock_socket)),
      bridge_(std::bind_front(&MainLoop::Post, &context.loop)) {
  if (refclock_socket_) {
    chrony_feed_ = std::make_unique<ChronyFeed>(settings, context.log, *refclock_socket_,
                                                [&shared = shared_](const std::string& problem) {
                                                  shared.clock_keeping.SetProblem(problem);
                                                });
  }
  time_keeper_.UseChronyFeed(chrony_feed_.get());
  shared_.lifecycle.AcquisitionRunning = true;
  shared_.lifecycle.PortActive = true;
  thread_ = std::make_unique<comm_GPS_acq>(
      AcquisitionContext{shared_, time_keeper_, context.log, bridge_, context.monotonic}, settings,
      timeouts, std::move(link), std::move(options));
}

AcquisitionRun::~AcquisitionRun() {
  // Nothing serves the loop here: the hand-over the thread may wait in is
  // released, and the thread's waits end on its stop request.
  bridge_.Close();
  thread_.reset();  // asks it to stop and joins it
  time_keeper_.UseChronyFeed(nullptr);
  shared_.lifecycle.AcquisitionRunning = false;
  shared_.lifecycle.PortActive = false;
}

}  // namespace orvik::service
