// The connect window: its controls and tips, hiding on close, and the connect request.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "app/app.h"
#include "app/log.h"
#include "client/connection.h"
#include "connect/connect_window.h"
#include "res/resource.h"
#include "shell_support.h"

std::string ToolText(HWND tooltip, HWND tool, UINT_PTR id);  // shell_main_window_tests.cpp

TEST(ConnectWindowControls, ControlsAsCreated)
{
    ASSERT_TRUE(StartProgram());
    struct Case {
        HWND window;
        const char* className;
        const char* text;
        LONG_PTR styles;
        LONG_PTR absentStyles;
        RECT rect;
        int id;
    } cases[] = {
        {AddressEdit, "Edit", "192.168.1.101", WS_CHILD | WS_VISIBLE, ES_AUTOHSCROLL | ES_PASSWORD,
         {10, 10, 160, 35}, IDC_ADDRESS},
        {ConnectButton, "Button", "Connect!", WS_CHILD | WS_VISIBLE, BS_DEFPUSHBUTTON,
         {200, 10, 280, 35}, IDC_CONNECTBUTTON},
        {PortEdit, "Edit", "1024", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, ES_PASSWORD,
         {160, 10, 200, 35}, 0},
        {PasswordEdit, "Edit", "qvk", WS_CHILD | WS_VISIBLE | ES_PASSWORD, ES_AUTOHSCROLL,
         {10, 45, 110, 65}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        ASSERT_TRUE(IsWindow(c.window));
        EXPECT_EQ(GetParent(c.window), ConnectWindow);
        EXPECT_EQ(ClassOf(c.window), c.className);
        EXPECT_EQ(TextOf(c.window), c.text);
        LONG_PTR style = GetWindowLongPtrA(c.window, GWL_STYLE);
        EXPECT_EQ(style & c.styles, c.styles);
        EXPECT_EQ(style & c.absentStyles, 0);
        EXPECT_TRUE(GetWindowLongPtrA(c.window, GWL_EXSTYLE) & WS_EX_STATICEDGE);
        RECT rect = RectInParent(c.window);
        EXPECT_EQ(rect.left, c.rect.left);
        EXPECT_EQ(rect.top, c.rect.top);
        EXPECT_EQ(rect.right, c.rect.right);
        EXPECT_EQ(rect.bottom, c.rect.bottom);
        EXPECT_EQ(GetDlgCtrlID(c.window), c.id);
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(c.window, WM_GETFONT, 0, 0)), UiFont);
    }
    EXPECT_TRUE(IsWindowEnabled(ConnectButton));
}

TEST(ConnectWindowControls, TipsOfAddressAndPassword)
{
    ASSERT_TRUE(StartProgram());
    ASSERT_TRUE(IsWindow(ConnectTooltip));
    EXPECT_EQ(GetWindow(ConnectTooltip, GW_OWNER), ConnectWindow);
    EXPECT_EQ(SendMessageA(ConnectTooltip, TTM_GETTOOLCOUNT, 0, 0), 2);
    EXPECT_EQ(ToolText(ConnectTooltip, AddressEdit, 0), "Enter IP Address here.");
    EXPECT_EQ(ToolText(ConnectTooltip, PasswordEdit, 0), "Enter ZUrod Password here.");
}

TEST(ConnectWindowControls, CloseHidesAndKeepsTheTexts)
{
    ASSERT_TRUE(StartProgram());
    ShowWindow(ConnectWindow, SW_SHOW);
    SetWindowTextA(PasswordEdit, "secret");
    SendMessageA(ConnectWindow, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(ConnectWindow));
    EXPECT_FALSE(IsWindowVisible(ConnectWindow));
    SendMessageA(MainWindow, WM_COMMAND, IDM_CONNECT, 0);
    EXPECT_TRUE(IsWindowVisible(ConnectWindow));
    EXPECT_EQ(TextOf(PasswordEdit), "secret");
    SetWindowTextA(PasswordEdit, "qvk");
    ShowWindow(ConnectWindow, SW_HIDE);
}

namespace {

// Presses "Connect!" with the given entries; the connection it may start goes to loopback
// ports where nothing listens, and is dropped again afterwards.
class ConnectRequestTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartProgram());
        ShowWindow(ConnectWindow, SW_SHOW);
    }
    void TearDown() override
    {
        Reset();
        SetWindowTextA(AddressEdit, "192.168.1.101");
        SetWindowTextA(PortEdit, "1024");
        ShowWindow(ConnectWindow, SW_HIDE);
    }
    // Drops the connection a request started and brings the window back to its start.
    static void Reset()
    {
        Disconnect();
        DropSocketMessages();
        EnableWindow(ConnectButton, TRUE);
        SetWindowTextA(ConnectWindow, "Connect To IP");
        SetMainTitle("VELTO - ZUrod GUI Client");
    }
};

}  // namespace

TEST_F(ConnectRequestTest, OutcomeOfEachEntry)
{
    struct Case {
        const char* address;
        const char* port;
        const char* box;  // caption of the one error box, or nullptr: the connection starts
        const char* addressAfter;
        const char* portAfter;
        int portValue;  // what the connection is given
    } cases[] = {
        {"", "1024", "Invalid IP", "", "1024", 0},
        {"not an address", "1024", "Invalid IP", "", "1024", 0},
        {"255.255.255.255", "1024", "Invalid IP", "", "1024", 0},
        {"", "abc", "Invalid IP", "", "abc", 0},  // only the address is reported
        {"127.0.0.1", "0", "Invalid Port", "127.0.0.1", "", 0},
        {"127.0.0.1", "", "Invalid Port", "127.0.0.1", "", 0},
        {"127.0.0.1", "abc", "Invalid Port", "127.0.0.1", "", 0},
        {"127.0.0.1", "80abc", nullptr, "127.0.0.1", "80abc", 80},
        {"127.0.0.1", "   21", nullptr, "127.0.0.1", "   21", 21},
        {"127.0.0.1", "-5", nullptr, "127.0.0.1", "-5", -5},
        {"127.0.0.1", "65536", nullptr, "127.0.0.1", "65536", 65536},
        {"127.1", "1024", nullptr, "127.1", "1024", 1024},  // as inet_addr reads it, sent as typed
        {"0x7f.0.0.1", "1024", nullptr, "0x7f.0.0.1", "1024", 1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "'" << c.address << "' '" << c.port << "'");
        SetWindowTextA(AddressEdit, c.address);
        SetWindowTextA(PortEdit, c.port);
        Connection.socket = 0;

        DialogWatcher watcher(IDOK);
        SendMessageA(ConnectWindow, WM_COMMAND, MAKEWPARAM(IDC_CONNECTBUTTON, BN_CLICKED),
                     reinterpret_cast<LPARAM>(ConnectButton));
        std::vector<SeenDialog> boxes = watcher.Stop();

        EXPECT_EQ(TextOf(AddressEdit), c.addressAfter);
        EXPECT_EQ(TextOf(PortEdit), c.portAfter);
        if (c.box) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].caption, c.box);
            EXPECT_EQ(boxes[0].text, std::string(c.box) == "Invalid IP"
                                         ? "Error Invalid IP Address Try Agian"
                                         : "Error invalid port number try agian");
            EXPECT_EQ(boxes[0].owner, ConnectWindow);
            EXPECT_TRUE(IsWindowEnabled(ConnectButton));
            EXPECT_EQ(TextOf(ConnectWindow), "Connect To IP");
            EXPECT_EQ(Connection.socket, 0u) << "no connection for a rejected entry";
        } else {
            EXPECT_TRUE(boxes.empty());
            EXPECT_FALSE(IsWindowEnabled(ConnectButton));
            EXPECT_EQ(TextOf(ConnectWindow), "Connecting...");
            EXPECT_NE(Connection.socket, 0u);
            EXPECT_STREQ(Connection.address, c.address);
            EXPECT_EQ(Connection.port, c.portValue);
        }
        Reset();
    }
}

TEST_F(ConnectRequestTest, OtherCommandsOfTheWindowAreIgnored)
{
    SetWindowTextA(AddressEdit, "127.0.0.1");
    struct Case {
        const char* name;
        WPARAM wParam;
    } cases[] = {
        {"edit change of the address box", MAKEWPARAM(IDC_ADDRESS, EN_CHANGE)},
        {"button notification other than a click", MAKEWPARAM(IDC_CONNECTBUTTON, BN_DOUBLECLICKED)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogWatcher watcher(IDOK);
        SendMessageA(ConnectWindow, WM_COMMAND, c.wParam, 0);
        EXPECT_TRUE(watcher.Stop().empty());
        EXPECT_TRUE(IsWindowEnabled(ConnectButton));
        EXPECT_EQ(TextOf(ConnectWindow), "Connect To IP");
    }
}
