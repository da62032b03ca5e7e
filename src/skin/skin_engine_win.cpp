// The skin engine: a DLL of its own that the program writes beside itself and attaches at
// start. SkinH_AttachEx reads a skin file and, on the calling thread, gives every dialog
// (message boxes included) the skin's face and label colours. A dialog or control that
// answers its own colour requests keeps its answer: only the system's default face is
// replaced.
#include "skin/skin_data.h"

#include <windows.h>

#include <string>

namespace {

HINSTANCE g_module = nullptr;
HHOOK g_hook = nullptr;
HBRUSH g_faceBrush = nullptr;
kivo::SkinColours g_colours;

const char kSuperProperty[] = "KivoSkin.Super";

enum AttachResult : int {
  kAttached = 0,
  kUnreadable = 1,
  kCorrupt = 2,
  kAlreadyAttached = 3,
  kNoHook = 4,
};

bool ReadSkinFile(const char* path, std::string& data) {
  if (!path)
    return false;
  HANDLE file = ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  data.assign(kivo::kMaxSkinFileSize + 1, '\0');
  DWORD got = 0;
  BOOL ok = ::ReadFile(file, &data[0], static_cast<DWORD>(data.size()), &got, nullptr);
  ::CloseHandle(file);
  data.resize(ok ? got : 0);
  return ok != FALSE;
}

LRESULT CALLBACK SkinnedDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  WNDPROC super = reinterpret_cast<WNDPROC>(::GetPropA(hwnd, kSuperProperty));
  LRESULT result = super ? ::CallWindowProcA(super, hwnd, msg, wParam, lParam)
                         : ::DefWindowProcA(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      if (reinterpret_cast<HBRUSH>(result) == ::GetSysColorBrush(COLOR_BTNFACE)) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetBkColor(dc, g_colours.dialogBackground);
        if (msg != WM_CTLCOLORDLG)
          ::SetTextColor(dc, g_colours.text);
        return reinterpret_cast<LRESULT>(g_faceBrush);
      }
      break;
    case WM_NCDESTROY:
      ::RemovePropA(hwnd, kSuperProperty);
      break;
    default:
      break;
  }
  return result;
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    HWND hwnd = reinterpret_cast<HWND>(wParam);
    char className[16] = {};
    if (::GetClassNameA(hwnd, className, sizeof(className)) && lstrcmpA(className, "#32770") == 0) {
      LONG_PTR super = ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkinnedDialogProc));
      ::SetPropA(hwnd, kSuperProperty, reinterpret_cast<HANDLE>(super));
    }
  }
  return ::CallNextHookEx(g_hook, code, wParam, lParam);
}

}  // namespace

extern "C" int WINAPI SkinH_AttachEx(const char* skinFile, const char* /*reserved*/) {
  if (g_hook)
    return kAlreadyAttached;
  std::string data;
  if (!ReadSkinFile(skinFile, data))
    return kUnreadable;
  kivo::SkinColours colours;
  if (!kivo::ParseSkinData(data, colours))
    return kCorrupt;
  HBRUSH brush = ::CreateSolidBrush(colours.dialogBackground);
  if (!brush)
    return kNoHook;
  g_colours = colours;
  g_faceBrush = brush;  // lives as long as the hook, which is the process
  g_hook = ::SetWindowsHookExA(WH_CBT, &CbtHook, g_module, ::GetCurrentThreadId());
  if (!g_hook) {
    ::DeleteObject(g_faceBrush);
    g_faceBrush = nullptr;
    return kNoHook;
  }
  return kAttached;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}
