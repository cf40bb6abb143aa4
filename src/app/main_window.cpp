// The main window: file list, status panel, log and progress bar; the menu commands.
#include <windows.h>
#include <commctrl.h>

#include "about/about_window.h"
#include "app/app.h"
#include "app/log.h"
#include "app/status_panel.h"
#include "client/connection.h"
#include "client/conversation.h"
#include "res/resource.h"

HWND FileList;
HWND LogView;
HWND ProgressBar;

static bool BrowserStarted;

// One tip covering the whole of a control.
static void AddTool(HWND tooltip, HWND control, UINT_PTR id, const char* text)
{
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = control;
    tool.uId = id;
    GetClientRect(control, &tool.rect);
    tool.hinst = ProgramModule();
    tool.lpszText = const_cast<char*>(text);
    SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

// The children, the first log lines, Winsock and the panel's timer. Raises Error.
static void CreateMainWindowContents(HWND window)
{
    FileList = CreateWindowExA(WS_EX_STATICEDGE, "ListBox", "",
                               WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_SORT |
                                   LBS_NOTIFY,
                               10, 10, 250, 250, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_FILELIST)),
                               ProgramModule(), nullptr);
    if (!FileList)
        throw Error("Error couldnt create listbox");
    LogView = CreateWindowExA(WS_EX_STATICEDGE, "Edit", "",
                              WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_READONLY | ES_MULTILINE,
                              10, 280, 615, 125, window, nullptr, ProgramModule(), nullptr);
    if (!LogView)
        throw Error("Error couldnt create Logging Window");
    SendMessageA(LogView, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont), FALSE);
    SendMessageA(FileList, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont), FALSE);

    HWND tooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr,
                                   WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                   ProgramModule(), nullptr);
    AddTool(tooltip, FileList, 0, "Double click to download a file!");
    AddTool(tooltip, LogView, 1, "Program Log Window");

    EnableWindow(FileList, FALSE);
    LogMessage("Successfully Initalized Window.\r\n->Waiting for Winsock Initalization...");
    if (InitWinsock())
        LogMessage("Winsock Successfully initalized.");
    SetTimer(window, PanelTimer, 1, nullptr);
    InitCommonControls();

    // Along the bottom edge, as high as a horizontal scroll bar.
    RECT client;
    GetClientRect(window, &client);
    int height = GetSystemMetrics(SM_CYVSCROLL);
    ProgressBar = CreateWindowExA(0, PROGRESS_CLASSA, nullptr, WS_CHILD | WS_VISIBLE, client.left,
                                  client.bottom - height, client.right, height, window, nullptr,
                                  ProgramModule(), nullptr);
    if (!ProgressBar)
        throw Error("Error Creating Progress Bar!");
}

static void OnAbout()
{
    ShowWindow(AboutWindow, SW_SHOW);
    UpdateWindow(AboutWindow);
    if (!BrowserStarted) {
        StartBrowser();
        BrowserStarted = true;
        LogMessage("Browser started...");
    }
}

static void OnCommand(HWND window, WPARAM wParam)
{
    switch (wParam) {
    case IDM_CONNECT:
        ShowWindow(ConnectWindow, SW_SHOW);
        UpdateWindow(ConnectWindow);
        return;
    case IDM_EXIT:
        SendMessageA(window, WM_CLOSE, 0, 0);  // the same question as the close button
        return;
    case IDM_ABOUT:
        OnAbout();
        return;
    case IDM_DISCONNECT:
        Disconnect();
        return;
    }
    if (HIWORD(wParam) == LBN_DBLCLK && LOWORD(wParam) == IDC_FILELIST)
        OnFileListDoubleClick();
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        // The Error waits in CreationError until CreateWindowExA has returned.
        try {
            CreateMainWindowContents(window);
        } catch (Error& error) {
            CreationError = error;
            return -1;
        }
        return 0;
    case WM_CLOSE:
        if (MessageBoxA(window, "Are you sure you wish to Exit?", "Quit?",
                        MB_YESNO | MB_ICONQUESTION) == IDYES)
            return DefWindowProcA(window, message, wParam, lParam);
        return 0;
    case WM_DESTROY:
        // A window whose creation failed never ran the loop; a quit message now would
        // close the start-up error box before the user could read it.
        if (window != MainWindow)
            return 0;
        CloseConnection();
        CloseOutputFile();
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        OnCommand(window, wParam);
        return 0;
    case WM_PAINT:
        PaintStatusPanel(window);
        return 0;
    case WM_TIMER:
        OnPanelTimer(window);
        return 0;
    case WM_SOCKET:
        HandleSocketMessage(wParam, lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
