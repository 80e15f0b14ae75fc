// StatusWindow: the program's status window ("Orvik - GPS Time"). It shows
// the receiver's time, date and satellite counts that the acquisition thread
// publishes in the shared display state, warns with "No communication!", a
// red bar and a beep, and its menu leads to the receiver commands and to the
// setup, Connections and About windows. Creating it runs the service's
// start-up sequence. Under the satellite counts a line tells, in the
// palette's warning colour, why the PC clock is not being kept; it is hidden
// while the clock is kept. A start-up error shown to the operator is taken
// back once a later start-up completes. What it shows, when it beeps and
// hides, StatusDisplay decides; the window draws it.
//
// Two timers drive it: Timer1 (1 s: summer/zone check, auto-hide, display
// copy; enabled only once a start-up sequence has completed) and Timer2
// (3 s: communication and satellite warnings, always running).
//
// Main thread only.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "service/gps_time_service.h"
#include "ui/logic/status_display.h"
#include "ui/qt/message_box_reporter.h"

namespace orvik::ui {

// What the status window needs from the rest of the program.
struct StatusWindowHooks {
  OperatorReporter report;      // shows an error message to the operator
  OperatorWithdrawal withdraw;  // takes back a start-up error once a start completes
  std::function<void()> beep;   // one simple system beep
  // A notification-area icon exists: the window hides itself two Timer1
  // ticks after start-up and its close box only hides it. Without one it
  // stays in sight, and closing it ends the program (nothing else could).
  bool notification_area = true;
  std::function<void()> hide_main_form;  // hides the hidden main window too
  std::function<void()> end_program;     // used only without a notification area
  std::function<void()> show_setup;
  std::function<void()> show_connections;
  std::function<void()> show_about;
};

class StatusWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Builds the window (hidden) and runs service.FormCreate(). Timer1 starts
  // only when that sequence completes; its error goes to hooks.report, as do
  // the errors of every later start-up sequence.
  StatusWindow(service::GpsTimeService& service, StatusWindowHooks hooks,
               QWidget* parent = nullptr);
  ~StatusWindow() override;

  // Starts Timer1 if a start-up sequence has completed since (the
  // acquisition runs) and it is not running yet, and then takes back the
  // start-up error shown before. Call after a restart.
  void SyncDisplayTimer();

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
  void onDisplayTick();
  void onCommunicationTick();
  void onGmtDifferenceClicked();
  void onTransmitIntervalClicked();
  void onCommandsMenuEnabledChanged(bool enabled);
  void onStartupFailed(const QString& message);
  service::ServiceEvents::Subscription Listen();

  service::GpsTimeService& service_;
  const StatusWindowHooks hooks_;
  StatusDisplay display_;

  QWidget client_;
  QLabel no_communication_;     // Label3
  QLabel time_;                 // Label5
  QLabel date_;                 // Label7
  QLabel satellites_title_;     // Label8
  QLabel satellites_;           // Label6
  QLabel no_satellite_bar_;     // Image1
  QPushButton sound_off_;       // Button1
  QLabel clock_keeping_;        // the warning line; hidden while empty
  QMenu commands_menu_;         // Seadmine1
  QMenu setup_menu_;            // Seaded1
  QTimer display_timer_;        // Timer1
  QTimer communication_timer_;  // Timer2
  service::ServiceEvents::Subscription subscription_;
};

}  // namespace orvik::ui
