#include "controls/thumbnail_list.h"

#include "base/thumbnail_geometry.h"

bool CThumbnailList::CreateThumbnailList(const kivo::CListCtrl& list) {
  m_images.reset(::ImageList_Create(kThumbnailSize, kThumbnailSize, ILC_COLOR24 | ILC_MASK, 10, 1));
  if (!m_images)
    return false;
  list.SetImageList(m_images.get(), LVSIL_NORMAL);
  return true;
}

void CThumbnailList::ClearThumbnails() {
  if (m_images) {
    for (int i = ::ImageList_GetImageCount(m_images.get()) - 1; i >= 0; --i)
      ::ImageList_Remove(m_images.get(), i);
  }
  m_cover.reset();
  m_canvas.reset();
  m_canvasDc = nullptr;
  m_cover.emplace();
  m_canvas.emplace();
  // The DC is held for the whole listing: one canvas serves every album.
  if (m_canvas->Create(kThumbnailSize, kThumbnailSize, 24))
    m_canvasDc = m_canvas->GetDC();
}

int CThumbnailList::MakeThumbnail(const std::string& path) {
  if (!m_images || !m_canvas || !m_cover)
    return -1;
  if (FAILED(m_cover->Load(path)))
    m_cover->Destroy();  // an empty cover draws nothing: the thumbnail stays white
  if (m_canvasDc) {
    ::PatBlt(m_canvasDc, 0, 0, kThumbnailSize, kThumbnailSize, WHITENESS);
    if (!m_cover->IsNull()) {
      kivo::Placement at = kivo::CentreOnCanvas(kThumbnailSize, kThumbnailSize, m_cover->GetWidth(),
                                                m_cover->GetHeight());
      m_cover->Draw(m_canvasDc, at.x, at.y, at.width, at.height, m_cover->GetWidth(), m_cover->GetHeight());
    }
  }
  m_cover->Destroy();
  // Only a thumbnail we saved is read back. After a failed save the file still holds the
  // downloaded cover, which is not 100 x 100 and may be what an earlier listing left there.
  if (!m_canvasDc || FAILED(m_canvas->SaveAsBmp(path)))
    return -1;
  kivo::ScopedBitmap thumbnail(static_cast<HBITMAP>(
      ::LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE)));
  if (!thumbnail)
    return -1;
  // The image list keeps its own copy.
  return ::ImageList_AddMasked(m_images.get(), thumbnail.get(), RGB(0, 0, 0));
}

void CThumbnailList::RefreshThumbnailList(const kivo::CListCtrl& list) {
  if (m_canvas) {
    if (m_canvasDc)
      m_canvas->ReleaseDC();
    m_canvas->Destroy();
  }
  m_canvasDc = nullptr;
  // Attached again so that the list view redraws with the new images.
  if (m_images)
    list.SetImageList(m_images.get(), LVSIL_NORMAL);
  m_cover.reset();
  m_canvas.reset();
}
