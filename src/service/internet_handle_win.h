// WinINet handles and the files written from them: their owners, and the time-outs the
// program gives every WinINet handle it opens.
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

// Left alone, Wine's WinINet has no receive time-out (it sat out a 330-second stall), so a
// stalled answer would hold a worker for good. These are WinHTTP's defaults; the receive
// time-out is per read, so a slow answer that keeps moving is not cut.
inline void SetInternetTimeouts(HINTERNET handle) {
  DWORD connect = 60000, send = 30000, receive = 30000;
  ::InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  ::InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &send, sizeof send);
  ::InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

}  // namespace kivo
