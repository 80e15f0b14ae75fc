// Window: a top-level Win32 window whose messages go to a C++ object, the
// base of the program's windows. The object owns its window: destroying the
// object destroys the window. Main thread only.
//
// Every size in the windows' code is the size at 96 DPI (100 % scaling);
// each window scales it to its own DPI (Scale), which is the DPI of the
// monitor it is on: the programs are per-monitor DPI aware. When the window
// moves to a monitor of another scaling, Windows sends WM_DPICHANGED with a
// suggested rectangle: the window takes it, lays itself out again (LayOut:
// fonts, places and sizes for the new DPI) and takes the icons of that size.
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

// The DPI at which the windows' sizes are written.
inline constexpr UINT kBaseDpi = 96;

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

  // The DPI this window is laid out for.
  UINT dpi() const { return dpi_; }
  // `size` (at 96 DPI) at this window's DPI.
  int Scale(int size) const { return ::MulDiv(size, static_cast<int>(dpi_), kBaseDpi); }

  // Runs with this window's handle whenever it becomes the active window
  // (the program's focus tracking: see SetupDialog::WindowActivated).
  void SetActivationObserver(std::function<void(HWND)> observer) {
    activation_observer_ = std::move(observer);
  }

 protected:
  Window() = default;

  // Creates the window with a class of its own named `class_name`, its
  // client area `client_width` x `client_height` at screen position x, y
  // (all at 96 DPI, scaled to the system's DPI here; the derived window's
  // LayOut sizes it for its own DPI; x and y may be CW_USEDEFAULT). Returns
  // false when Windows refused.
  bool Create(const wchar_t* class_name, const wchar_t* title, DWORD style, int x, int y,
              int client_width, int client_height, HMENU menu = nullptr);

  // Gives the client area `width` x `height` pixels; the top left corner stays.
  void SetClientSize(int width, int height);

  // Lays the window out for dpi(): makes its fonts, places and sizes its
  // controls and sizes its client area. The derived window calls it once
  // its controls exist; WM_DPICHANGED calls it again.
  virtual void LayOut() {}

  // The window's messages; the default is DefWindowProc.
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  // The title bar's and the taskbar's icons in the sizes of dpi().
  void TakeIcons();

  HWND handle_ = nullptr;
  UINT dpi_ = kBaseDpi;
  std::function<void(HWND)> activation_observer_;
};

// Owns a GDI object (font, brush, bitmap) and deletes it once.
template <typename Handle>
class UniqueGdiObject {
 public:
  explicit UniqueGdiObject(Handle handle = nullptr) : handle_(handle) {}
  ~UniqueGdiObject() { Delete(); }
  UniqueGdiObject(const UniqueGdiObject&) = delete;
  UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
  UniqueGdiObject(UniqueGdiObject&& other) noexcept
      : handle_(std::exchange(other.handle_, nullptr)) {}
  UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
    if (this != &other) {
      Delete();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  Handle get() const { return handle_; }

 private:
  void Delete() {
    if (handle_ != nullptr) ::DeleteObject(handle_);
  }
  Handle handle_;
};

using UniqueFont = UniqueGdiObject<HFONT>;

// A font of the system's message font (the face and quality Windows uses
// for dialog text, never a raster font) for `dpi`: in its own size when
// `height` is 0, else `height` pixels high at 96 DPI; bold or not.
UniqueFont MakeFont(UINT dpi, int height, bool bold);

// A static text control at x, y in `parent`, sized to its text.
HWND AddLabel(HWND parent, int id, int x, int y, std::string_view text, HFONT font);
// Replaces a label's text and sizes the label to it.
void SetLabelText(HWND label, std::string_view text);
// Gives a label `font`, places it at x, y and sizes it to its text.
void PlaceLabel(HWND label, int x, int y, HFONT font);
// Gives a control `font` (redrawn with it).
void SetControlFont(HWND control, HFONT font);
// The child's rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
// The label's right edge (x + width) in its parent's client coordinates.
int LabelRight(HWND label);
// The child's bottom edge (y + height) in its parent's client coordinates.
int ChildBottom(HWND child);

// The width of `text` in `font`, in pixels.
int TextWidth(HFONT font, std::string_view text);
// The height of a line of `font` (ascent and descent), in pixels.
int TextHeight(HFONT font);

}  // namespace orvik::ui::win32
