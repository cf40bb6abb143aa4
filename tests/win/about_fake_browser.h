/* A stand-in for the control's IWebBrowser2. It is written in C against the interface's C
   declaration so that only the slots the about window uses need filling: QueryInterface,
   AddRef, Release, Navigate and Navigate2. Any other call finds an empty slot and crashes
   the test, which is the point. */
#pragma once
#ifdef __cplusplus
extern "C" {
#endif

typedef struct FakeBrowser FakeBrowser;

/* inPlace: an IOleInPlaceObject handed out on request, or null. log goes to LogCall. */
FakeBrowser* CreateFakeBrowser(void* log, void* inPlace);
void* FakeBrowserInterface(FakeBrowser* browser); /* its IWebBrowser2, which is its IUnknown too */
long FakeBrowserRefs(const FakeBrowser* browser);
void FreeFakeBrowser(FakeBrowser* browser);

/* Supplied by the C++ side: appends one line to the log. */
void LogCall(void* log, const char* line);

#ifdef __cplusplus
}
#endif
