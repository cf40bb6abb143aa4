// What must run in a process of its own: the first DocumentComplete is a once-per-process event.
#include <gtest/gtest.h>

#include <exdispid.h>

#include <string>
#include <vector>

#include "about/about_window.h"
#include "about/web_host.h"
#include "about_support.h"
#include "app/app.h"

namespace {

// Only the first DocumentComplete of the process asks the browser for its IUnknown, and lets
// the answer go at once; later ones, of any sink, do not.
TEST(AboutFirstDocument, OnlyTheFirstDocumentCompleteTouchesTheBrowser)
{
    CallLog log;
    FakeBrowser* browser = CreateFakeBrowser(&log, nullptr);
    Browser = static_cast<IWebBrowser2*>(FakeBrowserInterface(browser));
    VARIANT arguments[2];
    VariantInit(&arguments[0]);
    VariantInit(&arguments[1]);
    DISPPARAMS params = {arguments, nullptr, 2, 0};
    BrowserEventSink first, second;

    struct Step {
        const char* name;
        BrowserEventSink* sink;
        DISPID id;
        size_t queries;  // of the browser, so far
    } steps[] = {
        {"NavigateComplete2", &first, DISPID_NAVIGATECOMPLETE2, 0},
        {"first DocumentComplete", &first, DISPID_DOCUMENTCOMPLETE, 1},
        {"second DocumentComplete", &first, DISPID_DOCUMENTCOMPLETE, 1},
        {"DocumentComplete at another sink", &second, DISPID_DOCUMENTCOMPLETE, 1},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        EXPECT_EQ(step.sink->Invoke(step.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                                    nullptr, nullptr),
                  S_OK);
        EXPECT_EQ(log, std::vector<std::string>(step.queries, "browser: QueryInterface(IUnknown)"));
        EXPECT_EQ(FakeBrowserRefs(browser), 0);
    }
    Browser = nullptr;
    FreeFakeBrowser(browser);
}

}  // namespace
