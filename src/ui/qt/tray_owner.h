// TrayOwner: the hidden main window of the desktop program. It owns the
// notification-area icon ("GPS Time") with its menu "&Show" (the default,
// drawn bold), "&Hide", a separator and "Exit". Double-clicking the icon shows the status window;
// "Exit" (or closing this window) stops the acquisition and ends the
// program. The small window itself is visible only for the first seconds,
// until the status window's auto-hide hides it; minimising it hides it too.
//
// A notification area that is missing at start (a panel that comes up after
// the program at log-in) is watched for, once a second, and the icon moves
// into it when it appears.
//
// Main thread only.
#pragma once

#include <QAction>
#include <QFont>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "ui/logic/desktop_hooks.h"

namespace orvik::ui {

// The desktop's notification area, as this window asks for it.
struct NotificationArea {
  // Whether one exists at start; without one the icon is not shown and this
  // window is never shown either.
  bool at_start = true;
  // Whether one exists now; asked while there is none. Unset:
  // QSystemTrayIcon::isSystemTrayAvailable().
  std::function<bool()> available;
};

class TrayOwner : public QWidget {
  Q_OBJECT

 public:
  TrayOwner(TrayOwnerHooks hooks, NotificationArea area, QWidget* parent = nullptr);
  ~TrayOwner() override;

  // The window "&Show" and "&Hide" act on (not owned; may be set later).
  void SetStatusWindow(QWidget* status_window) { status_window_ = status_window; }

  // Shows this window and the icon as at program start (the window only
  // where a notification area exists).
  void ShowAtStart();
  // Hides this window and with it the program's taskbar entry; the icon stays.
  void HideMainForm();
  // "Exit": stops the acquisition and ends the program; once.
  void Exit1Click();

  QSystemTrayIcon& trayIcon() { return tray_icon_; }
  QMenu& popupMenu() { return popup_menu_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void Show1Click();
  void Hide1Click();
  void onIconActivated(QSystemTrayIcon::ActivationReason reason);
  void onNotificationAreaWatchTick();

  const TrayOwnerHooks hooks_;
  const std::function<bool()> area_available_;
  QMenu popup_menu_;           // PopupMenu1
  QSystemTrayIcon tray_icon_;  // CoolTrayIcon1
  QAction show_;               // Show1
  QAction hide_;               // Hide1
  QAction separator_;          // N1
  QAction exit_;               // Exit1
  QTimer area_watch_;          // looks for a notification area while there is none
  QPointer<QWidget> status_window_;
  bool notification_area_;
  bool exiting_ = false;
};

}  // namespace orvik::ui
