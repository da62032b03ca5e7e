#include "controls/hyperlink.h"

namespace {

// The help viewer's pointing hand, used on help links.
constexpr int kHelpViewerHandCursor = 106;

}  // namespace

CHyperLink::~CHyperLink() {
  if (m_toolTip && ::IsWindow(m_toolTip))
    ::DestroyWindow(m_toolTip);
}

void CHyperLink::SetLinkColour(COLORREF colour) {
  m_linkColour = colour;
  m_hoverColour = ::GetSysColor(COLOR_HIGHLIGHT);
  if (m_hWnd)
    Invalidate(true);
}

void CHyperLink::SetUnderlineMode(int mode) {
  if (mode == m_underlineMode)
    return;
  if (m_hWnd) {
    SetFont(mode == 1 ? m_underlineFont.get() : m_plainFont.get(), true);
    Invalidate(true);
  }
  m_underlineMode = mode;
}

void CHyperLink::SetTipText(const std::string& text) {
  m_strTipText = text;
  if (!m_hWnd)
    return;
  FitToText();
  if (m_toolTip) {
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = m_hWnd;
    tool.uId = 1;
    tool.lpszText = const_cast<char*>(m_strTipText.c_str());
    ::SendMessageA(m_toolTip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void CHyperLink::FitToText() {
  if (!m_hWnd)
    return;
  HWND parent = ::GetParent(m_hWnd);
  RECT window = GetWindowRect();
  RECT client = GetClientRect();
  ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
  ::MapWindowPoints(m_hWnd, parent, reinterpret_cast<POINT*>(&client), 2);

  const std::string text = GetWindowText();
  SIZE extent{};
  {
    kivo::ScopedWindowDc dc(m_hWnd);
    kivo::ScopedSelectObject font(dc.get(), m_underlineFont.get());
    ::GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent);
  }
  const int windowWidth = window.right - window.left;
  const int windowHeight = window.bottom - window.top;
  const int width = extent.cx + (windowWidth - (client.right - client.left));
  const int height = extent.cy + (windowHeight - (client.bottom - client.top));

  const DWORD style = GetStyle();
  if (style & SS_CENTERIMAGE) {
    const int shrink = (windowHeight - height) / 2;
    window.top += shrink;
    window.bottom -= shrink;
  } else {
    window.bottom = window.top + height;
  }
  // SS_CENTER and SS_RIGHT are values of the type field, not independent bits.
  const DWORD type = style & SS_TYPEMASK;
  if (type == SS_CENTER) {
    const int shrink = (windowWidth - width) / 2;
    window.left += shrink;
    window.right -= shrink;
  } else if (type == SS_RIGHT) {
    window.left = window.right - width;
  } else {
    window.right = window.left + width;
  }
  ::SetWindowPos(m_hWnd, nullptr, window.left, window.top, window.right - window.left,
                 window.bottom - window.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CHyperLink::DestroyWindow() {
  if (m_hWnd)
    ::KillTimer(m_hWnd, kTimerId);
  return CStatic::DestroyWindow();
}

bool CHyperLink::PreTranslateMessage(MSG& msg) {
  if (m_toolTip)
    ::SendMessageA(m_toolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
  return CStatic::PreTranslateMessage(msg);
}

void CHyperLink::PreSubclassWindow() {
  ModifyStyle(0, SS_NOTIFY);
  if (m_strTipText.empty())
    m_strTipText = GetWindowText();
  if (GetWindowText().empty())
    SetWindowText(m_strTipText);

  HFONT font = GetFont();
  if (!font)
    font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  if (!font)
    font = static_cast<HFONT>(::GetStockObject(ANSI_VAR_FONT));
  LOGFONTA logFont{};
  ::GetObjectA(font, sizeof(logFont), &logFont);
  m_plainFont.reset(::CreateFontIndirectA(&logFont));
  logFont.lfUnderline = TRUE;
  m_underlineFont.reset(::CreateFontIndirectA(&logFont));

  FitToText();
  LoadLinkCursor();
  SetUnderlineMode(-1);
  CreateToolTip();
  CStatic::PreSubclassWindow();
}

void CHyperLink::LoadLinkCursor() {
  if (m_linkCursor)
    return;
  char folder[MAX_PATH] = {};
  UINT length = ::GetWindowsDirectoryA(folder, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    std::string path = std::string(folder) + "\\winhlp32.exe";
    // Only its resources are wanted: nothing of the program runs.
    kivo::ScopedModule viewer(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (viewer) {
      if (HCURSOR hand = ::LoadCursorA(viewer.get(), MAKEINTRESOURCEA(kHelpViewerHandCursor)))
        m_linkCursor.reset(::CopyIcon(hand));
    }
  }
  // Without the help viewer's hand, the system's own.
  if (!m_linkCursor) {
    if (HCURSOR hand = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32649)))  // IDC_HAND
      m_linkCursor.reset(::CopyIcon(hand));
  }
}

void CHyperLink::CreateToolTip() {
  if (m_toolTip)
    return;
  m_toolTip = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr,
                                reinterpret_cast<HINSTANCE>(::GetWindowLongPtrA(m_hWnd, GWLP_HINSTANCE)),
                                nullptr);
  if (!m_toolTip)
    return;
  TOOLINFOA tool{};
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.hwnd = m_hWnd;
  tool.uId = 1;
  tool.lpszText = const_cast<char*>(m_strTipText.c_str());
  tool.rect = GetClientRect();
  ::SendMessageA(m_toolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

HBRUSH CHyperLink::CtlColor(HDC dc, UINT) {
  ::SetTextColor(dc, m_bMouseOver ? m_hoverColour : m_linkColour);
  ::SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void CHyperLink::OnMouseMove() {
  if (m_bMouseOver)
    return;
  m_bMouseOver = true;
  if (m_underlineMode == -1)
    SetFont(m_underlineFont.get(), true);
  Invalidate(true);
  ::SetTimer(m_hWnd, kTimerId, kPollMs, nullptr);
}

void CHyperLink::OnTimer() {
  // The cursor as it is now. The timer message's own position would do on Windows, but
  // Wine gives it the last mouse message's, so a cursor that left the window for good
  // would keep the link lit.
  POINT point{};
  ::GetCursorPos(&point);
  ::ScreenToClient(m_hWnd, &point);
  RECT client = GetClientRect();
  if (::PtInRect(&client, point))
    return;
  m_bMouseOver = false;
  ::KillTimer(m_hWnd, kTimerId);
  if (m_underlineMode != 1)
    SetFont(m_plainFont.get(), true);
  client.bottom += 10;
  ::InvalidateRect(m_hWnd, &client, TRUE);
}

LRESULT CHyperLink::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SETCURSOR:
      if (!m_linkCursor)
        return FALSE;
      ::SetCursor(m_linkCursor.get());
      return TRUE;
    case WM_MOUSEMOVE:
      OnMouseMove();
      break;
    case WM_TIMER:
      OnTimer();
      break;
    case WM_ERASEBKGND: {
      RECT client = GetClientRect();
      ::FillRect(reinterpret_cast<HDC>(wParam), &client, ::GetSysColorBrush(COLOR_BTNFACE));
      return TRUE;
    }
    case WM_DESTROY:
      // The dialog destroys its children without calling DestroyWindow on them.
      ::KillTimer(m_hWnd, kTimerId);
      break;
    default:
      break;
  }
  return CStatic::WindowProc(msg, wParam, lParam);
}
