// Entry point: start-up, the message loop, and the one box for a failed start-up.
#include <windows.h>
#include <ole2.h>

#include "app/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    OleInitialize(nullptr);
    try {
        if (InitInstance())
            return RunMessageLoop();  // has released everything itself
    } catch (Error& error) {
        MessageBoxA(nullptr, error.message.c_str(), "Error", MB_ICONERROR);
    }
    ReleaseResources();
    return 0;
}
