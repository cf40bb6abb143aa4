// The ceiling of the client's socket design: one window, WSAAsyncSelect, one recv of at most
// 256 bytes per FD_READ, and nothing else done per read. It speaks the client's protocol
// (handshake, password, agreement, "ls", "get NAME") to a server on 127.0.0.1 and times
// "get NAME" up to the completion notice. The data are counted, not stored.
//
//   ceiling_reader PORT PASSWORD NAME [--panel-timer]
//
// --panel-timer adds what the client's status panel costs: a 1 ms timer that marks a
// 320x250 area, and the panel's paint (composed off-screen, copied in one step).
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "reader_wire.h"

namespace {

constexpr UINT WM_SOCKET = WM_USER + 1;
const RECT kPanel = {270, 10, 590, 260};

enum Phase { Prompt, Agreement, ListingHeader, Listing, FileHeader, Data, Notice };

SOCKET Socket = INVALID_SOCKET;
std::string FileName;
std::string Password;
Phase State = Prompt;
char Block[bench::kBlockSize + 1];  // a server message being collected, NUL-terminated
int BlockHave = 0;
char Buffer[bench::kBlockSize];     // where data reads go
unsigned long Expected = 0;         // listing length or file size
unsigned long Received = 0;
double GetSent = 0;
bench::CpuReading CpuAtGet;
int ExitCode = 1;
HBITMAP Banner;
const char* ResultName = "ceiling";

void Send(const std::string& text) {
    std::string block = bench::CommandBlock(text);
    send(Socket, block.data(), bench::kBlockSize, 0);
}

void Fail(HWND window, const char* what) {
    std::fprintf(stderr, "ceiling_reader: %s\n", what);
    DestroyWindow(window);
}

void SendGet() {
    CpuAtGet = bench::ReadOwnCpu();
    GetSent = bench::Seconds();
    Send("get " + FileName);
    State = FileHeader;
}

// A whole 256-byte server message is in Block: act on it.
void OnBlock(HWND window) {
    switch (State) {
    case Prompt:
        if (!std::strstr(Block, "password:")) return Fail(window, "no password prompt");
        Send(Password);
        State = Agreement;
        break;
    case Agreement:
        Send("ls");
        State = ListingHeader;
        break;
    case ListingHeader:
        Expected = bench::ListingLength(Block);
        Received = 0;
        State = Listing;
        if (Expected == 0) SendGet();
        break;
    case FileHeader:
        if (!bench::FileSize(Block, &Expected))
            return Fail(window, (std::string("no file header: ") + Block).c_str());
        Received = 0;
        State = Expected ? Data : Notice;
        break;
    case Notice:
        if (!std::strchr(Block, '@')) return Fail(window, "no completion notice");
        bench::PrintResult(ResultName, bench::Seconds() - GetSent, Received, CpuAtGet);
        ExitCode = 0;
        DestroyWindow(window);
        break;
    default:
        break;
    }
}

// One FD_READ: one recv, never past the end of what the current message still needs.
void OnRead(HWND window) {
    if (State == Listing || State == Data) {
        unsigned long left = Expected - Received;
        int want = left < sizeof Buffer ? static_cast<int>(left) : static_cast<int>(sizeof Buffer);
        int got = recv(Socket, Buffer, want, 0);
        if (got <= 0) return;
        Received += static_cast<unsigned long>(got);
        if (Received < Expected) return;
        if (State == Listing)
            SendGet();
        else
            State = Notice;
        return;
    }
    int got = recv(Socket, Block + BlockHave, bench::kBlockSize - BlockHave, 0);
    if (got <= 0) return;
    BlockHave += got;
    if (BlockHave < bench::kBlockSize) return;
    Block[bench::kBlockSize] = '\0';
    BlockHave = 0;
    OnBlock(window);
}

// The status panel's paint, step for step: composed in a bitmap of its own with the transfer
// line and the banner stretched in, copied in one step, everything it made deleted.
void PaintPanel(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    HBITMAP canvas = CreateCompatibleBitmap(dc, 320, 250);
    HDC canvas_dc = CreateCompatibleDC(dc);
    SelectObject(canvas_dc, canvas);
    RECT all = {0, 0, 320, 250};
    FillRect(canvas_dc, &all, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    SetBkMode(canvas_dc, TRANSPARENT);
    SetTextColor(canvas_dc, RGB(255, 0, 0));
    char text[256];
    int length = std::snprintf(text, sizeof text, "Bytes Completed: %lu/%lu (%d%%)", Received,
                               Expected, Expected ? static_cast<int>(100.0 * Received / Expected) : 0);
    TextOutA(canvas_dc, 10, 120, text, length);
    HDC banner_dc = CreateCompatibleDC(dc);
    SelectObject(banner_dc, Banner);
    StretchBlt(canvas_dc, 0, 0, 320, 108, banner_dc, 0, 0, 340, 100, SRCCOPY);
    BitBlt(dc, kPanel.left, kPanel.top, 320, 250, canvas_dc, 0, 0, SRCCOPY);
    EndPaint(window, &paint);
    DeleteDC(canvas_dc);
    DeleteDC(banner_dc);
    DeleteObject(canvas);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SOCKET:
        switch (WSAGETSELECTEVENT(lParam)) {
        case FD_CONNECT:
            if (WSAGETSELECTERROR(lParam)) {
                Fail(window, "cannot connect");
                return 0;
            }
            Send("velto");
            return 0;
        case FD_READ:
            OnRead(window);
            return 0;
        case FD_CLOSE:
            Fail(window, "the server closed the connection");
            return 0;
        }
        return 0;
    case WM_TIMER:
        InvalidateRect(window, &kPanel, FALSE);
        return 0;
    case WM_PAINT:
        PaintPanel(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: ceiling_reader PORT PASSWORD NAME [--panel-timer]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    Password = argv[2];
    FileName = argv[3];
    const bool panel_timer = argc > 4 && std::strcmp(argv[4], "--panel-timer") == 0;

    WSADATA data;
    WSAStartup(MAKEWORD(1, 1), &data);

    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = "ceiling_reader";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, "ceiling_reader", "ceiling reader",
                                  WS_OVERLAPPED | WS_SYSMENU, 0, 0, 640, 480, nullptr, nullptr,
                                  window_class.hInstance, nullptr);
    ShowWindow(window, SW_SHOW);
    if (panel_timer) {
        HDC screen = GetDC(nullptr);
        Banner = CreateCompatibleBitmap(screen, 350, 108);
        ReleaseDC(nullptr, screen);
        ResultName = "ceiling_panel";
        SetTimer(window, 1, 1, nullptr);
    }

    // Loopback only: this program never talks to another machine.
    Socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in server = {};
    server.sin_family = AF_INET;
    server.sin_port = htons(static_cast<u_short>(port));
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    WSAAsyncSelect(Socket, window, WM_SOCKET, FD_READ | FD_CONNECT | FD_CLOSE);
    connect(Socket, reinterpret_cast<sockaddr*>(&server), sizeof server);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    closesocket(Socket);
    if (Banner) DeleteObject(Banner);
    WSACleanup();
    return ExitCode;
}
