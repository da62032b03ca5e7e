// CWnd: a C++ object bound to one window. Controls of a dialog template are bound by
// subclassing (SubclassWindow / SubclassDlgItem); the dialog reflects the messages that
// a control sends its parent (colour, draw, command, notify) back to the control first.
#pragma once

#include <windows.h>

#include <string>

namespace kivo {

// A window's text in the code page (any window, bound or not).
std::string GetWindowTextOf(HWND hwnd);

class CWnd {
 public:
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND GetSafeHwnd() const { return m_hWnd; }

  // The object bound to hwnd, or null.
  static CWnd* FromHandle(HWND hwnd);

  // Binds this object to an existing window and routes its messages through WindowProc.
  // PreSubclassWindow runs first, with the handle already set.
  bool SubclassWindow(HWND hwnd);
  bool SubclassDlgItem(int id, const CWnd& parent);
  // Gives the window its own procedure back and forgets it.
  void UnsubclassWindow();

  LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
  bool PostMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;

  std::string GetWindowText() const;
  void SetWindowText(const std::string& text) const;
  bool EnableWindow(bool enable) const;
  bool IsWindowEnabled() const;
  bool ShowWindow(int command) const;
  bool IsWindowVisible() const;
  void Invalidate(bool erase = true) const;
  RECT GetClientRect() const;
  RECT GetWindowRect() const;
  DWORD GetStyle() const;
  void ModifyStyle(DWORD remove, DWORD add) const;
  HWND GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  HFONT GetFont() const;
  void SetFont(HFONT font, bool redraw = true) const;
  virtual bool DestroyWindow();

  // Called by a parent that received a message from this control; returning true with
  // *result means the control answered it and the parent does nothing more.
  virtual bool OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

  // Runs before the message loop dispatches msg; true means it was consumed.
  virtual bool PreTranslateMessage(MSG& msg);

 protected:
  // Reflected colour request: a brush to answer it with, or null to leave it to the parent.
  virtual HBRUSH CtlColor(HDC dc, UINT ctlType);
  // Reflected owner draw: true when the control drew itself.
  virtual bool DrawItem(const DRAWITEMSTRUCT& item);

  virtual void PreSubclassWindow() {}
  // Messages of a subclassed window; the default passes them to its own procedure.
  virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultProc(UINT msg, WPARAM wParam, LPARAM lParam);

  // Windows owned through the framework (dialogs) record themselves here.
  void AttachHandle(HWND hwnd);
  void DetachHandle();

  HWND m_hWnd = nullptr;

 private:
  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  WNDPROC m_superProc = nullptr;
};

}  // namespace kivo
