#include "e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace e2e {

const char kTitle[] = "Kivo相册批量下载工具(KivoAlbum1.5)";

std::string Environment(const char* name) {
  char value[1024];
  DWORD length = ::GetEnvironmentVariableA(name, value, sizeof(value));
  return length > 0 && length < sizeof(value) ? std::string(value, length) : std::string();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string OwnFolder() {
  char path[MAX_PATH];
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string BuiltProgram() {
  return OwnFolder() + "KivoAlbum.exe";
}

namespace {

// folder (with its trailing backslash) and everything below it.
void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..")
        continue;
      std::string path = folder + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path + "\\");
      } else {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(search, &found));
    ::FindClose(search);
  }
  ::RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::string InstallCopy(const char* name) {
  char temp[MAX_PATH];
  ::GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "kivo-e2e-" + name + "-" + std::to_string(::GetCurrentProcessId()) + "\\";
  // Wine reuses process ids: a folder of an earlier run may be there, with its downloads.
  RemoveTree(folder);
  ::CreateDirectoryA(folder.c_str(), nullptr);
  ::CopyFileA(BuiltProgram().c_str(), (folder + "KivoAlbum.exe").c_str(), FALSE);
  return folder;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return names;
  do {
    std::string name = found.cFileName;
    if (name != "." && name != "..")
      names.push_back(name);
  } while (::FindNextFileA(search, &found));
  ::FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void SaveScreenshot(const std::string& name) {
  std::string folder = Environment("KIVO_TEST_ARTIFACTS");
  if (folder.empty())
    return;
  ::CreateDirectoryA(folder.c_str(), nullptr);
  std::string path = folder + "\\" + name;
  EXPECT_TRUE(kivodriver::SaveScreenshot(path)) << path;
  std::printf("screenshot: %s\n", path.c_str());
}

HWND Program::StartAndWait(const std::string& folder) {
  if (!Start(folder))
    return nullptr;
  return kivodriver::WaitForTitle(process_.id, kTitle, kStartTimeoutMs);
}

}  // namespace e2e
