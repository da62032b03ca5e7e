#include "base/picture_header.h"

#include <gtest/gtest.h>

#include <string>

namespace kivo {
namespace {

std::string Big32(std::uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string Little16(std::uint32_t v) { return {char(v), char(v >> 8)}; }
std::string Little32(std::uint32_t v) { return Little16(v) + Little16(v >> 16); }

std::string Png(std::uint32_t width, std::uint32_t height) {
  return std::string("\x89PNG\r\n\x1a\n", 8) + Big32(13) + "IHDR" + Big32(width) + Big32(height) +
         std::string("\x08\x02\x00\x00\x00", 5);
}
std::string Gif(std::uint32_t width, std::uint32_t height) {
  return "GIF89a" + Little16(width) + Little16(height) + std::string("\xF7\x00\x00", 3);
}
std::string Bmp(std::uint32_t width, std::uint32_t height) {
  return "BM" + Little32(0) + Little32(0) + Little32(54) + Little32(40) + Little32(width) +
         Little32(height) + Little16(1) + Little16(24);
}
std::string BmpCore(std::uint32_t width, std::uint32_t height) {
  return "BM" + Little32(0) + Little32(0) + Little32(26) + Little32(12) + Little16(width) +
         Little16(height) + Little16(1) + Little16(24);
}
// Start of image, an APP0 segment, a quantisation table segment, then the frame header.
std::string Jpeg(std::uint32_t width, std::uint32_t height, unsigned char frameMarker = 0xC0) {
  std::string app0 = std::string("\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 18);
  std::string dqt = std::string("\xFF\xDB\x00\x43\x00", 5) + std::string(64, '\x10');
  std::string sof = std::string("\xFF") + char(frameMarker) + std::string("\x00\x11\x08", 3) +
                    char(height >> 8) + char(height) + char(width >> 8) + char(width) +
                    std::string("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10);
  return std::string("\xFF\xD8", 2) + app0 + dqt + sof;
}

bool Read(const std::string& bytes, PictureSize* size) {
  return ReadPictureSize(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), size);
}

TEST(ReadPictureSize, ReadsTheDeclaredSizeOfEachFormat) {
  struct Case {
    const char* what;
    std::string bytes;
    std::uint32_t width, height;
  };
  const Case cases[] = {
      {"png", Png(160, 120), 160, 120},
      {"huge png", Png(20000, 20000), 20000, 20000},
      {"gif", Gif(75, 300), 75, 300},
      {"bmp bottom-up", Bmp(101, 99), 101, 99},
      {"bmp top-down", Bmp(64, 0u - 48u), 64, 48},
      {"bmp core header", BmpCore(40, 20), 40, 20},
      {"jpeg baseline", Jpeg(1024, 768), 1024, 768},
      {"jpeg progressive", Jpeg(65535, 65535, 0xC2), 65535, 65535},
      {"jpeg with fill bytes", std::string("\xFF\xD8\xFF\xFF", 4) + Jpeg(3, 5).substr(2), 3, 5},
  };
  for (const Case& c : cases) {
    PictureSize size;
    ASSERT_TRUE(Read(c.bytes, &size)) << c.what;
    EXPECT_EQ(c.width, size.width) << c.what;
    EXPECT_EQ(c.height, size.height) << c.what;
  }
}

TEST(ReadPictureSize, UnknownOrCutDataGivesNoSize) {
  std::string jpeg = Jpeg(640, 480);
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"empty", ""},
      {"text", "<html>not found</html>"},
      {"png cut in the size", Png(160, 120).substr(0, 22)},
      {"png without IHDR first", std::string("\x89PNG\r\n\x1a\n", 8) + Big32(0) + "IEND" + Big32(1) + Big32(1)},
      {"gif cut", Gif(10, 10).substr(0, 9)},
      {"bmp cut", Bmp(10, 10).substr(0, 25)},
      {"bmp most negative height", Bmp(10, 0x80000000u)},
      {"bmp negative width", Bmp(0u - 10u, 10)},
      {"jpeg cut before the frame", jpeg.substr(0, jpeg.size() - 19)},
      {"jpeg cut in the frame header", jpeg.substr(0, jpeg.size() - 13)},
      {"jpeg cut in the frame's size", jpeg.substr(0, jpeg.size() - 11)},
      {"jpeg height left to a later marker", Jpeg(640, 0)},
      {"jpeg segment length below 2", std::string("\xFF\xD8\xFF\xE0\x00\x01\xFF\xC0", 8) + std::string(20, '\0')},
      {"jpeg scan before any frame", std::string("\xFF\xD8\xFF\xDA\x00\x08", 6) + std::string(20, '\0')},
      {"jpeg garbage between segments", std::string("\xFF\xD8\x00\x00\xFF\xC0", 6) + std::string(20, '\x01')},
  };
  for (const auto& c : cases) {
    PictureSize size;
    size.width = 7;
    EXPECT_FALSE(Read(c.bytes, &size)) << c.what;
    EXPECT_EQ(7u, size.width) << c.what << ": the size is left alone";
  }
}

TEST(IsAcceptablePictureSize, BoundsThePixelCount) {
  EXPECT_TRUE(IsAcceptablePictureSize(1, 1));
  EXPECT_TRUE(IsAcceptablePictureSize(4096, 4096));
  EXPECT_TRUE(IsAcceptablePictureSize(4096 * 4096, 1));
  EXPECT_FALSE(IsAcceptablePictureSize(4096, 4097));
  EXPECT_FALSE(IsAcceptablePictureSize(20000, 20000));
  EXPECT_FALSE(IsAcceptablePictureSize(0, 100));
  EXPECT_FALSE(IsAcceptablePictureSize(100, 0));
  // Sizes whose product would wrap in 32 or 64 bits.
  EXPECT_FALSE(IsAcceptablePictureSize(65536, 65536));
  EXPECT_FALSE(IsAcceptablePictureSize(0xFFFFFFFFull, 0xFFFFFFFFull));
  EXPECT_FALSE(IsAcceptablePictureSize(1ull << 40, 1ull << 40));
}

}  // namespace
}  // namespace kivo
