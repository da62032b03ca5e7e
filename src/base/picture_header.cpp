#include "base/picture_header.h"

#include <cstring>

namespace kivo {
namespace {

std::uint32_t Big16(const unsigned char* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
std::uint32_t Big32(const unsigned char* p) { return (Big16(p) << 16) | Big16(p + 2); }
std::uint32_t Little16(const unsigned char* p) { return (std::uint32_t{p[1]} << 8) | p[0]; }
std::uint32_t Little32(const unsigned char* p) { return (Little16(p + 2) << 16) | Little16(p); }

bool StartsWith(const unsigned char* data, std::size_t size, const char* magic, std::size_t length) {
  return size >= length && std::memcmp(data, magic, length) == 0;
}

bool ReadPng(const unsigned char* data, std::size_t size, PictureSize* out) {
  // Signature, then the IHDR chunk: length, type, width, height.
  if (size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0)
    return false;
  out->width = Big32(data + 16);
  out->height = Big32(data + 20);
  return true;
}

bool ReadGif(const unsigned char* data, std::size_t size, PictureSize* out) {
  // The logical screen: the canvas every frame is drawn onto.
  if (size < 10)
    return false;
  out->width = Little16(data + 6);
  out->height = Little16(data + 8);
  return true;
}

bool ReadBmp(const unsigned char* data, std::size_t size, PictureSize* out) {
  if (size < 26)
    return false;
  std::uint32_t headerSize = Little32(data + 14);
  if (headerSize == 12) {  // the old core header: 16-bit sizes
    out->width = Little16(data + 18);
    out->height = Little16(data + 20);
    return true;
  }
  // A negative height means a top-down picture; its magnitude is the size. The most negative
  // value has no magnitude in 32 bits and is no picture's height.
  std::uint32_t width = Little32(data + 18);
  std::uint32_t height = Little32(data + 22);
  if (width & 0x80000000u)
    return false;
  if (height & 0x80000000u) {
    if (height == 0x80000000u)
      return false;
    height = 0u - height;
  }
  out->width = width;
  out->height = height;
  return true;
}

bool IsStartOfFrame(unsigned char marker) {
  // SOF0..SOF15 without DHT (C4), JPG (C8) and DAC (CC).
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

bool ReadJpeg(const unsigned char* data, std::size_t size, PictureSize* out) {
  std::size_t pos = 2;
  while (pos + 4 <= size) {
    if (data[pos] != 0xFF)
      return false;
    unsigned char marker = data[pos + 1];
    if (marker == 0xFF) {  // fill byte before a marker
      ++pos;
      continue;
    }
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      pos += 2;  // markers without a length
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA)  // end of image, or scan data before any frame
      return false;
    std::size_t length = Big16(data + pos + 2);
    if (length < 2)
      return false;
    if (IsStartOfFrame(marker)) {
      // Length, precision, height, width.
      if (length < 7 || pos + 9 > size)
        return false;
      out->height = Big16(data + pos + 5);
      out->width = Big16(data + pos + 7);
      // A height of 0 is given later by a DNL marker: unknown here.
      return out->height != 0;
    }
    pos += 2 + length;
  }
  return false;
}

}  // namespace

bool ReadPictureSize(const unsigned char* data, std::size_t size, PictureSize* out) {
  PictureSize found;
  bool known = false;
  if (StartsWith(data, size, "\x89PNG\r\n\x1a\n", 8))
    known = ReadPng(data, size, &found);
  else if (StartsWith(data, size, "GIF87a", 6) || StartsWith(data, size, "GIF89a", 6))
    known = ReadGif(data, size, &found);
  else if (StartsWith(data, size, "BM", 2))
    known = ReadBmp(data, size, &found);
  else if (StartsWith(data, size, "\xFF\xD8", 2))
    known = ReadJpeg(data, size, &found);
  if (known)
    *out = found;
  return known;
}

bool IsAcceptablePictureSize(std::uint64_t width, std::uint64_t height) {
  // Both factors are below 2^32, so the product cannot overflow 64 bits.
  return width > 0 && height > 0 && width <= 0xFFFFFFFFu && height <= 0xFFFFFFFFu &&
         width * height <= kMaxPicturePixels;
}

}  // namespace kivo
