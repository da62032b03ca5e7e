// The pixel size a picture file declares in its header, read before any decoder sees it, so
// that a small file claiming a huge picture is refused before it can take gigabytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kivo {

struct PictureSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// Reads the size from the first bytes of a PNG, GIF, JPEG or BMP file. False when the data is
// none of these or is cut before the size; JPEG markers are walked only within the bytes given.
bool ReadPictureSize(const unsigned char* data, std::size_t size, PictureSize* out);

// The largest picture we decode: 4096 x 4096 pixels, 64 MiB at 32 bits per pixel. Covers and
// verification pictures are a few hundred pixels a side.
constexpr std::uint64_t kMaxPicturePixels = 4096ull * 4096ull;

bool IsAcceptablePictureSize(std::uint64_t width, std::uint64_t height);

}  // namespace kivo
