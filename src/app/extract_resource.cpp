#include "app/extract_resource.h"

#include "framework/handles.h"
#include "framework/win_app.h"

bool ExtractResourceToFile(const std::string& path, unsigned id, const char* type) {
  // Looked up first, so that a missing resource cannot truncate a good copy on disk.
  HMODULE module = kivo::AppInstance();
  HRSRC info = ::FindResourceA(module, MAKEINTRESOURCEA(id), type);
  HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
  const void* data = loaded ? ::LockResource(loaded) : nullptr;
  DWORD size = info ? ::SizeofResource(module, info) : 0;
  if (!data)
    return false;

  kivo::ScopedHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;

  DWORD written = 0;
  BOOL ok = ::WriteFile(file.get(), data, size, &written, nullptr);
  ::SetEndOfFile(file.get());
  // A short file (a full disk) is a broken copy, not a done one.
  return ok && written == size;
}
