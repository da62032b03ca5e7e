// CKivoAlbumDlg: the program's main window. It owns what the album workflow shares (work
// folder, account number, nickname, photo host, thumbnails, login dialog), starts every long
// job on a worker thread with itself as the argument, and keeps the jobs apart through the
// states of its two buttons and g_bListing, all changed on its own thread only.
#pragma once

#include "app/log_pane.h"
#include "app/main_window_messages.h"
#include "browser/ie_explorer_dlg.h"
#include "controls/hyperlink.h"
#include "controls/thumbnail_list.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "update/update_check_win.h"

#include <string>

// A listing runs: from the start of ListAlbumsThread until its WM_LIST_FINISHED is handled.
extern bool g_bListing;

class CKivoAlbumDlg : public kivo::CDialog {
 public:
  CKivoAlbumDlg();

  // What the workers read and fill.
  CThumbnailList m_thumbnails;
  std::string m_strWorkFolder;
  std::string m_strUin;  // the account box's text, written into it at start
  std::string m_strNickname;
  std::string m_strPhotoHost;
  CHyperLink m_linkUpdate;
  kivo::CButton m_btnView;
  kivo::CListCtrl m_listAlbums;
  kivo::CLogPane m_logPane;
  CIEExplorerDlg m_loginDlg;

  HWND GetDownloadButton() const;
  // The account the view button checked and whose nickname was found, and whose space the
  // login dialog opened (empty after a new view click until then): what the listing and the
  // download use, whatever the account box holds now.
  const std::string& SpaceUin() const { return m_loginDlg.m_strUin; }

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(kivo::CDataExchange& dx) override;
  INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  bool OnCommand(int id, int code, HWND control) override;
  void OnDestroy() override;

  void OnViewClicked();
  void OnDownloadClicked();
  void OnUpdateLinkClicked();
  void OnListFinished();
  void OnDownloadFinished();
  void OnLoginFinished();
  void OnSpaceNotFound();
  void OnOpenSpace(const OpenSpaceRequest* request);
  void OnLoginCancelled();
  bool OnSysCommand(WPARAM command);
  bool OnPaintMinimised();

  // Starts proc with this window; false (after putting the buttons back) when it could not.
  bool StartWorker(UINT (*proc)(void*));

 private:
  HICON m_hIcon;
  // A download runs: from the download click until WM_DOWNLOAD_FINISHED.
  bool m_bDownloading = false;
  // What the update checks may touch of this window.
  UpdateCheckTarget m_updateTarget;
};
