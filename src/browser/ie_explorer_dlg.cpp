#include "browser/ie_explorer_dlg.h"

#include "app/main_window_messages.h"
#include "base/wide_text.h"
#include "build_config.h"
#include "res/resource.h"

#include <climits>
#include <vector>

namespace {

const wchar_t kLoginRequiredTitle[] = L"Kivo空间--您需要登录才可以访问Kivo空间";
const wchar_t kServiceHomeTitle[] = L"Pavo精彩由你而来";

// Completed documents whose title named the space domain, over the whole process: the
// first one passes silently, every later one finishes a login.
int g_nSpacePages = 0;

const std::wstring& SpaceDomain() {
  static const std::wstring domain = [] {
    const std::string narrow = kivo::config::kSpaceDomain;
    int length = ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), nullptr, 0);
    if (length <= 0)
      return std::wstring();
    std::vector<wchar_t> wide(static_cast<std::size_t>(length));
    ::MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), wide.data(), length);
    return std::wstring(wide.data(), wide.size());
  }();
  return domain;
}

}  // namespace

CIEExplorerDlg::CIEExplorerDlg() : CDialog(IDD_LOGIN_BROWSER) {}

bool CIEExplorerDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // Without OLE on this thread, or without the control, the browser stays an empty item
  // and Navigate reports the failure to its caller.
  if (m_browser.CreateControl())
    m_browser.SetDocumentCompleteHandler([this] { OnDocumentComplete(); });
  m_bInitialized = 1;
  ShowWindow(SW_HIDE);
  return true;
}

void CIEExplorerDlg::DoDataExchange(kivo::CDataExchange& dx) {
  dx.Control(IDC_BROWSER, m_browser);
}

INT_PTR CIEExplorerDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SHOWWINDOW:
      if (wParam)
        CenterOverOwner();
      return FALSE;
    case WM_SIZE:
      if (m_bInitialized == 1 && m_browser.GetSafeHwnd())
        ::MoveWindow(m_browser.GetSafeHwnd(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return FALSE;
    default:
      return CDialog::DialogProc(msg, wParam, lParam);
  }
}

void CIEExplorerDlg::OnOK() {
  HideForUser();
}

void CIEExplorerDlg::OnCancel() {
  HideForUser();
}

void CIEExplorerDlg::HideForUser() {
  // Only a dialog the user sees can be closed by the user; a hidden one is still loading
  // for the main window and must keep going.
  if (!IsWindowVisible())
    return;
  m_browser.Stop();
  ShowWindow(SW_HIDE);
  Notify(WM_LOGIN_CANCELLED);
}

void CIEExplorerDlg::OnDocumentComplete() {
  std::wstring title;
  if (!m_browser.GetDocumentTitle(title))
    return;
  OnDocumentTitle(title);
}

void CIEExplorerDlg::OnDocumentTitle(const std::wstring& title) {
  if (kivo::EqualsNoCase(title, kLoginRequiredTitle)) {
    ::SetWindowTextW(m_hWnd, kLoginRequiredTitle);
    ShowWindow(SW_SHOW);
  } else if (kivo::ContainsNoCase(title, SpaceDomain())) {
    if (g_nSpacePages < INT_MAX)
      ++g_nSpacePages;
    if (g_nSpacePages > 1) {
      m_browser.Stop();
      ShowWindow(SW_HIDE);
      Notify(WM_LOGIN_FINISHED);
    }
  } else if (kivo::EqualsNoCase(title, kServiceHomeTitle)) {
    Notify(WM_SPACE_NOT_FOUND);
  }
}

void CIEExplorerDlg::Notify(UINT msg) const {
  if (m_hNotifyWnd)
    ::SendMessageA(m_hNotifyWnd, msg, 0, 0);
}

void CIEExplorerDlg::CenterOverOwner() {
  HWND owner = ::GetWindow(m_hWnd, GW_OWNER);
  RECT window = GetWindowRect();
  int width = window.right - window.left;
  int height = window.bottom - window.top;
  HMONITOR monitor = ::MonitorFromWindow(owner ? owner : m_hWnd, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetMonitorInfoA(monitor, &info))
    return;
  RECT area = info.rcWork;
  RECT around = area;
  if (owner && ::IsWindowVisible(owner) && !::IsIconic(owner))
    ::GetWindowRect(owner, &around);
  int x = around.left + ((around.right - around.left) - width) / 2;
  int y = around.top + ((around.bottom - around.top) - height) / 2;
  // Keep it on the work area, its top-left corner first, so the caption stays reachable.
  if (x + width > area.right)
    x = area.right - width;
  if (y + height > area.bottom)
    y = area.bottom - height;
  if (x < area.left)
    x = area.left;
  if (y < area.top)
    y = area.top;
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
