// CDialog: a dialog bound to its template id, run modally (DoModal) or modelessly
// (Create). One switch, DialogProc, gives every message to a virtual handler; a derived
// dialog overrides DialogProc for its own messages and passes the rest to this one.
//
// The modal run keeps its own message loop, so that PreTranslateMessage reaches every
// bound window on the way from the target up to its dialog (tooltips, hosted controls),
// and modeless dialogs of the same thread keep their keyboard navigation.
#pragma once

#include "framework/wnd.h"

#include <string>

namespace kivo {

class CDialog;

// Moves values between a dialog's controls and its members, in both directions.
class CDataExchange {
 public:
  CDataExchange(CDialog& dialog, bool saveAndValidate)
      : m_dialog(dialog), m_bSaveAndValidate(saveAndValidate) {}

  // Binds ctrl to the template item id the first time; later exchanges leave it.
  void Control(int id, CWnd& ctrl);
  void Text(int id, std::string& value);
  void Check(int id, int& value);

  bool Failed() const { return m_bFailed; }

 private:
  CDialog& m_dialog;
  bool m_bSaveAndValidate;
  bool m_bFailed = false;
};

class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Runs the dialog until EndDialog; returns its result, or -1 when it could not be made.
  // Without a parent, the thread's active window owns it (and is disabled meanwhile).
  INT_PTR DoModal();
  // Makes the modeless window; false when it could not be made or ended itself at once.
  bool Create(CWnd* parent = nullptr);

  // Ends a modal run with result; a modeless dialog is destroyed.
  void EndDialog(INT_PTR result);

  // true: controls into members; false: members into controls.
  bool UpdateData(bool saveAndValidate = true);

  bool PreTranslateMessage(MSG& msg) override;

  HWND GetParentHwnd() const;

 protected:
  virtual INT_PTR DialogProc(UINT msg, WPARAM wParam, LPARAM lParam);

  virtual bool OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  // WM_COMMAND that neither the control nor OK/Cancel took; true when handled.
  virtual bool OnCommand(int id, int code, HWND control);
  // WM_NOTIFY that the control did not take; true with *result when handled.
  virtual bool OnNotify(const NMHDR& header, LRESULT* result);
  // Colour request of a child; the default lets the child answer (reflection).
  virtual HBRUSH OnCtlColor(HDC dc, HWND child, UINT msg);
  virtual void DoDataExchange(CDataExchange& dx);
  virtual void OnDestroy() {}
  // The window is gone; the object may still be used (or deleted here).
  virtual void PostNcDestroy() {}

  // A handled message's result for messages whose result goes through DWLP_MSGRESULT.
  INT_PTR SetMsgResult(LRESULT result) const;
  // The dialog manager's processing, as if the dialog had not handled msg.
  LRESULT DefaultDialogProc(UINT msg, WPARAM wParam, LPARAM lParam) const;

 private:
  static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  UINT m_templateId;
  CWnd* m_pParent;
  bool m_bModal = false;
  bool m_bEndModal = false;
  INT_PTR m_nModalResult = -1;
};

}  // namespace kivo
