// The update checks in this process against the stand-in's update page. Every path here
// keeps the process running: the one that replaces the program is the end-to-end test's.
#include "update/update_check_win.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "fetch_support.h"
#include "kivo_driver.h"
#include "update_test_support.h"

namespace {

using namespace fetchtest;
using updatetest::Control;
using updatetest::kAsk;
using updatetest::kDownloadUrl;
using updatetest::kFetchFailed;
using updatetest::kNewest;

const char kNotAProgram[] = "下载的文件不是有效的程序，已放弃更新。";
const char kUnsigned[] = "下载的文件没有通过签名验证，可能已被篡改，已放弃更新。";
const char kCannotReplace[] = "无法在程序所在的文件夹写入更新脚本，已放弃更新。";

// The window the checks are started from: a hidden owner with the link inside it.
class Window {
 public:
  Window() {
    owner_ = ::CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPED, 0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    target_.owner = owner_;
    target_.link = ::CreateWindowExA(0, "STATIC", "link", WS_CHILD | WS_VISIBLE, 0, 0, 50, 20, owner_, nullptr,
                                     nullptr, nullptr);
    ::EnableWindow(target_.link, FALSE);  // as the click leaves it
  }
  ~Window() { ::DestroyWindow(owner_); }
  UpdateCheckTarget* target() { return &target_; }
  bool LinkEnabled() const { return ::IsWindowEnabled(target_.link) != FALSE; }

 private:
  HWND owner_;
  UpdateCheckTarget target_;
};

DWORD WINAPI RunCheck(void* target) {
  return CheckForUpdate(target);
}

DWORD WINAPI RunStartup(void* target) {
  return StartupUpdateThread(target);
}

// Answers message boxes as they come: each text with its button, in order. Records what
// it saw; stops at the first box it did not expect, or after timeoutMs without one.
class User {
 public:
  explicit User(std::vector<std::pair<std::string, int>> answers, int timeoutMs = 20000)
      : thread_([this, answers, timeoutMs] {
          for (const auto& [text, button] : answers) {
            HWND box = kivodriver::WaitForMessageBox(::GetCurrentProcessId(), text, timeoutMs);
            if (!box) {
              // An unexpected box would hold the check for ever: close it, so the test fails.
              while (HWND other = kivodriver::WaitForMessageBox(::GetCurrentProcessId(), "", 2000)) {
                if (!kivodriver::PressButton(other, IDNO))
                  kivodriver::PressButton(other, IDOK);
                ::Sleep(200);
              }
              return;
            }
            ++answered_;
            kivodriver::PressButton(box, button);
            // The click is posted: until the box has gone, it would be found again as the next.
            kivodriver::WaitUntil([box] { return !::IsWindow(box) || !::IsWindowVisible(box); }, timeoutMs);
          }
        }) {}
  int Join() {
    thread_.join();
    return answered_;
  }

 private:
  int answered_ = 0;
  std::thread thread_;
};

int TempFileCount(const char* pattern = "tmp*.tmp") {
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((std::string(temp) + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return 0;
  int count = 0;
  do {
    ++count;
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  return count;
}

class UpdateCheck : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Control("reset")); }
  void TearDown() override { Control("reset"); }
};

TEST_F(UpdateCheck, TellsWhatItFoundAndAlwaysGivesTheLinkBack) {
  struct Case { const char* what; std::string page; std::string fault; const char* message; } cases[] = {
      {"current version", "update?version=1.5", "", kNewest},
      {"current version with blanks around it", "update?version=%0A%201.5%20", "", kNewest},
      {"page missing", "", "host=blog.kivo.test&action=status&code=404", kFetchFailed},
      {"no entry for this program", "update?name=Other&version=1.6", "", kFetchFailed},
      {"no connection", "", "host=blog.kivo.test&action=hangup", kFetchFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Control("reset"));
    if (!c.page.empty()) {
      ASSERT_TRUE(Control(c.page));
    }
    if (!c.fault.empty()) {
      ASSERT_TRUE(InstallFault(c.fault));
    }
    Window window;
    User user({{c.message, IDOK}});
    updatetest::RunPumping(&RunCheck, window.target());
    EXPECT_EQ(1, user.Join()) << "no message " << c.message;
    EXPECT_TRUE(window.LinkEnabled());
  }
}

TEST_F(UpdateCheck, ASecondCheckWhileOneRunsEndsSilentlyAndLeavesTheLink) {
  ASSERT_TRUE(Control("update?version=1.5"));
  Window first, second;
  bool sawFirst = false, secondEndedAtOnce = false;
  std::thread user([&] {
    // The first check stands at its message; a second one started now must end by itself.
    HWND box = kivodriver::WaitForMessageBox(::GetCurrentProcessId(), kNewest, 20000);
    sawFirst = box != nullptr;
    HANDLE secondCheck = ::CreateThread(nullptr, 0, &RunCheck, second.target(), 0, nullptr);
    secondEndedAtOnce = ::WaitForSingleObject(secondCheck, 3000) == WAIT_OBJECT_0;
    if (box)
      kivodriver::PressButton(box, IDOK);
    if (!secondEndedAtOnce) {  // it passed the gate: let it finish rather than hang
      if (HWND other = kivodriver::WaitForMessageBox(::GetCurrentProcessId(), kNewest, 20000))
        kivodriver::PressButton(other, IDOK);
      ::WaitForSingleObject(secondCheck, 20000);
    }
    ::CloseHandle(secondCheck);
  });
  updatetest::RunPumping(&RunCheck, first.target());
  user.join();
  EXPECT_TRUE(sawFirst);
  EXPECT_TRUE(secondEndedAtOnce);
  EXPECT_FALSE(second.LinkEnabled());
  EXPECT_TRUE(first.LinkEnabled());

  // The gate is open again.
  User again({{kNewest, IDOK}});
  updatetest::RunPumping(&RunCheck, second.target());
  EXPECT_EQ(1, again.Join());
  EXPECT_TRUE(second.LinkEnabled());
}

TEST_F(UpdateCheck, AFileThatIsNotAProgramOrArrivesCutIsNeverInstalled) {
  ASSERT_TRUE(Control(std::string("update?version=1.6&downurl=") + PercentEncode(kDownloadUrl)));
  struct Case { const char* what; std::string resource; std::string fault; std::vector<std::pair<std::string, int>> boxes; } cases[] = {
      {"an error page served with 200", "body=" + PercentEncode("<html><body>Not here</body></html>"), "",
       {{kNotAProgram, IDOK}}},
      {"the program cut off", "hex=" + std::string("4d5a") + std::string(4000, '0'), "action=drop&after=1000",
       {{"An error occurred while downloading the file, Error:", IDOK}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Control("resource?url=" + PercentEncode(kDownloadUrl) + "&content_type=application/octet-stream&" + c.resource));
    if (!c.fault.empty()) {
      ASSERT_TRUE(InstallFault("host=download.kivo.test&times=1&" + c.fault));
    }
    const int tempFiles = TempFileCount();
    Window window;
    User user(c.boxes);
    updatetest::RunPumping(&RunCheck, window.target());
    EXPECT_EQ(static_cast<int>(c.boxes.size()), user.Join());
    EXPECT_TRUE(window.LinkEnabled());
    EXPECT_EQ(tempFiles, TempFileCount()) << "the downloaded file was left behind";
  }
}

TEST_F(UpdateCheck, AtStartOnlyAnotherVersionIsOfferedAndNoDeclinesIt) {
  struct Case { const char* what; std::string page; std::string fault; bool asked; } cases[] = {
      {"current version", "update?version=1.5", "", false},
      {"no network", "", "host=blog.kivo.test&action=hangup", false},
      {"another version, declined", "update?version=1.4", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Control("reset"));
    if (!c.page.empty()) {
      ASSERT_TRUE(Control(c.page));
    }
    if (!c.fault.empty()) {
      ASSERT_TRUE(InstallFault(c.fault));
    }
    Window window;
    // Any box at all is answered No, and counted.
    User user({{c.asked ? kAsk : "", IDNO}, {"", IDOK}}, 3000);
    updatetest::RunPumping(&RunStartup, window.target());
    EXPECT_EQ(c.asked ? 1 : 0, user.Join());
    EXPECT_FALSE(window.LinkEnabled()) << "the start-up check touched the link without a check";
  }
}

// A signed update against fresh keys (make-signing-material). A folder in the place of
// this program's replacement script makes the replacement fail, with its own message,
// after the signature passed: so the test sees the update go through and keeps running.
TEST_F(UpdateCheck, WithAKeyOnlyAProgramWithItsGoodSignatureIsInstalled) {
  const std::string program = updatetest::SigningMaterial("update.exe");
  const std::string signature = fetchtest::ReadFileBytes(program + ".sig");
  const std::string keyA = fetchtest::ReadFileBytes(updatetest::SigningMaterial("a.pub"));
  const std::string keyB = fetchtest::ReadFileBytes(updatetest::SigningMaterial("b.pub"));
  ASSERT_EQ(64u, signature.size()) << "no signing material: run through ctest";
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  const std::string tampered = std::string(temp) + "kivo-tampered-" + std::to_string(::GetCurrentProcessId()) + ".exe";
  std::string bytes = fetchtest::ReadFileBytes(program);
  bytes[bytes.size() / 2] ^= 0x01;
  fetchtest::WriteFileBytes(tampered, bytes);
  std::string flipped = signature;
  flipped[10] ^= 0x01;

  char own[MAX_PATH];
  ::GetModuleFileNameA(nullptr, own, MAX_PATH);
  const std::string script = std::string(own) + ".bat";
  ASSERT_TRUE(::CreateDirectoryA(script.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);

  auto hex = [](const std::string& data) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char c : data) {
      text += digits[c >> 4];
      text += digits[c & 15];
    }
    return text;
  };
  const std::string good = "hex=" + hex(signature);
  struct Case {
    const char* what;
    std::string served;     // the program served
    std::string sigAnswer;  // the answer at the signature's address
    std::string key;
    const char* message;
    int sigRequests;
    std::string downurl = kDownloadUrl;
  } cases[] = {
      {"good signature", program, good, keyA, kCannotReplace, 1},
      {"good signature, the page's address without http://", program, good, keyA, kCannotReplace, 1,
       std::string(kDownloadUrl).substr(7)},
      {"no key: unsigned, no signature asked for", program, "status=404", "", kCannotReplace, 0},
      {"the program changed on the way", tampered, good, keyA, kUnsigned, 1},
      {"a byte of the signature flipped", program, "hex=" + hex(flipped), keyA, kUnsigned, 1},
      {"signed by another key", program, good, keyB, kUnsigned, 1},
      {"no signature", program, "status=404", keyA, kUnsigned, 1},
      {"a short signature", program, "hex=" + hex(signature.substr(0, 32)), keyA, kUnsigned, 1},
      {"a key text that is no key", program, good, "not a key", kUnsigned, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Control("reset"));
    ASSERT_TRUE(Control("update?version=1.6&downurl=" + PercentEncode(c.downurl)));
    ASSERT_TRUE(Control("resource?url=" + PercentEncode(kDownloadUrl) +
                        "&content_type=application/octet-stream&file=" + PercentEncode(updatetest::UnixPath(c.served))));
    ASSERT_TRUE(Control("resource?url=" + PercentEncode(std::string(kDownloadUrl) + ".sig") +
                        "&content_type=application/octet-stream&" + c.sigAnswer));
    const int tempFiles = TempFileCount();
    Window window;
    window.target()->updateKey = c.key.c_str();
    User user({{c.message, IDOK}});
    updatetest::RunPumping(&RunCheck, window.target());
    EXPECT_EQ(1, user.Join()) << "no message " << c.message;
    EXPECT_TRUE(window.LinkEnabled());
    EXPECT_EQ(c.sigRequests, static_cast<int>(LoggedRequests("download.kivo.test", "/KivoAlbum1.6.exe.sig").size()));
    EXPECT_EQ(tempFiles, TempFileCount()) << "the downloaded file was left behind";
    EXPECT_EQ(0, TempFileCount("tmp*.sig")) << "the signature was left behind";
  }
  ::RemoveDirectoryA(script.c_str());
  ::DeleteFileA(tampered.c_str());
}

}  // namespace
