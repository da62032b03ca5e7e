#include "framework/win_main.h"

#include "framework/win_app.h"

namespace kivo {

int RunApplication() {
  CWinApp* app = CWinApp::Current();
  if (!app)
    return 1;
  if (!app->InitInstance())
    return 0;
  return app->Run();
}

}  // namespace kivo
