// CImage, CThumbnailList and DrawPictureFile under Wine, on real picture files, reading the
// pixels back. The files come from make_test_pictures.py at build time: a "grid" picture has
// red = x, green = y, blue = 200 at each pixel, so a test can tell where a pixel came from.
#include "controls/image.h"
#include "controls/thumbnail_list.h"
#include "framework/controls.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::uint32_t kWhite = 0xFFFFFF;

std::string PicturesDir() {
  std::string dir = KIVO_TEST_PICTURES_DIR;
  for (char& c : dir)
    if (c == '/')
      c = '\\';
  return dir + "\\";
}

std::string Source(const std::string& name) { return PicturesDir() + name; }

// MakeThumbnail overwrites its file: each test works on a copy in a scratch folder.
std::string Scratch(const std::string& name) {
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  std::string dir = std::string(temp) + "kivo-pictures-test\\";
  ::CreateDirectoryA(dir.c_str(), nullptr);
  return dir + name;
}

std::string ScratchCopy(const std::string& name) {
  std::string copy = Scratch(name);
  EXPECT_TRUE(::CopyFileA(Source(name).c_str(), copy.c_str(), FALSE)) << name;
  return copy;
}

std::uint32_t Rgb(int r, int g, int b) {
  return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | static_cast<std::uint32_t>(b);
}

std::string Hex(std::uint32_t colour) {
  char text[16];
  std::snprintf(text, sizeof text, "%06X", static_cast<unsigned>(colour));
  return text;
}

bool Near(std::uint32_t a, std::uint32_t b, int tolerance) {
  for (int shift = 0; shift <= 16; shift += 8) {
    int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (d > tolerance || d < -tolerance)
      return false;
  }
  return true;
}

// A 32-bit top-down surface whose pixels can be read as 0xRRGGBB.
class Surface {
 public:
  Surface(int width, int height, std::uint32_t fill) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<std::uint32_t*>(bits);
    dc_.reset(::CreateCompatibleDC(nullptr));
    previous_ = ::SelectObject(dc_.get(), bitmap_.get());
    for (int i = 0; i < width * height; ++i)
      bits_[i] = fill;
  }
  ~Surface() { ::SelectObject(dc_.get(), previous_); }
  HDC dc() const { return dc_.get(); }
  std::uint32_t At(int x, int y) const {
    ::GdiFlush();
    return bits_[y * width_ + x] & 0xFFFFFF;
  }
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  int width_, height_;
  kivo::ScopedBitmap bitmap_;
  kivo::ScopedMemoryDc dc_;
  HGDIOBJ previous_ = nullptr;
  std::uint32_t* bits_ = nullptr;
};

// What the list view shows of one image: the image list draws it over a background, pure
// black pixels letting the background through.
std::unique_ptr<Surface> DrawListImage(HIMAGELIST list, int index, std::uint32_t background) {
  auto surface = std::make_unique<Surface>(100, 100, background);
  EXPECT_TRUE(::ImageList_Draw(list, index, surface->dc(), 0, 0, ILD_TRANSPARENT));
  return surface;
}

// Counts the pixels that differ from what expected(x, y) says; reports the first few.
template <typename Expected>
int CountWrongPixels(const Surface& surface, Expected expected, const std::string& what) {
  int wrong = 0;
  for (int y = 0; y < surface.height(); ++y) {
    for (int x = 0; x < surface.width(); ++x) {
      std::uint32_t want = expected(x, y);
      std::uint32_t got = surface.At(x, y);
      if (got != want && ++wrong <= 3)
        ADD_FAILURE() << what << ": pixel (" << x << ", " << y << ") is " << Hex(got) << ", expected " << Hex(want);
    }
  }
  return wrong;
}

std::uint32_t GridPixel(int x, int y) { return Rgb(x & 0xFF, y & 0xFF, 200); }

// A list view in a window of its own, with the thumbnail list attached as the program does.
class ThumbnailListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hwnd_ = ::CreateWindowExA(0, WC_LISTVIEWA, "", WS_POPUP | LVS_ICON, 0, 0, 400, 300, nullptr, nullptr,
                              ::GetModuleHandleA(nullptr), nullptr);
    ASSERT_TRUE(hwnd_);
    ASSERT_TRUE(list_.SubclassWindow(hwnd_));
    ASSERT_TRUE(thumbnails_.CreateThumbnailList(list_));
  }
  void TearDown() override {
    list_.UnsubclassWindow();
    ::DestroyWindow(hwnd_);
  }
  HIMAGELIST Images() const { return thumbnails_.GetImageList(); }
  int Count() const { return ::ImageList_GetImageCount(Images()); }

  HWND hwnd_ = nullptr;
  kivo::CListCtrl list_;
  CThumbnailList thumbnails_;
};

TEST(Image, LoadKeepsOrWidensTheDepthByTheDecodedFormat) {
  const struct {
    const char* file;
    int width, height, bitsPerPixel;
    bool hasAlpha;
  } cases[] = {
      {"alpha_100x100.png", 100, 100, 32, true},
      {"palette_64x48.gif", 64, 48, 8, false},
      {"solid_64x48.jpg", 64, 48, 24, false},
      {"solid_64x48.png", 64, 48, 24, false},
      {"grid_160x120.bmp", 160, 120, 24, false},
  };
  for (const auto& c : cases) {
    CImage picture;
    ASSERT_EQ(S_OK, picture.Load(Source(c.file))) << c.file;
    EXPECT_EQ(c.width, picture.GetWidth()) << c.file;
    EXPECT_EQ(c.height, picture.GetHeight()) << c.file;
    EXPECT_EQ(c.bitsPerPixel, picture.GetBPP()) << c.file;
    EXPECT_EQ(c.hasAlpha, picture.HasAlpha()) << c.file;
    EXPECT_TRUE(picture.IsDibSection()) << c.file;
    EXPECT_EQ(-((c.width * c.bitsPerPixel + 31) / 32 * 4), picture.GetPitch()) << c.file;
  }
}

TEST(Image, PixelsArriveInTheirRowsAndColours) {
  CImage jpeg;
  ASSERT_EQ(S_OK, jpeg.Load(Source("solid_64x48.jpg")));
  Surface surface(64, 48, 0);
  ASSERT_TRUE(jpeg.Draw(surface.dc(), 0, 0, 64, 48, 64, 48));
  for (POINT p : {POINT{0, 0}, POINT{63, 0}, POINT{31, 24}, POINT{0, 47}, POINT{63, 47}})
    EXPECT_TRUE(Near(Rgb(30, 120, 220), surface.At(p.x, p.y), 6)) << p.x << "," << p.y << ": " << Hex(surface.At(p.x, p.y));

  // A grid keeps every pixel where it was, top row first.
  CImage grid;
  ASSERT_EQ(S_OK, grid.Load(Source("grid_160x120.bmp")));
  Surface gridSurface(160, 120, 0);
  ASSERT_TRUE(grid.Draw(gridSurface.dc(), 0, 0, 160, 120, 160, 120));
  EXPECT_EQ(0, CountWrongPixels(gridSurface, GridPixel, "grid"));
  const auto* top = static_cast<const unsigned char*>(grid.GetBits());
  EXPECT_EQ(200, top[0]);    // blue of (0, 0)
  EXPECT_EQ(0, top[1]);      // green: row 0
  const unsigned char* last = top + 119 * grid.GetPitch();
  EXPECT_EQ(119, last[1]);   // green: row 119
  EXPECT_EQ(159, last[159 * 3 + 2]);  // red: column 159

  // Alpha stays straight in the picture, as the file had it: orange at half alpha.
  CImage alpha;
  ASSERT_EQ(S_OK, alpha.Load(Source("alpha_100x100.png")));
  const auto* row60 = static_cast<const unsigned char*>(alpha.GetBits()) + 60 * alpha.GetPitch();
  EXPECT_EQ(0, row60[0]);
  EXPECT_EQ(100, row60[1]);
  EXPECT_EQ(200, row60[2]);
  EXPECT_EQ(128, row60[3]);
}

TEST(Image, AnIndexedPictureKeepsItsPalette) {
  CImage gif;
  ASSERT_EQ(S_OK, gif.Load(Source("palette_64x48.gif")));
  ASSERT_EQ(8, gif.GetBPP());
  RGBQUAD table[256] = {};
  HDC dc = gif.GetDC();
  ASSERT_EQ(256u, ::GetDIBColorTable(dc, 0, 256, table));
  gif.ReleaseDC();
  // The service's palette: a 6 x 7 x 6 colour cube, then four greys.
  int i = 0;
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 7; ++g)
      for (int b = 0; b < 6; ++b, ++i)
        EXPECT_EQ(Rgb(r * 51, g * 255 / 6, b * 51), Rgb(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue)) << i;
  for (int k : {64, 128, 192, 255}) {
    EXPECT_EQ(Rgb(k, k, k), Rgb(table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue)) << i;
    ++i;
  }
}

TEST(Image, CreateMakesBottomUpOrTopDownSections) {
  CImage bottomUp;
  ASSERT_TRUE(bottomUp.Create(10, 5, 24));
  EXPECT_EQ(-32, bottomUp.GetPitch());
  CImage topDown;
  ASSERT_TRUE(topDown.Create(10, -5, 24));
  EXPECT_EQ(32, topDown.GetPitch());
  EXPECT_EQ(5, topDown.GetHeight());

  // GetBits is the top row in both: a pixel written there is the one at y = 0.
  for (CImage* picture : {&bottomUp, &topDown}) {
    auto* top = static_cast<unsigned char*>(picture->GetBits());
    top[0] = 0x11;  // blue
    top[1] = 0x22;
    top[2] = 0x33;
    ::GdiFlush();
    EXPECT_EQ(RGB(0x33, 0x22, 0x11), ::GetPixel(picture->GetDC(), 0, 0));
    picture->ReleaseDC();
  }

  CImage indexed;
  ASSERT_TRUE(indexed.Create(3, 3, 8));
  RGBQUAD table[256];
  std::memset(table, 0xAB, sizeof table);
  ASSERT_EQ(256u, ::GetDIBColorTable(indexed.GetDC(), 0, 256, table));
  indexed.ReleaseDC();
  for (const RGBQUAD& entry : table)
    ASSERT_EQ(0, entry.rgbRed | entry.rgbGreen | entry.rgbBlue | entry.rgbReserved);

  CImage bad;
  EXPECT_FALSE(bad.Create(0, 10, 24));
  EXPECT_FALSE(bad.Create(10, 10, 7));
  EXPECT_TRUE(bad.IsNull());
}

TEST(Image, NestedGetDcSharesOneContextUntilTheLastRelease) {
  CImage picture;
  ASSERT_TRUE(picture.Create(8, 8, 24));
  HDC first = picture.GetDC();
  HDC second = picture.GetDC();
  ASSERT_TRUE(first);
  EXPECT_EQ(first, second);
  picture.ReleaseDC();
  EXPECT_EQ(picture.GetBitmap(), ::GetCurrentObject(first, OBJ_BITMAP)) << "still selected after one release";
  picture.ReleaseDC();
  EXPECT_EQ(0u, ::GetObjectType(first)) << "the context is gone after the last release";
  // The bitmap is free again: another context can select it.
  kivo::ScopedMemoryDc other(::CreateCompatibleDC(nullptr));
  HGDIOBJ previous = ::SelectObject(other.get(), picture.GetBitmap());
  EXPECT_TRUE(previous && previous != HGDI_ERROR);
  ::SelectObject(other.get(), previous);
}

TEST(Image, AFailedLoadLeavesThePictureAsItWas) {
  CImage picture;
  ASSERT_EQ(S_OK, picture.Load(Source("grid_75x75.png")));
  HBITMAP bitmap = picture.GetBitmap();
  for (const char* file : {"broken.jpg", "html.jpg", "empty.png", "no-such-file.jpg"}) {
    EXPECT_TRUE(FAILED(picture.Load(Source(file)))) << file;
    EXPECT_EQ(75, picture.GetWidth()) << file;
    EXPECT_EQ(bitmap, picture.GetBitmap()) << file;
  }
}

TEST(Image, SavedBmpReadsBackWithTheSamePixels) {
  for (const char* file : {"grid_75x75.png", "palette_64x48.gif"}) {
    CImage picture;
    ASSERT_EQ(S_OK, picture.Load(Source(file))) << file;
    std::string saved = Scratch(std::string("saved-") + file + ".bmp");
    ASSERT_EQ(S_OK, picture.SaveAsBmp(saved)) << file;
    CImage again;
    ASSERT_EQ(S_OK, again.Load(saved)) << file;
    ASSERT_EQ(picture.GetWidth(), again.GetWidth()) << file;
    ASSERT_EQ(picture.GetHeight(), again.GetHeight()) << file;
    Surface before(picture.GetWidth(), picture.GetHeight(), 0x808080);
    Surface after(picture.GetWidth(), picture.GetHeight(), 0x808080);
    picture.Draw(before.dc(), 0, 0, picture.GetWidth(), picture.GetHeight(), picture.GetWidth(), picture.GetHeight());
    again.Draw(after.dc(), 0, 0, again.GetWidth(), again.GetHeight(), again.GetWidth(), again.GetHeight());
    EXPECT_EQ(0, CountWrongPixels(after, [&](int x, int y) { return before.At(x, y); }, file));
  }
  // A picture with alpha is saved with its colours as they are, not multiplied by the alpha
  // (whether the file keeps the alpha itself is the encoder's choice).
  CImage alpha;
  ASSERT_EQ(S_OK, alpha.Load(Source("alpha_100x100.png")));
  std::string saved = Scratch("saved-alpha.bmp");
  ASSERT_EQ(S_OK, alpha.SaveAsBmp(saved));
  CImage again;
  ASSERT_EQ(S_OK, again.Load(saved));
  ASSERT_GE(again.GetBPP(), 24);
  const int step = again.GetBPP() / 8;
  for (int y : {10, 60}) {
    const auto* row = static_cast<const unsigned char*>(again.GetBits()) + y * again.GetPitch();
    const unsigned char* pixel = row + 50 * step;
    const unsigned char* want = static_cast<const unsigned char*>(alpha.GetBits()) + y * alpha.GetPitch() + 50 * 4;
    EXPECT_EQ(Rgb(want[2], want[1], want[0]), Rgb(pixel[2], pixel[1], pixel[0])) << "row " << y;
  }
}

TEST(Image, GdiplusStartsAgainAfterTheLastPictureWent) {
  for (int round = 0; round < 3; ++round) {
    CImage picture;
    ASSERT_EQ(S_OK, picture.Load(Source("grid_40x20.bmp"))) << "round " << round;
    ASSERT_EQ(S_OK, picture.SaveAsBmp(Scratch("restart.bmp"))) << "round " << round;
  }
}

TEST(DrawPictureFile, StretchesAnyPictureToExactlyTheGivenSize) {
  const std::uint32_t grey = 0x808080;
  const struct {
    const char* file;
    int width, height;
    int tolerance;  // shrinking merges pixels
  } cases[] = {
      {"grid_40x20.bmp", 40, 20, 0},
      {"grid_300x200.png", 300, 200, 8},
      {"alpha_100x100.png", 100, 100, -1},
  };
  for (const auto& c : cases) {
    Surface surface(140, 60, grey);
    DrawPictureFile(Source(c.file), surface.dc(), 130, 53);
    for (int y = 0; y < 60; ++y) {
      for (int x = 0; x < 140; ++x) {
        bool inside = x < 130 && y < 53;
        if (!inside) {
          ASSERT_EQ(grey, surface.At(x, y)) << c.file << " drew outside at " << x << "," << y;
        } else if (c.tolerance >= 0) {
          ASSERT_NE(grey, surface.At(x, y)) << c.file << " left a gap at " << x << "," << y;
        }
      }
    }
    if (c.tolerance < 0)
      continue;
    const struct { int x, y, px, py; } corners[] = {
        {0, 0, 0, 0}, {129, 0, c.width - 1, 0}, {0, 52, 0, c.height - 1}, {129, 52, c.width - 1, c.height - 1}};
    for (const auto& corner : corners)
      EXPECT_TRUE(Near(GridPixel(corner.px, corner.py), surface.At(corner.x, corner.y), c.tolerance))
          << c.file << " corner " << corner.x << "," << corner.y << ": " << Hex(surface.At(corner.x, corner.y));
  }
  // The alpha picture's opaque red band spans the top quarter of the target.
  Surface alpha(130, 53, grey);
  DrawPictureFile(Source("alpha_100x100.png"), alpha.dc(), 130, 53);
  EXPECT_EQ(Rgb(255, 0, 0), alpha.At(65, 5));
  EXPECT_EQ(grey, alpha.At(65, 20)) << "the clear band lets the target show";
}

TEST(DrawPictureFile, AnUndecodablePictureLeavesTheTargetAsItWas) {
  for (const char* file : {"broken.jpg", "empty.png", "no-such-file.png"}) {
    Surface surface(130, 53, 0x123456);
    DrawPictureFile(Source(file), surface.dc(), 130, 53);
    EXPECT_EQ(0, CountWrongPixels(surface, [](int, int) { return 0x123456u; }, file));
  }
}

TEST_F(ThumbnailListTest, CoversAreCentredAtTheirOwnSizeOnWhite) {
  const struct {
    const char* file;
    int width, height, x, y;
  } cases[] = {
      {"grid_100x100.png", 100, 100, 0, 0},
      {"grid_160x120.bmp", 160, 120, -30, -10},
      {"grid_75x75.png", 75, 75, 12, 12},
      {"grid_101x100.bmp", 101, 100, 0, 0},
      {"grid_103x100.png", 103, 100, -1, 0},
  };
  thumbnails_.ClearThumbnails();
  for (const auto& c : cases) {
    std::string path = ScratchCopy(c.file);
    int index = thumbnails_.MakeThumbnail(path);
    ASSERT_NE(-1, index) << c.file;
    auto shown = DrawListImage(Images(), index, 0x00FF00);
    auto expected = [&](int x, int y) {
      int px = x - c.x;
      int py = y - c.y;
      bool onCover = px >= 0 && py >= 0 && px < c.width && py < c.height;
      return onCover ? GridPixel(px, py) : kWhite;
    };
    EXPECT_EQ(0, CountWrongPixels(*shown, expected, c.file));

    // The file now holds the 100 x 100 thumbnail as a BMP.
    kivo::ScopedBitmap saved(static_cast<HBITMAP>(::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE)));
    ASSERT_TRUE(saved) << c.file;
    BITMAP info = {};
    ::GetObjectA(saved.get(), sizeof info, &info);
    EXPECT_EQ(100, info.bmWidth) << c.file;
    EXPECT_EQ(100, info.bmHeight) << c.file;
  }
  thumbnails_.RefreshThumbnailList(list_);
  EXPECT_EQ(5, Count());
}

TEST_F(ThumbnailListTest, PureBlackShowsTheBackgroundAndNearlyBlackStays) {
  thumbnails_.ClearThumbnails();
  int index = thumbnails_.MakeThumbnail(ScratchCopy("mask_100x100.bmp"));
  thumbnails_.RefreshThumbnailList(list_);
  ASSERT_NE(-1, index);
  const std::uint32_t background = Rgb(0, 160, 80);
  auto shown = DrawListImage(Images(), index, background);
  EXPECT_EQ(0, CountWrongPixels(*shown, [&](int x, int) { return x < 50 ? background : Rgb(1, 1, 1); }, "mask"));
}

TEST_F(ThumbnailListTest, AlphaIsBlendedOntoTheWhiteCanvas) {
  thumbnails_.ClearThumbnails();
  int index = thumbnails_.MakeThumbnail(ScratchCopy("alpha_100x100.png"));
  thumbnails_.RefreshThumbnailList(list_);
  ASSERT_NE(-1, index);
  auto shown = DrawListImage(Images(), index, 0x000000);
  // Opaque red; clear; orange (200, 100, 0) at alpha 128; green at alpha 64.
  const std::uint32_t bands[] = {Rgb(255, 0, 0), kWhite, Rgb(227, 177, 127), Rgb(191, 255, 191)};
  for (int band = 0; band < 4; ++band) {
    for (int y : {band * 25, band * 25 + 12, band * 25 + 24})
      for (int x : {0, 50, 99})
        EXPECT_TRUE(Near(bands[band], shown->At(x, y), 2)) << "band " << band << " at " << x << "," << y << ": " << Hex(shown->At(x, y));
  }
}

TEST_F(ThumbnailListTest, ACoverThatCannotBeDecodedGivesAWhiteTile) {
  thumbnails_.ClearThumbnails();
  // A real cover first: what it leaves on the canvas must not show in the next tiles.
  ASSERT_EQ(0, thumbnails_.MakeThumbnail(ScratchCopy("grid_100x100.png")));
  std::string empty = Scratch("empty-cover.jpg");
  kivo::ScopedHandle(::CreateFileA(empty.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const std::string covers[] = {Scratch("never-downloaded.jpg"), empty, ScratchCopy("broken.jpg"),
                                ScratchCopy("html.jpg")};
  ::DeleteFileA(covers[0].c_str());
  int expectedIndex = 1;
  for (const std::string& cover : covers) {
    int index = thumbnails_.MakeThumbnail(cover);
    ASSERT_EQ(expectedIndex++, index) << cover;
    auto shown = DrawListImage(Images(), index, 0x00FF00);
    EXPECT_EQ(0, CountWrongPixels(*shown, [](int, int) { return kWhite; }, cover));
  }
  thumbnails_.RefreshThumbnailList(list_);
}

TEST_F(ThumbnailListTest, AHugePictureGivesAWhiteTileWithoutTakingTheMemory) {
  PROCESS_MEMORY_COUNTERS before = {};
  before.cb = sizeof before;
  ASSERT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof before));
  DWORD start = ::GetTickCount();
  thumbnails_.ClearThumbnails();
  int index = thumbnails_.MakeThumbnail(ScratchCopy("huge_20000x20000.png"));
  thumbnails_.RefreshThumbnailList(list_);
  DWORD elapsed = ::GetTickCount() - start;
  PROCESS_MEMORY_COUNTERS after = {};
  after.cb = sizeof after;
  ASSERT_TRUE(::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof after));
  ASSERT_EQ(0, index);
  EXPECT_EQ(0, CountWrongPixels(*DrawListImage(Images(), index, 0x00FF00), [](int, int) { return kWhite; }, "huge"));
  // The picture would take 1.2 GB decoded, 1.6 GB as a 32-bit DIB.
  EXPECT_LT(after.PeakWorkingSetSize, before.PeakWorkingSetSize + 64u * 1024 * 1024)
      << "peak working set grew from " << before.PeakWorkingSetSize << " to " << after.PeakWorkingSetSize;
  EXPECT_LT(elapsed, 5000u);
}

// The listing worker calls the three operations from its own thread while the window's thread
// runs the list view, as the program does.
TEST_F(ThumbnailListTest, AListingOnAWorkerNumbersItsImagesFromZero) {
  thumbnails_.ClearThumbnails();
  ASSERT_EQ(0, thumbnails_.MakeThumbnail(ScratchCopy("grid_75x75.png")));
  ASSERT_EQ(1, thumbnails_.MakeThumbnail(ScratchCopy("grid_40x20.bmp")));
  thumbnails_.RefreshThumbnailList(list_);
  ASSERT_EQ(2, Count());

  const char* files[] = {"grid_100x100.png", "solid_64x48.jpg", "broken.jpg", "palette_64x48.gif", "grid_160x120.bmp"};
  std::vector<std::string> paths;
  for (const char* file : files)
    paths.push_back(ScratchCopy(file));
  std::vector<int> indices;
  int countAfterClear = -1;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    thumbnails_.ClearThumbnails();
    countAfterClear = Count();
    for (const std::string& path : paths)
      indices.push_back(thumbnails_.MakeThumbnail(path));
    thumbnails_.RefreshThumbnailList(list_);  // a message to the list's thread
    done = true;
  });
  DWORD start = ::GetTickCount();
  while (!done && ::GetTickCount() - start < 20000) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
      ::DispatchMessageA(&msg);
    ::Sleep(5);
  }
  worker.join();
  EXPECT_EQ(0, countAfterClear);
  EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4}), indices);
  EXPECT_EQ(5, Count());
  EXPECT_EQ(Images(), reinterpret_cast<HIMAGELIST>(::SendMessageA(hwnd_, LVM_GETIMAGELIST, LVSIL_NORMAL, 0)));
  // Album order: the first image is the 100 x 100 grid, the third the white tile.
  EXPECT_EQ(GridPixel(99, 99), DrawListImage(Images(), 0, 0x00FF00)->At(99, 99));
  EXPECT_EQ(kWhite, DrawListImage(Images(), 2, 0x00FF00)->At(50, 50));
}

// The program's folder, and so the scratch folder, may have a Chinese name: paths are text in
// the system's code page for both the picture decoder and the bitmap loader.
TEST_F(ThumbnailListTest, ACoverInAFolderWithAChineseNameIsRead) {
  std::string dir = Scratch("相册封面");
  ::CreateDirectoryA(dir.c_str(), nullptr);
  std::string path = dir + "\\0.bmp";
  ASSERT_TRUE(::CopyFileA(Source("grid_100x100.png").c_str(), path.c_str(), FALSE));
  thumbnails_.ClearThumbnails();
  int index = thumbnails_.MakeThumbnail(path);
  thumbnails_.RefreshThumbnailList(list_);
  ASSERT_EQ(0, index);
  EXPECT_EQ(0, CountWrongPixels(*DrawListImage(Images(), index, 0x00FF00), GridPixel, "chinese folder"));
}

// When the thumbnail cannot be written, the file still holds the downloaded cover: reading that
// back would add a picture that is not 100 x 100 (several images for a wide one) or is what an
// earlier listing left there.
TEST_F(ThumbnailListTest, AThumbnailThatCannotBeSavedAddsNoImage) {
  std::string path = ScratchCopy("grid_160x120.bmp");
  // Another reader that lets nobody write: the save fails, the cover stays as it was.
  kivo::ScopedHandle reader(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(reader);
  thumbnails_.ClearThumbnails();
  EXPECT_EQ(-1, thumbnails_.MakeThumbnail(path));
  EXPECT_EQ(0, Count());
  reader.reset();
  EXPECT_EQ(0, thumbnails_.MakeThumbnail(ScratchCopy("grid_75x75.png"))) << "the next album still gets index 0";
  thumbnails_.RefreshThumbnailList(list_);
}

TEST_F(ThumbnailListTest, MakeThumbnailOutsideAListingAddsNothing) {
  EXPECT_EQ(-1, thumbnails_.MakeThumbnail(ScratchCopy("grid_75x75.png")));
  EXPECT_EQ(0, Count());
}

}  // namespace
