#include "app/listing_workers.h"

#include "app/kivo_album_dlg.h"
#include "app/main_window_messages.h"

// The listing is not built yet. Both workers end at once and hand the buttons back the way
// a listing that found nothing would, so the window stays usable.
UINT OpenSpaceThread(void* window) {
  if (auto* dlg = static_cast<CKivoAlbumDlg*>(window))
    dlg->m_btnView.EnableWindow(true);
  return 0;
}

UINT ListAlbumsThread(void* window) {
  if (auto* dlg = static_cast<CKivoAlbumDlg*>(window))
    ::SendMessageA(dlg->GetSafeHwnd(), WM_LIST_FINISHED, 0, 0);
  return 0;
}
