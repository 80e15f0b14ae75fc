#include "ui/win32/setup_dialog.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "ui/logic/port_choices.h"
#include "ui/logic/setup_layout.h"
#include "ui/win32/masked_field.h"

namespace orvik::ui::win32 {

namespace {

// The sizes at 96 DPI.
constexpr int kClientWidth = 291;
constexpr int kClientHeight = 369;
constexpr int kEditHeight = 21;
constexpr int kCaptionGap = 6;  // between a caption and its field
constexpr int kEdgeMargin = 8;
constexpr int kCheckBoxExtra = 24;  // the box and its gap before the caption
constexpr UINT kApplyMessage = WM_APP + 10;

// Tab order: top to bottom, and left to right within a row.
constexpr const char* kTabOrder[] = {"MaskEdit2", "MaskEdit9",         "MaskEdit4", "ComboBox1",
                                     "MaskEdit1", "ChronySocketEdit",  "MaskEdit3", "CheckBox1",
                                     "CheckBox2", "ReceiverDelayEdit", "CheckBox3", "MaskEdit5",
                                     "MaskEdit6", "MaskEdit7",         "MaskEdit8"};

// A popup menu, destroyed with its owner.
struct MenuDestroyer {
  void operator()(HMENU menu) const { ::DestroyMenu(menu); }
};
using UniqueMenu = std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer>;

void MoveChild(HWND child, int x, int y, int width, int height) {
  ::SetWindowPos(child, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

// A control of `window_class`; LayOut gives it its font, place and size.
HWND MakeChild(HWND parent, const wchar_t* window_class, const std::wstring& text, DWORD style) {
  return ::CreateWindowExW(0, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 1, 1,
                           parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

std::string WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  ::GetWindowTextW(window, wide.data(), length + 1);
  wide.resize(static_cast<std::size_t>(length));
  std::string text;
  for (const wchar_t c : wide) text.push_back(c < 256 ? static_cast<char>(c) : '?');
  return text;
}

// A path is bytes to the system; shown and kept as UTF-8.
std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  return wide;
}

std::string ToUtf8(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
  ::GetWindowTextW(window, wide.data(), length + 1);
  const int bytes =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(bytes), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), length, text.data(), bytes, nullptr, nullptr);
  return text;
}

}  // namespace

SetupDialog::SetupDialog(const platform::ComPortList& ports, SetupFormHooks hooks)
    : ports_(ports), form_(*this, std::move(hooks)) {
  Create(L"TForm1", L"Setup parameters", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 300, 120,
         kClientWidth, kClientHeight);
  BuildControls();
  LayOut();
}

HWND SetupDialog::MakeControl(const DialogField& dialog) {
  switch (dialog.setting->kind) {
    case core::SettingKind::kNumber: {
      const HWND edit =
          MakeChild(handle(), L"EDIT", L"", WS_TABSTOP | WS_BORDER | ES_RIGHT | ES_AUTOHSCROLL);
      ::SendMessageW(edit, EM_LIMITTEXT, static_cast<WPARAM>(dialog.positions), 0);
      return edit;
    }
    case core::SettingKind::kSwitch:
      return MakeChild(handle(), L"BUTTON", Widen(dialog.caption), WS_TABSTOP | BS_AUTOCHECKBOX);
    case core::SettingKind::kProtocol: {
      protocol_ = MakeChild(handle(), L"COMBOBOX", L"",
                            WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL);
      for (const std::string_view item : kProtocolItems) {
        const std::wstring wide = Widen(item);
        ::SendMessageW(protocol_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
      }
      ::SetWindowTextW(protocol_, Widen(kProtocolPrompt).c_str());
      return protocol_;
    }
    case core::SettingKind::kPath:
    case core::SettingKind::kLogging:
      break;
  }
  // The socket path, placed with the window's width.
  return MakeChild(handle(), L"EDIT", L"", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL);
}

void SetupDialog::BuildControls() {
  labels_.push_back(Label{AddLabel(handle(), 0, 0, 0, "GPS", nullptr), "Label4", true});
  labels_.push_back(Label{AddLabel(handle(), 0, 0, 0, "PC computer", nullptr), "Label5", true});
  for (const DialogField& dialog : SetupDialogFields()) {
    const core::SettingField& field = *dialog.setting;
    controls_.push_back(Control{&dialog, &field, MakeControl(dialog)});
    if (dialog.label.empty()) continue;
    const HWND label = AddLabel(handle(), 0, 0, 0, dialog.caption, nullptr);
    labels_.push_back(Label{label, dialog.label, false});
    if (field.text == &core::Settings::ReceiverDelayText) delay_label_ = label;
    if (field.text == &core::Settings::ChronySocketPath) socket_label_ = label;
  }
  // The port button "..." beside the port number (text every font has),
  // out of the Tab order like the arrow of a list: the field itself takes
  // any number.
  port_list_ = MakeChild(handle(), L"BUTTON", L"...", BS_PUSHBUTTON);
  for (int panel = 0; panel < 3; ++panel) {  // Panel1 .. Panel3
    panels_.push_back(MakeChild(handle(), L"STATIC", L"", SS_ETCHEDHORZ));
  }
  SetTabOrder();
}

namespace {

// The 96-DPI places of the captions "GPS" and "PC computer".
SetupPlace HeadingPlace(std::string_view name) {
  return name == "Label4" ? SetupPlace{18, 5} : SetupPlace{16, 111};
}

// The width an edit control needs to show `text` whole in `font`: its
// margins and its border around the text.
int EditWidthFor(HWND edit, HFONT font, std::string_view text) {
  const auto margins = static_cast<DWORD>(::SendMessageW(edit, EM_GETMARGINS, 0, 0));
  return TextWidth(font, text) + LOWORD(margins) + HIWORD(margins) +
         2 * ::GetSystemMetrics(SM_CXEDGE) + 2;
}

}  // namespace

void SetupDialog::LayOut() {
  UniqueFont font = MakeFont(dpi(), 0, false);
  UniqueFont bold_font = MakeFont(dpi(), 0, true);
  ::SendMessageW(handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
  const int line_height = TextHeight(font.get());
  const int edit_height = std::max(Scale(kEditHeight), line_height + Scale(6));
  const int caption_gap = Scale(kCaptionGap);

  for (const Label& label : labels_) {
    const SetupPlace place = label.heading ? HeadingPlace(label.place) : SetupPlaceOf(label.place);
    PlaceLabel(label.window, Scale(place.x), Scale(place.y),
               label.heading ? bold_font.get() : font.get());
  }
  for (const Control& control : controls_) {
    const DialogField& dialog = *control.dialog;
    const SetupPlace place = SetupPlaceOf(dialog.control);
    SetControlFont(control.window, font.get());
    int width = 1;
    int height = edit_height;
    switch (control.field->kind) {
      case core::SettingKind::kNumber:
        // Room for its widest value: every position a digit.
        width =
            std::max(Scale(7 * dialog.positions + 9),
                     EditWidthFor(control.window, font.get(),
                                  std::string(static_cast<std::size_t>(dialog.positions), '0')));
        break;
      case core::SettingKind::kSwitch:
        width = TextWidth(font.get(), dialog.caption) +
                std::max(Scale(kCheckBoxExtra),
                         ::GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi()) + Scale(10));
        height = std::max(Scale(17), line_height + Scale(2));
        break;
      case core::SettingKind::kProtocol: {
        int widest = TextWidth(font.get(), kProtocolPrompt);
        for (const std::string_view item : kProtocolItems)
          widest = std::max(widest, TextWidth(font.get(), item));
        width = std::max(Scale(171),
                         widest + ::GetSystemMetricsForDpi(SM_CXVSCROLL, dpi()) + Scale(12));
        height = Scale(120);  // with the open list
        break;
      }
      case core::SettingKind::kPath:
      case core::SettingKind::kLogging:
        break;  // placed below
    }
    MoveChild(control.window, Scale(place.x), Scale(place.y), width, height);
  }

  // The receiver delay on the row of "Disable sound", its field under the
  // transmission interval's where the check box leaves room for the caption.
  const HWND delay = ControlNamed("ReceiverDelayEdit");
  const RECT delay_rect = ChildRect(delay);
  const RECT delay_label_rect = ChildRect(delay_label_);
  const int delay_label_width = delay_label_rect.right - delay_label_rect.left;
  const int delay_left = std::max(static_cast<int>(ChildRect(ControlNamed("MaskEdit4")).left),
                                  static_cast<int>(ChildRect(ControlNamed("CheckBox2")).right) +
                                      caption_gap + delay_label_width + caption_gap);
  MoveChild(delay, delay_left, delay_rect.top, delay_rect.right - delay_rect.left, edit_height);
  ::SetWindowPos(delay_label_, nullptr, delay_left - caption_gap - delay_label_width,
                 delay_label_rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The port button right of the port number, as high as the field and
  // square, then the socket path on the same row from its caption to the
  // right margin.
  const RECT port_rect = ChildRect(ControlNamed("MaskEdit1"));
  SetControlFont(port_list_, font.get());
  MoveChild(port_list_, port_rect.right + Scale(2), port_rect.top, edit_height, edit_height);
  const RECT socket_label_rect = ChildRect(socket_label_);
  const int socket_label_left = static_cast<int>(ChildRect(port_list_).right) + 2 * caption_gap;
  ::SetWindowPos(socket_label_, nullptr, socket_label_left, socket_label_rect.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  // Wide enough that no control touches the right edge, and high enough
  // for the lowest one.
  const HWND socket = ControlNamed("ChronySocketEdit");
  int width = Scale(kClientWidth);
  int height = Scale(kClientHeight);
  for (const Control& control : controls_) {
    const RECT rect = ChildRect(control.window);
    if (control.window != socket)
      width = std::max(width, static_cast<int>(rect.right) + Scale(kEdgeMargin));
    if (control.window != protocol_)
      height = std::max(height, static_cast<int>(rect.bottom) + Scale(kEdgeMargin));
  }
  for (const Label& label : labels_) {
    width = std::max(width, static_cast<int>(ChildRect(label.window).right) + Scale(kEdgeMargin));
  }
  const int socket_left = static_cast<int>(ChildRect(socket_label_).right) + caption_gap;
  MoveChild(socket, socket_left, Scale(SetupPlaceOf("ChronySocketEdit").y),
            width - Scale(kEdgeMargin) - socket_left, edit_height);

  constexpr int kPanelTops[] = {104, 203, 236};
  for (std::size_t panel = 0; panel < panels_.size(); ++panel) {
    MoveChild(panels_[panel], 0, Scale(kPanelTops[panel]), width, 2);
  }
  SetClientSize(width, height);
  font_ = std::move(font);  // the controls have the new fonts: the old ones may go
  bold_font_ = std::move(bold_font);
}

HWND SetupDialog::ControlNamed(std::string_view name) const {
  for (const Control& control : controls_) {
    if (control.dialog->control == name) return control.window;
  }
  // The settings list and the places disagree: a fault of the program.
  throw std::logic_error("no control " + std::string(name));
}

void SetupDialog::SetTabOrder() {
  HWND previous = HWND_TOP;
  for (const char* name : kTabOrder) {
    const HWND control = ControlNamed(name);
    ::SetWindowPos(control, previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    previous = control;
  }
}

void SetupDialog::ChoosePort() {
  const std::vector<PortChoice> choices = PortChoices(ports_.ExistingPorts());
  const UniqueMenu menu(::CreatePopupMenu());
  if (!menu) return;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    // Item ids count from 1: TrackPopupMenu returns 0 for no choice.
    ::AppendMenuW(menu.get(), MF_STRING | (choices[i].number ? MF_ENABLED : MF_GRAYED), i + 1,
                  FromUtf8(choices[i].text).c_str());
  }
  RECT button;
  ::GetWindowRect(port_list_, &button);
  const auto chosen = static_cast<std::size_t>(
      ::TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN,
                       button.left, button.bottom, 0, handle(), nullptr));
  const HWND field = ControlNamed("MaskEdit1");
  ::SetFocus(field);
  if (chosen == 0 || chosen > choices.size() || !choices[chosen - 1].number) return;
  ::SetWindowTextW(field, Widen(std::to_string(*choices[chosen - 1].number)).c_str());
}

const SetupDialog::Control* SetupDialog::ControlOf(HWND window) const {
  for (const Control& control : controls_) {
    if (control.window == window) return &control;
  }
  return nullptr;
}

// Typed or pasted: a number field keeps only what its positions take.
void SetupDialog::KeepFieldTextValid(HWND edit) {
  const Control* control = ControlOf(edit);
  if (control == nullptr || control->field->kind != core::SettingKind::kNumber) return;
  const std::string text = WindowText(edit);
  const std::string valid = FieldTextFor(text, control->dialog->positions, control->dialog->mask);
  if (valid == text) return;
  ::SetWindowTextW(edit, Widen(valid).c_str());
  ::SendMessageW(edit, EM_SETSEL, valid.size(), valid.size());
  ::MessageBeep(MB_OK);
}

void SetupDialog::Show(const core::Settings& settings) {
  for (const Control& control : controls_) {
    const core::SettingField& field = *control.field;
    switch (field.kind) {
      case core::SettingKind::kNumber: {
        const std::string text =
            FieldTextFor(settings.*field.text, control.dialog->positions, control.dialog->mask);
        // The value it already shows leaves the field (and its cursor) as it is.
        if (WindowText(control.window) != text)
          ::SetWindowTextW(control.window, Widen(text).c_str());
        break;
      }
      case core::SettingKind::kSwitch:
        ::SendMessageW(control.window, BM_SETCHECK,
                       settings.*field.flag ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
      case core::SettingKind::kProtocol: {
        const std::int32_t protocol = settings.*field.int32_value;
        const bool listed = protocol >= 0 && protocol < static_cast<int>(kProtocolItems.size());
        ::SendMessageW(protocol_, CB_SETCURSEL, listed ? static_cast<WPARAM>(protocol) : -1, 0);
        if (!listed) ::SetWindowTextW(protocol_, Widen(kProtocolPrompt).c_str());
        break;
      }
      case core::SettingKind::kPath: {
        const std::wstring path = FromUtf8(settings.*field.text);
        if (ToUtf8(control.window) != settings.*field.text)
          ::SetWindowTextW(control.window, path.c_str());
        break;
      }
      case core::SettingKind::kLogging:
        break;
    }
  }
}

core::Settings SetupDialog::Edits(const core::Settings& base) const {
  core::Settings edited = base;
  for (const Control& control : controls_) {
    const core::SettingField& field = *control.field;
    switch (field.kind) {
      case core::SettingKind::kNumber:
        edited.*field.text = WindowText(control.window);
        break;
      case core::SettingKind::kSwitch:
        edited.*field.flag = ::SendMessageW(control.window, BM_GETCHECK, 0, 0) == BST_CHECKED;
        break;
      case core::SettingKind::kProtocol:
        edited.*field.int32_value = ProtocolItemIndex(WindowText(protocol_));
        break;
      case core::SettingKind::kPath:
        edited.*field.text = ToUtf8(control.window);
        break;
      case core::SettingKind::kLogging:
        break;
    }
  }
  return edited;
}

void SetupDialog::QueueApply() {
  // Outside the activation change: the restart dispatches messages while it waits.
  ::PostMessageW(handle(), kApplyMessage, 0, 0);
}

void SetupDialog::WindowActivated(HWND window) {
  const bool was_here = last_active_ == handle();
  last_active_ = window;
  form_.FocusMoved(window == handle(), was_here);
}

LRESULT SetupDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case kApplyMessage:
      form_.RunQueuedApply();
      return 0;
    case WM_COMMAND: {
      const auto control = reinterpret_cast<HWND>(lparam);
      if (control == port_list_ && HIWORD(wparam) == BN_CLICKED) ChoosePort();
      if (HIWORD(wparam) == EN_CHANGE) KeepFieldTextValid(control);
      // Entering a number field selects it all, so typing replaces the value.
      if (HIWORD(wparam) == EN_SETFOCUS) ::PostMessageW(control, EM_SETSEL, 0, -1);
      return 0;
    }
    case WM_CLOSE:
      Hide();  // the dialog lives on
      // Closing the focused dialog applies now; the activation that follows
      // finds it no longer focused.
      if (form_.Closing()) last_active_ = nullptr;
      return 0;
    default:
      return Window::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace orvik::ui::win32
