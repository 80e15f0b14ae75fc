// Window: a top-level Win32 window whose messages go to a C++ object, the
// base of the program's windows. The object owns its window: destroying the
// object destroys the window. Main thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace orvik::ui::win32 {

// The program's texts are Latin-1 (the receiver's and the settings'
// characters); the wide Win32 calls take them byte for byte.
std::wstring Widen(std::string_view latin1);

class Window {
 public:
  virtual ~Window();

  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND handle() const { return handle_; }
  bool Visible() const { return ::IsWindowVisible(handle_) != 0; }
  void Hide() { ::ShowWindow(handle_, SW_HIDE); }
  // Shows the window, brings it to the front and gives it the focus.
  void ShowInFront();

  // Runs with this window's handle whenever it becomes the active window
  // (the program's focus tracking: see SetupDialog::WindowActivated).
  void SetActivationObserver(std::function<void(HWND)> observer) {
    activation_observer_ = std::move(observer);
  }

 protected:
  Window() = default;

  // Creates the window with a class of its own named `class_name`, its
  // client area `client_width` x `client_height` at screen position x, y.
  // Returns false when Windows refused.
  bool Create(const wchar_t* class_name, const wchar_t* title, DWORD style, int x, int y,
              int client_width, int client_height, HMENU menu = nullptr);

  // The window's messages; the default is DefWindowProc.
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND handle_ = nullptr;
  std::function<void(HWND)> activation_observer_;
};

// Owns a GDI object (font, brush, bitmap) and deletes it once.
template <typename Handle>
class UniqueGdiObject {
 public:
  explicit UniqueGdiObject(Handle handle = nullptr) : handle_(handle) {}
  ~UniqueGdiObject() {
    if (handle_ != nullptr) ::DeleteObject(handle_);
  }
  UniqueGdiObject(const UniqueGdiObject&) = delete;
  UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
  Handle get() const { return handle_; }

 private:
  Handle handle_;
};

using UniqueFont = UniqueGdiObject<HFONT>;

// The windows' fonts: "MS Sans Serif" (or `face`) `pixel_height` pixels high.
HFONT MakeFont(int pixel_height, bool bold, const wchar_t* face = L"MS Sans Serif");

// A static text control at x, y in `parent`, sized to its text.
HWND AddLabel(HWND parent, int id, int x, int y, std::string_view text, HFONT font);
// Replaces a label's text and sizes the label to it.
void SetLabelText(HWND label, std::string_view text);
// The label's right edge (x + width) in its parent's client coordinates.
int LabelRight(HWND label);

}  // namespace orvik::ui::win32

namespace orvik::ui::win32 {

// The width of `text` in `font`, in pixels.
int TextWidth(HFONT font, std::string_view text);

}  // namespace orvik::ui::win32
