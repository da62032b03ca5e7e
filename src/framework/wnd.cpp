#include "framework/wnd.h"

#include <vector>

namespace kivo {

namespace {

// The properties under which a window keeps the object bound to it and the procedure it
// had before. The second outlives the first: when something subclassed the window after
// us, we cannot unhook, and our procedure keeps forwarding to the old one.
const char kObjectProperty[] = "KivoFramework.CWnd";
const char kSuperProperty[] = "KivoFramework.Super";

WNDPROC SuperProcOf(HWND hwnd) {
  return reinterpret_cast<WNDPROC>(::GetPropA(hwnd, kSuperProperty));
}

}  // namespace

CWnd::~CWnd() {
  // An object may die before its window (a dialog member): the window must not call it.
  if (m_superProc)
    UnsubclassWindow();
  else if (m_hWnd)
    DetachHandle();
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  if (!hwnd)
    return nullptr;
  return static_cast<CWnd*>(::GetPropA(hwnd, kObjectProperty));
}

void CWnd::AttachHandle(HWND hwnd) {
  m_hWnd = hwnd;
  ::SetPropA(hwnd, kObjectProperty, this);
}

void CWnd::DetachHandle() {
  if (m_hWnd && FromHandle(m_hWnd) == this)
    ::RemovePropA(m_hWnd, kObjectProperty);
  m_hWnd = nullptr;
}

bool CWnd::SubclassWindow(HWND hwnd) {
  if (!hwnd || m_hWnd || FromHandle(hwnd))
    return false;
  AttachHandle(hwnd);
  PreSubclassWindow();
  m_superProc = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
  if (!m_superProc) {
    DetachHandle();
    return false;
  }
  ::SetPropA(hwnd, kSuperProperty, reinterpret_cast<HANDLE>(m_superProc));
  return true;
}

bool CWnd::SubclassDlgItem(int id, const CWnd& parent) {
  return SubclassWindow(::GetDlgItem(parent.m_hWnd, id));
}

void CWnd::UnsubclassWindow() {
  if (m_hWnd && m_superProc) {
    WNDPROC current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC));
    if (current == &CWnd::SubclassProc) {
      ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_superProc));
      ::RemovePropA(m_hWnd, kSuperProperty);
    }
  }
  m_superProc = nullptr;
  DetachHandle();
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC super = SuperProcOf(hwnd);
  CWnd* self = FromHandle(hwnd);
  if (msg == WM_NCDESTROY) {
    if (self)
      self->UnsubclassWindow();
    ::RemovePropA(hwnd, kSuperProperty);
    return super ? ::CallWindowProcA(super, hwnd, msg, wParam, lParam)
                 : ::DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  if (!self)
    return super ? ::CallWindowProcA(super, hwnd, msg, wParam, lParam)
                 : ::DefWindowProcA(hwnd, msg, wParam, lParam);
  return self->WindowProc(msg, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefaultProc(msg, wParam, lParam);
}

LRESULT CWnd::DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (m_superProc)
    return ::CallWindowProcA(m_superProc, m_hWnd, msg, wParam, lParam);
  return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

bool CWnd::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  switch (msg) {
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR: {
      UINT type = CTLCOLOR_STATIC;
      if (msg == WM_CTLCOLOREDIT) type = CTLCOLOR_EDIT;
      if (msg == WM_CTLCOLORBTN) type = CTLCOLOR_BTN;
      if (msg == WM_CTLCOLORLISTBOX) type = CTLCOLOR_LISTBOX;
      if (msg == WM_CTLCOLORSCROLLBAR) type = CTLCOLOR_SCROLLBAR;
      HBRUSH brush = CtlColor(reinterpret_cast<HDC>(wParam), type);
      if (!brush)
        return false;
      *result = reinterpret_cast<LRESULT>(brush);
      return true;
    }
    case WM_DRAWITEM:
      if (!DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)))
        return false;
      *result = TRUE;
      return true;
    default:
      return false;
  }
}

bool CWnd::PreTranslateMessage(MSG&) {
  return false;
}

HBRUSH CWnd::CtlColor(HDC, UINT) {
  return nullptr;
}

bool CWnd::DrawItem(const DRAWITEMSTRUCT&) {
  return false;
}

LRESULT CWnd::SendMessage(UINT msg, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageA(m_hWnd, msg, wParam, lParam);
}

bool CWnd::PostMessage(UINT msg, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageA(m_hWnd, msg, wParam, lParam) != FALSE;
}

std::string GetWindowTextOf(HWND hwnd) {
  int length = ::GetWindowTextLengthA(hwnd);
  if (length <= 0)
    return std::string();
  std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
  int got = ::GetWindowTextA(hwnd, buffer.data(), length + 1);
  return std::string(buffer.data(), got > 0 ? static_cast<std::size_t>(got) : 0);
}

std::string CWnd::GetWindowText() const {
  return GetWindowTextOf(m_hWnd);
}

void CWnd::SetWindowText(const std::string& text) const {
  ::SetWindowTextA(m_hWnd, text.c_str());
}

bool CWnd::EnableWindow(bool enable) const {
  return ::EnableWindow(m_hWnd, enable ? TRUE : FALSE) != FALSE;
}

bool CWnd::IsWindowEnabled() const {
  return ::IsWindowEnabled(m_hWnd) != FALSE;
}

bool CWnd::ShowWindow(int command) const {
  return ::ShowWindow(m_hWnd, command) != FALSE;
}

bool CWnd::IsWindowVisible() const {
  return ::IsWindowVisible(m_hWnd) != FALSE;
}

void CWnd::Invalidate(bool erase) const {
  ::InvalidateRect(m_hWnd, nullptr, erase ? TRUE : FALSE);
}

RECT CWnd::GetClientRect() const {
  RECT rect{};
  ::GetClientRect(m_hWnd, &rect);
  return rect;
}

RECT CWnd::GetWindowRect() const {
  RECT rect{};
  ::GetWindowRect(m_hWnd, &rect);
  return rect;
}

DWORD CWnd::GetStyle() const {
  return static_cast<DWORD>(::GetWindowLongPtrA(m_hWnd, GWL_STYLE));
}

void CWnd::ModifyStyle(DWORD remove, DWORD add) const {
  DWORD style = (GetStyle() & ~remove) | add;
  ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, static_cast<LONG_PTR>(style));
}

HWND CWnd::GetDlgItem(int id) const {
  return ::GetDlgItem(m_hWnd, id);
}

int CWnd::GetDlgCtrlID() const {
  return ::GetDlgCtrlID(m_hWnd);
}

HFONT CWnd::GetFont() const {
  return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
}

void CWnd::SetFont(HFONT font, bool redraw) const {
  SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
}

bool CWnd::DestroyWindow() {
  if (!m_hWnd)
    return false;
  return ::DestroyWindow(m_hWnd) != FALSE;
}

}  // namespace kivo
