// The link label and the image button under Wine, read back as pixels from the screen.
#include "controls/hyperlink.h"
#include "controls/image_button.h"
#include "controls_test_resource.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "kivo_driver.h"
#include "res/resource.h"
#include "window_pixels.h"
#include "window_script.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using kivotest::CaptureClient;
using kivotest::Pixels;
using kivotest::RunModalWithScript;
using kivotest::Sync;

constexpr COLORREF kQuestionLink = RGB(82, 124, 210);
constexpr COLORREF kUpdateLink = RGB(0, 0, 204);
constexpr int kTolerance = 8;

class ProbeDlg : public kivo::CDialog {
 public:
  ProbeDlg() : CDialog(IDD_CONTROLS_PROBE) {
    // Before binding: the empty control takes this as its text.
    m_empty.SetTipText("备用文字");
    m_ok.LoadFaces(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_CLOSE_NORMAL);
    m_disabled.LoadFaces(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_BUTTON_HOVER);
    m_close.LoadFaces(IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER, IDB_CLOSE_HOVER);
    m_long.LoadFaces(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_BUTTON_HOVER);
  }

  CHyperLink m_left, m_right, m_centre, m_empty;
  CVelaButton m_ok, m_disabled, m_close, m_long;
  std::vector<std::pair<int, int>> m_commands;  // id, notification, on the dialog's thread

  bool Received(int id, int code) const {
    for (const auto& command : m_commands) {
      if (command.first == id && command.second == code)
        return true;
    }
    return false;
  }

 protected:
  void DoDataExchange(kivo::CDataExchange& dx) override {
    dx.Control(IDC_LINK_LEFT, m_left);
    dx.Control(IDC_LINK_RIGHT, m_right);
    dx.Control(IDC_LINK_CENTRE, m_centre);
    dx.Control(IDC_LINK_EMPTY, m_empty);
    dx.Control(IDC_FACE_OK, m_ok);
    dx.Control(IDC_FACE_DISABLED, m_disabled);
    dx.Control(IDC_FACE_CLOSE, m_close);
    dx.Control(IDC_FACE_LONG, m_long);
  }
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    // As the question dialog and the main window set up theirs.
    m_left.SetLinkColour(kQuestionLink);
    m_left.SetTipText("");
    m_left.SetUnderlineMode(-1);
    m_right.SetUnderlineMode(1);
    m_right.SetLinkColour(kUpdateLink);
    return true;
  }
  bool OnCommand(int id, int code, HWND) override {
    m_commands.emplace_back(id, code);
    return false;  // Cancel and the closing WM_CLOSE still end the dialog
  }
};

RECT TemplateRect(HWND dialog, int x, int y, int width, int height) {
  RECT units{x, y, width, height};
  ::MapDialogRect(dialog, &units);
  return RECT{units.left, units.top, units.left + units.right, units.top + units.bottom};
}

RECT ChildRect(HWND dialog, HWND child) {
  RECT rect;
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

SIZE UnderlinedExtent(HWND control) {
  HFONT font = reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0));
  LOGFONTA logFont{};
  ::GetObjectA(font, sizeof(logFont), &logFont);
  logFont.lfUnderline = TRUE;
  kivo::ScopedFont underlined(::CreateFontIndirectA(&logFont));
  kivo::ScopedWindowDc dc(control);
  kivo::ScopedSelectObject select(dc.get(), underlined.get());
  std::string text = kivodriver::GetText(control);
  SIZE extent{};
  ::GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
  return extent;
}

int NearCount(const Pixels& pixels, COLORREF colour) {
  int n = 0;
  for (COLORREF c : pixels.data) {
    if (std::abs(GetRValue(c) - GetRValue(colour)) <= kTolerance &&
        std::abs(GetGValue(c) - GetGValue(colour)) <= kTolerance &&
        std::abs(GetBValue(c) - GetBValue(colour)) <= kTolerance)
      ++n;
  }
  return n;
}

// A row nearly as long as the text, all in the colour: the underline.
bool HasUnderline(const Pixels& pixels, COLORREF colour) {
  for (int y = 0; y < pixels.height; ++y) {
    int n = 0;
    for (int x = 0; x < pixels.width; ++x) {
      COLORREF c = pixels.At(x, y);
      n += std::abs(GetRValue(c) - GetRValue(colour)) <= kTolerance &&
           std::abs(GetGValue(c) - GetGValue(colour)) <= kTolerance &&
           std::abs(GetBValue(c) - GetBValue(colour)) <= kTolerance;
    }
    if (n >= pixels.width * 8 / 10)
      return true;
  }
  return false;
}

POINT CentreOnScreen(HWND hwnd) {
  RECT rect;
  ::GetWindowRect(hwnd, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// Somewhere on the desktop that none of the probe's windows covers.
void MoveCursorAway(HWND dialog) {
  RECT rect;
  ::GetWindowRect(dialog, &rect);
  ::SetCursorPos(rect.right + 40, rect.bottom + 40);
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
  return kivodriver::WaitUntil(condition, timeoutMs);
}

TEST(HyperLink, FitsItsTextAndKeepsTheAnchorOfItsAlignment) {
  ProbeDlg probe;
  RunModalWithScript(probe, [&](HWND dialog) {
    struct Case {
      int id;
      RECT units;  // x, y, width, height in the template
      enum { kLeft, kRight, kCentre } horizontal;
      bool centredVertically;
    } cases[] = {
        {IDC_LINK_LEFT, {10, 10, 90, 10}, Case::kLeft, false},
        {IDC_LINK_RIGHT, {10, 25, 90, 10}, Case::kRight, false},
        {IDC_LINK_CENTRE, {10, 40, 90, 20}, Case::kCentre, true},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.id);
      HWND link = ::GetDlgItem(dialog, c.id);
      RECT before = TemplateRect(dialog, c.units.left, c.units.top, c.units.right, c.units.bottom);
      RECT after = ChildRect(dialog, link);
      RECT client;
      ::GetClientRect(link, &client);
      RECT window;
      ::GetWindowRect(link, &window);
      const int borderX = (window.right - window.left) - client.right;
      const int borderY = (window.bottom - window.top) - client.bottom;
      SIZE text = UnderlinedExtent(link);
      ASSERT_LT(text.cx + borderX, before.right - before.left) << "the text must be narrower than the template";

      EXPECT_EQ(text.cx + borderX, after.right - after.left);
      EXPECT_EQ(text.cy + borderY, after.bottom - after.top);
      switch (c.horizontal) {
        case Case::kLeft:
          EXPECT_EQ(before.left, after.left);
          break;
        case Case::kRight:
          EXPECT_EQ(before.right, after.right);
          break;
        case Case::kCentre:
          EXPECT_NEAR(before.left + before.right, after.left + after.right, 1);
          break;
      }
      if (c.centredVertically)
        EXPECT_NEAR(before.top + before.bottom, after.top + after.bottom, 1);
      else
        EXPECT_EQ(before.top, after.top);
    }
  });
}

TEST(HyperLink, BindingMakesAClickableLinkWithTextTipAndHand) {
  ProbeDlg probe;
  RunModalWithScript(probe, [&](HWND dialog) {
    HWND empty = ::GetDlgItem(dialog, IDC_LINK_EMPTY);
    EXPECT_EQ("备用文字", kivodriver::GetText(empty));
    for (int id : {IDC_LINK_LEFT, IDC_LINK_RIGHT, IDC_LINK_CENTRE, IDC_LINK_EMPTY})
      EXPECT_TRUE(::GetWindowLongPtrA(::GetDlgItem(dialog, id), GWL_STYLE) & SS_NOTIFY) << id;

    // The tooltip holds the template's text unless it was set, here to empty.
    struct Tip { CHyperLink* link; const char* text; } tips[] = {
        {&probe.m_right, "检查更新"}, {&probe.m_left, ""}, {&probe.m_empty, "备用文字"}};
    for (const Tip& tip : tips) {
      ASSERT_TRUE(tip.link->GetToolTip());
      char buffer[256] = {};
      TOOLINFOA tool{};
      tool.cbSize = TTTOOLINFOA_V2_SIZE;
      tool.hwnd = tip.link->GetSafeHwnd();
      tool.uId = 1;
      tool.lpszText = buffer;
      ::SendMessageA(tip.link->GetToolTip(), TTM_GETTEXTA, sizeof(buffer), reinterpret_cast<LPARAM>(&tool));
      EXPECT_STREQ(tip.text, buffer);
    }

    HWND left = ::GetDlgItem(dialog, IDC_LINK_LEFT);
    EXPECT_EQ(TRUE, ::SendMessageA(left, WM_SETCURSOR, reinterpret_cast<WPARAM>(left), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));

    ::SendMessageA(left, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    ::SendMessageA(left, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    Sync(dialog);
    EXPECT_TRUE(probe.Received(IDC_LINK_LEFT, STN_CLICKED));
    // Nothing opened by the link itself: the probe is still the only window of the thread.
    EXPECT_EQ(1u, kivodriver::TopWindowsOfThread(::GetWindowThreadProcessId(dialog, nullptr)).size());
  });
}

TEST(HyperLink, HoverColoursTheTextAndLeavingRestoresItWithinATimerPeriod) {
  ProbeDlg probe;
  RunModalWithScript(probe, [&](HWND dialog) {
    const COLORREF highlight = ::GetSysColor(COLOR_HIGHLIGHT);
    struct Case {
      CHyperLink* link;
      COLORREF colour;
      bool underlinedAway;
    } cases[] = {
        {&probe.m_left, kQuestionLink, false},  // underlined only under the mouse
        {&probe.m_right, kUpdateLink, true},    // always underlined
    };
    for (const Case& c : cases) {
      HWND link = c.link->GetSafeHwnd();
      SCOPED_TRACE(kivodriver::AnsiToUtf8(kivodriver::GetText(link)));
      EXPECT_EQ(highlight, c.link->GetHoverColour());
      MoveCursorAway(dialog);
      Sync(dialog);
      Pixels away = CaptureClient(link);
      EXPECT_GT(NearCount(away, c.colour), 0);
      EXPECT_EQ(0, NearCount(away, highlight));
      EXPECT_EQ(c.underlinedAway, HasUnderline(away, c.colour));

      POINT over = CentreOnScreen(link);
      ::SetCursorPos(over.x, over.y);
      ::SendMessageA(link, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
      Sync(dialog);
      EXPECT_TRUE(c.link->IsMouseOver());
      Pixels hovered = CaptureClient(link);
      EXPECT_GT(NearCount(hovered, highlight), 0);
      EXPECT_EQ(0, NearCount(hovered, c.colour));
      EXPECT_TRUE(HasUnderline(hovered, highlight));
      // Still over it after a few timer periods.
      ::Sleep(350);
      Sync(dialog);
      EXPECT_TRUE(c.link->IsMouseOver());

      DWORD left = ::GetTickCount();
      MoveCursorAway(dialog);
      EXPECT_TRUE(WaitUntil([&] { return !c.link->IsMouseOver(); }));
      // One period, plus the time the test's thread needs to see it.
      EXPECT_LT(::GetTickCount() - left, 400u);
      Sync(dialog);
      Pixels back = CaptureClient(link);
      EXPECT_GT(NearCount(back, c.colour), 0);
      EXPECT_EQ(0, NearCount(back, highlight));
      EXPECT_EQ(c.underlinedAway, HasUnderline(back, c.colour));
    }
  });
}

TEST(ImageButton, FacesFollowTheMouseAndTheClickReachesTheParent) {
  ProbeDlg probe;
  RunModalWithScript(probe, [&](HWND dialog) {
    HWND ok = probe.m_ok.GetSafeHwnd();
    EXPECT_EQ(BS_OWNERDRAW, ::GetWindowLongPtrA(ok, GWL_STYLE) & BS_TYPEMASK);
    // A point of the face that the caption does not reach.
    auto face = [&] { return CaptureClient(ok).At(2, 2); };
    MoveCursorAway(dialog);
    Sync(dialog);
    EXPECT_EQ(kivotest::ResourcePixel(IDB_BUTTON_NORMAL, 2, 2), face());

    POINT over = CentreOnScreen(ok);
    ::SetCursorPos(over.x, over.y);
    ::SendMessageA(ok, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    Sync(dialog);
    EXPECT_EQ(kivotest::ResourcePixel(IDB_BUTTON_HOVER, 2, 2), face());

    ::SendMessageA(ok, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    Sync(dialog);
    EXPECT_TRUE(probe.m_ok.IsPressed());
    EXPECT_EQ(kivotest::ResourcePixel(IDB_CLOSE_NORMAL, 2, 2), face());

    ::SendMessageA(ok, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Sync(dialog);
    EXPECT_TRUE(probe.Received(IDC_FACE_OK, BN_CLICKED));
    EXPECT_EQ(kivotest::ResourcePixel(IDB_BUTTON_HOVER, 2, 2), face());

    // The system's tracking reports the leave once the cursor is elsewhere.
    MoveCursorAway(dialog);
    EXPECT_TRUE(WaitUntil([&] { return !probe.m_ok.IsMouseOver(); }));
    Sync(dialog);
    EXPECT_EQ(kivotest::ResourcePixel(IDB_BUTTON_NORMAL, 2, 2), face());
  });
}

TEST(ImageButton, CaptionIsBlackOrGreyOnOneLineAndTheCloseButtonIsItsFace) {
  ProbeDlg probe;
  RunModalWithScript(probe, [&](HWND dialog) {
    MoveCursorAway(dialog);
    Sync(dialog);
    const COLORREF grey = RGB(120, 127, 127);
    Pixels enabled = CaptureClient(probe.m_ok.GetSafeHwnd());
    Pixels disabled = CaptureClient(probe.m_disabled.GetSafeHwnd());
    EXPECT_GT(NearCount(enabled, RGB(0, 0, 0)), 0);
    EXPECT_GT(NearCount(disabled, grey), 0);
    // Smoothed edges blend the caption into the face, never below its own colour.
    int darker = 0;
    for (COLORREF c : disabled.data)
      darker += GetRValue(c) < 120 - kTolerance || GetGValue(c) < 127 - kTolerance;
    EXPECT_EQ(0, darker);
    EXPECT_EQ(kivotest::ResourcePixel(IDB_BUTTON_NORMAL, 2, 2), disabled.At(2, 2));

    // The face fills the whole button, also where the button is a pixel larger than it.
    const COLORREF corner = kivotest::ResourcePixel(IDB_BUTTON_NORMAL, 39, 19);
    EXPECT_EQ(corner, enabled.At(enabled.width - 1, enabled.height - 1));

    // No caption: every pixel is the face's.
    Pixels close = CaptureClient(probe.m_close.GetSafeHwnd());
    ASSERT_EQ(32, close.width);
    ASSERT_EQ(18, close.height);
    int differing = 0;
    for (int y = 0; y < close.height; ++y)
      for (int x = 0; x < close.width; ++x)
        differing += close.At(x, y) != kivotest::ResourcePixel(IDB_CLOSE_NORMAL, x, y);
    EXPECT_EQ(0, differing);

    // A caption wider than the button is cut, never wrapped: its ink stays within one line.
    Pixels longer = CaptureClient(probe.m_long.GetSafeHwnd());
    int inkRows = 0;
    for (int y = 0; y < longer.height; ++y) {
      bool ink = false;
      for (int x = 0; x < longer.width && !ink; ++x)
        ink = GetRValue(longer.At(x, y)) < 100 && GetGValue(longer.At(x, y)) < 100;
      inkRows += ink;
    }
    TEXTMETRICA metrics{};
    {
      kivo::ScopedWindowDc dc(probe.m_long.GetSafeHwnd());
      kivo::ScopedSelectObject font(dc.get(), reinterpret_cast<HFONT>(::SendMessageA(probe.m_long.GetSafeHwnd(), WM_GETFONT, 0, 0)));
      ::GetTextMetricsA(dc.get(), &metrics);
    }
    EXPECT_GT(inkRows, 0);
    EXPECT_LE(inkRows, metrics.tmHeight);
  });
}

}  // namespace
