// CHyperLink: the link label of the main window. For now it keeps the colours and the
// underline mode it is given; drawing them, the hand cursor and the tooltip are still to come.
#pragma once

#include "framework/controls.h"

class CHyperLink : public kivo::CStatic {
 public:
  // 1: always underlined; 0: never; -1: only under the mouse.
  void SetUnderlineMode(int mode) { m_underlineMode = mode; }
  void SetLinkColour(COLORREF colour) { m_linkColour = colour; }

 private:
  COLORREF m_linkColour = RGB(0, 0, 238);
  int m_underlineMode = -1;
};
