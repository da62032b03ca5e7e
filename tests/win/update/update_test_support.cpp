#include "update_test_support.h"

#include <fstream>
#include <iterator>

#include "fetch_support.h"
#include "kivo_driver.h"

namespace updatetest {

bool Control(const std::string& request) {
  return fetchtest::BareGet("http://control.kivo.test/__control/" + request).status == 200;
}

std::string UnixPath(const std::string& windowsPath) {
  using ToUnix = char*(CDECL*)(LPCWSTR);
  auto toUnix = reinterpret_cast<ToUnix>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  wchar_t wide[MAX_PATH * 2] = {};
  if (!toUnix || !::MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide, MAX_PATH * 2))
    return std::string();
  char* unix = toUnix(wide);
  if (!unix)
    return std::string();
  std::string path = unix;
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return path;
}

std::string MarkProgram(const std::string& tag) {
  char own[MAX_PATH];
  ::GetModuleFileNameA(nullptr, own, MAX_PATH);
  std::string folder = own;
  folder.resize(folder.find_last_of('\\') + 1);
  std::string bytes = fetchtest::ReadFileBytes(folder + "kivo_mark_program.exe");
  return bytes.empty() ? bytes : bytes + "KIVOTAG:" + tag;
}

std::string Marks(const std::string& folder) {
  return fetchtest::ReadFileBytes(folder + "marks.txt");
}

std::string SigningMaterial(const std::string& name) {
  char folder[MAX_PATH];
  const DWORD length = ::GetEnvironmentVariableA("KIVO_SIGNING_MATERIAL", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return std::string();
  return std::string(folder) + "\\" + name;
}

void EmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
      ::DeleteFileA((folder + found.cFileName).c_str());
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
}

void RunPumping(LPTHREAD_START_ROUTINE proc, void* param) {
  HANDLE thread = ::CreateThread(nullptr, 0, proc, param, 0, nullptr);
  if (!thread)
    return;
  while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }
  ::CloseHandle(thread);
}

void Screenshot(const std::string& name) {
  char folder[MAX_PATH];
  DWORD length = ::GetEnvironmentVariableA("KIVO_TEST_ARTIFACTS", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return;
  ::CreateDirectoryA(folder, nullptr);
  std::string path = std::string(folder) + "\\" + name;
  if (kivodriver::SaveScreenshot(path))
    std::printf("screenshot: %s\n", path.c_str());
}

}  // namespace updatetest
