#include "app/download_worker.h"

#include "app/kivo_album_dlg.h"
#include "app/main_window_messages.h"

// The download is not built yet: the worker ends at once and gives the buttons back.
UINT DownloadAlbumsThread(void* window) {
  if (auto* dlg = static_cast<CKivoAlbumDlg*>(window))
    ::SendMessageA(dlg->GetSafeHwnd(), WM_DOWNLOAD_FINISHED, 0, 0);
  return 0;
}
