// The program-wide drawing objects and windows: created at start-up, released once at the end.
#include <windows.h>
#include <ole2.h>
#include <winsock.h>

#include "about/about_window.h"
#include "app/app.h"
#include "connect/connect_window.h"
#include "res/resource.h"

HINSTANCE ProgramModule()
{
    return GetModuleHandleA(nullptr);
}

// Made before WinMain runs, in this order; a failure leaves a null handle.
HBRUSH BackgroundBrush = CreateSolidBrush(RGB(236, 233, 216));
HBITMAP BannerBitmap = LoadBitmapA(ProgramModule(), MAKEINTRESOURCEA(IDB_BANNER));

HFONT UiFont;
HWND MainWindow;
HWND AboutWindow;
HWND ConnectWindow;
std::optional<Error> CreationError;

static bool RegisterWindowClass(const char* name, WNDPROC procedure, const char* menu)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = ProgramModule();
    windowClass.hIcon = LoadIconA(ProgramModule(), MAKEINTRESOURCEA(IDI_MAINICON));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = BackgroundBrush;
    windowClass.lpszMenuName = menu;
    windowClass.lpszClassName = name;
    return RegisterClassExA(&windowClass) != 0;
}

static HWND CreateTopWindow(const char* className, const char* title, int width, int height)
{
    return CreateWindowExA(0, className, title, WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                           CW_USEDEFAULT, width, height, nullptr, nullptr, ProgramModule(),
                           nullptr);
}

// A window's creation failed: raise what its WM_CREATE raised, else the step's own message.
[[noreturn]] static void RaiseCreationFailure(const char* message)
{
    if (CreationError) {
        Error error = *CreationError;
        CreationError.reset();
        throw error;
    }
    throw Error(message);
}

bool InitInstance()
{
    UiFont = CreateFontA(17, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                         VARIABLE_PITCH, "Verdana");
    if (!UiFont)
        throw Error("Couldnt Create Font!.");

    if (!RegisterWindowClass("velto", MainWndProc, MAKEINTRESOURCEA(IDR_MAINMENU)))
        throw Error("Class (velto) Was not successfully Registered!");
    if (!RegisterWindowClass("velto_about", AboutWndProc, nullptr))
        throw Error("Class (velto_about) Was not successfully Registered!");
    if (!RegisterWindowClass("velto_connect", ConnectWndProc, nullptr))
        throw Error("Class (velto_connect) Was not successfully Registered!");

    MainWindow = CreateTopWindow("velto", "VELTO - ZUrod GUI Client", 640, 480);
    if (!MainWindow)
        RaiseCreationFailure("Window was not successfully Created!");
    AboutWindow = CreateTopWindow("velto_about", "About VELTO - ZUrod GUI", 640, 480);
    if (!AboutWindow)
        RaiseCreationFailure("About window was not successfully created!");
    ConnectWindow = CreateTopWindow("velto_connect", "Connect To IP", 290, 115);
    if (!ConnectWindow)
        RaiseCreationFailure("Connect window was not successfully created!");

    ShowWindow(MainWindow, SW_SHOW);
    UpdateWindow(MainWindow);
    return true;
}

int RunMessageLoop()
{
    MSG message = {};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    ReleaseResources();
    return static_cast<int>(message.wParam);
}

void ReleaseResources()
{
    ReleaseBrowser();
    OleUninitialize();
    DeleteObject(UiFont);
    DeleteObject(BackgroundBrush);
    DeleteObject(BannerBitmap);
    WSACleanup();
}
