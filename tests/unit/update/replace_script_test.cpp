#include "update/replace_script.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(ReplacementPaths, TargetSitsBesideTheProgram) {
  // "癨" is B0 5C: its second byte reads as a backslash to code that walks bytes.
  struct Case { const char* own; const char* name; const char* target; } cases[] = {
      {"C:\\Program Files\\Kivo\\KivoAlbum.exe", "KivoAlbum1.6.exe", "C:\\Program Files\\Kivo\\KivoAlbum1.6.exe"},
      {"C:\\Kivo\\KivoAlbum.exe", "", "C:\\Kivo\\KivoAlbum.exe"},
      {"C:\\下载\\癨\\KivoAlbum.exe", "K2.exe", "C:\\下载\\癨\\K2.exe"},
      {"C:\\x\\癨.exe", "K2.exe", "C:\\x\\K2.exe"},
      {"KivoAlbum.exe", "K2.exe", "K2.exe"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.own);
    ReplacementPaths paths = MakeReplacementPaths(c.own, "C:\\Temp\\tmp1A2B.tmp", c.name);
    EXPECT_EQ(c.target, paths.target);
    EXPECT_EQ(std::string(c.own) + ".bat", paths.script);
    EXPECT_EQ(std::string(c.own) + ".old", paths.backup);
    EXPECT_EQ("C:\\Temp\\tmp1A2B.tmp", paths.downloaded);
  }
}

TEST(ReplaceScript, LinesEndInCrLfAndPathsAreQuotedWithPercentDoubled) {
  ReplacementPaths paths = MakeReplacementPaths("C:\\a 100%\\K.exe", "C:\\T\\t.tmp", "K2.exe");
  const std::string script = ReplaceScriptText(paths, 7);
  EXPECT_EQ(0u, script.find("@echo off\r\n"));
  EXPECT_EQ("del \"C:\\a 100%%\\K.exe.bat\"", script.substr(script.rfind("\r\n") + 2));
  for (std::size_t at = script.find('\n'); at != std::string::npos; at = script.find('\n', at + 1))
    ASSERT_EQ('\r', script[at - 1]) << "a bare line feed at " << at;
  EXPECT_NE(std::string::npos, script.find("\"C:\\a 100%%\\K.exe\""));
  EXPECT_EQ(std::string::npos, script.find("100%\\"));
  EXPECT_NE(std::string::npos, script.find("move /y \"C:\\T\\t.tmp\" \"C:\\a 100%%\\K2.exe\""));
  EXPECT_NE(std::string::npos, script.find("geq 7 goto giveup"));
}

TEST(ProgramImage, OnlyMzWithAPeSignatureCounts) {
  std::string program(0x100, '\0');
  program[0] = 'M';
  program[1] = 'Z';
  program[0x3C] = static_cast<char>(0x80);
  program.replace(0x80, 4, std::string("PE\0\0", 4));
  EXPECT_TRUE(LooksLikeWindowsProgram(program));

  struct Case { const char* what; std::string head; } bad[] = {
      {"html error page", "<html><body>404 Not Found</body></html>" + std::string(100, ' ')},
      {"empty", ""},
      {"MZ only", "MZ"},
      {"signature offset past the end", program.substr(0, 0x82)},
      {"wrong signature", std::string(program).replace(0x80, 2, "NE")},
      {"offset far away", std::string(program).replace(0x3C, 4, std::string("\xff\xff\xff\x7f", 4))},
  };
  for (const Case& c : bad)
    EXPECT_FALSE(LooksLikeWindowsProgram(c.head)) << c.what;
}

}  // namespace
}  // namespace kivo
