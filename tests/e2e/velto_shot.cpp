// velto_shot.exe OUT.bmp SECONDS [CLIENT.exe]: starts the client if given (and leaves it
// running), waits for velto's main window to be shown, then saves a screenshot of it, frame
// included, as OUT.bmp. Used by scripts/run.sh.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "driver.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: velto_shot OUT.bmp SECONDS [CLIENT.exe]\n");
        return 2;
    }
    std::string path = e2e::WindowsPath(argv[1]);
    DWORD timeout_ms = static_cast<DWORD>(std::atoi(argv[2])) * 1000;
    if (argc > 3) {
        std::string exe = e2e::WindowsPath(argv[3]);
        std::string command_line = "\"" + exe + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(exe.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &process)) {
            std::fprintf(stderr, "velto_shot: cannot start %s (error %lu)\n", exe.c_str(),
                         GetLastError());
            return 1;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    HWND window = nullptr;
    if (!e2e::WaitUntil(
            [&] {
                window = FindWindowA("velto", nullptr);
                return window && IsWindowVisible(window);
            },
            timeout_ms)) {
        std::fprintf(stderr, "velto_shot: no velto window within %s s\n", argv[2]);
        return 1;
    }
    Sleep(1000);  // let it finish its first paint
    RECT area = e2e::WindowRectOf(window);
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    IntersectRect(&area, &area, &screen);
    // Written aside and renamed, so that a script waiting for OUT.bmp never sees half a file.
    std::string part = path + ".part";
    if (!e2e::SaveScreenshot(part, area) ||
        !MoveFileExA(part.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        std::fprintf(stderr, "velto_shot: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
