// The about window with the web browser control inside: started by the first About command
// only, hidden (never destroyed) by its close box, and no obstacle to a clean exit.
#include <gtest/gtest.h>

#include <cstdio>

#include "res/resource.h"
#include "transfer_support.h"

using namespace e2e;

namespace {

// The control's window: a "Shell Embedding" child of the about window.
std::vector<HWND> ShellEmbeddings(HWND about) {
    std::vector<HWND> found;
    for (HWND child : Children(about))
        if (ClassOf(child) == "Shell Embedding") found.push_back(child);
    return found;
}

// How much of the window's client area is plain white, as the screen shows it.
double WhiteShare(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    HDC screen = GetDC(nullptr);
    long white = 0, all = 0;
    for (LONG y = client.top; y < client.bottom; y += 8)
        for (LONG x = client.left; x < client.right; x += 8, ++all)
            white += GetPixel(screen, x, y) == RGB(255, 255, 255);
    ReleaseDC(nullptr, screen);
    return all ? static_cast<double>(white) / all : 0.0;
}

TEST(AboutE2E, FirstAboutStartsTheControlOnceCloseOnlyHidesAndExitIsClean) {
    Client client;
    ASSERT_TRUE(client.Start());
    HWND main_window = client.MainWindow();
    ASSERT_NE(main_window, nullptr);
    HWND about = client.WaitForWindow("velto_about", "About VELTO - ZUrod GUI");
    ASSERT_NE(about, nullptr);
    EXPECT_FALSE(IsWindowVisible(about));
    EXPECT_TRUE(ShellEmbeddings(about).empty()) << "a control before the first About command";

    PostCommand(main_window, IDM_ABOUT);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(about) != FALSE; }));
    ASSERT_TRUE(WaitUntil([&] { return !ShellEmbeddings(about).empty(); }))
        << "no \"Shell Embedding\" window in the about window";
    HWND control = ShellEmbeddings(about)[0];
    // The control fills the client area.
    RECT rect = WindowRectOf(control);
    MapWindowPoints(nullptr, about, reinterpret_cast<POINT*>(&rect), 2);
    SIZE client_size = ClientSize(about);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, client_size.cx);
    EXPECT_EQ(rect.bottom, client_size.cy);
    EXPECT_TRUE(WaitForLogLine(main_window, "Browser started..."));
    EXPECT_FALSE(SaveWindowShot(about, "about-window").empty());
    std::printf("about window: %.0f%% of its client area is white\n", 100 * WhiteShare(about));

    // The close box only hides it; the main window and the control stay.
    PostClose(about);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(about) == FALSE; }));
    EXPECT_TRUE(IsWindow(about));
    EXPECT_TRUE(IsWindow(control));
    EXPECT_EQ(GetParent(control), about);
    EXPECT_TRUE(IsWindowVisible(main_window));
    EXPECT_TRUE(client.Running());

    // Shown again with the same control; no second start.
    PostCommand(main_window, IDM_ABOUT);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(about) != FALSE; }));
    EXPECT_EQ(ShellEmbeddings(about), std::vector<HWND>{control});
    EXPECT_EQ(CountLogLine(main_window, "Browser started..."), 1);

    // Exiting with the control alive ends as cleanly as without it.
    PostClose(main_window);
    HWND box = WaitForMessageBox(client, "Quit?");
    ASSERT_NE(box, nullptr);
    AnswerMessageBox(box, IDYES);
    DWORD exit_code = 1234;
    ASSERT_TRUE(client.WaitForExit(10000, &exit_code));
    EXPECT_EQ(exit_code, 0u);
}

}  // namespace
