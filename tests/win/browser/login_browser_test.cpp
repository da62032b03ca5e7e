// The login dialog and its browser control under Wine. Wine's browser control can be made
// and told to navigate but loads nothing here (no HTML engine), so the title rules are fed
// at the seam that the DocumentComplete handler uses, with the service's real titles.
#include "app/main_window_messages.h"
#include "browser/ie_explorer_dlg.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <ole2.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const wchar_t kLoginTitle[] = L"Kivo空间--您需要登录才可以访问Kivo空间";

// The main window's stand-in: a top-level window that records the messages it is sent.
std::vector<UINT> g_received;

LRESULT CALLBACK RecorderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_USER && msg < WM_USER + 100)
    g_received.push_back(msg);
  return ::DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeRecorder() {
  static ATOM atom = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &RecorderProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "KivoTestRecorder";
    return ::RegisterClassA(&wc);
  }();
  if (!atom)
    return nullptr;
  return ::CreateWindowExA(0, "KivoTestRecorder", "recorder", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 60, 1000,
                           720, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
}

std::wstring CaptionOf(HWND hwnd) {
  wchar_t text[256] = {};
  ::GetWindowTextW(hwnd, text, 256);
  return text;
}

void Pump() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

RECT ScreenRect(HWND hwnd) {
  RECT rect{};
  ::GetWindowRect(hwnd, &rect);
  return rect;
}

// A COM object's references, as its AddRef and Release report them.
ULONG ReferencesOf(IUnknown* object) {
  object->AddRef();
  return object->Release();
}

// A login dialog owned by a recording window, as the main window owns it.
class LoginDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    g_received.clear();
    recorder = MakeRecorder();
    ASSERT_NE(nullptr, recorder);
    ASSERT_TRUE(owner.SubclassWindow(recorder));
    ASSERT_TRUE(dialog.Create(&owner));
    dialog.m_hNotifyWnd = recorder;
    hwnd = dialog.GetSafeHwnd();
  }
  void TearDown() override {
    dialog.DestroyWindow();
    owner.UnsubclassWindow();
    ::DestroyWindow(recorder);
    Pump();
  }

  HWND recorder = nullptr;
  kivo::CWnd owner;
  CIEExplorerDlg dialog;
  HWND hwnd = nullptr;
};

// Declared first: the space-page counter belongs to the process, and this walk starts it.
TEST_F(LoginDialog, TitlesShowTheDialogAndNotifyFromTheSecondSpacePageOfTheProcess) {
  ASSERT_FALSE(::IsWindowVisible(hwnd)) << "the dialog starts hidden";
  EXPECT_EQ(L"Dialog", CaptionOf(hwnd));

  struct Step {
    const wchar_t* title;
    bool visible;           // after the step
    std::vector<UINT> sent;  // to the notification window
  } steps[] = {
      {L"", false, {}},
      {L"正在打开...", false, {}},
      // A member already logged in: the first space page of the process passes silently.
      {L"480215937的空间 - space.kivo.test", false, {}},
      {L"Pavo精彩由你而来", false, {WM_SPACE_NOT_FOUND}},
      // From the second space page on, every one finishes the login; the domain in any case.
      {L"480215937的空间 - SPACE.KIVO.TEST", false, {WM_LOGIN_FINISHED}},
      // The login page, in other letter case, shows the dialog.
      {L"kivo空间--您需要登录才可以访问KIVO空间", true, {}},
      {L"空间 space.kivo", true, {}},
      // The home page leaves a shown dialog shown.
      {L"PAVO精彩由你而来", true, {WM_SPACE_NOT_FOUND}},
      {L"Pavo精彩由你而来!", true, {}},
      {L"123456的空间 - Space.Kivo.Test", false, {WM_LOGIN_FINISHED}},
      // A later view of another account: its first space page notifies at once.
      {L"777的空间 - space.kivo.test", false, {WM_LOGIN_FINISHED}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "title #" << (&step - steps));
    g_received.clear();
    dialog.OnDocumentTitle(step.title);
    EXPECT_EQ(step.visible, ::IsWindowVisible(hwnd) != FALSE);
    EXPECT_EQ(step.sent, g_received);
    EXPECT_TRUE(::IsWindow(hwnd));
  }
  // The caption the login page gave stays, in the page's own spelling of the title.
  EXPECT_EQ(kLoginTitle, CaptionOf(hwnd));

  // With no notification window set yet, a title changes the dialog but sends nothing.
  dialog.m_hNotifyWnd = nullptr;
  g_received.clear();
  dialog.OnDocumentTitle(L"Pavo精彩由你而来");
  dialog.OnDocumentTitle(L"888的空间 - space.kivo.test");
  EXPECT_TRUE(g_received.empty());
  EXPECT_FALSE(::IsWindowVisible(hwnd));
}

TEST_F(LoginDialog, ShowsItselfCentredOverItsOwner) {
  dialog.OnDocumentTitle(kLoginTitle);
  ASSERT_TRUE(::IsWindowVisible(hwnd));
  RECT own = ScreenRect(recorder);
  RECT mine = ScreenRect(hwnd);
  EXPECT_NEAR((own.left + own.right) / 2, (mine.left + mine.right) / 2, 1);
  EXPECT_NEAR((own.top + own.bottom) / 2, (mine.top + mine.bottom) / 2, 1);

  // An owner near the screen's corner: the dialog stays on the work area.
  ::ShowWindow(hwnd, SW_HIDE);
  ::SetWindowPos(recorder, nullptr, -600, -400, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  dialog.OnDocumentTitle(kLoginTitle);
  RECT work{};
  ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  mine = ScreenRect(hwnd);
  EXPECT_GE(mine.left, work.left);
  EXPECT_GE(mine.top, work.top);
}

TEST_F(LoginDialog, ClosingHidesItKeepsItAndTellsTheOwner) {
  enum How { kMessage, kKey };
  struct Case {
    const char* name;
    How how;
    UINT msg;
    WPARAM wParam;
  } cases[] = {
      {"close box", kMessage, WM_CLOSE, 0},
      {"IDCANCEL", kMessage, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)},
      {"IDOK", kMessage, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)},
      // The keys, through the dialog manager's handling that the program's loop gives it.
      {"Esc", kKey, WM_KEYDOWN, VK_ESCAPE},
      {"Enter", kKey, WM_KEYDOWN, VK_RETURN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dialog.OnDocumentTitle(kLoginTitle);
    ASSERT_TRUE(::IsWindowVisible(hwnd));
    g_received.clear();
    if (c.how == kMessage) {
      ::SendMessageA(hwnd, c.msg, c.wParam, 0);
    } else {
      MSG key{hwnd, c.msg, c.wParam, 0, 0, {}};
      EXPECT_TRUE(dialog.PreTranslateMessage(key));
    }
    Pump();
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ(hwnd, dialog.GetSafeHwnd());
    EXPECT_FALSE(::IsWindowVisible(hwnd));
    EXPECT_EQ(std::vector<UINT>{WM_LOGIN_CANCELLED}, g_received);
  }

  // A hidden dialog is loading for the main window: a close that reaches it changes nothing.
  g_received.clear();
  ::SendMessageA(hwnd, WM_CLOSE, 0, 0);
  Pump();
  EXPECT_TRUE(::IsWindow(hwnd));
  EXPECT_TRUE(g_received.empty());

  // It still works after being closed: the next login page shows it again.
  dialog.OnDocumentTitle(kLoginTitle);
  EXPECT_TRUE(::IsWindowVisible(hwnd));
}

TEST_F(LoginDialog, HostsTheBrowserControlFillingTheClientArea) {
  IWebBrowser2* control = dialog.m_browser.GetControl();
  ASSERT_NE(nullptr, control) << "the WebBrowser control was not created";
  IWebBrowser2* queried = nullptr;
  ASSERT_EQ(S_OK, control->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&queried)));
  queried->Release();

  HWND host = dialog.GetDlgItem(IDC_BROWSER);
  ASSERT_EQ(host, dialog.m_browser.GetSafeHwnd());
  HWND inner = ::GetWindow(host, GW_CHILD);
  ASSERT_NE(nullptr, inner) << "the control made no window in its place";

  // Before any resize the browser keeps its template place; after one it fills the client area.
  // As the dialog manager places an item: position and size each converted on its own.
  RECT units{7, 7, 528, 269};
  ::MapDialogRect(hwnd, &units);
  RECT templatePlace{units.left, units.top, units.left + units.right, units.top + units.bottom};
  RECT initial = ScreenRect(host);
  ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&initial), 2);
  EXPECT_EQ(templatePlace.left, initial.left);
  EXPECT_EQ(templatePlace.top, initial.top);
  EXPECT_EQ(templatePlace.right - templatePlace.left, initial.right - initial.left);
  EXPECT_EQ(templatePlace.bottom - templatePlace.top, initial.bottom - initial.top);
  dialog.OnDocumentTitle(kLoginTitle);
  for (SIZE size : {SIZE{640, 480}, SIZE{500, 320}}) {
    ::SetWindowPos(hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
    Pump();
    RECT client{};
    ::GetClientRect(hwnd, &client);
    RECT placed = ScreenRect(host);
    ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(0, placed.left);
    EXPECT_EQ(0, placed.top);
    EXPECT_EQ(client.right, placed.right);
    EXPECT_EQ(client.bottom, placed.bottom);
    RECT innerRect = ScreenRect(inner);
    ::MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&innerRect), 2);
    EXPECT_EQ(client.right, innerRect.right - innerRect.left);
    EXPECT_EQ(client.bottom, innerRect.bottom - innerRect.top);
  }
}

TEST_F(LoginDialog, NavigateAndStopReachTheControl) {
  ASSERT_NE(nullptr, dialog.m_browser.GetControl());
  EXPECT_EQ(S_OK, dialog.m_browser.Navigate("http://480215937.space.kivo.test"));
  Pump();
  EXPECT_EQ(S_OK, dialog.m_browser.Stop());
  // Nothing loads here: no document, so no title, and the handler's path does nothing.
  std::wstring title = L"unchanged";
  EXPECT_FALSE(dialog.m_browser.GetDocumentTitle(title));
  EXPECT_EQ(L"unchanged", title);
}

TEST(LoginBrowser, NoReferenceOutlivesTheWindow) {
  long sitesBefore = CBrowserSite::LiveCount();
  kivo::CWnd owner;
  HWND recorder = MakeRecorder();
  ASSERT_TRUE(owner.SubclassWindow(recorder));
  {
    CIEExplorerDlg dialog;
    ASSERT_TRUE(dialog.Create(&owner));
    IWebBrowser2* control = dialog.m_browser.GetControl();
    ASSERT_NE(nullptr, control);
    EXPECT_EQ(sitesBefore + 1, CBrowserSite::LiveCount());
    // Every path that touches the control: navigate, stop, document, title, placing, focus.
    dialog.m_browser.Navigate("http://1.space.kivo.test");
    Pump();
    dialog.m_browser.Stop();
    std::wstring title;
    dialog.m_browser.GetDocumentTitle(title);
    ::SetWindowPos(dialog.GetSafeHwnd(), nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    dialog.OnDocumentTitle(kLoginTitle);
    ::SetFocus(dialog.m_browser.GetSafeHwnd());
    Pump();

    // Hold the control past the window: the test's reference must then be its last one.
    control->AddRef();
    dialog.DestroyWindow();
    EXPECT_EQ(nullptr, dialog.m_browser.GetControl());
    // Wine's navigation may hold the control a little longer; what stays is ours.
    DWORD start = ::GetTickCount();
    while (ReferencesOf(control) > 1 && ::GetTickCount() - start < 3000) {
      Pump();
      ::Sleep(10);
    }
    EXPECT_EQ(0u, control->Release()) << "the program kept references to the control";
  }
  EXPECT_EQ(sitesBefore, CBrowserSite::LiveCount()) << "the control kept references to its site";
  owner.UnsubclassWindow();
  ::DestroyWindow(recorder);
}

TEST(LoginBrowser, WithoutOleTheDialogStillWorksAndNavigateFails) {
  // A thread that never initialised OLE gets no control, yet a working dialog.
  HRESULT navigate = S_OK;
  bool created = false, hasControl = true;
  std::thread([&] {
    CIEExplorerDlg dialog;
    created = dialog.Create();
    hasControl = dialog.m_browser.GetControl() != nullptr;
    navigate = dialog.m_browser.Navigate("http://1.space.kivo.test");
    dialog.DestroyWindow();
  }).join();
  EXPECT_TRUE(created);
  EXPECT_FALSE(hasControl);
  EXPECT_TRUE(FAILED(navigate));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  if (FAILED(::OleInitialize(nullptr)))
    return 3;
  int result = RUN_ALL_TESTS();
  ::OleUninitialize();
  return result;
}
