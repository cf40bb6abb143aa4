#include "shell_support.h"

#include <chrono>

#include "app/app.h"
#include "client/connection.h"

bool StartProgram()
{
    static const bool started = InitInstance();
    return started;
}

std::string TextOf(HWND window)
{
    std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1);
    GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

std::string ClassOf(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

RECT RectInParent(HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void PumpPending()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > static_cast<DWORD>(timeoutMs))
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        PumpPending();
    }
    return true;
}

void DropSocketMessages()
{
    MSG message;
    while (PeekMessageA(&message, MainWindow, WM_SOCKET, WM_SOCKET, PM_REMOVE)) {
    }
}

DialogWatcher::DialogWatcher(int answer)
    : DialogWatcher([this, answer](HWND dialog) {
          SeenDialog seen = Describe(dialog);
          {
              std::lock_guard<std::mutex> lock(mutex_);
              seen_.push_back(seen);
          }
          Answer(dialog, answer);
      })
{
}

DialogWatcher::DialogWatcher(std::function<void(HWND dialog)> handle)
    : handle_(std::move(handle)), thread_([this] { Run(); })
{
}

DialogWatcher::~DialogWatcher()
{
    Stop();
}

std::vector<SeenDialog> DialogWatcher::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

struct DialogSearch {
    DWORD process;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectDialog(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<DialogSearch*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == search->process && IsWindowVisible(window) && ClassOf(window) == "#32770")
        search->found.push_back(window);
    return TRUE;
}

void DialogWatcher::Run()
{
    std::vector<HWND> handled;
    while (!stop_) {
        DialogSearch search{GetCurrentProcessId(), {}};
        EnumWindows(CollectDialog, reinterpret_cast<LPARAM>(&search));
        for (HWND dialog : search.found) {
            bool known = false;
            for (HWND old : handled)
                known = known || old == dialog;
            if (known)
                continue;
            handled.push_back(dialog);
            handle_(dialog);
        }
        Sleep(10);
    }
}

static BOOL CALLBACK LongestStatic(HWND child, LPARAM data)
{
    auto* text = reinterpret_cast<std::string*>(data);
    if (ClassOf(child) == "Static") {
        std::string own = TextOf(child);
        if (own.size() > text->size())
            *text = own;
    }
    return TRUE;
}

SeenDialog DialogWatcher::Describe(HWND dialog)
{
    SeenDialog seen{TextOf(dialog), "", GetWindow(dialog, GW_OWNER)};
    EnumChildWindows(dialog, LongestStatic, reinterpret_cast<LPARAM>(&seen.text));
    return seen;
}

void DialogWatcher::Answer(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

long CountGdiObjects()
{
    DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted != 0)
        return static_cast<long>(counted);
    // Wine answers 0 here. Its handles are table indexes in the low word; a handle with a
    // high word of 0 names whatever object lives at that index, so the table can be walked.
    long live = 0;
    for (UINT_PTR index = 1; index <= 0xffff; ++index)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0)
            ++live;
    return live;
}

LoopbackListener::LoopbackListener()
{
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = inet_addr("127.0.0.1");
    bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(socket_, 5);
    int length = sizeof address;
    getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener()
{
    closesocket(socket_);
}

static bool Readable(SOCKET socket, int timeoutMs)
{
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(socket, &readable);
    timeval timeout = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &timeout) == 1;
}

SOCKET LoopbackListener::Accept(int timeoutMs)
{
    if (!Readable(socket_, timeoutMs))
        return INVALID_SOCKET;
    return accept(socket_, nullptr, nullptr);
}

bool PeerClosed(SOCKET accepted, int timeoutMs)
{
    // Anything the client sent (its handshake) is read past; only the end counts.
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(timeoutMs)) {
        if (!Readable(accepted, 50))
            continue;
        char bytes[512];
        int received = recv(accepted, bytes, sizeof bytes, 0);
        if (received <= 0)
            return true;
    }
    return false;
}
