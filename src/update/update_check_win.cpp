#include "update/update_check_win.h"

#include "app/kivo_album_dlg.h"

// The update page is not read yet: the silent check finds nothing to offer, and the link
// only comes back so that it stays usable.
UINT StartupUpdateThread(void* /*window*/) {
  return 0;
}

UINT CheckForUpdate(void* window) {
  if (auto* dlg = static_cast<CKivoAlbumDlg*>(window))
    dlg->m_linkUpdate.EnableWindow(true);
  return 0;
}
