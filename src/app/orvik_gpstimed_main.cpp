// orvik-gpstimed: the time server without windows, for servers and services.
// No arguments; works in its current directory ("GPS_parm.txt", "COM<n>").
#include <QCoreApplication>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "core/port_settings.h"
#include "core/settings.h"
#include "core/settings_file.h"
#include "platform/posix_serial_link.h"
#include "platform/posix_system_clock.h"
#include "platform/posix_text_files.h"
#include "service/acquisition_stop.h"
#include "service/acquisition_thread.h"
#include "service/file_event_log.h"
#include "service/frame_trace.h"
#include "service/qt_main_thread_bridge.h"
#include "service/shared_state.h"
#include "service/termination_signals.h"

int main(int argc, char* argv[]) {
  using namespace orvik;
  QCoreApplication app(argc, argv);
  // Before any thread exists, so that every thread leaves the signals to it.
  service::TerminationSignals termination;

  const std::filesystem::path working_dir = ".";
  platform::PosixSystemClock clock;
  platform::PosixTextFiles files(working_dir);
  core::Settings settings;
  const core::Status loaded = core::LoadSettings(settings, files, clock.Now(), {});
  if (!loaded.ok()) {
    std::fprintf(stderr, "orvik-gpstimed: %s\n", loaded.message().c_str());
    return 1;
  }

  service::SharedState shared;
  service::FrameTraceDecoders decoders(stdout);
  service::FileEventLog log(working_dir);
  service::QtMainThreadBridge bridge(&app);

  shared.lifecycle.AcquisitionRunning = true;
  shared.lifecycle.PortActive = true;
  auto acquisition = std::make_unique<service::comm_GPS_acq>(
      service::AcquisitionContext{shared, decoders, log, bridge}, settings,
      core::DefaultTimeoutTable(), std::make_unique<platform::PosixSerialLink>());
  std::fprintf(stderr, "orvik-gpstimed: reading COM%u, protocol %d, %u baud\n",
               core::ComNumberFromPortNumber(settings.PortNumber), settings.Protocol,
               core::BaudForSpeedCode(core::SpeedCodeForProtocol(settings.Protocol)));

  QObject::connect(&termination, &service::TerminationSignals::received, &app,
                   [&](int) { app.quit(); });
  const int status = app.exec();
  service::StopAcquisition(acquisition, shared, [] { QCoreApplication::processEvents(); });
  std::fprintf(stderr, "orvik-gpstimed: stopped\n");
  return status;
}
