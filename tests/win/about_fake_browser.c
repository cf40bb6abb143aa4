/* The IWebBrowser2 stand-in; see about_fake_browser.h. */
#include <windows.h>
#include <exdisp.h>
#include <ocidl.h>
#include <stdio.h>
#include <stdlib.h>

#include "about_fake_browser.h"

struct FakeBrowser {
    IWebBrowser2 iface; /* first, so that the object's address is its interface */
    LONG refs;
    void* log;
    IUnknown* inPlace;
};

static FakeBrowser* FromInterface(IWebBrowser2* iface) { return (FakeBrowser*)iface; }

static HRESULT STDMETHODCALLTYPE FakeQueryInterface(IWebBrowser2* iface, REFIID iid, void** object)
{
    FakeBrowser* browser = FromInterface(iface);
    *object = NULL;
    if (IsEqualIID(iid, &IID_IUnknown)) {
        LogCall(browser->log, "browser: QueryInterface(IUnknown)");
    } else if (IsEqualIID(iid, &IID_IOleInPlaceObject)) {
        LogCall(browser->log, "browser: QueryInterface(IOleInPlaceObject)");
        if (!browser->inPlace) return E_NOINTERFACE;
        browser->inPlace->lpVtbl->AddRef(browser->inPlace);
        *object = browser->inPlace;
        return S_OK;
    } else if (!IsEqualIID(iid, &IID_IDispatch) && !IsEqualIID(iid, &IID_IWebBrowser2) &&
               !IsEqualIID(iid, &IID_IWebBrowserApp) && !IsEqualIID(iid, &IID_IWebBrowser)) {
        return E_NOINTERFACE;
    }
    browser->refs++;
    *object = iface;
    return S_OK;
}

static ULONG STDMETHODCALLTYPE FakeAddRef(IWebBrowser2* iface) { return (ULONG)++FromInterface(iface)->refs; }
static ULONG STDMETHODCALLTYPE FakeRelease(IWebBrowser2* iface) { return (ULONG)--FromInterface(iface)->refs; }

/* "BSTR text" for a real BSTR, "not a BSTR" for a plain string (its length prefix is wrong). */
static void DescribeString(const WCHAR* text, char* out, int size)
{
    char narrow[512];
    if (!text) {
        snprintf(out, size, "null string");
        return;
    }
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow, sizeof narrow, NULL, NULL);
    snprintf(out, size, "%s %s", SysStringLen((BSTR)text) == (UINT)lstrlenW(text) ? "BSTR" : "not a BSTR", narrow);
}

static const char* NullOrSet(const VARIANT* value) { return value ? "set" : "null"; }

static HRESULT STDMETHODCALLTYPE FakeNavigate(IWebBrowser2* iface, BSTR url, VARIANT* flags, VARIANT* target,
                                              VARIANT* postData, VARIANT* headers)
{
    char address[600], line[800];
    DescribeString(url, address, sizeof address);
    snprintf(line, sizeof line, "browser: Navigate(%s, %s, %s, %s, %s)", address, NullOrSet(flags),
             NullOrSet(target), NullOrSet(postData), NullOrSet(headers));
    LogCall(FromInterface(iface)->log, line);
    return S_OK;
}

static HRESULT STDMETHODCALLTYPE FakeNavigate2(IWebBrowser2* iface, VARIANT* url, VARIANT* flags, VARIANT* target,
                                               VARIANT* postData, VARIANT* headers)
{
    char address[600], line[800];
    if (url && V_VT(url) == VT_BSTR)
        DescribeString(V_BSTR(url), address, sizeof address);
    else
        snprintf(address, sizeof address, "VARIANT of type %d", url ? V_VT(url) : -1);
    snprintf(line, sizeof line, "browser: Navigate2(%s, %s, %s, %s, %s)", address, NullOrSet(flags),
             NullOrSet(target), NullOrSet(postData), NullOrSet(headers));
    LogCall(FromInterface(iface)->log, line);
    return S_OK;
}

static IWebBrowser2Vtbl FakeBrowserVtbl = {
    .QueryInterface = FakeQueryInterface,
    .AddRef = FakeAddRef,
    .Release = FakeRelease,
    .Navigate = FakeNavigate,
    .Navigate2 = FakeNavigate2,
};

FakeBrowser* CreateFakeBrowser(void* log, void* inPlace)
{
    FakeBrowser* browser = calloc(1, sizeof *browser);
    browser->iface.lpVtbl = &FakeBrowserVtbl;
    browser->log = log;
    browser->inPlace = inPlace;
    return browser;
}

void* FakeBrowserInterface(FakeBrowser* browser) { return &browser->iface; }
long FakeBrowserRefs(const FakeBrowser* browser) { return browser->refs; }
void FreeFakeBrowser(FakeBrowser* browser) { free(browser); }
