// A protected album from outside: the real program lists a member who keeps one, asks the
// question in its dialog during the download, and saves the album's photos once the service
// has taken the answer and the code; a cancelled dialog leaves the ordinary photo list to decide.
#include "album_job.h"
#include "build_config.h"
#include "e2e/e2e_support.h"
#include "res/resource.h"
#include "win/service/fetch_support.h"
#include "win/window_pixels.h"

#include <gtest/gtest.h>
#include <wininet.h>

#include <string>
#include <vector>

namespace {

using e2e::InstallCopy;
using e2e::Program;
using e2e::ReadFile;

constexpr int kJobTimeoutMs = 120000;
constexpr int kStepTimeoutMs = 20000;
const char kUin[] = "100001";  // his space asks for a login; album 22 is protected
const char kAlbumName[] = "私密相册";
const char kQuestion[] = "我的小学叫什么名字？";
const char kAnswer[] = "实验小学";
const char kPhotoListPath[] = "/fcgi-bin/fcg_list_photo";
const char kViewPath[] = "/cgi-bin/common/cgi_view_album";

template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs = kStepTimeoutMs) {
  DWORD start = ::GetTickCount();
  while (!condition()) {
    if (static_cast<int>(::GetTickCount() - start) > timeoutMs)
      return false;
    ::Sleep(50);
  }
  return true;
}

// What the login browser leaves behind where it can load pages: the service's login cookie in
// the user's store, which every WinINet client of the user shares. Lasting, so that it reaches
// the program's own process; expired again at the end, so that no later test is logged in.
class LoginCookie {
 public:
  explicit LoginCookie(const std::string& uin) {
    set_ = Set(uin + "; expires=Thu, 31-Dec-2037 23:59:59 GMT");
  }
  ~LoginCookie() { Set("gone; expires=Thu, 01-Jan-1970 00:00:01 GMT"); }
  bool set() const { return set_; }

 private:
  static bool Set(const std::string& value) {
    const std::string url = std::string("http://") + kivo::config::kLoginHost + "/";
    return ::InternetSetCookieA(url.c_str(), "kivo_login", (value + "; domain=.kivo.test; path=/").c_str()) != FALSE;
  }
  bool set_ = false;
};

std::size_t PictureRequests() {
  return fetchtest::LoggedRequests(kivo::config::kLoginHost, "/getimage").size();
}

// Logged requests on host and path whose query names the protected album.
std::vector<std::string> AlbumRequests(const std::string& host, const char* path) {
  std::vector<std::string> found;
  for (const std::string& entry : fetchtest::LoggedRequests(host, path)) {
    std::string query;
    if (fetchtest::LoggedField(entry, "query", query) && query.find("albumid=22&") != std::string::npos)
      found.push_back(entry);
  }
  return found;
}

// The question dialog of the program: a dialog owned by its main window.
HWND WaitForQuestionDialog(DWORD processId, HWND main) {
  return kivodriver::WaitForWindow(
      processId,
      [main](HWND hwnd) { return ::GetWindow(hwnd, GW_OWNER) == main && ::GetDlgItem(hwnd, IDC_QUESTION); },
      kStepTimeoutMs);
}

// The verification picture as the dialog shows it, at its placeholder's corner.
std::vector<COLORREF> ShownPicture(HWND dialog) {
  RECT place;
  ::GetWindowRect(::GetDlgItem(dialog, IDC_PICTURE_PLACE), &place);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
  kivotest::Pixels face = kivotest::CaptureClient(dialog);
  std::vector<COLORREF> picture;
  for (int y = place.top; y < place.top + 53 && y < face.height; ++y)
    for (int x = place.left; x < place.left + 130 && x < face.width; ++x)
      picture.push_back(face.At(x, y));
  return picture;
}

int NonWhite(const std::vector<COLORREF>& pixels) {
  int n = 0;
  for (COLORREF c : pixels)
    n += c != RGB(255, 255, 255);
  return n;
}

void ClickLink(HWND link) {
  ::PostMessageA(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::PostMessageA(link, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

// Lists the member with the login cookie and leaves only the protected album ticked.
HWND StartWithTheProtectedAlbumTicked(Program& program, const std::string& folder) {
  HWND main = program.StartAndWait(folder);
  if (!main) {
    ADD_FAILURE() << "the program did not start";
    return nullptr;
  }
  std::string error;
  if (!kivodriver::ListAlbumsOf(main, kUin, kJobTimeoutMs, error)) {
    ADD_FAILURE() << error;
    return nullptr;
  }
  std::vector<kivodriver::ListItem> items;
  HWND list = ::GetDlgItem(main, kivodriver::kAlbumList);
  EXPECT_TRUE(kivodriver::ReadListView(list, items));
  if (items.size() != 2u) {
    ADD_FAILURE() << "the logged-in member's two albums are not listed: " << kivodriver::AnsiToUtf8(kivodriver::LogText(main));
    return nullptr;
  }
  EXPECT_EQ(std::string(kAlbumName) + "\n共3张", items[1].text);
  EXPECT_TRUE(kivodriver::SetListItemChecked(list, 0, false));
  return main;
}

// After the dialog: the final question, answered No, and the buttons back.
void FinishDownload(DWORD processId, HWND main) {
  HWND box = kivodriver::WaitForMessageBox(processId, "相册下载完毕，是否打开下载目录查看?", kJobTimeoutMs);
  ASSERT_TRUE(box) << "no final question";
  kivodriver::PressButton(box, IDNO);
  ASSERT_TRUE(kivodriver::WaitForEnabled(main, kivodriver::kDownloadButton, true, 10000));
}

TEST(ProtectedAlbum, OpensAfterAWrongAndARightAnswerAndItsPhotosArriveByteForByte) {
  LoginCookie login(kUin);
  ASSERT_TRUE(login.set());
  const std::string folder = InstallCopy("question");
  Program program;
  HWND main = StartWithTheProtectedAlbumTicked(program, folder);
  ASSERT_TRUE(main);

  const std::size_t picturesBefore = PictureRequests();
  kivodriver::Click(::GetDlgItem(main, kivodriver::kDownloadButton));
  HWND dialog = WaitForQuestionDialog(program.Id(), main);
  ASSERT_TRUE(dialog) << "no question dialog owned by the main window";
  EXPECT_FALSE(::IsWindowEnabled(main)) << "the main window takes input beside the dialog";
  EXPECT_EQ(picturesBefore + 2, PictureRequests());
  EXPECT_EQ(kQuestion, kivodriver::GetText(::GetDlgItem(dialog, IDC_QUESTION)));
  ::Sleep(300);
  const std::vector<COLORREF> firstPicture = ShownPicture(dialog);
  EXPECT_GT(NonWhite(firstPicture), 200) << "no verification picture is shown";
  e2e::SaveScreenshot("question-e2e-dialog.png");

  // The image buttons take their hover faces under the pointer.
  for (int id : {IDOK, IDCANCEL, IDC_CLOSE}) {
    HWND button = ::GetDlgItem(dialog, id);
    const COLORREF normal = kivotest::CaptureClient(button).At(2, 2);
    RECT rect;
    ::GetWindowRect(button, &rect);
    // The pointer moves about over the button, and the system sends the moves. Wine answers
    // the button's re-arming at the hover time with a leave notice, so the normal face may
    // come back under a pointer that rests; the next move brings the hover face again.
    int step = 0;
    EXPECT_TRUE(WaitUntil(
        [&] {
          ::SetCursorPos((rect.left + rect.right) / 2 + (step++ % 2), (rect.top + rect.bottom) / 2);
          return kivotest::CaptureClient(button).At(2, 2) != normal;
        },
        3000))
        << "no hover face on button " << id;
    if (id == IDOK)
      e2e::SaveScreenshot("question-e2e-hover-ok.png");
  }
  ::SetCursorPos(0, 0);

  // A wrong answer with the right code: the service's message, and the dialog stays as typed.
  const std::string wrong = "中心小学";
  kivodriver::SetText(::GetDlgItem(dialog, IDC_ANSWER), wrong);
  kivodriver::SetText(::GetDlgItem(dialog, IDC_VERIFY_CODE), fetchtest::LastIssuedCode());
  kivodriver::Click(::GetDlgItem(dialog, IDOK));
  HWND box = kivodriver::WaitForMessageBox(program.Id(), "答案错误", kStepTimeoutMs);
  ASSERT_TRUE(box) << "no message for the wrong answer";
  EXPECT_EQ(dialog, ::GetWindow(box, GW_OWNER));
  e2e::SaveScreenshot("question-e2e-wrong-answer.png");
  kivodriver::PressButton(box, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
  ::Sleep(500);
  ASSERT_TRUE(::IsWindowVisible(dialog)) << "the dialog closed on a wrong answer";
  EXPECT_EQ(wrong, kivodriver::GetText(::GetDlgItem(dialog, IDC_ANSWER)));
  EXPECT_TRUE(e2e::FolderEntries(folder + kUin + "\\" + kAlbumName + "\\").empty());

  // The link fetches a new picture, with a new code, and shows it.
  const std::size_t pictures = PictureRequests();
  ClickLink(::GetDlgItem(dialog, IDC_LINK_NEW_PICTURE));
  ASSERT_TRUE(WaitUntil([&] { return PictureRequests() == pictures + 1; }));
  std::vector<COLORREF> newPicture;
  EXPECT_TRUE(WaitUntil([&] { return (newPicture = ShownPicture(dialog)) != firstPicture; }, 5000))
      << "the dialog still shows the old picture";
  EXPECT_GT(NonWhite(newPicture), 200);
  e2e::SaveScreenshot("question-e2e-new-picture.png");

  const std::string code = fetchtest::LastIssuedCode();
  kivodriver::SetText(::GetDlgItem(dialog, IDC_ANSWER), kAnswer);
  kivodriver::SetText(::GetDlgItem(dialog, IDC_VERIFY_CODE), code);
  kivodriver::Click(::GetDlgItem(dialog, IDOK));
  ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); })) << "the right answer did not close the dialog";
  FinishDownload(program.Id(), main);

  // The accepted request carried the code of the picture shown.
  std::vector<std::string> views = AlbumRequests(kivo::config::kAlbumViewHost, kViewPath);
  ASSERT_GE(views.size(), 2u);
  std::string query;
  ASSERT_TRUE(fetchtest::LoggedField(views.back(), "query", query));
  EXPECT_NE(std::string::npos, query.find("&verifycode=" + code + "&")) << query;

  const struct {
    const char* name;
    int number;
  } photos[] = {{"小时候", 1}, {"生日", 2}, {"全家福", 3}};
  const std::string album = folder + kUin + "\\" + kAlbumName + "\\";
  for (const auto& photo : photos) {
    const std::string url = std::string("http://photo.kivo.test/") + kUin + "/22/" + std::to_string(photo.number) + ".jpg";
    const std::string served = fetchtest::ServedContent(url);
    ASSERT_GT(served.size(), 1000u) << url;
    EXPECT_TRUE(ReadFile(album + photo.name + ".jpg") == served) << kivodriver::AnsiToUtf8(photo.name);
  }
  EXPECT_EQ(3u, e2e::FolderEntries(album).size());
  EXPECT_EQ((std::vector<std::string>{kAlbumName}), e2e::FolderEntries(folder + kUin + "\\"));
  const std::string log = kivodriver::LogText(main);
  EXPECT_NE(std::string::npos, log.find("共保存3张图片，0张下载失败")) << kivodriver::AnsiToUtf8(log);
}

TEST(ProtectedAlbum, ACancelledDialogLeavesTheOrdinaryPhotoListToDecide) {
  LoginCookie login(kUin);
  ASSERT_TRUE(login.set());
  const std::string folder = InstallCopy("question-cancel");
  Program program;
  HWND main = StartWithTheProtectedAlbumTicked(program, folder);
  ASSERT_TRUE(main);
  const std::string member = folder + kUin + "\\";

  struct Way {
    const char* name;
    void (*cancel)(HWND dialog);
  } ways[] = {
      {"取消", [](HWND dialog) { kivodriver::Click(::GetDlgItem(dialog, IDCANCEL)); }},
      {"close button", [](HWND dialog) { kivodriver::Click(::GetDlgItem(dialog, IDC_CLOSE)); }},
      {"Esc", [](HWND dialog) { kivodriver::PressKey(::GetDlgItem(dialog, IDC_ANSWER), VK_ESCAPE); }},
  };
  std::size_t runs = 0;
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    const std::size_t lists = AlbumRequests("p7.kivo.test", kPhotoListPath).size();
    const std::size_t views = AlbumRequests(kivo::config::kAlbumViewHost, kViewPath).size();
    kivodriver::Click(::GetDlgItem(main, kivodriver::kDownloadButton));
    HWND dialog = WaitForQuestionDialog(program.Id(), main);
    ASSERT_TRUE(dialog);
    kivodriver::SetText(::GetDlgItem(dialog, IDC_ANSWER), kAnswer);
    way.cancel(dialog);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(dialog); })) << "the dialog stays";
    FinishDownload(program.Id(), main);
    ++runs;

    // Nothing was submitted; the plain photo list was asked, logged in, and has no photos for
    // a protected album.
    EXPECT_EQ(views, AlbumRequests(kivo::config::kAlbumViewHost, kViewPath).size());
    std::vector<std::string> listed = AlbumRequests("p7.kivo.test", kPhotoListPath);
    ASSERT_EQ(lists + 1, listed.size());
    std::string cookie;
    EXPECT_TRUE(fetchtest::LoggedField(listed.back(), "cookie", cookie));
    EXPECT_NE(std::string::npos, cookie.find(std::string("kivo_login=") + kUin)) << cookie;

    // One more album folder each time, every one of them empty.
    std::vector<std::string> albums = e2e::FolderEntries(member);
    ASSERT_EQ(runs, albums.size());
    for (const std::string& name : albums)
      EXPECT_TRUE(e2e::FolderEntries(member + name + "\\").empty()) << kivodriver::AnsiToUtf8(name);
  }
  const DWORD first = ::GetFileAttributesA((member + kAlbumName).c_str());
  EXPECT_TRUE(first != INVALID_FILE_ATTRIBUTES && (first & FILE_ATTRIBUTE_DIRECTORY)) << "the album's own folder is missing";
  const std::string log = kivodriver::LogText(main);
  EXPECT_NE(std::string::npos, log.find("共保存0张图片，0张下载失败")) << kivodriver::AnsiToUtf8(log);
}

}  // namespace
