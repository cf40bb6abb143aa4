// The about window's procedure, StartBrowser, AdviseBrowserEvents and the web view's shutdown,
// with the control made by OLE: stand-ins registered for CLSID_WebBrowser, then Wine's own.
#include <gtest/gtest.h>

#include <exdisp.h>

#include <string>
#include <vector>

#include "about/about_window.h"
#include "about/web_host.h"
#include "about_support.h"
#include "app/app.h"

namespace {

// The program initialises OLE before any window exists and uninitialises it last.
class OleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }
};
const auto* const Ole = ::testing::AddGlobalTestEnvironment(new OleEnvironment);

// As the About command leaves it: AboutWindow shown and updated, no control yet. One window
// serves the whole suite: under Xvfb without a window manager, Wine waits about 2 s whenever a
// shown window is hidden or destroyed.
class AboutBrowser : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CreateTestAboutWindow(); }
    static void TearDownTestSuite() { DestroyTestAboutWindow(); }

    void SetUp() override
    {
        ASSERT_NE(AboutWindow, nullptr);
        ASSERT_EQ(BrowserObject, nullptr);
        ASSERT_EQ(Browser, nullptr);
        ASSERT_EQ(GetWindow(AboutWindow, GW_CHILD), nullptr);
        SetWindowPos(AboutWindow, nullptr, 0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
        ShowWindow(AboutWindow, SW_SHOW);
        UpdateWindow(AboutWindow);
        GetClientRect(AboutWindow, &client);
    }
    void TearDown() override { ReleaseBrowser(); }

    RECT client = {};
};

HWND ShellEmbedding() { return FindWindowExA(AboutWindow, nullptr, "Shell Embedding", nullptr); }

SIZE WindowSize(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

std::wstring LocationUrl()
{
    BSTR url = nullptr;
    if (FAILED(Browser->get_LocationURL(&url)) || !url) return L"";
    std::wstring text = url;
    SysFreeString(url);
    return text;
}

TEST_F(AboutBrowser, CloseOnlyHidesTheWindow)
{
    ASSERT_TRUE(IsWindowVisible(AboutWindow));
    EXPECT_EQ(SendMessageA(AboutWindow, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(IsWindow(AboutWindow));
    EXPECT_FALSE(IsWindowVisible(AboutWindow));

    // Everything else is the default handling.
    SendMessageA(AboutWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("renamed"));
    char title[32] = "";
    GetWindowTextA(AboutWindow, title, sizeof title);
    EXPECT_STREQ(title, "renamed");
}

// StartBrowser's conversation with the control, for controls that offer less and less.
TEST_F(AboutBrowser, StartBrowserTalksToTheControlInOrder)
{
    const std::string rect = RectText(client);
    const std::string home = Narrow(HomePageUrl);
    const std::vector<std::string> creation = {
        "control: SetHostNames(Web Host, Web View)",
        "control: DoVerb(-1, no message, the client site, -1, AboutWindow, " + rect + ")",
        "control: QueryInterface(IWebBrowser2)",
        "control: QueryInterface(IConnectionPointContainer)",
        "container: FindConnectionPoint(DWebBrowserEvents2)",
        "point: Advise(events sink)",
    };
    const std::vector<std::string> navigation = {
        "browser: Navigate2(BSTR about:blank, null, null, null, null)",
        "browser: Navigate(BSTR " + home + ", null, null, null, null)",
    };
    const std::string rectangles = "in-place: SetObjectRects(" + rect + ", " + rect + ")";

    struct Case {
        const char* name;
        bool offersBrowser;
        bool offersInPlaceObject;
        std::vector<std::string> expected;
    } cases[] = {
        {"full control", true, true, creation},
        {"no in-place object", true, false, creation},
        {"no IWebBrowser2", false, false, creation},
    };
    cases[0].expected.push_back("browser: QueryInterface(IOleInPlaceObject)");
    cases[0].expected.push_back(rectangles);
    cases[0].expected.insert(cases[0].expected.end(), navigation.begin(), navigation.end());
    cases[1].expected.push_back("browser: QueryInterface(IOleInPlaceObject)");
    cases[1].expected.insert(cases[1].expected.end(), navigation.begin(), navigation.end());

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CallLog log;
        FakeInPlaceObject inPlace(&log);
        FakeBrowser* browser = c.offersBrowser ? CreateFakeBrowser(&log, c.offersInPlaceObject ? &inPlace : nullptr)
                                               : nullptr;
        FakeConnectionPoint point(&log);
        FakeConnectionPointContainer container(&log, &point);
        FakeControl control(&log, browser, &container);
        {
            FakeControlFactory factory(&control);
            ASSERT_TRUE(factory.registered());
            EXPECT_EQ(StartBrowser(), S_OK);
        }
        EXPECT_EQ(log, c.expected);
        EXPECT_EQ(BrowserObject, static_cast<IOleObject*>(&control));
        EXPECT_EQ(static_cast<void*>(Browser), browser ? FakeBrowserInterface(browser) : nullptr);
        EXPECT_EQ(inPlace.refs, 0);
        EXPECT_EQ(container.refs, 0);
        EXPECT_EQ(point.refs, 0);

        // Shutdown lets go of the browser first, then closes the control and lets it go.
        log.clear();
        ReleaseBrowser();
        EXPECT_EQ(log, std::vector<std::string>{"control: Close(OLECLOSE_NOSAVE) with 0 browser references left"});
        EXPECT_EQ(control.refs, 0);
        if (browser) {
            EXPECT_EQ(FakeBrowserRefs(browser), 0);
        }
        EXPECT_EQ(BrowserObject, nullptr);
        EXPECT_EQ(Browser, nullptr);

        // Nothing is released twice.
        ReleaseBrowser();
        EXPECT_EQ(log.size(), 1u);
        EXPECT_EQ(control.refs, 0);
        if (browser) FreeFakeBrowser(browser);
    }
}

TEST_F(AboutBrowser, StartBrowserWithoutAControlLeavesTheWindowEmpty)
{
    {
        FakeControlFactory failing(nullptr);
        ASSERT_TRUE(failing.registered());
        EXPECT_EQ(StartBrowser(), S_OK);
    }
    EXPECT_EQ(BrowserObject, nullptr);
    EXPECT_EQ(Browser, nullptr);
    PumpMessages(50);
    EXPECT_EQ(GetWindow(AboutWindow, GW_CHILD), nullptr);
    ReleaseBrowser();
    EXPECT_EQ(BrowserObject, nullptr);
    EXPECT_EQ(Browser, nullptr);
}

TEST_F(AboutBrowser, AdviseBrowserEventsGivesUpQuietly)
{
    struct Case {
        const char* name;
        bool offersContainer;
        bool offersPoint;
        std::vector<std::string> expected;
    } cases[] = {
        {"connection point", true, true,
         {"control: QueryInterface(IConnectionPointContainer)", "container: FindConnectionPoint(DWebBrowserEvents2)",
          "point: Advise(events sink)"}},
        {"no DWebBrowserEvents2 point", true, false,
         {"control: QueryInterface(IConnectionPointContainer)", "container: FindConnectionPoint(DWebBrowserEvents2)"}},
        {"no container", false, false, {"control: QueryInterface(IConnectionPointContainer)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CallLog log;
        FakeConnectionPoint point(&log);
        FakeConnectionPointContainer container(&log, c.offersPoint ? &point : nullptr);
        FakeControl control(&log, nullptr, c.offersContainer ? &container : nullptr);
        BrowserEventSink sink;

        AdviseBrowserEvents(static_cast<IOleObject*>(&control), &sink);
        EXPECT_EQ(log, c.expected);
        EXPECT_EQ(point.advised, c.offersPoint ? static_cast<IUnknown*>(&sink) : nullptr);
        EXPECT_EQ(container.refs, 0);
        EXPECT_EQ(point.refs, 0);
        EXPECT_EQ(control.refs, 0);
    }
}

// Wine's own control, with mshtml disabled: the page stays white, and every navigation ends in
// NavigateError without anything leaving the machine.
TEST_F(AboutBrowser, StartBrowserEmbedsTheControlOverTheClientArea)
{
    ASSERT_EQ(ShellEmbedding(), nullptr);
    EXPECT_EQ(StartBrowser(), S_OK);
    ASSERT_NE(BrowserObject, nullptr);
    ASSERT_NE(Browser, nullptr);

    HWND embedding = ShellEmbedding();
    ASSERT_NE(embedding, nullptr);
    EXPECT_TRUE(IsWindowVisible(embedding));
    EXPECT_NE(FindWindowExA(embedding, nullptr, "Shell DocObject View", nullptr), nullptr);
    SIZE size = WindowSize(embedding);
    EXPECT_EQ(size.cx, client.right);
    EXPECT_EQ(size.cy, client.bottom);

    // about:blank is opened at once; the home page follows once the loop runs.
    EXPECT_EQ(Narrow(LocationUrl().c_str()), "about:blank");
    for (int i = 0; i < 100 && LocationUrl() != HomePageUrl; i++) PumpMessages(50);
    EXPECT_EQ(Narrow(LocationUrl().c_str()), Narrow(HomePageUrl));

    // Our sink is the one connection on the events point.
    IConnectionPointContainer* container = nullptr;
    ASSERT_EQ(BrowserObject->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)), S_OK);
    IConnectionPoint* point = nullptr;
    ASSERT_EQ(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &point), S_OK);
    IEnumConnections* connections = nullptr;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    CONNECTDATA data[4] = {};
    ULONG count = 0;
    connections->Next(4, data, &count);
    ASSERT_EQ(count, 1u);
    void* sink = nullptr;
    EXPECT_EQ(data[0].pUnk->QueryInterface(DIID_DWebBrowserEvents2, &sink), S_OK);
    UINT typeInfoCount = 0;
    EXPECT_EQ(static_cast<IDispatch*>(sink)->GetTypeInfoCount(&typeInfoCount), S_OK);
    EXPECT_EQ(typeInfoCount, 1u);
    static_cast<IDispatch*>(sink)->Release();
    data[0].pUnk->Release();
    connections->Release();
    point->Release();
    container->Release();

    // Hiding the window and resizing it leave the control as it was.
    SendMessageA(AboutWindow, WM_CLOSE, 0, 0);
    SetWindowPos(AboutWindow, nullptr, 0, 0, 700, 560, SWP_NOMOVE | SWP_NOZORDER);
    ShowWindow(AboutWindow, SW_SHOW);
    PumpMessages(200);
    EXPECT_EQ(ShellEmbedding(), embedding);
    size = WindowSize(embedding);
    EXPECT_EQ(size.cx, client.right);
    EXPECT_EQ(size.cy, client.bottom);

    ReleaseBrowser();
    EXPECT_EQ(BrowserObject, nullptr);
    EXPECT_EQ(Browser, nullptr);
    PumpMessages(100);
    EXPECT_FALSE(IsWindow(embedding));
}

}  // namespace
