// StatusWindow: the status window ("Orvik - GPS Time") as a plain Win32
// window: the receiver's time, date and satellite counts of the status
// snapshots it is shown, "No communication!" and the red no-satellite bar
// with their beep, "Sound Off", a line saying why the PC clock is not kept
// (hidden while it is), and the menu to the receiver commands and to the
// setup, Connections and About windows. What it shows, when it beeps and
// hides, StatusDisplay decides; this window draws it. It runs no timer of
// its own: the program that builds it forwards each snapshot.
//
// What it needs of the rest of the program comes through StatusWindowHooks
// (ui/logic/desktop_hooks.h, as for the Qt window), so it does not depend on
// how the service is built. Main thread only.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "core/status.h"
#include "service/status_snapshot.h"
#include "ui/logic/desktop_hooks.h"
#include "ui/logic/status_display.h"
#include "ui/win32/window.h"

namespace orvik::ui::win32 {

class StatusWindow : public Window {
 public:
  // Builds the window, hidden.
  explicit StatusWindow(StatusWindowHooks hooks);
  ~StatusWindow() override;

  // Shows a status snapshot (of the service, or of the records of the
  // service beside this program).
  void ShowStatus(const service::StatusSnapshot& snapshot);
  // A start-up sequence completed: a start-up error shown before is taken back.
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
  void OnDisplayTick(const service::StatusSnapshot& snapshot);
  void OnCommunicationTick(const service::StatusSnapshot& snapshot);
  void DrawNoSatelliteBar(const DRAWITEMSTRUCT& item) const;

  const StatusWindowHooks hooks_;
  StatusDisplay display_;
  std::string clock_keeping_text_;  // the warning lines shown
  std::string note_;                // shown while there is no warning

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
