#include "app/skin_loader.h"

#include <windows.h>

bool AttachSkinEngine(const std::string& library, const std::string& skinFile) {
  using AttachFn = int(WINAPI*)(const char*, const char*);
  // A broken library file must fail quietly, not with the system's error box.
  UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  HMODULE module = ::LoadLibraryA(library.c_str());
  ::SetErrorMode(previousMode);
  if (!module)
    return false;
  auto attach = reinterpret_cast<AttachFn>(
      reinterpret_cast<void*>(::GetProcAddress(module, "SkinH_AttachEx")));
  if (!attach)
    return false;
  attach(skinFile.c_str(), nullptr);
  return true;
}
