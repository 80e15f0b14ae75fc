// SetupForm: what the setup dialog decides, apart from its controls. The
// dialog has no OK or Cancel: becoming the program's focused window in place
// of another of its windows shows the current settings, and losing the focus
// to another of its windows, or being closed while focused, applies what it
// shows: the edits go to the service, which saves "GPS_parm.txt" and
// restarts the acquisition. Switching to another application does neither.
//
// A save that fails is told to the operator and its edits are shown again
// next time (the settings file's text checks run at the restart's load, whose
// error reaches the operator through the status window); once a save
// succeeds, the failure told is taken back. The apply of a focus change or a
// close is queued to run from the event loop, outside the toolkit's focus
// handling; its restart runs on while the event loop goes on, so the
// operator may come back and type meanwhile: those edits are kept when the
// restart ends in the dialog, and applied in turn when the dialog was left
// again.
// Main thread only.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings.h"
#include "core/status.h"

namespace orvik::ui {

// The protocol list's items, by Settings::Protocol, and its text before a
// protocol is shown.
inline constexpr std::array<std::string_view, 4> kProtocolItems = {
    "NMEA_0183", "Motorola M12", "Motorola Oncore", "NMEA_0183 9600 Bod"};
inline constexpr std::string_view kProtocolPrompt = "Choose the Protocol";

// The protocol of the list's text: its item's index, or -1 when the text
// (typed into the list) is no item; the settings file then writes NMEA_0183.
int ProtocolItemIndex(std::string_view text);

// The dialog's controls, as the form sees them.
class SetupView {
 public:
  virtual ~SetupView() = default;
  // The controls' contents over `base` (the settings they do not edit).
  virtual core::Settings Edits(const core::Settings& base) const = 0;
  virtual void Show(const core::Settings& settings) = 0;
  // Calls SetupForm::RunQueuedApply once from the event loop.
  virtual void QueueApply() = 0;
  // The dialog is the program's window that had the focus last.
  virtual bool Focused() const = 0;
};

struct SetupFormHooks {
  std::function<const core::Settings&()> settings;  // the service's settings
  // Saves the edits and asks for a restart; returns the save's result.
  // After a successful save, `restarted` runs once the restart has ended.
  std::function<core::Status(const core::Settings& edited, std::function<void()> restarted)>
      apply_settings;
  std::function<void(const std::string&)> report;    // shows a failed save to the operator
  std::function<void(const std::string&)> withdraw;  // takes it back once a save succeeds
  std::function<void()> after_apply;                 // runs after every apply (its restart ended)
};

class SetupForm {
 public:
  SetupForm(SetupView& view, SetupFormHooks hooks);

  // Shows the service's settings, or the edits of a save that failed.
  void Activate();
  // Applies the controls now; returns the save's result.
  core::Status Deactivate();

  // The focus moved between the program's windows: `here` the dialog has
  // it now, `was_here` it had it before.
  void FocusMoved(bool here, bool was_here);
  // The focused dialog is being closed. Returns true when that applies (the
  // caller then no longer counts the dialog as focused).
  bool Closing();
  void RunQueuedApply();

 private:
  core::Settings ToShow() const;
  // Applies `edited`; `then` runs once the apply has ended.
  core::Status Apply(const core::Settings& edited, std::function<void()> then);
  // What a queued apply does once it has ended.
  void AfterQueuedApply(const core::Settings& applied);
  void Queue();

  SetupView& view_;
  const SetupFormHooks hooks_;
  bool applying_ = false;
  std::optional<core::Settings> unsaved_;  // edits whose save failed
  std::string reported_save_error_;        // told to the operator; empty: none
  // Expires with the form: a restart that ends later finds it gone.
  std::shared_ptr<SetupForm*> self_ = std::make_shared<SetupForm*>(this);
};

}  // namespace orvik::ui
