// The program's entry: the one application object, run by the framework's WinMain.
#include "app/kivo_album_app.h"
#include "framework/win_main.h"

CKivoAlbumApp theApp;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  return kivo::RunApplication();
}
