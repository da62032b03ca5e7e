#include "update/self_replace_win.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "service/internet_handle_win.h"

namespace kivo {

std::string MakeTempFilePath() {
  char folder[MAX_PATH + 1] = {};
  char path[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathA(MAX_PATH, folder);
  if (length == 0 || length > MAX_PATH || ::GetTempFileNameA(folder, "tmp", 0, path) == 0)
    return std::string();
  return path;
}

bool StartReplacement(const ReplacementPaths& paths, int waitSeconds) {
  const std::string text = ReplaceScriptText(paths, waitSeconds);
  {
    FileHandle script(::CreateFileA(paths.script.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!script || !::WriteFile(script.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size()) {
      script.reset();
      ::DeleteFileA(paths.script.c_str());
      return false;
    }
  }
  const auto started = reinterpret_cast<INT_PTR>(
      ::ShellExecuteA(nullptr, "open", paths.script.c_str(), nullptr, nullptr, SW_HIDE));
  if (started <= 32) {
    ::DeleteFileA(paths.script.c_str());
    return false;
  }
  return true;
}

}  // namespace kivo

bool ReplaceSelfAndExit(const std::string& downloaded, const std::string& newName) {
  std::vector<char> own(32768);
  const DWORD length = ::GetModuleFileNameA(nullptr, own.data(), static_cast<DWORD>(own.size()));
  if (length == 0 || length >= own.size())
    return false;
  const kivo::ReplacementPaths paths =
      kivo::MakeReplacementPaths(std::string(own.data(), length), downloaded, newName);
  if (!kivo::StartReplacement(paths, kivo::kReplaceWaitSeconds))
    return false;
  ::ExitProcess(0);
}
