// CKivoAlbumApp: the program's start. It prepares the controls, writes and attaches the
// skin engine, and runs the main window modally; the program ends when that window closes.
#pragma once

#include "framework/win_app.h"

#include <memory>

class CKivoAlbumDlg;

class CKivoAlbumApp : public kivo::CWinApp {
 public:
  // Always false: the framework then ends the program.
  bool InitInstance() override;

 protected:
  virtual std::unique_ptr<CKivoAlbumDlg> CreateMainWindow();
};
