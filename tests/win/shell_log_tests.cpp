// The program log on a real edit control, and the main window's title.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>

#include "app/app.h"
#include "app/log.h"
#include "shell_support.h"

namespace {

// LogMessage writes into a fresh edit control of LogView's kind, so each case sees only
// its own lines; the program's LogView comes back afterwards.
class LogTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(StartProgram());
        saved_ = LogView;
        LogView = CreateWindowExA(WS_EX_STATICEDGE, "Edit", "",
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_READONLY | ES_MULTILINE,
                                  10, 280, 615, 125, MainWindow, nullptr, ProgramModule(), nullptr);
        ASSERT_NE(LogView, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(LogView);
        LogView = saved_;
    }
    HWND saved_ = nullptr;
};

}  // namespace

TEST(ProgramLog, StartsWithTheStartUpLines)
{
    ASSERT_TRUE(StartProgram());
    const std::string first = "Successfully Initalized Window.\r\n"
                              "->Waiting for Winsock Initalization...\r\n"
                              "Winsock Successfully initalized.\r\n";
    EXPECT_EQ(TextOf(LogView).substr(0, first.size()), first);
}

TEST_F(LogTest, EachCallAppendsItsTextAndOneLineBreak)
{
    struct Case {
        const char* name;
        std::function<void()> log;
        const char* text;
    } cases[] = {
        {"empty text", [] { LogMessage("%s", ""); }, "\r\n"},
        {"line break inside", [] { LogMessage("one\r\ntwo"); }, "one\r\ntwo\r\n"},
        {"numbers", [] { LogMessage("Listing Directory of Length of %d", -7); },
         "Listing Directory of Length of -7\r\n"},
        {"outside text keeps its %", [] { LogMessage("%s", "100% %d %s%n done"); },
         "100% %d %s%n done\r\n"},
        {"two calls", [] { LogMessage("first"); LogMessage("second"); }, "first\r\nsecond\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetWindowTextA(LogView, "");
        c.log();
        EXPECT_EQ(TextOf(LogView), c.text);
    }
}

TEST_F(LogTest, EmptyFormatAddsAnEmptyLine)
{
    // The literal empty format, not "%s" with "" (a compiler may warn about it elsewhere).
    const char* empty = "";
    LogMessage(empty, 0);
    LogMessage("after");
    EXPECT_EQ(TextOf(LogView), "\r\nafter\r\n");
}

TEST_F(LogTest, UserSelectionIsDroppedAndCaretEndsAtTheEnd)
{
    LogMessage("alpha");
    LogMessage("beta");
    SendMessageA(LogView, EM_SETSEL, 2, 8);  // the user selects across the first line break
    LogMessage("gamma");
    std::string text = TextOf(LogView);
    EXPECT_EQ(text, "alpha\r\nbeta\r\ngamma\r\n");
    DWORD start = 0, end = 0;
    SendMessageA(LogView, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, text.size());
    EXPECT_EQ(end, text.size());
}

TEST_F(LogTest, OverlongTextIsCutNotOverrun)
{
    std::string longText(6000, 'x');
    LogMessage("%s", longText.c_str());
    LogMessage("next");
    EXPECT_EQ(TextOf(LogView), std::string(4997, 'x') + "\r\nnext\r\n");
}

TEST(MainTitle, SetMainTitleRetitlesTheMainWindow)
{
    ASSERT_TRUE(StartProgram());
    SetMainTitle("VELTO ZUrod GUI - Connected.");
    EXPECT_EQ(TextOf(MainWindow), "VELTO ZUrod GUI - Connected.");
    SetMainTitle("VELTO - ZUrod GUI Client");
    EXPECT_EQ(TextOf(MainWindow), "VELTO - ZUrod GUI Client");
}
