// CHyperLink: a static text of a template shown as a link: coloured text, underlined always
// or only under the mouse, a pointing-hand cursor, a tooltip, another colour while the mouse
// is over it. It opens nothing itself: a click reaches the parent as STN_CLICKED.
#pragma once

#include "framework/controls.h"
#include "framework/handles.h"

#include <string>

class CHyperLink : public kivo::CStatic {
 public:
  CHyperLink() = default;
  ~CHyperLink() override;

  // The colour away from the mouse; the hover colour becomes the system's highlight colour.
  void SetLinkColour(COLORREF colour);
  // 1: always underlined; 0: never; -1: only under the mouse.
  void SetUnderlineMode(int mode);
  // The tooltip's text; before binding, also the text of a control that has none.
  void SetTipText(const std::string& text);
  // Sizes the control to its text in the underlined font, keeping its alignment's anchor.
  void FitToText();

  bool DestroyWindow() override;
  bool PreTranslateMessage(MSG& msg) override;

  COLORREF GetLinkColour() const { return m_linkColour; }
  COLORREF GetHoverColour() const { return m_hoverColour; }
  int GetUnderlineMode() const { return m_underlineMode; }
  bool IsMouseOver() const { return m_bMouseOver; }
  HWND GetToolTip() const { return m_toolTip; }

 protected:
  void PreSubclassWindow() override;
  HBRUSH CtlColor(HDC dc, UINT ctlType) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  static constexpr UINT_PTR kTimerId = 100;
  static constexpr UINT kPollMs = 100;

  void LoadLinkCursor();
  void CreateToolTip();
  void OnMouseMove();
  void OnTimer();

  COLORREF m_linkColour = RGB(0, 0, 238);
  COLORREF m_hoverColour = RGB(255, 0, 0);
  bool m_bMouseOver = false;
  int m_underlineMode = -1;
  std::string m_strTipText;
  kivo::ScopedFont m_underlineFont;
  kivo::ScopedFont m_plainFont;
  kivo::ScopedIcon m_linkCursor;
  HWND m_toolTip = nullptr;
};
