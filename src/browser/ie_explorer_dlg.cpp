#include "browser/ie_explorer_dlg.h"

#include "res/resource.h"

CIEExplorerDlg::CIEExplorerDlg() : CDialog(IDD_LOGIN_BROWSER) {}

bool CIEExplorerDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_bInitialized = 1;
  ShowWindow(SW_HIDE);
  return true;
}

void CIEExplorerDlg::DoDataExchange(kivo::CDataExchange& dx) {
  dx.Control(IDC_BROWSER, m_browser);
}
