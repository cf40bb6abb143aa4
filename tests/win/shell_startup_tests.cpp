// Start-up: the three windows, the menu, the resources, and how a failed start-up ends.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "app/app.h"
#include "connect/connect_window.h"
#include "res/resource.h"
#include "shell_support.h"

TEST(StartUp, SecondRunFailsAtTheFirstClassRegistration)
{
    ASSERT_TRUE(StartProgram());
    HFONT firstFont = UiFont;
    try {
        InitInstance();
        ADD_FAILURE() << "a second start-up succeeded";
    } catch (Error& error) {
        EXPECT_EQ(error.message, "Class (velto) Was not successfully Registered!");
    }
    // The failed run made a font of its own before it stopped; the windows keep the first.
    if (UiFont != firstFont)
        DeleteObject(UiFont);
    UiFont = firstFont;
}

TEST(StartUp, TopLevelWindows)
{
    ASSERT_TRUE(StartProgram());
    struct Case {
        HWND window;
        const char* className;
        const char* title;
        int width, height;
        bool visible;
    } cases[] = {
        {MainWindow, "velto", "VELTO - ZUrod GUI Client", 640, 480, true},
        {AboutWindow, "velto_about", "About VELTO - ZUrod GUI", 640, 480, false},
        {ConnectWindow, "velto_connect", "Connect To IP", 290, 115, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.className);
        ASSERT_TRUE(IsWindow(c.window));
        EXPECT_EQ(ClassOf(c.window), c.className);
        EXPECT_EQ(TextOf(c.window), c.title);
        RECT rect;
        GetWindowRect(c.window, &rect);
        EXPECT_EQ(rect.right - rect.left, c.width);
        EXPECT_EQ(rect.bottom - rect.top, c.height);
        EXPECT_EQ(IsWindowVisible(c.window) != FALSE, c.visible);
        // Not resizable, no maximize box: the layout is fixed.
        LONG_PTR style = GetWindowLongPtrA(c.window, GWL_STYLE);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_TRUE(style & WS_MINIMIZEBOX);
        EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CHILD));
        EXPECT_EQ(GetWindow(c.window, GW_OWNER), nullptr);
        EXPECT_EQ(GetClassLongPtrA(c.window, GCLP_HBRBACKGROUND),
                  reinterpret_cast<LONG_PTR>(BackgroundBrush));
        EXPECT_NE(GetClassLongPtrA(c.window, GCLP_HICON), 0) << "icon 102 not loaded";
        EXPECT_EQ(GetMenu(c.window) != nullptr, c.window == MainWindow);
    }
}

TEST(StartUp, MainMenu)
{
    ASSERT_TRUE(StartProgram());
    HMENU menu = GetMenu(MainWindow);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 2);

    struct Item {
        UINT id;  // 0: separator
        const char* text;
    };
    struct Popup {
        const char* text;
        std::vector<Item> items;
    } popups[] = {
        {"File",
         {{IDM_CONNECT, "Connect to IP"}, {IDM_DISCONNECT, "Disconnect"}, {0, ""},
          {IDM_EXIT, "E&xit"}}},
        {"Help", {{IDM_ABOUT, "&About"}}},
    };
    for (int p = 0; p < 2; ++p) {
        char text[64] = {};
        GetMenuStringA(menu, p, text, sizeof text, MF_BYPOSITION);
        EXPECT_STREQ(text, popups[p].text);
        HMENU popup = GetSubMenu(menu, p);
        ASSERT_NE(popup, nullptr);
        ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(popups[p].items.size()));
        for (size_t i = 0; i < popups[p].items.size(); ++i) {
            const Item& item = popups[p].items[i];
            SCOPED_TRACE(testing::Message() << popups[p].text << " item " << i);
            int position = static_cast<int>(i);
            if (item.id == 0) {
                EXPECT_TRUE(GetMenuState(popup, position, MF_BYPOSITION) & MF_SEPARATOR);
                continue;
            }
            EXPECT_EQ(GetMenuItemID(popup, position), item.id);
            char itemText[64] = {};
            GetMenuStringA(popup, position, itemText, sizeof itemText, MF_BYPOSITION);
            EXPECT_STREQ(itemText, item.text);
        }
    }
}

// The raw bytes of one of the program's resources (the tests carry the program's script).
static const BYTE* ResourceBytes(LPCSTR type, LPCSTR name, DWORD* size)
{
    HRSRC found = FindResourceExA(nullptr, type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!found)
        return nullptr;
    *size = SizeofResource(nullptr, found);
    return static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
}

TEST(Resources, BannerIs350By108With24BitsUncompressed)
{
    DWORD size = 0;
    const BYTE* bytes = ResourceBytes(RT_BITMAP, MAKEINTRESOURCEA(IDB_BANNER), &size);
    ASSERT_NE(bytes, nullptr);
    BITMAPINFOHEADER header;
    ASSERT_GE(size, sizeof header);
    std::memcpy(&header, bytes, sizeof header);
    EXPECT_EQ(header.biWidth, 350);
    EXPECT_EQ(header.biHeight, 108);
    EXPECT_EQ(header.biBitCount, 24);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_GE(size, sizeof header + ((350 * 3 + 3) & ~3) * 108);

    ASSERT_TRUE(StartProgram());
    BITMAP loaded = {};
    ASSERT_EQ(GetObjectA(BannerBitmap, sizeof loaded, &loaded), static_cast<int>(sizeof loaded));
    EXPECT_EQ(loaded.bmWidth, 350);
    EXPECT_EQ(loaded.bmHeight, 108);
}

TEST(Resources, IconIsOne32By32ImageOf16Colours)
{
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct GroupHeader {
        WORD reserved, type, count;
    };
#pragma pack(pop)
    DWORD size = 0;
    const BYTE* bytes = ResourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEA(IDI_MAINICON), &size);
    ASSERT_NE(bytes, nullptr);
    GroupHeader header;
    GroupEntry entry;
    ASSERT_GE(size, sizeof header + sizeof entry);
    std::memcpy(&header, bytes, sizeof header);
    std::memcpy(&entry, bytes + sizeof header, sizeof entry);
    EXPECT_EQ(header.count, 1);
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colours, 16);
    EXPECT_EQ(entry.bitCount, 4);

    DWORD imageSize = 0;
    const BYTE* image = ResourceBytes(RT_ICON, MAKEINTRESOURCEA(entry.id), &imageSize);
    ASSERT_NE(image, nullptr);
    BITMAPINFOHEADER info;
    ASSERT_GE(imageSize, sizeof info);
    std::memcpy(&info, image, sizeof info);
    EXPECT_EQ(info.biBitCount, 4);
    EXPECT_EQ(info.biWidth, 32);
    EXPECT_EQ(info.biHeight, 64);  // the colours and the mask
}

TEST(Resources, ManifestBringsCommonControls6)
{
    DWORD size = 0;
    const BYTE* bytes = ResourceBytes(RT_MANIFEST, MAKEINTRESOURCEA(1), &size);
    ASSERT_NE(bytes, nullptr);
    std::string manifest(reinterpret_cast<const char*>(bytes), size);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(manifest.find("publicKeyToken=\"6595b64144ccf1df\""), std::string::npos);
    EXPECT_NE(manifest.find("assemblyIdentity version=\"1.0.0.0\""), std::string::npos);

    // The dependency must actually take effect in this process's architecture: version 6
    // comes from the side-by-side store, version 5 from the system directory.
    ASSERT_TRUE(StartProgram());
    char path[MAX_PATH] = {};
    GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), path, sizeof path);
    EXPECT_NE(std::string(path).find("6.0."), std::string::npos) << path;
}
