// CAboutDlg: the about box of the system menu. Its template holds everything it shows.
#pragma once

#include "framework/dialog.h"
#include "res/resource.h"

class CAboutDlg : public kivo::CDialog {
 public:
  CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
