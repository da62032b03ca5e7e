#include "browser/explorer1.h"

#include <mshtml.h>

#include <vector>

namespace {

// The system's WebBrowser control.
const CLSID kWebBrowserClassId = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

class ScopedBstr {
 public:
  explicit ScopedBstr(BSTR value = nullptr) : m_value(value) {}
  ~ScopedBstr() { ::SysFreeString(m_value); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;
  BSTR get() const { return m_value; }
  BSTR* Receive() {
    ::SysFreeString(m_value);
    m_value = nullptr;
    return &m_value;
  }

 private:
  BSTR m_value;
};

ScopedBstr BstrFromCodePage(const std::string& text) {
  int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0)
    return ScopedBstr(::SysAllocStringLen(L"", 0));
  std::vector<wchar_t> wide(static_cast<std::size_t>(length));
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return ScopedBstr(::SysAllocStringLen(wide.data(), static_cast<UINT>(length)));
}

}  // namespace

CExplorer1::~CExplorer1() {
  DestroyControl();
}

bool CExplorer1::CreateControl() {
  if (!m_hWnd || m_object)
    return false;
  // The placeholder must not paint over the control it holds.
  ModifyStyle(0, WS_CLIPCHILDREN);

  m_site = kivo::ComPtr<CBrowserSite>(CBrowserSite::Create(this));
  HRESULT hr = ::CoCreateInstance(kWebBrowserClassId, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(m_object.Receive()));
  // The control asks for its site first thing (it is one of the objects that want it
  // before anything else).
  if (SUCCEEDED(hr))
    hr = m_object->SetClientSite(static_cast<IOleClientSite*>(m_site.get()));
  if (SUCCEEDED(hr))
    hr = m_object->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(m_browser.Receive()));
  if (SUCCEEDED(hr)) {
    RECT client = GetClientRect();
    hr = m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(m_site.get()), 0,
                          m_hWnd, &client);
  }
  if (FAILED(hr)) {
    DestroyControl();
    return false;
  }

  // Without events the dialog would never learn of a page: a control that cannot be
  // advised is as good as none.
  kivo::ComPtr<IConnectionPointContainer> container;
  hr = m_object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(container.Receive()));
  if (SUCCEEDED(hr))
    hr = container->FindConnectionPoint(DIID_DWebBrowserEvents2, m_events.Receive());
  if (SUCCEEDED(hr))
    hr = m_events->Advise(static_cast<IDispatch*>(m_site.get()), &m_eventsCookie);
  if (FAILED(hr)) {
    m_events.reset();
    DestroyControl();
    return false;
  }
  // Pages of the service may pop up script errors; the user can do nothing with them.
  m_browser->put_Silent(VARIANT_TRUE);
  PlaceControl();
  return true;
}

void CExplorer1::DestroyControl() {
  if (m_events) {
    m_events->Unadvise(m_eventsCookie);
    m_events.reset();
    m_eventsCookie = 0;
  }
  m_activeObject.reset();
  if (m_object) {
    kivo::ComPtr<IOleInPlaceObject> inPlace;
    if (SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace.Receive()))))
      inPlace->InPlaceDeactivate();
    m_object->Close(OLECLOSE_NOSAVE);
    m_object->SetClientSite(nullptr);
  }
  m_browser.reset();
  m_object.reset();
  if (m_site) {
    m_site->Detach();
    m_site.reset();
  }
}

HRESULT CExplorer1::Navigate(const std::string& url) {
  if (!m_browser)
    return E_UNEXPECTED;
  ScopedBstr address = BstrFromCodePage(url);
  if (!address.get())
    return E_OUTOFMEMORY;
  // No flags, target frame, post data or headers.
  return m_browser->Navigate(address.get(), nullptr, nullptr, nullptr, nullptr);
}

HRESULT CExplorer1::Stop() {
  if (!m_browser)
    return E_UNEXPECTED;
  return m_browser->Stop();
}

kivo::ComPtr<IDispatch> CExplorer1::GetDocument() const {
  kivo::ComPtr<IDispatch> document;
  if (m_browser && FAILED(m_browser->get_Document(document.Receive())))
    document.reset();
  return document;
}

bool CExplorer1::GetDocumentTitle(std::wstring& title) const {
  kivo::ComPtr<IDispatch> document = GetDocument();
  if (!document)
    return false;
  kivo::ComPtr<IHTMLDocument2> html;
  if (FAILED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(html.Receive()))))
    return false;
  ScopedBstr text;
  if (FAILED(html->get_title(text.Receive())) || !text.get())
    return false;
  title.assign(text.get(), ::SysStringLen(text.get()));
  return true;
}

void CExplorer1::SetActiveObject(IOleInPlaceActiveObject* object) {
  if (object)
    object->AddRef();
  m_activeObject = kivo::ComPtr<IOleInPlaceActiveObject>(object);
}

void CExplorer1::OnDocumentComplete(IDispatch*) {
  if (m_onDocumentComplete)
    m_onDocumentComplete();
}

HWND CExplorer1::ControlWindow() const {
  HWND window = nullptr;
  kivo::ComPtr<IOleInPlaceObject> inPlace;
  if (m_object &&
      SUCCEEDED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace.Receive()))) &&
      FAILED(inPlace->GetWindow(&window)))
    window = nullptr;
  return window;
}

void CExplorer1::PlaceControl() {
  kivo::ComPtr<IOleInPlaceObject> inPlace;
  if (!m_object ||
      FAILED(m_object->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(inPlace.Receive()))))
    return;
  RECT client = GetClientRect();
  inPlace->SetObjectRects(&client, &client);
}

bool CExplorer1::PreTranslateMessage(MSG& msg) {
  // Only keys inside the control's own windows; the placeholder itself is the dialog's.
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST || !m_object || !m_hWnd ||
      !msg.hwnd || !::IsChild(m_hWnd, msg.hwnd))
    return false;
  if (m_activeObject && m_activeObject->TranslateAccelerator(&msg) == S_OK)
    return true;
  // Esc is left to the dialog, which hides itself on it.
  if (msg.wParam == VK_ESCAPE)
    return false;
  ::TranslateMessage(&msg);
  ::DispatchMessageA(&msg);
  return true;
}

LRESULT CExplorer1::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_SIZE: {
      LRESULT result = DefaultProc(msg, wParam, lParam);
      PlaceControl();
      return result;
    }
    case WM_SETFOCUS:
      if (HWND control = ControlWindow()) {
        ::SetFocus(control);
        return 0;
      }
      break;
    case WM_DESTROY:
      // The control must be closed while the window it lives in still exists.
      DestroyControl();
      break;
    default:
      break;
  }
  return DefaultProc(msg, wParam, lParam);
}
