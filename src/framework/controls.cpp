#include "framework/controls.h"

#include <vector>

namespace kivo {

int CListCtrl::GetItemCount() const {
  return static_cast<int>(SendMessage(LVM_GETITEMCOUNT));
}

bool CListCtrl::DeleteAllItems() const {
  return SendMessage(LVM_DELETEALLITEMS) != FALSE;
}

int CListCtrl::InsertItem(int index, const std::string& text, int image) const {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = const_cast<char*>(text.c_str());
  if (image != -1) {
    item.mask |= LVIF_IMAGE;
    item.iImage = image;
  }
  return static_cast<int>(SendMessage(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

std::string CListCtrl::GetItemText(int index, int subItem) const {
  std::vector<char> buffer(1024);
  LVITEMA item{};
  item.iSubItem = subItem;
  item.pszText = buffer.data();
  item.cchTextMax = static_cast<int>(buffer.size());
  LRESULT length = SendMessage(LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  return std::string(buffer.data(), static_cast<std::size_t>(length > 0 ? length : 0));
}

bool CListCtrl::GetCheck(int index) const {
  LRESULT state = SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(index), LVIS_STATEIMAGEMASK);
  // State image 2 is the ticked box, 1 the empty one.
  return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void CListCtrl::SetCheck(int index, bool checked) const {
  LVITEMA item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

DWORD CListCtrl::GetExtendedStyle() const {
  return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE));
}

void CListCtrl::SetExtendedStyle(DWORD style) const {
  SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

int CListCtrl::InsertColumn(int column, const std::string& heading, int format, int width) const {
  LVCOLUMNA col{};
  col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  col.fmt = format;
  col.cx = width;
  col.pszText = const_cast<char*>(heading.c_str());
  col.iSubItem = column;
  return static_cast<int>(SendMessage(LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)));
}

HIMAGELIST CListCtrl::SetImageList(HIMAGELIST list, int type) const {
  return reinterpret_cast<HIMAGELIST>(
      SendMessage(LVM_SETIMAGELIST, static_cast<WPARAM>(type), reinterpret_cast<LPARAM>(list)));
}

int CRichEditCtrl::GetLineCount() const {
  return static_cast<int>(SendMessage(EM_GETLINECOUNT));
}

int CRichEditCtrl::GetTextLength() const {
  return ::GetWindowTextLengthA(m_hWnd);
}

void CRichEditCtrl::SetSel(int start, int end) const {
  SendMessage(EM_SETSEL, static_cast<WPARAM>(start), static_cast<LPARAM>(end));
}

void CRichEditCtrl::ReplaceSel(const std::string& text, bool canUndo) const {
  SendMessage(EM_REPLACESEL, canUndo ? TRUE : FALSE, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace kivo
