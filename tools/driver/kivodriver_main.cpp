// kivodriver: the driver as a command, for scripts.
//
//   kivodriver wait-title TITLE SECONDS   waits for a visible window of that title
//   kivodriver screenshot FILE.png        saves the display
//   kivodriver list-windows               prints every visible top-level window
//   kivodriver close TITLE                asks the window of that title to close
//   kivodriver main-job TITLE LIST.png LOG.png
//                                         lists the albums of the number in the account box,
//                                         standing in for the login browser, downloads every
//                                         album, answers the last question No, and saves a
//                                         screenshot of the list and one of the log
//
// Titles are matched as typed (the command line reaches the program in UTF-16); the
// output is UTF-8.
#include "album_job.h"
#include "kivo_driver.h"

#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct TitleSearch {
  std::string title;
  HWND found = nullptr;
};

BOOL CALLBACK MatchTitle(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<TitleSearch*>(param);
  if (::IsWindowVisible(hwnd) && kivodriver::GetText(hwnd) == search->title) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK PrintWindow(HWND hwnd, LPARAM) {
  if (::IsWindowVisible(hwnd)) {
    std::printf("%p %s \"%s\"\n", static_cast<void*>(hwnd), kivodriver::GetClassNameOf(hwnd).c_str(),
                kivodriver::AnsiToUtf8(kivodriver::GetText(hwnd)).c_str());
  }
  return TRUE;
}

HWND FindTitleAnywhere(const std::string& title, int timeoutMs) {
  DWORD start = ::GetTickCount();
  for (;;) {
    TitleSearch search{title};
    ::EnumWindows(&MatchTitle, reinterpret_cast<LPARAM>(&search));
    if (search.found || static_cast<int>(::GetTickCount() - start) > timeoutMs)
      return search.found;
    ::Sleep(100);
  }
}

int Usage() {
  std::fprintf(stderr,
               "usage: kivodriver wait-title TITLE SECONDS | screenshot FILE | list-windows | close TITLE |\n"
               "                  main-job TITLE LIST.png LOG.png\n");
  return 2;
}

int MainJob(const std::string& title, const std::string& listShot, const std::string& logShot) {
  constexpr int kJobTimeoutMs = 300000;
  HWND main = FindTitleAnywhere(title, 30000);
  if (!main) {
    std::fprintf(stderr, "kivodriver: no window titled %s\n", kivodriver::AnsiToUtf8(title).c_str());
    return 1;
  }
  DWORD processId = 0;
  ::GetWindowThreadProcessId(main, &processId);
  std::string error;
  if (!kivodriver::ListAlbumsOf(main, "", kJobTimeoutMs, error)) {
    std::fprintf(stderr, "kivodriver: listing: %s\n", error.c_str());
    return 1;
  }
  ::Sleep(500);
  kivodriver::SaveScreenshot(listShot);
  if (!kivodriver::DownloadTicked(processId, main, false, kJobTimeoutMs, error)) {
    std::fprintf(stderr, "kivodriver: download: %s\n", error.c_str());
    return 1;
  }
  ::Sleep(500);
  kivodriver::SaveScreenshot(logShot);
  return 0;
}

// The arguments in the code page, from the UTF-16 command line.
std::vector<std::string> Arguments() {
  int count = 0;
  LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 0; i < count; ++i) {
    int length = ::WideCharToMultiByte(CP_ACP, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
    std::string arg(static_cast<std::size_t>(length > 0 ? length - 1 : 0), '\0');
    if (length > 1)
      ::WideCharToMultiByte(CP_ACP, 0, wide[i], -1, &arg[0], length, nullptr, nullptr);
    args.push_back(arg);
  }
  ::LocalFree(wide);
  return args;
}

}  // namespace

int main() {
  std::vector<std::string> args = Arguments();
  std::size_t argc = args.size();
  if (argc < 2)
    return Usage();
  const std::string& command = args[1];
  if (command == "wait-title" && argc == 4) {
    if (!FindTitleAnywhere(args[2], std::atoi(args[3].c_str()) * 1000)) {
      std::fprintf(stderr, "kivodriver: no window titled %s\n", kivodriver::AnsiToUtf8(args[2]).c_str());
      return 1;
    }
    return 0;
  }
  if (command == "screenshot" && argc == 3)
    return kivodriver::SaveScreenshot(args[2]) ? 0 : 1;
  if (command == "list-windows" && argc == 2) {
    ::EnumWindows(&PrintWindow, 0);
    return 0;
  }
  if (command == "close" && argc == 3) {
    HWND hwnd = FindTitleAnywhere(args[2], 0);
    if (!hwnd)
      return 1;
    ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
    return 0;
  }
  if (command == "main-job" && argc == 5)
    return MainJob(args[2], args[3], args[4]);
  return Usage();
}
