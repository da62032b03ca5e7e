#include "update/http_download_dlg_win.h"

#include <commctrl.h>

#include <cstdlib>
#include <cstring>

#include "framework/res_strings.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "update/download_texts.h"

namespace {

constexpr DWORD kPieceBytes = 1024;
constexpr DWORD kDrainPieceBytes = 50;
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION;

const kivo::StringLookup& ResStrings() {
  static const kivo::StringLookup lookup = [](unsigned id) { return kivo::LoadResString(id); };
  return lookup;
}

// A header of the answer as text; false when the server sent none.
bool QueryHeader(HINTERNET request, DWORD what, std::string& value) {
  char buffer[32] = {};
  DWORD size = sizeof(buffer);
  if (!::HttpQueryInfoA(request, what, buffer, &size, nullptr))
    return false;
  value.assign(buffer, strnlen(buffer, sizeof(buffer)));
  return true;
}

}  // namespace

CHttpDownloadDlg::CHttpDownloadDlg() : CDialog(IDD_HTTP_DOWNLOAD) {}

CHttpDownloadDlg::~CHttpDownloadDlg() = default;

INT_PTR CHttpDownloadDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_DOWNLOAD_DONE:
      OnDownloadDone(wParam != 0);
      return TRUE;
    case WM_CLOSE:
      if (!m_bWorkerDone) {
        OnCancel();
        return TRUE;
      }
      break;
    default:
      break;
  }
  return CDialog::DialogProc(msg, wParam, lParam);
}

bool CHttpDownloadDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ::SendDlgItemMessageA(m_hWnd, IDC_DL_ANIMATION, ACM_OPENA, reinterpret_cast<WPARAM>(kivo::AppInstance()),
                        reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(IDR_DOWNLOAD_ANIMATION)));

  kivo::DownloadUrl url;
  if (!kivo::ParseDownloadUrl(m_strUrl, url)) {
    m_strUrl = "http://" + m_strUrl;
    if (!kivo::ParseDownloadUrl(m_strUrl, url)) {
      EndDialog(IDCANCEL);
      return false;
    }
  }
  m_strHost = url.host;
  m_strObject = url.object;
  m_wPort = url.port;
  m_bSecure = url.secure;

  if (!m_bSkipOverwritePrompt && ::GetFileAttributesA(m_strTargetPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
    const std::string question = kivo::FormatResString(IDS_DL_OVERWRITE, {m_strTargetPath});
    if (kivo::AppMessageBox(m_hWnd, question, MB_YESNO) != IDYES) {
      EndDialog(IDCANCEL);
      return false;
    }
  }

  m_targetFile.reset(::CreateFileA(m_strTargetPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!m_targetFile) {
    const DWORD error = ::GetLastError();
    kivo::AppMessageBox(m_hWnd, kivo::FormatResString(IDS_DL_TARGET_FAILED, {std::to_string(error)}));
    EndDialog(IDCANCEL);
    return false;
  }

  m_strShownName = kivo::DownloadShownName(m_strObject);
  SetItemText(IDC_DL_FILE, kivo::FormatResString(IDS_DL_FILE_FROM, {m_strShownName, m_strHost}));

  m_worker.reset(::CreateThread(nullptr, 0, &CHttpDownloadDlg::WorkerEntry, this, CREATE_SUSPENDED, nullptr));
  if (!m_worker) {
    EndDialog(IDCANCEL);
    return false;
  }
  ::ResumeThread(m_worker.get());
  return true;
}

void CHttpDownloadDlg::OnCancel() {
  m_bCancelRequested = true;
  ::EnableWindow(GetDlgItem(IDCANCEL), FALSE);
  SetItemText(IDC_DL_STATUS, kivo::LoadResString(IDS_DL_ABORTING));
}

void CHttpDownloadDlg::OnDestroy() {
  if (m_worker) {
    ::WaitForSingleObject(m_worker.get(), INFINITE);
    m_worker.reset();
  }
  m_hRequest.reset();
  m_hConnect.reset();
  m_hInternet.reset();
  CDialog::OnDestroy();
}

void CHttpDownloadDlg::OnDownloadDone(bool failed) {
  m_bWorkerDone = true;
  ::SendDlgItemMessageA(m_hWnd, IDC_DL_ANIMATION, ACM_STOP, 0, 0);
  if (Cancelled()) {
    EndDialog(IDCANCEL);
  } else if (failed) {
    kivo::AppMessageBox(m_hWnd, m_strErrorText);
    EndDialog(IDCANCEL);
  } else {
    EndDialog(IDOK);
  }
}

DWORD WINAPI CHttpDownloadDlg::WorkerEntry(void* self) {
  static_cast<CHttpDownloadDlg*>(self)->DownloadWorker();
  return 0;
}

void CALLBACK CHttpDownloadDlg::StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, void* info,
                                               DWORD length) {
  if (context)
    reinterpret_cast<CHttpDownloadDlg*>(context)->OnInternetStatus(status, info, length);
}

void CHttpDownloadDlg::OnInternetStatus(DWORD status, const void* info, DWORD length) {
  UINT id = 0;
  switch (status) {
    case INTERNET_STATUS_RESOLVING_NAME: id = IDS_DL_RESOLVING; break;
    case INTERNET_STATUS_NAME_RESOLVED: id = IDS_DL_RESOLVED; break;
    case INTERNET_STATUS_CONNECTING_TO_SERVER: id = IDS_DL_CONNECTING; break;
    case INTERNET_STATUS_CONNECTED_TO_SERVER: id = IDS_DL_CONNECTED; break;
    case INTERNET_STATUS_REDIRECT: id = IDS_DL_REDIRECTING; break;
    default: return;
  }
  // Read no further than the length given: some platforms pass an address, not text.
  const char* text = static_cast<const char*>(info);
  const std::string value = text ? std::string(text, strnlen(text, length)) : std::string();
  SetItemText(IDC_DL_STATUS, kivo::FormatResString(id, {value}));
}

void CHttpDownloadDlg::DownloadWorker() {
  if (Transfer())
    Finish();
}

bool CHttpDownloadDlg::Transfer() {
  m_hInternet.reset(::InternetOpenA(kivo::AppTitle().c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!m_hInternet) {
    FailWithCode(IDS_DL_OPEN_FAILED, 0);
    return false;
  }
  // Without them a silent server would hold the worker, and with it Cancel, for ever.
  kivo::SetInternetTimeouts(m_hInternet.get());
  if (Cancelled())
    return true;
  if (::InternetSetStatusCallbackA(m_hInternet.get(), &CHttpDownloadDlg::StatusCallback) ==
      INTERNET_INVALID_STATUS_CALLBACK) {
    FailWithCode(IDS_DL_OPEN_FAILED, 0);
    return false;
  }
  if (Cancelled())
    return true;
  const bool credentials = !m_strUser.empty();
  const auto context = reinterpret_cast<DWORD_PTR>(this);
  m_hConnect.reset(::InternetConnectA(m_hInternet.get(), m_strHost.c_str(), m_wPort,
                                      credentials ? m_strUser.c_str() : nullptr,
                                      credentials ? m_strPass.c_str() : nullptr, INTERNET_SERVICE_HTTP, 0,
                                      context));
  if (!m_hConnect) {
    FailWithCode(IDS_DL_CONNECT_FAILED, 0);
    return false;
  }
  if (Cancelled())
    return true;
  ::SendDlgItemMessageA(m_hWnd, IDC_DL_ANIMATION, ACM_PLAY, static_cast<WPARAM>(-1), MAKELPARAM(0, -1));

  const char* accept[] = {"*/*", nullptr};
  const DWORD flags = kRequestFlags | (m_bSecure ? INTERNET_FLAG_SECURE : 0);
  m_hRequest.reset(::HttpOpenRequestA(m_hConnect.get(), nullptr, m_strObject.c_str(), nullptr, nullptr, accept,
                                      flags, context));
  if (!m_hRequest) {
    FailWithCode(IDS_DL_CONNECT_FAILED, 0);
    return false;
  }
  kivo::SetInternetTimeouts(m_hRequest.get());
  if (Cancelled())
    return true;

  for (;;) {
    if (!::HttpSendRequestA(m_hRequest.get(), nullptr, 0, nullptr, 0)) {
      FailWithCode(IDS_DL_CONNECT_FAILED, 0);
      return false;
    }
    std::string statusText;
    if (!QueryHeader(m_hRequest.get(), HTTP_QUERY_STATUS_CODE, statusText)) {
      FailWithText(IDS_DL_NO_RESPONSE);
      return false;
    }
    const long status = std::strtol(statusText.c_str(), nullptr, 10);
    if (status == HTTP_STATUS_DENIED || status == HTTP_STATUS_PROXY_AUTH_REQ) {
      char drain[kDrainPieceBytes];
      DWORD got = 0;
      while (::InternetReadFile(m_hRequest.get(), drain, sizeof(drain), &got) && got > 0) {
      }
      const DWORD answer = ::InternetErrorDlg(m_hWnd, m_hRequest.get(), ERROR_INTERNET_INCORRECT_PASSWORD,
                                              FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                                                  FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                                              nullptr);
      if (answer == ERROR_INTERNET_FORCE_RETRY)
        continue;
    }
    if (status != HTTP_STATUS_OK) {
      FailWithCode(IDS_DL_BAD_STATUS, static_cast<DWORD>(status));
      return false;
    }
    break;
  }

  SetItemText(IDC_DL_STATUS, kivo::LoadResString(IDS_DL_GETTING_INFO));
  std::string lengthText;
  if (QueryHeader(m_hRequest.get(), HTTP_QUERY_CONTENT_LENGTH, lengthText)) {
    char* end = nullptr;
    const unsigned long long size = std::strtoull(lengthText.c_str(), &end, 10);
    if (end != lengthText.c_str()) {
      m_size = size;
      // The bar counts KB; the 32-bit range keeps files past 64 MB right.
      ::SendDlgItemMessageA(m_hWnd, IDC_DL_PROGRESS, PBM_SETRANGE32, 0, kivo::ProgressRangeKb(m_size));
    }
  }

  SetItemText(IDC_DL_STATUS, kivo::LoadResString(IDS_DL_RETRIEVING));
  m_startTick = m_lastUpdateTick = ::GetTickCount();
  m_total = m_totalAtLastUpdate = 0;
  m_lastPercent = 0;

  char piece[kPieceBytes];
  DWORD got = 0;
  do {
    if (!::InternetReadFile(m_hRequest.get(), piece, sizeof(piece), &got)) {
      FailWithCode(IDS_DL_TRANSFER_FAILED, 0);
      return false;
    }
    if (got == 0)
      break;
    if (!Cancelled()) {
      DWORD written = 0;
      if (!::WriteFile(m_targetFile.get(), piece, got, &written, nullptr) || written != got) {
        FailWithCode(IDS_DL_TRANSFER_FAILED, ::GetLastError());
        return false;
      }
      m_total += got;
      UpdateProgress();
    }
  } while (got > 0 && !Cancelled());

  // The answer ended before the length it announced: a cut-off file is a failure, never
  // a program to install.
  if (!Cancelled() && m_size != 0 && m_total != m_size) {
    FailWithCode(IDS_DL_TRANSFER_FAILED, ERROR_HANDLE_EOF);
    return false;
  }

  m_targetFile.reset();
  if (Cancelled())
    ::DeleteFileA(m_strTargetPath.c_str());
  return true;
}

void CHttpDownloadDlg::UpdateProgress() {
  if (m_size != 0) {
    const int percent = kivo::PercentDone(m_total, m_size);
    if (percent != m_lastPercent) {
      ShowPercent(percent);
      ::SendDlgItemMessageA(m_hWnd, IDC_DL_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(m_total / 1024), 0);
      m_lastPercent = percent;
    }
  }
  const DWORD now = ::GetTickCount();
  const DWORD elapsed = now - m_lastUpdateTick;
  if (elapsed > 1000) {
    ShowRate(static_cast<double>(m_total - m_totalAtLastUpdate) / elapsed);
    m_lastUpdateTick = now;
    m_totalAtLastUpdate = m_total;
    if (m_size != 0 && m_total != 0)
      ShowTimeLeft(kivo::SecondsLeft(now - m_startTick, m_total, m_size));
  }
}

void CHttpDownloadDlg::ShowPercent(int percent) {
  ::SetWindowTextA(m_hWnd, kivo::FormatResString(IDS_DL_PERCENT_CAPTION, {std::to_string(percent), m_strShownName}).c_str());
}

void CHttpDownloadDlg::ShowRate(double bytesPerMs) {
  SetItemText(IDC_DL_RATE, kivo::RateText(bytesPerMs, ResStrings()));
}

void CHttpDownloadDlg::ShowTimeLeft(std::uint32_t seconds) {
  SetItemText(IDC_DL_TIME_LEFT, kivo::TimeLeftText(seconds, m_total, m_size, ResStrings()));
}

void CHttpDownloadDlg::FailWithCode(UINT stringId, DWORD code) {
  if (code == 0)
    code = ::GetLastError();
  m_strErrorText = kivo::FormatResString(stringId, {std::to_string(code)});
  m_targetFile.reset();
  ::DeleteFileA(m_strTargetPath.c_str());
  PostMessage(WM_DOWNLOAD_DONE, 1, 0);
}

void CHttpDownloadDlg::FailWithText(UINT stringId) {
  m_strErrorText = kivo::LoadResString(stringId);
  PostMessage(WM_DOWNLOAD_DONE, 1, 0);
}

void CHttpDownloadDlg::Finish() {
  PostMessage(WM_DOWNLOAD_DONE, 0, 0);
}

void CHttpDownloadDlg::SetItemText(int id, const std::string& text) const {
  ::SetDlgItemTextA(m_hWnd, id, text.c_str());
}
