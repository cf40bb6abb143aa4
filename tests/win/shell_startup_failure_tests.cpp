// A failed start-up: every step's message reaches the caller of InitInstance, including those
// raised inside the windows' own creation. Runs in a process of its own (the program is
// started and torn down here over and over).
#include <windows.h>

#include <gtest/gtest.h>

#include "about/about_window.h"
#include "app/app.h"
#include "shell_support.h"

namespace {

// Which window creation the hook refuses: by class, and optionally by the class of the
// parent (or owner) and by the initial text.
struct Refusal {
    const char* className;
    const char* parentClass;
    const char* text;
};
Refusal Refused;

LRESULT CALLBACK RefuseCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        auto* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        HWND window = reinterpret_cast<HWND>(wParam);
        bool refuse = lstrcmpiA(ClassOf(window).c_str(), Refused.className) == 0;
        if (Refused.parentClass)
            refuse = refuse && create->lpcs->hwndParent &&
                     lstrcmpiA(ClassOf(create->lpcs->hwndParent).c_str(), Refused.parentClass) == 0;
        if (Refused.text)
            refuse = refuse && create->lpcs->lpszName &&
                     lstrcmpA(create->lpcs->lpszName, Refused.text) == 0;
        if (refuse)
            return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// Undoes a start-up so that the next one begins from nothing.
void TearDownProgram()
{
    for (HWND* window : {&ConnectWindow, &AboutWindow, &MainWindow}) {
        if (*window && IsWindow(*window))
            DestroyWindow(*window);
        *window = nullptr;
    }
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    for (const char* name : {"velto", "velto_about", "velto_connect"})
        UnregisterClassA(name, GetModuleHandleA(nullptr));
    DeleteObject(UiFont);
    UiFont = nullptr;
}

// Runs InitInstance; returns the Error's message, or "" when it succeeded.
std::string StartUpMessage()
{
    try {
        InitInstance();
        return "";
    } catch (Error& error) {
        return error.message;
    }
}

bool QuitPending()
{
    MSG message;
    return PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

}  // namespace

TEST(StartupFailure, RefusedWindowGivesItsStepsMessage)
{
    struct Case {
        Refusal refusal;
        const char* message;  // "": start-up goes on
    } cases[] = {
        {{"velto", nullptr, nullptr}, "Window was not successfully Created!"},
        {{"ListBox", "velto", nullptr}, "Error couldnt create listbox"},
        {{"Edit", "velto", nullptr}, "Error couldnt create Logging Window"},
        {{"tooltips_class32", "velto", nullptr}, ""},  // the main window's tips are optional
        {{"msctls_progress32", "velto", nullptr}, "Error Creating Progress Bar!"},
        {{"velto_about", nullptr, nullptr}, "About window was not successfully created!"},
        {{"velto_connect", nullptr, nullptr}, "Connect window was not successfully created!"},
        {{"Edit", "velto_connect", "192.168.1.101"}, "Couldnt create editbox for connect window"},
        {{"Button", "velto_connect", nullptr}, "Couldnt create pushbutton for connection window!."},
        {{"Edit", "velto_connect", "1024"}, "Couldnt create Port Edit Box!"},
        {{"Edit", "velto_connect", "qvk"}, "Couldnt create password editbox!"},
        {{"tooltips_class32", "velto_connect", nullptr}, "Couldnt create tooltip!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.refusal.className << " in "
                                        << (c.refusal.parentClass ? c.refusal.parentClass : "-")
                                        << " " << (c.refusal.text ? c.refusal.text : ""));
        Refused = c.refusal;
        HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseCreation, nullptr, GetCurrentThreadId());
        ASSERT_NE(hook, nullptr);
        std::string message = StartUpMessage();
        UnhookWindowsHookEx(hook);

        EXPECT_EQ(message, c.message);
        // The error box shown next must not meet a quit message left by the failed window.
        EXPECT_FALSE(QuitPending());
        // A later start-up must not find the last failure still waiting.
        EXPECT_FALSE(CreationError.has_value());
        TearDownProgram();
    }
}

TEST(StartupFailure, ClassThatCannotBeRegisteredGivesItsMessage)
{
    struct Case {
        const char* taken;
        const char* message;
    } cases[] = {
        {"velto", "Class (velto) Was not successfully Registered!"},
        {"velto_about", "Class (velto_about) Was not successfully Registered!"},
        {"velto_connect", "Class (velto_connect) Was not successfully Registered!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.taken);
        WNDCLASSEXA taken = {};
        taken.cbSize = sizeof taken;
        taken.lpfnWndProc = DefWindowProcA;
        taken.hInstance = GetModuleHandleA(nullptr);
        taken.lpszClassName = c.taken;
        ASSERT_NE(RegisterClassExA(&taken), 0);
        EXPECT_EQ(StartUpMessage(), c.message);
        EXPECT_EQ(MainWindow, nullptr) << "no window before all classes exist";
        TearDownProgram();
    }
}
