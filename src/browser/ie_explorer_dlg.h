// CIEExplorerDlg: the hidden login dialog that the main window owns. It lives as long as
// the main window (the browser keeps the login's cookies across views), watches the title
// of every page that completes, shows itself when the service asks the user to log in, and
// tells m_hNotifyWnd when the member's space has loaded or does not exist.
#pragma once

#include "browser/explorer1.h"
#include "framework/dialog.h"

#include <string>

class CIEExplorerDlg : public kivo::CDialog {
 public:
  CIEExplorerDlg();

  int m_bInitialized = 0;
  CExplorer1 m_browser;
  std::string m_strUrl;
  std::string m_strUin;
  HWND m_hNotifyWnd = nullptr;

  // What a completed page's title means: shows the dialog for the login page, counts the
  // member's space pages and reports them from the second of the process on, reports the
  // service's home page. Any other title, the empty one included, does nothing.
  void OnDocumentTitle(const std::wstring& title);

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(kivo::CDataExchange& dx) override;
  INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  // Close box, Enter and Esc hide the dialog; it is never destroyed before the main window.
  void OnOK() override;
  void OnCancel() override;

 private:
  void OnDocumentComplete();
  void CenterOverOwner();
  void HideForUser();
  void Notify(UINT msg) const;
};
