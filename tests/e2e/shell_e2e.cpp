// The application shell as a user meets it: the three windows, the menu, the main window's
// controls and first log lines, and the way out.
#include <gtest/gtest.h>

#include <iterator>

#include "driver.h"
#include "res/resource.h"

using namespace e2e;

namespace {

class ShellE2E : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(client.Start());
        main_window = client.MainWindow();
        ASSERT_NE(main_window, nullptr) << "no main window";
    }

    Client client;
    HWND main_window = nullptr;
};

struct TopLevel {
    const char* class_name;
    const char* title;
    int width, height;
    bool visible;
};

TEST_F(ShellE2E, TopLevelWindowsHaveTheirClassTitleSizeAndFixedFrame) {
    const TopLevel windows[] = {
        {"velto", "VELTO - ZUrod GUI Client", 640, 480, true},
        {"velto_about", "About VELTO - ZUrod GUI", 640, 480, false},
        {"velto_connect", "Connect To IP", 290, 115, false},
    };
    for (const TopLevel& expected : windows) {
        SCOPED_TRACE(expected.class_name);
        HWND window = client.WaitForWindow(expected.class_name, expected.title);
        ASSERT_NE(window, nullptr);
        SIZE size = WindowSize(window);
        EXPECT_EQ(size.cx, expected.width);
        EXPECT_EQ(size.cy, expected.height);
        EXPECT_EQ(IsWindowVisible(window) != FALSE, expected.visible);
        LONG_PTR style = StyleOf(window);
        EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX), WS_SYSMENU | WS_MINIMIZEBOX);
        EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CHILD | WS_POPUP), 0);
        EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
    }
    EXPECT_NE(GetMenu(main_window), nullptr);
    EXPECT_EQ(GetMenu(client.ConnectWindow()), nullptr);
    EXPECT_EQ(GetMenu(client.AboutWindow()), nullptr);
    EXPECT_FALSE(SaveWindowShot(main_window, "shell-main-window").empty());
}

TEST(ShellMenuE2E, ResourceMenuHasFileAndHelpWithTheirCommands) {
    std::vector<MenuItem> menu = LoadMenuFromExe(ClientExePath(), IDR_MAINMENU);
    ASSERT_EQ(menu.size(), 2u);

    EXPECT_EQ(menu[0].text, "File");
    struct Entry {
        const char* text;
        UINT id;
        bool separator;
    };
    const Entry file_entries[] = {
        {"Connect to IP", IDM_CONNECT, false},
        {"Disconnect", IDM_DISCONNECT, false},
        {"", 0, true},
        {"E&xit", IDM_EXIT, false},
    };
    ASSERT_EQ(menu[0].items.size(), std::size(file_entries));
    for (size_t i = 0; i < std::size(file_entries); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(menu[0].items[i].text, file_entries[i].text);
        EXPECT_EQ(menu[0].items[i].id, file_entries[i].id);
        EXPECT_EQ(menu[0].items[i].separator, file_entries[i].separator);
    }

    EXPECT_EQ(menu[1].text, "Help");
    ASSERT_EQ(menu[1].items.size(), 1u);
    EXPECT_EQ(menu[1].items[0].text, "&About");
    EXPECT_EQ(menu[1].items[0].id, static_cast<UINT>(IDM_ABOUT));
}

TEST_F(ShellE2E, StartsWithEmptyDisabledFileListEmptyProgressAndThreeLogLines) {
    HWND list = FileListOf(main_window);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ListBoxCount(list), 0);
    EXPECT_FALSE(IsWindowEnabled(list));
    EXPECT_EQ(StyleOf(list) & (LBS_SORT | LBS_NOTIFY), LBS_SORT | LBS_NOTIFY);
    RECT list_rect = WindowRectOf(list);
    MapWindowPoints(nullptr, main_window, reinterpret_cast<POINT*>(&list_rect), 2);
    EXPECT_EQ(list_rect.left, 10);
    EXPECT_EQ(list_rect.top, 10);
    EXPECT_EQ(WindowSize(list).cx, 250);  // its height snaps to whole entries

    HWND log = LogViewOf(main_window);
    ASSERT_NE(log, nullptr) << "no Edit at (10, 280)";
    EXPECT_EQ(WindowSize(log).cx, 615);
    EXPECT_EQ(WindowSize(log).cy, 125);
    EXPECT_EQ(StyleOf(log) & (ES_READONLY | ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER),
              ES_READONLY | ES_MULTILINE);

    // The progress bar runs along the bottom of the client area, empty.
    HWND bar = ProgressBarOf(main_window);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(ProgressPos(bar), 0);
    RECT bar_rect = WindowRectOf(bar);
    MapWindowPoints(nullptr, main_window, reinterpret_cast<POINT*>(&bar_rect), 2);
    SIZE client_size = ClientSize(main_window);
    EXPECT_EQ(bar_rect.left, 0);
    EXPECT_EQ(bar_rect.right, client_size.cx);
    EXPECT_EQ(bar_rect.bottom, client_size.cy);

    const std::vector<std::string> first_lines = {
        "Successfully Initalized Window.",
        "->Waiting for Winsock Initalization...",
        "Winsock Successfully initalized.",
    };
    ASSERT_TRUE(WaitUntil([&] { return LogLines(main_window).size() >= 3; }));
    EXPECT_EQ(LogLines(main_window), first_lines);
    EXPECT_EQ(GetText(log).substr(GetText(log).size() - 2), "\r\n");
}

// Closing the window and the Exit command ask the same question; No keeps the program,
// Yes ends it with exit code 0.
TEST(ShellExitE2E, ExitQuestionNoKeepsRunningYesEndsWithCodeZero) {
    struct Way {
        const char* name;
        void (*ask)(HWND);
    };
    const Way ways[] = {
        {"close box", [](HWND window) { PostClose(window); }},
        {"Exit command", [](HWND window) { PostCommand(window, IDM_EXIT); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        Client client;
        ASSERT_TRUE(client.Start());
        HWND main_window = client.MainWindow();
        ASSERT_NE(main_window, nullptr);

        way.ask(main_window);
        HWND box = WaitForMessageBox(client, "Quit?");
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), "Are you sure you wish to Exit?");
        EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
        EXPECT_NE(GetDlgItem(box, IDNO), nullptr);
        AnswerMessageBox(box, IDNO);
        ASSERT_TRUE(WaitForWindowGone(box));
        Sleep(300);  // time for a wrongly accepted close to end the process
        EXPECT_TRUE(client.Running());
        EXPECT_TRUE(IsWindowVisible(main_window));

        way.ask(main_window);
        box = WaitForMessageBox(client, "Quit?");
        ASSERT_NE(box, nullptr);
        AnswerMessageBox(box, IDYES);
        DWORD exit_code = 1234;
        ASSERT_TRUE(client.WaitForExit(10000, &exit_code));
        EXPECT_EQ(exit_code, 0u);
    }
}

}  // namespace
