#include "app/kivo_album_dlg.h"

#include "app/about_dlg.h"
#include "app/download_worker.h"
#include "app/listing_workers.h"
#include "app/main_window_messages.h"
#include "base/gbk_text.h"
#include "base/product.h"
#include "framework/res_strings.h"
#include "framework/win_app.h"
#include "framework/worker_thread.h"
#include "res/resource.h"
#include "update/update_check_win.h"

#include <cstdio>

bool g_bListing = false;

namespace {

const char kInvalidUinMessage[] = "您输入的Kivo号码不合法，请检查后重新输入!";
const char kPresetUin[] = "480215937";

const char* const kUsageTips[] = {
    "--=★=--友情提示：如何下载Kivo相册图片？--=★=--",
    "1.输入对方Kivo号码，点击[查看相册]按钮登录到Kivo空间；",
    "2.成功进入空间后，便可预览到Kivo相册列表；",
    "3.选择要下载的Kivo相册，点击[开始下载]按钮便可下载图片到本地。",
    "----------------------------------------------",
};

struct AlbumColumn {
  const char* heading;
  int width;
};
const AlbumColumn kAlbumColumns[] = {
    {"相册名称", 120}, {"相册简介", 120}, {"相片数量", 80}, {"上传日期", 120}};

constexpr int kPlaceholderItems = 8;

}  // namespace

CKivoAlbumDlg::CKivoAlbumDlg()
    : CDialog(IDD_KIVOALBUM_DIALOG),
      m_hIcon(::LoadIconA(kivo::AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

HWND CKivoAlbumDlg::GetDownloadButton() const {
  return GetDlgItem(IDC_BUTTON_DOWNLOAD);
}

void CKivoAlbumDlg::DoDataExchange(kivo::CDataExchange& dx) {
  dx.Control(IDC_BUTTON_VIEW, m_btnView);
  dx.Control(IDC_LIST_ALBUMS, m_listAlbums);
  dx.Control(IDC_RICHEDIT_LOG, m_logPane);
  dx.Control(IDC_LINK_UPDATE, m_linkUpdate);
  dx.Text(IDC_EDIT_UIN, m_strUin);
}

bool CKivoAlbumDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  std::string aboutItem = kivo::LoadResString(IDS_ABOUTBOX);
  if (!aboutItem.empty()) {
    HMENU menu = ::GetSystemMenu(m_hWnd, FALSE);
    if (menu) {
      ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, aboutItem.c_str());
    }
  }

  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  m_linkUpdate.SetUnderlineMode(1);
  m_linkUpdate.SetLinkColour(RGB(0, 0, 204));

  m_strWorkFolder = kivo::ModuleFolder();
  std::string scratch = m_strWorkFolder + "tmp\\";
  if (::GetFileAttributesA(scratch.c_str()) == INVALID_FILE_ATTRIBUTES)
    ::CreateDirectoryA(scratch.c_str(), nullptr);

  kivo::SetLogTarget(m_logPane.GetSafeHwnd());

  m_loginDlg.Create(this);
  m_loginDlg.ShowWindow(SW_HIDE);

  m_listAlbums.SetExtendedStyle(m_listAlbums.GetExtendedStyle() | LVS_EX_CHECKBOXES);
  m_listAlbums.ModifyStyle(LVS_TYPEMASK, 0);
  for (int i = 0; i < static_cast<int>(sizeof(kAlbumColumns) / sizeof(kAlbumColumns[0])); ++i)
    m_listAlbums.InsertColumn(i, kAlbumColumns[i].heading, LVCFMT_LEFT, kAlbumColumns[i].width);

  m_thumbnails.CreateThumbnailList(m_listAlbums);

  ::EnableWindow(GetDownloadButton(), FALSE);

  for (int i = 1; i <= kPlaceholderItems; ++i) {
    char text[64];
    std::snprintf(text, sizeof(text), "相册名称\n共%d张", i);
    m_listAlbums.InsertItem(m_listAlbums.GetItemCount(), text);
  }

  char title[128];
  std::snprintf(title, sizeof(title), "Kivo相册批量下载工具(%s%s)", kivo::kProductName, kivo::kProgramVersion);
  SetWindowText(title);

  m_strUin = kPresetUin;

  for (const char* tip : kUsageTips)
    AppendLog(tip);

  UpdateData(false);

  m_updateTarget = {m_hWnd, m_linkUpdate.GetSafeHwnd()};
  kivo::StartWorkerThread(&StartupUpdateThread, &m_updateTarget, THREAD_PRIORITY_NORMAL);
  return true;
}

INT_PTR CKivoAlbumDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_LIST_FINISHED:
      OnListFinished();
      return TRUE;
    case WM_DOWNLOAD_FINISHED:
      OnDownloadFinished();
      return TRUE;
    case WM_LOGIN_FINISHED:
      OnLoginFinished();
      return TRUE;
    case WM_SPACE_NOT_FOUND:
      OnSpaceNotFound();
      return TRUE;
    case WM_OPEN_SPACE:
      OnOpenSpace(reinterpret_cast<const OpenSpaceRequest*>(lParam));
      return TRUE;
    case WM_LOGIN_CANCELLED:
      OnLoginCancelled();
      return TRUE;
    case WM_SYSCOMMAND:
      return OnSysCommand(wParam) ? TRUE : FALSE;
    case WM_PAINT:
      return OnPaintMinimised() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      // One of the messages whose result is the dialog procedure's return value.
      return reinterpret_cast<INT_PTR>(m_hIcon);
    default:
      return CDialog::DialogProc(msg, wParam, lParam);
  }
}

bool CKivoAlbumDlg::OnCommand(int id, int code, HWND) {
  switch (id) {
    case IDC_BUTTON_VIEW:
      if (code != BN_CLICKED)
        return false;
      OnViewClicked();
      return true;
    case IDC_BUTTON_DOWNLOAD:
      if (code != BN_CLICKED)
        return false;
      OnDownloadClicked();
      return true;
    case IDC_LINK_UPDATE:
      if (code != STN_CLICKED)
        return false;
      OnUpdateLinkClicked();
      return true;
    default:
      return false;
  }
}

void CKivoAlbumDlg::OnDestroy() {
  // From here on a worker's AppendLog finds no pane.
  kivo::SetLogTarget(nullptr);
}

void CKivoAlbumDlg::OnViewClicked() {
  // Only a number that passed the check may become the account: a stray login notice must
  // never list, or make a folder for, whatever text the box held.
  std::string typed = kivo::TrimBlanks(kivo::GetWindowTextOf(GetDlgItem(IDC_EDIT_UIN)));
  if (!kivo::IsAllDigits(typed)) {
    kivo::AppMessageBox(m_hWnd, kInvalidUinMessage, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  m_strUin = typed;
  m_loginDlg.m_strUin.clear();
  m_btnView.EnableWindow(false);
  // The listing about to start rebuilds the album vector: no download may read it meanwhile.
  ::EnableWindow(GetDownloadButton(), FALSE);
  m_listAlbums.DeleteAllItems();
  if (!StartWorker(&OpenSpaceThread))
    m_btnView.EnableWindow(true);
}

void CKivoAlbumDlg::OnDownloadClicked() {
  m_btnView.EnableWindow(false);
  ::EnableWindow(GetDownloadButton(), FALSE);
  m_bDownloading = true;
  if (!StartWorker(&DownloadAlbumsThread))
    OnDownloadFinished();
}

void CKivoAlbumDlg::OnUpdateLinkClicked() {
  m_linkUpdate.EnableWindow(false);
  if (!kivo::StartWorkerThread(&CheckForUpdate, &m_updateTarget, THREAD_PRIORITY_NORMAL))
    m_linkUpdate.EnableWindow(true);
}

void CKivoAlbumDlg::OnListFinished() {
  m_btnView.EnableWindow(true);
  ::EnableWindow(GetDownloadButton(), m_listAlbums.GetItemCount() > 0 ? TRUE : FALSE);
  g_bListing = false;
}

void CKivoAlbumDlg::OnDownloadFinished() {
  m_bDownloading = false;
  m_btnView.EnableWindow(true);
  ::EnableWindow(GetDownloadButton(), TRUE);
}

void CKivoAlbumDlg::OnLoginFinished() {
  m_loginDlg.m_browser.Stop();
  // A stray space page while a download runs must not rebuild the albums it reads; nor may
  // one list an account whose space was never opened.
  if (g_bListing || m_bDownloading || SpaceUin().empty())
    return;
  m_btnView.EnableWindow(false);
  ::EnableWindow(GetDownloadButton(), FALSE);
  if (!StartWorker(&ListAlbumsThread)) {
    m_btnView.EnableWindow(true);
    return;
  }
  g_bListing = true;
}

void CKivoAlbumDlg::OnSpaceNotFound() {
  m_btnView.EnableWindow(true);
  kivo::AppMessageBox(m_hWnd, kInvalidUinMessage, MB_OK | MB_ICONINFORMATION);
}

void CKivoAlbumDlg::OnOpenSpace(const OpenSpaceRequest* request) {
  if (request) {
    m_loginDlg.m_hNotifyWnd = m_hWnd;
    m_loginDlg.m_strUin = request->uin;
    m_loginDlg.m_strUrl = request->url;
  }
  // A browser that cannot go there will never finish a login: give the view button back.
  if (FAILED(m_loginDlg.m_browser.Navigate(m_loginDlg.m_strUrl))) {
    m_btnView.EnableWindow(true);
    AppendLog("无法打开Kivo空间，请稍后重新点击[查看相册]。");
  }
}

void CKivoAlbumDlg::OnLoginCancelled() {
  // A listing or download under way keeps the view button; the dialog is only hidden.
  if (g_bListing || m_bDownloading)
    return;
  m_btnView.EnableWindow(true);
  AppendLog("登录窗口已关闭，请重新点击[查看相册]。");
}

bool CKivoAlbumDlg::OnSysCommand(WPARAM command) {
  if ((command & 0xFFF0) != IDM_ABOUTBOX)
    return false;
  CAboutDlg about;
  about.DoModal();
  return true;
}

bool CKivoAlbumDlg::OnPaintMinimised() {
  if (!::IsIconic(m_hWnd))
    return false;
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_hWnd, &paint);
  SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client = GetClientRect();
  int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, m_hIcon);
  ::EndPaint(m_hWnd, &paint);
  return true;
}

bool CKivoAlbumDlg::StartWorker(UINT (*proc)(void*)) {
  return kivo::StartWorkerThread(proc, this, THREAD_PRIORITY_NORMAL);
}
