// The question dialog of a protected album, run in this process against the stand-in service
// and worked from a second thread as a user would.
#include "build_config.h"
#include "fetch_support.h"
#include "framework/win_app.h"
#include "kivo_driver.h"
#include "res/resource.h"
#include "service/question_dlg_win.h"
#include "service/text_encoders.h"
#include "window_pixels.h"
#include "window_script.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using kivotest::CaptureClient;
using kivotest::RunModalWithScript;
using kivotest::Sync;

const char kUin[] = "100001";  // the demo member who keeps a protected album
const char kAlbumId[] = "22";
const char kQuestion[] = "我的小学叫什么名字？";
const char kAnswer[] = "实验小学";
const char kViewPath[] = "/cgi-bin/common/cgi_view_album";

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000) {
  return kivodriver::WaitUntil(condition, timeoutMs);
}

std::size_t PictureRequests() {
  return fetchtest::LoggedRequests(kivo::config::kLoginHost, "/getimage").size();
}

std::vector<std::string> ViewRequests(const std::string& albumId) {
  std::vector<std::string> found;
  for (const std::string& entry : fetchtest::LoggedRequests(kivo::config::kAlbumViewHost, kViewPath)) {
    std::string query;
    if (fetchtest::LoggedField(entry, "query", query) && query.find("albumid=" + albumId + "&") != std::string::npos)
      found.push_back(query);
  }
  return found;
}

void SaveScreenshot(const std::string& name) {
  const char* folder = std::getenv("KIVO_TEST_ARTIFACTS");
  if (!folder || !*folder)
    return;
  ::CreateDirectoryA(folder, nullptr);
  std::string path = std::string(folder) + "\\" + name;
  EXPECT_TRUE(kivodriver::SaveScreenshot(path)) << path;
  std::printf("screenshot: %s\n", path.c_str());
}

struct Typed {
  std::string answer;
  std::string code;
};

void TypeAndSubmit(HWND dialog, const Typed& typed) {
  kivodriver::SetText(::GetDlgItem(dialog, IDC_ANSWER), typed.answer);
  kivodriver::SetText(::GetDlgItem(dialog, IDC_VERIFY_CODE), typed.code);
  kivodriver::Click(::GetDlgItem(dialog, IDOK));
}

void ClickLink(HWND dialog) {
  HWND link = ::GetDlgItem(dialog, IDC_LINK_NEW_PICTURE);
  ::PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::PostMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

TEST(QuestionDialog, OpensWithTwoPicturesTheQuestionAndItsFace) {
  std::vector<PhotoInfo> photos;
  CQuestionDlg dialog;
  dialog.m_strUin = kUin;
  dialog.m_strAlbumId = kAlbumId;
  dialog.m_strQuestion = kQuestion;
  dialog.m_pPhotos = &photos;
  const std::size_t before = PictureRequests();
  INT_PTR result = RunModalWithScript(dialog, [&](HWND hwnd) {
    EXPECT_EQ(before + 2, PictureRequests());
    EXPECT_EQ(kQuestion, kivodriver::GetText(::GetDlgItem(hwnd, IDC_QUESTION)));
    EXPECT_EQ(::GetDlgItem(hwnd, IDC_ANSWER), ::GetFocus() ? ::GetFocus() : ::GetDlgItem(hwnd, IDC_ANSWER));
    EXPECT_EQ(0, ::GetWindowLongPtrA(hwnd, GWL_STYLE) & (WS_CAPTION | WS_BORDER | WS_SYSMENU));

    HWND place = ::GetDlgItem(hwnd, IDC_PICTURE_PLACE);
    EXPECT_FALSE(::IsWindowVisible(place));
    RECT placeRect;
    ::GetWindowRect(place, &placeRect);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&placeRect), 2);
    EXPECT_EQ(CQuestionDlg::kPictureWidth, placeRect.right - placeRect.left);
    EXPECT_EQ(CQuestionDlg::kPictureHeight, placeRect.bottom - placeRect.top);

    // The face fills the client area; the picture sits at the placeholder's corner.
    kivotest::Pixels face = CaptureClient(hwnd);
    for (POINT p : {POINT{5, 5}, POINT{200, 27}, POINT{5, 292}, POINT{5, 320}})
      EXPECT_EQ(kivotest::ResourcePixel(IDB_QUESTION_FACE, p.x, p.y), face.At(p.x, p.y)) << p.x << "," << p.y;
    int inked = 0;
    for (int y = 0; y < CQuestionDlg::kPictureHeight; ++y)
      for (int x = 0; x < CQuestionDlg::kPictureWidth; ++x)
        inked += face.At(placeRect.left + x, placeRect.top + y) != RGB(255, 255, 255);
    EXPECT_GT(inked, 200) << "no verification picture was drawn";

    // Label and link stand on white, not on the button face's grey.
    const COLORREF grey = ::GetSysColor(COLOR_BTNFACE);
    for (int id : {IDC_QUESTION, IDC_LINK_NEW_PICTURE}) {
      kivotest::Pixels label = CaptureClient(::GetDlgItem(hwnd, id));
      EXPECT_EQ(0, label.Count(grey)) << id;
      EXPECT_GT(label.Count(RGB(255, 255, 255)), 0) << id;
    }
    EXPECT_TRUE(CaptureClient(::GetDlgItem(hwnd, IDC_LINK_NEW_PICTURE)).HasNear(RGB(82, 124, 210), 8));

    // Any point of the face drags the dialog.
    POINT facePoint{20, 200};
    ::ClientToScreen(hwnd, &facePoint);
    EXPECT_EQ(HTCAPTION, ::SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(facePoint.x, facePoint.y)));

    SaveScreenshot("question-dialog.png");
    // The buttons' hover faces, for the screenshot and read back.
    for (int id : {IDOK, IDC_CLOSE}) {
      HWND button = ::GetDlgItem(hwnd, id);
      RECT rect;
      ::GetWindowRect(button, &rect);
      ::SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
      ::SendMessageA(button, WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
      Sync(hwnd);
      const UINT hover = id == IDOK ? IDB_BUTTON_HOVER : IDB_CLOSE_HOVER;
      EXPECT_EQ(kivotest::ResourcePixel(hover, 2, 2), CaptureClient(button).At(2, 2)) << id;
      if (id == IDOK)
        SaveScreenshot("question-dialog-hover-ok.png");
    }
    ::SetCursorPos(0, 0);
  });
  EXPECT_EQ(IDCANCEL, result);
  EXPECT_TRUE(photos.empty());
}

TEST(QuestionDialog, WrongAnswerShowsTheMessageThenTheRightAnswerAndCodeOpenTheAlbum) {
  std::vector<PhotoInfo> photos;
  CQuestionDlg dialog;
  dialog.m_strUin = kUin;
  dialog.m_strAlbumId = kAlbumId;
  dialog.m_strQuestion = kQuestion;
  dialog.m_pPhotos = &photos;
  const std::size_t viewsBefore = ViewRequests(kAlbumId).size();
  INT_PTR result = RunModalWithScript(dialog, [&](HWND hwnd) {
    TypeAndSubmit(hwnd, {"小学", fetchtest::LastIssuedCode()});
    HWND box = kivodriver::WaitForMessageBox(::GetCurrentProcessId(), "答案错误", 10000);
    ASSERT_TRUE(box);
    EXPECT_EQ(hwnd, ::GetWindow(box, GW_OWNER));
    kivodriver::PressButton(box, IDOK);
    Sync(hwnd);
    EXPECT_TRUE(::IsWindowVisible(hwnd));
    // What the user typed stays for the next try.
    EXPECT_EQ("小学", kivodriver::GetText(::GetDlgItem(hwnd, IDC_ANSWER)));

    const std::size_t pictures = PictureRequests();
    ClickLink(hwnd);
    ASSERT_TRUE(WaitUntil([&] { return PictureRequests() == pictures + 1; }));
    Sync(hwnd);
    TypeAndSubmit(hwnd, {kAnswer, fetchtest::LastIssuedCode()});
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(hwnd); }));
  });
  EXPECT_EQ(IDOK, result);
  ASSERT_EQ(3u, photos.size());
  EXPECT_EQ("小时候", photos[0].name);
  EXPECT_EQ("全家福", photos[2].name);
  EXPECT_NE(std::string::npos, photos[0].origin_url.find("/100001/22/1."));

  // Both requests carried the typed code, the question as UTF-8 escapes and the answer's MD5.
  std::vector<std::string> views = ViewRequests(kAlbumId);
  ASSERT_EQ(viewsBefore + 2, views.size());
  const std::string& last = views.back();
  EXPECT_NE(std::string::npos, last.find("&verifycode=" + fetchtest::LastIssuedCode() + "&")) << last;
  EXPECT_NE(std::string::npos, last.find("&question=" + kivo::UrlEncodeUtf8(kQuestion) + "&")) << last;
  EXPECT_NE(std::string::npos, last.find("&answer=" + kivo::Md5Hex(kAnswer) + "&")) << last;
}

// Each row's answer is served once to a dialog of an album of its own.
TEST(QuestionDialog, TheServicesRetDecidesWhetherTheDialogStaysAndWhatItFetches) {
  struct Case {
    const char* name;
    const char* body;     // served once; null: the connection is dropped instead
    const char* message;  // the message box expected first, or null
    bool closes;
    int newPictures;
    int photos;  // -1: the caller's vector stays as it was
  } cases[] = {
      {"code wrong", "<data><ret>-907</ret><msg>验证码错误</msg></data>", "验证码错误", false, 1, 0},
      {"code stale", "<data><ret>-906</ret></data>", nullptr, false, 1, 0},
      {"too often", "<data><ret>-805</ret></data>", nullptr, false, 1, 0},
      {"answer wrong", "<data><ret>-900</ret><msg>答案错误</msg></data>", "答案错误", false, 0, 0},
      {"accepted with a message",
       "<data><ret>0</ret><msg>欢迎</msg><pic><name>甲</name></pic><pic><name>乙</name></pic></data>",
       "欢迎", true, 0, 2},
      {"accepted, blanks round ret, no pics", "<data><ret> 0 </ret></data>", nullptr, true, 0, 0},
      {"00 is not 0", "<data><ret>00</ret></data>", nullptr, false, 0, 0},
      {"no ret", "<data><msg>稍后再试</msg></data>", "稍后再试", false, 0, 0},
      {"not XML", "oops", nullptr, true, 0, -1},
      {"no answer", nullptr, nullptr, true, 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string album = fetchtest::Token();
    std::string rule = std::string("host=") + kivo::config::kAlbumViewHost + "&query=" +
                       fetchtest::PercentEncode("albumid=" + album + "&") + "&times=1";
    if (c.body)
      rule += "&action=body&body=" + fetchtest::PercentEncode(kivodriver::AnsiToUtf8(c.body));
    else
      rule += "&action=hangup";
    ASSERT_TRUE(fetchtest::InstallFault(rule));
    std::vector<PhotoInfo> photos(1);
    photos[0].name = "before";
    CQuestionDlg dialog;
    dialog.m_strUin = kUin;
    dialog.m_strAlbumId = album;
    dialog.m_strQuestion = kQuestion;
    dialog.m_pPhotos = &photos;
    bool closed = false;
    INT_PTR result = RunModalWithScript(dialog, [&](HWND hwnd) {
      const std::size_t pictures = PictureRequests();
      TypeAndSubmit(hwnd, {"答案", "ABCD"});
      if (c.message) {
        HWND box = kivodriver::WaitForMessageBox(::GetCurrentProcessId(), c.message, 10000);
        ASSERT_TRUE(box);
        // Shown before ret is looked at: the dialog is still there behind it.
        EXPECT_TRUE(::IsWindow(hwnd));
        EXPECT_EQ(kivo::AppTitle(), kivodriver::GetText(box));
        kivodriver::PressButton(box, IDOK);
      }
      if (c.closes) {
        closed = WaitUntil([&] { return !::IsWindow(hwnd); });
        return;
      }
      ASSERT_TRUE(WaitUntil([&] { return ViewRequests(album).size() == 1; }));
      Sync(hwnd);
      ::Sleep(300);
      Sync(hwnd);
      EXPECT_TRUE(::IsWindowVisible(hwnd));
      EXPECT_EQ(pictures + c.newPictures, PictureRequests());
      EXPECT_EQ("答案", kivodriver::GetText(::GetDlgItem(hwnd, IDC_ANSWER)));
      EXPECT_EQ("ABCD", kivodriver::GetText(::GetDlgItem(hwnd, IDC_VERIFY_CODE)));
    });
    EXPECT_EQ(c.closes, closed);
    EXPECT_EQ(c.closes ? IDOK : IDCANCEL, result);
    if (c.closes && c.photos >= 0) {
      EXPECT_EQ(static_cast<std::size_t>(c.photos), photos.size());
    } else {
      // Refused or nothing to read: the caller's vector is as it was.
      ASSERT_EQ(1u, photos.size());
      EXPECT_EQ("before", photos[0].name);
    }
  }
}

TEST(QuestionDialog, CancelEscAndTheCloseButtonEndItWithoutARequest) {
  enum How { kCancel, kEscape, kClose };
  for (How how : {kCancel, kEscape, kClose}) {
    SCOPED_TRACE(how);
    const std::string album = fetchtest::Token();
    std::vector<PhotoInfo> photos;
    CQuestionDlg dialog;
    dialog.m_strUin = kUin;
    dialog.m_strAlbumId = album;
    dialog.m_strQuestion = kQuestion;
    dialog.m_pPhotos = &photos;
    bool closed = false;
    INT_PTR result = RunModalWithScript(dialog, [&](HWND hwnd) {
      if (how == kCancel)
        kivodriver::Click(::GetDlgItem(hwnd, IDCANCEL));
      else if (how == kClose)
        kivodriver::Click(::GetDlgItem(hwnd, IDC_CLOSE));
      else
        kivodriver::PressKey(::GetDlgItem(hwnd, IDC_ANSWER), VK_ESCAPE);
      closed = WaitUntil([&] { return !::IsWindow(hwnd); }, 5000);
    });
    EXPECT_TRUE(closed);
    EXPECT_EQ(IDCANCEL, result);
    EXPECT_TRUE(photos.empty());
    EXPECT_TRUE(ViewRequests(album).empty());
  }
}

}  // namespace
