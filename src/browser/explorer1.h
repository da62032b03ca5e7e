// CExplorer1: the login dialog's web browser, the system's WebBrowser control hosted in a
// window of ours (the template's item, bound by subclassing). The control fills that
// window; its DocumentComplete event goes to one handler. The browser shares the
// process's cookie store with the HTTP fetch, which is what makes the login count.
#pragma once

#include "browser/browser_site.h"
#include "framework/handles.h"
#include "framework/wnd.h"

#include <exdisp.h>
#include <ocidl.h>

#include <functional>
#include <string>

class CExplorer1 : public kivo::CWnd, private CBrowserSiteOwner {
 public:
  CExplorer1() = default;
  ~CExplorer1() override;

  // Makes the control inside the bound window and places it over the whole client area;
  // false when there is no window or the control cannot be made or activated.
  bool CreateControl();
  // Disconnects and closes the control; the window stays. Also done when the window goes.
  void DestroyControl();

  // The control, for what the wrapper does not offer; null before CreateControl.
  IWebBrowser2* GetControl() const { return m_browser.get(); }

  // url is 8-bit text of the code page.
  HRESULT Navigate(const std::string& url);
  HRESULT Stop();
  // The loaded top-level document, or null.
  kivo::ComPtr<IDispatch> GetDocument() const;
  // The top-level document's title; false when there is no HTML document or no title.
  bool GetDocumentTitle(std::wstring& title) const;

  // Runs for every DocumentComplete (once per frame of a page), on the window thread.
  void SetDocumentCompleteHandler(std::function<void()> handler) { m_onDocumentComplete = std::move(handler); }

  // Keys for the page go to the control first, and keys it does not take go to the page
  // itself rather than to the dialog manager (Enter in a form must not close the dialog).
  bool PreTranslateMessage(MSG& msg) override;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  // CBrowserSiteOwner
  HWND SiteWindow() const override { return m_hWnd; }
  void SetActiveObject(IOleInPlaceActiveObject* object) override;
  void OnDocumentComplete(IDispatch* frame) override;

  void PlaceControl();
  HWND ControlWindow() const;

  kivo::ComPtr<CBrowserSite> m_site;
  kivo::ComPtr<IOleObject> m_object;
  kivo::ComPtr<IWebBrowser2> m_browser;
  kivo::ComPtr<IOleInPlaceActiveObject> m_activeObject;
  kivo::ComPtr<IConnectionPoint> m_events;
  DWORD m_eventsCookie = 0;
  std::function<void()> m_onDocumentComplete;
};
