// SetupDialog: the "Setup parameters" window as a plain Win32 window, the
// operator's way to change the settings. It shows and reads its controls;
// when it shows the settings and when it applies them, and what happens to
// edits whose save failed or that were typed during a restart, SetupForm
// decides. Its controls come from SetupDialogFields(): fixed-width number
// fields (digits, for the GMT difference also signs), check boxes, the
// protocol list and the chrony socket path. A button "..." beside the
// port number lists the serial ports that exist when it is pressed;
// choosing one writes its number into the field, which still takes any
// number.
//
// SetupForm acts on focus moves between the program's windows, which only
// the program as a whole sees: every window of the program reports its
// activation (Window::SetActivationObserver) to WindowActivated. Tab moves
// through the inputs in screen order when the main loop routes the dialog's
// keys (Win32MainLoop::AddDialog). Main thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"
#include "core/settings_fields.h"
#include "platform/com_port_list.h"
#include "ui/logic/setup_dialog_fields.h"
#include "ui/logic/setup_form.h"
#include "ui/logic/setup_layout.h"
#include "ui/win32/window.h"

namespace orvik::ui::win32 {

class SetupDialog : public Window, private SetupView {
 public:
  // `ports` lists the serial ports for the port button; it must outlive the dialog.
  SetupDialog(const platform::ComPortList& ports, SetupFormHooks hooks);

  // One of the program's windows (this one included) became active.
  void WindowActivated(HWND window);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  struct Control {
    const DialogField* dialog;
    const core::SettingField* field;  // dialog->setting
    HWND window;
  };
  struct Label {
    HWND window;
    std::string_view place;  // its name in the places of the layout
    bool heading;            // "GPS", "PC computer": bold
  };

  void BuildControls();
  void LayOut() override;
  // Lists the ports that exist now under the port button and writes the
  // number chosen into the port field.
  void ChoosePort();
  HWND MakeControl(const DialogField& dialog);
  HWND ControlNamed(std::string_view name) const;
  void SetTabOrder();
  void KeepFieldTextValid(HWND edit);
  const Control* ControlOf(HWND window) const;

  // SetupView
  core::Settings Edits(const core::Settings& base) const override;
  void Show(const core::Settings& settings) override;
  void QueueApply() override;
  bool Focused() const override { return last_active_ == handle(); }

  UniqueFont font_;
  UniqueFont bold_font_;
  std::vector<Control> controls_;  // in the order of the settings list
  std::vector<Label> labels_;
  std::vector<HWND> panels_;  // the three lines between the groups
  HWND delay_label_ = nullptr;
  HWND socket_label_ = nullptr;
  HWND protocol_ = nullptr;  // ComboBox1
  const platform::ComPortList& ports_;
  HWND port_list_ = nullptr;    // the port button
  HWND last_active_ = nullptr;  // the program's window active last; null after a close applied
  SetupForm form_;
};

}  // namespace orvik::ui::win32
