// The one TCP connection and its Winsock notifications (WM_SOCKET to MainWindow).
#pragma once
#include <windows.h>
#include <winsock.h>

#include <string>

constexpr UINT WM_SOCKET = WM_USER + 1;

struct ConnectionRecord {
    SOCKET socket;      // 0: none
    int port;           // only the low 16 bits are used
    char address[256];  // as typed, NUL-terminated, the rest zero
    bool closed;        // closed by the refusal of the agreement; handle kept
};
extern ConnectionRecord Connection;

bool InitWinsock();
void StartConnection(const std::string& address, int port);
bool OpenConnection(ConnectionRecord& connection);
void HandleSocketMessage(WPARAM wParam, LPARAM lParam);
void Disconnect();
void CloseConnection();
