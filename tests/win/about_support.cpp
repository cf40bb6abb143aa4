#include "about_support.h"

#include <exdisp.h>
#include <olectl.h>

#include "about/about_window.h"
#include "about/web_host.h"
#include "app/app.h"

// The program defines it in its start-up code; these tests make their own window.
HWND AboutWindow;

HWND CreateTestAboutWindow()
{
    static ATOM aboutClass;
    if (!aboutClass) {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = AboutWndProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = "velto_about";
        aboutClass = RegisterClassExA(&windowClass);
    }
    AboutWindow = CreateWindowExA(0, "velto_about", "About VELTO - ZUrod GUI", WS_SYSMENU | WS_MINIMIZEBOX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    return AboutWindow;
}

void DestroyTestAboutWindow()
{
    if (AboutWindow) DestroyWindow(AboutWindow);
    AboutWindow = nullptr;
}

void PumpMessages(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

std::string Narrow(const wchar_t* text)
{
    if (!text) return "(null)";
    char buffer[1024];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

std::string RectText(const RECT& rect)
{
    char buffer[80];
    wsprintfA(buffer, "{%ld %ld %ld %ld}", rect.left, rect.top, rect.right, rect.bottom);
    return buffer;
}

extern "C" void LogCall(void* log, const char* line)
{
    static_cast<CallLog*>(log)->push_back(line);
}

// FakeConnectionPoint

HRESULT STDMETHODCALLTYPE FakeConnectionPoint::QueryInterface(REFIID iid, void** object)
{
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPoint)) return E_NOINTERFACE;
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    advised = sink;
    // A real connection point asks the sink for the events interface.
    IDispatch* events = nullptr;
    bool answers = sink && SUCCEEDED(sink->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&events)));
    if (events) events->Release();
    log->push_back(answers ? "point: Advise(events sink)" : "point: Advise(not an events sink)");
    *cookie = 1;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeConnectionPoint::Unadvise(DWORD)
{
    log->push_back("point: Unadvise");
    return S_OK;
}

// FakeConnectionPointContainer

HRESULT STDMETHODCALLTYPE FakeConnectionPointContainer::QueryInterface(REFIID iid, void** object)
{
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IConnectionPointContainer)) return E_NOINTERFACE;
    *object = static_cast<IConnectionPointContainer*>(this);
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeConnectionPointContainer::FindConnectionPoint(REFIID iid, IConnectionPoint** found)
{
    *found = nullptr;
    if (!IsEqualIID(iid, DIID_DWebBrowserEvents2)) {
        log->push_back("container: FindConnectionPoint(another interface)");
        return CONNECT_E_NOCONNECTION;
    }
    log->push_back("container: FindConnectionPoint(DWebBrowserEvents2)");
    if (!point) return CONNECT_E_NOCONNECTION;
    point->AddRef();
    *found = point;
    return S_OK;
}

// FakeInPlaceObject

HRESULT STDMETHODCALLTYPE FakeInPlaceObject::QueryInterface(REFIID iid, void** object)
{
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IOleInPlaceObject)) return E_NOINTERFACE;
    *object = static_cast<IOleInPlaceObject*>(this);
    AddRef();
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeInPlaceObject::SetObjectRects(const RECT* position, const RECT* clip)
{
    log->push_back("in-place: SetObjectRects(" + RectText(*position) + ", " + RectText(*clip) + ")");
    return S_OK;
}

// FakeControl

HRESULT STDMETHODCALLTYPE FakeControl::QueryInterface(REFIID iid, void** object)
{
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject)) {
        *object = static_cast<IOleObject*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(iid, IID_IPersistStorage)) {
        *object = static_cast<IPersistStorage*>(this);
        AddRef();
        return S_OK;
    }
    if (IsEqualIID(iid, IID_IWebBrowser2)) {
        log->push_back("control: QueryInterface(IWebBrowser2)");
        if (!browser) return E_NOINTERFACE;
        IUnknown* unknown = static_cast<IUnknown*>(FakeBrowserInterface(browser));
        unknown->AddRef();
        *object = unknown;
        return S_OK;
    }
    if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
        log->push_back("control: QueryInterface(IConnectionPointContainer)");
        if (!container) return E_NOINTERFACE;
        container->AddRef();
        *object = static_cast<IConnectionPointContainer*>(container);
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE FakeControl::Release()
{
    if (refs == 0) log->push_back("control: Release with no reference left");
    return --refs;
}

HRESULT STDMETHODCALLTYPE FakeControl::SetHostNames(LPCOLESTR application, LPCOLESTR object)
{
    log->push_back("control: SetHostNames(" + Narrow(application) + ", " + Narrow(object) + ")");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeControl::Close(DWORD option)
{
    // The browser interface must be let go before the control is closed.
    char line[120];
    wsprintfA(line, "control: Close(%s) with %ld browser references left",
              option == OLECLOSE_NOSAVE ? "OLECLOSE_NOSAVE" : "another option",
              browser ? FakeBrowserRefs(browser) : 0L);
    log->push_back(line);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeControl::DoVerb(LONG verb, MSG* message, IOleClientSite* site, LONG index,
                                              HWND parent, LPCRECT rect)
{
    char numbers[60];
    wsprintfA(numbers, "%ld, %s, ", verb, message ? "a message" : "no message");
    std::string line = "control: DoVerb(" + std::string(numbers);
    line += site == static_cast<IOleClientSite*>(&TheClientSite) ? "the client site, " : "another site, ";
    wsprintfA(numbers, "%ld, ", index);
    line += numbers;
    line += parent == AboutWindow ? "AboutWindow, " : "another window, ";
    line += rect ? RectText(*rect) : std::string("no rectangle");
    log->push_back(line + ")");
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeControl::GetMiscStatus(DWORD, DWORD* status)
{
    *status = 0;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeControl::GetClassID(CLSID* clsid)
{
    *clsid = CLSID_WebBrowser;
    return S_OK;
}

// FakeControlFactory

FakeControlFactory::FakeControlFactory(FakeControl* control) : control(control)
{
    if (FAILED(CoRegisterClassObject(CLSID_WebBrowser, this, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie)))
        cookie = 0;
}

FakeControlFactory::~FakeControlFactory()
{
    if (cookie) CoRevokeClassObject(cookie);
}

HRESULT STDMETHODCALLTYPE FakeControlFactory::QueryInterface(REFIID iid, void** object)
{
    *object = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
    *object = static_cast<IClassFactory*>(this);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE FakeControlFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!control) return E_OUTOFMEMORY;
    return control->QueryInterface(iid, object);
}
