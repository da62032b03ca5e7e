// The real KivoAlbum.exe updating itself under Wine: it finds version 1.6 on the update
// page, asks, downloads it with the download dialog, ends, and the script puts the new
// program (a mark program standing in for version 1.6) in its place, in a folder whose
// path has blanks and Chinese characters. And the update link's own answers.
#include "kivo_driver.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "fetch_support.h"
#include "update_test_support.h"

namespace {

using namespace fetchtest;
using updatetest::Control;
using updatetest::kAsk;
using updatetest::kDownloadUrl;
using updatetest::kFetchFailed;
using updatetest::kNewest;

const char kTitle[] = "Kivo相册批量下载工具(KivoAlbum1.5)";
constexpr int kLinkId = 1017;

std::string OwnFolder() {
  char path[MAX_PATH];
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

// A fresh folder with a copy of the program, as a user who unpacked it would have it.
std::string InstallCopy(const std::string& name) {
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + name + " " + std::to_string(::GetCurrentProcessId()) + "\\";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  updatetest::EmptyFolder(folder);
  ::CopyFileA((OwnFolder() + "KivoAlbum.exe").c_str(), (folder + "KivoAlbum.exe").c_str(), FALSE);
  return folder;
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

class UpdateE2e : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Control("reset")); }
  void TearDown() override { Control("reset"); }
};

TEST_F(UpdateE2e, TheProgramDownloadsVersion16AndPutsItInItsPlace) {
  // Version 1.6 as the service serves it.
  const std::string newProgram = updatetest::MarkProgram("new-1.6");
  ASSERT_FALSE(newProgram.empty());
  const std::string served = InstallCopy("kivo e2e served") + "KivoAlbum1.6.exe";
  WriteFileBytes(served, newProgram);
  const std::string unixPath = updatetest::UnixPath(served);
  ASSERT_FALSE(unixPath.empty());
  ASSERT_TRUE(Control("resource?url=" + PercentEncode(kDownloadUrl) + "&content_type=application/octet-stream&file=" +
                      PercentEncode(unixPath)));
  ASSERT_TRUE(Control("update?version=1.6&downurl=" + PercentEncode(kDownloadUrl)));
  // Slow enough to be watched: about three seconds.
  ASSERT_TRUE(InstallFault("host=download.kivo.test&action=throttle&rate=" + std::to_string(newProgram.size() / 3)));

  const std::string folder = InstallCopy("kivo e2e 更新 测试");
  Program program;
  ASSERT_TRUE(program.Start(folder));
  HWND ask = kivodriver::WaitForMessageBox(program.Id(), kAsk, 30000);
  ASSERT_NE(nullptr, ask) << "no update offered";
  EXPECT_EQ("KivoAlbum", kivodriver::GetText(ask));
  updatetest::Screenshot("update-offer.png");
  kivodriver::PressButton(ask, IDYES);

  HWND download = kivodriver::WaitForWindow(
      program.Id(),
      [](HWND hwnd) {
        std::string title = kivodriver::GetText(hwnd);
        return title == "File Download" || title.find(" Completed") != std::string::npos;
      },
      20000);
  ASSERT_NE(nullptr, download) << "no download dialog";
  ::Sleep(1800);
  const std::string caption = kivodriver::GetText(download);
  const std::string file = kivodriver::GetText(::GetDlgItem(download, 1022));
  const std::string timeLeft = kivodriver::GetText(::GetDlgItem(download, 1024));
  const std::string rate = kivodriver::GetText(::GetDlgItem(download, 1025));
  updatetest::Screenshot("update-download.png");
  EXPECT_TRUE(std::regex_match(caption, std::regex("[0-9]+% of KivoAlbum1\\.6\\.exe Completed"))) << caption;
  EXPECT_EQ("KivoAlbum1.6.exe from download.kivo.test", file);
  EXPECT_TRUE(std::regex_match(timeLeft, std::regex("[0-9]+ sec \\([0-9.]+ KB of [0-9.]+ KB copied\\)"))) << timeLeft;
  EXPECT_TRUE(std::regex_match(rate, std::regex("[0-9.]+ KB/Sec"))) << rate;

  DWORD exitCode = 1;
  ASSERT_TRUE(program.Ended(30000, &exitCode)) << "the program did not end for the update";
  EXPECT_EQ(0u, exitCode);

  const std::string target = folder + "KivoAlbum1.6.exe";
  const std::string mark = "new-1.6|" + target + "\r\n";
  EXPECT_TRUE(kivodriver::WaitUntil([&] { return updatetest::Marks(folder) == mark; }, 40000))
      << "marks: [" << updatetest::Marks(folder) << "]";
  EXPECT_TRUE(ReadFileBytes(target) == newProgram) << "the new program is not what was served";
  EXPECT_TRUE(kivodriver::WaitUntil([&] { return !FileExists(folder + "KivoAlbum.exe.bat"); }, 10000))
      << "the script is still there";
  EXPECT_FALSE(FileExists(folder + "KivoAlbum.exe")) << "the old program is still there";
  EXPECT_FALSE(FileExists(folder + "KivoAlbum.exe.old"));
}

TEST_F(UpdateE2e, TheLinkSaysWhatItFoundAndComesBack) {
  const std::string folder = InstallCopy("kivo e2e link");
  Program program;
  ASSERT_TRUE(program.Start(folder));
  HWND main = kivodriver::WaitForTitle(program.Id(), kTitle, 30000);
  ASSERT_NE(nullptr, main);
  HWND link = ::GetDlgItem(main, kLinkId);

  struct Case { const char* what; std::string fault; const char* message; } cases[] = {
      {"current version", "", kNewest},
      {"page missing", "host=blog.kivo.test&action=status&code=404", kFetchFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.fault.empty()) {
      ASSERT_TRUE(InstallFault(c.fault));
    }
    // What the link control sends its window when it is clicked.
    ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(kLinkId, STN_CLICKED), reinterpret_cast<LPARAM>(link));
    HWND box = kivodriver::WaitForMessageBox(program.Id(), c.message, 20000);
    ASSERT_NE(nullptr, box);
    EXPECT_FALSE(::IsWindowEnabled(link)) << "the link stays off while the check runs";
    kivodriver::PressButton(box, IDOK);
    EXPECT_TRUE(kivodriver::WaitUntil([&] { return ::IsWindowEnabled(link) != FALSE; }, 10000));
  }
  ::PostMessageA(main, WM_CLOSE, 0, 0);
  DWORD exitCode = 1;
  EXPECT_TRUE(program.Ended(10000, &exitCode));
  EXPECT_EQ(0u, exitCode);
}

}  // namespace
