// The about window and the web browser control embedded in it.
#include "about/about_window.h"

#include <exdispid.h>
#include <ocidl.h>

#include "about/web_host.h"
#include "app/app.h"

IOleObject* BrowserObject;
IWebBrowser2* Browser;
const wchar_t* HomePageUrl = L"https://www.velto-client.org/";

LRESULT CALLBACK AboutWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        // Only hidden: the About command shows it again with the same control inside.
        ShowWindow(window, SW_HIDE);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void AdviseBrowserEvents(IUnknown* source, IDispatch* sink)
{
    IConnectionPointContainer* container = nullptr;
    if (FAILED(source->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container))) ||
        !container)
        return;
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point)) && point) {
        DWORD cookie;  // never unadvised: the sink stays connected until the process ends
        point->Advise(sink, &cookie);
        point->Release();
    }
    container->Release();
}

HRESULT StartBrowser()
{
    IOleObject* object = nullptr;
    if (FAILED(OleCreate(CLSID_WebBrowser, IID_IOleObject, OLERENDER_DRAW, nullptr,
                         static_cast<IOleClientSite*>(&TheClientSite), &TheHostStorage,
                         reinterpret_cast<void**>(&object))) ||
        !object)
        return S_OK;  // no control: the window stays empty
    BrowserObject = object;
    BrowserObject->SetHostNames(L"Web Host", L"Web View");

    // One rectangle for DoVerb and SetObjectRects: the control keeps this size.
    RECT rect;
    GetClientRect(AboutWindow, &rect);
    BrowserObject->DoVerb(OLEIVERB_SHOW, nullptr, static_cast<IOleClientSite*>(&TheClientSite), -1,
                          AboutWindow, &rect);

    IWebBrowser2* browser = nullptr;
    if (SUCCEEDED(BrowserObject->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&browser))))
        Browser = browser;

    // Connected before the first navigation so that no event is missed.
    AdviseBrowserEvents(BrowserObject, new BrowserEventSink);

    if (!Browser) return S_OK;  // nothing to navigate with

    IOleInPlaceObject* inPlace = nullptr;
    Browser->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace));
    if (inPlace) {
        inPlace->SetObjectRects(&rect, &rect);
        inPlace->Release();
    }

    VARIANT address;
    VariantInit(&address);
    address.vt = VT_BSTR;
    address.bstrVal = SysAllocString(L"about:blank");
    Browser->Navigate2(&address, nullptr, nullptr, nullptr, nullptr);
    VariantClear(&address);

    BSTR home = SysAllocString(HomePageUrl);
    Browser->Navigate(home, nullptr, nullptr, nullptr, nullptr);
    SysFreeString(home);
    return S_OK;
}

void ReleaseBrowser()
{
    // Cleared once released, so that nothing can reach a released control afterwards.
    if (Browser) {
        Browser->Release();
        Browser = nullptr;
    }
    if (BrowserObject) {
        BrowserObject->Close(OLECLOSE_NOSAVE);
        BrowserObject->Release();
        BrowserObject = nullptr;
    }
}
