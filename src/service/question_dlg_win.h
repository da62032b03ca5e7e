// CQuestionDlg: opens an album whose owner protects it with a question. The user answers
// the question and types the characters of a verification picture; the dialog sends both to
// the album-view request and, when the service accepts them, parses the photo list that
// comes with the acceptance into the caller's vector.
//
// It runs modally on the download worker's thread, which blocks in each request meanwhile.
#pragma once

#include "controls/hyperlink.h"
#include "controls/image_button.h"
#include "framework/controls.h"
#include "framework/dialog.h"
#include "framework/handles.h"
#include "service/album_info.h"

#include <string>
#include <vector>

class CQuestionDlg : public kivo::CDialog {
 public:
  // owner: the main window, which the dialog disables while it runs. Its thread may be
  // another than the one that runs the dialog.
  explicit CQuestionDlg(kivo::CWnd* owner = nullptr);
  ~CQuestionDlg() override;

  static constexpr int kPictureWidth = 130;
  static constexpr int kPictureHeight = 53;

  // The caller's: set between construction and DoModal.
  std::vector<PhotoInfo>* m_pPhotos = nullptr;
  std::string m_strUin;
  std::string m_strAlbumId;
  std::string m_strQuestion;

  // Fetches a new verification picture into tmp\verifycode.bmp and shows it.
  void LoadVerifyPicture();

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(int id, int code, HWND control) override;
  HBRUSH OnCtlColor(HDC dc, HWND child, UINT msg) override;
  void DoDataExchange(kivo::CDataExchange& dx) override;
  INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  void SubmitAnswer();
  void OnPaint();

  kivo::MemoryBitmap m_dcBackground;
  kivo::MemoryBitmap m_dcCode;
  // Which form of the view request goes out: the one with the verification code. The dialog
  // always asks for the code, and the service refuses the form without it.
  bool m_bSendVerifyCode = true;
  std::string m_strAnswer;
  std::string m_strVerifyCode;
  CHyperLink m_linkNewPicture;
  kivo::CStatic m_labelQuestion;
  kivo::CButton m_picturePlace;
  CVelaButton m_btnCancel;
  CVelaButton m_btnOK;
  CVelaButton m_btnClose;
};
