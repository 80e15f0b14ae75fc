// Prints the texts of a top-level window's controls, one a line, as the
// window shows them: how the tests read another program's window under wine.
//   window_texts.exe CLASS        (the window class, e.g. TForm2)
// Exit status 1 when no such window exists.
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK PrintText(HWND control, LPARAM) {
  wchar_t text[512] = {};
  DWORD_PTR ignored = 0;
  // WM_GETTEXT crosses the process boundary; bounded, should the program hang.
  ::SendMessageTimeoutW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &ignored);
  if (text[0] != 0) std::printf("%ls\n", text);
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  const HWND window = ::FindWindowW(argv[1], nullptr);
  if (window == nullptr) return 1;
  ::EnumChildWindows(window, &PrintText, 0);
  return 0;
}
