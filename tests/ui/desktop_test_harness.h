// DesktopHarness: the desktop program's windows on a real GpsTimeService
// built on test doubles (FakeServiceEnvironment: fake clock, in-memory files,
// fake serial links, a recording event log, a fake time privilege, a server
// on a free port) and a fake list of serial ports.
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
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/settings.h"
#include "core/settings_file.h"
#include "fakes/fake_com_port_list.h"
#include "fakes/service/fake_service_environment.h"
#include "service/gps_time_service.h"
#include "support/qt_event_wait.h"
#include "ui/qt/desktop_program.h"

namespace orvik::testing {

class DesktopHarness {
 public:
  DesktopHarness() : service_(env_.MakeService()) {}

  ~DesktopHarness() {
    program_.reset();
    service_.reset();
  }

  // Writes "GPS_parm.txt" as the 14 lines of `settings`.
  void SetParameterFile(const core::Settings& settings) {
    env_.files.Set(core::kSettingsFileName, core::SettingsFileText(settings));
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
            .ports = &ports_,
        });
    return *program_;
  }

  // Restarts the acquisition and runs the loop until the restart has
  // ended; returns its result (an error when it did not end in time).
  core::Status Restart() {
    std::optional<core::Status> result;
    service_->RequestRestart([&result](const core::Status& started) { result = started; });
    if (!PumpEventsUntil([&result] { return result.has_value(); })) {
      return core::Status::Error(core::StatusCode::kIoError, "the restart did not end");
    }
    return *result;
  }
  // Runs the loop until no restart, stop or switch is under way or waiting.
  bool UntilIdle() {
    return PumpEventsUntil([this] { return !service_->LifecycleStepUnderWay(); });
  }

  ui::DesktopProgram& program() { return *program_; }
  service::GpsTimeService& service() { return *service_; }
  FakeTextFiles& files() { return env_.files; }
  FakeSystemClock& clock() { return env_.clock; }
  RecordingLogWriter& log() { return env_.log; }
  // The serial ports the setup dialog lists.
  FakeComPortList& ports() { return ports_; }

  const std::vector<QString>& reports() const { return reports_; }
  // Messages taken back because their cause is gone.
  const std::vector<QString>& withdrawals() const { return withdrawals_; }
  int beeps() const { return beeps_; }
  int quits() const { return quits_; }
  // Serial links made so far: one per acquisition thread started.
  int links_made() const { return env_.links_made; }

 private:
  FakeServiceEnvironment env_{core::DateTime{.year = 2026, .month = 1, .day = 1}};
  std::vector<QString> reports_;
  std::vector<QString> withdrawals_;
  int beeps_ = 0;
  int quits_ = 0;
  FakeComPortList ports_;
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

}  // namespace orvik::testing
