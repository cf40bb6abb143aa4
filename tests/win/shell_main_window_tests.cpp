// The main window: its children, its menu commands, closing, and the status panel.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "about/about_window.h"
#include "app/app.h"
#include "app/status_panel.h"
#include "client/conversation.h"
#include "client/front_end.h"
#include "res/resource.h"
#include "shell_support.h"

namespace {

struct Tooltips {
    HWND owner;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTooltip(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<Tooltips*>(data);
    if (ClassOf(window) == TOOLTIPS_CLASSA && GetWindow(window, GW_OWNER) == search->owner)
        search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> TooltipsOwnedBy(HWND owner)
{
    Tooltips search{owner, {}};
    EnumThreadWindows(GetCurrentThreadId(), CollectTooltip, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::string LogText()
{
    return TextOf(LogView);
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

}  // namespace

// The tip text of one tool of a tooltip control ("" when it has no such tool).
std::string ToolText(HWND tooltip, HWND tool, UINT_PTR id)
{
    char text[256] = {};
    TOOLINFOA info = {};
    info.cbSize = TTTOOLINFOA_V2_SIZE;
    info.hwnd = tool;
    info.uId = id;
    info.lpszText = text;
    SendMessageA(tooltip, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
    return text;
}

TEST(MainWindowChildren, ControlsAsCreated)
{
    ASSERT_TRUE(StartProgram());
    RECT client;
    GetClientRect(MainWindow, &client);
    const int barHeight = GetSystemMetrics(SM_CYVSCROLL);
    struct Case {
        HWND window;
        const char* className;
        LONG_PTR styles;
        LONG_PTR absentStyles;
        RECT rect;
        int id;
        HFONT font;
    } cases[] = {
        // (the list box drops WS_VSCROLL itself while its entries need no scroll bar)
        {FileList, "ListBox", WS_CHILD | WS_VISIBLE | WS_BORDER | LBS_SORT | LBS_NOTIFY, 0,
         {10, 10, 260, 260}, 1, UiFont},
        {LogView, "Edit", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_READONLY | ES_MULTILINE,
         ES_AUTOVSCROLL | WS_BORDER, {10, 280, 625, 405}, 0, UiFont},
        {ProgressBar, PROGRESS_CLASSA, WS_CHILD | WS_VISIBLE, 0,
         {0, client.bottom - barHeight, client.right, client.bottom}, 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.className);
        ASSERT_TRUE(IsWindow(c.window));
        EXPECT_EQ(GetParent(c.window), MainWindow);
        EXPECT_EQ(ClassOf(c.window), c.className);
        LONG_PTR style = GetWindowLongPtrA(c.window, GWL_STYLE);
        EXPECT_EQ(style & c.styles, c.styles);
        EXPECT_EQ(style & c.absentStyles, 0);
        RECT rect = RectInParent(c.window);
        EXPECT_EQ(rect.left, c.rect.left);
        EXPECT_EQ(rect.top, c.rect.top);
        EXPECT_EQ(rect.right, c.rect.right);
        if (c.window == FileList) {  // a list box trims itself to whole lines
            EXPECT_GT(rect.bottom, c.rect.bottom - 20);
        } else {
            EXPECT_EQ(rect.bottom, c.rect.bottom);
        }
        EXPECT_EQ(GetDlgCtrlID(c.window), c.id);
        if (c.font) {
            EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(c.window, WM_GETFONT, 0, 0)), c.font);
        }
    }
    EXPECT_TRUE(GetWindowLongPtrA(FileList, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    EXPECT_TRUE(GetWindowLongPtrA(LogView, GWL_EXSTYLE) & WS_EX_STATICEDGE);
}

TEST(MainWindowChildren, StartStateOfListAndProgressBar)
{
    ASSERT_TRUE(StartProgram());
    EXPECT_FALSE(IsWindowEnabled(FileList));
    EXPECT_EQ(SendMessageA(FileList, LB_GETCOUNT, 0, 0), 0);
    PBRANGE range = {};
    SendMessageA(ProgressBar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    EXPECT_EQ(range.iLow, 0);
    EXPECT_EQ(range.iHigh, 100);
    EXPECT_EQ(SendMessageA(ProgressBar, PBM_GETPOS, 0, 0), 0);
}

TEST(MainWindowChildren, TipsOfListAndLog)
{
    ASSERT_TRUE(StartProgram());
    std::vector<HWND> tips = TooltipsOwnedBy(MainWindow);
    ASSERT_EQ(tips.size(), 1u);
    EXPECT_EQ(SendMessageA(tips[0], TTM_GETTOOLCOUNT, 0, 0), 2);
    EXPECT_EQ(ToolText(tips[0], FileList, 0), "Double click to download a file!");
    EXPECT_EQ(ToolText(tips[0], LogView, 1), "Program Log Window");
}

TEST(MainWindowChildren, PanelTimerTicks)
{
    ASSERT_TRUE(StartProgram());
    MSG tick = {};
    bool ticked = PumpUntil([&] {
        return PeekMessageA(&tick, MainWindow, WM_TIMER, WM_TIMER, PM_NOREMOVE) != FALSE;
    }, 2000);
    ASSERT_TRUE(ticked);
    EXPECT_EQ(tick.wParam, PanelTimer);
}

TEST(MainWindowCommands, ConnectToIpShowsTheConnectWindowEvenWhenShown)
{
    ASSERT_TRUE(StartProgram());
    for (int time = 0; time < 2; ++time) {
        SendMessageA(MainWindow, WM_COMMAND, IDM_CONNECT, 0);
        EXPECT_TRUE(IsWindowVisible(ConnectWindow));
    }
    ShowWindow(ConnectWindow, SW_HIDE);
}

TEST(MainWindowCommands, ExitAndCloseAskTheSameQuestionAndNoKeepsAll)
{
    ASSERT_TRUE(StartProgram());
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
    } cases[] = {{"Exit command", WM_COMMAND, IDM_EXIT}, {"close button", WM_CLOSE, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogWatcher watcher(IDNO);
        SendMessageA(MainWindow, c.message, c.wParam, 0);
        std::vector<SeenDialog> boxes = watcher.Stop();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, "Quit?");
        EXPECT_EQ(boxes[0].text, "Are you sure you wish to Exit?");
        EXPECT_EQ(boxes[0].owner, MainWindow);
        EXPECT_TRUE(IsWindow(MainWindow));
        MSG quit;
        EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
    }
}

TEST(MainWindowCommands, AboutStartsTheBrowserOnce)
{
    ASSERT_TRUE(StartProgram());
    for (int time = 0; time < 2; ++time) {
        SCOPED_TRACE(time);
        ShowWindow(AboutWindow, SW_HIDE);
        SendMessageA(MainWindow, WM_COMMAND, IDM_ABOUT, 0);
        EXPECT_TRUE(IsWindowVisible(AboutWindow));
        EXPECT_NE(BrowserObject, nullptr);
        EXPECT_EQ(Occurrences(LogText(), "Browser started...\r\n"), 1u);
    }
    ShowWindow(AboutWindow, SW_HIDE);
    PumpPending();
}

TEST(MainWindowCommands, OnlyADoubleClickInTheListActsOnItsEntry)
{
    ASSERT_TRUE(StartProgram());
    FileListReset();
    FileListAdd("readme.txt");
    SendMessageA(FileList, LB_SETCURSEL, 0, 0);
    struct Case {
        const char* name;
        WPARAM wParam;
        bool savesFile;
    } cases[] = {
        {"selection change", MAKEWPARAM(IDC_FILELIST, LBN_SELCHANGE), false},
        {"double click of another control", MAKEWPARAM(IDC_FILELIST + 1, LBN_DBLCLK), false},
        {"double click", MAKEWPARAM(IDC_FILELIST, LBN_DBLCLK), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DialogWatcher watcher(IDCANCEL);
        SendMessageA(MainWindow, WM_COMMAND, c.wParam, reinterpret_cast<LPARAM>(FileList));
        std::vector<SeenDialog> dialogs = watcher.Stop();
        ASSERT_EQ(dialogs.size(), c.savesFile ? 1u : 0u);
        if (c.savesFile) {
            EXPECT_EQ(dialogs[0].caption, "Save File");
        }
    }
    FileListReset();
}

namespace {

// The status panel as the screen shows it.
class StatusPanelTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartProgram());
        savedDone_ = BytesDone;
        savedTotal_ = BytesTotal;
    }
    void TearDown() override
    {
        BytesDone = savedDone_;
        BytesTotal = savedTotal_;
    }
    static void Repaint()
    {
        InvalidateRect(MainWindow, &StatusPanelRect, FALSE);
        UpdateWindow(MainWindow);
    }
    // Colour at a point of the panel.
    static COLORREF PanelPixel(int x, int y)
    {
        HDC dc = GetDC(MainWindow);
        COLORREF colour = GetPixel(dc, StatusPanelRect.left + x, StatusPanelRect.top + y);
        ReleaseDC(MainWindow, dc);
        return colour;
    }
    // Pure red points in the text's band of the panel.
    static int RedPointsInTextBand()
    {
        HDC dc = GetDC(MainWindow);
        int red = 0;
        for (int y = 115; y < 145; ++y)
            for (int x = 0; x < 320; ++x)
                red += GetPixel(dc, StatusPanelRect.left + x, StatusPanelRect.top + y) ==
                       RGB(255, 0, 0);
        ReleaseDC(MainWindow, dc);
        return red;
    }
    uint32_t savedDone_ = 0;
    uint32_t savedTotal_ = 0;
};

}  // namespace

TEST_F(StatusPanelTest, TextAppearsOnlyOnceASizeIsAnnounced)
{
    struct Case {
        uint32_t done, total;
        bool text;
    } cases[] = {{0, 0, false}, {5000, 0, false}, {0, 1000, true}, {500, 1000, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.done << "/" << c.total);
        BytesDone = c.done;
        BytesTotal = c.total;
        Repaint();
        if (c.text)
            EXPECT_GT(RedPointsInTextBand(), 20);
        else
            EXPECT_EQ(RedPointsInTextBand(), 0);
        // The background below the text and the banner across the top.
        EXPECT_EQ(PanelPixel(5, 240), RGB(236, 233, 216));
        EXPECT_NE(PanelPixel(5, 50), RGB(236, 233, 216));
        EXPECT_NE(PanelPixel(315, 104), RGB(236, 233, 216)) << "banner stretched to 108 rows";
        EXPECT_EQ(PanelPixel(315, 110), RGB(236, 233, 216));
    }
}

TEST_F(StatusPanelTest, TimerMarksThePanelOnly)
{
    ValidateRect(MainWindow, nullptr);
    SendMessageA(MainWindow, WM_TIMER, PanelTimer, 0);
    RECT update = {};
    ASSERT_TRUE(GetUpdateRect(MainWindow, &update, FALSE));
    EXPECT_EQ(update.left, StatusPanelRect.left);
    EXPECT_EQ(update.top, StatusPanelRect.top);
    EXPECT_EQ(update.right, StatusPanelRect.right);
    EXPECT_EQ(update.bottom, StatusPanelRect.bottom);
    UpdateWindow(MainWindow);
}

TEST_F(StatusPanelTest, ThousandsOfRepaintsHoldNoMoreDrawingObjects)
{
    BytesDone = 123;
    BytesTotal = 1000;
    auto cycle = [] {
        SendMessageA(MainWindow, WM_TIMER, PanelTimer, 0);
        UpdateWindow(MainWindow);
    };
    for (int i = 0; i < 50; ++i)  // the system's own caches settle first
        cycle();
    long before = CountGdiObjects();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 2000; ++i)
        cycle();
    EXPECT_EQ(CountGdiObjects(), before);
}
