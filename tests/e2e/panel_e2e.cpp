// The status panel as the screen shows it: the banner, and the red byte count that appears
// once a download has announced its size; and the drawing objects the continual repainting
// holds.
#include <gtest/gtest.h>

#include <cstdio>

#include "transfer_support.h"

using namespace e2e;

namespace {

// The panel in the main window's client area, and its banner's height.
constexpr RECT kPanel = {270, 10, 590, 260};
constexpr int kBannerHeight = 108;

// The colours of `area` (client coordinates of `window`) as the screen shows them, row by row.
std::vector<COLORREF> ScreenPixels(HWND window, RECT area) {
    POINT origin = {area.left, area.top};
    ClientToScreen(window, &origin);
    int width = area.right - area.left;
    int height = area.bottom - area.top;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<COLORREF> pixels;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, screen, origin.x, origin.y, SRCCOPY)) {
            GdiFlush();
            const DWORD* row = static_cast<const DWORD*>(bits);
            for (int i = 0; i < width * height; ++i)  // 0x00RRGGBB
                pixels.push_back(RGB((row[i] >> 16) & 255, (row[i] >> 8) & 255, row[i] & 255));
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

struct PanelLook {
    int red_below_banner = 0;   // pure RGB(255, 0, 0): the byte count's text
    int banner_not_background = 0;
};

PanelLook LookAtPanel(HWND main_window) {
    SetForegroundWindow(main_window);
    Sleep(300);  // a few timer ticks: the panel is repainted with the current counts
    const COLORREF background = RGB(236, 233, 216);
    const int width = kPanel.right - kPanel.left;
    std::vector<COLORREF> pixels = ScreenPixels(main_window, kPanel);
    PanelLook look;
    for (size_t i = 0; i < pixels.size(); ++i) {
        bool in_banner = static_cast<int>(i) / width < kBannerHeight;
        if (in_banner)
            look.banner_not_background += pixels[i] != background;
        else
            look.red_below_banner += pixels[i] == RGB(255, 0, 0);
    }
    return look;
}

TEST(PanelE2E, RedByteCountBelowTheBannerOnlyOnceADownloadHasBegun) {
    ReferenceServer server;
    ASSERT_NE(server.port, 0) << "VELTO_E2E_PORT is not set: run scripts/e2e.sh";
    Client client;
    ASSERT_TRUE(client.Start());
    HWND main_window = client.MainWindow();
    ASSERT_NE(main_window, nullptr);
    ASSERT_TRUE(ConnectAndAccept(client, "127.0.0.1", server.port, server.password));
    ASSERT_TRUE(WaitUntil([&] { return EntryIndex(main_window, "data.bin") >= 0; }));

    // A listing counts bytes too, but without an announced file size there is no text.
    PanelLook before = LookAtPanel(main_window);
    EXPECT_EQ(before.red_below_banner, 0);
    EXPECT_GT(before.banner_not_background, 0) << "no banner";

    const std::string target = JoinPath(server.downloads, "panel-data.bin");
    ASSERT_TRUE(SaveEntryAs(client, main_window, "data.bin", target));
    ASSERT_TRUE(WaitForLogLine(main_window, "File " + target + " successfully transfered!."));
    PanelLook after = LookAtPanel(main_window);
    EXPECT_GT(after.red_below_banner, 0) << "no \"Bytes Completed\" line";
    EXPECT_GT(after.banner_not_background, 0);
    std::printf("panel: %d red pixels below the banner after the download\n",
                after.red_below_banner);
    EXPECT_FALSE(SaveWindowShot(main_window, "panel-after-download").empty());
}

// Wine keeps no count of another process's drawing objects (GetGuiResources answers 0);
// there the in-process StatusPanelTest.ThousandsOfRepaintsHoldNoMoreDrawingObjects counts them.
TEST(PanelE2E, ThousandsOfTimerTicksHoldTheDrawingObjectCount) {
    Client client;
    ASSERT_TRUE(client.Start());
    HWND main_window = client.MainWindow();
    ASSERT_NE(main_window, nullptr);
    Sleep(1000);  // start-up's own objects settle
    DWORD before = GetGuiResources(client.Process(), GR_GDIOBJECTS);
    if (before == 0)
        GTEST_SKIP() << "GetGuiResources gives no GDI object count for the client here";
    Sleep(15000);  // 1500 ticks at the system's 10 ms minimum, each a full repaint
    EXPECT_EQ(GetGuiResources(client.Process(), GR_GDIOBJECTS), before);
    EXPECT_TRUE(client.Running());
}

}  // namespace
