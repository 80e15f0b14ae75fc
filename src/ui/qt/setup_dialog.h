// SetupDialog: the "Setup parameters" window, the operator's way to change
// the settings. It shows and reads its controls; when it shows the settings
// and when it applies them, and what happens to edits whose save failed or
// that were typed during a restart, SetupForm decides. Its controls are those
// of SetupDialogFields(); it never touches a device.
//
// Beside the classic settings it edits the receiver delay (line 15 of the
// file) on the sound row and the chrony socket path (line 16) on the port's
// row, so the window keeps its height. A drop-down button beside the port
// number lists the serial ports that exist when it opens; choosing one
// writes its number into the field, which still takes any number. Tab moves
// through the inputs in screen order. Where the screen is too small for the
// window, its controls scroll inside it.
//
// Main thread only.
#pragma once

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScrollArea>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "core/settings.h"
#include "core/settings_fields.h"
#include "platform/com_port_list.h"
#include "ui/logic/setup_dialog_fields.h"
#include "ui/logic/setup_form.h"

class QToolButton;
class QWindow;

namespace orvik::ui {

class SetupDialog : public QWidget, private SetupView {
  Q_OBJECT

 public:
  // `ports` lists the serial ports for the port button; it must outlive the
  // dialog. `hooks` reach the service, as for the Win32 dialog.
  SetupDialog(const platform::ComPortList& ports, SetupFormHooks hooks, QWidget* parent = nullptr);
  ~SetupDialog() override;

  // Fills every control from the service's settings (or from the edits of
  // a save that failed).
  void FormActivate() { form_.Activate(); }
  // Has the service save what the controls show and restart. Returns the
  // save's result; the restart ends later.
  core::Status FormDeactivate() { return form_.Deactivate(); }

  // The protocol list's item index for the apply: -1 when its text is not
  // one of the items.
  int ProtocolIndex() const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // One control of the settings list and the setting it edits.
  struct Control {
    const core::SettingField* field;
    QWidget* widget;  // owned by client_
  };

  void BuildControls();
  // The port button beside the port number field.
  void BuildPortList(QWidget& port_field);
  // Fills the port button's menu with the ports that exist now.
  void FillPortMenu();
  QWidget* MakeControl(const DialogField& dialog);
  QWidget& ControlNamed(const char* name) const;
  void SetTabOrder();
  // Sizes the window to its controls, or to `room` when that is smaller; the
  // controls then scroll inside it.
  void FitInto(const QSize& room);
  void onFocusWindowChanged(QWindow* focused);
  bool IsThisWindow(const QWindow* window) const;

  // SetupView
  core::Settings Edits(const core::Settings& base) const override;
  void Show(const core::Settings& settings) override;
  void QueueApply() override;
  bool Focused() const override;

  // Declared before the controls, which are its children and must go first.
  QScrollArea scroller_;           // shows client_, with scroll bars only on a small screen
  QWidget client_;                 // the client area the controls are placed in
  QLabel gps_heading_;             // Label4
  QLabel pc_heading_;              // Label5
  std::array<QFrame, 3> panels_;   // Panel1 .. Panel3 (separator lines)
  std::vector<Control> controls_;  // in the order of the settings list
  QComboBox* protocol_ = nullptr;  // ComboBox1, one of controls_
  const platform::ComPortList& ports_;
  QMenu port_menu_;                   // the port button's list
  QToolButton* port_list_ = nullptr;  // PortList, owned by client_

  // The last of the program's windows that had the focus (an error box
  // does not count); null after the dialog applied on closing.
  QPointer<QWindow> last_focused_;
  SetupForm form_;
};

}  // namespace orvik::ui
