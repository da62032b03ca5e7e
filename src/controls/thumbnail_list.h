// CThumbnailList: the album list's 100 x 100 image list of cover thumbnails.
#pragma once

#include "framework/controls.h"
#include "framework/handles.h"

class CThumbnailList {
 public:
  static constexpr int kThumbnailSize = 100;

  // Makes the image list and attaches it to the list view as its normal image list.
  bool CreateThumbnailList(const kivo::CListCtrl& list);

 private:
  kivo::ScopedImageList m_images;
};
