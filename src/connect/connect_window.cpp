// The connect window: address, port and password boxes and the "Connect!" button.
#include "connect/connect_window.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/app.h"
#include "client/connection.h"
#include "connect/connect_checks.h"
#include "res/resource.h"

HWND AddressEdit;
HWND PortEdit;
HWND PasswordEdit;
HWND ConnectButton;
HWND ConnectTooltip;

static HWND CreateControl(HWND window, const char* className, const char* text, DWORD style,
                          int left, int top, int width, int height, int id)
{
    return CreateWindowExA(WS_EX_STATICEDGE, className, text, WS_CHILD | WS_VISIBLE | style, left,
                           top, width, height, window,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ProgramModule(),
                           nullptr);
}

// The controls and their tips. Raises Error.
static void CreateConnectWindowContents(HWND window)
{
    AddressEdit = CreateControl(window, "Edit", "192.168.1.101", 0, 10, 10, 150, 25, IDC_ADDRESS);
    if (!AddressEdit)
        throw Error("Couldnt create editbox for connect window");
    ConnectButton = CreateControl(window, "Button", "Connect!", 0, 200, 10, 80, 25,
                                  IDC_CONNECTBUTTON);
    if (!ConnectButton)
        throw Error("Couldnt create pushbutton for connection window!.");
    PortEdit = CreateControl(window, "Edit", "1024", ES_AUTOHSCROLL, 160, 10, 40, 25, 0);
    if (!PortEdit)
        throw Error("Couldnt create Port Edit Box!");
    PasswordEdit = CreateControl(window, "Edit", "qvk", ES_PASSWORD, 10, 45, 100, 20, 0);
    if (!PasswordEdit)
        throw Error("Couldnt create password editbox!");

    for (HWND control : {ConnectButton, AddressEdit, PortEdit, PasswordEdit})
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(UiFont), FALSE);

    ConnectTooltip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr,
                                     WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                     ProgramModule(), nullptr);
    if (!ConnectTooltip)
        throw Error("Couldnt create tooltip!");

    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hinst = ProgramModule();
    tool.hwnd = AddressEdit;
    GetClientRect(AddressEdit, &tool.rect);
    tool.lpszText = const_cast<char*>("Enter IP Address here.");
    SendMessageA(ConnectTooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    tool.hwnd = PasswordEdit;
    GetClientRect(PasswordEdit, &tool.rect);
    tool.lpszText = const_cast<char*>("Enter ZUrod Password here.");
    SendMessageA(ConnectTooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

// "Connect!": check the address, then the port, then start the connection.
static void OnConnectRequest(HWND window)
{
    char text[256] = {};
    SendMessageA(AddressEdit, WM_GETTEXT, 255, reinterpret_cast<LPARAM>(text));
    if (!IsValidAddress(text)) {
        MessageBoxA(window, "Error Invalid IP Address Try Agian", "Invalid IP", MB_ICONERROR);
        SendMessageA(AddressEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        return;
    }
    std::string address = text;

    SendMessageA(PortEdit, WM_GETTEXT, 10, reinterpret_cast<LPARAM>(text));
    int port = PortFromText(text);
    if (port == 0) {
        MessageBoxA(window, "Error invalid port number try agian", "Invalid Port", MB_ICONERROR);
        SendMessageA(PortEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        return;
    }

    SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("Connecting..."));
    EnableWindow(ConnectButton, FALSE);
    StartConnection(address, port);
}

LRESULT CALLBACK ConnectWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        // The Error waits in CreationError until CreateWindowExA has returned.
        try {
            CreateConnectWindowContents(window);
        } catch (Error& error) {
            CreationError = error;
            return -1;
        }
        return 0;
    case WM_CLOSE:
        ShowWindow(window, SW_HIDE);  // kept for the next time, with its texts
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CONNECTBUTTON && HIWORD(wParam) == BN_CLICKED)
            OnConnectRequest(window);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
