// The objects the web browser control calls back. The site, frame and storage live for the
// whole process and count no references; unsupported methods return E_NOTIMPL, and questions
// the control may decide itself get S_FALSE.
#include "about/web_host.h"

#include <exdisp.h>
#include <exdispid.h>

#include <new>

#include "about/about_window.h"
#include "app/app.h"

ClientSite TheClientSite;
InPlaceFrame TheInPlaceFrame;
HostStorage TheHostStorage;

// Set at the first DocumentComplete of the process, never cleared.
static bool FirstDocumentSeen = false;

// Out-pointers of refused calls are cleared: callers that test only for success (S_FALSE
// is one) must not pick up a stray pointer.
template <class T>
static void ClearOut(T** out)
{
    if (out) *out = nullptr;
}

// ClientSite, IUnknown

HRESULT STDMETHODCALLTYPE ClientSite::QueryInterface(REFIID iid, void** object)
{
    // Handed out without AddRef: the site lives as long as the process.
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite)) {
        *object = static_cast<IOleClientSite*>(this);
        return S_OK;
    }
    if (IsEqualIID(iid, IID_IOleInPlaceSite)) {
        *object = static_cast<IOleInPlaceSite*>(this);
        return S_OK;
    }
    if (IsEqualIID(iid, IID_IDocHostUIHandler)) {
        DocHostHandler* handler = new (std::nothrow) DocHostHandler;
        *object = static_cast<IDocHostUIHandler*>(handler);
        return handler ? S_OK : E_OUTOFMEMORY;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE ClientSite::AddRef() { return 1; }
ULONG STDMETHODCALLTYPE ClientSite::Release() { return 1; }

// ClientSite, IOleClientSite

HRESULT STDMETHODCALLTYPE ClientSite::SaveObject() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ClientSite::GetMoniker(DWORD, DWORD, IMoniker** moniker)
{
    ClearOut(moniker);
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ClientSite::GetContainer(IOleContainer** container)
{
    *container = nullptr;
    return E_NOINTERFACE;
}

HRESULT STDMETHODCALLTYPE ClientSite::ShowObject() { return S_OK; }
HRESULT STDMETHODCALLTYPE ClientSite::OnShowWindow(BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ClientSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// ClientSite, IOleInPlaceSite

HRESULT STDMETHODCALLTYPE ClientSite::GetWindow(HWND* window)
{
    *window = AboutWindow;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ClientSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ClientSite::CanInPlaceActivate() { return S_OK; }
HRESULT STDMETHODCALLTYPE ClientSite::OnInPlaceActivate() { return S_OK; }
HRESULT STDMETHODCALLTYPE ClientSite::OnUIActivate() { return S_OK; }

HRESULT STDMETHODCALLTYPE ClientSite::GetWindowContext(IOleInPlaceFrame** frame,
                                                        IOleInPlaceUIWindow** document, RECT* position,
                                                        RECT* clip, OLEINPLACEFRAMEINFO* frameInfo)
{
    *frame = &TheInPlaceFrame;
    *document = nullptr;  // the frame is the document window too
    // The control covers the whole client area, read afresh at each call.
    GetClientRect(AboutWindow, position);
    GetClientRect(AboutWindow, clip);
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = AboutWindow;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE ClientSite::Scroll(SIZE) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ClientSite::OnUIDeactivate(BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE ClientSite::OnInPlaceDeactivate() { return S_OK; }
HRESULT STDMETHODCALLTYPE ClientSite::DiscardUndoState() { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ClientSite::DeactivateAndUndo() { return E_NOTIMPL; }

// The window has no sizing border: the control keeps the place it was given.
HRESULT STDMETHODCALLTYPE ClientSite::OnPosRectChange(const RECT*) { return S_OK; }

// InPlaceFrame

HRESULT STDMETHODCALLTYPE InPlaceFrame::QueryInterface(REFIID, void** object)
{
    ClearOut(object);
    return E_NOTIMPL;
}

ULONG STDMETHODCALLTYPE InPlaceFrame::AddRef() { return 1; }
ULONG STDMETHODCALLTYPE InPlaceFrame::Release() { return 1; }

HRESULT STDMETHODCALLTYPE InPlaceFrame::GetWindow(HWND* window)
{
    *window = AboutWindow;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE InPlaceFrame::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE InPlaceFrame::GetBorder(RECT*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE InPlaceFrame::RequestBorderSpace(const BORDERWIDTHS*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE InPlaceFrame::SetBorderSpace(const BORDERWIDTHS*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE InPlaceFrame::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
HRESULT STDMETHODCALLTYPE InPlaceFrame::InsertMenus(HMENU, OLEMENUGROUPWIDTHS*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE InPlaceFrame::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
HRESULT STDMETHODCALLTYPE InPlaceFrame::RemoveMenus(HMENU) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE InPlaceFrame::SetStatusText(LPCOLESTR) { return S_OK; }
HRESULT STDMETHODCALLTYPE InPlaceFrame::EnableModeless(BOOL) { return S_OK; }
HRESULT STDMETHODCALLTYPE InPlaceFrame::TranslateAccelerator(MSG*, WORD) { return E_NOTIMPL; }

// HostStorage

HRESULT STDMETHODCALLTYPE HostStorage::QueryInterface(REFIID, void** object)
{
    ClearOut(object);
    return E_NOTIMPL;
}

ULONG STDMETHODCALLTYPE HostStorage::AddRef() { return 1; }
ULONG STDMETHODCALLTYPE HostStorage::Release() { return 1; }

HRESULT STDMETHODCALLTYPE HostStorage::CreateStream(const OLECHAR*, DWORD, DWORD, DWORD, IStream** stream)
{
    ClearOut(stream);
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HostStorage::OpenStream(const OLECHAR*, void*, DWORD, DWORD, IStream** stream)
{
    ClearOut(stream);
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HostStorage::CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD, IStorage** storage)
{
    ClearOut(storage);
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HostStorage::OpenStorage(const OLECHAR*, IStorage*, DWORD, SNB, DWORD,
                                                   IStorage** storage)
{
    ClearOut(storage);
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HostStorage::CopyTo(DWORD, const IID*, SNB, IStorage*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE HostStorage::MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HostStorage::Commit(DWORD) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE HostStorage::Revert() { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE HostStorage::EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** elements)
{
    ClearOut(elements);
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE HostStorage::DestroyElement(const OLECHAR*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE HostStorage::RenameElement(const OLECHAR*, const OLECHAR*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE HostStorage::SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*,
                                                       const FILETIME*)
{
    return E_NOTIMPL;
}

// OleCreate stamps the control's class here; nothing needs it afterwards.
HRESULT STDMETHODCALLTYPE HostStorage::SetClass(REFCLSID) { return S_OK; }
HRESULT STDMETHODCALLTYPE HostStorage::SetStateBits(DWORD, DWORD) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE HostStorage::Stat(STATSTG*, DWORD) { return E_NOTIMPL; }

// DocHostHandler

HRESULT STDMETHODCALLTYPE DocHostHandler::QueryInterface(REFIID iid, void** object)
{
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDocHostUIHandler)) {
        *object = static_cast<IDocHostUIHandler*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DocHostHandler::AddRef() { return 1; }
ULONG STDMETHODCALLTYPE DocHostHandler::Release() { return 1; }

HRESULT STDMETHODCALLTYPE DocHostHandler::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return S_FALSE; }
HRESULT STDMETHODCALLTYPE DocHostHandler::GetHostInfo(DOCHOSTUIINFO*) { return S_FALSE; }

HRESULT STDMETHODCALLTYPE DocHostHandler::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*,
                                                 IOleInPlaceFrame*, IOleInPlaceUIWindow*)
{
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE DocHostHandler::HideUI() { return S_FALSE; }
HRESULT STDMETHODCALLTYPE DocHostHandler::UpdateUI() { return S_FALSE; }
HRESULT STDMETHODCALLTYPE DocHostHandler::EnableModeless(BOOL) { return S_FALSE; }
HRESULT STDMETHODCALLTYPE DocHostHandler::OnDocWindowActivate(BOOL) { return S_FALSE; }
HRESULT STDMETHODCALLTYPE DocHostHandler::OnFrameWindowActivate(BOOL) { return S_FALSE; }
HRESULT STDMETHODCALLTYPE DocHostHandler::ResizeBorder(const RECT*, IOleInPlaceUIWindow*, BOOL) { return S_FALSE; }
HRESULT STDMETHODCALLTYPE DocHostHandler::TranslateAccelerator(MSG*, const GUID*, DWORD) { return S_FALSE; }

HRESULT STDMETHODCALLTYPE DocHostHandler::GetOptionKeyPath(LPOLESTR* key, DWORD)
{
    ClearOut(key);
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE DocHostHandler::GetDropTarget(IDropTarget*, IDropTarget** replacement)
{
    ClearOut(replacement);
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE DocHostHandler::GetExternal(IDispatch** external)
{
    ClearOut(external);
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE DocHostHandler::TranslateUrl(DWORD, LPWSTR, LPWSTR* translated)
{
    ClearOut(translated);
    return S_FALSE;
}

HRESULT STDMETHODCALLTYPE DocHostHandler::FilterDataObject(IDataObject*, IDataObject** replacement)
{
    ClearOut(replacement);
    return S_FALSE;
}

// BrowserEventSink

HRESULT STDMETHODCALLTYPE BrowserEventSink::QueryInterface(REFIID iid, void** object)
{
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
        IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE BrowserEventSink::AddRef() { return static_cast<ULONG>(count++); }
ULONG STDMETHODCALLTYPE BrowserEventSink::Release() { return static_cast<ULONG>(count--); }

HRESULT STDMETHODCALLTYPE BrowserEventSink::GetTypeInfoCount(UINT* typeInfoCount)
{
    *typeInfoCount = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE BrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** typeInfo)
{
    ClearOut(typeInfo);
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE BrowserEventSink::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount,
                                                          LCID locale, DISPID* ids)
{
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* typeInfo = nullptr;
    HRESULT result = GetTypeInfo(0, locale, &typeInfo);
    if (FAILED(result)) return result;
    result = typeInfo->GetIDsOfNames(names, nameCount, ids);
    typeInfo->Release();
    return result;
}

HRESULT STDMETHODCALLTYPE BrowserEventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                                   VARIANT*, EXCEPINFO*, UINT*)
{
    if (!params) return DISP_E_PARAMNOTOPTIONAL;
    switch (id) {
    case DISPID_NAVIGATECOMPLETE2:
        return S_OK;
    case DISPID_DOCUMENTCOMPLETE:
        if (!FirstDocumentSeen) {
            FirstDocumentSeen = true;
            IUnknown* unknown = nullptr;
            if (Browser && SUCCEEDED(Browser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown))) &&
                unknown)
                unknown->Release();
        }
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}
