// Reads back what a window shows, pixel by pixel, from the screen.
#pragma once

#include <windows.h>

#include <vector>

namespace kivotest {

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> data;  // rows top to bottom

  COLORREF At(int x, int y) const { return data[static_cast<std::size_t>(y) * width + x]; }
  int Count(COLORREF colour) const;
  // Pixels of row y (or of the whole picture) that equal colour.
  int CountInRow(int y, COLORREF colour) const;
  // Whether any pixel is within tolerance of colour in each channel.
  bool HasNear(COLORREF colour, int tolerance) const;
};

// The window's client area as shown, after it has painted what was pending.
Pixels CaptureClient(HWND hwnd);

// The pixel of a bitmap resource of this module at x, y.
COLORREF ResourcePixel(UINT bitmapId, int x, int y);

}  // namespace kivotest
