// The real KivoAlbum.exe, started from a folder of its own and looked at from outside.
#include "e2e/e2e_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

using e2e::InstallCopy;
using e2e::kStartTimeoutMs;
using e2e::kTitle;
using e2e::OwnFolder;
using e2e::Program;
using e2e::ReadFile;
using e2e::SaveScreenshot;

const char kStartupFailed[] = "应用程序初始化失败(res:-1)，请重新下载！";

TEST(Startup, TheMainWindowShowsWhatAUserExpects) {
  std::string folder = InstallCopy("startup");
  Program program;
  ASSERT_TRUE(program.Start(folder));
  HWND main = kivodriver::WaitForTitle(program.Id(), kTitle, kStartTimeoutMs);
  ASSERT_NE(nullptr, main) << "no main window";
  // Let the first paint finish before the picture is taken.
  ::Sleep(500);
  SaveScreenshot("startup.png");

  EXPECT_EQ(1u, kivodriver::TopWindows(program.Id()).size()) << "only the main window shows";
  EXPECT_EQ("480215937", kivodriver::GetText(::GetDlgItem(main, 1001)));
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(main, 1002)));
  EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main, 1007)));
  EXPECT_EQ("检查更新", kivodriver::GetText(::GetDlgItem(main, 1017)));

  std::vector<kivodriver::ListItem> items;
  ASSERT_TRUE(kivodriver::ReadListView(::GetDlgItem(main, 1003), items));
  ASSERT_EQ(8u, items.size());
  EXPECT_EQ("相册名称\n共1张", items.front().text);
  EXPECT_EQ("相册名称\n共8张", items.back().text);

  std::string log = kivodriver::GetText(::GetDlgItem(main, 1006));
  EXPECT_EQ(0u, log.find("--=★=--友情提示：如何下载Kivo相册图片？--=★=--")) << log;
  EXPECT_NE(std::string::npos, log.find("----------------------------------------------"));

  // The skin engine's files are written beside the program, as carried inside it.
  EXPECT_EQ(ReadFile(OwnFolder() + "..\\skin\\SkinH.dll"), ReadFile(folder + "SkinH.dll"));
  EXPECT_EQ(ReadFile(KIVO_SOURCE_DIR "/src/skin/skin.dat"), ReadFile(folder + "skin.dat"));
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((folder + "tmp").c_str()));

  // Enter in the account box ends the program.
  kivodriver::PressKey(::GetDlgItem(main, 1001), VK_RETURN);
  DWORD exitCode = 1;
  ASSERT_TRUE(program.Ended(10000, &exitCode));
  EXPECT_EQ(0u, exitCode);
}

TEST(Startup, AnEarlierSkinFileIsReplacedAndASecondCopyRunsBesideTheFirst) {
  std::string folder = InstallCopy("twice");
  std::ofstream(folder + "skin.dat", std::ios::binary) << "left from an earlier version";
  Program first;
  ASSERT_TRUE(first.Start(folder));
  HWND firstWindow = kivodriver::WaitForTitle(first.Id(), kTitle, kStartTimeoutMs);
  ASSERT_NE(nullptr, firstWindow);
  EXPECT_EQ(ReadFile(KIVO_SOURCE_DIR "/src/skin/skin.dat"), ReadFile(folder + "skin.dat"));

  // The first copy has its skin library loaded; the second finds it in use and goes on with it.
  Program second;
  ASSERT_TRUE(second.Start(folder));
  HWND secondWindow = kivodriver::WaitForTitle(second.Id(), kTitle, kStartTimeoutMs);
  ASSERT_NE(nullptr, secondWindow) << "the second copy did not start";
  EXPECT_EQ(nullptr, kivodriver::WaitForMessageBox(second.Id(), kStartupFailed, 0));

  for (HWND window : {firstWindow, secondWindow})
    ::PostMessageA(window, WM_CLOSE, 0, 0);
  DWORD exitCode = 1;
  EXPECT_TRUE(first.Ended(10000, &exitCode));
  EXPECT_EQ(0u, exitCode);
  EXPECT_TRUE(second.Ended(10000, &exitCode));
  EXPECT_EQ(0u, exitCode);
}

// Run through run-in-readonly-folder, which puts a copy of the program in a folder that
// nobody may write to and names it in KIVO_E2E_READONLY_DIR.
TEST(ReadOnlyFolder, ShowsTheStartupMessageAndNoMainWindow) {
  std::string folder = e2e::Environment("KIVO_E2E_READONLY_DIR");
  ASSERT_FALSE(folder.empty()) << "run this test through tests/e2e/run-in-readonly-folder";
  if (folder.back() != '\\')
    folder += "\\";
  Program program;
  ASSERT_TRUE(program.Start(folder));
  HWND box = kivodriver::WaitForMessageBox(program.Id(), kStartupFailed, kStartTimeoutMs);
  ASSERT_NE(nullptr, box);
  EXPECT_EQ("KivoAlbum", kivodriver::GetText(box));
  SaveScreenshot("readonly-folder.png");
  EXPECT_EQ(nullptr, kivodriver::WaitForTitle(program.Id(), kTitle, 0));
  kivodriver::PressButton(box, IDOK);
  DWORD exitCode = 1;
  ASSERT_TRUE(program.Ended(10000, &exitCode));
  EXPECT_EQ(0u, exitCode);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA((folder + "SkinH.dll").c_str()));
}

}  // namespace
