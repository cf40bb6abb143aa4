#include "driver.h"

#include <commctrl.h>
#include <winsock2.h>

#include <cstdio>
#include <cstdlib>

#include "res/resource.h"

namespace e2e {

namespace {

constexpr UINT kSendTimeoutMs = 5000;  // a hung client must not hang the driver

LRESULT SendA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result))
        return -1;
    return static_cast<LRESULT>(result);
}

LRESULT SendW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result))
        return -1;
    return static_cast<LRESULT>(result);
}

std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return "";
    int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size,
                        nullptr, nullptr);
    return text;
}

HWND FindDescendant(HWND parent, const std::function<bool(HWND)>& match) {
    for (HWND child : Children(parent)) {
        if (match(child)) return child;
        if (HWND found = FindDescendant(child, match)) return found;
    }
    return nullptr;
}

}  // namespace

std::string EnvOr(const char* name, const std::string& fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::string(value) : fallback;
}

std::string WindowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string result = "Z:" + path;
    for (char& c : result)
        if (c == '/') c = '\\';
    return result;
}

std::string ClientExePath() {
#ifdef VELTO_E2E_DEFAULT_EXE
    return WindowsPath(EnvOr("VELTO_EXE", VELTO_E2E_DEFAULT_EXE));
#else
    return WindowsPath(EnvOr("VELTO_EXE", "velto.exe"));
#endif
}

std::string ShotsDir() { return WindowsPath(EnvOr("VELTO_E2E_SHOTS", "e2e-shots")); }

bool WaitUntil(const std::function<bool()>& done, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (done()) return true;
        if (GetTickCount() - start >= timeout_ms) return false;
        Sleep(20);
    }
}

// ---- Client ----

Client::~Client() { Kill(); }

bool Client::Start(const std::string& exe) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string command_line = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info_)) {
        std::fprintf(stderr, "cannot start %s (error %lu)\n", exe.c_str(), GetLastError());
        info_ = PROCESS_INFORMATION{};
        return false;
    }
    CloseHandle(info_.hThread);
    info_.hThread = nullptr;
    return true;
}

bool Client::Running() const {
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Client::WaitForExit(DWORD timeout_ms, DWORD* exit_code) {
    if (!info_.hProcess || WaitForSingleObject(info_.hProcess, timeout_ms) != WAIT_OBJECT_0)
        return false;
    if (exit_code) GetExitCodeProcess(info_.hProcess, exit_code);
    return true;
}

void Client::Kill() {
    if (!info_.hProcess) return;
    if (Running()) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 5000);
    }
    CloseHandle(info_.hProcess);
    info_ = PROCESS_INFORMATION{};
}

HWND Client::FindWindowOf(const char* class_name, const char* title) const {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, class_name, title)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid == info_.dwProcessId) return window;
    }
    return nullptr;
}

HWND Client::WaitForWindow(const char* class_name, const char* title, DWORD timeout_ms) const {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindWindowOf(class_name, title)) != nullptr; }, timeout_ms);
    return found;
}

HWND Client::MainWindow() const {
    // Start-up ends with showing the main window: until then the client is not ready.
    HWND window = WaitForWindow("velto", nullptr);
    if (!window || !WaitUntil([&] { return IsWindowVisible(window) != FALSE; })) return nullptr;
    return window;
}
HWND Client::ConnectWindow() const { return WaitForWindow("velto_connect", nullptr); }
HWND Client::AboutWindow() const { return WaitForWindow("velto_about", nullptr); }

// ---- Texts and controls ----

std::string GetText(HWND window) {
    LRESULT length = SendA(window, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0) return "";
    std::string text(static_cast<size_t>(length) + 1, '\0');
    LRESULT copied = SendA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

void SetText(HWND window, const std::string& text) {
    SendA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string ClassOf(HWND window) {
    char name[256] = "";
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

HWND ChildAt(HWND parent, const char* class_name, POINT pos) {
    for (HWND child : Children(parent)) {
        if (lstrcmpiA(ClassOf(child).c_str(), class_name) != 0) continue;
        RECT rect = WindowRectOf(child);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
        if (rect.left == pos.x && rect.top == pos.y) return child;
    }
    return nullptr;
}

HWND ChildById(HWND parent, int id) {
    for (HWND child : Children(parent))
        if (GetDlgCtrlID(child) == id) return child;
    return nullptr;
}

RECT WindowRectOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

SIZE WindowSize(HWND window) {
    RECT rect = WindowRectOf(window);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

SIZE ClientSize(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

LONG_PTR StyleOf(HWND window) { return GetWindowLongPtrA(window, GWL_STYLE); }
LONG_PTR ExStyleOf(HWND window) { return GetWindowLongPtrA(window, GWL_EXSTYLE); }

int ListBoxCount(HWND list) { return static_cast<int>(SendW(list, LB_GETCOUNT, 0, 0)); }

std::vector<std::string> ListBoxEntries(HWND list) {
    // Cross-process LB_GETTEXT through the A function returns one character under Wine:
    // ask in wide characters and convert.
    std::vector<std::string> entries;
    int count = ListBoxCount(list);
    for (int i = 0; i < count; ++i) {
        LRESULT length = SendW(list, LB_GETTEXTLEN, i, 0);
        if (length < 0) break;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        LRESULT copied = SendW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
        entries.push_back(Narrow(text));
    }
    return entries;
}

HWND LogViewOf(HWND main_window) { return ChildAt(main_window, "Edit", POINT{10, 280}); }

HWND FileListOf(HWND main_window) {
    HWND list = ChildById(main_window, IDC_FILELIST);
    return list && lstrcmpiA(ClassOf(list).c_str(), "ListBox") == 0 ? list : nullptr;
}

HWND ProgressBarOf(HWND main_window) {
    for (HWND child : Children(main_window))
        if (lstrcmpiA(ClassOf(child).c_str(), PROGRESS_CLASSA) == 0) return child;
    return nullptr;
}

std::vector<std::string> LogLines(HWND main_window) {
    std::vector<std::string> lines;
    HWND log = LogViewOf(main_window);
    if (!log) return lines;
    std::string text = GetText(log);
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    if (start < text.size()) lines.push_back(text.substr(start));  // a line without its CR LF
    return lines;
}

bool WaitForLogLine(HWND main_window, const std::string& line, DWORD timeout_ms) {
    return WaitUntil(
        [&] {
            for (const std::string& logged : LogLines(main_window))
                if (logged == line) return true;
            return false;
        },
        timeout_ms);
}

bool WaitForTitle(HWND window, const std::string& title, DWORD timeout_ms) {
    return WaitUntil([&] { return GetText(window) == title; }, timeout_ms);
}

std::pair<int, int> ProgressRange(HWND bar) {
    return {static_cast<int>(SendA(bar, PBM_GETRANGE, TRUE, 0)),
            static_cast<int>(SendA(bar, PBM_GETRANGE, FALSE, 0))};
}

int ProgressPos(HWND bar) { return static_cast<int>(SendA(bar, PBM_GETPOS, 0, 0)); }

// ---- Commands ----

void PostCommand(HWND window, WORD id) { PostMessageA(window, WM_COMMAND, id, 0); }

void PostClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

bool ClickButton(HWND parent, int button_id) {
    // A user can click only a button that is shown and enabled.
    HWND button = ChildById(parent, button_id);
    if (!button || !IsWindowVisible(button) || !IsWindowEnabled(button)) return false;
    PostMessageA(parent, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    return true;
}

bool DoubleClickListEntry(HWND main_window, int index) {
    HWND list = FileListOf(main_window);
    if (!list || !IsWindowEnabled(list) || index < 0 || index >= ListBoxCount(list)) return false;
    SendA(list, LB_SETCURSEL, index, 0);
    PostMessageA(main_window, WM_COMMAND, MAKEWPARAM(IDC_FILELIST, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
    return true;
}

HWND ConnectTo(const Client& client, const std::string& address, int port,
               const std::string& password) {
    // Never let a scenario reach beyond this machine: a valid address must be loopback.
    unsigned long value = inet_addr(address.c_str());
    if (value != INADDR_NONE && (ntohl(value) >> 24) != 127) {
        std::fprintf(stderr, "refusing to connect to %s: not a loopback address\n",
                     address.c_str());
        return nullptr;
    }
    HWND main_window = client.MainWindow();
    HWND connect = client.ConnectWindow();
    if (!main_window || !connect) return nullptr;
    PostCommand(main_window, IDM_CONNECT);
    if (!WaitUntil([&] { return IsWindowVisible(connect) != FALSE; })) return nullptr;
    HWND address_edit = ChildAt(connect, "Edit", POINT{10, 10});
    HWND port_edit = ChildAt(connect, "Edit", POINT{160, 10});
    HWND password_edit = ChildAt(connect, "Edit", POINT{10, 45});
    if (!address_edit || !port_edit || !password_edit) return nullptr;
    SetText(address_edit, address);
    SetText(port_edit, std::to_string(port));
    SetText(password_edit, password);
    if (GetText(address_edit) != address) return nullptr;
    if (!ClickButton(connect, IDC_CONNECTBUTTON)) return nullptr;
    return connect;
}

bool ConnectAndAccept(const Client& client, const std::string& address, int port,
                      const std::string& password) {
    if (!ConnectTo(client, address, port, password)) return false;
    HWND box = WaitForMessageBox(client, "Do you accept the agreement?");
    if (!box) return false;
    AnswerMessageBox(box, IDYES);
    return WaitForWindowGone(box);
}

// ---- Message boxes and dialogs ----

HWND WaitForMessageBox(const Client& client, const char* caption, DWORD timeout_ms) {
    HWND box = nullptr;
    WaitUntil(
        [&] {
            box = client.FindWindowOf("#32770", caption);
            return box && IsWindowVisible(box);
        },
        timeout_ms);
    return box && IsWindowVisible(box) ? box : nullptr;
}

std::string MessageBoxText(HWND box) {
    for (HWND child : Children(box)) {
        if (lstrcmpiA(ClassOf(child).c_str(), "Static") != 0) continue;
        if ((StyleOf(child) & SS_TYPEMASK) == SS_ICON) continue;
        std::string text = GetText(child);
        if (!text.empty()) return text;
    }
    return "";
}

void AnswerMessageBox(HWND box, int answer) {
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
}

bool WaitForWindowGone(HWND window, DWORD timeout_ms) {
    return WaitUntil([&] { return !IsWindow(window); }, timeout_ms);
}

bool FillSaveDialog(HWND dialog, const std::string& path) {
    // The Explorer-style dialog's file name box: the Edit of the ComboBox of ComboBoxEx32 0x47c.
    HWND combo_ex = FindDescendant(dialog, [](HWND w) {
        return GetDlgCtrlID(w) == 0x47c && lstrcmpiA(ClassOf(w).c_str(), "ComboBoxEx32") == 0;
    });
    HWND combo = combo_ex ? FindWindowExA(combo_ex, nullptr, "ComboBox", nullptr) : nullptr;
    HWND edit = combo ? FindWindowExA(combo, nullptr, "Edit", nullptr) : nullptr;
    if (!edit) return false;
    SetText(edit, path);
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
    return WaitForWindowGone(dialog);
}

// ---- Menus ----

namespace {

std::vector<MenuItem> ReadMenu(HMENU menu) {
    std::vector<MenuItem> items;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = "";
        MENUITEMINFOA info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU;
        info.dwTypeData = text;
        info.cch = sizeof(text);
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        MenuItem item;
        item.separator = (info.fType & MFT_SEPARATOR) != 0;
        if (!item.separator) item.text = text;
        if (info.hSubMenu)
            item.items = ReadMenu(info.hSubMenu);
        else
            item.id = info.wID;
        items.push_back(item);
    }
    return items;
}

}  // namespace

std::vector<MenuItem> LoadMenuFromExe(const std::string& exe, int menu_id) {
    std::vector<MenuItem> items;
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) return items;
    if (HMENU menu = LoadMenuA(module, MAKEINTRESOURCEA(menu_id))) {
        items = ReadMenu(menu);
        DestroyMenu(menu);
    }
    FreeLibrary(module);
    return items;
}

// ---- Screenshots ----

bool SaveScreenshot(const std::string& bmp_path, RECT area) {
    if (IsRectEmpty(&area))
        area = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    int width = area.right - area.left;
    int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as .bmp files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    info.bmiHeader.biSizeImage = stride * static_cast<DWORD>(height);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        ok = BitBlt(memory, 0, 0, width, height, screen, area.left, area.top,
                    SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    if (ok) {
        BITMAPFILEHEADER header{};
        header.bfType = 0x4d42;  // "BM"
        header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        header.bfSize = header.bfOffBits + info.bmiHeader.biSizeImage;
        FILE* file = std::fopen(bmp_path.c_str(), "wb");
        ok = file && std::fwrite(&header, sizeof(header), 1, file) == 1 &&
             std::fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, file) == 1 &&
             std::fwrite(bits, info.bmiHeader.biSizeImage, 1, file) == 1;
        if (file) ok = std::fclose(file) == 0 && ok;
    }
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

std::string SaveWindowShot(HWND window, const std::string& name) {
    std::string dir = ShotsDir();
    CreateDirectoryA(dir.c_str(), nullptr);
    std::string path = dir + "\\" + name + ".bmp";
    // Let the client finish painting what it was just asked to show.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
    Sleep(300);
    RECT area = WindowRectOf(window);
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screen);
    if (!SaveScreenshot(path, area)) return "";
    std::printf("screenshot: %s\n", path.c_str());
    std::fflush(stdout);
    return path;
}

}  // namespace e2e
