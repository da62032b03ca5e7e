#include "controls/image_button.h"

#include "framework/win_app.h"

#include <string>

void CVelaButton::Face::Load(UINT id) {
  picture.Attach(nullptr, ::LoadBitmapA(kivo::AppInstance(), MAKEINTRESOURCEA(id)));
  width = height = 0;
  BITMAP info{};
  if (picture.bitmap() && ::GetObjectA(picture.bitmap(), sizeof(info), &info)) {
    width = info.bmWidth;
    height = info.bmHeight;
  }
}

void CVelaButton::DrawFace(HDC dc, const RECT& rect, const Face& face) {
  HDC src = face.picture.dc();
  if (!src || face.width <= 0 || face.height <= 0)
    return;
  const int w = rect.right - rect.left;
  const int h = rect.bottom - rect.top;
  const int fw = w < face.width ? w : face.width;
  const int fh = h < face.height ? h : face.height;
  ::BitBlt(dc, rect.left, rect.top, fw, fh, src, 0, 0, SRCCOPY);
  if (w > fw)
    ::StretchBlt(dc, rect.left + fw, rect.top, w - fw, fh, src, fw - 1, 0, 1, fh, SRCCOPY);
  if (h > fh)
    ::StretchBlt(dc, rect.left, rect.top + fh, fw, h - fh, src, 0, fh - 1, fw, 1, SRCCOPY);
  if (w > fw && h > fh)
    ::StretchBlt(dc, rect.left + fw, rect.top + fh, w - fw, h - fh, src, fw - 1, fh - 1, 1, 1, SRCCOPY);
}

void CVelaButton::LoadFaces(UINT normalId, UINT hoverId, UINT pressedId) {
  m_normal.Load(normalId);
  m_hover.Load(hoverId);
  m_pressed.Load(pressedId);
}

void CVelaButton::PreSubclassWindow() {
  CButton::PreSubclassWindow();
  ModifyStyle(0, BS_OWNERDRAW);
}

bool CVelaButton::DrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  const RECT& rect = item.rcItem;
  const Face& face = !m_bMouseOver ? m_normal : (m_bPressed ? m_pressed : m_hover);
  DrawFace(dc, rect, face);

  std::string caption = GetWindowText();
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, IsWindowEnabled() ? RGB(0, 0, 0) : RGB(120, 127, 127));
  RECT textRect = rect;
  ::DrawTextA(dc, caption.c_str(), static_cast<int>(caption.size()), &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  return true;
}

void CVelaButton::TrackMouse() {
  TRACKMOUSEEVENT track{};
  track.cbSize = sizeof(track);
  track.dwFlags = TME_HOVER | TME_LEAVE;
  track.hwndTrack = m_hWnd;
  track.dwHoverTime = HOVER_DEFAULT;
  ::TrackMouseEvent(&track);
}

void CVelaButton::Repaint() {
  // A click may have ended the dialog and its buttons with it.
  if (m_hWnd && ::IsWindow(m_hWnd))
    Invalidate(true);
}

LRESULT CVelaButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LBUTTONDOWN: {
      LRESULT result = CButton::WindowProc(msg, wParam, lParam);
      m_bPressed = true;
      Repaint();
      return result;
    }
    case WM_LBUTTONUP: {
      LRESULT result = CButton::WindowProc(msg, wParam, lParam);
      m_bPressed = false;
      Repaint();
      return result;
    }
    case WM_MOUSEMOVE:
      if (!m_bMouseOver) {
        m_bMouseOver = true;
        Repaint();
        TrackMouse();
      }
      return 0;
    case WM_MOUSEHOVER:
      TrackMouse();
      return 0;
    case WM_MOUSELEAVE:
      m_bMouseOver = false;
      m_bPressed = false;
      Repaint();
      return 0;
    default:
      return CButton::WindowProc(msg, wParam, lParam);
  }
}
