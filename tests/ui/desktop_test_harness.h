// DesktopHarness: the desktop program's windows on a real GpsTimeService
// built on test doubles (fake clock, in-memory files, fake serial links, a
// recording event log, a fake time privilege, a server on a free port).
// Error messages, beeps and the end of the program are recorded instead of
// shown, sounded and done. Main thread only.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/settings_file.h"
#include "fakes/fake_serial_link.h"
#include "fakes/fake_system_clock.h"
#include "fakes/fake_text_files.h"
#include "fakes/fake_time_privilege.h"
#include "fakes/service/recording_decoders.h"
#include "service/gps_time_service.h"
#include "ui/qt/desktop_program.h"

namespace orvik::testing {

class DesktopHarness {
 public:
  DesktopHarness() {
    service::ServiceOptions options;
    options.server.port = 0;
    options.server.look_up_host_names = false;
    options.restart_pause = std::chrono::milliseconds(1);
    options.stop_check_interval = std::chrono::milliseconds(1);
    options.summer_switch_pause = std::chrono::milliseconds(1);
    service_ = std::make_unique<service::GpsTimeService>(
        service::ServiceEnvironment{
            .clock = clock_,
            .files = files_,
            .privilege = privilege_,
            .log = log_,
            .working_dir = ".",
            .make_link =
                [this] {
                  ++links_made_;
                  return std::make_unique<FakeSerialLink>();
                },
            .make_refclock_socket = {},
        },
        options);
  }

  ~DesktopHarness() {
    program_.reset();
    service_.reset();
  }

  // Writes "GPS_parm.txt" as the 14 lines of `settings`.
  void SetParameterFile(const core::Settings& settings) {
    files_.Set(core::kSettingsFileName, core::SettingsFileText(settings));
  }

  // Creates the five windows (the start-up sequence runs). `available`
  // answers whether a notification area exists later (unset: as at start).
  ui::DesktopProgram& Start(bool notification_area = false, std::function<bool()> available = {}) {
    if (!available) available = [notification_area] { return notification_area; };
    program_ = std::make_unique<ui::DesktopProgram>(
        *service_,
        ui::DesktopOptions{
            .notification_area = notification_area,
            .notification_area_available = std::move(available),
            .report = [this](const QString& message) { reports_.push_back(message); },
            .withdraw = [this](const QString& message) { withdrawals_.push_back(message); },
            .beep = [this] { ++beeps_; },
            .quit = [this] { ++quits_; },
        });
    return *program_;
  }

  ui::DesktopProgram& program() { return *program_; }
  service::GpsTimeService& service() { return *service_; }
  FakeTextFiles& files() { return files_; }
  FakeSystemClock& clock() { return clock_; }
  RecordingLogWriter& log() { return log_; }

  const std::vector<QString>& reports() const { return reports_; }
  // Messages taken back because their cause is gone.
  const std::vector<QString>& withdrawals() const { return withdrawals_; }
  int beeps() const { return beeps_; }
  int quits() const { return quits_; }
  // Serial links made so far: one per acquisition thread started.
  int links_made() const { return links_made_; }

 private:
  FakeSystemClock clock_;
  FakeTextFiles files_;
  FakeTimePrivilege privilege_;
  RecordingLogWriter log_;
  int links_made_ = 0;
  std::vector<QString> reports_;
  std::vector<QString> withdrawals_;
  int beeps_ = 0;
  int quits_ = 0;
  std::unique_ptr<service::GpsTimeService> service_;
  std::unique_ptr<ui::DesktopProgram> program_;
};

// The child of `root` named `name`; fails the test when there is none.
template <typename T>
T& Child(QObject& root, const char* name) {
  T* child = root.findChild<T*>(QString::fromLatin1(name));
  if (child == nullptr) {
    ADD_FAILURE() << "no child named " << name;
    throw std::runtime_error(std::string("no child named ") + name);
  }
  return *child;
}

// One period of `timer`, run now, whatever its interval.
inline void Tick(QTimer& timer) { QMetaObject::invokeMethod(&timer, "timeout"); }

// Runs pending events until `done` holds or `timeout` passes; returns `done()`.
template <typename Predicate>
bool ProcessEventsUntil(Predicate done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return done();
}

}  // namespace orvik::testing
