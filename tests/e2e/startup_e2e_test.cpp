// The real KivoAlbum.exe, started from a folder of its own and looked at from outside.
#include "kivo_driver.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char kTitle[] = "Kivo相册批量下载工具(KivoAlbum1.5)";
const char kStartupFailed[] = "应用程序初始化失败(res:-1)，请重新下载！";
constexpr int kStartTimeoutMs = 20000;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Environment(const char* name) {
  char value[1024];
  DWORD length = ::GetEnvironmentVariableA(name, value, sizeof(value));
  return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
}

std::string OwnFolder() {
  char path[MAX_PATH];
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

// The build's program and skin files, which the tests compare against.
std::string BuiltProgram() {
  return OwnFolder() + "KivoAlbum.exe";
}

// A fresh folder holding a copy of the program, as a user who unpacked it would have it.
std::string InstallCopy(const char* name) {
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "kivo-e2e-" + name + "-" + std::to_string(::GetCurrentProcessId()) + "\\";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  ::CopyFileA(BuiltProgram().c_str(), (folder + "KivoAlbum.exe").c_str(), FALSE);
  return folder;
}

void SaveScreenshot(const std::string& name) {
  std::string folder = Environment("KIVO_TEST_ARTIFACTS");
  if (folder.empty())
    return;
  ::CreateDirectoryA(folder.c_str(), nullptr);
  std::string path = folder + "\\" + name;
  EXPECT_TRUE(kivodriver::SaveScreenshot(path)) << path;
  std::printf("screenshot: %s\n", path.c_str());
}

class Program {
 public:
  ~Program() { kivodriver::Terminate(process_); }
  bool Start(const std::string& folder) { return kivodriver::Launch(folder + "KivoAlbum.exe", "", process_); }
  DWORD Id() const { return process_.id; }
  bool Ended(int timeoutMs, DWORD* exitCode) const { return kivodriver::WaitForExit(process_, timeoutMs, exitCode); }

 private:
  kivodriver::Process process_;
};

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
  std::string folder = Environment("KIVO_E2E_READONLY_DIR");
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
