// The download dialog against the stand-in service, watched and answered from a second
// thread as a user would.
#include "update/http_download_dlg_win.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <regex>
#include <thread>

#include "fetch_support.h"
#include "framework/wnd.h"
#include "kivo_driver.h"
#include "res/resource.h"
#include "update_test_support.h"

namespace {

// A folder of the test's own, emptied.
std::string Folder(const std::string& name) {
  std::string folder = fetchtest::TestFolder(name);
  updatetest::EmptyFolder(folder);
  return folder;
}

using namespace fetchtest;

constexpr int kShowMs = 15000;

// Runs the dialog modally here while user() acts on another thread.
// When the dialog has not ended 30 s after user() returned, answers what holds it (a
// message box, the dialog itself) so that the test fails instead of hanging.
INT_PTR RunDialog(CHttpDownloadDlg& dialog, const std::function<void()>& user) {
  std::atomic<bool> ended{false};
  std::thread acting([&] {
    user();
    if (kivodriver::WaitUntil([&] { return ended.load(); }, 30000))
      return;
    ADD_FAILURE() << "the dialog did not end";
    while (!ended) {
      if (HWND box = kivodriver::WaitForMessageBox(::GetCurrentProcessId(), "", 500)) {
        if (!kivodriver::PressButton(box, IDNO))
          kivodriver::PressButton(box, IDOK);
      }
      if (HWND hwnd = dialog.GetSafeHwnd())
        ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
    }
  });
  INT_PTR result = dialog.DoModal();
  ended = true;
  acting.join();
  return result;
}

HWND WaitForDialog(const CHttpDownloadDlg& dialog) {
  return kivodriver::WaitForWindow(
      ::GetCurrentProcessId(), [&](HWND hwnd) { return kivo::CWnd::FromHandle(hwnd) == &dialog; }, kShowMs);
}

std::string ItemText(HWND dialog, int id) {
  return kivodriver::GetText(::GetDlgItem(dialog, id));
}

// Answers the message box with text, if one shows within timeoutMs; true when it did.
bool AnswerBox(const std::string& text, int button, int timeoutMs) {
  HWND box = kivodriver::WaitForMessageBox(::GetCurrentProcessId(), text, timeoutMs);
  if (!box) {
    // Some other box may hold the dialog: answer it, so that the test fails instead of hanging.
    if (HWND other = kivodriver::WaitForMessageBox(::GetCurrentProcessId(), "Error", 0))
      kivodriver::PressButton(other, IDOK);
    return false;
  }
  kivodriver::PressButton(box, button);
  return true;
}

struct Shown {
  std::string caption, status, file, rate, timeLeft;
  int position = -1, rangeHigh = -1;
};

Shown Look(HWND dialog) {
  Shown s;
  s.caption = kivodriver::GetText(dialog);
  s.status = ItemText(dialog, IDC_DL_STATUS);
  s.file = ItemText(dialog, IDC_DL_FILE);
  s.rate = ItemText(dialog, IDC_DL_RATE);
  s.timeLeft = ItemText(dialog, IDC_DL_TIME_LEFT);
  HWND bar = ::GetDlgItem(dialog, IDC_DL_PROGRESS);
  s.position = static_cast<int>(::SendMessageA(bar, PBM_GETPOS, 0, 0));
  s.rangeHigh = static_cast<int>(::SendMessageA(bar, PBM_GETRANGE, FALSE, 0));
  return s;
}

TEST(DownloadDialog, WholeDownloadShowsPercentRateAndTimeLeft) {
  const std::string token = Token();
  ASSERT_TRUE(InstallFault("host=fetch.kivo.test&action=throttle&rate=150000&query=" + token));
  const std::string object = "bytes?n=400000&seed=3&k=" + token;
  const std::string target = Folder("whole") + "new.exe";
  CHttpDownloadDlg dialog;
  dialog.m_strUrl = FetchUrl("/" + object);
  dialog.m_strTargetPath = target;
  Shown during;
  INT_PTR result = RunDialog(dialog, [&] {
    HWND hwnd = WaitForDialog(dialog);
    ASSERT_NE(nullptr, hwnd);
    ::Sleep(1600);
    during = Look(hwnd);
    updatetest::Screenshot("download-dialog.png");
  });
  EXPECT_EQ(IDOK, result);
  EXPECT_TRUE(ReadFileBytes(target) == PatternBytes(400000, 3)) << "the file differs from what was served";

  EXPECT_TRUE(std::regex_match(during.caption, std::regex("[0-9]+% of " + std::regex_replace(object, std::regex("[?&]"), "\\$&") + " Completed")))
      << during.caption;
  EXPECT_EQ(object + " from fetch.kivo.test", during.file);
  EXPECT_EQ("Retrieving the file", during.status);
  EXPECT_TRUE(std::regex_match(during.rate, std::regex("[0-9.]+ (KB|Bytes)/Sec"))) << during.rate;
  EXPECT_TRUE(std::regex_match(during.timeLeft, std::regex("[0-9]+ sec \\([0-9.]+ KB of 390.6 KB copied\\)")))
      << during.timeLeft;
  EXPECT_EQ(391, during.rangeHigh);
  EXPECT_GT(during.position, 0);
  EXPECT_LT(during.position, 391);
}

TEST(DownloadDialog, WithoutALengthOnlyTheRateMoves) {
  const std::string token = Token();
  ASSERT_TRUE(InstallFault("host=fetch.kivo.test&action=throttle&rate=150000&length=0&query=" + token));
  const std::string target = Folder("nolength") + "new.exe";
  CHttpDownloadDlg dialog;
  dialog.m_strUrl = FetchUrl("/bytes?n=300000&seed=4&k=" + token);
  dialog.m_strTargetPath = target;
  Shown during;
  INT_PTR result = RunDialog(dialog, [&] {
    HWND hwnd = WaitForDialog(dialog);
    ASSERT_NE(nullptr, hwnd);
    ::Sleep(1500);
    during = Look(hwnd);
  });
  EXPECT_EQ(IDOK, result);
  EXPECT_TRUE(ReadFileBytes(target) == PatternBytes(300000, 4));
  EXPECT_EQ("File Download", during.caption);
  EXPECT_EQ("", during.timeLeft);
  EXPECT_EQ(0, during.position);
  EXPECT_TRUE(std::regex_match(during.rate, std::regex("[0-9.]+ (KB|Bytes)/Sec"))) << during.rate;
}

TEST(DownloadDialog, FailuresAreToldAndLeaveNoFile) {
  struct Case {
    const char* what;
    std::string path;   // on the fetch host, behind the token's query
    std::string fault;  // action and parameters, or empty
    const char* message;
  } cases[] = {
      {"404", "/status?code=404", "", "Failed to receive a valid HTTP response from the server"},
      {"cut off", "/bytes?n=60000&seed=2", "action=drop&after=20000",
       "An error occurred while downloading the file, Error:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string token = Token();
    if (!c.fault.empty()) {
      ASSERT_TRUE(InstallFault("host=fetch.kivo.test&" + c.fault + "&query=" + token));
    }
    const std::string target = Folder("failures") + token + ".exe";
    CHttpDownloadDlg dialog;
    dialog.m_strUrl = FetchUrl(c.path + "&k=" + token);
    dialog.m_strTargetPath = target;
    bool told = false;
    INT_PTR result = RunDialog(dialog, [&] { told = AnswerBox(c.message, IDOK, kShowMs); });
    EXPECT_TRUE(told) << "no message " << c.message;
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_FALSE(FileExists(target));
  }
}

TEST(DownloadDialog, CancelStopsTheTransferWithoutAMessageAndDeletesTheFile) {
  const std::string token = Token();
  ASSERT_TRUE(InstallFault("host=fetch.kivo.test&action=throttle&rate=40000&query=" + token));
  const std::string target = Folder("cancel") + "new.exe";
  CHttpDownloadDlg dialog;
  dialog.m_strUrl = FetchUrl("/bytes?n=2000000&seed=5&k=" + token);
  dialog.m_strTargetPath = target;
  Shown cancelled;
  bool cancelEnabled = true, toldSomething = false;
  DWORD cancelledAt = 0;
  INT_PTR result = RunDialog(dialog, [&] {
    HWND hwnd = WaitForDialog(dialog);
    ASSERT_NE(nullptr, hwnd);
    ::Sleep(1200);
    ASSERT_TRUE(FileExists(target));
    cancelledAt = ::GetTickCount();
    kivodriver::PressButton(hwnd, IDCANCEL);
    ::Sleep(100);
    if (::IsWindow(hwnd)) {
      cancelled = Look(hwnd);
      cancelEnabled = ::IsWindowEnabled(::GetDlgItem(hwnd, IDCANCEL)) != FALSE;
    }
    toldSomething = AnswerBox("An error", IDOK, 2000);
  });
  const DWORD took = ::GetTickCount() - cancelledAt;
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_FALSE(toldSomething);
  EXPECT_FALSE(FileExists(target));
  EXPECT_LT(took, 5000u) << "the transfer went on after Cancel";
  if (!cancelled.status.empty()) {  // the dialog may already be gone: the status is then unseen
    EXPECT_EQ("Aborting transfer", cancelled.status);
    EXPECT_FALSE(cancelEnabled);
  }
}

TEST(DownloadDialog, UrlWithoutASchemeIsFetchedOverHttp) {
  const std::string target = Folder("noscheme") + "new.exe";
  CHttpDownloadDlg dialog;
  dialog.m_strUrl = "fetch.kivo.test/bytes?n=5000&seed=9";
  dialog.m_strTargetPath = target;
  EXPECT_EQ(IDOK, RunDialog(dialog, [] {}));
  EXPECT_EQ("http://fetch.kivo.test/bytes?n=5000&seed=9", dialog.m_strUrl);
  EXPECT_TRUE(ReadFileBytes(target) == PatternBytes(5000, 9));
}

TEST(DownloadDialog, AnExistingFileIsReplacedOnlyOnYes) {
  const std::string target = Folder("overwrite") + "KivoAlbum 1.6.exe";
  WriteFileBytes(target, "earlier");
  const std::string question = "The file '" + target + "' already exists.\nDo you want to replace it?";
  for (int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer == IDYES ? "yes" : "no");
    CHttpDownloadDlg dialog;
    dialog.m_strUrl = FetchUrl("/bytes?n=3000&seed=6");
    dialog.m_strTargetPath = target;
    bool asked = false;
    INT_PTR result = RunDialog(dialog, [&] { asked = AnswerBox(question, answer, kShowMs); });
    EXPECT_TRUE(asked);
    EXPECT_EQ(answer == IDYES ? IDOK : IDCANCEL, result);
    EXPECT_TRUE(ReadFileBytes(target) == (answer == IDYES ? PatternBytes(3000, 6) : std::string("earlier")));
  }
}

TEST(DownloadDialog, UnusableUrlOrTargetEndsBeforeAnyTransfer) {
  // No URL at all (an entry without a download address): nothing is shown or written.
  const std::string folder = Folder("unusable");
  CHttpDownloadDlg empty;
  empty.m_strTargetPath = folder + "never.exe";
  EXPECT_EQ(IDCANCEL, empty.DoModal());
  EXPECT_FALSE(FileExists(folder + "never.exe"));

  CHttpDownloadDlg badTarget;
  badTarget.m_strUrl = FetchUrl("/bytes?n=10&seed=1");
  badTarget.m_strTargetPath = folder + "no such folder\\new.exe";
  bool told = false;
  INT_PTR result = RunDialog(badTarget, [&] {
    told = AnswerBox("An error occured while opening the file to be downloaded, Error:3", IDOK, kShowMs);
  });
  EXPECT_TRUE(told);
  EXPECT_EQ(IDCANCEL, result);
}

}  // namespace
