#include "app/kivo_album_app.h"

#include "app/extract_resource.h"
#include "app/kivo_album_dlg.h"
#include "app/skin_loader.h"
#include "framework/worker_thread.h"
#include "res/resource.h"

#include <commctrl.h>
#include <ole2.h>

namespace {

const char kStartupFailedMessage[] = "应用程序初始化失败(res:-1)，请重新下载！";
const char kSkinResourceType[] = "Skin";

}  // namespace

bool CKivoAlbumApp::InitInstance() {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES;
  ::InitCommonControlsEx(&controls);

  ::LoadLibraryA("RICHED20.DLL");

  // Hosting the login dialog's browser control needs OLE on this thread.
  ::OleInitialize(nullptr);

  std::string folder = kivo::ModuleFolder();
  if (!ExtractResourceToFile(folder + "SkinH.dll", IDR_SKIN_LIBRARY, kSkinResourceType) ||
      !ExtractResourceToFile(folder + "skin.dat", IDR_SKIN_DATA, kSkinResourceType)) {
    kivo::AppMessageBox(nullptr, kStartupFailedMessage, MB_OK | MB_ICONEXCLAMATION);
    return false;
  }

  AttachSkinEngine(folder + "SkinH.dll", folder + "skin.dat");

  std::unique_ptr<CKivoAlbumDlg> dialog = CreateMainWindow();
  m_pMainWnd = dialog.get();
  dialog->DoModal();

  // The window is gone, but a worker may still be inside a request and will then use the
  // window object. Freeing it (and, on return, the process's globals) under that worker
  // would crash; the program ends here instead, which also ends the workers.
  if (kivo::RunningWorkerCount() > 0)
    ::ExitProcess(0);

  m_pMainWnd = nullptr;
  dialog.reset();
  return false;
}

std::unique_ptr<CKivoAlbumDlg> CKivoAlbumApp::CreateMainWindow() {
  return std::make_unique<CKivoAlbumDlg>();
}
