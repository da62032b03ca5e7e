#include "framework/win_app.h"

#include "framework/res_strings.h"

namespace kivo {

namespace {

// The framework's application-title string.
constexpr UINT kAppTitleStringId = 57344;

}  // namespace

CWinApp* CWinApp::s_current = nullptr;

CWinApp::CWinApp() {
  s_current = this;
}

CWinApp::~CWinApp() {
  if (s_current == this)
    s_current = nullptr;
}

CWinApp* CWinApp::Current() {
  return s_current;
}

int CWinApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

HINSTANCE AppInstance() {
  return ::GetModuleHandleA(nullptr);
}

const std::string& AppTitle() {
  static const std::string title = [] {
    std::string text = LoadResString(kAppTitleStringId);
    if (!text.empty())
      return text;
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name = path;
    std::size_t slash = name.find_last_of('\\');
    if (slash != std::string::npos)
      name.erase(0, slash + 1);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
      name.erase(dot);
    return name;
  }();
  return title;
}

std::string ModuleFolder() {
  char path[520] = {};
  DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string folder(path, length < sizeof(path) ? length : 0);
  std::size_t slash = folder.find_last_of('\\');
  folder.erase(slash == std::string::npos ? 0 : slash + 1);
  return folder;
}

int AppMessageBox(HWND owner, const std::string& text, UINT type) {
  if ((type & MB_ICONMASK) == 0) {
    switch (type & MB_TYPEMASK) {
      case MB_OK:
      case MB_OKCANCEL:
        type |= MB_ICONEXCLAMATION;
        break;
      case MB_YESNO:
      case MB_YESNOCANCEL:
        type |= MB_ICONQUESTION;
        break;
      default:
        break;
    }
  }
  return ::MessageBoxA(owner, text.c_str(), AppTitle().c_str(), type);
}

}  // namespace kivo
