#include "ui/win32/program_icon.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "ui/win32/window.h"

namespace orvik::ui::win32 {

namespace {

constexpr int kSize = 32;
// Drawn on this colour, which the picture never uses; what keeps it is transparent.
constexpr COLORREF kKey = RGB(255, 0, 255);

void DrawPicture(HDC dc) {
  const UniqueGdiObject<HBRUSH> key(::CreateSolidBrush(kKey));
  const RECT all{0, 0, kSize, kSize};
  ::FillRect(dc, &all, key.get());

  // Clock face.
  const UniqueGdiObject<HPEN> rim(::CreatePen(PS_SOLID, 2, RGB(0, 0, 128)));
  const UniqueGdiObject<HBRUSH> face(::CreateSolidBrush(RGB(255, 255, 255)));
  ::SelectObject(dc, rim.get());
  ::SelectObject(dc, face.get());
  ::Ellipse(dc, 3, 7, 28, 32);
  const UniqueGdiObject<HPEN> hand(::CreatePen(PS_SOLID, 2, RGB(0, 0, 0)));
  ::SelectObject(dc, hand.get());
  ::MoveToEx(dc, 15, 19, nullptr);
  ::LineTo(dc, 15, 11);  // minute hand
  ::MoveToEx(dc, 15, 19, nullptr);
  ::LineTo(dc, 21, 21);  // hour hand
  const UniqueGdiObject<HBRUSH> red(::CreateSolidBrush(RGB(255, 0, 0)));
  ::SelectObject(dc, ::GetStockObject(NULL_PEN));
  ::SelectObject(dc, red.get());
  ::Ellipse(dc, 13, 17, 18, 22);

  // Signal arcs from the top right corner.
  const UniqueGdiObject<HPEN> signal(::CreatePen(PS_SOLID, 2, RGB(0, 128, 0)));
  ::SelectObject(dc, signal.get());
  ::Arc(dc, 22, -6, 38, 10, 22, 2, 30, 10);
  ::Arc(dc, 17, -11, 43, 15, 17, 2, 30, 15);
  ::SelectObject(dc, ::GetStockObject(BLACK_PEN));
  ::SelectObject(dc, ::GetStockObject(WHITE_BRUSH));
}

}  // namespace

HICON MakeProgramIcon() {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kSize;
  info.bmiHeader.biHeight = -kSize;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HDC screen = ::GetDC(nullptr);
  const UniqueGdiObject<HBITMAP> color(
      ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ::ReleaseDC(nullptr, screen);
  if (color.get() == nullptr || bits == nullptr) return nullptr;

  const HDC dc = ::CreateCompatibleDC(nullptr);
  const HGDIOBJ previous = ::SelectObject(dc, color.get());
  DrawPicture(dc);
  ::GdiFlush();
  ::SelectObject(dc, previous);
  ::DeleteDC(dc);

  // The key colour becomes transparent (alpha 0, mask bit set), everything
  // else opaque. Mask rows are 32 bits here, the leftmost pixel the top bit.
  auto* pixels = static_cast<std::uint32_t*>(bits);
  const std::uint32_t key_pixel = 0x00ff00ffu;  // kKey as a DIB pixel without alpha
  std::array<std::uint8_t, kSize * kSize / 8> mask_bits{};
  for (int i = 0; i < kSize * kSize; ++i) {
    const bool transparent = (pixels[i] & 0x00ffffffu) == key_pixel;
    pixels[i] = transparent ? 0u : (pixels[i] | 0xff000000u);
    if (transparent) mask_bits[static_cast<std::size_t>(i / 8)] |= static_cast<std::uint8_t>(0x80u >> (i % 8));
  }
  const UniqueGdiObject<HBITMAP> mask(::CreateBitmap(kSize, kSize, 1, 1, mask_bits.data()));
  ICONINFO icon{};
  icon.fIcon = TRUE;
  icon.hbmColor = color.get();
  icon.hbmMask = mask.get();
  return ::CreateIconIndirect(&icon);
}

}  // namespace orvik::ui::win32
