// CHttpDownloadDlg: downloads one file over HTTP into a local file while showing an
// animation, the connection's status, a progress bar, the time left and the rate.
//
// How it works: a worker thread of the dialog's own does the whole transfer with WinINet's
// blocking calls; it changes the controls only by sending them messages, and its last act
// is to post WM_DOWNLOAD_DONE. The dialog ends only before the worker exists or on that
// message, so its WM_DESTROY can wait for the worker without a limit. Cancel sets a flag
// that the worker reads between steps and between pieces.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "framework/dialog.h"
#include "framework/handles.h"
#include "service/internet_handle_win.h"

class CHttpDownloadDlg : public kivo::CDialog {
 public:
  // Posted by the worker when it ends; wParam is 1 when it failed.
  static constexpr UINT WM_DOWNLOAD_DONE = WM_APP + 1;

  CHttpDownloadDlg();
  ~CHttpDownloadDlg() override;

  std::string m_strUrl;         // may lack the scheme: "http://" is put in front then
  std::string m_strTargetPath;
  BOOL m_bSkipOverwritePrompt = FALSE;
  std::string m_strUser;        // credentials for the server, sent only with a user name
  std::string m_strPass;

 protected:
  bool OnInitDialog() override;
  void OnCancel() override;
  void OnDestroy() override;
  INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  static DWORD WINAPI WorkerEntry(void* self);
  static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, void* info,
                                      DWORD length);

  void DownloadWorker();
  // The transfer; false when it failed or was cancelled and has already been reported.
  bool Transfer();
  void OnInternetStatus(DWORD status, const void* info, DWORD length);
  void UpdateProgress();
  void ShowPercent(int percent);
  void ShowRate(double bytesPerMs);
  void ShowTimeLeft(std::uint32_t seconds);
  void FailWithCode(UINT stringId, DWORD code);
  void FailWithText(UINT stringId);
  void Finish();
  void OnDownloadDone(bool failed);
  void SetItemText(int id, const std::string& text) const;
  bool Cancelled() const { return m_bCancelRequested.load(); }

  std::string m_strErrorText;
  std::string m_strHost;
  std::string m_strObject;
  std::string m_strShownName;
  std::uint16_t m_wPort = 0;
  bool m_bSecure = false;

  kivo::InternetHandle m_hInternet;
  kivo::InternetHandle m_hConnect;
  kivo::InternetHandle m_hRequest;
  std::atomic<bool> m_bCancelRequested{false};
  bool m_bWorkerDone = false;
  kivo::FileHandle m_targetFile;
  kivo::ScopedHandle m_worker;

  // The transfer's figures, the worker's alone.
  std::uint64_t m_size = 0;  // 0: the server sent no length
  std::uint64_t m_total = 0;
  std::uint64_t m_totalAtLastUpdate = 0;
  DWORD m_startTick = 0;
  DWORD m_lastUpdateTick = 0;
  int m_lastPercent = 0;
};
