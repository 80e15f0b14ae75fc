// StatusWindow: the status window ("Orvik - GPS Time") as a plain Win32
// window: the receiver's time, date and satellite counts from the shared
// display state, "No communication!" and the red no-satellite bar with their
// beep, "Sound Off", a line saying why the PC clock is not kept (hidden
// while it is), and the menu to the receiver commands and to the setup,
// Connections and About windows. What it shows, when it beeps and hides,
// StatusDisplay decides; this window draws it.
//
// Two timers drive it: Timer1 (1 s: summer/zone check, auto-hide, display
// copy; running once a start-up sequence has completed) and Timer2 (3 s:
// communication and satellite warnings, always running).
//
// What it needs of the rest of the program comes through StatusWindowHooks,
// so it does not depend on how the service is built. Main thread only.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "core/status.h"
#include "service/shared_state.h"
#include "ui/logic/status_display.h"
#include "ui/win32/window.h"

namespace orvik::ui::win32 {

struct StatusWindowHooks {
  std::function<bool()> summer_switch_tick;  // the service's summer/zone check; true: it switched
  std::function<bool()> sound_disabled;      // the setting that silences every beep
  std::function<core::Status()> gmt_offset;  // "GMT difference"
  std::function<core::Status()> transmit_interval;   // "Time transm. interval"
  std::function<void(const std::string&)> report;    // shows an error to the operator
  std::function<void(const std::string&)> withdraw;  // takes a shown start-up error back
  std::function<void()> beep;
  // A notification-area icon exists: the window hides itself two Timer1
  // ticks after start-up and its close box only hides it. Without one,
  // closing it ends the program (nothing else could show it again).
  bool notification_area = true;
  std::function<void()> hide_main_form;
  std::function<void()> end_program;
  std::function<void()> show_setup;
  std::function<void()> show_connections;
  std::function<void()> show_about;
  // The notification icon's tooltip has a new text (see StatusDisplay::TrayTip).
  std::function<void(const std::string&)> tip_changed;
};

class StatusWindow : public Window {
 public:
  // Builds the window, hidden; Timer2 runs from now on.
  StatusWindow(service::SharedState& shared, StatusWindowHooks hooks);
  ~StatusWindow() override;

  // A start-up sequence completed: Timer1 runs (if not yet) and a start-up
  // error shown before is taken back.
  void StartupCompleted();
  // A start-up sequence failed with `message`: shown to the operator.
  void StartupFailed(const std::string& message);

  void SetCommandsMenuEnabled(bool enabled);
  // "Connections": grey while this program serves no LAN clients itself.
  void SetConnectionsMenuEnabled(bool enabled);
  // A notification area has appeared (see StatusDisplay).
  void MoveIntoNotificationArea() { display_.MoveIntoNotificationArea(); }
  bool SoundOn() const { return display_.SoundOn(); }
  // A sentence shown under the satellite counts in the window's text
  // colour, while no warning takes the line (empty: none).
  void SetNote(const std::string& note);
  // Who keeps the clock, as the icon's tooltip says it (see StatusDisplay).
  void SetClockKeeper(std::string kept) { display_.SetClockKeeper(std::move(kept)); }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void BuildClientArea();
  void LayOut() override;
  // The line under the satellite counts: the warning lines in their colour,
  // else the note in the window's text colour; hidden when both are empty.
  void ShowBottomLine();
  HMENU BuildMenu();
  void OnCommand(int id);
  void OnDisplayTick();
  void OnCommunicationTick();
  void DrawNoSatelliteBar(const DRAWITEMSTRUCT& item) const;
  void RunCommand(const std::function<core::Status()>& command);
  // Tells the icon's tooltip when the state it names changed.
  void UpdateTip();

  service::SharedState& shared_;
  const StatusWindowHooks hooks_;
  StatusDisplay display_;
  bool display_timer_running_ = false;
  std::string clock_keeping_text_;  // the warning lines shown
  std::string note_;                // shown while there is no warning
  std::string tip_;                 // the tooltip told last

  struct Fonts {
    UniqueFont window, warning, time, satellites, clock_keeping;
  };
  Fonts fonts_;
  HMENU menu_ = nullptr;             // MainMenu1, destroyed with the window
  HWND no_communication_ = nullptr;  // Label3
  HWND time_ = nullptr;              // Label5
  HWND date_ = nullptr;              // Label7
  HWND satellites_title_ = nullptr;  // Label8
  HWND satellites_ = nullptr;        // Label6
  HWND no_satellite_bar_ = nullptr;  // Image1
  HWND sound_off_ = nullptr;         // Button1
  HWND clock_keeping_ = nullptr;     // the warning line
  int client_width_ = 0;             // at dpi()
  int base_height_ = 0;              // at dpi(), without the bottom line
};

}  // namespace orvik::ui::win32
