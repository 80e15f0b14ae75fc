// AboutWindow: "About": the program's name, its protocols and its version,
// in bold lines; a close box that hides it. Main thread only.
#pragma once

#include "ui/win32/window.h"

namespace orvik::ui::win32 {

class AboutWindow : public Window {
 public:
  AboutWindow();

 protected:
  void LayOut() override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  UniqueFont title_font_;
  UniqueFont small_font_;
  HWND title_ = nullptr;      // Label1
  HWND protocols_ = nullptr;  // Label2
  HWND version_ = nullptr;    // Label3
};

}  // namespace orvik::ui::win32
