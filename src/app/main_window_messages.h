// The main window's private messages. Both parameters are 0; all are sent, never posted,
// so the sender waits until the window thread has handled them.
#pragma once

#include <windows.h>

constexpr UINT WM_LIST_FINISHED = WM_USER + 2;      // the listing worker has ended
constexpr UINT WM_DOWNLOAD_FINISHED = WM_USER + 4;  // the download worker has ended
constexpr UINT WM_LOGIN_FINISHED = WM_USER + 5;     // the member's space has loaded
constexpr UINT WM_SPACE_NOT_FOUND = WM_USER + 6;    // the service showed its home page instead
constexpr UINT WM_OPEN_SPACE = WM_USER + 7;         // navigate the login browser to its m_strUrl
constexpr UINT WM_LOGIN_CANCELLED = WM_USER + 8;    // the user closed the login dialog
