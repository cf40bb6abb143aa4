// Helpers of the shell's in-process tests: the started program, modal boxes answered from a
// second thread, message pumping, GDI object counts and a loopback listener.
#pragma once
#include <windows.h>
#include <winsock.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// InitInstance, once per process (later calls only report how the first one went).
bool StartProgram();

// A window's text, whatever thread owns it.
std::string TextOf(HWND window);
std::string ClassOf(HWND window);

// A child's rectangle in its parent's client coordinates.
RECT RectInParent(HWND child);

// Dispatches this thread's messages until done() or timeoutMs; returns done().
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
void PumpPending();

// Throws away WM_SOCKET messages still queued for the main window.
void DropSocketMessages();

// A modal box or dialog ("#32770") seen by a DialogWatcher.
struct SeenDialog {
    std::string caption;
    std::string text;  // the longest "Static" text: a message box's message
    HWND owner;
};

// Watches, from its own thread, for dialogs of this process and hands each new one to
// handle (on the watcher's thread). The default handling records the box and posts answer.
class DialogWatcher {
public:
    explicit DialogWatcher(int answer);
    explicit DialogWatcher(std::function<void(HWND dialog)> handle);
    ~DialogWatcher();
    // Stops watching; returns every dialog recorded.
    std::vector<SeenDialog> Stop();

    static SeenDialog Describe(HWND dialog);
    static void Answer(HWND dialog, int id);

private:
    void Run();
    std::function<void(HWND)> handle_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<SeenDialog> seen_;
    std::thread thread_;
};

// Live GDI objects of this process.
long CountGdiObjects();

// A TCP listener on 127.0.0.1 with a port of the system's choice.
class LoopbackListener {
public:
    LoopbackListener();
    ~LoopbackListener();
    int Port() const { return port_; }
    // The next connection, or INVALID_SOCKET after timeoutMs.
    SOCKET Accept(int timeoutMs = 5000);

private:
    SOCKET socket_;
    int port_;
};

// True when the peer of an accepted socket has closed its end within timeoutMs.
bool PeerClosed(SOCKET accepted, int timeoutMs = 5000);
