#include "ui/qt/tray_owner.h"

#include <QCloseEvent>
#include <QEvent>
#include <utility>

#include "ui/qt/program_icon.h"

namespace orvik::ui {

namespace {

constexpr int kNotificationAreaWatchMs = 1'000;

}  // namespace

TrayOwner::TrayOwner(TrayOwnerHooks hooks, NotificationArea area, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      hooks_(std::move(hooks)),
      area_available_(std::move(area.available)),
      popup_menu_(this),
      tray_icon_(this),
      show_(QStringLiteral("&Show"), this),
      hide_(QStringLiteral("&Hide"), this),
      separator_(this),
      exit_(QStringLiteral("Exit"), this),
      area_watch_(this),
      notification_area_(area.at_start) {
  setObjectName(QStringLiteral("TForm5"));
  setWindowTitle(QStringLiteral("Orvik - GPS Time"));
  setWindowIcon(ProgramIcon());
  setFixedSize(120, 1);

  popup_menu_.setObjectName(QStringLiteral("PopupMenu1"));
  show_.setObjectName(QStringLiteral("Show1"));
  hide_.setObjectName(QStringLiteral("Hide1"));
  separator_.setObjectName(QStringLiteral("N1"));
  separator_.setSeparator(true);
  exit_.setObjectName(QStringLiteral("Exit1"));
  // The default item, drawn bold; a double click on the icon does the same.
  QFont bold = show_.font();
  bold.setBold(true);
  show_.setFont(bold);
  popup_menu_.addAction(&show_);
  popup_menu_.addAction(&hide_);
  popup_menu_.addAction(&separator_);
  popup_menu_.addAction(&exit_);
  popup_menu_.setDefaultAction(&show_);
  connect(&show_, &QAction::triggered, this, &TrayOwner::Show1Click);
  connect(&hide_, &QAction::triggered, this, &TrayOwner::Hide1Click);
  connect(&exit_, &QAction::triggered, this, &TrayOwner::Exit1Click);

  tray_icon_.setObjectName(QStringLiteral("CoolTrayIcon1"));
  tray_icon_.setIcon(ProgramIcon());
  tray_icon_.setToolTip(QStringLiteral("GPS Time"));
  tray_icon_.setContextMenu(&popup_menu_);
  connect(&tray_icon_, &QSystemTrayIcon::activated, this, &TrayOwner::onIconActivated);

  area_watch_.setObjectName(QStringLiteral("NotificationAreaWatch"));
  area_watch_.setInterval(kNotificationAreaWatchMs);
  connect(&area_watch_, &QTimer::timeout, this, &TrayOwner::onNotificationAreaWatchTick);
  if (!notification_area_) area_watch_.start();
}

TrayOwner::~TrayOwner() {
  area_watch_.stop();
  tray_icon_.hide();
}

void TrayOwner::ShowAtStart() {
  if (!notification_area_) return;
  tray_icon_.show();
  show();
}

void TrayOwner::HideMainForm() { hide(); }

void TrayOwner::Show1Click() {
  if (status_window_ == nullptr) return;
  status_window_->show();
  status_window_->raise();
  status_window_->activateWindow();
}

void TrayOwner::Hide1Click() {
  if (status_window_ != nullptr) status_window_->hide();
}

void TrayOwner::Exit1Click() {
  if (exiting_) return;
  exiting_ = true;
  area_watch_.stop();
  if (hooks_.stop_acquisition) hooks_.stop_acquisition();
  tray_icon_.hide();
  hide();
  if (hooks_.quit) hooks_.quit();
}

void TrayOwner::closeEvent(QCloseEvent* event) {
  // This is the program's main window: closing it ends the program.
  Exit1Click();
  event->accept();
}

void TrayOwner::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized()) {
    // Minimised: only the icon remains. Hidden after the state change is done.
    QMetaObject::invokeMethod(this, &TrayOwner::HideMainForm, Qt::QueuedConnection);
  }
}

void TrayOwner::onIconActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::DoubleClick) Show1Click();
}

void TrayOwner::onNotificationAreaWatchTick() {
  const bool available =
      area_available_ ? area_available_() : QSystemTrayIcon::isSystemTrayAvailable();
  if (!available || exiting_) return;
  area_watch_.stop();
  notification_area_ = true;
  tray_icon_.show();
  if (hooks_.notification_area_appeared) hooks_.notification_area_appeared();
}

}  // namespace orvik::ui
