// The display's contents as a PNG file, through GDI and the system's PNG encoder.
#include "kivo_driver.h"

#include <objbase.h>

#include <vector>

namespace kivodriver {

namespace {

// The flat GDI+ interface, declared here: the C++ wrapper headers are more than we need.
struct GdiplusStartupInput {
  UINT32 version = 1;
  void* debugCallback = nullptr;
  BOOL suppressBackgroundThread = FALSE;
  BOOL suppressExternalCodecs = FALSE;
};
using GpBitmap = void;
extern "C" {
int WINAPI GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
int WINAPI GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE palette, GpBitmap** out);
int WINAPI GdipSaveImageToFile(GpBitmap* image, const WCHAR* file, const CLSID* encoder, const void* params);
int WINAPI GdipDisposeImage(GpBitmap* image);
}

// {557CF406-1A04-11D3-9A73-0000F81EF32E}: the PNG encoder.
const CLSID kPngEncoder = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

}  // namespace

bool SaveScreenshot(const std::string& path) {
  int width = ::GetSystemMetrics(SM_CXSCREEN);
  int height = ::GetSystemMetrics(SM_CYSCREEN);
  HDC screen = ::GetDC(nullptr);
  if (!screen)
    return false;
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = ::SelectObject(memory, bitmap);
  BOOL copied = ::BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  ::SelectObject(memory, previous);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);

  bool saved = false;
  ULONG_PTR token = 0;
  GdiplusStartupInput input;
  if (copied && GdiplusStartup(&token, &input, nullptr) == 0) {
    GpBitmap* image = nullptr;
    if (GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == 0) {
      int length = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
      std::vector<WCHAR> wide(static_cast<std::size_t>(length));
      ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), length);
      saved = GdipSaveImageToFile(image, wide.data(), &kPngEncoder, nullptr) == 0;
      GdipDisposeImage(image);
    }
    GdiplusShutdown(token);
  }
  ::DeleteObject(bitmap);
  return saved;
}

}  // namespace kivodriver
