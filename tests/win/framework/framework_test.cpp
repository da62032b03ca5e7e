// The framework's dispatch, reflection and dialog runs, recorded as message sequences.
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "framework/res_strings.h"
#include "framework/win_app.h"
#include "framework/worker_thread.h"
#include "kivo_driver.h"
#include "test_resource.h"
#include "window_script.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

using kivotest::RunModalWithScript;
using kivotest::Sync;

// What the windows under test saw, in order. The dialog's thread records while the
// script's thread reads, and painting adds events of its own whenever it likes: a test
// reads only the kinds of events it is about.
std::mutex g_eventsLock;
std::vector<std::string> g_events;
// Colour requests are recorded only for this device context, the test's own.
HDC g_watchDc = nullptr;

void Record(const std::string& event) {
  std::lock_guard<std::mutex> lock(g_eventsLock);
  g_events.push_back(event);
}

void ClearEvents() {
  std::lock_guard<std::mutex> lock(g_eventsLock);
  g_events.clear();
}

// The recorded events that start with one of the prefixes, joined by commas.
std::string Events(std::initializer_list<const char*> prefixes) {
  std::lock_guard<std::mutex> lock(g_eventsLock);
  std::string out;
  for (const std::string& e : g_events) {
    for (const char* prefix : prefixes) {
      if (e.rfind(prefix, 0) == 0) {
        out += (out.empty() ? "" : ", ") + e;
        break;
      }
    }
  }
  return out;
}

class RecordingStatic : public kivo::CStatic {
 public:
  HBRUSH brush = nullptr;
  HWND handleSeenBeforeSubclass = nullptr;
  WNDPROC procSeenBeforeSubclass = nullptr;

 protected:
  void PreSubclassWindow() override {
    handleSeenBeforeSubclass = m_hWnd;
    procSeenBeforeSubclass = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC));
    Record("static:presubclass");
  }
  HBRUSH CtlColor(HDC dc, UINT type) override {
    if (dc == g_watchDc)
      Record(type == CTLCOLOR_STATIC ? "static:ctlcolor" : "static:ctlcolor?");
    ::SetTextColor(dc, RGB(0, 0, 204));
    return brush;
  }
};

class RecordingButton : public kivo::CButton {
 public:
  bool takeCommands = false;

  bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    if (msg == WM_COMMAND) {
      Record("button:command");
      return takeCommands;
    }
    return CButton::OnChildNotify(msg, wParam, lParam, result);
  }

 protected:
  bool DrawItem(const DRAWITEMSTRUCT& item) override {
    Record(item.CtlID == IDC_PROBE_DRAWN ? "button:drawitem" : "button:drawitem?");
    return true;
  }
};

class ProbeDialog : public kivo::CDialog {
 public:
  ProbeDialog() : CDialog(IDD_PROBE) {}

  RecordingStatic label;
  RecordingButton drawn;
  RecordingButton push;
  std::string editText = "初始文字";
  int checked = 1;
  HFONT fontAtInit = nullptr;
  INT_PTR endInInit = 0;  // non-zero: EndDialog with it during initialisation
  bool destroyInInit = false;
  bool whiteAfterReflection = false;
  int postNcDestroyCalls = 0;

 protected:
  bool OnInitDialog() override {
    Record("dialog:initdialog");
    fontAtInit = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
    CDialog::OnInitDialog();
    if (endInInit)
      EndDialog(endInInit);
    if (destroyInInit)
      DestroyWindow();
    return true;
  }
  void DoDataExchange(kivo::CDataExchange& dx) override {
    dx.Control(IDC_PROBE_STATIC, label);
    dx.Control(IDC_PROBE_DRAWN, drawn);
    dx.Control(IDC_PROBE_BUTTON, push);
    dx.Text(IDC_PROBE_EDIT, editText);
    dx.Check(IDC_PROBE_CHECK, checked);
  }
  bool OnCommand(int id, int code, HWND) override {
    if (id == IDC_PROBE_BUTTON && code == BN_CLICKED) {
      Record("dialog:command");
      return true;
    }
    return false;
  }
  bool OnNotify(const NMHDR& header, LRESULT* result) override {
    Record("dialog:notify");
    *result = static_cast<LRESULT>(header.code) + 1;
    return true;
  }
  HBRUSH OnCtlColor(HDC dc, HWND child, UINT msg) override {
    if (dc == g_watchDc)
      Record("dialog:ctlcolor");
    HBRUSH reflected = CDialog::OnCtlColor(dc, child, msg);
    if (!whiteAfterReflection)
      return reflected;
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  }
  void OnOK() override {
    Record("dialog:ok");
    CDialog::OnOK();
  }
  void OnCancel() override {
    Record("dialog:cancel");
    CDialog::OnCancel();
  }
  void PostNcDestroy() override { ++postNcDestroyCalls; }
};

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearEvents();
    g_watchDc = nullptr;
  }
};

// Records which messages reach the dialog window, whoever handles them, by a thread hook.
class MessageHook {
 public:
  MessageHook() {
    s_seen.clear();
    hook_ = ::SetWindowsHookExA(WH_CALLWNDPROC, &Proc, nullptr, ::GetCurrentThreadId());
  }
  ~MessageHook() { ::UnhookWindowsHookEx(hook_); }
  static std::vector<UINT> s_seen;

 private:
  static LRESULT CALLBACK Proc(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && kivodriver::GetClassNameOf(msg->hwnd) == "#32770" &&
        (msg->message == WM_SETFONT || msg->message == WM_INITDIALOG))
      s_seen.push_back(msg->message);
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HHOOK hook_;
};
std::vector<UINT> MessageHook::s_seen;

TEST_F(FrameworkTest, MessagesBeforeInitDialogGetTheDefaultAndTheFontIsSetByThen) {
  MessageHook hook;
  ProbeDialog dialog;
  dialog.endInInit = IDCANCEL;
  dialog.DoModal();
  // WM_SETFONT really came first, with no object to take it, and did no harm.
  ASSERT_GE(MessageHook::s_seen.size(), 2u);
  EXPECT_EQ(static_cast<UINT>(WM_SETFONT), MessageHook::s_seen.front());
  EXPECT_NE(nullptr, dialog.fontAtInit);
  EXPECT_EQ("dialog:initdialog", Events({"dialog:"}));
}

TEST_F(FrameworkTest, BindingRunsPreSubclassWindowWithTheHandleAndTheOldProcedure) {
  ProbeDialog dialog;
  RunModalWithScript(dialog, [&](HWND hwnd) {
    HWND label = ::GetDlgItem(hwnd, IDC_PROBE_STATIC);
    EXPECT_EQ(label, dialog.label.handleSeenBeforeSubclass);
    EXPECT_EQ(&dialog.label, kivo::CWnd::FromHandle(label));
    EXPECT_EQ(&dialog, kivo::CWnd::FromHandle(hwnd));
    // The bound control still behaves as itself.
    EXPECT_EQ("标签", kivodriver::GetText(label));
  });
  EXPECT_NE(nullptr, dialog.label.procSeenBeforeSubclass);
  // Gone with the window: nothing keeps a handle that could be reused.
  EXPECT_EQ(nullptr, dialog.label.GetSafeHwnd());
  EXPECT_EQ(nullptr, dialog.GetSafeHwnd());
  EXPECT_EQ(1, dialog.postNcDestroyCalls);
}

TEST_F(FrameworkTest, ColourRequestsAreReflectedToTheBoundControl) {
  ProbeDialog dialog;
  dialog.label.brush = static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
  RunModalWithScript(dialog, [&](HWND hwnd) {
    HWND label = ::GetDlgItem(hwnd, IDC_PROBE_STATIC);
    HWND edit = ::GetDlgItem(hwnd, IDC_PROBE_EDIT);
    HDC dc = ::GetDC(label);
    g_watchDc = dc;

    ClearEvents();
    LRESULT brush = ::SendMessageA(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
    EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH)), brush);
    EXPECT_EQ("dialog:ctlcolor, static:ctlcolor", Events({"dialog:ctlcolor", "static:"}));
    EXPECT_EQ(RGB(0, 0, 204), ::GetTextColor(dc));

    // A control that is not bound gets the dialog manager's default.
    ClearEvents();
    brush = ::SendMessageA(hwnd, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(edit));
    EXPECT_EQ("dialog:ctlcolor", Events({"dialog:ctlcolor", "static:"}));
    EXPECT_NE(0, brush);

    // A parent that answers after the reflection keeps the child's text colour.
    dialog.whiteAfterReflection = true;
    ::SetTextColor(dc, RGB(1, 2, 3));
    ClearEvents();
    brush = ::SendMessageA(hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
    EXPECT_EQ(reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH)), brush);
    EXPECT_EQ("dialog:ctlcolor, static:ctlcolor", Events({"dialog:ctlcolor", "static:"}));
    EXPECT_EQ(RGB(0, 0, 204), ::GetTextColor(dc));
    EXPECT_EQ(TRANSPARENT, ::GetBkMode(dc));
    g_watchDc = nullptr;
    ::ReleaseDC(label, dc);
  });
}

TEST_F(FrameworkTest, OwnerDrawIsReflectedToTheButton) {
  ProbeDialog dialog;
  RunModalWithScript(dialog, [&](HWND hwnd) {
    HWND drawn = ::GetDlgItem(hwnd, IDC_PROBE_DRAWN);
    Sync(hwnd);
    ClearEvents();
    ::InvalidateRect(drawn, nullptr, TRUE);
    Sync(hwnd);
    EXPECT_EQ("button:drawitem", Events({"button:drawitem"}));
  });
}

TEST_F(FrameworkTest, CommandsGoToTheControlFirstThenTheDialog) {
  ProbeDialog dialog;
  RunModalWithScript(dialog, [&](HWND hwnd) {
    HWND push = ::GetDlgItem(hwnd, IDC_PROBE_BUTTON);
    ClearEvents();
    ::SendMessageA(push, BM_CLICK, 0, 0);
    EXPECT_EQ("button:command, dialog:command", Events({"button:command", "dialog:command"}));

    dialog.push.takeCommands = true;
    ClearEvents();
    ::SendMessageA(push, BM_CLICK, 0, 0);
    EXPECT_EQ("button:command", Events({"button:command", "dialog:command"}));
  });
}

TEST_F(FrameworkTest, NotifyResultGoesBackThroughTheDialogResult) {
  ProbeDialog dialog;
  RunModalWithScript(dialog, [&](HWND hwnd) {
    NMHDR header{};
    header.hwndFrom = ::GetDlgItem(hwnd, IDC_PROBE_EDIT);
    header.idFrom = IDC_PROBE_EDIT;
    header.code = 41;
    LRESULT result = ::SendMessageA(hwnd, WM_NOTIFY, IDC_PROBE_EDIT, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(42, result);
  });
}

TEST_F(FrameworkTest, ADialogThatEndsItselfInItsInitialisation) {
  {
    ProbeDialog modal;
    modal.endInInit = 1234;
    EXPECT_EQ(1234, modal.DoModal());
    EXPECT_EQ(nullptr, modal.GetSafeHwnd());
    // The object is whole again and can run once more.
    modal.endInInit = 77;
    EXPECT_EQ(77, modal.DoModal());
    EXPECT_EQ(2, modal.postNcDestroyCalls);
  }
  {
    ProbeDialog modeless;
    modeless.destroyInInit = true;
    EXPECT_FALSE(modeless.Create(nullptr));
    EXPECT_EQ(nullptr, modeless.GetSafeHwnd());
    EXPECT_EQ(1, modeless.postNcDestroyCalls);
  }
}

TEST_F(FrameworkTest, EnterAndEscEndTheModalRunThroughOkAndCancel) {
  struct Case {
    UINT key;
    INT_PTR result;
    const char* events;
  } cases[] = {
      {VK_RETURN, IDOK, "dialog:ok"},
      {VK_ESCAPE, IDCANCEL, "dialog:cancel"},
  };
  for (const Case& c : cases) {
    ProbeDialog dialog;
    INT_PTR result = RunModalWithScript(dialog, [&](HWND hwnd) {
      HWND edit = ::GetDlgItem(hwnd, IDC_PROBE_EDIT);
      kivodriver::SetText(edit, "改过的");
      ::SendMessageA(::GetDlgItem(hwnd, IDC_PROBE_CHECK), BM_SETCHECK, BST_UNCHECKED, 0);
      ClearEvents();
      kivodriver::PressKey(edit, c.key);
      for (int i = 0; i < 100 && ::IsWindow(hwnd); ++i)
        ::Sleep(20);
      EXPECT_FALSE(::IsWindow(hwnd));
    });
    EXPECT_EQ(c.result, result);
    EXPECT_EQ(c.events, Events({"dialog:ok", "dialog:cancel"}));
    // OK moved the controls into the members; Cancel left them.
    EXPECT_EQ(c.result == IDOK ? "改过的" : "初始文字", dialog.editText);
    EXPECT_EQ(c.result == IDOK ? 0 : 1, dialog.checked);
  }
}

TEST_F(FrameworkTest, DataExchangeFillsControlsAtInitialisation) {
  ProbeDialog dialog;
  RunModalWithScript(dialog, [&](HWND hwnd) {
    EXPECT_EQ("初始文字", kivodriver::GetText(::GetDlgItem(hwnd, IDC_PROBE_EDIT)));
    EXPECT_EQ(BST_CHECKED, ::SendMessageA(::GetDlgItem(hwnd, IDC_PROBE_CHECK), BM_GETCHECK, 0, 0));
  });
}

// A modal dialog that a worker ends by posting to it, as a download dialog is.
class WorkerDrivenDialog : public kivo::CDialog {
 public:
  WorkerDrivenDialog() : CDialog(IDD_BORDERLESS) {}
  static constexpr UINT kDone = WM_APP + 1;

 protected:
  static UINT Work(void* param) {
    auto* self = static_cast<WorkerDrivenDialog*>(param);
    ::Sleep(100);
    ::PostMessageA(self->GetSafeHwnd(), kDone, 7, 0);
    return 0;
  }
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    return kivo::StartWorkerThread(&Work, this);
  }
  INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == kDone) {
      EndDialog(static_cast<INT_PTR>(wParam));
      return TRUE;
    }
    if (msg == WM_NCHITTEST) {
      // Dragged by any point of its face.
      LRESULT hit = DefaultDialogProc(msg, wParam, lParam);
      return SetMsgResult(hit == HTCLIENT ? HTCAPTION : hit);
    }
    return CDialog::DialogProc(msg, wParam, lParam);
  }
};

TEST_F(FrameworkTest, AWorkerEndsAModalDialogByPostingToIt) {
  WorkerDrivenDialog dialog;
  EXPECT_EQ(7, dialog.DoModal());
  for (int i = 0; i < 100 && kivo::RunningWorkerCount() > 0; ++i)
    ::Sleep(10);
  EXPECT_EQ(0, kivo::RunningWorkerCount());
}

TEST_F(FrameworkTest, BorderlessDialogAnswersCaptionForItsFace) {
  class Holding : public WorkerDrivenDialog {
   protected:
    bool OnInitDialog() override {
      kivo::CDialog::OnInitDialog();
      return true;
    }
  } dialog;
  RunModalWithScript(dialog, [&](HWND hwnd) {
    RECT client;
    ::GetClientRect(hwnd, &client);
    POINT inside{client.right - 5, client.bottom - 5};
    ::ClientToScreen(hwnd, &inside);
    EXPECT_EQ(HTCAPTION, ::SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(inside.x, inside.y)));
    POINT outside{-1000, -1000};
    EXPECT_EQ(HTNOWHERE, ::SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(outside.x, outside.y)));
  });
}

TEST_F(FrameworkTest, PreTranslateMessageSeesKeysBeforeTheDialogManager) {
  class KeyEater : public kivo::CEdit {
   public:
    bool PreTranslateMessage(MSG& msg) override {
      if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
        Record("edit:ate-escape");
        return true;
      }
      return false;
    }
  };
  class Dialog : public ProbeDialog {
   public:
    KeyEater edit;

   protected:
    void DoDataExchange(kivo::CDataExchange& dx) override {
      ProbeDialog::DoDataExchange(dx);
      dx.Control(IDC_PROBE_EDIT, edit);
    }
  } dialog;
  RunModalWithScript(dialog, [&](HWND hwnd) {
    ClearEvents();
    kivodriver::PressKey(::GetDlgItem(hwnd, IDC_PROBE_EDIT), VK_ESCAPE);
    Sync(hwnd);
    EXPECT_TRUE(::IsWindow(hwnd));
    EXPECT_EQ("edit:ate-escape", Events({"edit:", "dialog:cancel"}));
  });
}

TEST_F(FrameworkTest, AnObjectThatDiesBeforeItsWindowLeavesTheControlWorking) {
  HWND edit = ::CreateWindowExA(0, "Edit", "before", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, edit);
  {
    kivo::CEdit wrapper;
    ASSERT_TRUE(wrapper.SubclassWindow(edit));
    EXPECT_FALSE(kivo::CEdit().SubclassWindow(edit));  // one object per window
  }
  EXPECT_EQ(nullptr, kivo::CWnd::FromHandle(edit));
  ::SetWindowTextA(edit, "after");
  EXPECT_EQ("after", kivodriver::GetText(edit));
  ::DestroyWindow(edit);
}

TEST(FrameworkStrings, PlaceholdersComeFromTheStringTable) {
  EXPECT_EQ("a.exe from host", kivo::FormatResString(IDS_TWO_PLACES, {"a.exe", "host"}));
  EXPECT_EQ("42% of a.exe Completed", kivo::FormatResString(IDS_PERCENT, {"42", "a.exe"}));
  EXPECT_EQ("正在下载[相册](1/3)", kivo::FormatResString(IDS_CHINESE, {"相册", "1/3"}));
  EXPECT_EQ("", kivo::LoadResString(12345));
}

TEST(FrameworkHandles, OwnersAreMoveOnlyAndCloseOnce) {
  static_assert(!std::is_copy_constructible_v<kivo::ScopedHandle>);
  static_assert(!std::is_copy_assignable_v<kivo::ScopedBitmap>);
  static_assert(std::is_nothrow_move_constructible_v<kivo::ScopedHandle>);

  HANDLE raw = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  kivo::ScopedHandle first(raw);
  kivo::ScopedHandle second(std::move(first));
  EXPECT_FALSE(first.valid());
  EXPECT_EQ(raw, second.get());
  DWORD flags = 0;
  EXPECT_TRUE(::GetHandleInformation(raw, &flags));
  second.reset();
  ::SetLastError(0xdeadbeef);
  EXPECT_FALSE(::GetHandleInformation(raw, &flags));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), ::GetLastError());

  // CreateFile's failure value is not a handle to close.
  kivo::ScopedHandle none(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(none.valid());
}

TEST(FrameworkMessageBox, CaptionIsTheTitleAndTheIconFollowsTheButtons) {
  struct Case {
    UINT type;
    const char* iconName;
  } cases[] = {
      {MB_OK, "exclamation"},
      {MB_YESNO, "question"},
      {MB_OK | MB_ICONINFORMATION, "information"},
  };
  for (const Case& c : cases) {
    std::thread answer([&] {
      HWND box = kivodriver::WaitForMessageBox(::GetCurrentProcessId(), "消息", 10000);
      ASSERT_NE(nullptr, box);
      EXPECT_EQ(kivo::AppTitle(), kivodriver::GetText(box));
      HICON expected = ::LoadIconA(nullptr, std::string(c.iconName) == "exclamation" ? IDI_EXCLAMATION
                                                  : std::string(c.iconName) == "question" ? IDI_QUESTION
                                                                                          : IDI_INFORMATION);
      HWND iconControl = nullptr;
      for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (::SendMessageA(child, STM_GETICON, 0, 0))
          iconControl = child;
      }
      ASSERT_NE(nullptr, iconControl) << c.iconName;
      EXPECT_EQ(reinterpret_cast<LRESULT>(expected), ::SendMessageA(iconControl, STM_GETICON, 0, 0)) << c.iconName;
      kivodriver::PressButton(box, (c.type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK);
    });
    int result = kivo::AppMessageBox(nullptr, "消息", c.type);
    answer.join();
    EXPECT_EQ((c.type & MB_TYPEMASK) == MB_YESNO ? IDNO : IDOK, result);
  }
}

}  // namespace
