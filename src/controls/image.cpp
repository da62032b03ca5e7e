#include "controls/image.h"

#include <gdiplus.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <vector>

#include "base/picture_header.h"

namespace gp = Gdiplus;
namespace gpflat = Gdiplus::DllExports;

namespace {

// GDI+ runs while any picture lives. The count is of living CImage objects, not of loaded
// pictures, so that a GDI+ object is never freed after the shut-down.
std::mutex g_gdiplusLock;
int g_livingPictures = 0;
ULONG_PTR g_gdiplusToken = 0;

bool StartGdiplus() {
  std::lock_guard<std::mutex> lock(g_gdiplusLock);
  if (g_gdiplusToken)
    return true;
  gp::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (gp::GdiplusStartup(&token, &input, nullptr) != gp::Ok)
    return false;
  g_gdiplusToken = token;
  return true;
}

void CountPicture() {
  std::lock_guard<std::mutex> lock(g_gdiplusLock);
  ++g_livingPictures;
}

void UncountPicture() {
  std::lock_guard<std::mutex> lock(g_gdiplusLock);
  if (--g_livingPictures == 0 && g_gdiplusToken) {
    gp::GdiplusShutdown(g_gdiplusToken);
    g_gdiplusToken = 0;
  }
}

// Paths are 8-bit text in the system's code page; GDI+ takes UTF-16.
std::wstring AnsiToWide(const std::string& text) {
  if (text.empty())
    return std::wstring();
  int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0)
    return std::wstring();
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

// A decoded GDI+ bitmap, disposed of when it goes.
class GdiplusBitmap {
 public:
  GdiplusBitmap() = default;
  ~GdiplusBitmap() {
    if (bitmap_)
      gpflat::GdipDisposeImage(bitmap_);
  }
  GdiplusBitmap(const GdiplusBitmap&) = delete;
  GdiplusBitmap& operator=(const GdiplusBitmap&) = delete;
  gp::GpBitmap* get() const { return bitmap_; }
  gp::GpBitmap** Receive() { return &bitmap_; }

 private:
  gp::GpBitmap* bitmap_ = nullptr;
};

// Reads the header of a file to learn the size it declares before a decoder allocates for it.
// A JPEG's frame header may follow large metadata segments: up to 1 MiB of the file is read.
bool DeclaresTooLargePicture(const std::wstring& path, bool* readable) {
  kivo::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  *readable = file.valid();
  if (!file)
    return false;
  LARGE_INTEGER fileSize = {};
  if (!::GetFileSizeEx(file.get(), &fileSize))
    return false;
  if (fileSize.QuadPart <= 0)
    return false;
  std::vector<unsigned char> head(static_cast<std::size_t>(std::min<LONGLONG>(fileSize.QuadPart, 1 << 20)));
  DWORD got = 0;
  if (!::ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &got, nullptr))
    return false;
  kivo::PictureSize size;
  return kivo::ReadPictureSize(head.data(), got, &size) &&
         !kivo::IsAcceptablePictureSize(size.width, size.height);
}

// Formats a BI_RGB DIB holds as they are. 16 bits per pixel in BI_RGB means 5-5-5.
bool IsDibFormat(gp::PixelFormat format) {
  switch (format) {
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
    case PixelFormat16bppRGB555:
    case PixelFormat24bppRGB:
    case PixelFormat32bppRGB:
      return true;
    default:
      return false;
  }
}

const GUID kBmpFormat = {0xb96b3cab, 0x0728, 0x11d3, {0x9d, 0x7b, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};

bool FindBmpEncoder(CLSID* encoder) {
  UINT count = 0;
  UINT bytes = 0;
  if (gpflat::GdipGetImageEncodersSize(&count, &bytes) != gp::Ok || count == 0)
    return false;
  std::vector<unsigned char> buffer(bytes);
  auto* codecs = reinterpret_cast<gp::ImageCodecInfo*>(buffer.data());
  if (gpflat::GdipGetImageEncoders(count, bytes, codecs) != gp::Ok)
    return false;
  for (UINT i = 0; i < count; ++i) {
    if (codecs[i].FormatID == kBmpFormat) {
      *encoder = codecs[i].Clsid;
      return true;
    }
  }
  return false;
}

}  // namespace

CImage::CImage() { CountPicture(); }

CImage::~CImage() {
  Destroy();
  UncountPicture();
}

CImage::CImage(CImage&& other) noexcept {
  CountPicture();
  *this = std::move(other);
}

CImage& CImage::operator=(CImage&& other) noexcept {
  if (this == &other)
    return *this;
  Destroy();
  m_bitmap = std::move(other.m_bitmap);
  m_memoryDc = std::move(other.m_memoryDc);
  m_bits = other.m_bits;
  m_width = other.m_width;
  m_height = other.m_height;
  m_pitch = other.m_pitch;
  m_bitsPerPixel = other.m_bitsPerPixel;
  m_isDibSection = other.m_isDibSection;
  m_hasAlpha = other.m_hasAlpha;
  m_dcUseCount = other.m_dcUseCount;
  m_previousBitmap = other.m_previousBitmap;
  other.m_bits = nullptr;
  other.m_width = other.m_height = other.m_pitch = 0;
  other.m_bitsPerPixel = 0;
  other.m_isDibSection = other.m_hasAlpha = false;
  other.m_dcUseCount = 0;
  other.m_previousBitmap = nullptr;
  return *this;
}

bool CImage::Create(int width, int height, int bitsPerPixel) {
  return CreateSection(width, height, bitsPerPixel, false);
}

bool CImage::CreateSection(int width, int height, int bitsPerPixel, bool hasAlpha) {
  Destroy();
  if (width <= 0 || height == 0 || height == INT_MIN)
    return false;
  switch (bitsPerPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
  }
  int rows = height < 0 ? -height : height;
  long long stride = ((static_cast<long long>(width) * bitsPerPixel + 31) / 32) * 4;
  if (stride * rows > INT_MAX)
    return false;

  // The header and a colour table of up to 256 entries, zeroed.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info = {};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bitsPerPixel);
  info.header.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                      &bits, nullptr, 0);
  if (!bitmap || !bits) {
    if (bitmap)
      ::DeleteObject(bitmap);
    return false;
  }
  m_bitmap.reset(bitmap);
  m_width = width;
  m_height = rows;
  m_bitsPerPixel = static_cast<WORD>(bitsPerPixel);
  m_isDibSection = true;
  m_hasAlpha = hasAlpha;
  // Memory holds a bottom-up picture from its last row up: the top row is the last in memory.
  if (height > 0) {
    m_pitch = -static_cast<int>(stride);
    m_bits = static_cast<unsigned char*>(bits) + stride * (rows - 1);
  } else {
    m_pitch = static_cast<int>(stride);
    m_bits = static_cast<unsigned char*>(bits);
  }
  return true;
}

HRESULT CImage::Load(const std::string& path) {
  if (!StartGdiplus())
    return E_FAIL;
  std::wstring widePath = AnsiToWide(path);
  if (widePath.empty())
    return E_INVALIDARG;
  bool readable = false;
  if (DeclaresTooLargePicture(widePath, &readable))
    return E_OUTOFMEMORY;
  if (!readable)
    return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  return Decode(widePath);
}

HRESULT CImage::Decode(const std::wstring& path) {
  GdiplusBitmap decoded;
  if (gpflat::GdipCreateBitmapFromFile(path.c_str(), decoded.Receive()) != gp::Ok || !decoded.get())
    return E_FAIL;
  UINT width = 0;
  UINT height = 0;
  gp::PixelFormat format = 0;
  if (gpflat::GdipGetImageWidth(decoded.get(), &width) != gp::Ok ||
      gpflat::GdipGetImageHeight(decoded.get(), &height) != gp::Ok ||
      gpflat::GdipGetImagePixelFormat(decoded.get(), &format) != gp::Ok)
    return E_FAIL;
  // Formats whose header we do not read are bounded here, before the DIB is made.
  if (!kivo::IsAcceptablePictureSize(width, height))
    return E_OUTOFMEMORY;

  gp::PixelFormat target;
  bool hasAlpha = false;
  if (format & PixelFormatAlpha) {
    target = PixelFormat32bppARGB;
    hasAlpha = true;
  } else if (IsDibFormat(format)) {
    target = format;
  } else {
    target = PixelFormat32bppRGB;
  }
  CImage fresh;
  if (!fresh.CreateSection(static_cast<int>(width), static_cast<int>(height),
                           static_cast<int>(gp::GetPixelFormatSize(target)), hasAlpha))
    return E_OUTOFMEMORY;

  if (format & PixelFormatIndexed) {
    INT paletteBytes = 0;
    if (gpflat::GdipGetImagePaletteSize(decoded.get(), &paletteBytes) == gp::Ok &&
        paletteBytes >= static_cast<INT>(sizeof(gp::ColorPalette))) {
      std::vector<unsigned char> buffer(static_cast<std::size_t>(paletteBytes));
      auto* palette = reinterpret_cast<gp::ColorPalette*>(buffer.data());
      if (gpflat::GdipGetImagePalette(decoded.get(), palette, paletteBytes) == gp::Ok) {
        UINT entries = palette->Count;
        UINT room = (static_cast<UINT>(paletteBytes) - offsetof(gp::ColorPalette, Entries)) / sizeof(gp::ARGB);
        UINT limit = 1u << fresh.m_bitsPerPixel;
        if (entries > room)
          entries = room;
        if (entries > limit)
          entries = limit;
        std::vector<RGBQUAD> table(entries);
        for (UINT i = 0; i < entries; ++i) {
          gp::ARGB colour = palette->Entries[i];
          table[i] = RGBQUAD{static_cast<BYTE>(colour), static_cast<BYTE>(colour >> 8),
                             static_cast<BYTE>(colour >> 16), 0};
        }
        if (entries > 0) {
          HDC dc = fresh.GetDC();
          ::SetDIBColorTable(dc, 0, entries, table.data());
          fresh.ReleaseDC();
        }
      }
    }
  }

  // GDI+ hands the rows over in the target format, converting when the decoded one differs.
  // Drawing the picture onto a surface over the DIB would scale it by the file's resolution.
  gp::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  gp::BitmapData data = {};
  if (gpflat::GdipBitmapLockBits(decoded.get(), &all, gp::ImageLockModeRead, target, &data) != gp::Ok)
    return E_FAIL;
  std::size_t rowBytes = (static_cast<std::size_t>(width) * fresh.m_bitsPerPixel + 7) / 8;
  for (UINT y = 0; y < height; ++y) {
    std::memcpy(fresh.m_bits + static_cast<std::ptrdiff_t>(y) * fresh.m_pitch,
                static_cast<const unsigned char*>(data.Scan0) + static_cast<std::ptrdiff_t>(y) * data.Stride,
                rowBytes);
  }
  gpflat::GdipBitmapUnlockBits(decoded.get(), &data);
  *this = std::move(fresh);
  return S_OK;
}

HDC CImage::GetDC() {
  if (!m_bitmap)
    return nullptr;
  if (m_dcUseCount == 0) {
    m_memoryDc.reset(::CreateCompatibleDC(nullptr));
    if (!m_memoryDc)
      return nullptr;
    m_previousBitmap = ::SelectObject(m_memoryDc.get(), m_bitmap.get());
  }
  ++m_dcUseCount;
  return m_memoryDc.get();
}

void CImage::ReleaseDC() {
  if (m_dcUseCount == 0)
    return;
  if (--m_dcUseCount == 0) {
    ::SelectObject(m_memoryDc.get(), m_previousBitmap);
    m_previousBitmap = nullptr;
    m_memoryDc.reset();
  }
}

bool CImage::Draw(HDC target, int x, int y, int width, int height, int sourceWidth, int sourceHeight) {
  HDC source = GetDC();
  if (!source)
    return false;
  BOOL drawn = FALSE;
  if (m_hasAlpha) {
    // The blend wants colours already multiplied by their alpha; the picture keeps them
    // straight, as the file had them, so a premultiplied copy is blended.
    CImage premultiplied;
    if (premultiplied.CreateSection(m_width, -m_height, 32, true)) {
      for (int row = 0; row < m_height; ++row) {
        const unsigned char* from = m_bits + static_cast<std::ptrdiff_t>(row) * m_pitch;
        unsigned char* to = premultiplied.m_bits + static_cast<std::ptrdiff_t>(row) * premultiplied.m_pitch;
        for (int column = 0; column < m_width; ++column, from += 4, to += 4) {
          unsigned alpha = from[3];
          for (int channel = 0; channel < 3; ++channel)
            to[channel] = static_cast<unsigned char>((from[channel] * alpha + 127) / 255);
          to[3] = from[3];
        }
      }
      BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      drawn = ::AlphaBlend(target, x, y, width, height, premultiplied.GetDC(), 0, 0, sourceWidth,
                           sourceHeight, blend);
      premultiplied.ReleaseDC();
    }
  } else {
    drawn = ::StretchBlt(target, x, y, width, height, source, 0, 0, sourceWidth, sourceHeight, SRCCOPY);
  }
  ReleaseDC();
  return drawn != FALSE;
}

HRESULT CImage::SaveAsBmp(const std::string& path) {
  if (!m_bitmap)
    return E_UNEXPECTED;
  if (!StartGdiplus())
    return E_FAIL;
  CLSID encoder;
  if (!FindBmpEncoder(&encoder))
    return E_FAIL;
  std::wstring widePath = AnsiToWide(path);
  if (widePath.empty())
    return E_INVALIDARG;
  ::GdiFlush();  // GDI may still be writing into the DIB's pixels
  GdiplusBitmap wrapper;
  gp::GpStatus status;
  if (m_hasAlpha) {
    status = gpflat::GdipCreateBitmapFromScan0(m_width, m_height, m_pitch, PixelFormat32bppARGB, m_bits,
                                               wrapper.Receive());
  } else {
    status = gpflat::GdipCreateBitmapFromHBITMAP(m_bitmap.get(), nullptr, wrapper.Receive());
  }
  if (status != gp::Ok || !wrapper.get())
    return E_FAIL;
  if (gpflat::GdipSaveImageToFile(wrapper.get(), widePath.c_str(), &encoder, nullptr) != gp::Ok)
    return E_FAIL;
  return S_OK;
}

void CImage::Destroy() {
  if (m_dcUseCount > 0) {
    m_dcUseCount = 1;
    ReleaseDC();
  }
  m_bitmap.reset();
  m_bits = nullptr;
  m_width = m_height = m_pitch = 0;
  m_bitsPerPixel = 0;
  m_isDibSection = false;
  m_hasAlpha = false;
}

void DrawPictureFile(const std::string& path, HDC dc, int width, int height) {
  CImage picture;
  if (FAILED(picture.Load(path)))
    return;
  picture.Draw(dc, 0, 0, width, height, picture.GetWidth(), picture.GetHeight());
}
