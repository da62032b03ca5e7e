// Owners of the handles the fetch works with: WinINet's, and the file it writes.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "base/unique_handle.h"

namespace kivo {

struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle None() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::InternetCloseHandle(h); }
};

// CreateFile fails with INVALID_HANDLE_VALUE, most other calls with null: neither is owned.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle None() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(Handle h) { ::CloseHandle(h); }
};

using InternetHandle = UniqueHandle<InternetHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;

}  // namespace kivo
