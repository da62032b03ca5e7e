#include "update/download_texts.h"

#include <gtest/gtest.h>

#include <map>

#include "res/resource.h"

namespace kivo {
namespace {

// The dialog's texts as its string table holds them.
const StringLookup kTexts = [](unsigned id) {
  static const std::map<unsigned, std::string> texts = {
      {IDS_DL_COPIED_OF, "%1 of %2"},       {IDS_DL_SECONDS, "%1 sec"},       {IDS_DL_MINUTES, "%1 min"},
      {IDS_DL_MINUTES_SECONDS, "%1 min %2 sec"}, {IDS_DL_BYTES, "%1 Bytes"}, {IDS_DL_KB, "%1 KB"},
      {IDS_DL_MB, "%1 MB"},                 {IDS_DL_TIME_LEFT, "%1 (%2 copied)"},
      {IDS_DL_BYTES_PER_SEC, "%1 Bytes/Sec"}, {IDS_DL_KB_PER_SEC, "%1 KB/Sec"},
  };
  auto found = texts.find(id);
  return found == texts.end() ? std::string("?") : found->second;
};

TEST(DownloadTexts, Amounts) {
  struct Case { std::uint64_t bytes; const char* text; } cases[] = {
      {0, "0 Bytes"},        {1023, "1023 Bytes"},      {1024, "1.0 KB"},          {1536, "1.5 KB"},
      {1048575, "1024.0 KB"}, {1048576, "1.00 MB"},     {5000000000ull, "4768.37 MB"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.text, AmountText(c.bytes, kTexts)) << c.bytes;
}

TEST(DownloadTexts, Rates) {
  struct Case { double bytesPerMs; const char* text; } cases[] = {
      {0, "0 Bytes/Sec"}, {0.5, "512 Bytes/Sec"}, {0.999, "1023 Bytes/Sec"}, {1, "1.00 KB/Sec"},
      {2.5, "2.50 KB/Sec"}, {9.994, "9.99 KB/Sec"}, {10, "10 KB/Sec"},     {12.4, "12 KB/Sec"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.text, RateText(c.bytesPerMs, kTexts)) << c.bytesPerMs;
}

TEST(DownloadTexts, TimeLeftLine) {
  struct Case { std::uint32_t seconds; std::uint64_t total, size; const char* text; } cases[] = {
      {0, 1, 1023, "0 sec (1 Bytes of 1023 Bytes copied)"},
      {59, 1023, 1048576, "59 sec (1023 Bytes of 1.00 MB copied)"},
      {60, 1024, 2048, "1 min (1.0 KB of 2.0 KB copied)"},
      {61, 1048575, 1048576, "1 min 1 sec (1024.0 KB of 1.00 MB copied)"},
      {3600, 1, 2, "60 min (1 Bytes of 2 Bytes copied)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.text, TimeLeftText(c.seconds, c.total, c.size, kTexts)) << c.seconds;
}

TEST(DownloadTexts, ProgressArithmetic) {
  EXPECT_EQ(0, PercentDone(5, 0));
  EXPECT_EQ(0, PercentDone(0, 100));
  EXPECT_EQ(33, PercentDone(1, 3));
  EXPECT_EQ(99, PercentDone(999, 1000));
  EXPECT_EQ(100, PercentDone(1000, 1000));
  EXPECT_EQ(50, PercentDone(3000000000ull, 6000000000ull));  // past 32 bits

  EXPECT_EQ(0, ProgressRangeKb(511));
  EXPECT_EQ(1, ProgressRangeKb(512));
  EXPECT_EQ(1, ProgressRangeKb(1535));
  EXPECT_EQ(2, ProgressRangeKb(1536));
  EXPECT_EQ(100000, ProgressRangeKb(102400000));  // past the 16 bits of the old range

  EXPECT_EQ(0u, SecondsLeft(5000, 0, 100));       // nothing yet
  EXPECT_EQ(5u, SecondsLeft(5000, 50, 100));      // half in 5 s: 5 s to go
  EXPECT_EQ(29u, SecondsLeft(1000, 1000, 30999)); // cut, not rounded
  EXPECT_EQ(0u, SecondsLeft(1000, 100, 100));
}

TEST(DownloadUrl, SplitsSchemeHostPortAndObject) {
  struct Case { const char* url; bool ok; bool secure; const char* host; const char* object; int port; } cases[] = {
      {"http://download.kivo.test/KivoAlbum1.6.exe", true, false, "download.kivo.test", "/KivoAlbum1.6.exe", 80},
      {"HTTP://h:8080/a/b.exe?x=1&y=2#top", true, false, "h", "/a/b.exe?x=1&y=2", 8080},
      {"https://h", true, true, "h", "/", 443},
      {"http://h?q=1", true, false, "h", "/?q=1", 80},
      {"download.kivo.test/KivoAlbum1.6.exe", false, false, "", "", 0},
      {"ftp://h/f", false, false, "", "", 0},
      {"http://", false, false, "", "", 0},
      {"http:///path", false, false, "", "", 0},
      {"http://h:/", false, false, "", "", 0},
      {"http://h:0/", false, false, "", "", 0},
      {"http://h:65536/", false, false, "", "", 0},
      {"http://h:8x/", false, false, "", "", 0},
      {"", false, false, "", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    DownloadUrl url;
    ASSERT_EQ(c.ok, ParseDownloadUrl(c.url, url));
    if (!c.ok)
      continue;
    EXPECT_EQ(c.secure, url.secure);
    EXPECT_EQ(c.host, url.host);
    EXPECT_EQ(c.object, url.object);
    EXPECT_EQ(c.port, url.port);
  }
}

TEST(DownloadUrl, ShownNameIsTheLastPartOfTheObject) {
  struct Case { const char* object; const char* name; } cases[] = {
      {"/dl/KivoAlbum1.6.exe", "KivoAlbum1.6.exe"}, {"/get.php?id=7", "get.php?id=7"},
      {"/dl/", ""},                                  {"\\a\\b.exe", "b.exe"},
      {"/", "/"},                                    {"name", "name"},
      {"/a\\b", "a\\b"},                             {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.name, DownloadShownName(c.object)) << c.object;
}

}  // namespace
}  // namespace kivo
