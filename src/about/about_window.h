// The about window and the web browser control it hosts.
#pragma once
#include <windows.h>
#include <exdisp.h>
#include <ole2.h>

extern IOleObject* BrowserObject;  // the control, null until StartBrowser has run
extern IWebBrowser2* Browser;      // its IWebBrowser2, null until StartBrowser has run
extern const wchar_t* HomePageUrl;

LRESULT CALLBACK AboutWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creates the control in AboutWindow, connects the event sink and navigates. Always S_OK.
HRESULT StartBrowser();
void AdviseBrowserEvents(IUnknown* source, IDispatch* sink);

// The web view's part of ReleaseResources: releases Browser, closes and releases BrowserObject.
void ReleaseBrowser();
