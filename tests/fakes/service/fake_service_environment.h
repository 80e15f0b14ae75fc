// FakeServiceEnvironment: what a GpsTimeService needs of the machine, as
// test doubles (fake clock, in-memory files, fake serial links, a fake time
// privilege and thread priority, a recording event log) with a Qt main loop,
// and services made on them that wait little and serve on a free port. Main
// thread only; REQUIRES: a QCoreApplication exists.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/date_time.h"
#include "fakes/fake_system_clock.h"
#include "fakes/fake_text_files.h"
#include "fakes/fake_thread_priority.h"
#include "fakes/fake_time_privilege.h"
#include "fakes/service/recording_decoders.h"
#include "service/gps_time_service.h"
#include "service/qt/qt_main_loop.h"

namespace orvik::testing {

struct FakeServiceEnvironment {
  // The PC clock starts at `now`.
  explicit FakeServiceEnvironment(const core::DateTime& now);

  // A service on these doubles: the listener on `port` (0: a free one)
  // without name look-ups, 10 ms pauses for the restart and the summer
  // switch, 5 ms between stop checks, and periods so long that only the
  // tests' own ticks run. Its start-up errors go to `failures`.
  std::unique_ptr<service::GpsTimeService> MakeService(std::uint16_t port = 0);
  // What MakeService builds its service on, to change before building one.
  service::ServiceEnvironment Environment();
  service::ServiceOptions Options(std::uint16_t port = 0) const;

  FakeSystemClock clock;
  FakeTextFiles files;
  FakeTimePrivilege privilege;
  FakeThreadPriority thread_priority;
  RecordingLogWriter log;
  service::QtMainLoop loop;
  int links_made = 0;  // one per acquisition thread started
  std::vector<std::string> failures;

 private:
  std::vector<service::ServiceEvents::Subscription> subscriptions_;
};

}  // namespace orvik::testing
