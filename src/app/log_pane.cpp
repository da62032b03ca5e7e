#include "app/log_pane.h"

#include <mutex>

namespace kivo {

namespace {

constexpr int kMaxLogLines = 1000;
constexpr UINT_PTR kShowTimer = 1;
constexpr UINT kShowDelayMs = 100;

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
  // Under Wine the rich edit repaints itself inside every insert and after it, which cost a
  // download a third of its time: lines go in unseen and a short timer shows them together,
  // at most ten times a second. Redraw off hides a window, so a pane waiting for its timer
  // counts as shown; a hidden pane is left alone, since turning redraw on would show it.
  const bool visible = m_showPending || ::IsWindowVisible(m_hWnd) != FALSE;
  if (visible && !m_showPending) {
    SendMessage(WM_SETREDRAW, FALSE);
    m_showPending = true;
    ::SetTimer(m_hWnd, kShowTimer, kShowDelayMs, nullptr);
  }
  int end = GetTextLength();
  SetSel(end, -1);
  ReplaceSel(line + "\r\n", false);
}

void CLogPane::ShowNewLines() const {
  ::KillTimer(m_hWnd, kShowTimer);
  if (!m_showPending)
    return;
  m_showPending = false;
  SendMessage(WM_SETREDRAW, TRUE);
  Invalidate(false);
  SendMessage(EM_SCROLLCARET);
}

LRESULT CLogPane::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == AppendMessage() && lParam) {
    Append(*reinterpret_cast<const std::string*>(lParam));
    return 0;
  }
  if (msg == WM_TIMER && wParam == kShowTimer) {
    ShowNewLines();
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
