#include "browser/browser_site.h"

#include <exdisp.h>
#include <exdispid.h>

#include <atomic>

namespace {

std::atomic<long> g_liveSites{0};

}  // namespace

CBrowserSite::CBrowserSite(CBrowserSiteOwner* owner) : m_owner(owner) {
  ++g_liveSites;
}

CBrowserSite::~CBrowserSite() {
  --g_liveSites;
}

CBrowserSite* CBrowserSite::Create(CBrowserSiteOwner* owner) {
  return new CBrowserSite(owner);
}

long CBrowserSite::LiveCount() {
  return g_liveSites.load();
}

HRESULT STDMETHODCALLTYPE CBrowserSite::QueryInterface(REFIID iid, void** object) {
  if (!object)
    return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite)
    *object = static_cast<IOleClientSite*>(this);
  else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite)
    *object = static_cast<IOleInPlaceSite*>(this);
  else if (iid == IID_IOleInPlaceUIWindow || iid == IID_IOleInPlaceFrame)
    *object = static_cast<IOleInPlaceFrame*>(this);
  else if (iid == IID_IDispatch || iid == DIID_DWebBrowserEvents2)
    *object = static_cast<IDispatch*>(this);
  else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE CBrowserSite::AddRef() {
  return static_cast<ULONG>(::InterlockedIncrement(&m_refs));
}

ULONG STDMETHODCALLTYPE CBrowserSite::Release() {
  LONG refs = ::InterlockedDecrement(&m_refs);
  if (refs == 0)
    delete this;
  return static_cast<ULONG>(refs);
}

// IOleClientSite: the control is never saved and lives in no document of ours.

HRESULT STDMETHODCALLTYPE CBrowserSite::SaveObject() {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker)
    *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::GetContainer(IOleContainer** container) {
  if (container)
    *container = nullptr;
  return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::ShowObject() {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::OnShowWindow(BOOL) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::RequestNewObjectLayout() {
  return E_NOTIMPL;
}

// IOleWindow

HRESULT STDMETHODCALLTYPE CBrowserSite::GetWindow(HWND* hwnd) {
  if (!hwnd)
    return E_POINTER;
  *hwnd = m_owner ? m_owner->SiteWindow() : nullptr;
  return *hwnd ? S_OK : E_FAIL;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::ContextSensitiveHelp(BOOL) {
  return E_NOTIMPL;
}

// IOleInPlaceSite

HRESULT STDMETHODCALLTYPE CBrowserSite::CanInPlaceActivate() {
  return m_owner ? S_OK : S_FALSE;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::OnInPlaceActivate() {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::OnUIActivate() {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document,
                                                         LPRECT position, LPRECT clip,
                                                         LPOLEINPLACEFRAMEINFO frameInfo) {
  if (!frame || !document || !position || !clip || !frameInfo)
    return E_POINTER;
  HWND site = m_owner ? m_owner->SiteWindow() : nullptr;
  *document = nullptr;
  if (!site) {
    *frame = nullptr;
    return E_FAIL;
  }
  *frame = static_cast<IOleInPlaceFrame*>(this);
  AddRef();
  ::GetClientRect(site, position);
  *clip = *position;
  frameInfo->cb = sizeof(OLEINPLACEFRAMEINFO);
  frameInfo->fMDIApp = FALSE;
  frameInfo->hwndFrame = ::GetAncestor(site, GA_ROOT);
  frameInfo->haccel = nullptr;
  frameInfo->cAccelEntries = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::Scroll(SIZE) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::OnUIDeactivate(BOOL) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::OnInPlaceDeactivate() {
  if (m_owner)
    m_owner->SetActiveObject(nullptr);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::DiscardUndoState() {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::DeactivateAndUndo() {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::OnPosRectChange(LPCRECT) {
  // The control always fills the site window; the owner places it when that window moves.
  return S_OK;
}

// IOleInPlaceUIWindow and IOleInPlaceFrame: no toolbars, menus or status bar to share.

HRESULT STDMETHODCALLTYPE CBrowserSite::GetBorder(LPRECT) {
  return INPLACE_E_NOTOOLSPACE;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::RequestBorderSpace(LPCBORDERWIDTHS) {
  return INPLACE_E_NOTOOLSPACE;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::SetBorderSpace(LPCBORDERWIDTHS) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
  if (m_owner)
    m_owner->SetActiveObject(object);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::SetMenu(HMENU, HOLEMENU, HWND) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::RemoveMenus(HMENU) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::SetStatusText(LPCOLESTR) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::EnableModeless(BOOL) {
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::TranslateAccelerator(LPMSG, WORD) {
  return S_FALSE;
}

// IDispatch: only DocumentComplete matters; every other event is acknowledged and ignored.

HRESULT STDMETHODCALLTYPE CBrowserSite::GetTypeInfoCount(UINT* count) {
  if (!count)
    return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info)
    *info = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CBrowserSite::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                               EXCEPINFO*, UINT*) {
  if (id != DISPID_DOCUMENTCOMPLETE || !m_owner)
    return S_OK;
  // Arguments come last first: rgvarg[1] is the frame, rgvarg[0] the address.
  IDispatch* frame = nullptr;
  if (params && params->cArgs == 2 && params->rgvarg[1].vt == VT_DISPATCH)
    frame = params->rgvarg[1].pdispVal;
  // The handler may stop the control or hide windows; keep this object alive meanwhile.
  AddRef();
  m_owner->OnDocumentComplete(frame);
  Release();
  return S_OK;
}
