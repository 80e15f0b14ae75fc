// ServiceSettings: the settings of the time service running beside the
// desktop program (its "GPS_parm.txt" in the service's data folder), as the
// setup dialog edits them there: read when the dialog shows them, saved
// when it applies edits that change the file, and the service restarted so
// that it reads them. The user may lack the right to either: the save then
// fails with its message (the dialog keeps the edits), and a refused restart
// leaves the saved file for the service's next start and says so.
// Main thread only.
#pragma once

#include <string>

#include "core/date_time.h"
#include "core/settings.h"
#include "core/status.h"
#include "core/text_files.h"
#include "platform/service_control.h"

namespace orvik::ui {

// Appended to a save that failed: the service's folder is the administrators'.
inline constexpr const char* kServiceSettingsRights =
    " (changing the service's settings needs administrator rights)";

struct ServiceApplyResult {
  core::Status saved;        // the save's result; a failure keeps the old file
  std::string restart_note;  // not empty: the service was not restarted, and why
};

class ServiceSettings {
 public:
  // `files`: the service's data folder.
  ServiceSettings(core::TextFiles& files, platform::ServiceControl& service)
      : files_(files), service_(service) {}

  // Reads the service's file (the defaults where it has none); the read's
  // result. `pc_now` dates the summer switch days.
  core::Status Load(const core::DateTime& pc_now);
  const core::Settings& settings() const { return settings_; }

  // Saves the editable fields of `edited` over the settings read and
  // restarts the service; edits that leave the file as it is do neither.
  ServiceApplyResult Apply(const core::Settings& edited);

 private:
  core::TextFiles& files_;
  platform::ServiceControl& service_;
  core::Settings settings_;
};

}  // namespace orvik::ui
