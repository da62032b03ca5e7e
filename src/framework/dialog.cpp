#include "framework/dialog.h"

#include "framework/win_app.h"

namespace kivo {

void CDataExchange::Control(int id, CWnd& ctrl) {
  if (ctrl.GetSafeHwnd())
    return;
  if (!ctrl.SubclassDlgItem(id, m_dialog))
    m_bFailed = true;
}

void CDataExchange::Text(int id, std::string& value) {
  HWND item = m_dialog.GetDlgItem(id);
  if (!item) {
    m_bFailed = true;
    return;
  }
  if (m_bSaveAndValidate) {
    value = GetWindowTextOf(item);
  } else {
    ::SetWindowTextA(item, value.c_str());
  }
}

void CDataExchange::Check(int id, int& value) {
  HWND item = m_dialog.GetDlgItem(id);
  if (!item) {
    m_bFailed = true;
    return;
  }
  if (m_bSaveAndValidate)
    value = static_cast<int>(::SendMessageA(item, BM_GETCHECK, 0, 0));
  else
    ::SendMessageA(item, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

CDialog::CDialog(UINT templateId, CWnd* parent) : m_templateId(templateId), m_pParent(parent) {}

CDialog::~CDialog() {
  // A modeless window that outlives its object would call a dead object.
  if (m_hWnd && !m_bModal)
    ::DestroyWindow(m_hWnd);
}

HWND CDialog::GetParentHwnd() const {
  return m_pParent ? m_pParent->GetSafeHwnd() : nullptr;
}

INT_PTR CDialog::DoModal() {
  if (m_hWnd)
    return -1;
  HWND owner = GetParentHwnd();
  if (!owner)
    owner = ::GetActiveWindow();
  m_bModal = true;
  m_bEndModal = false;
  m_nModalResult = -1;

  // As the dialog manager does: the owner is disabled while the dialog runs.
  bool ownerWasEnabled = owner && ::IsWindowEnabled(owner);
  if (ownerWasEnabled)
    ::EnableWindow(owner, FALSE);

  HWND hwnd = ::CreateDialogParamA(AppInstance(), MAKEINTRESOURCEA(m_templateId), owner,
                                   &CDialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
  if (hwnd && !m_bEndModal && !::IsWindowVisible(hwnd))
    ::ShowWindow(hwnd, SW_SHOWNORMAL);

  while (m_hWnd && !m_bEndModal) {
    MSG msg;
    BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == -1)
      break;
    if (got == 0) {
      // Someone asked the thread to quit: end this run and let the outer loop see it too.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    bool consumed = false;
    for (HWND target = msg.hwnd; target && !consumed; target = ::GetParent(target)) {
      if (CWnd* wnd = CWnd::FromHandle(target))
        consumed = wnd->PreTranslateMessage(msg);
    }
    if (!consumed && m_hWnd && !::IsDialogMessageA(m_hWnd, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  }

  // Give the owner back before the dialog goes, so activation returns to it.
  if (ownerWasEnabled)
    ::EnableWindow(owner, TRUE);
  if (m_hWnd) {
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    ::DestroyWindow(m_hWnd);
  }
  m_bModal = false;
  return m_nModalResult;
}

bool CDialog::Create(CWnd* parent) {
  if (m_hWnd)
    return false;
  if (parent)
    m_pParent = parent;
  m_bModal = false;
  HWND hwnd = ::CreateDialogParamA(AppInstance(), MAKEINTRESOURCEA(m_templateId), GetParentHwnd(),
                                   &CDialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
  return hwnd != nullptr && m_hWnd != nullptr;
}

void CDialog::EndDialog(INT_PTR result) {
  if (m_bModal) {
    m_nModalResult = result;
    m_bEndModal = true;
    // Wake the loop in case nothing else is queued.
    if (m_hWnd)
      ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
  } else if (m_hWnd) {
    ::DestroyWindow(m_hWnd);
  }
}

bool CDialog::UpdateData(bool saveAndValidate) {
  if (!m_hWnd)
    return false;
  CDataExchange dx(*this, saveAndValidate);
  DoDataExchange(dx);
  return !dx.Failed();
}

bool CDialog::PreTranslateMessage(MSG& msg) {
  // Modeless dialogs need this for Tab, Enter and Esc; the modal one gets it in DoModal.
  if (m_bModal || !m_hWnd)
    return false;
  if (msg.hwnd != m_hWnd && !::IsChild(m_hWnd, msg.hwnd))
    return false;
  return ::IsDialogMessageA(m_hWnd, &msg) != FALSE;
}

INT_PTR CALLBACK CDialog::StaticDialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  CDialog* self = nullptr;
  if (msg == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    self->AttachHandle(hwnd);
  } else {
    // Messages before WM_INITDIALOG (WM_SETFONT among them) find no object yet and get
    // the dialog manager's default.
    self = static_cast<CDialog*>(CWnd::FromHandle(hwnd));
  }
  if (!self)
    return FALSE;

  INT_PTR result = self->DialogProc(msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    self->DetachHandle();
    self->PostNcDestroy();
  }
  return result;
}

INT_PTR CDialog::DialogProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      return OnInitDialog() ? TRUE : FALSE;

    case WM_COMMAND: {
      HWND control = reinterpret_cast<HWND>(lParam);
      if (CWnd* child = CWnd::FromHandle(control)) {
        LRESULT ignored = 0;
        if (child != this && child->OnChildNotify(msg, wParam, lParam, &ignored))
          return TRUE;
      }
      int id = LOWORD(wParam);
      int code = HIWORD(wParam);
      if (OnCommand(id, code, control))
        return TRUE;
      if (code == BN_CLICKED || control == nullptr) {
        if (id == IDOK) {
          OnOK();
          return TRUE;
        }
        if (id == IDCANCEL) {
          OnCancel();
          return TRUE;
        }
      }
      return FALSE;
    }

    case WM_NOTIFY: {
      const NMHDR& header = *reinterpret_cast<const NMHDR*>(lParam);
      LRESULT result = 0;
      CWnd* child = CWnd::FromHandle(header.hwndFrom);
      if ((child && child != this && child->OnChildNotify(msg, wParam, lParam, &result)) ||
          OnNotify(header, &result))
        return SetMsgResult(result);
      return FALSE;
    }

    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
      // The brush is the dialog procedure's return value itself.
      return reinterpret_cast<INT_PTR>(
          OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), msg));

    case WM_DRAWITEM: {
      const DRAWITEMSTRUCT& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlType == ODT_MENU)
        return FALSE;
      CWnd* child = CWnd::FromHandle(item.hwndItem);
      LRESULT result = 0;
      if (child && child != this && child->OnChildNotify(msg, wParam, lParam, &result))
        return TRUE;
      return FALSE;
    }

    case WM_DESTROY:
      OnDestroy();
      return FALSE;

    default:
      return FALSE;
  }
}

bool CDialog::OnInitDialog() {
  UpdateData(false);
  return true;
}

void CDialog::OnOK() {
  if (!UpdateData(true))
    return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() {
  EndDialog(IDCANCEL);
}

bool CDialog::OnCommand(int, int, HWND) {
  return false;
}

bool CDialog::OnNotify(const NMHDR&, LRESULT*) {
  return false;
}

HBRUSH CDialog::OnCtlColor(HDC dc, HWND child, UINT msg) {
  CWnd* control = CWnd::FromHandle(child);
  LRESULT result = 0;
  if (control && control != this &&
      control->OnChildNotify(msg, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child), &result))
    return reinterpret_cast<HBRUSH>(result);
  return nullptr;
}

void CDialog::DoDataExchange(CDataExchange&) {}

INT_PTR CDialog::SetMsgResult(LRESULT result) const {
  ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
  return TRUE;
}

LRESULT CDialog::DefaultDialogProc(UINT msg, WPARAM wParam, LPARAM lParam) const {
  return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

}  // namespace kivo
