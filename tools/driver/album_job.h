// The program's main job driven from outside, step by step as a user takes it: type an
// account number, press 查看相册, (stand in for the login browser,) wait for the list, tick,
// press 开始下载, answer the last question. Shared by the end-to-end tests, the benchmark and
// the kivodriver command.
#pragma once

#include <windows.h>

#include <string>

namespace kivodriver {

// Control ids of the main window.
constexpr int kAccountBox = 1001;
constexpr int kViewButton = 1002;
constexpr int kAlbumList = 1003;
constexpr int kLogPane = 1006;
constexpr int kDownloadButton = 1007;
// The main window's private messages that a test may send as the login browser would.
constexpr UINT kLoginFinished = WM_USER + 5;

// The log pane's whole text.
std::string LogText(HWND main);
// Waits until the log pane holds text; false on time-out.
bool WaitForLog(HWND main, const std::string& text, int timeoutMs);
// Waits until a control of the main window is enabled (or disabled); false on time-out.
bool WaitForEnabled(HWND main, int id, bool enabled, int timeoutMs);

// Types uin into the account box (unless it is empty: then the box keeps its text), presses
// the view button, and, once the log names the member, tells the window that the space has
// loaded, as the login browser does where it can load pages. Returns when the listing has
// ended (the view button is back); false with a reason in error otherwise.
bool ListAlbumsOf(HWND main, const std::string& uin, int timeoutMs, std::string& error);

// Presses the download button and waits for the final question; answers it with Yes or No
// and waits until both buttons are back. False with a reason in error otherwise.
bool DownloadTicked(DWORD processId, HWND main, bool openFolder, int timeoutMs, std::string& error);

}  // namespace kivodriver
