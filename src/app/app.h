// The program-wide windows and drawing objects, start-up and shutdown.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

// The one exception type: raised only during start-up, caught only in WinMain.
struct Error {
    std::string message;
    explicit Error(const char* text) : message(text) {}
};

extern HWND MainWindow;
extern HWND AboutWindow;
extern HWND ConnectWindow;
extern HFONT UiFont;
extern HBRUSH BackgroundBrush;
extern HBITMAP BannerBitmap;

// The main window's children.
extern HWND FileList;
extern HWND LogView;
extern HWND ProgressBar;

// Shows the steps ProgressBar has made since it was last drawn; the panel's timer calls it.
void ShowProgressSteps();

// An Error raised inside a window's WM_CREATE. The procedure keeps it here and fails the
// creation, so that no exception crosses the system's frames; InitInstance raises it again.
extern std::optional<Error> CreationError;

// The program's own module handle (GetModuleHandleA with no name).
HINSTANCE ProgramModule();

bool InitInstance();     // raises Error on every failure
int RunMessageLoop();    // runs the loop, then ReleaseResources; returns the quit code
void ReleaseResources();

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
