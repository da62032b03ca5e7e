// Thin wrappers of the standard controls that the program's windows bind. Each call sends
// the control its message, so a worker thread may call them: the control's own thread
// carries them out while the worker waits.
#pragma once

#include "framework/wnd.h"

#include <commctrl.h>

#include <string>

namespace kivo {

class CStatic : public CWnd {};

class CEdit : public CWnd {};

class CButton : public CWnd {};

class CListCtrl : public CWnd {
 public:
  int GetItemCount() const;
  bool DeleteAllItems() const;
  // Inserts an item with its text and, when image is not -1, its picture; the new index or -1.
  int InsertItem(int index, const std::string& text, int image = -1) const;
  std::string GetItemText(int item, int subItem = 0) const;
  bool GetCheck(int item) const;
  void SetCheck(int item, bool checked) const;
  DWORD GetExtendedStyle() const;
  void SetExtendedStyle(DWORD style) const;
  int InsertColumn(int column, const std::string& heading, int format, int width) const;
  HIMAGELIST SetImageList(HIMAGELIST list, int type) const;
};

class CRichEditCtrl : public CWnd {
 public:
  int GetLineCount() const;
  int GetTextLength() const;
  void SetSel(int start, int end) const;
  void ReplaceSel(const std::string& text, bool canUndo) const;
};

}  // namespace kivo
