// How often a 1 ms timer really fires here, and how many paints it gives: a visible window
// does what the client's status panel does (SetTimer of 1 ms, each tick marks an area
// without erasing, each WM_PAINT validates it) and counts for a few seconds.
//
//   timer_probe [SECONDS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "reader_wire.h"

namespace {

const RECT kPanel = {270, 10, 590, 260};
long Ticks = 0;
long Paints = 0;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        ++Ticks;
        InvalidateRect(window, &kPanel, FALSE);
        return 0;
    case WM_PAINT: {
        ++Paints;
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Runs the message loop for `seconds`.
void Pump(double seconds) {
    const double end = bench::Seconds() + seconds;
    for (;;) {
        double left = end - bench::Seconds();
        if (left <= 0) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left * 1000) + 1,
                                  QS_ALLINPUT);
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;

    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = "timer_probe";
    RegisterClassA(&window_class);
    HWND window = CreateWindowExA(0, "timer_probe", "timer probe", WS_OVERLAPPED | WS_SYSMENU, 0,
                                  0, 640, 480, nullptr, nullptr, window_class.hInstance, nullptr);
    ShowWindow(window, SW_SHOW);
    SetTimer(window, 1, 1, nullptr);

    Pump(0.5);  // let the window settle before counting
    Ticks = Paints = 0;
    const double start = bench::Seconds();
    Pump(seconds);
    const double elapsed = bench::Seconds() - start;

    std::printf("RESULT timer ticks_per_s=%.1f paints_per_s=%.1f period_ms=%.2f\n",
                Ticks / elapsed, Paints / elapsed, Ticks ? elapsed * 1000 / Ticks : 0.0);
    std::fflush(stdout);
    DestroyWindow(window);
    return 0;
}
