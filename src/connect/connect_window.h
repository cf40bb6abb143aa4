// The connect window: address, port and password, and the "Connect!" button.
#pragma once
#include <windows.h>

extern HWND AddressEdit;
extern HWND PortEdit;
extern HWND PasswordEdit;
extern HWND ConnectButton;
extern HWND ConnectTooltip;

LRESULT CALLBACK ConnectWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
