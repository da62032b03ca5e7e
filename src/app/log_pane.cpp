#include "app/log_pane.h"

#include <mutex>

namespace kivo {

namespace {

constexpr int kMaxLogLines = 1000;

std::mutex g_targetLock;
HWND g_logPane = nullptr;

UINT AppendMessage() {
  static const UINT message = ::RegisterWindowMessageA("KivoAlbum.AppendLog");
  return message;
}

}  // namespace

void CLogPane::Append(const std::string& line) const {
  if (GetLineCount() > kMaxLogLines)
    SetWindowText(std::string());
  // Under Wine the rich edit repaints itself inside every insert (about 9 ms a line, a fifth
  // of a download's time): insert unseen, then let one later paint show whatever came meanwhile.
  // Toggling the redraw of a hidden pane would show it again.
  const bool visible = ::IsWindowVisible(m_hWnd) != FALSE;
  if (visible)
    SendMessage(WM_SETREDRAW, FALSE);
  int end = GetTextLength();
  SetSel(end, -1);
  ReplaceSel(line + "\r\n", false);
  if (visible) {
    SendMessage(WM_SETREDRAW, TRUE);
    Invalidate(false);
    SendMessage(EM_SCROLLCARET);
  }
}

LRESULT CLogPane::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == AppendMessage() && lParam) {
    Append(*reinterpret_cast<const std::string*>(lParam));
    return 0;
  }
  return CRichEditCtrl::WindowProc(msg, wParam, lParam);
}

void SetLogTarget(HWND pane) {
  std::lock_guard<std::mutex> lock(g_targetLock);
  g_logPane = pane;
}

}  // namespace kivo

void AppendLog(const std::string& line) {
  HWND pane = nullptr;
  {
    std::lock_guard<std::mutex> lock(kivo::g_targetLock);
    pane = kivo::g_logPane;
  }
  // The handle is used outside the lock: the pane's thread may need the lock itself
  // meanwhile, and a handle whose window has gone fails harmlessly.
  if (pane)
    ::SendMessageA(pane, kivo::AppendMessage(), 0, reinterpret_cast<LPARAM>(&line));
}
