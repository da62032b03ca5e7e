// The replacement script run by Wine's cmd.exe, in a folder with blanks, Chinese and a
// percent sign in its path. The old program's file is held open by this test for as long
// as the program would run: while it is, it cannot be deleted, as a running program's.
#include "update/self_replace_win.h"

#include <gtest/gtest.h>

#include <thread>

#include "fetch_support.h"
#include "kivo_driver.h"
#include "update_test_support.h"

namespace {

using namespace fetchtest;
using updatetest::Marks;
using kivodriver::WaitUntil;

// Holds path open (no delete sharing) until released.
class Holder {
 public:
  explicit Holder(const std::string& path)
      : file_(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)) {}
  ~Holder() { Release(); }
  bool held() const { return file_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (file_ != INVALID_HANDLE_VALUE)
      ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE file_;
};

TEST(ReplaceScript, AWorkingProgramIsAlwaysLeftInTheFolder) {
  const std::string oldProgram = updatetest::MarkProgram("old");
  const std::string newProgram = updatetest::MarkProgram("new");
  ASSERT_FALSE(oldProgram.empty()) << "kivo_mark_program.exe is missing";

  enum Hold { kOwnFor1500Ms, kOwnForEver, kDownloaded };
  struct Case {
    const char* what;
    const char* newName;  // empty: the old program's own name
    Hold hold;
    const char* startedTag;
    bool replaced;
  } cases[] = {
      {"waits for the old program, then moves the new one in", "KivoAlbum1.6.exe", kOwnFor1500Ms, "new", true},
      {"same name", "", kOwnFor1500Ms, "new", true},
      {"move fails: the old program comes back and starts", "KivoAlbum1.6.exe", kDownloaded, "old", false},
      {"same name, move fails", "", kDownloaded, "old", false},
      {"old file never removable: gives up, keeps it", "KivoAlbum1.6.exe", kOwnForEver, "old", false},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = TestFolder("更新 测试 100% " + std::to_string(++n));
    updatetest::EmptyFolder(folder);
    const std::string own = folder + "KivoAlbum.exe";
    const std::string downloaded = TestFolder("下载") + "tmp" + std::to_string(n) + ".tmp";
    WriteFileBytes(own, oldProgram);
    WriteFileBytes(downloaded, newProgram);
    const kivo::ReplacementPaths paths = kivo::MakeReplacementPaths(own, downloaded, c.newName);

    Holder holder(c.hold == kDownloaded ? downloaded : own);
    ASSERT_TRUE(holder.held());
    ASSERT_TRUE(kivo::StartReplacement(paths, 3));
    if (c.hold == kOwnFor1500Ms) {
      ::Sleep(1500);
      holder.Release();
    }
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(paths.script); }, 30000)) << "the script did not end";
    holder.Release();
    const std::string started = c.replaced ? paths.target : own;
    const std::string mark = std::string(c.startedTag) + "|" + started + "\r\n";
    EXPECT_TRUE(WaitUntil([&] { return Marks(folder) == mark; }, 15000))
        << "marks: [" << Marks(folder) << "], want [" << mark << "]";

    EXPECT_TRUE(ReadFileBytes(started) == (c.replaced ? newProgram : oldProgram));
    if (c.replaced && paths.target != own) {
      EXPECT_FALSE(FileExists(own)) << "the old program is still there";
    }
    if (!c.replaced && paths.target != own) {
      EXPECT_FALSE(FileExists(paths.target));
    }
    EXPECT_FALSE(FileExists(paths.backup));
    if (c.hold != kDownloaded) {
      EXPECT_FALSE(FileExists(downloaded));
    }
  }
}

TEST(ReplaceScript, AScriptThatCannotBeWrittenChangesNothing) {
  const std::string folder = TestFolder("unwritable");
  const std::string own = folder + "KivoAlbum.exe";
  WriteFileBytes(own, "old");
  kivo::ReplacementPaths paths = kivo::MakeReplacementPaths(own, folder + "new.tmp", "");
  paths.script = folder + "no such folder\\KivoAlbum.exe.bat";
  EXPECT_FALSE(kivo::StartReplacement(paths, 3));
  EXPECT_EQ("old", ReadFileBytes(own));
}

TEST(MakeTempFilePath, MakesANewEmptyFileInTheTemporaryFolder) {
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  const std::string first = kivo::MakeTempFilePath();
  const std::string second = kivo::MakeTempFilePath();
  EXPECT_EQ(0u, first.find(temp)) << first;
  EXPECT_NE(first, second);
  EXPECT_TRUE(FileExists(first));
  EXPECT_EQ("", ReadFileBytes(first));
  ::DeleteFileA(first.c_str());
  ::DeleteFileA(second.c_str());
}

}  // namespace
