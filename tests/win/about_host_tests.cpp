// The container objects the web browser control calls back, through their real vtables.
#include <gtest/gtest.h>

#include <exdisp.h>
#include <exdispid.h>

#include <cstring>
#include <functional>
#include <vector>

#include "about/about_window.h"
#include "about/web_host.h"
#include "about_support.h"
#include "app/app.h"

namespace {

void* const StrayPointer = reinterpret_cast<void*>(static_cast<uintptr_t>(0x5a5a5a50));
HWND const StrayWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x5a5a));

// What a method may write, preset to values it must overwrite or leave alone.
struct Outputs {
    void* pointer = StrayPointer;
    HWND window = StrayWindow;
    DOCHOSTUIINFO hostInfo;
    Outputs() { memset(&hostInfo, 0xab, sizeof hostInfo); }
};

enum Effect {
    NoEffect,        // nothing written that the test can see
    ClearsPointer,   // the out-pointer is null afterwards
    WritesWindow,    // the window out-parameter is AboutWindow
    LeavesHostInfo,  // the DOCHOSTUIINFO record is not touched
};

struct MethodCase {
    const char* method;
    HRESULT expected;
    Effect effect;
    std::function<HRESULT(Outputs&)> call;
};

template <class T>
T** As(void*& pointer)
{
    return reinterpret_cast<T**>(&pointer);
}

void CheckCases(const std::vector<MethodCase>& cases)
{
    for (const MethodCase& c : cases) {
        SCOPED_TRACE(c.method);
        Outputs out;
        EXPECT_EQ(c.call(out), c.expected);
        switch (c.effect) {
        case NoEffect:
            EXPECT_EQ(out.pointer, StrayPointer);
            EXPECT_EQ(out.window, StrayWindow);
            break;
        case ClearsPointer:
            EXPECT_EQ(out.pointer, nullptr);
            break;
        case WritesWindow:
            EXPECT_EQ(out.window, AboutWindow);
            break;
        case LeavesHostInfo: {
            DOCHOSTUIINFO untouched;
            memset(&untouched, 0xab, sizeof untouched);
            EXPECT_EQ(memcmp(&out.hostInfo, &untouched, sizeof untouched), 0);
            break;
        }
        }
    }
}

IDocHostUIHandler* QueryHandler()
{
    void* handler = StrayPointer;
    EXPECT_EQ(static_cast<IOleClientSite*>(&TheClientSite)->QueryInterface(IID_IDocHostUIHandler, &handler), S_OK);
    return static_cast<IDocHostUIHandler*>(handler);
}

class AboutHost : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(CreateTestAboutWindow(), nullptr); }
    void TearDown() override { DestroyTestAboutWindow(); }

    IOleClientSite* site = &TheClientSite;
    IOleInPlaceSite* inPlaceSite = &TheClientSite;
    IOleInPlaceFrame* frame = &TheInPlaceFrame;
    IStorage* storage = &TheHostStorage;
};

TEST_F(AboutHost, ClientSiteMethods)
{
    SIZE extent = {10, 10};
    RECT rect = {0, 0, 10, 10};
    CheckCases({
        {"SaveObject", E_NOTIMPL, NoEffect, [&](Outputs&) { return site->SaveObject(); }},
        {"GetMoniker", E_NOTIMPL, ClearsPointer,
         [&](Outputs& o) { return site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, As<IMoniker>(o.pointer)); }},
        {"GetContainer", E_NOINTERFACE, ClearsPointer,
         [&](Outputs& o) { return site->GetContainer(As<IOleContainer>(o.pointer)); }},
        {"ShowObject", S_OK, NoEffect, [&](Outputs&) { return site->ShowObject(); }},
        {"OnShowWindow", E_NOTIMPL, NoEffect, [&](Outputs&) { return site->OnShowWindow(TRUE); }},
        {"RequestNewObjectLayout", E_NOTIMPL, NoEffect, [&](Outputs&) { return site->RequestNewObjectLayout(); }},
        {"GetWindow", S_OK, WritesWindow, [&](Outputs& o) { return inPlaceSite->GetWindow(&o.window); }},
        {"ContextSensitiveHelp", E_NOTIMPL, NoEffect, [&](Outputs&) { return inPlaceSite->ContextSensitiveHelp(TRUE); }},
        {"CanInPlaceActivate", S_OK, NoEffect, [&](Outputs&) { return inPlaceSite->CanInPlaceActivate(); }},
        {"OnInPlaceActivate", S_OK, NoEffect, [&](Outputs&) { return inPlaceSite->OnInPlaceActivate(); }},
        {"OnUIActivate", S_OK, NoEffect, [&](Outputs&) { return inPlaceSite->OnUIActivate(); }},
        {"Scroll", E_NOTIMPL, NoEffect, [&](Outputs&) { return inPlaceSite->Scroll(extent); }},
        {"OnUIDeactivate", S_OK, NoEffect, [&](Outputs&) { return inPlaceSite->OnUIDeactivate(FALSE); }},
        {"OnInPlaceDeactivate", S_OK, NoEffect, [&](Outputs&) { return inPlaceSite->OnInPlaceDeactivate(); }},
        {"DiscardUndoState", E_NOTIMPL, NoEffect, [&](Outputs&) { return inPlaceSite->DiscardUndoState(); }},
        {"DeactivateAndUndo", E_NOTIMPL, NoEffect, [&](Outputs&) { return inPlaceSite->DeactivateAndUndo(); }},
        {"OnPosRectChange", S_OK, NoEffect, [&](Outputs&) { return inPlaceSite->OnPosRectChange(&rect); }},
    });
}

TEST_F(AboutHost, InPlaceFrameMethods)
{
    RECT border;
    BORDERWIDTHS widths = {1, 1, 1, 1};
    OLEMENUGROUPWIDTHS groups = {};
    MSG message = {};
    CheckCases({
        {"QueryInterface(IUnknown)", E_NOTIMPL, ClearsPointer,
         [&](Outputs& o) { return frame->QueryInterface(IID_IUnknown, &o.pointer); }},
        {"QueryInterface(IOleInPlaceFrame)", E_NOTIMPL, ClearsPointer,
         [&](Outputs& o) { return frame->QueryInterface(IID_IOleInPlaceFrame, &o.pointer); }},
        {"GetWindow", S_OK, WritesWindow, [&](Outputs& o) { return frame->GetWindow(&o.window); }},
        {"ContextSensitiveHelp", E_NOTIMPL, NoEffect, [&](Outputs&) { return frame->ContextSensitiveHelp(TRUE); }},
        {"GetBorder", E_NOTIMPL, NoEffect, [&](Outputs&) { return frame->GetBorder(&border); }},
        {"RequestBorderSpace", E_NOTIMPL, NoEffect, [&](Outputs&) { return frame->RequestBorderSpace(&widths); }},
        {"SetBorderSpace", E_NOTIMPL, NoEffect, [&](Outputs&) { return frame->SetBorderSpace(&widths); }},
        {"SetActiveObject", S_OK, NoEffect, [&](Outputs&) { return frame->SetActiveObject(nullptr, L"x"); }},
        {"InsertMenus", E_NOTIMPL, NoEffect, [&](Outputs&) { return frame->InsertMenus(nullptr, &groups); }},
        {"SetMenu", S_OK, NoEffect, [&](Outputs&) { return frame->SetMenu(nullptr, nullptr, nullptr); }},
        {"RemoveMenus", E_NOTIMPL, NoEffect, [&](Outputs&) { return frame->RemoveMenus(nullptr); }},
        {"SetStatusText", S_OK, NoEffect, [&](Outputs&) { return frame->SetStatusText(L"Done"); }},
        {"EnableModeless", S_OK, NoEffect, [&](Outputs&) { return frame->EnableModeless(TRUE); }},
        {"TranslateAccelerator", E_NOTIMPL, NoEffect, [&](Outputs&) { return frame->TranslateAccelerator(&message, 0); }},
    });
}

TEST_F(AboutHost, HostStorageMethods)
{
    FILETIME time = {};
    STATSTG stat = {};
    CheckCases({
        {"QueryInterface(IStorage)", E_NOTIMPL, ClearsPointer,
         [&](Outputs& o) { return storage->QueryInterface(IID_IStorage, &o.pointer); }},
        {"CreateStream", E_NOTIMPL, ClearsPointer,
         [&](Outputs& o) { return storage->CreateStream(L"s", STGM_CREATE, 0, 0, As<IStream>(o.pointer)); }},
        {"OpenStream", E_NOTIMPL, ClearsPointer,
         [&](Outputs& o) { return storage->OpenStream(L"s", nullptr, STGM_READ, 0, As<IStream>(o.pointer)); }},
        {"CreateStorage", E_NOTIMPL, ClearsPointer,
         [&](Outputs& o) { return storage->CreateStorage(L"s", STGM_CREATE, 0, 0, As<IStorage>(o.pointer)); }},
        {"OpenStorage", E_NOTIMPL, ClearsPointer,
         [&](Outputs& o) { return storage->OpenStorage(L"s", nullptr, STGM_READ, nullptr, 0, As<IStorage>(o.pointer)); }},
        {"CopyTo", E_NOTIMPL, NoEffect, [&](Outputs&) { return storage->CopyTo(0, nullptr, nullptr, storage); }},
        {"MoveElementTo", E_NOTIMPL, NoEffect, [&](Outputs&) { return storage->MoveElementTo(L"a", storage, L"b", 0); }},
        {"Commit", E_NOTIMPL, NoEffect, [&](Outputs&) { return storage->Commit(STGC_DEFAULT); }},
        {"Revert", E_NOTIMPL, NoEffect, [&](Outputs&) { return storage->Revert(); }},
        {"EnumElements", E_NOTIMPL, ClearsPointer,
         [&](Outputs& o) { return storage->EnumElements(0, nullptr, 0, As<IEnumSTATSTG>(o.pointer)); }},
        {"DestroyElement", E_NOTIMPL, NoEffect, [&](Outputs&) { return storage->DestroyElement(L"a"); }},
        {"RenameElement", E_NOTIMPL, NoEffect, [&](Outputs&) { return storage->RenameElement(L"a", L"b"); }},
        {"SetElementTimes", E_NOTIMPL, NoEffect, [&](Outputs&) { return storage->SetElementTimes(L"a", &time, &time, &time); }},
        {"SetClass", S_OK, NoEffect, [&](Outputs&) { return storage->SetClass(CLSID_WebBrowser); }},
        {"SetStateBits", E_NOTIMPL, NoEffect, [&](Outputs&) { return storage->SetStateBits(0, 0); }},
        {"Stat", E_NOTIMPL, NoEffect, [&](Outputs&) { return storage->Stat(&stat, STATFLAG_NONAME); }},
    });
}

TEST_F(AboutHost, DocHostHandlerLeavesEveryDecisionToTheControl)
{
    IDocHostUIHandler* handler = QueryHandler();
    ASSERT_NE(handler, nullptr);
    POINT point = {1, 1};
    RECT border = {0, 0, 1, 1};
    MSG message = {};
    wchar_t url[] = L"about:blank";
    CheckCases({
        {"ShowContextMenu", S_FALSE, NoEffect, [&](Outputs&) { return handler->ShowContextMenu(0, &point, nullptr, nullptr); }},
        {"GetHostInfo", S_FALSE, LeavesHostInfo, [&](Outputs& o) { return handler->GetHostInfo(&o.hostInfo); }},
        {"ShowUI", S_FALSE, NoEffect, [&](Outputs&) { return handler->ShowUI(0, nullptr, nullptr, frame, nullptr); }},
        {"HideUI", S_FALSE, NoEffect, [&](Outputs&) { return handler->HideUI(); }},
        {"UpdateUI", S_FALSE, NoEffect, [&](Outputs&) { return handler->UpdateUI(); }},
        {"EnableModeless", S_FALSE, NoEffect, [&](Outputs&) { return handler->EnableModeless(TRUE); }},
        {"OnDocWindowActivate", S_FALSE, NoEffect, [&](Outputs&) { return handler->OnDocWindowActivate(TRUE); }},
        {"OnFrameWindowActivate", S_FALSE, NoEffect, [&](Outputs&) { return handler->OnFrameWindowActivate(TRUE); }},
        {"ResizeBorder", S_FALSE, NoEffect, [&](Outputs&) { return handler->ResizeBorder(&border, nullptr, TRUE); }},
        {"TranslateAccelerator", S_FALSE, NoEffect, [&](Outputs&) { return handler->TranslateAccelerator(&message, nullptr, 0); }},
        // S_FALSE is a success code: the out-parameters must not be left pointing anywhere.
        {"GetOptionKeyPath", S_FALSE, ClearsPointer,
         [&](Outputs& o) { return handler->GetOptionKeyPath(As<wchar_t>(o.pointer), 0); }},
        {"GetDropTarget", S_FALSE, ClearsPointer,
         [&](Outputs& o) { return handler->GetDropTarget(nullptr, As<IDropTarget>(o.pointer)); }},
        {"GetExternal", S_FALSE, ClearsPointer, [&](Outputs& o) { return handler->GetExternal(As<IDispatch>(o.pointer)); }},
        {"TranslateUrl", S_FALSE, ClearsPointer,
         [&](Outputs& o) { return handler->TranslateUrl(0, url, As<wchar_t>(o.pointer)); }},
        {"FilterDataObject", S_FALSE, ClearsPointer,
         [&](Outputs& o) { return handler->FilterDataObject(nullptr, As<IDataObject>(o.pointer)); }},
    });
}

TEST_F(AboutHost, ClientSiteAnswersForTheWholeObject)
{
    IOleClientSite* const clientFace = &TheClientSite;
    IOleInPlaceSite* const inPlaceFace = &TheClientSite;
    ASSERT_NE(static_cast<void*>(clientFace), static_cast<void*>(inPlaceFace));

    struct Case {
        const char* name;
        IUnknown* through;
        const IID& iid;
        void* expected;
    } cases[] = {
        {"IUnknown through IOleClientSite", clientFace, IID_IUnknown, clientFace},
        {"IUnknown through IOleInPlaceSite", inPlaceFace, IID_IUnknown, clientFace},
        {"IOleClientSite through IOleInPlaceSite", inPlaceFace, IID_IOleClientSite, clientFace},
        {"IOleInPlaceSite through IOleClientSite", clientFace, IID_IOleInPlaceSite, inPlaceFace},
        {"IOleInPlaceSite through IOleInPlaceSite", inPlaceFace, IID_IOleInPlaceSite, inPlaceFace},
        {"IDispatch", clientFace, IID_IDispatch, nullptr},
        {"IOleContainer", inPlaceFace, IID_IOleContainer, nullptr},
        {"IOleInPlaceFrame", clientFace, IID_IOleInPlaceFrame, nullptr},
        {"IStorage", clientFace, IID_IStorage, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* answer = StrayPointer;
        EXPECT_EQ(c.through->QueryInterface(c.iid, &answer), c.expected ? S_OK : E_NOINTERFACE);
        EXPECT_EQ(answer, c.expected);
    }

    // The in-place answer is a working interface of the same object.
    void* answer = nullptr;
    ASSERT_EQ(clientFace->QueryInterface(IID_IOleInPlaceSite, &answer), S_OK);
    HWND window = nullptr;
    EXPECT_EQ(static_cast<IOleInPlaceSite*>(answer)->GetWindow(&window), S_OK);
    EXPECT_EQ(window, AboutWindow);
}

TEST_F(AboutHost, EachHandlerQueryMakesAHandlerThatAnswersForItself)
{
    IDocHostUIHandler* first = QueryHandler();
    IDocHostUIHandler* second = QueryHandler();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);

    for (IDocHostUIHandler* handler : {first, second}) {
        for (const IID* iid : {&IID_IUnknown, &IID_IDocHostUIHandler}) {
            void* answer = StrayPointer;
            EXPECT_EQ(handler->QueryInterface(*iid, &answer), S_OK);
            EXPECT_EQ(answer, handler);
        }
        for (const IID* iid : {&IID_IDispatch, &IID_IOleClientSite, &IID_IOleCommandTarget}) {
            void* answer = StrayPointer;
            EXPECT_EQ(handler->QueryInterface(*iid, &answer), E_NOINTERFACE);
            EXPECT_EQ(answer, nullptr);
        }
    }
}

TEST_F(AboutHost, ProcessLongObjectsCountNoReferences)
{
    IDocHostUIHandler* handler = QueryHandler();
    ASSERT_NE(handler, nullptr);
    // Each object with a call that shows it is still alive after being released many times.
    struct Case {
        const char* name;
        IUnknown* object;
        std::function<HRESULT()> probe;
        HRESULT probeResult;
    } cases[] = {
        {"ClientSite as IOleClientSite", site, [&] { return site->ShowObject(); }, S_OK},
        {"ClientSite as IOleInPlaceSite", inPlaceSite, [&] { return inPlaceSite->CanInPlaceActivate(); }, S_OK},
        {"InPlaceFrame", frame, [&] { return frame->SetStatusText(L"x"); }, S_OK},
        {"HostStorage", storage, [&] { return storage->Stat(nullptr, 0); }, E_NOTIMPL},
        {"DocHostHandler", handler, [&] { return handler->HideUI(); }, S_FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.object->AddRef(), 1u);
        for (int i = 0; i < 100; i++) ASSERT_EQ(c.object->Release(), 1u);
        EXPECT_EQ(c.probe(), c.probeResult);
        EXPECT_EQ(c.object->AddRef(), 1u);
    }
}

TEST_F(AboutHost, WindowContextCoversTheClientAreaOfAboutWindow)
{
    // Read at each call: after a resize the new client area is reported.
    for (SIZE windowSize : {SIZE{640, 480}, SIZE{400, 300}}) {
        SCOPED_TRACE(testing::Message() << windowSize.cx << " x " << windowSize.cy);
        ASSERT_TRUE(SetWindowPos(AboutWindow, nullptr, 0, 0, windowSize.cx, windowSize.cy, SWP_NOMOVE | SWP_NOZORDER));
        RECT client;
        ASSERT_TRUE(GetClientRect(AboutWindow, &client));
        // Inside a window with a caption the client area is a little smaller.
        ASSERT_GT(client.right, 0);
        ASSERT_LE(client.right, windowSize.cx);
        ASSERT_GT(client.bottom, 0);
        ASSERT_LT(client.bottom, windowSize.cy);

        IOleInPlaceFrame* frameOut = reinterpret_cast<IOleInPlaceFrame*>(StrayPointer);
        IOleInPlaceUIWindow* documentOut = reinterpret_cast<IOleInPlaceUIWindow*>(StrayPointer);
        RECT position = {-1, -1, -1, -1}, clip = {-1, -1, -1, -1};
        OLEINPLACEFRAMEINFO info;
        memset(&info, 0x5a, sizeof info);
        info.cb = sizeof info;

        EXPECT_EQ(inPlaceSite->GetWindowContext(&frameOut, &documentOut, &position, &clip, &info), S_OK);
        EXPECT_EQ(frameOut, static_cast<IOleInPlaceFrame*>(&TheInPlaceFrame));
        EXPECT_EQ(documentOut, nullptr);
        EXPECT_EQ(RectText(position), RectText(client));
        EXPECT_EQ(RectText(clip), RectText(client));
        EXPECT_EQ(info.cb, sizeof info);
        EXPECT_FALSE(info.fMDIApp);
        EXPECT_EQ(info.hwndFrame, AboutWindow);
        EXPECT_EQ(info.haccel, nullptr);
        EXPECT_EQ(info.cAccelEntries, 0u);
    }
}

// BrowserEventSink

TEST(AboutEventSink, CountsReferencesWithoutEverDestroyingItself)
{
    BrowserEventSink* sink = new BrowserEventSink;
    // Each returns the count as it was before the change; the count starts at 0.
    EXPECT_EQ(sink->AddRef(), 0u);
    EXPECT_EQ(sink->AddRef(), 1u);
    EXPECT_EQ(sink->AddRef(), 2u);
    EXPECT_EQ(sink->Release(), 3u);
    EXPECT_EQ(sink->Release(), 2u);
    EXPECT_EQ(sink->Release(), 1u);
    // Down to zero: still alive and answering.
    UINT typeInfoCount = 0;
    EXPECT_EQ(sink->GetTypeInfoCount(&typeInfoCount), S_OK);
    EXPECT_EQ(sink->AddRef(), 0u);
}

TEST(AboutEventSink, AnswersForTheBrowserEventsAndAddsAReference)
{
    BrowserEventSink sink;
    IDispatch* const self = &sink;
    ULONG expectedCount = 0;
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &DIID_DWebBrowserEvents2}) {
        void* answer = StrayPointer;
        EXPECT_EQ(sink.QueryInterface(*iid, &answer), S_OK);
        EXPECT_EQ(answer, self);
        EXPECT_EQ(sink.AddRef(), ++expectedCount);  // the query added one
        ++expectedCount;
    }
    for (const IID* iid : {&IID_IOleClientSite, &IID_IDocHostUIHandler, &DIID_DWebBrowserEvents}) {
        void* answer = StrayPointer;
        EXPECT_EQ(sink.QueryInterface(*iid, &answer), E_NOINTERFACE);
        EXPECT_EQ(answer, nullptr);
    }
    EXPECT_EQ(sink.AddRef(), expectedCount);  // refused queries added nothing
}

TEST(AboutEventSink, OffersNoTypeInformation)
{
    BrowserEventSink sink;
    UINT count = 0;
    EXPECT_EQ(sink.GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);

    ITypeInfo* typeInfo = reinterpret_cast<ITypeInfo*>(StrayPointer);
    EXPECT_EQ(sink.GetTypeInfo(0, LOCALE_USER_DEFAULT, &typeInfo), E_NOTIMPL);
    EXPECT_EQ(typeInfo, nullptr);

    struct Case {
        const char* name;
        const IID& iid;
        HRESULT expected;
    } cases[] = {
        {"IID_NULL", IID_NULL, E_NOTIMPL},  // falls through to GetTypeInfo
        {"IID_IDispatch", IID_IDispatch, DISP_E_UNKNOWNINTERFACE},
        {"DIID_DWebBrowserEvents2", DIID_DWebBrowserEvents2, DISP_E_UNKNOWNINTERFACE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wchar_t name[] = L"DocumentComplete";
        LPOLESTR names[] = {name};
        DISPID id = 12345;
        EXPECT_EQ(sink.GetIDsOfNames(c.iid, names, 1, LOCALE_USER_DEFAULT, &id), c.expected);
        EXPECT_EQ(id, 12345);
    }
}

TEST(AboutEventSink, AcknowledgesNavigationEventsWithoutActingOnThem)
{
    ASSERT_EQ(Browser, nullptr);
    BrowserEventSink sink;
    struct Case {
        DISPID id;
        bool withParameters;
        HRESULT expected;
    } cases[] = {
        {DISPID_BEFORENAVIGATE2, false, DISP_E_PARAMNOTOPTIONAL},
        {DISPID_NAVIGATECOMPLETE2, false, DISP_E_PARAMNOTOPTIONAL},
        {DISPID_DOCUMENTCOMPLETE, false, DISP_E_PARAMNOTOPTIONAL},
        {DISPID_BEFORENAVIGATE2, true, DISP_E_MEMBERNOTFOUND},
        {DISPID_NAVIGATECOMPLETE2, true, S_OK},
        {DISPID_DOCUMENTCOMPLETE, true, S_OK},
        {DISPID_DOCUMENTCOMPLETE, true, S_OK},
        {DISPID_NAVIGATEERROR, true, DISP_E_MEMBERNOTFOUND},
        {DISPID_STATUSTEXTCHANGE, true, DISP_E_MEMBERNOTFOUND},
        {0, true, DISP_E_MEMBERNOTFOUND},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "DISPID " << c.id << (c.withParameters ? " with" : " without")
                                        << " parameters");
        VARIANT arguments[2];
        VariantInit(&arguments[0]);
        VariantInit(&arguments[1]);
        DISPPARAMS params = {arguments, nullptr, 2, 0};
        VARIANT result;
        VariantInit(&result);
        result.vt = VT_I4;
        result.lVal = 77;
        UINT argumentError = 99;
        EXPECT_EQ(sink.Invoke(c.id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                              c.withParameters ? &params : nullptr, &result, nullptr, &argumentError),
                  c.expected);
        // The result and the argument error are never written.
        EXPECT_EQ(result.vt, VT_I4);
        EXPECT_EQ(result.lVal, 77);
        EXPECT_EQ(argumentError, 99u);
    }
}

}  // namespace
