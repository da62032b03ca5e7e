// The application object and what the whole program shares through it: its module, its
// title (every message box's caption) and its folder.
#pragma once

#include <windows.h>

#include <string>

namespace kivo {

class CWnd;

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  // The one application object of the process, or null.
  static CWinApp* Current();

  // Start-up; false ends the program when it returns.
  virtual bool InitInstance() = 0;
  // The application's own message loop, run only when InitInstance returned true.
  virtual int Run();

  CWnd* m_pMainWnd = nullptr;

 private:
  static CWinApp* s_current;
};

HINSTANCE AppInstance();

// String resource 57344, or the program file's name when the resource is missing.
const std::string& AppTitle();

// The folder of the program file with its trailing backslash.
std::string ModuleFolder();

// A message box captioned with the application's title. A type that names no icon gets the
// exclamation icon with OK or OK/Cancel, and the question icon with Yes/No buttons.
int AppMessageBox(HWND owner, const std::string& text, UINT type = MB_OK);

}  // namespace kivo
