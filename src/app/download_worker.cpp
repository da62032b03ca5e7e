// The album download: one folder per ticked album below the member's folder, one file per
// photo, strictly one request after the other. Every photo ends either saved or named in the
// log as failed, and the last lines count both.
#include "app/download_worker.h"

#include "app/kivo_album_dlg.h"
#include "app/main_window_messages.h"
#include "base/download_names.h"
#include "base/format_text.h"
#include "framework/win_app.h"
#include "service/album_service.h"
#include "service/http_fetch.h"
#include "service/question_dlg_win.h"

#include <rpc.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsEmptyFile(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
         data.nFileSizeHigh == 0 && data.nFileSizeLow == 0;
}

// A 2xx answer with an empty body is no picture either: its empty file goes.
bool FetchPicture(const std::string& url, const std::string& path, std::uint32_t& status) {
  status = HttpGetFile(url, path);
  if (!IsHttpSuccess(status))
    return false;
  if (IsEmptyFile(path)) {
    ::DeleteFileA(path.c_str());
    return false;
  }
  return true;
}

struct Tally {
  int saved = 0;
  int failed = 0;
};

// The full-size picture, else the small one once. Only a written, non-empty file counts.
void DownloadPhoto(const PhotoInfo& photo, const std::string& listedName, const std::string& path,
                   Tally& tally) {
  std::uint32_t status = 0;
  if (FetchPicture(photo.origin_url, path, status)) {
    ++tally.saved;
    return;
  }
  if (status == FETCH_FAILED) {
    AppendLog("该图片下载超时，正在尝试为您下载小图片");
  } else {
    AppendLog(kivo::FillPlaceholders("该图片下载失败(%1)，正在尝试为您下载小图片",
                                     {IsHttpSuccess(status) ? "空文件" : "HTTP " + std::to_string(status)}));
  }
  if (FetchPicture(photo.pre, path, status)) {
    ++tally.saved;
    return;
  }
  ++tally.failed;
  AppendLog(kivo::FillPlaceholders("图片下载失败：%1", {listedName}));
}

// The photos of a protected album come with the service's acceptance of the user's answer;
// a cancelled or refused dialog leaves them empty.
void AskForProtectedPhotos(CKivoAlbumDlg* dlg, const AlbumInfo& album, std::vector<PhotoInfo>& photos) {
  CQuestionDlg question(dlg);
  question.m_strUin = dlg->SpaceUin();
  question.m_strAlbumId = album.id;
  question.m_strQuestion = album.question;
  question.m_pPhotos = &photos;
  question.DoModal();
}

void DownloadAlbum(CKivoAlbumDlg* dlg, AlbumInfo& album, const std::string& memberFolder, Tally& tally) {
  kivo::ChosenName folder = kivo::ChooseAlbumFolder(memberFolder, album.name, FormatTimeStamp(), Exists);
  if (folder.renamed) {
    AppendLog(kivo::FillPlaceholders("相册[%1]改存到文件夹：%2", {album.name, folder.name}));
    album.name = folder.name;
  }
  if (!::CreateDirectoryA(folder.path.c_str(), nullptr) && !Exists(folder.path))
    AppendLog(kivo::FillPlaceholders("无法创建文件夹：%1", {folder.path}));

  std::vector<PhotoInfo> photos;
  if (!album.question.empty())
    AskForProtectedPhotos(dlg, album, photos);
  if (photos.empty())
    ListPhotos(photos, dlg->m_strPhotoHost, dlg->SpaceUin(), album.id);

  const int total = static_cast<int>(photos.size());
  for (int k = 0; k < total; ++k) {
    PhotoInfo& photo = photos[k];
    const std::string listedName = photo.name;
    char line[64];
    std::snprintf(line, sizeof line, "(%d/%d) ", k + 1, total);
    AppendLog("正在下载[" + album.name + "]" + line + listedName);
    kivo::ChosenName file = kivo::ChoosePhotoFile(folder.path, photo.name, Exists, [] {
      std::string guid;
      MakeGuidName(guid);
      return guid;
    });
    if (file.renamed) {
      photo.name = file.name;
      AppendLog("文件已存在或者文件名含有非法字符，重新创建文件名：" + photo.name);
    }
    DownloadPhoto(photo, listedName, file.path, tally);
  }
}

}  // namespace

std::string FormatTimeStamp() {
  std::time_t now = std::time(nullptr);
  std::tm local;
  if (localtime_s(&local, &now) != 0)
    return std::string();
  char text[128];
  std::size_t length = std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
  return std::string(text, length);
}

bool MakeGuidName(std::string& name) {
  name.clear();
  GUID guid;
  if (::CoCreateGuid(&guid) != S_OK)
    return true;
  RPC_CSTR text = nullptr;
  if (::UuidToStringA(&guid, &text) != RPC_S_OK || !text)
    return true;
  name = reinterpret_cast<const char*>(text);
  ::RpcStringFreeA(&text);
  return false;
}

UINT DownloadAlbumsThread(void* window) {
  auto* dlg = static_cast<CKivoAlbumDlg*>(window);
  if (!dlg)
    return 0;
  const std::string memberFolder = dlg->m_strWorkFolder + dlg->SpaceUin() + "\\";
  if (!Exists(memberFolder) && !::CreateDirectoryA(memberFolder.c_str(), nullptr))
    AppendLog(kivo::FillPlaceholders("无法创建文件夹：%1", {memberFolder}));

  bool ticked = false;
  Tally tally;
  // The count is read again for every item, and each tick when its turn comes: the user may
  // still change the ticks of the albums not yet reached.
  for (int i = 0; i < dlg->m_listAlbums.GetItemCount(); ++i) {
    if (!dlg->m_listAlbums.GetCheck(i))
      continue;
    ticked = true;
    if (i >= static_cast<int>(g_albums.size())) {
      AppendLog(kivo::FillPlaceholders("第%1项没有对应的相册，已跳过", {std::to_string(i + 1)}));
      continue;
    }
    DownloadAlbum(dlg, g_albums[i], memberFolder, tally);
  }

  if (ticked) {
    AppendLog("下载完毕……");
    AppendLog(kivo::FillPlaceholders("共保存%1张图片，%2张下载失败",
                                     {std::to_string(tally.saved), std::to_string(tally.failed)}));
    if (kivo::AppMessageBox(dlg->GetSafeHwnd(), "相册下载完毕，是否打开下载目录查看?",
                            MB_YESNO | MB_ICONINFORMATION) == IDYES) {
      // Without its trailing backslash: quoted on a command line, "\"" would escape the quote.
      const std::string folder = memberFolder.substr(0, memberFolder.size() - 1);
      ::ShellExecuteA(nullptr, "open", folder.c_str(), nullptr, nullptr, SW_SHOW);
    }
  } else {
    AppendLog("请选择要下载的相册!!!");
  }
  ::SendMessageA(dlg->GetSafeHwnd(), WM_DOWNLOAD_FINISHED, 0, 0);
  return 0;
}
