// CImage: a picture held as a DIB section, decoded and encoded with the system's codecs
// (GDI+). GDI+ runs while any CImage lives: it starts on the first Load or SaveAsBmp and
// stops when the last picture of the process is destroyed.
#pragma once

#include <windows.h>

#include <string>

#include "framework/handles.h"

class CImage {
 public:
  CImage();
  ~CImage();
  CImage(CImage&& other) noexcept;
  CImage& operator=(CImage&& other) noexcept;
  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;

  // An empty DIB section: bottom-up for a positive height, top-down for a negative one,
  // BI_RGB, its colour table zeroed for 8 bits per pixel or less.
  bool Create(int width, int height, int bitsPerPixel);
  // Decodes a picture file (JPEG, GIF, PNG, BMP, whatever the system reads). The depth follows
  // the decoded format: alpha formats become 32-bit ARGB, formats a DIB holds directly keep
  // their depth (and palette), the rest become 32-bit RGB. On failure the picture is left as it
  // was. A picture above kivo::kMaxPicturePixels is refused.
  HRESULT Load(const std::string& path);
  // The memory DC with the bitmap selected. Calls nest: each GetDC needs its ReleaseDC, and
  // the DC goes when the last one is released.
  HDC GetDC();
  void ReleaseDC();
  // Blits the whole picture (source origin 0, 0) to the destination rectangle, stretching as
  // needed; a picture with alpha is blended over what the target holds.
  bool Draw(HDC target, int x, int y, int width, int height, int sourceWidth, int sourceHeight);
  HRESULT SaveAsBmp(const std::string& path);
  void Destroy();

  bool IsNull() const { return !m_bitmap; }
  HBITMAP GetBitmap() const { return m_bitmap.get(); }
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }
  int GetPitch() const { return m_pitch; }
  int GetBPP() const { return m_bitsPerPixel; }
  bool HasAlpha() const { return m_hasAlpha; }
  bool IsDibSection() const { return m_isDibSection; }
  // The top pixel row; the next row is GetPitch() bytes on.
  const void* GetBits() const { return m_bits; }
  void* GetBits() { return m_bits; }

 private:
  bool CreateSection(int width, int height, int bitsPerPixel, bool hasAlpha);
  HRESULT Decode(const std::wstring& path);

  kivo::ScopedBitmap m_bitmap;
  unsigned char* m_bits = nullptr;
  int m_width = 0;
  int m_height = 0;
  int m_pitch = 0;
  WORD m_bitsPerPixel = 0;
  bool m_isDibSection = false;
  bool m_hasAlpha = false;
  kivo::ScopedMemoryDc m_memoryDc;
  int m_dcUseCount = 0;
  HGDIOBJ m_previousBitmap = nullptr;
};

// Draws a picture file stretched to exactly width x height at (0, 0) of the target; a file that
// cannot be decoded leaves the target as it was.
void DrawPictureFile(const std::string& path, HDC dc, int width, int height);
