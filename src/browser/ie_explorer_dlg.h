// CIEExplorerDlg: the hidden login dialog that the main window owns. It lives as long as
// the main window and is shown only when the service asks the user to log in.
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

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(kivo::CDataExchange& dx) override;
};
