#include "update/update_check_win.h"

#include <cstdint>
#include <string>

#include "build_config.h"
#include "framework/handles.h"
#include "framework/win_app.h"
#include "service/http_fetch.h"
#include "service/internet_handle_win.h"
#include "update/http_download_dlg_win.h"
#include "update/replace_script.h"
#include "update/self_replace_win.h"
#include "update/update_document.h"
#include "update/update_signature.h"
#include "update/update_signature_win.h"

namespace {

const char kAskToUpdate[] = "发现有更新的版本，是否立即更新？";
const char kFetchFailed[] = "获取更新信息失败，请检查您的网络是否正常连接，或者重新下载新版!";
const char kAlreadyNewest[] = "当前版本已经是最新!";
const char kNotAProgram[] = "下载的文件不是有效的程序，已放弃更新。";
const char kUnsigned[] = "下载的文件没有通过签名验证，可能已被篡改，已放弃更新。";
const char kCannotReplace[] = "无法在程序所在的文件夹写入更新脚本，已放弃更新。";

// Open (signalled) while no CheckForUpdate runs; auto-reset, so a successful test closes it.
HANDLE UpdateGate() {
  static const kivo::ScopedHandle gate(::CreateEventA(nullptr, FALSE, TRUE, nullptr));
  return gate.get();
}

std::string ReadHead(const std::string& path, DWORD bytes) {
  kivo::FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  std::string head(bytes, '\0');
  DWORD got = 0;
  if (!file || !::ReadFile(file.get(), head.data(), bytes, &got, nullptr))
    return std::string();
  head.resize(got);
  return head;
}

// True when no key asks for a signature, or the file's signature, fetched from beside
// the download into a file beside it, verifies.
bool SignatureAccepted(const char* keyText, const std::string& downurl, const std::string& downloaded) {
  if (!keyText || !kivo::UpdateSigningConfigured(keyText))
    return true;
  const std::string signature = downloaded + ".sig";
  const std::uint32_t status = HttpGetFile(kivo::UpdateSignatureUrl(downurl), signature);
  const bool valid = IsHttpSuccess(status) &&
                     kivo::VerifyUpdateSignature(downloaded, signature, keyText) == kivo::SignatureCheck::kValid;
  ::DeleteFileA(signature.c_str());
  return valid;
}

// Downloads the new version and hands it to the replacement, which ends the process when
// it succeeds. Everything that goes wrong has been told to the user when this returns.
void DownloadAndReplace(const UpdateCheckTarget& target, const kivo::UpdateInfo& info) {
  const std::string downloaded = kivo::MakeTempFilePath();
  CHttpDownloadDlg dialog;
  dialog.m_strUrl = info.downurl;
  dialog.m_strTargetPath = downloaded;
  dialog.m_bSkipOverwritePrompt = TRUE;
  if (dialog.DoModal() != IDOK) {
    if (!downloaded.empty())
      ::DeleteFileA(downloaded.c_str());
    return;
  }
  // A server may answer 200 with an error page: only a program may take the old one's place.
  if (!kivo::LooksLikeWindowsProgram(ReadHead(downloaded, 4096))) {
    ::DeleteFileA(downloaded.c_str());
    kivo::AppMessageBox(target.owner, kNotAProgram);
    return;
  }
  // The dialog's address, which has gained "http://" when the page gave none.
  if (!SignatureAccepted(target.updateKey, dialog.m_strUrl, downloaded)) {
    ::DeleteFileA(downloaded.c_str());
    kivo::AppMessageBox(target.owner, kUnsigned);
    return;
  }
  ReplaceSelfAndExit(downloaded, kivo::NewProgramFileName(info));
  ::DeleteFileA(downloaded.c_str());
  kivo::AppMessageBox(target.owner, kCannotReplace);
}

}  // namespace

UINT StartupUpdateThread(void* param) {
  const auto* target = static_cast<const UpdateCheckTarget*>(param);
  if (!target)
    return 0;
  kivo::UpdateInfo info;
  if (kivo::FetchUpdateInfo(kivo::config::kUpdatePageUrl, info) != 1 || !kivo::IsOtherVersion(info.version))
    return 0;
  if (kivo::AppMessageBox(target->owner, kAskToUpdate, MB_YESNO | MB_ICONINFORMATION) == IDYES)
    CheckForUpdate(param);
  return 0;
}

UINT CheckForUpdate(void* param) {
  const auto* target = static_cast<const UpdateCheckTarget*>(param);
  if (!target)
    return 0;
  HANDLE gate = UpdateGate();
  if (gate && ::WaitForSingleObject(gate, 0) != WAIT_OBJECT_0)
    return 0;

  kivo::UpdateInfo info;
  if (kivo::FetchUpdateInfo(kivo::config::kUpdatePageUrl, info) != 1) {
    kivo::AppMessageBox(target->owner, kFetchFailed);
  } else if (!kivo::IsOtherVersion(info.version)) {
    kivo::AppMessageBox(target->owner, kAlreadyNewest);
  } else {
    DownloadAndReplace(*target, info);
  }

  ::EnableWindow(target->link, TRUE);
  if (gate)
    ::SetEvent(gate);
  return 0;
}
