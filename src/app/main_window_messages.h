// The main window's private messages. Both parameters are 0 but for WM_OPEN_SPACE's lParam
// (below); all are sent, never posted, so the sender waits until the window thread has
// handled them.
#pragma once

#include <windows.h>

#include <string>

constexpr UINT WM_LIST_FINISHED = WM_USER + 2;      // the listing worker has ended
constexpr UINT WM_DOWNLOAD_FINISHED = WM_USER + 4;  // the download worker has ended
constexpr UINT WM_LOGIN_FINISHED = WM_USER + 5;     // the member's space has loaded
constexpr UINT WM_SPACE_NOT_FOUND = WM_USER + 6;    // the service showed its home page instead
constexpr UINT WM_OPEN_SPACE = WM_USER + 7;         // navigate the login browser to its m_strUrl
constexpr UINT WM_LOGIN_CANCELLED = WM_USER + 8;    // the user closed the login dialog

// What the nickname lookup hands to the window with WM_OPEN_SPACE (lParam): the window
// thread copies it into the login dialog itself, so no worker writes the dialog's strings
// while the window thread may read them. With lParam 0 the dialog's own m_strUrl is opened.
struct OpenSpaceRequest {
  std::string uin;
  std::string url;
};
