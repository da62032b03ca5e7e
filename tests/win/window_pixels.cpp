#include "window_pixels.h"

#include "framework/handles.h"
#include "framework/win_app.h"

#include <cstdlib>

namespace kivotest {

int Pixels::Count(COLORREF colour) const {
  int n = 0;
  for (COLORREF c : data)
    n += c == colour;
  return n;
}

int Pixels::CountInRow(int y, COLORREF colour) const {
  int n = 0;
  for (int x = 0; x < width; ++x)
    n += At(x, y) == colour;
  return n;
}

bool Pixels::HasNear(COLORREF colour, int tolerance) const {
  for (COLORREF c : data) {
    if (std::abs(GetRValue(c) - GetRValue(colour)) <= tolerance &&
        std::abs(GetGValue(c) - GetGValue(colour)) <= tolerance &&
        std::abs(GetBValue(c) - GetBValue(colour)) <= tolerance)
      return true;
  }
  return false;
}

Pixels CaptureClient(HWND hwnd) {
  ::RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pixels pixels;
  RECT client{};
  ::GetClientRect(hwnd, &client);
  POINT origin{0, 0};
  ::ClientToScreen(hwnd, &origin);
  pixels.width = client.right;
  pixels.height = client.bottom;
  if (pixels.width <= 0 || pixels.height <= 0)
    return pixels;

  kivo::ScopedWindowDc screen(nullptr);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = pixels.width;
  info.bmiHeader.biHeight = -pixels.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  kivo::ScopedBitmap section(::CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  kivo::ScopedMemoryDc memory(::CreateCompatibleDC(screen.get()));
  if (!section || !memory)
    return pixels;
  {
    kivo::ScopedSelectObject select(memory.get(), section.get());
    ::BitBlt(memory.get(), 0, 0, pixels.width, pixels.height, screen.get(), origin.x, origin.y, SRCCOPY);
  }
  const auto* words = static_cast<const DWORD*>(bits);
  pixels.data.resize(static_cast<std::size_t>(pixels.width) * pixels.height);
  for (std::size_t i = 0; i < pixels.data.size(); ++i) {
    DWORD bgr = words[i];
    pixels.data[i] = RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
  }
  return pixels;
}

COLORREF ResourcePixel(UINT bitmapId, int x, int y) {
  kivo::ScopedBitmap bitmap(::LoadBitmapA(kivo::AppInstance(), MAKEINTRESOURCEA(bitmapId)));
  kivo::ScopedMemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!bitmap || !dc)
    return CLR_INVALID;
  kivo::ScopedSelectObject select(dc.get(), bitmap.get());
  return ::GetPixel(dc.get(), x, y);
}

}  // namespace kivotest
