// The connection against a loopback listener: opening, the port's low 16 bits, Disconnect,
// and that no socket is leaked or closed twice.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "app/app.h"
#include "client/connection.h"
#include "client/conversation.h"
#include "client/front_end.h"
#include "connect/connect_window.h"
#include "shell_support.h"

namespace {

class ConnectionTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartProgram());
        ResetConversation();
    }
    void TearDown() override
    {
        Disconnect();
        DropSocketMessages();
        ResetConversation();
        FileListReset();
        FileListEnable(false);
        EnableWindow(ConnectButton, TRUE);
        SetWindowTextA(ConnectWindow, "Connect To IP");
        SetMainTitle("VELTO - ZUrod GUI Client");
        ShowWindow(ConnectWindow, SW_HIDE);
    }
    static bool Connected()
    {
        return TextOf(MainWindow) == "VELTO ZUrod GUI - Connected.";
    }
};

}  // namespace

TEST_F(ConnectionTest, OnlyThePortsLow16BitsCount)
{
    LoopbackListener listener;
    for (int port : {listener.Port(), listener.Port() + 65536, listener.Port() - 65536}) {
        SCOPED_TRACE(port);
        StartConnection("127.0.0.1", port);
        EXPECT_EQ(Connection.port, port);
        SOCKET accepted = listener.Accept();
        EXPECT_NE(accepted, INVALID_SOCKET);
        closesocket(accepted);
        Disconnect();
        DropSocketMessages();
    }
}

TEST_F(ConnectionTest, AddressIsKeptAsTypedWithTheRestZero)
{
    std::memset(Connection.address, 'x', sizeof Connection.address);
    StartConnection("127.0.0.1", 1);
    EXPECT_STREQ(Connection.address, "127.0.0.1");
    for (size_t i = std::strlen("127.0.0.1"); i < sizeof Connection.address; ++i)
        ASSERT_EQ(Connection.address[i], 0) << i;
}

TEST_F(ConnectionTest, ConnectThenDisconnect)
{
    LoopbackListener listener;
    EnableWindow(ConnectButton, FALSE);  // as the connect request leaves it
    StartConnection("127.0.0.1", listener.Port());
    SOCKET accepted = listener.Accept();
    ASSERT_NE(accepted, INVALID_SOCKET);
    ASSERT_TRUE(PumpUntil(Connected)) << "FD_CONNECT reaches the conversation";
    EXPECT_FALSE(IsWindowEnabled(ConnectButton)) << "stays disabled while connected";

    size_t logBefore = TextOf(LogView).size();
    Disconnect();
    EXPECT_EQ(Connection.socket, 0u);
    EXPECT_EQ(TextOf(MainWindow), "VELTO - ZUrod GUI - Disconnected.");
    EXPECT_EQ(TextOf(LogView).substr(logBefore), "Disconnected!.\r\n");
    EXPECT_TRUE(IsWindowEnabled(ConnectButton));
    EXPECT_TRUE(PeerClosed(accepted));
    closesocket(accepted);

    // Nothing held any more: a second Disconnect changes nothing.
    EnableWindow(ConnectButton, FALSE);
    SetMainTitle("unchanged");
    logBefore = TextOf(LogView).size();
    Disconnect();
    EXPECT_EQ(TextOf(MainWindow), "unchanged");
    EXPECT_EQ(TextOf(LogView).size(), logBefore);
    EXPECT_FALSE(IsWindowEnabled(ConnectButton));
}

TEST_F(ConnectionTest, ServerCloseClearsTheListAndLeavesTheSocketHeld)
{
    LoopbackListener listener;
    EnableWindow(ConnectButton, FALSE);
    StartConnection("127.0.0.1", listener.Port());
    SOCKET accepted = listener.Accept();
    ASSERT_NE(accepted, INVALID_SOCKET);
    ASSERT_TRUE(PumpUntil(Connected));
    FileListEnable(true);
    FileListAdd("..");
    ProgressSetRange(100);
    ProgressSetPos(40);
    size_t logBefore = TextOf(LogView).size();

    closesocket(accepted);
    ASSERT_TRUE(PumpUntil([] { return IsWindowEnabled(ConnectButton) != FALSE; }))
        << "FD_CLOSE reaches the conversation";
    EXPECT_FALSE(IsWindowEnabled(FileList));
    EXPECT_EQ(SendMessageA(FileList, LB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(SendMessageA(ProgressBar, PBM_GETPOS, 0, 0), 0);
    EXPECT_EQ(TextOf(LogView).size(), logBefore);
    EXPECT_TRUE(Connected());
    EXPECT_NE(Connection.socket, 0u);

    Disconnect();
    EXPECT_EQ(TextOf(MainWindow), "VELTO - ZUrod GUI - Disconnected.");
}

TEST_F(ConnectionTest, NewConnectionClosesTheSocketLeftByTheLast)
{
    LoopbackListener listener;
    StartConnection("127.0.0.1", listener.Port());
    SOCKET first = listener.Accept();
    ASSERT_NE(first, INVALID_SOCKET);
    // As after a failed attempt or the server's close: the handle is still held.
    StartConnection("127.0.0.1", listener.Port());
    SOCKET second = listener.Accept();
    ASSERT_NE(second, INVALID_SOCKET);
    EXPECT_TRUE(PeerClosed(first)) << "the first socket leaked";
    EXPECT_FALSE(PeerClosed(second, 300));
    closesocket(first);
    closesocket(second);
}

TEST_F(ConnectionTest, SocketClosedByTheClientIsNotClosedAgain)
{
    LoopbackListener listener;
    StartConnection("127.0.0.1", listener.Port());
    SOCKET accepted = listener.Accept();
    ASSERT_NE(accepted, INVALID_SOCKET);
    SOCKET held = Connection.socket;
    SocketCloseKeepHandle();  // the refused agreement
    EXPECT_TRUE(PeerClosed(accepted));
    closesocket(accepted);
    EXPECT_EQ(Connection.socket, held);

    // A socket made now may get the same handle; a second close would end it.
    SOCKET other = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ASSERT_NE(other, INVALID_SOCKET);
    if (other != held)
        GTEST_LOG_(INFO) << "handle not reused; the double close would go unseen here";

    EnableWindow(ConnectButton, FALSE);
    Disconnect();
    EXPECT_EQ(Connection.socket, 0u);
    EXPECT_EQ(TextOf(MainWindow), "VELTO - ZUrod GUI - Disconnected.");
    EXPECT_TRUE(IsWindowEnabled(ConnectButton));
    int type = 0;
    int length = sizeof type;
    EXPECT_EQ(getsockopt(other, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length), 0)
        << "Disconnect closed a socket that was not its own";

    // The same for the window's destruction.
    StartConnection("127.0.0.1", listener.Port());
    accepted = listener.Accept();
    held = Connection.socket;
    SocketCloseKeepHandle();
    closesocket(other);
    other = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    CloseConnection();
    EXPECT_EQ(getsockopt(other, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length), 0)
        << "CloseConnection closed a socket that was not its own";
    closesocket(other);
    closesocket(accepted);
}

TEST_F(ConnectionTest, NotificationsAreRoutedByTheirLowWord)
{
    struct Case {
        const char* name;
        LPARAM lParam;
        bool closes;  // handled as the server's close
    } cases[] = {
        {"close", MAKELPARAM(FD_CLOSE, 0), true},
        {"close with an error code", MAKELPARAM(FD_CLOSE, WSAECONNRESET), true},
        {"unknown event", MAKELPARAM(FD_OOB, 0), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileListEnable(true);
        FileListAdd("entry");
        EnableWindow(ConnectButton, FALSE);
        std::memset(ReceiveBuffer, 'x', sizeof ReceiveBuffer);
        size_t logBefore = TextOf(LogView).size();

        SendMessageA(MainWindow, WM_SOCKET, 0, c.lParam);

        EXPECT_EQ(ReceiveBuffer[0], 0);
        EXPECT_EQ(ReceiveBuffer[sizeof ReceiveBuffer - 1], 0);
        EXPECT_EQ(IsWindowEnabled(FileList) == FALSE, c.closes);
        EXPECT_EQ(SendMessageA(FileList, LB_GETCOUNT, 0, 0) == 0, c.closes);
        EXPECT_EQ(IsWindowEnabled(ConnectButton) != FALSE, c.closes);
        EXPECT_EQ(TextOf(LogView).size(), logBefore);
        FileListReset();
    }
}
