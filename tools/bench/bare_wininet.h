// The least a WinINet download can do, the yardstick the benchmarks hold the program against:
// a session, the URL with the same flags as the program's fetch, reads into a file. No
// status, no checks, no time-outs.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "service/internet_handle_win.h"

namespace kivobench {

inline bool BareGetFile(const std::string& url, const std::string& path) {
  static char buffer[1048576];
  kivo::InternetHandle session(::InternetOpenA("KivoAlbum", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session)
    return false;
  kivo::InternetHandle request(::InternetOpenUrlA(session.get(), url.c_str(), nullptr, 0, 0xA0000001, 1));
  if (!request)
    return false;
  kivo::FileHandle file(
      ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    return false;
  for (;;) {
    DWORD got = 0, written = 0;
    if (!::InternetReadFile(request.get(), buffer, sizeof buffer, &got))
      return false;
    if (got == 0)
      return true;
    if (!::WriteFile(file.get(), buffer, got, &written, nullptr))
      return false;
  }
}

}  // namespace kivobench
