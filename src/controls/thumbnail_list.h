// CThumbnailList: the album list's 100 x 100 image list of cover thumbnails, and the canvas
// they are made on during one listing.
#pragma once

#include <optional>
#include <string>

#include "controls/image.h"
#include "framework/controls.h"
#include "framework/handles.h"

class CThumbnailList {
 public:
  static constexpr int kThumbnailSize = 100;

  // Makes the image list and attaches it to the list view as its normal image list.
  bool CreateThumbnailList(const kivo::CListCtrl& list);

  // One listing, on its worker thread: ClearThumbnails, then MakeThumbnail once per album in
  // list order (the images get the indices 0 to n - 1), then RefreshThumbnailList.
  void ClearThumbnails();
  // Turns the downloaded cover at path into a thumbnail: the cover centred at its own size on
  // a white canvas, saved over the same path as BMP and added to the image list. A missing or
  // undecodable cover gives a white thumbnail. The new image's index, or -1.
  int MakeThumbnail(const std::string& path);
  void RefreshThumbnailList(const kivo::CListCtrl& list);

  HIMAGELIST GetImageList() const { return m_images.get(); }

 private:
  kivo::ScopedImageList m_images;
  // Between ClearThumbnails and RefreshThumbnailList only; they keep GDI+ running meanwhile.
  std::optional<CImage> m_canvas;
  std::optional<CImage> m_cover;
  HDC m_canvasDc = nullptr;
};
