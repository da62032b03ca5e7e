#include "controls/thumbnail_list.h"

bool CThumbnailList::CreateThumbnailList(const kivo::CListCtrl& list) {
  m_images.reset(::ImageList_Create(kThumbnailSize, kThumbnailSize, ILC_COLOR24 | ILC_MASK, 10, 1));
  if (!m_images)
    return false;
  list.SetImageList(m_images.get(), LVSIL_NORMAL);
  return true;
}
