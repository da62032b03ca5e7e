#include "album_job.h"

#include "kivo_driver.h"

namespace kivodriver {

std::string LogText(HWND main) {
  return GetText(::GetDlgItem(main, kLogPane));
}

bool WaitForLog(HWND main, const std::string& text, int timeoutMs) {
  return WaitUntil([&] { return LogText(main).find(text) != std::string::npos; }, timeoutMs, 50);
}

bool WaitForEnabled(HWND main, int id, bool enabled, int timeoutMs) {
  HWND control = ::GetDlgItem(main, id);
  return WaitUntil([&] { return (::IsWindowEnabled(control) != FALSE) == enabled; }, timeoutMs, 50);
}

bool ListAlbumsOf(HWND main, const std::string& uin, int timeoutMs, std::string& error) {
  if (!uin.empty() && !SetText(::GetDlgItem(main, kAccountBox), uin)) {
    error = "could not type the account number";
    return false;
  }
  std::string typed = GetText(::GetDlgItem(main, kAccountBox));
  Click(::GetDlgItem(main, kViewButton));
  // The nickname line: "正在获取 <uin>(<nick>) 的相册列表，请稍等……".
  if (!WaitForLog(main, "正在获取 " + typed + "(", timeoutMs)) {
    error = "the log never named the member " + typed;
    return false;
  }
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutA(main, kLoginFinished, 0, 0, SMTO_ABORTIFHUNG, 5000, &result)) {
    error = "the window did not take the login notice";
    return false;
  }
  if (!WaitForEnabled(main, kViewButton, true, timeoutMs)) {
    error = "the listing did not end";
    return false;
  }
  return true;
}

bool DownloadTicked(DWORD processId, HWND main, bool openFolder, int timeoutMs, std::string& error) {
  if (!::IsWindowEnabled(::GetDlgItem(main, kDownloadButton))) {
    error = "the download button is disabled";
    return false;
  }
  Click(::GetDlgItem(main, kDownloadButton));
  if (!WaitForEnabled(main, kDownloadButton, false, 5000)) {
    error = "the download did not start";
    return false;
  }
  HWND box = WaitForMessageBox(processId, "相册下载完毕，是否打开下载目录查看?", timeoutMs);
  if (!box) {
    error = "no final question";
    return false;
  }
  PressButton(box, openFolder ? IDYES : IDNO);
  if (!WaitForEnabled(main, kDownloadButton, true, 10000) || !WaitForEnabled(main, kViewButton, true, 1000)) {
    error = "the buttons did not come back";
    return false;
  }
  return true;
}

}  // namespace kivodriver
