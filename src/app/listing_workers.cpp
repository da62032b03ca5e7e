// The album listing: the nickname lookup that opens the member's space, then, once the login
// dialog reports the space loaded, the album list with one ticked, pictured item per album.
#include "app/listing_workers.h"

#include "app/kivo_album_dlg.h"
#include "app/main_window_messages.h"
#include "base/format_text.h"
#include "framework/win_app.h"
#include "service/album_service.h"
#include "service/endpoints.h"
#include "service/http_fetch.h"

#include <cstdio>

namespace {

const char kInvalidUinMessage[] = "您输入的Kivo号码不合法，请检查后重新输入!";

}  // namespace

UINT OpenSpaceThread(void* window) {
  auto* dlg = static_cast<CKivoAlbumDlg*>(window);
  if (!dlg)
    return 0;
  // Set by the view button before this thread started; the button stays disabled meanwhile.
  const std::string uin = dlg->m_strUin;
  if (!GetNickname(uin, dlg->m_strNickname)) {
    kivo::AppMessageBox(dlg->GetSafeHwnd(), kInvalidUinMessage, MB_OK | MB_ICONEXCLAMATION);
    dlg->m_btnView.EnableWindow(true);
    return 0;
  }
  // The space is opened before the log names the member, so that whoever waits for that
  // line finds the account already taken over by the window.
  OpenSpaceRequest request{uin, kivo::SpaceUrl(uin)};
  ::SendMessageA(dlg->GetSafeHwnd(), WM_OPEN_SPACE, 0, reinterpret_cast<LPARAM>(&request));
  AppendLog(kivo::FillPlaceholders("正在获取 %1(%2) 的相册列表，请稍等……", {uin, dlg->m_strNickname}));
  return 0;
}

UINT ListAlbumsThread(void* window) {
  auto* dlg = static_cast<CKivoAlbumDlg*>(window);
  if (!dlg)
    return 0;
  const std::string& uin = dlg->SpaceUin();
  std::string albumHost;
  LookupRoute(uin, albumHost, dlg->m_strPhotoHost);
  ListAlbums(albumHost, uin);
  AppendLog(kivo::FillPlaceholders("%1(%2) 共有 %3 个相册",
                                   {uin, dlg->m_strNickname, std::to_string(g_albums.size())}));

  dlg->m_thumbnails.ClearThumbnails();
  int k = 0;
  for (const AlbumInfo& album : g_albums) {
    char count[32];
    std::snprintf(count, sizeof count, "\n共%d张", album.total);
    const std::string path = dlg->m_strWorkFolder + "tmp\\" + std::to_string(k++) + ".bmp";
    // What an earlier listing left at this position belongs to another album: a cover that
    // cannot be fetched must give a white tile, not that picture.
    ::DeleteFileA(path.c_str());
    HttpGetFile(album.pre, path);
    int image = dlg->m_thumbnails.MakeThumbnail(path);
    // An item without a picture must not show the first album's.
    int item = dlg->m_listAlbums.InsertItem(dlg->m_listAlbums.GetItemCount(), album.name + count,
                                            image >= 0 ? image : I_IMAGENONE);
    if (item >= 0)
      dlg->m_listAlbums.SetCheck(item, true);
  }
  dlg->m_thumbnails.RefreshThumbnailList(dlg->m_listAlbums);
  ::SendMessageA(dlg->GetSafeHwnd(), WM_LIST_FINISHED, 0, 0);
  return 0;
}
