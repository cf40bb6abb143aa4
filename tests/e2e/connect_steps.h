// What the connect and fault scenarios share beyond transfer_support.h: the connect window's
// boxes typed as a user types them (any port text), the agreement question, a loopback port
// nobody listens on, and Winsock for the driver's own sockets.
#pragma once
#include <winsock2.h>

#include <gtest/gtest.h>

#include <string>

#include "driver.h"
#include "res/resource.h"

namespace e2e {

// The connect window and its boxes, found where the window puts them.
struct ConnectBoxes {
    HWND window = nullptr;
    HWND address = nullptr;
    HWND port = nullptr;
    HWND password = nullptr;
    HWND button = nullptr;
};

inline ConnectBoxes FindConnectBoxes(const Client& client) {
    ConnectBoxes boxes;
    boxes.window = client.ConnectWindow();
    if (!boxes.window) return boxes;
    boxes.address = ChildAt(boxes.window, "Edit", POINT{10, 10});
    boxes.port = ChildAt(boxes.window, "Edit", POINT{160, 10});
    boxes.password = ChildAt(boxes.window, "Edit", POINT{10, 45});
    boxes.button = ChildById(boxes.window, IDC_CONNECTBUTTON);
    return boxes;
}

// Shows the connect window from the menu, types the three texts as given and presses
// "Connect!". An address that the client would take must be loopback; texts that are no
// address at all are fine (the client refuses them). False if a box is missing, the address
// is not safe, or the button can't be pressed.
inline bool TypeAndConnect(const Client& client, HWND main_window, const std::string& address,
                           const std::string& port, const std::string& password) {
    unsigned long value = inet_addr(address.c_str());
    if (!address.empty() && value != INADDR_NONE && (ntohl(value) >> 24) != 127) {
        ADD_FAILURE() << "refusing to connect to " << address << ": not a loopback address";
        return false;
    }
    ConnectBoxes boxes = FindConnectBoxes(client);
    if (!boxes.address || !boxes.port || !boxes.password) return false;
    PostCommand(main_window, IDM_CONNECT);
    if (!WaitUntil([&] { return IsWindowVisible(boxes.window) != FALSE; })) return false;
    SetText(boxes.address, address);
    SetText(boxes.port, port);
    SetText(boxes.password, password);
    // Never press the button with anything else in the box, such as the default address.
    if (GetText(boxes.address) != address) return false;
    return ClickButton(boxes.window, IDC_CONNECTBUTTON);
}

constexpr const char* kAgreementCaption = "Do you accept the agreement?";

// Waits for the agreement question and answers it; returns the question's text.
inline std::string AnswerAgreement(const Client& client, int answer) {
    HWND box = WaitForMessageBox(client, kAgreementCaption);
    if (!box) {
        ADD_FAILURE() << "no agreement question";
        return "";
    }
    std::string text = MessageBoxText(box);
    AnswerMessageBox(box, answer);
    EXPECT_TRUE(WaitForWindowGone(box));
    return text;
}

// Winsock for the driver's own sockets, for the life of a scenario.
struct WinsockUser {
    WinsockUser() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
    WinsockUser(const WinsockUser&) = delete;
    WinsockUser& operator=(const WinsockUser&) = delete;
};

// A loopback port on which nothing listens: bound, read and closed again.
inline int ClosedLoopbackPort() {
    WinsockUser winsock;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof(address);
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    closesocket(s);
    return port;
}

}  // namespace e2e
