#include "fakes/service/fake_service_environment.h"

#include "fakes/fake_serial_link.h"

namespace orvik::testing {

using namespace std::chrono_literals;

FakeServiceEnvironment::FakeServiceEnvironment(const core::DateTime& now) {
  clock.SetNow(now);
  // The machine's zone agrees with the default offset, so no notice is given.
  clock.SetMachineZoneOffsetMinutes(120);
}

service::ServiceEnvironment FakeServiceEnvironment::Environment() {
  return service::ServiceEnvironment{
      .clock = clock,
      // The loop's timers run in real time, and so do the service's pauses.
      .monotonic = platform::MachineMonotonicClock(),
      .files = files,
      .privilege = privilege,
      .thread_priority = thread_priority,
      .log = log,
      .loop = loop,
      .working_dir = ".",
      .make_link =
          [this] {
            ++links_made;
            return std::make_unique<FakeSerialLink>();
          },
      .make_refclock_socket = {},
  };
}

service::ServiceOptions FakeServiceEnvironment::Options(std::uint16_t port) const {
  service::ServiceOptions options;
  options.server.port = port;
  options.server.look_up_host_names = false;
  options.restart_pause = 10ms;
  options.stop_check_interval = 5ms;
  options.summer_switch_pause = 10ms;
  // Tests run the periods themselves, one tick at a time.
  options.watchdog_interval = options.display_tick_interval = options.communication_check_interval =
      std::chrono::hours(1);
  return options;
}

std::unique_ptr<service::GpsTimeService> FakeServiceEnvironment::MakeService(std::uint16_t port) {
  auto made = std::make_unique<service::GpsTimeService>(Environment(), Options(port));
  subscriptions_.push_back(made->Listen(service::ServiceListener{
      .startup_failed = [this](const std::string& message) { failures.push_back(message); },
      .notice = {},
      .commands_menu_enabled_changed = {},
      .restart_finished = {},
  }));
  return made;
}

}  // namespace orvik::testing
