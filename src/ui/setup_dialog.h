// SetupDialog: the "Setup parameters" window, the operator's way to change
// the settings. It has no OK or Cancel: each time it becomes the program's
// focused window in place of another of the program's windows it shows the
// current settings (FormActivate), and each time another window of the
// program takes the focus from it, or it is closed, it applies what it
// shows (FormDeactivate): the text forms as typed, the switches and the
// protocol go to the service, which saves "GPS_parm.txt" and restarts the
// acquisition. Switching to another application does neither.
//
// The dialog edits a copy of the settings and never touches a device. A save
// that fails is told to the operator and the edits are kept for the next
// showing; an error of the restart's start-up sequence reaches the operator
// through the status window, and the bad text is shown again next time.
// What the operator types while a restart runs is kept: shown again when the
// restart ends in the dialog, applied when the dialog was left meanwhile.
//
// Beside the classic settings it edits the receiver delay (line 15 of the
// file) on the port's row and the chrony socket path (line 16) on the sound
// row, so the window keeps its height. Tab moves through the inputs in
// screen order. Where the screen is too small for the window, its controls
// scroll inside it.
//
// Main thread only.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "core/settings.h"
#include "service/gps_time_service.h"
#include "ui/masked_edit.h"
#include "ui/message_box_reporter.h"

class QWindow;

namespace orvik::ui {

struct SetupDialogHooks {
  OperatorReporter report;          // shows a failed save to the operator
  OperatorWithdrawal withdraw;      // takes it back once a save succeeds
  std::function<void()> after_apply;  // runs after every apply (restart done)
};

class SetupDialog : public QWidget {
  Q_OBJECT

 public:
  SetupDialog(service::GpsTimeService& service, SetupDialogHooks hooks, QWidget* parent = nullptr);
  ~SetupDialog() override;

  // Fills every control from a copy of the service's settings (or from the
  // edits of a save that failed).
  void FormActivate();
  // Takes the controls into a copy of the settings and has the service save
  // it and restart. Returns the service's result.
  core::Status FormDeactivate();

  // The protocol list's item index for the apply: -1 when its text is not
  // one of the items.
  int ProtocolIndex() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void BuildControls();
  void SetTabOrder();
  // Sizes the window to its controls, or to `room` when that is smaller; the
  // controls then scroll inside it.
  void FitInto(const QSize& room);
  void onFocusWindowChanged(QWindow* focused);
  void ApplyQueued();
  bool IsThisWindow(const QWindow* window) const;
  void ShowSettings(const core::Settings& settings);
  // The controls' contents over a copy of the service's settings.
  core::Settings EditedSettings() const;
  core::Status Apply(const core::Settings& edited);

  service::GpsTimeService& service_;
  const SetupDialogHooks hooks_;

  // Declared before the controls, which are its children and must go first.
  QScrollArea scroller_;            // shows client_, with scroll bars only on a small screen
  QWidget client_;                  // the client area the controls are placed in
  std::array<QLabel, 12> labels_;   // Label1 .. Label12
  std::array<QFrame, 3> panels_;    // Panel1 .. Panel3 (separator lines)
  std::unique_ptr<MaskedEdit> port_;              // MaskEdit1
  std::unique_ptr<MaskedEdit> gmt_hours_;         // MaskEdit2
  std::unique_ptr<MaskedEdit> clock_interval_;    // MaskEdit3
  std::unique_ptr<MaskedEdit> transmit_interval_; // MaskEdit4
  std::unique_ptr<MaskedEdit> summer_month_;      // MaskEdit5
  std::unique_ptr<MaskedEdit> summer_hour_;       // MaskEdit6
  std::unique_ptr<MaskedEdit> zone_month_;        // MaskEdit7
  std::unique_ptr<MaskedEdit> zone_hour_;         // MaskEdit8
  std::unique_ptr<MaskedEdit> gmt_minutes_;       // MaskEdit9
  QComboBox protocol_;       // ComboBox1
  QCheckBox only_min_sec_;   // CheckBox1
  QCheckBox sound_disabled_; // CheckBox2
  QCheckBox summer_time_;    // CheckBox3
  QLabel receiver_delay_label_;
  std::unique_ptr<MaskedEdit> receiver_delay_;
  QLabel chrony_socket_label_;
  QLineEdit chrony_socket_;

  // The last of the program's windows that had the focus (an error box
  // does not count); null after the dialog applied on closing.
  QPointer<QWindow> last_focused_;
  bool applying_ = false;
  bool startup_failed_during_apply_ = false;
  // Edits whose save failed: shown again instead of the settings.
  std::optional<core::Settings> unsaved_;
  QString reported_save_error_;  // shown to the operator; empty: none
};

}  // namespace orvik::ui
