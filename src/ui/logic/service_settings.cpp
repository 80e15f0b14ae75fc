#include "ui/logic/service_settings.h"

#include "core/settings_fields.h"
#include "core/settings_file.h"

namespace orvik::ui {

core::Status ServiceSettings::Load(const core::DateTime& pc_now) {
  core::Settings loaded;
  core::Status read = core::LoadSettings(loaded, files_, pc_now, [](bool) {});
  settings_ = loaded;
  return read;
}

ServiceApplyResult ServiceSettings::Apply(const core::Settings& edited) {
  core::Settings next = settings_;
  core::CopyEditableSettings(edited, next);
  // Moving the focus away applies as well: unchanged settings cost the
  // service no restart.
  if (core::SettingsFileText(next) == core::SettingsFileText(settings_)) return {};
  if (core::Status saved = core::SaveSettings(next, files_); !saved.ok()) {
    return ServiceApplyResult{
        .saved = core::Status::Error(saved.code(), saved.message() + kServiceSettingsRights),
        .restart_note = {}};
  }
  settings_ = next;
  ServiceApplyResult result;
  if (const core::Status restarted = service_.Restart(); !restarted.ok()) {
    result.restart_note = restarted.message() +
                          ": the settings are saved and take effect when the service next starts";
  }
  return result;
}

}  // namespace orvik::ui
