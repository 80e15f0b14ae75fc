#include "fakes/service/fake_service_environment.h"

#include <QObject>
#include <QString>

#include "fakes/fake_serial_link.h"

namespace orvik::testing {

using namespace std::chrono_literals;

FakeServiceEnvironment::FakeServiceEnvironment(const core::DateTime& now) {
  clock.SetNow(now);
  // The machine's zone agrees with the default offset, so no notice is given.
  clock.SetMachineZoneOffsetMinutes(120);
}

std::unique_ptr<service::GpsTimeService> FakeServiceEnvironment::MakeService(std::uint16_t port) {
  service::ServiceEnvironment environment{clock, files, privilege, log, ".", [this] {
                                            ++links_made;
                                            return std::make_unique<FakeSerialLink>();
                                          },
                                          {}};
  service::ServiceOptions options;
  options.server.port = port;
  options.server.look_up_host_names = false;
  options.restart_pause = 10ms;
  options.stop_check_interval = 5ms;
  options.summer_switch_pause = 10ms;
  auto made = std::make_unique<service::GpsTimeService>(environment, options);
  QObject::connect(made.get(), &service::GpsTimeService::startupFailed,
                   [this](const QString& message) { failures.push_back(message.toStdString()); });
  return made;
}

}  // namespace orvik::testing
