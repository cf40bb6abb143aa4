// The one TCP connection: Winsock start-up, a non-blocking connect whose events arrive as
// WM_SOCKET at the main window, and closing. What the events mean is the conversation's.
#include "client/connection.h"

#include <cstring>

#include "app/app.h"
#include "app/log.h"
#include "client/conversation.h"
#include "client/front_end.h"

ConnectionRecord Connection;

bool InitWinsock()
{
    WSADATA data = {};
    WSAStartup(0x0101, &data);
    if (data.wVersion == 0x0101)
        return true;
    MessageBoxA(GetForegroundWindow(), "Error Initalizing Winsock!", "Error!", MB_ICONERROR);
    WSACleanup();
    return false;
}

// The socket is held and still open (not closed by the client, handle kept).
static bool SocketOpen()
{
    return Connection.socket != 0 && !Connection.closed;
}

void StartConnection(const std::string& address, int port)
{
    // A failed attempt or the server's close leaves its socket here; don't leak it.
    if (SocketOpen())
        closesocket(Connection.socket);

    std::memset(Connection.address, 0, sizeof Connection.address);
    std::strncpy(Connection.address, address.c_str(), sizeof Connection.address - 1);
    Connection.port = port;
    OpenConnection(Connection);
}

bool OpenConnection(ConnectionRecord& connection)
{
    connection.socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    connection.closed = false;

    sockaddr_in server = {};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<u_short>(connection.port));
    server.sin_addr.s_addr = inet_addr(connection.address);

    WSAAsyncSelect(connection.socket, MainWindow, WM_SOCKET, FD_READ | FD_CONNECT | FD_CLOSE);
    connect(connection.socket, reinterpret_cast<sockaddr*>(&server), sizeof server);
    return true;
}

void HandleSocketMessage(WPARAM, LPARAM lParam)
{
    // Every notification concerns Connection's socket; its error code is not needed.
    HandleSocketEvent(LOWORD(lParam));
}

void Disconnect()
{
    if (Connection.socket == 0)
        return;
    if (!Connection.closed)
        closesocket(Connection.socket);
    Connection.socket = 0;
    Connection.closed = false;
    SetMainTitle("VELTO - ZUrod GUI - Disconnected.");
    LogMessage("Disconnected!.");
    EnableConnectButton();
}

void CloseConnection()
{
    if (SocketOpen())
        closesocket(Connection.socket);
    Connection.closed = true;
}

int SocketSend(const char* bytes, int length)
{
    return send(Connection.socket, bytes, length, 0);
}

int SocketLastError()
{
    return WSAGetLastError();
}

int SocketReceive(char* buffer, int length)
{
    return recv(Connection.socket, buffer, length, 0);
}

void SocketCloseKeepHandle()
{
    if (SocketOpen())
        closesocket(Connection.socket);
    Connection.closed = true;
}
