// StatusWindow: the program's status window ("Orvik - GPS Time"). It shows
// the receiver's time, date and satellite counts of the service's status
// snapshots, warns with "No communication!", a red bar and a beep, and its
// menu leads to the receiver commands and to the setup, Connections and
// About windows. Under the satellite counts a line tells, in the palette's
// warning colour, why the PC clock is not being kept; it is hidden while the
// clock is kept. A start-up error shown to the operator is taken back once a
// later start-up completes. What it shows, when it beeps and hides,
// StatusDisplay decides; the window draws it. What it needs of the rest of
// the program comes through StatusWindowHooks, as for the Win32 window.
//
// Main thread only.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <functional>
#include <string>

#include "service/status_snapshot.h"
#include "ui/logic/desktop_hooks.h"
#include "ui/logic/status_display.h"

namespace orvik::ui {

class StatusWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window, hidden.
  explicit StatusWindow(StatusWindowHooks hooks, QWidget* parent = nullptr);
  ~StatusWindow() override;

  // Shows a status snapshot of the service.
  void ShowStatus(const service::StatusSnapshot& snapshot);
  // A start-up sequence completed: a start-up error shown before is taken back.
  void StartupCompleted();
  // A start-up sequence failed with `message`: shown to the operator.
  void StartupFailed(const std::string& message);
  void SetCommandsMenuEnabled(bool enabled);

  // A notification area has appeared: from now on the close box hides the
  // window, and it hides itself as at a start with one (unless it already did).
  void MoveIntoNotificationArea() { display_.MoveIntoNotificationArea(); }

  // False once "Sound Off" was pressed; nothing sets it again.
  bool SoundOn() const { return display_.SoundOn(); }

  // The 38 x 6 picture of the no-satellite warning: a red bar on light grey.
  static QPixmap NoSatellitePicture();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildClientArea();
  void ShowClockKeeping(const QString& problem);
  void BuildMenu();
  void onDisplayTick(const service::StatusSnapshot& snapshot);
  void onCommunicationTick(const service::StatusSnapshot& snapshot);

  const StatusWindowHooks hooks_;
  StatusDisplay display_;

  QWidget client_;
  QLabel no_communication_;  // Label3
  QLabel time_;              // Label5
  QLabel date_;              // Label7
  QLabel satellites_title_;  // Label8
  QLabel satellites_;        // Label6
  QLabel no_satellite_bar_;  // Image1
  QPushButton sound_off_;    // Button1
  QLabel clock_keeping_;     // the warning line; hidden while empty
  QMenu commands_menu_;      // Seadmine1
  QMenu setup_menu_;         // Seaded1
};

}  // namespace orvik::ui
