// ErrorBox: shows the operator's error messages (a failed start-up, a failed
// save, a receiver command that cannot be sent) in a box that does not
// block: unlike MessageBox it runs no loop of its own, so a restart from a
// timer can never stack modal loops, and the other windows and the icon's
// menu stay usable. One box serves every message; a message that arrives
// while it is open replaces the text and raises the box again. A message
// whose cause is gone (a later start-up completed) is withdrawn: the box
// closes by itself.
//
// The box only reports: the program does not count it as one of its windows
// for the setup dialog's focus tracking (no activation observer). Register
// it with the main loop (Win32MainLoop::AddDialog) so Enter and Esc close it.
// Main thread only.
#pragma once

#include <string>

#include "ui/win32/window.h"

namespace orvik::ui::win32 {

class ErrorBox : public Window {
 public:
  ErrorBox();

  // Shows `message` exactly as given; returns at once.
  void Report(const std::string& message);
  // Closes the box if it shows `message`; another message stays.
  void Withdraw(const std::string& message);

  const std::string& Shown() const { return shown_; }

 protected:
  void LayOut() override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  UniqueFont font_;
  HWND icon_ = nullptr;
  HWND text_ = nullptr;
  HWND ok_ = nullptr;
  std::string shown_;
};

}  // namespace orvik::ui::win32
