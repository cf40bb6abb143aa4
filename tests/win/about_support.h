// What the about window's tests share: a window standing in for AboutWindow, a message pump,
// and stand-ins for the parts of the web browser control that StartBrowser talks to.
#pragma once
#include <windows.h>
#include <ocidl.h>

#include <string>
#include <vector>

#include "about_fake_browser.h"

// A window of the about window's class, style and size (hidden), stored in AboutWindow.
HWND CreateTestAboutWindow();
void DestroyTestAboutWindow();

// Dispatches the thread's messages for about the given time.
void PumpMessages(DWORD milliseconds);

std::string Narrow(const wchar_t* text);
std::string RectText(const RECT& rect);

// Every stand-in writes the calls that matter into one log, "object: Method(arguments)".
using CallLog = std::vector<std::string>;

class FakeConnectionPoint : public IConnectionPoint {
public:
    explicit FakeConnectionPoint(CallLog* log) : log(log) {}
    LONG refs = 0;
    IUnknown* advised = nullptr;  // what Advise was given (not kept alive)

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    CallLog* log;
};

// Offers a DWebBrowserEvents2 connection point when it has one.
class FakeConnectionPointContainer : public IConnectionPointContainer {
public:
    FakeConnectionPointContainer(CallLog* log, FakeConnectionPoint* point) : log(log), point(point) {}
    LONG refs = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** found) override;

private:
    CallLog* log;
    FakeConnectionPoint* point;
};

class FakeInPlaceObject : public IOleInPlaceObject {
public:
    explicit FakeInPlaceObject(CallLog* log) : log(log) {}
    LONG refs = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE UIDeactivate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE SetObjectRects(const RECT* position, const RECT* clip) override;
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return E_NOTIMPL; }

private:
    CallLog* log;
};

// The control as OleCreate makes it: its IOleObject, the IPersistStorage that OleCreate
// needs, and on request the browser (a FakeBrowser) and the connection point container,
// each only if it was given one.
class FakeControl : public IOleObject, public IPersistStorage {
public:
    FakeControl(CallLog* log, FakeBrowser* browser, FakeConnectionPointContainer* container)
        : log(log), browser(browser), container(container) {}
    LONG refs = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR application, LPCOLESTR object) override;
    HRESULT STDMETHODCALLTYPE Close(DWORD option) override;
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, MSG* message, IOleClientSite* site, LONG index, HWND parent,
                                     LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD, SIZEL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override;
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE InitNew(IStorage*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Load(IStorage*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStorage*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveCompleted(IStorage*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE HandsOffStorage() override { return S_OK; }

private:
    CallLog* log;
    FakeBrowser* browser;
    FakeConnectionPointContainer* container;
};

// Registered for CLSID_WebBrowser while it lives, so that OleCreate makes the given control,
// or fails for want of memory when there is none.
class FakeControlFactory : public IClassFactory {
public:
    explicit FakeControlFactory(FakeControl* control);
    ~FakeControlFactory();
    bool registered() const { return cookie != 0; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    FakeControl* control;
    DWORD cookie = 0;
};
