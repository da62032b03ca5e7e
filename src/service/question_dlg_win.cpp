#include "service/question_dlg_win.h"

#include "controls/image.h"
#include "framework/win_app.h"
#include "res/resource.h"
#include "service/album_view.h"
#include "service/answer_parsers.h"
#include "service/endpoints.h"
#include "service/http_fetch.h"
#include "service/text_encoders.h"

CQuestionDlg::CQuestionDlg(kivo::CWnd* owner) : CDialog(IDD_QUESTION, owner) {
  m_btnOK.LoadFaces(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_BUTTON_HOVER);
  m_btnCancel.LoadFaces(IDB_BUTTON_NORMAL, IDB_BUTTON_HOVER, IDB_BUTTON_HOVER);
  m_btnClose.LoadFaces(IDB_CLOSE_NORMAL, IDB_CLOSE_HOVER, IDB_CLOSE_HOVER);
}

CQuestionDlg::~CQuestionDlg() = default;

void CQuestionDlg::DoDataExchange(kivo::CDataExchange& dx) {
  dx.Control(IDC_LINK_NEW_PICTURE, m_linkNewPicture);
  dx.Control(IDC_QUESTION, m_labelQuestion);
  dx.Control(IDC_PICTURE_PLACE, m_picturePlace);
  dx.Control(IDCANCEL, m_btnCancel);
  dx.Control(IDOK, m_btnOK);
  dx.Control(IDC_CLOSE, m_btnClose);
  dx.Text(IDC_QUESTION, m_strQuestion);
  dx.Text(IDC_ANSWER, m_strAnswer);
  dx.Text(IDC_VERIFY_CODE, m_strVerifyCode);
}

bool CQuestionDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  m_linkNewPicture.SetLinkColour(RGB(82, 124, 210));
  m_linkNewPicture.SetTipText("");
  m_linkNewPicture.SetUnderlineMode(-1);

  ::SetWindowPos(m_picturePlace.GetSafeHwnd(), nullptr, 0, 0, kPictureWidth, kPictureHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

  {
    kivo::ScopedWindowDc screen(m_hWnd);
    m_dcCode.Attach(screen.get(), ::CreateCompatibleBitmap(screen.get(), kPictureWidth, kPictureHeight));
    if (m_dcCode.dc())
      ::PatBlt(m_dcCode.dc(), 0, 0, kPictureWidth, kPictureHeight, WHITENESS);
    m_dcBackground.Attach(screen.get(),
                          ::LoadBitmapA(kivo::AppInstance(), MAKEINTRESOURCEA(IDB_QUESTION_FACE)));
  }

  // Two requests, as the service's own page makes them; the second picture is the one shown.
  LoadVerifyPicture();
  LoadVerifyPicture();
  return true;
}

void CQuestionDlg::LoadVerifyPicture() {
  const std::string folder = kivo::ModuleFolder() + "tmp\\";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  const std::string path = folder + "verifycode.bmp";
  // A failed fetch must not bring back a picture from an earlier run, whose code is stale.
  ::DeleteFileA(path.c_str());
  HttpGetFile(kivo::VerifyPictureUrl(), path);
  if (m_dcCode.dc())
    DrawPictureFile(path, m_dcCode.dc(), kPictureWidth, kPictureHeight);
  Invalidate(true);
}

void CQuestionDlg::OnOK() {
  SubmitAnswer();
}

void CQuestionDlg::SubmitAnswer() {
  UpdateData(true);
  const std::string question = kivo::UrlEncodeUtf8(m_strQuestion);
  const std::string answer = kivo::Md5Hex(m_strAnswer);
  const std::string url = kivo::AlbumViewUrl(m_strUin, m_strAlbumId, m_bSendVerifyCode,
                                             m_strVerifyCode, question, answer);
  std::string text;
  HttpGetText(url, text);

  const kivo::ViewAnswer reply = kivo::ReadViewAnswer(text);
  if (reply.outcome == kivo::ViewOutcome::kNoAnswer) {
    EndDialog(IDOK);
    return;
  }
  if (reply.hasMsg)
    kivo::AppMessageBox(m_hWnd, reply.msg, MB_OK | MB_ICONERROR);
  switch (reply.outcome) {
    case kivo::ViewOutcome::kNewPicture:
      LoadVerifyPicture();
      break;
    case kivo::ViewOutcome::kAccepted:
      if (m_pPhotos)
        ParsePhotoList(*m_pPhotos, text);
      CDialog::OnOK();
      break;
    default:
      break;
  }
}

bool CQuestionDlg::OnCommand(int id, int code, HWND) {
  if (id == IDC_CLOSE && code == BN_CLICKED) {
    OnCancel();
    return true;
  }
  if (id == IDC_LINK_NEW_PICTURE && code == STN_CLICKED) {
    LoadVerifyPicture();
    return true;
  }
  return false;
}

HBRUSH CQuestionDlg::OnCtlColor(HDC dc, HWND child, UINT msg) {
  HBRUSH brush = CDialog::OnCtlColor(dc, child, msg);
  if (child == m_labelQuestion.GetSafeHwnd() || child == m_linkNewPicture.GetSafeHwnd()) {
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
  }
  return brush;
}

void CQuestionDlg::OnPaint() {
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(m_hWnd, &paint);
  const RECT client = GetClientRect();
  if (m_dcBackground.dc())
    ::BitBlt(dc, 0, 0, client.right, client.bottom, m_dcBackground.dc(), 0, 0, SRCCOPY);
  RECT place = m_picturePlace.GetWindowRect();
  ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
  if (m_dcCode.dc())
    ::BitBlt(dc, place.left, place.top, kPictureWidth, kPictureHeight, m_dcCode.dc(), 0, 0, SRCCOPY);
  ::EndPaint(m_hWnd, &paint);
}

INT_PTR CQuestionDlg::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      OnPaint();
      return TRUE;
    case WM_NCHITTEST: {
      // No caption or border: the face itself is the handle to drag the dialog by.
      LRESULT hit = DefaultDialogProc(msg, wParam, lParam);
      return SetMsgResult(hit == HTCLIENT ? HTCAPTION : hit);
    }
    default:
      return CDialog::DialogProc(msg, wParam, lParam);
  }
}
